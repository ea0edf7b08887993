// The editor pages' controls described once (ids, kinds, texts, places in
// dialog units), for the windows that build their pages from a table; the
// ids are named here for the tables, the Win32 pages and the Qt pages alike.
#pragma once

#include <span>

#include "base/control_table.h"

namespace velmora {

// Control ids of the editor pages.
namespace page_id {
// 串口参数
inline constexpr int kSerialListGroup = 4001;
inline constexpr int kSerialList = 4002;
inline constexpr int kSerialParamGroup = 4003;
inline constexpr int kSerialAdd = 4004;
inline constexpr int kSerialRemove = 4005;
inline constexpr int kSerialPortLabel = 4006;
inline constexpr int kSerialPortName = 4007;
inline constexpr int kSerialBaudLabel = 4008;
inline constexpr int kSerialBaud = 4009;
inline constexpr int kSerialDataBitsLabel = 4010;
inline constexpr int kSerialDataBits = 4011;
inline constexpr int kSerialStopBitsLabel = 4012;
inline constexpr int kSerialStopBits = 4013;
inline constexpr int kSerialParityLabel = 4014;
inline constexpr int kSerialParity = 4015;
inline constexpr int kSerialProtocolLabel = 4016;
inline constexpr int kSerialProtocol55 = 4017;  // then Modbus RTU, download, temporary packets: 4018..4020
inline constexpr int kSerialModbusRtuCheck = 4018;
inline constexpr int kSerialDownloadCheck = 4019;
inline constexpr int kSerialTemporaryCheck = 4020;
inline constexpr int kSerialExtraLabel = 4021;
inline constexpr int kSerialNoExtra = 4022;
inline constexpr int kSerialRemoteControl = 4023;
inline constexpr int kSerialModbusTcp = 4024;
// 网络参数
inline constexpr int kAddressGroup = 5010;
inline constexpr int kAddressIpLabel = 5011;
inline constexpr int kAddressIp = 5012;
inline constexpr int kAddressMaskLabel = 5013;
inline constexpr int kAddressMask = 5014;
inline constexpr int kAddressGatewayLabel = 5015;
inline constexpr int kAddressGateway = 5016;
inline constexpr int kAddressConfirm = 5017;
inline constexpr int kAddressStatus = 5018;
// 网络服务器端口
inline constexpr int kServerListGroup = 6001;
inline constexpr int kServerList = 6002;
inline constexpr int kServerAdd = 6003;
inline constexpr int kServerDelete = 6004;
inline constexpr int kServerParamGroup = 6010;
inline constexpr int kServerPortLabel = 6011;
inline constexpr int kServerPort = 6012;
inline constexpr int kServerNoProtocol = 6013;
inline constexpr int kServerProtocol55 = 6014;
inline constexpr int kServerModbusRtuRadio = 6015;
inline constexpr int kServerModbusTcpRadio = 6016;
inline constexpr int kServerDownload = 6017;
inline constexpr int kServerTemporary = 6018;
// 保持寄存器配置
inline constexpr int kRegisterFunction = 8001;
inline constexpr int kRegisterFirstRow = 8002;  // each group row: enable, address, count, width, four ids apart
inline constexpr int kRegisterConfirm = 8018;
inline constexpr int kRegisterPendingNote = 8019;
inline constexpr int kRegisterMapGroup = 8020;
inline constexpr int kRegisterMap = 8021;
// 参数列表
inline constexpr int kListView = 1021;
}  // namespace page_id

const PageTable& serialParamTable();
const PageTable& netAddressTable();
const PageTable& netServerTable();
const PageTable& maintainRegisterTable();
const PageTable& listPageTable();

// The holding-register page's row controls: group row r (0..3), field f
// (0 enable, 1 address, 2 count, 3 width list).
inline constexpr int registerRowControlId(int row, int field) { return page_id::kRegisterFirstRow + 4 * row + field; }

// A control's tooltip: its id and source text (context DialogMaintainRegister).
struct ToolTipRow {
  int id;
  const char* text;
};
// The holding-register page's tooltips, and how they show: the delay before
// one appears, how long it stays, the delay between tools, and the widest a
// tip grows before its lines break (pixels).
std::span<const ToolTipRow> maintainRegisterToolTips();
inline constexpr int kRegisterTipInitialMs = 300;
inline constexpr int kRegisterTipAutoPopMs = 10000;
inline constexpr int kRegisterTipReshowMs = 100;
inline constexpr int kRegisterTipMaxWidth = 300;

}  // namespace velmora
