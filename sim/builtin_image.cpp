#include "sim/builtin_image.h"

#include <array>

namespace velmora::sim {

namespace {

using Unit = std::array<uint8_t, 8>;

// Wider numbers are big-endian in every unit.
Unit dataPort(uint8_t port, uint32_t baud, uint8_t dataBits, uint8_t stopCode, uint8_t parityCode, uint8_t protocols) {
  return {1,
          port,
          static_cast<uint8_t>(baud >> 24),
          static_cast<uint8_t>(baud >> 16),
          static_cast<uint8_t>(baud >> 8),
          static_cast<uint8_t>(baud),
          static_cast<uint8_t>((dataBits << 4) | ((stopCode & 3) << 2) | (parityCode & 3)),
          protocols};
}

Unit networkField(uint8_t port, uint8_t selector, uint8_t a, uint8_t b, uint8_t c, uint8_t d) {
  return {2, port, 0, selector, a, b, c, d};
}

Unit serverPort(uint8_t entry, uint16_t port, uint32_t protocols) {
  return {3,
          entry,
          static_cast<uint8_t>(port >> 8),
          static_cast<uint8_t>(port),
          static_cast<uint8_t>(protocols >> 24),
          static_cast<uint8_t>(protocols >> 16),
          static_cast<uint8_t>(protocols >> 8),
          static_cast<uint8_t>(protocols)};
}

Unit registerGroup(uint8_t group, bool enable, uint16_t address, uint16_t count, bool wide) {
  return {4,
          group,
          static_cast<uint8_t>(enable ? 1 : 0),
          static_cast<uint8_t>(address >> 8),
          static_cast<uint8_t>(address),
          static_cast<uint8_t>(count >> 8),
          static_cast<uint8_t>(count),
          static_cast<uint8_t>(wide ? 1 : 0)};
}

}  // namespace

std::vector<uint8_t> builtinImage() {
  const Unit units[] = {
      // Serial protocol bits: 0x01 55, 0x02 Modbus RTU, 0x04 download,
      // 0x08 temporary packets; high nibble 1 remote control, 2 Modbus TCP.
      dataPort(1, 9600, 8, 0, 0, 0x0D),     // 8N1, the factory default set
      dataPort(2, 115200, 8, 2, 1, 0x22),   // 8 data, 2 stop, even; Modbus RTU + Modbus TCP
      dataPort(3, 19200, 7, 1, 2, 0x11),    // 7 data, 1.5 stop, odd; 55 + remote control
      networkField(0, 0, 192, 168, 1, 110),  // IP
      networkField(0, 1, 255, 255, 255, 0),  // mask
      networkField(0, 2, 192, 168, 1, 1),    // gateway
      networkField(0, 3, 20, 24, 6, 17),     // serial number, set by the device only
      // Server bits: 0x01 55, 0x02 Modbus RTU, 0x04 Modbus TCP, 0x08 download, 0x10 temporary.
      serverPort(0, 6000, 0x19),
      serverPort(1, 502, 0x04),
      registerGroup(1, true, 0, 16, false),     // input, 1-bit
      registerGroup(2, true, 100, 16, false),   // output, 1-bit
      registerGroup(3, true, 200, 32, true),    // global integer, full word
      registerGroup(4, false, 400, 64, false),  // bit variable, off
      registerGroup(5, true, 0, 0, true),       // all-enable
  };
  std::vector<uint8_t> image;
  for (const Unit& u : units) image.insert(image.end(), u.begin(), u.end());
  return image;
}

}  // namespace velmora::sim
