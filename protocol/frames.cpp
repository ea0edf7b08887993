#include "protocol/frames.h"

#include <algorithm>
#include <cstring>

namespace velmora {

namespace {
// The bitwise CRC step applied to every byte value once, at compile time: the
// receive path runs the CRC for every frame, and the data-dependent branch of
// the bitwise form costs several times the table lookup.
constexpr std::array<uint16_t, 256> makeCrcTable() {
  std::array<uint16_t, 256> table{};
  for (int value = 0; value < 256; ++value) {
    uint16_t crc = static_cast<uint16_t>(value);
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : static_cast<uint16_t>(crc >> 1);
    table[static_cast<size_t>(value)] = crc;
  }
  return table;
}
constexpr std::array<uint16_t, 256> kCrcTable = makeCrcTable();

// Slicing by eight: table k holds a byte's CRC after k more zero bytes, so
// eight bytes cost eight independent lookups instead of a chain of eight.
// The end-of-read envelope check runs over up to 2 KiB.
using CrcSlices = std::array<std::array<uint16_t, 256>, 8>;
constexpr CrcSlices makeCrcSlices() {
  CrcSlices t{};
  t[0] = kCrcTable;
  for (size_t k = 1; k < 8; ++k)
    for (size_t i = 0; i < 256; ++i)
      t[k][i] = static_cast<uint16_t>((t[k - 1][i] >> 8) ^ kCrcTable[t[k - 1][i] & 0xFF]);
  return t;
}
constexpr CrcSlices kCrcSlices = makeCrcSlices();
}  // namespace

uint16_t crc16(const uint8_t* bytes, uint16_t count) {
  uint16_t crc = 0xFFFF;
  uint16_t i = 0;
  const auto& t = kCrcSlices;
  for (; count - i >= 8; i = static_cast<uint16_t>(i + 8)) {
    const uint8_t* b = bytes + i;
    const unsigned v = crc ^ (b[0] | b[1] << 8);
    crc = static_cast<uint16_t>(t[7][v & 0xFF] ^ t[6][v >> 8] ^ t[5][b[2]] ^ t[4][b[3]] ^ t[3][b[4]] ^ t[2][b[5]] ^
                                t[1][b[6]] ^ t[0][b[7]]);
  }
  for (; i < count; ++i)
    crc = static_cast<uint16_t>((crc >> 8) ^ kCrcTable[static_cast<uint8_t>(crc ^ bytes[i])]);
  return crc;
}

static void putCrc(uint8_t* at, uint16_t crc) {
  at[0] = static_cast<uint8_t>(crc & 0xFF);  // low byte first on the wire
  at[1] = static_cast<uint8_t>(crc >> 8);
}

static uint16_t storedCrc(const uint8_t* at) { return static_cast<uint16_t>(at[0] | (at[1] << 8)); }

int checkFrame(const uint8_t* b, int32_t length, uint8_t address) {
  if (b == nullptr || length < 8) return 0;
  if (b[0] == kAddressReportHead && b[2] == kAddressCommand) {
    // Bytes 0 and 2 are fixed, so their share of the sum is the constant 0x62.
    const uint8_t sum = static_cast<uint8_t>(b[1] + b[3] + b[4] + b[5] + b[6] + 0x62);
    if (sum == b[7]) return 8;
    return 0;
  }
  if (b[0] != address) return 0;
  if (b[1] == kFunctionRead) {
    const int k = b[2];
    if (length < k + 5) return 0;  // not all there yet
    if (crc16(b, static_cast<uint16_t>(k + 3)) == storedCrc(b + k + 3)) return k + 5;
    return 0;
  }
  if (b[1] == kFunctionWrite) {
    // An acknowledgement is only looked at when it stands alone.
    if (length != 8) return 0;
    if (crc16(b, 6) == storedCrc(b + 6)) return 8;
    return 0;
  }
  return 0;
}

std::array<uint8_t, 8> buildAddressQuery() { return {0x55, 0xF5, 0x40, 0x00, 0x00, 0x00, 0x00, 0x8A}; }

std::array<uint8_t, 8> buildAddressChange(uint8_t newAddress) {
  std::array<uint8_t, 8> f{0x55, 0xF5, 0x41, 0x00, 0x00, 0x00, newAddress, 0};
  uint8_t sum = 0;
  for (int i = 0; i < 7; ++i) sum = static_cast<uint8_t>(sum + f[i]);
  f[7] = sum;
  return f;
}

std::array<uint8_t, 20> buildTransferPreamble() {
  std::array<uint8_t, 20> f{0xFF, 0x00, 0xFF, 0x00, 0xAA, 0x55};
  std::memcpy(f.data() + 6, kPreambleText, 13);
  f[19] = 0x00;
  return f;
}

std::array<uint8_t, 8> buildReadRequest(uint8_t address, uint16_t packetNumber) {
  std::array<uint8_t, 8> f{address, kFunctionRead, 0x00, kPacketPayload,
                           static_cast<uint8_t>(packetNumber >> 8), static_cast<uint8_t>(packetNumber & 0xFF), 0, 0};
  putCrc(f.data() + 6, crc16(f.data(), 6));
  return f;
}

std::vector<uint8_t> buildEnvelope(const uint8_t* image, int32_t imageLength) {
  imageLength = std::clamp<int32_t>(imageLength, 0, kMaxImageBytes);
  const uint32_t total = static_cast<uint32_t>(imageLength) + kEnvelopeHeader;
  std::vector<uint8_t> e(total, 0);
  e[2] = static_cast<uint8_t>(total >> 24);
  e[3] = static_cast<uint8_t>(total >> 16);
  e[4] = static_cast<uint8_t>(total >> 8);
  e[5] = static_cast<uint8_t>(total);
  e[6] = 0x00;
  e[7] = 0x01;
  if (imageLength > 0 && image != nullptr) std::memcpy(e.data() + kEnvelopeHeader, image, static_cast<size_t>(imageLength));
  putCrc(e.data(), crc16(e.data() + 2, static_cast<uint16_t>(total - 2)));
  return e;
}

WritePacket buildWritePacket(uint8_t address, uint16_t packetNumber, uint16_t totalPackets,
                             const uint8_t* envelope, int32_t envelopeLength) {
  const int32_t offset = kPacketPayload * static_cast<int32_t>(packetNumber);
  int payload = std::min<int32_t>(envelopeLength - offset, kPacketPayload);
  if (payload < 0) payload = 0;
  WritePacket p;
  p.payloadLength = payload;
  p.frame.assign(static_cast<size_t>(payload) + 13, 0);
  uint8_t* f = p.frame.data();
  f[0] = address;
  f[1] = kFunctionWrite;
  f[2] = 0x00;
  f[3] = kPacketPayload;
  f[4] = static_cast<uint8_t>(packetNumber >> 8);
  f[5] = static_cast<uint8_t>(packetNumber & 0xFF);
  f[6] = static_cast<uint8_t>(payload + 4);
  f[7] = f[4];
  f[8] = f[5];
  f[9] = static_cast<uint8_t>(totalPackets >> 8);
  f[10] = static_cast<uint8_t>(totalPackets & 0xFF);
  if (payload > 0 && envelope != nullptr) std::memcpy(f + 11, envelope + offset, static_cast<size_t>(payload));
  putCrc(f + 11 + payload, crc16(f, static_cast<uint16_t>(payload + 11)));
  return p;
}

std::optional<DataResponse> parseDataResponse(const uint8_t* b, int32_t length) {
  if (b == nullptr || length < 8 || b[1] != kFunctionRead) return std::nullopt;
  const int k = b[2];
  if (k <= 0 || length < k + 5) return std::nullopt;  // empty payload
  if (k < 4) return std::nullopt;
  const uint8_t* payload = b + 3;
  DataResponse r;
  r.packetNumber = payload[0] * 256 + payload[1];
  r.totalPackets = payload[2] * 256 + payload[3];
  r.data.assign(payload + 4, payload + k);
  return r;
}

std::optional<int> parseWriteAck(const uint8_t* b, int32_t length) {
  if (b == nullptr || length < 8 || b[1] != kFunctionWrite) return std::nullopt;
  return b[4] * 256 + b[5];
}

bool checkEnvelope(const uint8_t* e, int32_t g) {
  if (e == nullptr || g < kEnvelopeHeader) return false;
  if (g % 8 != 0) return false;
  if (g - 2 > 0xFFFF) return false;  // longer than any CRC the header could describe
  if (crc16(e + 2, static_cast<uint16_t>(g - 2)) != storedCrc(e)) return false;
  const uint32_t field = (uint32_t{e[2]} << 24) | (uint32_t{e[3]} << 16) | (uint32_t{e[4]} << 8) | e[5];
  return field == static_cast<uint32_t>(g);
}

}  // namespace velmora
