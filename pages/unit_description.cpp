#include "pages/unit_description.h"

#include "base/text.h"
#include "base/tr_text.h"
#include "config/unit_text.h"

namespace velmora {

std::string unitKindName(uint8_t kind) {
  switch (static_cast<UnitKind>(kind)) {
    case UnitKind::SerialPort:
      return trText("UnitDescription", "串口配置");
    case UnitKind::NetworkAddress:
      return trText("UnitDescription", "网络配置");
    case UnitKind::ServerPort:
      return trText("UnitDescription", "网络端口");
    case UnitKind::HoldingRegister:
      return trText("UnitDescription", "保持寄存器配置");
  }
  return trText("UnitDescription", "未知");
}

std::string describeUnit(const ConfigUnit& u) {
  switch (static_cast<UnitKind>(u[0])) {
    case UnitKind::SerialPort: {
      const SerialPortUnit f = decodeSerialPort(u);
      // The data-bits nibble is printed as stored, whatever its value.
      return strprintf(trText("UnitDescription", "数据口%d: 波特率=%d, 数据位=%d, 停止位=%s, 校验=%s, 协议=%s"),
                       f.portNumber, static_cast<int>(f.baudRate), f.dataBits, stopBitsText(f.stopBitsCode).c_str(),
                       parityShortText(f.parityCode).c_str(), serialProtocolText(f.protocolFlags).c_str());
    }
    case UnitKind::NetworkAddress: {
      const NetworkAddressUnit f = decodeNetworkAddress(u);
      const std::string value = dottedAddress(f.value.data());
      return strprintf(trText("UnitDescription", "网络口%d (虚拟%d): %s=%s"), f.netPort, f.virtualIndex,
                       selectorText(f.fieldSelector).c_str(), value.c_str());
    }
    case UnitKind::ServerPort: {
      const ServerPortUnit f = decodeServerPort(u);
      return strprintf(trText("UnitDescription", "网口%d: 端口=%d, 协议=%s"), f.entryIndex + 1, f.port,
                       serverProtocolText(f.protocolFlags).c_str());
    }
    case UnitKind::HoldingRegister: {
      const HoldingRegisterUnit f = decodeHoldingRegister(u);
      return strprintf(trText("UnitDescription", "%s: 使能=%s, 地址=%u, 数量=%u, 位数=%s"), groupText(f.group).c_str(),
                       enableText(f.enable).c_str(), static_cast<unsigned>(f.address), static_cast<unsigned>(f.count),
                       widthText(f.group, f.widthFlag).c_str());
    }
  }
  return strprintf(trText("UnitDescription", "未知: %02X %02X %02X %02X %02X %02X %02X %02X"), u[0], u[1], u[2], u[3],
                   u[4], u[5], u[6], u[7]);
}

}  // namespace velmora
