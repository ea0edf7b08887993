#include "pages/page_tables.h"

#include <array>

#include "base/tr_text.h"
#include "pages/holding_register_records.h"

namespace velmora {

namespace {

using K = ControlKind;
constexpr uint8_t kRightDown = kGrowRight | kGrowDown;

constexpr ControlRow kSerialParam[] = {
    {4001, K::Group, VELMORA_TR_NOOP("DialogSerialParam", "数据口列表"), 6, 4, 250, 228, kRightDown},
    {4004, K::Button, VELMORA_TR_NOOP("DialogSerialParam", "添加"), 14, 18, 50, 14},
    {4005, K::Button, VELMORA_TR_NOOP("DialogSerialParam", "删除"), 70, 18, 50, 14},
    {4002, K::ReportList, nullptr, 14, 38, 234, 188, kRightDown},
    {4003, K::Group, VELMORA_TR_NOOP("DialogSerialParam", "数据口参数"), 262, 4, 172, 222, kMoveRight},
    {4006, K::Label, VELMORA_TR_NOOP("DialogSerialParam", "数据口"), 270, 20, 40, 10, kMoveRight},
    {4007, K::Label, VELMORA_TR_NOOP("DialogSerialParam", "数据口1"), 314, 20, 110, 10, kMoveRight},
    {4008, K::Label, VELMORA_TR_NOOP("DialogSerialParam", "波特率"), 270, 36, 40, 10, kMoveRight},
    {4009, K::DropEdit, nullptr, 314, 34, 70, 120, kMoveRight},
    {4010, K::Label, VELMORA_TR_NOOP("DialogSerialParam", "数据位"), 270, 52, 40, 10, kMoveRight},
    {4011, K::DropList, nullptr, 314, 50, 70, 80, kMoveRight},
    {4012, K::Label, VELMORA_TR_NOOP("DialogSerialParam", "停止位"), 270, 68, 40, 10, kMoveRight},
    {4013, K::DropList, nullptr, 314, 66, 70, 80, kMoveRight},
    {4014, K::Label, VELMORA_TR_NOOP("DialogSerialParam", "校验位"), 270, 84, 40, 10, kMoveRight},
    {4015, K::DropList, nullptr, 314, 82, 70, 100, kMoveRight},
    {4016, K::Label, VELMORA_TR_NOOP("DialogSerialParam", "协议"), 270, 102, 60, 10, kMoveRight},
    {4017, K::Check, VELMORA_TR_NOOP("DialogSerialParam", "55协议"), 278, 114, 150, 10, kMoveRight},
    {4018, K::Check, VELMORA_TR_NOOP("DialogSerialParam", "Modbus RTU协议"), 278, 126, 150, 10, kMoveRight},
    {4019, K::Check, VELMORA_TR_NOOP("DialogSerialParam", "程序下载"), 278, 138, 150, 10, kMoveRight},
    {4020, K::Check, VELMORA_TR_NOOP("DialogSerialParam", "临时数据包"), 278, 150, 150, 10, kMoveRight},
    {4021, K::Label, VELMORA_TR_NOOP("DialogSerialParam", "附加"), 270, 166, 60, 10, kMoveRight},
    {4022, K::RadioFirst, VELMORA_TR_NOOP("DialogSerialParam", "无附加功能"), 278, 178, 150, 10, kMoveRight},
    {4023, K::Radio, VELMORA_TR_NOOP("DialogSerialParam", "远程控制"), 278, 190, 150, 10, kMoveRight},
    {4024, K::Radio, VELMORA_TR_NOOP("DialogSerialParam", "Modbus TCP协议"), 278, 202, 150, 10, kMoveRight},
};
constexpr ColumnRow kSerialParamColumns[] = {
    {4002, VELMORA_TR_NOOP("DialogSerialParam", "数据口"), 40}, {4002, VELMORA_TR_NOOP("DialogSerialParam", "波特率"), 34},
    {4002, VELMORA_TR_NOOP("DialogSerialParam", "数据位"), 30}, {4002, VELMORA_TR_NOOP("DialogSerialParam", "停止位"), 30},
    {4002, VELMORA_TR_NOOP("DialogSerialParam", "校验位"), 30}, {4002, VELMORA_TR_NOOP("DialogSerialParam", "协议"), 64},
};

constexpr ControlRow kNetAddress[] = {
    {5010, K::Group, VELMORA_TR_NOOP("DialogNetAddress", "网络参数配置"), 6, 4, 220, 96},
    {5011, K::Label, VELMORA_TR_NOOP("DialogNetAddress", "网络地址"), 16, 20, 60, 10},
    {5012, K::Edit, nullptr, 80, 18, 130, 13},
    {5013, K::Label, VELMORA_TR_NOOP("DialogNetAddress", "子网掩码"), 16, 38, 60, 10},
    {5014, K::Edit, nullptr, 80, 36, 130, 13},
    {5015, K::Label, VELMORA_TR_NOOP("DialogNetAddress", "网关地址"), 16, 56, 60, 10},
    {5016, K::Edit, nullptr, 80, 54, 130, 13},
    {5017, K::Button, VELMORA_TR_NOOP("DialogNetAddress", "修改确认"), 16, 76, 60, 14},
    {5018, K::Label, VELMORA_TR_NOOP("NetworkAddressRecords", "就绪"), 84, 78, 130, 10, kFixed, "NetworkAddressRecords"},
};

constexpr ControlRow kNetServer[] = {
    {6001, K::Group, VELMORA_TR_NOOP("DialogNetServer", "服务器端口列表"), 6, 4, 270, 228, kRightDown},
    {6003, K::Button, VELMORA_TR_NOOP("DialogNetServer", "添加"), 14, 18, 50, 14},
    {6004, K::Button, VELMORA_TR_NOOP("DialogNetServer", "删除"), 70, 18, 50, 14},
    {6002, K::ReportList, nullptr, 14, 38, 254, 188, kRightDown},
    {6010, K::Group, VELMORA_TR_NOOP("DialogNetServer", "服务器端口参数"), 282, 4, 152, 132, kMoveRight},
    {6011, K::Label, VELMORA_TR_NOOP("DialogNetServer", "端口号"), 290, 20, 40, 10, kMoveRight},
    {6012, K::NumberEdit, nullptr, 334, 18, 60, 13, kMoveRight},
    {6013, K::RadioFirst, VELMORA_TR_NOOP("DialogNetServer", "无协议"), 290, 38, 140, 10, kMoveRight},
    {6014, K::Radio, VELMORA_TR_NOOP("DialogNetServer", "55协议"), 290, 50, 140, 10, kMoveRight},
    {6015, K::Radio, VELMORA_TR_NOOP("DialogNetServer", "Modbus RTU协议"), 290, 62, 140, 10, kMoveRight},
    {6016, K::Radio, VELMORA_TR_NOOP("DialogNetServer", "Modbus TCP协议"), 290, 74, 140, 10, kMoveRight},
    {6017, K::Check, VELMORA_TR_NOOP("DialogNetServer", "程序下载"), 290, 90, 140, 10, kMoveRight},
    {6018, K::Check, VELMORA_TR_NOOP("DialogNetServer", "临时数据包"), 290, 102, 140, 10, kMoveRight},
};
constexpr ColumnRow kNetServerColumns[] = {
    {6002, VELMORA_TR_NOOP("DialogNetServer", "端口号"), 50},
    {6002, VELMORA_TR_NOOP("DialogNetServer", "协议支持"), 190},
};

constexpr ControlRow kMaintainRegister[] = {
    {0, K::Group, VELMORA_TR_NOOP("DialogMaintainRegister", "保持寄存器配置"), 6, 4, 428, 140},
    {8001, K::Check, VELMORA_TR_NOOP("DialogMaintainRegister", "保持寄存器使能"), 16, 18, 120, 10},
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
    {8018, K::Button, VELMORA_TR_NOOP("DialogMaintainRegister", "修改确认"), 16, 124, 60, 14},
};

constexpr ControlRow kListPage[] = {
    {0, K::Label, VELMORA_TR_NOOP("DialogList", "配置数据单元列表显示（只查看不能修改）"), 8, 6, 300, 10},
    {1021, K::ReportList, nullptr, 8, 20, 424, 212, kRightDown},
};
constexpr ColumnRow kListPageColumns[] = {
    {1021, VELMORA_TR_NOOP("DialogList", "序号"), 30},
    {1021, VELMORA_TR_NOOP("DialogList", "类型"), 70},
    {1021, VELMORA_TR_NOOP("DialogList", "参数"), 320},
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
const PageTable& listPageTable() {
  static constexpr PageTable t{"DialogList", 440, 236, kListPage, kListPageColumns};
  return t;
}

}  // namespace velmora
