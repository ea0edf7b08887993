#include "config/unit_text.h"

#include "base/text.h"
#include "config/config_unit.h"

namespace velmora {

namespace {
std::string finishProtocolText(const std::string& text) {
  std::string out = trim(text);
  return out.empty() ? std::string("无协议") : out;
}
}  // namespace

std::string serialProtocolText(uint8_t flags) {
  std::string text;
  if (flags & kSerial55Protocol) text += "55协议 ";
  if (flags & kSerialModbusRtu) text += "Modbus RTU协议 ";
  if (flags & kSerialProgramDownload) text += "程序下载 ";
  if (flags & kSerialTemporaryPackets) text += "临时数据包 ";
  const int extra = flags >> 4;
  if (extra == kExtraRemoteControl) text += "远程控制 ";
  else if (extra == kExtraModbusTcp) text += "Modbus TCP协议 ";
  return finishProtocolText(text);
}

std::string serverProtocolText(uint32_t flags) {
  std::string text;
  if (flags & kServer55Protocol) text += "55协议 ";
  if (flags & kServerModbusRtu) text += "Modbus RTU协议 ";
  if (flags & kServerModbusTcp) text += "Modbus TCP协议 ";
  if (flags & kServerProgramDownload) text += "程序下载 ";
  if (flags & kServerTemporaryPackets) text += "临时数据包 ";
  return finishProtocolText(text);
}

std::string stopBitsText(int code) {
  switch (code) {
    case 1: return "1.5";
    case 2: return "2";
    default: return "1";
  }
}

std::string parityShortText(int code) {
  switch (code) {
    case 1: return "偶";
    case 2: return "奇";
    case 3: return "标记";
    default: return "无";
  }
}

std::string parityLongText(int code) {
  switch (code) {
    case 1: return "偶校验";
    case 2: return "奇校验";
    case 3: return "标记校验";
    default: return "无校验";
  }
}

std::string selectorText(int selector) {
  switch (selector) {
    case kFieldIp: return "IP";
    case kFieldMask: return "掩码";
    case kFieldGateway: return "网关";
    case kFieldSerialNumber: return "序列号";
    default: return "未知";
  }
}

std::string groupText(int group) {
  switch (group) {
    case kGroupInput: return "输入";
    case kGroupOutput: return "输出";
    case kGroupGlobalInteger: return "全局整数";
    case kGroupBitVariable: return "位变量";
    case kGroupAllEnable: return "全部使能";
    default: return "未知";
  }
}

std::string enableText(int enable) { return enable != 0 ? "开" : "关"; }

std::string widthText(int group, int widthFlag) {
  if (group == kGroupGlobalInteger) return widthFlag != 0 ? "全字" : "半字";
  return widthFlag != 0 ? "16" : "1";
}

}  // namespace velmora
