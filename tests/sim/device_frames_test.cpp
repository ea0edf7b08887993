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

// Every proper prefix of a frame must wait for more bytes, or a frame that
// arrives in pieces would be thrown away.
void expectPrefixesWait(const Bytes& frame) {
  for (size_t n = 1; n < frame.size(); ++n)
    EXPECT_EQ(scanRequest(frame.data(), n).state, ScanState::Incomplete) << "prefix " << n;
}

}  // namespace

TEST(DeviceFrames, AnswersDecodeWithTheToolsParsers) {
  const Bytes envelope = buildEnvelope(nullptr, 0);
  const Bytes response = buildDataResponse(1, 0, 1, envelope.data(), envelope.size());
  EXPECT_EQ(response, (Bytes{0x01, 0x69, 0x0C, 0x00, 0x00, 0x00, 0x01, 0x40, 0x19, 0x00, 0x00, 0x00, 0x08, 0x00,
                             0x01, 0x38, 0x79}));

  const Bytes data(50, 0xA5);
  const Bytes full = buildDataResponse(9, 0x0102, 0x0203, data.data(), data.size());
  EXPECT_EQ(checkFrame(full.data(), static_cast<int32_t>(full.size()), 9), 59);
  const auto parsed = parseDataResponse(full.data(), static_cast<int32_t>(full.size()));
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->packetNumber, 0x0102);
  EXPECT_EQ(parsed->totalPackets, 0x0203);
  EXPECT_EQ(parsed->data, data);

  const Bytes ack = buildWriteAck(1, 0);
  EXPECT_EQ(ack, (Bytes{0x01, 0x6C, 0x00, 0x32, 0x00, 0x00, 0x30, 0x0C}));
  const Bytes ack2 = buildWriteAck(3, 0x0129);
  EXPECT_EQ(checkFrame(ack2.data(), 8, 3), 8);
  EXPECT_EQ(parseWriteAck(ack2.data(), 8), 0x0129);

  EXPECT_EQ(buildAddressReport(5), (Bytes{0x22, 0x05, 0x40, 0, 0, 0, 0, 0x67}));
  const Bytes report = buildAddressReport(0xF0);
  EXPECT_EQ(checkFrame(report.data(), 8, 1), 8);
}

TEST(DeviceFrames, ScannerRecognisesEveryToolRequestAndWaitsOnItsPrefixes) {
  const Bytes preamble = bytesOf(buildTransferPreamble());
  auto r = scanRequest(preamble.data(), preamble.size());
  ASSERT_EQ(r.state, ScanState::Frame);
  EXPECT_EQ(r.request.kind, RequestKind::Preamble);
  EXPECT_EQ(r.request.length, 20);
  expectPrefixesWait(preamble);

  const Bytes query = bytesOf(buildAddressQuery());
  r = scanRequest(query.data(), query.size());
  ASSERT_EQ(r.state, ScanState::Frame);
  EXPECT_EQ(r.request.kind, RequestKind::AddressQuery);
  expectPrefixesWait(query);

  const Bytes change = bytesOf(buildAddressChange(245));
  r = scanRequest(change.data(), change.size());
  ASSERT_EQ(r.state, ScanState::Frame);
  EXPECT_EQ(r.request.kind, RequestKind::AddressChange);
  EXPECT_EQ(r.request.newAddress, 245);

  // 0x55 and 0xFF are also bus addresses; the second byte tells them apart.
  for (uint8_t address : {uint8_t{0x55}, uint8_t{0xFF}, uint8_t{1}}) {
    const Bytes read = bytesOf(buildReadRequest(address, 0x0203));
    r = scanRequest(read.data(), read.size());
    ASSERT_EQ(r.state, ScanState::Frame) << int(address);
    EXPECT_EQ(r.request.kind, RequestKind::ReadRequest);
    EXPECT_EQ(r.request.address, address);
    EXPECT_EQ(r.request.packetNumber, 0x0203);
    expectPrefixesWait(read);
  }

  const Bytes envelope(51, 0x11);
  const WritePacket last = buildWritePacket(7, 1, 2, envelope.data(), 51);
  r = scanRequest(last.frame.data(), last.frame.size());
  ASSERT_EQ(r.state, ScanState::Frame);
  EXPECT_EQ(r.request.kind, RequestKind::WritePacket);
  EXPECT_EQ(r.request.length, 14);
  EXPECT_EQ(r.request.packetNumber, 1);
  EXPECT_EQ(r.request.totalPackets, 2);
  ASSERT_EQ(r.request.payloadLength, 1);
  EXPECT_EQ(r.request.payload[0], 0x11);
  const WritePacket first = buildWritePacket(7, 0, 2, envelope.data(), 51);
  expectPrefixesWait(first.frame);
}

TEST(DeviceFrames, ScannerRejectsBrokenHeadsAsSoonAsTheyShow) {
  Bytes read = bytesOf(buildReadRequest(1, 0));
  read[7] ^= 0x01;  // CRC
  EXPECT_EQ(scanRequest(read.data(), 8).state, ScanState::NoFrame);

  const Bytes wrongConstant{0x01, 0x69, 0x00, 0x33};
  EXPECT_EQ(scanRequest(wrongConstant.data(), 4).state, ScanState::NoFrame);
  const Bytes unknownFunction{0x01, 0x70};
  EXPECT_EQ(scanRequest(unknownFunction.data(), 2).state, ScanState::NoFrame);

  // A write packet whose repeated packet number disagrees, or whose byte
  // count claims no payload or more than 50 bytes.
  const Bytes mismatch{0x01, 0x6C, 0x00, 0x32, 0x00, 0x01, 0x36, 0x01};
  EXPECT_EQ(scanRequest(mismatch.data(), mismatch.size()).state, ScanState::NoFrame);
  for (uint8_t count : {uint8_t{4}, uint8_t{55}}) {
    const Bytes badCount{0x01, 0x6C, 0x00, 0x32, 0x00, 0x00, count};
    EXPECT_EQ(scanRequest(badCount.data(), badCount.size()).state, ScanState::NoFrame) << int(count);
  }

  const Bytes toZero{0x55, 0xF5, 0x41, 0x00, 0x00, 0x00, 0x00};
  EXPECT_EQ(scanRequest(toZero.data(), toZero.size()).state, ScanState::NoFrame);
  Bytes badSum = bytesOf(buildAddressChange(5));
  badSum[7] ^= 0x01;
  EXPECT_EQ(scanRequest(badSum.data(), 8).state, ScanState::NoFrame);

  Bytes preamble = bytesOf(buildTransferPreamble());
  preamble[10] = 0x07;  // not printable
  EXPECT_EQ(scanRequest(preamble.data(), 11).state, ScanState::NoFrame);
}
