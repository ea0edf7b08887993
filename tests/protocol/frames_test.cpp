#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "protocol/frames.h"

using namespace velmora;
using Bytes = std::vector<uint8_t>;

namespace {
template <size_t N>
Bytes toVector(const std::array<uint8_t, N>& a) { return Bytes(a.begin(), a.end()); }
}  // namespace

TEST(Crc16, CheckValueAndEmptyInput) {
  const std::string digits = "123456789";
  EXPECT_EQ(crc16(reinterpret_cast<const uint8_t*>(digits.data()), 9), 0x4B37);
  EXPECT_EQ(crc16(nullptr, 0), 0xFFFF);
}

TEST(Frames, AddressFrames) {
  EXPECT_EQ(toVector(buildAddressQuery()), (Bytes{0x55, 0xF5, 0x40, 0, 0, 0, 0, 0x8A}));
  EXPECT_EQ(toVector(buildAddressChange(5)), (Bytes{0x55, 0xF5, 0x41, 0, 0, 0, 0x05, 0x90}));
  EXPECT_EQ(buildAddressChange(1)[7], 0x8C);
  EXPECT_EQ(buildAddressChange(245)[7], 0x80);
}

TEST(Frames, PreambleIsTwentyBytesWithFixedText) {
  const auto p = buildTransferPreamble();
  EXPECT_EQ(Bytes(p.begin(), p.begin() + 6), (Bytes{0xFF, 0x00, 0xFF, 0x00, 0xAA, 0x55}));
  EXPECT_EQ(std::string(p.begin() + 6, p.begin() + 19), std::string(kPreambleText));
  for (int i = 6; i < 19; ++i) EXPECT_TRUE(p[i] >= 0x20 && p[i] < 0x7F) << i;
  EXPECT_EQ(p[19], 0x00);
}

TEST(Frames, ReadRequests) {
  EXPECT_EQ(toVector(buildReadRequest(1, 0)), (Bytes{0x01, 0x69, 0x00, 0x32, 0x00, 0x00, 0xFC, 0x0C}));
  EXPECT_EQ(toVector(buildReadRequest(1, 1)), (Bytes{0x01, 0x69, 0x00, 0x32, 0x00, 0x01, 0x3D, 0xCC}));
}

TEST(Frames, EmptyImageEnvelopeAndItsWirePackets) {
  const Bytes envelope = buildEnvelope(nullptr, 0);
  EXPECT_EQ(envelope, (Bytes{0x40, 0x19, 0, 0, 0, 0x08, 0, 0x01}));
  EXPECT_EQ(packetCount(8), 1);
  const WritePacket p = buildWritePacket(1, 0, 1, envelope.data(), 8);
  EXPECT_EQ(p.payloadLength, 8);
  EXPECT_EQ(p.frame, (Bytes{0x01, 0x6C, 0x00, 0x32, 0x00, 0x00, 0x0C, 0x00, 0x00, 0x00, 0x01, 0x40, 0x19, 0x00,
                            0x00, 0x00, 0x08, 0x00, 0x01, 0x81, 0x4F}));
  EXPECT_TRUE(checkEnvelope(envelope.data(), 8));

  const Bytes response{0x01, 0x69, 0x0C, 0x00, 0x00, 0x00, 0x01, 0x40, 0x19,
                       0x00, 0x00, 0x00, 0x08, 0x00, 0x01, 0x38, 0x79};
  EXPECT_EQ(checkFrame(response.data(), 17, 1), 17);
  const auto parsed = parseDataResponse(response.data(), 17);
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->packetNumber, 0);
  EXPECT_EQ(parsed->totalPackets, 1);
  EXPECT_EQ(parsed->data, envelope);

  const Bytes ack{0x01, 0x6C, 0x00, 0x32, 0x00, 0x00, 0x30, 0x0C};
  EXPECT_EQ(checkFrame(ack.data(), 8, 1), 8);
  EXPECT_EQ(parseWriteAck(ack.data(), 8), 0);
}

TEST(Frames, FiftyOneByteEnvelopeIsTwoPackets) {
  Bytes image(43, 0xA5);
  const Bytes envelope = buildEnvelope(image.data(), 43);
  ASSERT_EQ(envelope.size(), 51u);
  EXPECT_EQ(packetCount(51), 2);
  const WritePacket first = buildWritePacket(1, 0, 2, envelope.data(), 51);
  const WritePacket second = buildWritePacket(1, 1, 2, envelope.data(), 51);
  EXPECT_EQ(first.payloadLength, 50);
  EXPECT_EQ(first.frame.size(), 63u);
  EXPECT_EQ(second.payloadLength, 1);
  EXPECT_EQ(second.frame.size(), 14u);
  EXPECT_EQ(second.frame[11], envelope[50]);
  EXPECT_EQ(second.frame[6], 5);
  // Both packets name the total and carry their number twice.
  EXPECT_EQ(second.frame[5], 1);
  EXPECT_EQ(second.frame[8], 1);
  EXPECT_EQ(second.frame[10], 2);
  EXPECT_EQ(crc16(second.frame.data(), 12), second.frame[12] | (second.frame[13] << 8));
}

