// The configuration image: a flat run of 8-byte units, each naming its own
// kind in byte 0. Every number wider than a byte is big-endian. This header
// holds the unit layouts and one decode/encode pair per kind.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace velmora {

inline constexpr int32_t kUnitBytes = 8;
// The most bytes an image holds where it is gathered from a page, sent to
// the device or kept by it.
inline constexpr int32_t kMaxImageBytes = 2048;
using ConfigUnit = std::array<uint8_t, kUnitBytes>;

enum class UnitKind : uint8_t {
  SerialPort = 1,
  NetworkAddress = 2,
  ServerPort = 3,
  HoldingRegister = 4,
};

inline constexpr uint8_t kindCode(UnitKind kind) { return static_cast<uint8_t>(kind); }
inline bool isUnitOfKind(const ConfigUnit& unit, UnitKind kind) { return unit[0] == kindCode(kind); }

// The unit starting at byte 8 * index; the caller guarantees it is whole.
ConfigUnit unitAt(const uint8_t* data, int32_t index);

// The whole units of an image in order; a trailing partial unit is left out,
// and null data or a length of 0 or less gives none.
std::vector<ConfigUnit> wholeUnits(const uint8_t* data, int32_t length);

// The test every editor page applies before reading an image: present, not
// empty and a multiple of 8 bytes.
bool isWholeImage(const uint8_t* data, int32_t length);

// Kind 1: one serial data port.
struct SerialPortUnit {
  uint8_t portNumber = 0;
  uint32_t baudRate = 0;
  uint8_t dataBits = 0;      // high nibble of lineFormat, as stored
  uint8_t stopBitsCode = 0;  // bits 3..2 of lineFormat
  uint8_t parityCode = 0;    // bits 1..0 of lineFormat
  uint8_t protocolFlags = 0;
};
SerialPortUnit decodeSerialPort(const ConfigUnit& unit);
ConfigUnit encodeSerialPort(const SerialPortUnit& fields);

// The serial protocol set's bits.
inline constexpr uint8_t kSerial55Protocol = 0x01;
inline constexpr uint8_t kSerialModbusRtu = 0x02;
inline constexpr uint8_t kSerialProgramDownload = 0x04;
inline constexpr uint8_t kSerialTemporaryPackets = 0x08;
// The high nibble is one extra function rather than a set of bits.
inline constexpr int kExtraNone = 0;
inline constexpr int kExtraRemoteControl = 1;
inline constexpr int kExtraModbusTcp = 2;
// What a new data port supports: 55 protocol, download and temporary packets.
inline constexpr uint8_t kNewDataPortProtocols = 0x0D;

// Kind 2: one 32-bit address field of one network port.
enum AddressField : uint8_t { kFieldIp = 0, kFieldMask = 1, kFieldGateway = 2, kFieldSerialNumber = 3 };
using Octets = std::array<uint8_t, 4>;  // in dotted order
struct NetworkAddressUnit {
  uint8_t netPort = 0;
  uint8_t virtualIndex = 0;
  uint8_t fieldSelector = 0;
  Octets value{};
};
NetworkAddressUnit decodeNetworkAddress(const ConfigUnit& unit);
ConfigUnit encodeNetworkAddress(const NetworkAddressUnit& fields);

// Kind 3: one server port.
struct ServerPortUnit {
  uint8_t entryIndex = 0;
  uint16_t port = 0;
  uint32_t protocolFlags = 0;
};
ServerPortUnit decodeServerPort(const ConfigUnit& unit);
ConfigUnit encodeServerPort(const ServerPortUnit& fields);

// The server protocol set's bits: not the serial assignment.
inline constexpr uint32_t kServer55Protocol = 0x01;
inline constexpr uint32_t kServerModbusRtu = 0x02;
inline constexpr uint32_t kServerModbusTcp = 0x04;
inline constexpr uint32_t kServerProgramDownload = 0x08;
inline constexpr uint32_t kServerTemporaryPackets = 0x10;

// Kind 4: one group of the holding-register mapping. enable and widthFlag
// are kept as stored; readers treat any non-zero byte as set.
struct HoldingRegisterUnit {
  uint8_t group = 0;
  uint8_t enable = 0;
  uint16_t address = 0;
  uint16_t count = 0;
  uint8_t widthFlag = 0;
};
HoldingRegisterUnit decodeHoldingRegister(const ConfigUnit& unit);
ConfigUnit encodeHoldingRegister(const HoldingRegisterUnit& fields);

// Holding-register groups.
inline constexpr uint8_t kGroupInput = 1;
inline constexpr uint8_t kGroupOutput = 2;
inline constexpr uint8_t kGroupGlobalInteger = 3;
inline constexpr uint8_t kGroupBitVariable = 4;
inline constexpr uint8_t kGroupAllEnable = 5;

}  // namespace velmora
