#include "link/connect_table.h"

#include "base/tr_text.h"
#include "link/connect_logic.h"

namespace velmora {

namespace {

using K = ControlKind;
using namespace connect_id;

// 2001 comes first: it starts the radio group that 2002 belongs to,
// although the two stand in different boxes.
constexpr ControlRow kConnect[] = {
    {0, K::Group, VELMORA_TR_NOOP("DialogConnect", "网络连接"), 226, 4, 208, 128},
    {kRadioTcp, K::RadioFirst, "TCP", 234, 18, 80, 10},
    {0, K::Label, VELMORA_TR_NOOP("DialogConnect", "IP地址:"), 234, 38, 50, 10},
    {kIpEdit, K::Edit, nullptr, 286, 36, 140, 13},
    {0, K::Label, VELMORA_TR_NOOP("DialogConnect", "端口:"), 234, 56, 50, 10},
    {kPortEdit, K::NumberEdit, nullptr, 286, 54, 60, 13},
    {0, K::Group, VELMORA_TR_NOOP("DialogConnect", "串口连接"), 6, 4, 214, 128},
    {kRadioSerial, K::Radio, VELMORA_TR_NOOP("DialogConnect", "串口"), 14, 18, 80, 10},
    {0, K::Label, VELMORA_TR_NOOP("DialogConnect", "串口:"), 14, 38, 46, 10},
    {kSerialPortCombo, K::DropEdit, nullptr, 62, 36, 96, 120},
    {kRefreshButton, K::Button, VELMORA_TR_NOOP("DialogConnect", "刷新"), 164, 35, 48, 14},
    {0, K::Label, VELMORA_TR_NOOP("DialogConnect", "波特率:"), 14, 56, 46, 10},
    {kBaudCombo, K::DropList, nullptr, 62, 54, 96, 120},
    {0, K::Label, VELMORA_TR_NOOP("DialogConnect", "数据位:"), 14, 74, 46, 10},
    {kDataBitsCombo, K::DropList, nullptr, 62, 72, 96, 80},
    {0, K::Label, VELMORA_TR_NOOP("DialogConnect", "停止位:"), 14, 92, 46, 10},
    {kStopBitsCombo, K::DropList, nullptr, 62, 90, 96, 80},
    {0, K::Label, VELMORA_TR_NOOP("DialogConnect", "校验位:"), 14, 110, 46, 10},
    {kParityCombo, K::DropList, nullptr, 62, 108, 96, 100},
    {0, K::Group, VELMORA_TR_NOOP("DialogConnect", "连接控制"), 6, 136, 428, 34, kGrowRight},
    {kConnectButton, K::Button, VELMORA_TR_NOOP("ConnectLogic", "连接"), 14, 150, 60, 14, kFixed, "ConnectLogic"},
    {kStatusText, K::Label, VELMORA_TR_NOOP("DialogConnect", "状态"), 84, 152, 340, 10, kGrowRight},
    {0, K::Group, VELMORA_TR_NOOP("DialogConnect", "设备地址查询和修改"), 6, 174, 428, 54, kGrowRight},
    {0, K::Label, VELMORA_TR_NOOP("DialogConnect", "设备地址:"), 14, 190, 64, 10},
    {kAddressEdit, K::Edit, nullptr, 80, 188, 60, 13},
    {kReadAddressButton, K::Button, VELMORA_TR_NOOP("DialogConnect", "读地址"), 148, 187, 56, 14},
    {kWriteAddressButton, K::Button, VELMORA_TR_NOOP("DialogConnect", "写地址"), 210, 187, 56, 14},
    {0, K::Label, VELMORA_TR_NOOP("DialogConnect", "读写地址消息:"), 14, 210, 64, 10},
    {kAddressMessageEdit, K::ReadOnlyEdit, nullptr, 80, 208, 346, 13, kGrowRight},
};

}  // namespace

const PageTable& connectPageTable() {
  static constexpr PageTable t{"DialogConnect", 440, 236, kConnect};
  return t;
}

}  // namespace velmora
