#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "protocol/frames.h"

using namespace velmora;
using Bytes = std::vector<uint8_t>;

namespace {
template <size_t N>
Bytes toVector(const std::array<uint8_t, N>& a) { return Bytes(a.begin(), a.end()); }
// The device's answers to an empty-image read and to the write of packet 0.
const Bytes kEmptyResponse{0x01, 0x69, 0x0C, 0x00, 0x00, 0x00, 0x01, 0x40, 0x19,
                           0x00, 0x00, 0x00, 0x08, 0x00, 0x01, 0x38, 0x79};
const Bytes kAck0{0x01, 0x6C, 0x00, 0x32, 0x00, 0x00, 0x30, 0x0C};
}  // namespace

TEST(Crc16, CheckValueEmptyInputEveryByteAndEveryLengthAgainstTheBitwiseDefinition) {
  const auto bitwise = [](const uint8_t* b, int n) {
    uint16_t crc = 0xFFFF;
    for (int i = 0; i < n; ++i) {
      crc ^= b[i];
      for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : crc >> 1;
    }
    return crc;
  };
  EXPECT_EQ(crc16(reinterpret_cast<const uint8_t*>("123456789"), 9), 0x4B37);
  EXPECT_EQ(crc16(nullptr, 0), 0xFFFF);
  for (int value = 0; value < 256; ++value) {
    const uint8_t byte = static_cast<uint8_t>(value);
    EXPECT_EQ(crc16(&byte, 1), bitwise(&byte, 1)) << value;
  }
  // Every remainder after whole eight-byte steps, at odd offsets too.
  Bytes data(2099 + 2);  // the longest length at the largest offset
  uint32_t seed = 12345;
  for (auto& b : data) b = static_cast<uint8_t>((seed = seed * 1103515245 + 12345) >> 16);
  for (int n : {2, 7, 8, 9, 15, 16, 17, 57, 255, 2048, 2099})
    for (int offset = 0; offset < 3; ++offset)
      EXPECT_EQ(crc16(data.data() + offset, static_cast<uint16_t>(n)), bitwise(data.data() + offset, n)) << n;
}

TEST(Frames, RequestBytes) {
  EXPECT_EQ(toVector(buildAddressQuery()), (Bytes{0x55, 0xF5, 0x40, 0, 0, 0, 0, 0x8A}));
  EXPECT_EQ(toVector(buildAddressChange(5)), (Bytes{0x55, 0xF5, 0x41, 0, 0, 0, 0x05, 0x90}));
  EXPECT_EQ(buildAddressChange(245)[7], 0x80);
  EXPECT_EQ(toVector(buildReadRequest(1, 0)), (Bytes{0x01, 0x69, 0x00, 0x32, 0x00, 0x00, 0xFC, 0x0C}));
  EXPECT_EQ(toVector(buildReadRequest(1, 1)), (Bytes{0x01, 0x69, 0x00, 0x32, 0x00, 0x01, 0x3D, 0xCC}));
  const auto p = buildTransferPreamble();
  EXPECT_EQ(Bytes(p.begin(), p.begin() + 6), (Bytes{0xFF, 0x00, 0xFF, 0x00, 0xAA, 0x55}));
  EXPECT_EQ(std::string(p.begin() + 6, p.begin() + 20), std::string("VELMORA-HOST1", 14));
}

TEST(Frames, EmptyImageEnvelopeAndItsWirePackets) {
  const Bytes envelope = buildEnvelope(nullptr, 0);
  EXPECT_EQ(envelope, (Bytes{0x40, 0x19, 0, 0, 0, 0x08, 0, 0x01}));
  EXPECT_TRUE(checkEnvelope(envelope.data(), 8));
  const WritePacket p = buildWritePacket(1, 0, 1, envelope.data(), 8);
  EXPECT_EQ(p.payloadLength, 8);
  EXPECT_EQ(p.frame, (Bytes{0x01, 0x6C, 0x00, 0x32, 0x00, 0x00, 0x0C, 0x00, 0x00, 0x00, 0x01, 0x40, 0x19, 0x00,
                            0x00, 0x00, 0x08, 0x00, 0x01, 0x81, 0x4F}));
  EXPECT_EQ(checkFrame(kEmptyResponse.data(), 17, 1) + checkFrame(kAck0.data(), 8, 1), 25);
  const auto parsed = parseDataResponse(kEmptyResponse.data(), 17);
  ASSERT_TRUE(parsed);
  EXPECT_EQ(std::tie(parsed->packetNumber, parsed->totalPackets, parsed->data), std::make_tuple(0, 1, envelope));
  EXPECT_EQ(parseWriteAck(kAck0.data(), 8), 0);
}

