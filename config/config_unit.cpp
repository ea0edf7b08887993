#include "config/config_unit.h"

#include <algorithm>

namespace velmora {

namespace {
uint16_t get16(const ConfigUnit& u, int at) { return static_cast<uint16_t>((u[at] << 8) | u[at + 1]); }

uint32_t get32(const ConfigUnit& u, int at) {
  return (static_cast<uint32_t>(u[at]) << 24) | (static_cast<uint32_t>(u[at + 1]) << 16) |
         (static_cast<uint32_t>(u[at + 2]) << 8) | static_cast<uint32_t>(u[at + 3]);
}

void put16(ConfigUnit& u, int at, uint16_t v) {
  u[at] = static_cast<uint8_t>(v >> 8);
  u[at + 1] = static_cast<uint8_t>(v);
}

void put32(ConfigUnit& u, int at, uint32_t v) {
  u[at] = static_cast<uint8_t>(v >> 24);
  u[at + 1] = static_cast<uint8_t>(v >> 16);
  u[at + 2] = static_cast<uint8_t>(v >> 8);
  u[at + 3] = static_cast<uint8_t>(v);
}
}  // namespace

ConfigUnit unitAt(const uint8_t* data, int32_t index) {
  ConfigUnit unit;
  std::copy_n(data + static_cast<size_t>(index) * kUnitBytes, kUnitBytes, unit.begin());
  return unit;
}

std::vector<ConfigUnit> wholeUnits(const uint8_t* data, int32_t length) {
  std::vector<ConfigUnit> units;
  if (data == nullptr || length <= 0) return units;
  const int32_t n = length / kUnitBytes;
  units.reserve(static_cast<size_t>(n));
  for (int32_t i = 0; i < n; ++i) units.push_back(unitAt(data, i));
  return units;
}

bool isWholeImage(const uint8_t* data, int32_t length) {
  return data != nullptr && length > 0 && length % kUnitBytes == 0;
}

SerialPortUnit decodeSerialPort(const ConfigUnit& u) {
  SerialPortUnit f;
  f.portNumber = u[1];
  f.baudRate = get32(u, 2);
  f.dataBits = static_cast<uint8_t>(u[6] >> 4);
  f.stopBitsCode = static_cast<uint8_t>((u[6] >> 2) & 0x03);
  f.parityCode = static_cast<uint8_t>(u[6] & 0x03);
  f.protocolFlags = u[7];
  return f;
}

ConfigUnit encodeSerialPort(const SerialPortUnit& f) {
  ConfigUnit u{};
  u[0] = kindCode(UnitKind::SerialPort);
  u[1] = f.portNumber;
  put32(u, 2, f.baudRate);
  // lineFormat: data bits in the high nibble, stop code in bits 3..2, parity in 1..0.
  u[6] = static_cast<uint8_t>(((f.dataBits & 0x0F) << 4) | ((f.stopBitsCode << 2) & 0x0C) | (f.parityCode & 0x03));
  u[7] = f.protocolFlags;
  return u;
}

NetworkAddressUnit decodeNetworkAddress(const ConfigUnit& u) {
  NetworkAddressUnit f;
  f.netPort = u[1];
  f.virtualIndex = u[2];
  f.fieldSelector = u[3];
  f.value = {u[4], u[5], u[6], u[7]};
  return f;
}

ConfigUnit encodeNetworkAddress(const NetworkAddressUnit& f) {
  return {kindCode(UnitKind::NetworkAddress), f.netPort, f.virtualIndex, f.fieldSelector,
          f.value[0], f.value[1], f.value[2], f.value[3]};
}

ServerPortUnit decodeServerPort(const ConfigUnit& u) {
  ServerPortUnit f;
  f.entryIndex = u[1];
  f.port = get16(u, 2);
  f.protocolFlags = get32(u, 4);
  return f;
}

ConfigUnit encodeServerPort(const ServerPortUnit& f) {
  ConfigUnit u{};
  u[0] = kindCode(UnitKind::ServerPort);
  u[1] = f.entryIndex;
  put16(u, 2, f.port);
  put32(u, 4, f.protocolFlags);
  return u;
}

HoldingRegisterUnit decodeHoldingRegister(const ConfigUnit& u) {
  HoldingRegisterUnit f;
  f.group = u[1];
  f.enable = u[2];
  f.address = get16(u, 3);
  f.count = get16(u, 5);
  f.widthFlag = u[7];
  return f;
}

ConfigUnit encodeHoldingRegister(const HoldingRegisterUnit& f) {
  ConfigUnit u{};
  u[0] = kindCode(UnitKind::HoldingRegister);
  u[1] = f.group;
  u[2] = f.enable;
  put16(u, 3, f.address);
  put16(u, 5, f.count);
  u[7] = f.widthFlag;
  return u;
}

}  // namespace velmora