TEST(CheckFrame, AddressReportRegardlessOfAddressSetting) {
  const Bytes report{0x22, 0x05, 0x40, 0, 0, 0, 0, 0x67};
  EXPECT_EQ(checkFrame(report.data(), 8, 1), 8);
  EXPECT_EQ(checkFrame(report.data(), 8, 5), 8);
  Bytes bad = report;
  bad[7] = 0x68;
  EXPECT_FALSE(checkFrame(bad.data(), 8, 1));
}

TEST(CheckFrame, NeedsEightBytesAndTheRightAddress) {
  const Bytes ack{0x01, 0x6C, 0x00, 0x32, 0x00, 0x00, 0x30, 0x0C};
  EXPECT_FALSE(checkFrame(ack.data(), 7, 1));
  EXPECT_FALSE(checkFrame(ack.data(), 8, 2));
  Bytes nine = ack;
  nine.push_back(0x00);
  EXPECT_FALSE(checkFrame(nine.data(), 9, 1)) << "an acknowledgement is only examined alone";
}

TEST(CheckFrame, DataResponseWaitsForItsLastByte) {
  const Bytes response{0x01, 0x69, 0x0C, 0x00, 0x00, 0x00, 0x01, 0x40, 0x19,
                       0x00, 0x00, 0x00, 0x08, 0x00, 0x01, 0x38, 0x79};
  for (int n = 8; n < 17; ++n) EXPECT_FALSE(checkFrame(response.data(), n, 1)) << n;
  Bytes longer = response;
  longer.push_back(0x99);
  EXPECT_EQ(checkFrame(longer.data(), 18, 1), 17) << "bytes after a response stay for later";
  Bytes corrupt = response;
  corrupt[16] ^= 1;
  EXPECT_FALSE(checkFrame(corrupt.data(), 17, 1));
}

TEST(CheckFrame, ShortByteCountsAreFramesInsideALongerBuffer) {
  // Byte count 1: frame length 6, recognised here but rejected by the dispatch's own check.
  Bytes f{0x01, 0x69, 0x01, 0xAB, 0, 0};
  const uint16_t crc = crc16(f.data(), 4);
  f[4] = crc & 0xFF;
  f[5] = crc >> 8;
  Bytes buffer = f;
  buffer.resize(8, 0xEE);
  EXPECT_EQ(checkFrame(buffer.data(), 8, 1), 6);
  EXPECT_FALSE(checkFrame(f.data(), 6, 1));
  EXPECT_FALSE(parseDataResponse(buffer.data(), 8)) << "fewer than 4 payload bytes";
}

TEST(Parsers, RejectTheOtherFunction) {
  const Bytes ack{0x01, 0x6C, 0x00, 0x32, 0x00, 0x07, 0x30, 0x0C};
  EXPECT_FALSE(parseDataResponse(ack.data(), 8));
  EXPECT_EQ(parseWriteAck(ack.data(), 8), 7);
  const Bytes response{0x01, 0x69, 0x04, 0x00, 0x02, 0x00, 0x03, 0, 0};
  EXPECT_FALSE(parseWriteAck(response.data(), 9));
  const auto r = parseDataResponse(response.data(), 9);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->packetNumber, 2);
  EXPECT_EQ(r->totalPackets, 3);
  EXPECT_TRUE(r->data.empty());
  EXPECT_FALSE(parseDataResponse(response.data(), 7));
}

TEST(CheckEnvelope, RejectsEachBrokenProperty) {
  Bytes image(4, 0x11);
  Bytes twelve = buildEnvelope(image.data(), 4);
  ASSERT_EQ(twelve.size(), 12u);
  EXPECT_FALSE(checkEnvelope(twelve.data(), 12)) << "CRC and length right, but not a multiple of 8";

  Bytes image8(8, 0x22);
  Bytes good = buildEnvelope(image8.data(), 8);
  EXPECT_TRUE(checkEnvelope(good.data(), 16));
  Bytes badCrc = good;
  badCrc[0] ^= 0xFF;
  EXPECT_FALSE(checkEnvelope(badCrc.data(), 16));
  Bytes badLength = good;
  badLength[5] = 24;
  const uint16_t crc = crc16(badLength.data() + 2, 14);
  badLength[0] = crc & 0xFF;
  badLength[1] = crc >> 8;
  EXPECT_FALSE(checkEnvelope(badLength.data(), 16));
  EXPECT_FALSE(checkEnvelope(good.data(), 7));
}

TEST(Envelope, FullImageIsFortyTwoPackets) {
  Bytes image(2048);
  for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i * 7);
  const Bytes e = buildEnvelope(image.data(), 2048);
  ASSERT_EQ(e.size(), 2056u);
  EXPECT_EQ(packetCount(2056), 42);
  EXPECT_TRUE(checkEnvelope(e.data(), 2056));
  EXPECT_EQ(buildWritePacket(1, 41, 42, e.data(), 2056).payloadLength, 6);
}

TEST(Crc16, TableMatchesTheBitwiseDefinitionForEveryByte) {
  // One byte through the register from 0xFFFF, computed the long way.
  for (int value = 0; value < 256; ++value) {
    uint16_t crc = 0xFFFF ^ static_cast<uint16_t>(value);
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : crc >> 1;
    const uint8_t byte = static_cast<uint8_t>(value);
    EXPECT_EQ(crc16(&byte, 1), crc) << value;
  }
}