// 50 bytes are one packet, 51 two; the largest image goes in 42 (TransferEngine's TheLargestImageGoesIn42Packets).
TEST(Frames, SecondWritePacketOfA51ByteEnvelope) {
  EXPECT_EQ(std::make_tuple(packetCount(8), packetCount(50), packetCount(51), packetCount(2056)),
            std::make_tuple(1, 1, 2, 42));
  const Bytes image(43, 0xA5), envelope = buildEnvelope(image.data(), 43);
  const WritePacket second = buildWritePacket(1, 1, 2, envelope.data(), 51);
  ASSERT_EQ(second.payloadLength, 1);
  // 01 6C 00 32 00 01 K=5 00 01 00 02 data CRC: the number twice, then the total.
  EXPECT_EQ(Bytes(second.frame.begin(), second.frame.begin() + 12),
            (Bytes{0x01, 0x6C, 0x00, 0x32, 0x00, 0x01, 0x05, 0x00, 0x01, 0x00, 0x02, envelope[50]}));
  EXPECT_EQ(crc16(second.frame.data(), 12), second.frame[12] | (second.frame[13] << 8));
}

TEST(CheckFrame, WhatIsAFrameAtTheHeadOfABuffer) {
  // An address report whatever the address setting, when its sum is right.
  const Bytes report{0x22, 0x05, 0x40, 0, 0, 0, 0, 0x67}, badSum{0x22, 0x05, 0x40, 0, 0, 0, 0, 0x68};
  EXPECT_EQ(checkFrame(report.data(), 8, 1) + checkFrame(report.data(), 8, 5), 16);
  EXPECT_FALSE(checkFrame(badSum.data(), 8, 1));
  // An acknowledgement needs exactly its 8 bytes and the right address.
  EXPECT_FALSE(checkFrame(kAck0.data(), 7, 1) || checkFrame(kAck0.data(), 8, 2));
  Bytes nine = kAck0, longer = kEmptyResponse, corrupt = kEmptyResponse;
  nine.push_back(0x00);
  EXPECT_FALSE(checkFrame(nine.data(), 9, 1)) << "an acknowledgement is only examined alone";
  // A data response waits for its last byte; what follows stays for later.
  for (int n = 8; n < 17; ++n) EXPECT_FALSE(checkFrame(kEmptyResponse.data(), n, 1)) << n;
  longer.push_back(0x99);
  EXPECT_EQ(checkFrame(longer.data(), 18, 1), 17);
  corrupt[16] ^= 1;
  EXPECT_FALSE(checkFrame(corrupt.data(), 17, 1));  // byte counts below 4: the engine's ReceiveAssembly...
}

// Numbers are big-endian in two bytes; each parser refuses the other function.
TEST(Parsers, TwoByteNumbersAndTheOtherFunction) {
  const Bytes ack{0x01, 0x6C, 0x00, 0x32, 0x01, 0x29, 0x30, 0x0C};
  EXPECT_FALSE(parseDataResponse(ack.data(), 8));
  EXPECT_EQ(parseWriteAck(ack.data(), 8), 0x0129);
  const Bytes response{0x01, 0x69, 0x04, 0x01, 0x02, 0x02, 0x03, 0, 0};
  EXPECT_FALSE(parseWriteAck(response.data(), 9));
  const auto r = parseDataResponse(response.data(), 9);
  ASSERT_TRUE(r);
  EXPECT_EQ(std::tie(r->packetNumber, r->totalPackets, r->data), std::make_tuple(0x0102, 0x0203, Bytes{}));
  EXPECT_FALSE(parseDataResponse(response.data(), 7));
}

TEST(CheckEnvelope, RejectsEachBrokenProperty) {
  const Bytes image4(4, 0x11), twelve = buildEnvelope(image4.data(), 4);
  EXPECT_FALSE(checkEnvelope(twelve.data(), 12)) << "CRC and length right, but not a multiple of 8";
  const Bytes image8(8, 0x22), good = buildEnvelope(image8.data(), 8);
  EXPECT_TRUE(checkEnvelope(good.data(), 16));
  EXPECT_FALSE(checkEnvelope(good.data(), 7));
  Bytes badCrc = good, badLength = good;
  badCrc[0] ^= 0xFF;
  EXPECT_FALSE(checkEnvelope(badCrc.data(), 16));
  badLength[5] = 24;  // with a CRC that matches the wrong length
  const uint16_t crc = crc16(badLength.data() + 2, 14);
  badLength[0] = crc & 0xFF, badLength[1] = crc >> 8;
  EXPECT_FALSE(checkEnvelope(badLength.data(), 16));
}
