#include <gtest/gtest.h>

#include <vector>

#include "protocol/frames.h"
#include "sim/device_frames.h"

using namespace velmora;
using namespace velmora::sim;
using Bytes = std::vector<uint8_t>;

namespace {
template <typename C>
Bytes bytesOf(const C& c) { return Bytes(c.begin(), c.end()); }
}  // namespace

TEST(DeviceFrames, AnswersAreTheBytesTheToolParses) {
  const Bytes envelope = buildEnvelope(nullptr, 0);
  EXPECT_EQ(buildDataResponse(1, 0, 1, envelope.data(), envelope.size()),
            (Bytes{0x01, 0x69, 0x0C, 0x00, 0x00, 0x00, 0x01, 0x40, 0x19, 0x00, 0x00, 0x00, 0x08, 0x00, 0x01, 0x38, 0x79}));
  EXPECT_EQ(buildWriteAck(1, 0), (Bytes{0x01, 0x6C, 0x00, 0x32, 0x00, 0x00, 0x30, 0x0C}));
  EXPECT_EQ(buildAddressReport(5), (Bytes{0x22, 0x05, 0x40, 0, 0, 0, 0, 0x67}));

  // Two-byte numbers and a full 50-byte payload.
  const Bytes data(50, 0xA5);
  const Bytes full = buildDataResponse(9, 0x0102, 0x0203, data.data(), data.size());
  EXPECT_EQ(checkFrame(full.data(), static_cast<int32_t>(full.size()), 9), 59);
  const auto parsed = parseDataResponse(full.data(), static_cast<int32_t>(full.size()));
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->packetNumber, 0x0102);
  EXPECT_EQ(parsed->totalPackets, 0x0203);
  EXPECT_EQ(parsed->data, data);
  const Bytes ack = buildWriteAck(3, 0x0129);
  EXPECT_EQ(checkFrame(ack.data(), 8, 3), 8);
  EXPECT_EQ(parseWriteAck(ack.data(), 8), 0x0129);
}

TEST(DeviceFrames, ScannerRecognisesEveryToolRequestAndWaitsOnItsPrefixes) {
  const Bytes envelope(51, 0x11);
  const struct {
    Bytes frame;
    RequestKind kind;
    int address, packet;
  } requests[] = {
      {bytesOf(buildTransferPreamble()), RequestKind::Preamble, 0, 0},
      {bytesOf(buildAddressQuery()), RequestKind::AddressQuery, 0, 0},
      {bytesOf(buildAddressChange(245)), RequestKind::AddressChange, 0, 0},
      // 0x55 and 0xFF are also bus addresses; the second byte tells them apart.
      {bytesOf(buildReadRequest(0x55, 0x0203)), RequestKind::ReadRequest, 0x55, 0x0203},
      {bytesOf(buildReadRequest(0xFF, 0x0203)), RequestKind::ReadRequest, 0xFF, 0x0203},
      {buildWritePacket(7, 0, 2, envelope.data(), 51).frame, RequestKind::WritePacket, 7, 0},
      {buildWritePacket(7, 1, 2, envelope.data(), 51).frame, RequestKind::WritePacket, 7, 1},
  };
  for (const auto& r : requests) {
    SCOPED_TRACE(static_cast<int>(r.kind));
    // Every proper prefix must wait for more bytes, or a frame that arrives
    // in pieces would be thrown away.
    for (size_t n = 1; n < r.frame.size(); ++n)
      EXPECT_EQ(scanRequest(r.frame.data(), n).state, ScanState::Incomplete) << "prefix " << n;
    const ScanResult s = scanRequest(r.frame.data(), r.frame.size());
    ASSERT_EQ(s.state, ScanState::Frame);
    EXPECT_EQ(s.request.kind, r.kind);
    EXPECT_EQ(s.request.length, static_cast<int>(r.frame.size()));
    EXPECT_EQ(s.request.address, r.address);
    EXPECT_EQ(s.request.packetNumber, r.packet);
  }
  EXPECT_EQ(scanRequest(requests[2].frame.data(), 8).request.newAddress, 245);
  const Request last = scanRequest(requests[6].frame.data(), 14).request;
  EXPECT_EQ(last.totalPackets, 2);
  ASSERT_EQ(last.payloadLength, 1);
  EXPECT_EQ(last.payload[0], 0x11);
}

TEST(DeviceFrames, ScannerRejectsBrokenHeadsAsSoonAsTheyShow) {
  Bytes badCrc = bytesOf(buildReadRequest(1, 0));
  badCrc[7] ^= 0x01;
  Bytes badSum = bytesOf(buildAddressChange(5));
  badSum[7] ^= 0x01;
  Bytes unprintable = bytesOf(buildTransferPreamble());
  unprintable[10] = 0x07;
  unprintable.resize(11);
  const Bytes broken[] = {
      badCrc,
      {0x01, 0x69, 0x00, 0x33},                          // wrong constant
      {0x01, 0x70},                                      // unknown function
      {0x01, 0x6C, 0x00, 0x32, 0x00, 0x01, 0x36, 0x01},  // the repeated packet number disagrees
      {0x01, 0x6C, 0x00, 0x32, 0x00, 0x00, 4},           // no payload
      {0x01, 0x6C, 0x00, 0x32, 0x00, 0x00, 55},          // more than 50 bytes
      {0x55, 0xF5, 0x41, 0x00, 0x00, 0x00, 0x00},        // change to address 0
      badSum,
      unprintable,
  };
  for (const Bytes& b : broken) EXPECT_EQ(scanRequest(b.data(), b.size()).state, ScanState::NoFrame) << ::testing::PrintToString(b);
}
