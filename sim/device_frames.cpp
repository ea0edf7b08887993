#include "sim/device_frames.h"

#include <algorithm>
#include <cstring>

#include "protocol/frames.h"

namespace velmora::sim {

namespace {

void appendCrc(std::vector<uint8_t>& frame) {
  const uint16_t crc = crc16(frame.data(), static_cast<uint16_t>(frame.size()));
  frame.push_back(static_cast<uint8_t>(crc & 0xFF));  // low byte first on the wire
  frame.push_back(static_cast<uint8_t>(crc >> 8));
}

bool crcMatches(const uint8_t* b, size_t covered) {
  const uint16_t crc = crc16(b, static_cast<uint16_t>(covered));
  return b[covered] == (crc & 0xFF) && b[covered + 1] == (crc >> 8);
}

uint8_t sum7(const uint8_t* b) {
  uint8_t sum = 0;
  for (int i = 0; i < 7; ++i) sum = static_cast<uint8_t>(sum + b[i]);
  return sum;
}

// One candidate kind looked at over the bytes present so far.
enum class Fit { No, Maybe, Yes };

constexpr uint8_t kPreambleHead[6] = {0xFF, 0x00, 0xFF, 0x00, 0xAA, 0x55};
constexpr size_t kPreambleLength = 20;

Fit fitPreamble(const uint8_t* b, size_t n) {
  for (size_t i = 0; i < std::min<size_t>(n, 6); ++i)
    if (b[i] != kPreambleHead[i]) return Fit::No;
  for (size_t i = 6; i < std::min<size_t>(n, 19); ++i)
    if (b[i] < 0x20 || b[i] > 0x7E) return Fit::No;
  if (n < kPreambleLength) return Fit::Maybe;
  return b[19] == 0x00 ? Fit::Yes : Fit::No;
}

// 55 F5 40 00 00 00 00 8A, or 55 F5 41 00 00 00 N S with N 1..255.
Fit fitAddressCommand(const uint8_t* b, size_t n) {
  if (b[0] != 0x55) return Fit::No;
  if (n > 1 && b[1] != 0xF5) return Fit::No;
  if (n > 2 && b[2] != 0x40 && b[2] != 0x41) return Fit::No;
  for (size_t i = 3; i < std::min<size_t>(n, 6); ++i)
    if (b[i] != 0x00) return Fit::No;
  if (n > 6 && b[2] == 0x40 && b[6] != 0x00) return Fit::No;
  if (n > 6 && b[2] == 0x41 && b[6] == 0x00) return Fit::No;
  if (n < 8) return Fit::Maybe;
  return sum7(b) == b[7] ? Fit::Yes : Fit::No;
}

// A 69 00 32 Ph Pl CRC, or A 6C 00 32 Ph Pl (L+4) Ph Pl Th Tl data CRC.
Fit fitAddressedRequest(const uint8_t* b, size_t n, size_t& length) {
  if (n < 2) return Fit::Maybe;  // any byte may be a bus address
  if (b[1] != kFunctionRead && b[1] != kFunctionWrite) return Fit::No;
  if (n > 2 && b[2] != 0x00) return Fit::No;
  if (n > 3 && b[3] != kPacketPayload) return Fit::No;
  if (b[1] == kFunctionRead) {
    length = 8;
  } else {
    if (n < 7) return Fit::Maybe;
    const int payload = b[6] - 4;
    if (payload < 1 || payload > kPacketPayload) return Fit::No;
    if (n > 7 && b[7] != b[4]) return Fit::No;
    if (n > 8 && b[8] != b[5]) return Fit::No;
    length = static_cast<size_t>(payload) + 13;
  }
  if (n < length) return Fit::Maybe;
  return crcMatches(b, length - 2) ? Fit::Yes : Fit::No;
}

}  // namespace

std::vector<uint8_t> buildDataResponse(uint8_t address, uint16_t packetNumber, uint16_t totalPackets,
                                       const uint8_t* data, size_t count) {
  if (data == nullptr) count = 0;
  count = std::min<size_t>(count, kPacketPayload);
  std::vector<uint8_t> f(7 + count);
  f[0] = address;
  f[1] = kFunctionRead;
  f[2] = static_cast<uint8_t>(count + 4);
  f[3] = static_cast<uint8_t>(packetNumber >> 8);
  f[4] = static_cast<uint8_t>(packetNumber & 0xFF);
  f[5] = static_cast<uint8_t>(totalPackets >> 8);
  f[6] = static_cast<uint8_t>(totalPackets & 0xFF);
  if (count > 0) std::memcpy(f.data() + 7, data, count);
  appendCrc(f);
  return f;
}

std::vector<uint8_t> buildWriteAck(uint8_t address, uint16_t packetNumber) {
  std::vector<uint8_t> f{address, kFunctionWrite, 0x00, kPacketPayload, static_cast<uint8_t>(packetNumber >> 8),
                         static_cast<uint8_t>(packetNumber & 0xFF)};
  appendCrc(f);
  return f;
}

std::vector<uint8_t> buildAddressReport(uint8_t address) {
  std::vector<uint8_t> f{kAddressReportHead, address, kAddressCommand, 0, 0, 0, 0, 0};
  f[7] = sum7(f.data());
  return f;
}

ScanResult scanRequest(const uint8_t* b, size_t n) {
  ScanResult result;
  if (b == nullptr || n == 0) {
    result.state = ScanState::Incomplete;
    return result;
  }
  const Fit preamble = fitPreamble(b, n);
  const Fit command = fitAddressCommand(b, n);
  size_t length = 0;
  const Fit addressed = fitAddressedRequest(b, n, length);

  Request& r = result.request;
  if (preamble == Fit::Yes) {
    r.kind = RequestKind::Preamble;
    r.length = static_cast<int>(kPreambleLength);
  } else if (command == Fit::Yes) {
    r.kind = b[2] == 0x40 ? RequestKind::AddressQuery : RequestKind::AddressChange;
    r.length = 8;
    if (r.kind == RequestKind::AddressChange) r.newAddress = b[6];
  } else if (addressed == Fit::Yes) {
    r.length = static_cast<int>(length);
    r.address = b[0];
    r.packetNumber = b[4] * 256 + b[5];
    if (b[1] == kFunctionRead) {
      r.kind = RequestKind::ReadRequest;
    } else {
      r.kind = RequestKind::WritePacket;
      r.totalPackets = b[9] * 256 + b[10];
      r.payload = b + 11;
      r.payloadLength = b[6] - 4;
    }
  } else {
    const bool maybe = preamble == Fit::Maybe || command == Fit::Maybe || addressed == Fit::Maybe;
    result.state = maybe ? ScanState::Incomplete : ScanState::NoFrame;
    return result;
  }
  result.state = ScanState::Frame;
  return result;
}

}  // namespace velmora::sim
