#include "config/unit_text.h"

#include "base/line_settings.h"
#include "base/text.h"
#include "base/tr_text.h"
#include "config/config_unit.h"

namespace velmora {

namespace {
std::string finishProtocolText(const std::string& text) {
  std::string out = trim(text);
  return out.empty() ? std::string(trText("UnitText", "无协议")) : out;
}
}  // namespace

std::string serialProtocolText(uint8_t flags) {
  std::string text;
  if (flags & kSerial55Protocol) text += trText("UnitText", "55协议 ");
  if (flags & kSerialModbusRtu) text += trText("UnitText", "Modbus RTU协议 ");
  if (flags & kSerialProgramDownload) text += trText("UnitText", "程序下载 ");
  if (flags & kSerialTemporaryPackets) text += trText("UnitText", "临时数据包 ");
  const int extra = flags >> 4;
  if (extra == kExtraRemoteControl)
    text += trText("UnitText", "远程控制 ");
  else if (extra == kExtraModbusTcp)
    text += trText("UnitText", "Modbus TCP协议 ");
  return finishProtocolText(text);
}

std::string serverProtocolText(uint32_t flags) {
  std::string text;
  if (flags & kServer55Protocol) text += trText("UnitText", "55协议 ");
  if (flags & kServerModbusRtu) text += trText("UnitText", "Modbus RTU协议 ");
  if (flags & kServerModbusTcp) text += trText("UnitText", "Modbus TCP协议 ");
  if (flags & kServerProgramDownload) text += trText("UnitText", "程序下载 ");
  if (flags & kServerTemporaryPackets) text += trText("UnitText", "临时数据包 ");
  return finishProtocolText(text);
}

std::string stopBitsText(int code) { return stopBitsName(stopBitsOfStoredCode(code).value_or(StopBits::One)); }

std::string parityShortText(int code) { return parityShortText(parityOfStoredCode(code).value_or(Parity::None)); }

std::string parityLongText(int code) { return parityLongText(parityOfStoredCode(code).value_or(Parity::None)); }

std::string selectorText(int selector) {
  switch (selector) {
    case kFieldIp: return "IP";
    case kFieldMask:
      return trText("UnitText", "掩码");
    case kFieldGateway:
      return trText("UnitText", "网关");
    case kFieldSerialNumber:
      return trText("UnitText", "序列号");
    default:
      return trText("UnitText", "未知");
  }
}

std::string groupText(int group) {
  switch (group) {
    case kGroupInput:
      return trText("UnitText", "输入");
    case kGroupOutput:
      return trText("UnitText", "输出");
    case kGroupGlobalInteger:
      return trText("UnitText", "全局整数");
    case kGroupBitVariable:
      return trText("UnitText", "位变量");
    case kGroupAllEnable:
      return trText("UnitText", "全部使能");
    default:
      return trText("UnitText", "未知");
  }
}

std::string enableText(int enable) { return enable != 0 ? trText("UnitText", "开") : trText("UnitText", "关"); }

std::string widthText(int group, int widthFlag) {
  if (group == kGroupGlobalInteger) return widthFlag != 0 ? trText("UnitText", "全字") : trText("UnitText", "半字");
  return widthFlag != 0 ? "16" : "1";
}

}  // namespace velmora
