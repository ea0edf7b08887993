// The device's side of the wire: the frames it sends back, and the scanner
// that finds the tool's requests in a stream of received bytes. The CRC, the
// envelope and the tool's own frames come from protocol/frames.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace velmora::sim {

// A data response: A 69 K Ph Pl Th Tl data CRC, with K = data + 4.
// data holds at most 50 bytes.
std::vector<uint8_t> buildDataResponse(uint8_t address, uint16_t packetNumber, uint16_t totalPackets,
                                       const uint8_t* data, size_t count);
// A 6C 00 32 Ph Pl CRC.
std::vector<uint8_t> buildWriteAck(uint8_t address, uint16_t packetNumber);
// 22 A 40 00 00 00 00 S, S the sum of bytes 0..6.
std::vector<uint8_t> buildAddressReport(uint8_t address);

enum class RequestKind { Preamble, AddressQuery, AddressChange, ReadRequest, WritePacket };

// A request the scanner cut out of the stream. Fields a kind does not
// carry stay 0; payload points into the scanned bytes.
struct Request {
  RequestKind kind = RequestKind::Preamble;
  int length = 0;            // bytes the frame occupies
  uint8_t address = 0;       // read request and write packet
  uint8_t newAddress = 0;    // address change
  int packetNumber = 0;      // read request and write packet
  int totalPackets = 0;      // write packet
  const uint8_t* payload = nullptr;  // write packet
  int payloadLength = 0;             // write packet, 1..50
};

enum class ScanState {
  Frame,       // a complete valid request stands at the head
  Incomplete,  // the head can still become a request: wait for more bytes
  NoFrame,     // the head byte cannot start a request: skip it
};

struct ScanResult {
  ScanState state = ScanState::NoFrame;
  Request request;  // meaningful for Frame only
};

// Looks at the head of bytes only. Every byte of a request that the tool
// fixes (constants, repeated packet number, CRC or checksum) is checked as
// soon as it is present, so garbage is rejected early and a following good
// frame is not held up behind it for long.
ScanResult scanRequest(const uint8_t* bytes, size_t count);

}  // namespace velmora::sim
