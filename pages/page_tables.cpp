#include "pages/page_tables.h"

#include <array>

#include "base/tr_text.h"
#include "pages/holding_register_records.h"

namespace velmora {

namespace {

using K = ControlKind;
using namespace page_id;
constexpr uint8_t kRightDown = kGrowRight | kGrowDown;

constexpr ControlRow kSerialParam[] = {
    {kSerialListGroup, K::Group, VELMORA_TR_NOOP("DialogSerialParam", "数据口列表"), 6, 4, 250, 228, kRightDown},
    {kSerialAdd, K::Button, VELMORA_TR_NOOP("DialogSerialParam", "添加"), 14, 18, 50, 14},
    {kSerialRemove, K::Button, VELMORA_TR_NOOP("DialogSerialParam", "删除"), 70, 18, 50, 14},
    {kSerialList, K::ReportList, nullptr, 14, 38, 234, 188, kRightDown},
    {kSerialParamGroup, K::Group, VELMORA_TR_NOOP("DialogSerialParam", "数据口参数"), 262, 4, 172, 222, kMoveRight},
    {kSerialPortLabel, K::Label, VELMORA_TR_NOOP("DialogSerialParam", "数据口"), 270, 20, 40, 10, kMoveRight},
    {kSerialPortName, K::Label, VELMORA_TR_NOOP("DialogSerialParam", "数据口1"), 314, 20, 110, 10, kMoveRight},
    {kSerialBaudLabel, K::Label, VELMORA_TR_NOOP("DialogSerialParam", "波特率"), 270, 36, 40, 10, kMoveRight},
    {kSerialBaud, K::DropEdit, nullptr, 314, 34, 70, 120, kMoveRight},
    {kSerialDataBitsLabel, K::Label, VELMORA_TR_NOOP("DialogSerialParam", "数据位"), 270, 52, 40, 10, kMoveRight},
    {kSerialDataBits, K::DropList, nullptr, 314, 50, 70, 80, kMoveRight},
    {kSerialStopBitsLabel, K::Label, VELMORA_TR_NOOP("DialogSerialParam", "停止位"), 270, 68, 40, 10, kMoveRight},
    {kSerialStopBits, K::DropList, nullptr, 314, 66, 70, 80, kMoveRight},
    {kSerialParityLabel, K::Label, VELMORA_TR_NOOP("DialogSerialParam", "校验位"), 270, 84, 40, 10, kMoveRight},
    {kSerialParity, K::DropList, nullptr, 314, 82, 70, 100, kMoveRight},
    {kSerialProtocolLabel, K::Label, VELMORA_TR_NOOP("DialogSerialParam", "协议"), 270, 102, 60, 10, kMoveRight},
    {kSerialProtocol55, K::Check, VELMORA_TR_NOOP("DialogSerialParam", "55协议"), 278, 114, 150, 10, kMoveRight},
    {kSerialModbusRtuCheck, K::Check, VELMORA_TR_NOOP("DialogSerialParam", "Modbus RTU协议"), 278, 126, 150, 10, kMoveRight},
    {kSerialDownloadCheck, K::Check, VELMORA_TR_NOOP("DialogSerialParam", "程序下载"), 278, 138, 150, 10, kMoveRight},
    {kSerialTemporaryCheck, K::Check, VELMORA_TR_NOOP("DialogSerialParam", "临时数据包"), 278, 150, 150, 10, kMoveRight},
    {kSerialExtraLabel, K::Label, VELMORA_TR_NOOP("DialogSerialParam", "附加"), 270, 166, 60, 10, kMoveRight},
    {kSerialNoExtra, K::RadioFirst, VELMORA_TR_NOOP("DialogSerialParam", "无附加功能"), 278, 178, 150, 10, kMoveRight},
    {kSerialRemoteControl, K::Radio, VELMORA_TR_NOOP("DialogSerialParam", "远程控制"), 278, 190, 150, 10, kMoveRight},
    {kSerialModbusTcp, K::Radio, VELMORA_TR_NOOP("DialogSerialParam", "Modbus TCP协议"), 278, 202, 150, 10, kMoveRight},
};
constexpr ColumnRow kSerialParamColumns[] = {
    {kSerialList, VELMORA_TR_NOOP("DialogSerialParam", "数据口"), 40}, {kSerialList, VELMORA_TR_NOOP("DialogSerialParam", "波特率"), 34},
    {kSerialList, VELMORA_TR_NOOP("DialogSerialParam", "数据位"), 30}, {kSerialList, VELMORA_TR_NOOP("DialogSerialParam", "停止位"), 30},
    {kSerialList, VELMORA_TR_NOOP("DialogSerialParam", "校验位"), 30}, {kSerialList, VELMORA_TR_NOOP("DialogSerialParam", "协议"), 64},
};

constexpr ControlRow kNetAddress[] = {
    {kAddressGroup, K::Group, VELMORA_TR_NOOP("DialogNetAddress", "网络参数配置"), 6, 4, 220, 96},
    {kAddressIpLabel, K::Label, VELMORA_TR_NOOP("DialogNetAddress", "网络地址"), 16, 20, 60, 10},
    {kAddressIp, K::Edit, nullptr, 80, 18, 130, 13},
    {kAddressMaskLabel, K::Label, VELMORA_TR_NOOP("DialogNetAddress", "子网掩码"), 16, 38, 60, 10},
    {kAddressMask, K::Edit, nullptr, 80, 36, 130, 13},
    {kAddressGatewayLabel, K::Label, VELMORA_TR_NOOP("DialogNetAddress", "网关地址"), 16, 56, 60, 10},
    {kAddressGateway, K::Edit, nullptr, 80, 54, 130, 13},
    {kAddressConfirm, K::Button, VELMORA_TR_NOOP("DialogNetAddress", "修改确认"), 16, 76, 60, 14},
    {kAddressStatus, K::Label, VELMORA_TR_NOOP("NetworkAddressRecords", "就绪"), 84, 78, 130, 10, kFixed, "NetworkAddressRecords"},
};

constexpr ControlRow kNetServer[] = {
    {kServerListGroup, K::Group, VELMORA_TR_NOOP("DialogNetServer", "服务器端口列表"), 6, 4, 270, 228, kRightDown},
    {kServerAdd, K::Button, VELMORA_TR_NOOP("DialogNetServer", "添加"), 14, 18, 50, 14},
    {kServerDelete, K::Button, VELMORA_TR_NOOP("DialogNetServer", "删除"), 70, 18, 50, 14},
    {kServerList, K::ReportList, nullptr, 14, 38, 254, 188, kRightDown},
    {kServerParamGroup, K::Group, VELMORA_TR_NOOP("DialogNetServer", "服务器端口参数"), 282, 4, 152, 132, kMoveRight},
    {kServerPortLabel, K::Label, VELMORA_TR_NOOP("DialogNetServer", "端口号"), 290, 20, 40, 10, kMoveRight},
    {kServerPort, K::NumberEdit, nullptr, 334, 18, 60, 13, kMoveRight},
    {kServerNoProtocol, K::RadioFirst, VELMORA_TR_NOOP("DialogNetServer", "无协议"), 290, 38, 140, 10, kMoveRight},
    {kServerProtocol55, K::Radio, VELMORA_TR_NOOP("DialogNetServer", "55协议"), 290, 50, 140, 10, kMoveRight},
    {kServerModbusRtuRadio, K::Radio, VELMORA_TR_NOOP("DialogNetServer", "Modbus RTU协议"), 290, 62, 140, 10, kMoveRight},
    {kServerModbusTcpRadio, K::Radio, VELMORA_TR_NOOP("DialogNetServer", "Modbus TCP协议"), 290, 74, 140, 10, kMoveRight},
    {kServerDownload, K::Check, VELMORA_TR_NOOP("DialogNetServer", "程序下载"), 290, 90, 140, 10, kMoveRight},
    {kServerTemporary, K::Check, VELMORA_TR_NOOP("DialogNetServer", "临时数据包"), 290, 102, 140, 10, kMoveRight},
};
constexpr ColumnRow kNetServerColumns[] = {
    {kServerList, VELMORA_TR_NOOP("DialogNetServer", "端口号"), 50},
    {kServerList, VELMORA_TR_NOOP("DialogNetServer", "协议支持"), 190},
};

constexpr ControlRow kMaintainRegister[] = {
    {0, K::Group, VELMORA_TR_NOOP("DialogMaintainRegister", "保持寄存器配置"), 6, 4, 428, 140},
    {kRegisterFunction, K::Check, VELMORA_TR_NOOP("DialogMaintainRegister", "保持寄存器使能"), 16, 18, 120, 10},
    {0, K::Label, VELMORA_TR_NOOP("DialogMaintainRegister", "使能"), 70, 34, 30, 10},
    {0, K::Label, VELMORA_TR_NOOP("DialogMaintainRegister", "地址"), 110, 34, 40, 10},
    {0, K::Label, VELMORA_TR_NOOP("DialogMaintainRegister", "数量"), 160, 34, 40, 10},
    {0, K::Label, VELMORA_TR_NOOP("DialogMaintainRegister", "位数"), 210, 34, 40, 10},
#define VELMORA_REGISTER_ROW(r, name)                                                                      \
  {0, K::Label, name, 16, int16_t(50 + 18 * (r)), 52, 10, kFixed, "HoldingRegisterRecords"},              \
      {registerRowControlId(r, 0), K::Check, VELMORA_TR_NOOP("DialogMaintainRegister", "使能"), 70,         \
       int16_t(50 + 18 * (r)), 36, 10},                                                                    \
      {registerRowControlId(r, 1), K::NumberEdit, nullptr, 110, int16_t(48 + 18 * (r)), 44, 13},          \
      {registerRowControlId(r, 2), K::NumberEdit, nullptr, 160, int16_t(48 + 18 * (r)), 44, 13},          \
      {registerRowControlId(r, 3), K::DropList, nullptr, 210, int16_t(48 + 18 * (r)), 216, 60, kGrowRight}
    VELMORA_REGISTER_ROW(0, kRegisterRowNames[0]),
    VELMORA_REGISTER_ROW(1, kRegisterRowNames[1]),
    VELMORA_REGISTER_ROW(2, kRegisterRowNames[2]),
    VELMORA_REGISTER_ROW(3, kRegisterRowNames[3]),
#undef VELMORA_REGISTER_ROW
    {kRegisterConfirm, K::Button, VELMORA_TR_NOOP("DialogMaintainRegister", "修改确认"), 16, 124, 60, 14},
    {kRegisterPendingNote, K::Label, kPendingEditsNote, 84, 126, 200, 10, kFixed, "HoldingRegisterRecords"},
    {kRegisterMapGroup, K::Group, VELMORA_TR_NOOP("DialogMaintainRegister", "寄存器地址分布"), 6, 148, 428, 86, kGrowRight},
    {kRegisterMap, K::Canvas, nullptr, 12, 160, 416, 70, kGrowRight},
};

// The same texts in the same context as the Qt page's tips.
constexpr ToolTipRow kMaintainRegisterTips[] = {
    {registerRowControlId(0, 1), VELMORA_TR_NOOP("DialogMaintainRegister", "输入寄存器起始地址，范围 0~65535，默认 500。")},
    {registerRowControlId(0, 2), VELMORA_TR_NOOP("DialogMaintainRegister", "输入寄存器数量，范围 0~65535，默认 100。")},
    {registerRowControlId(0, 3), VELMORA_TR_NOOP("DialogMaintainRegister", "位数：1 表示按位访问，16 表示按 16 位字访问。")},
    {registerRowControlId(1, 1), VELMORA_TR_NOOP("DialogMaintainRegister", "输出寄存器起始地址，范围 0~65535，默认 1000。")},
    {registerRowControlId(1, 2), VELMORA_TR_NOOP("DialogMaintainRegister", "输出寄存器数量，范围 0~65535，默认 100。")},
    {registerRowControlId(1, 3), VELMORA_TR_NOOP("DialogMaintainRegister", "位数：1 表示按位访问，16 表示按 16 位字访问。")},
    {registerRowControlId(2, 1), VELMORA_TR_NOOP("DialogMaintainRegister", "全局整数起始地址，范围 0~65535，默认 1600。")},
    {registerRowControlId(2, 2), VELMORA_TR_NOOP("DialogMaintainRegister", "全局整数数量，范围 0~65535，默认 100。")},
    {registerRowControlId(2, 3), VELMORA_TR_NOOP("DialogMaintainRegister", "位数：半字表示 16 位，全字表示 32 位。")},
    {registerRowControlId(3, 1), VELMORA_TR_NOOP("DialogMaintainRegister", "位变量起始地址，范围 0~65535，默认 2500。")},
    {registerRowControlId(3, 2), VELMORA_TR_NOOP("DialogMaintainRegister", "位变量数量，范围 0~65535，默认 100。")},
    {registerRowControlId(3, 3), VELMORA_TR_NOOP("DialogMaintainRegister", "位数：1 表示按位访问，16 表示按 16 位字访问。")},
    {kRegisterConfirm,
     VELMORA_TR_NOOP("DialogMaintainRegister",
                     "将界面上的修改写入本页数据缓冲。\r\n注意：只有点击本按钮后，修改才会在下次下发配置时生效。")},
};

constexpr ControlRow kListPage[] = {
    {0, K::Label, VELMORA_TR_NOOP("DialogList", "配置数据单元列表显示（只查看不能修改）"), 8, 6, 300, 10},
    {kListView, K::ReportList, nullptr, 8, 20, 424, 212, kRightDown},
};
constexpr ColumnRow kListPageColumns[] = {
    {kListView, VELMORA_TR_NOOP("DialogList", "序号"), 30},
    {kListView, VELMORA_TR_NOOP("DialogList", "类型"), 70},
    {kListView, VELMORA_TR_NOOP("DialogList", "参数"), 320},
};

}  // namespace

const PageTable& serialParamTable() {
  static constexpr PageTable t{"DialogSerialParam", 440, 236, kSerialParam, kSerialParamColumns};
  return t;
}
const PageTable& netAddressTable() {
  static constexpr PageTable t{"DialogNetAddress", 440, 236, kNetAddress};
  return t;
}
const PageTable& netServerTable() {
  static constexpr PageTable t{"DialogNetServer", 440, 236, kNetServer, kNetServerColumns};
  return t;
}
const PageTable& maintainRegisterTable() {
  static constexpr PageTable t{"DialogMaintainRegister", 440, 236, kMaintainRegister};
  return t;
}
std::span<const ToolTipRow> maintainRegisterToolTips() { return kMaintainRegisterTips; }

const PageTable& listPageTable() {
  static constexpr PageTable t{"DialogList", 440, 236, kListPage, kListPageColumns};
  return t;
}

}  // namespace velmora
