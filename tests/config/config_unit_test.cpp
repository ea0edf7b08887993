// The 8-byte units of the file format, field by field.
#include <gtest/gtest.h>

#include <tuple>

#include "config/config_unit.h"

using namespace velmora;

TEST(UnitCodecs, DecodeFieldsAndEncodeBackByteForByte) {
  // 0x8D: data bits 8, stop code 3, parity code 1.
  const ConfigUnit serial{0x01, 0x03, 0x00, 0x00, 0x25, 0x80, 0x8D, 0x0D};
  const SerialPortUnit s = decodeSerialPort(serial);
  EXPECT_EQ(std::tie(s.portNumber, s.baudRate, s.dataBits, s.stopBitsCode, s.parityCode, s.protocolFlags),
            std::make_tuple(3, 9600u, 8, 3, 1, 0x0D));
  EXPECT_EQ(encodeSerialPort(s), serial);
  const ConfigUnit odd{0x01, 0x05, 0xFF, 0xEE, 0xDD, 0xCC, 0x39, 0xF0};
  EXPECT_EQ(encodeSerialPort(decodeSerialPort(odd)), odd);

  const ConfigUnit mask{0x02, 0x00, 0x01, 0x01, 0xFF, 0xFF, 0xFF, 0x00};
  const NetworkAddressUnit n = decodeNetworkAddress(mask);
  EXPECT_EQ(n.netPort, 0);
  EXPECT_EQ(n.virtualIndex, 1);
  EXPECT_EQ(n.fieldSelector, kFieldMask);
  EXPECT_EQ(n.value, (Octets{255, 255, 255, 0}));
  EXPECT_EQ(encodeNetworkAddress(n), mask);

  const ServerPortUnit p = decodeServerPort({0x03, 0x00, 0x0B, 0xB8, 0x00, 0x00, 0x01, 0x06});
  EXPECT_EQ(p.port, 3000);
  EXPECT_EQ(p.protocolFlags, 0x106u);
  ServerPortUnit q;
  q.entryIndex = 31;
  q.port = 65535;
  q.protocolFlags = 0x80000012;
  EXPECT_EQ(encodeServerPort(q), (ConfigUnit{0x03, 0x1F, 0xFF, 0xFF, 0x80, 0x00, 0x00, 0x12}));

  const ConfigUnit reg{0x04, 0x03, 0x01, 0x06, 0x40, 0x00, 0x64, 0x01};
  const HoldingRegisterUnit h = decodeHoldingRegister(reg);
  EXPECT_EQ(std::tie(h.group, h.enable, h.address, h.count, h.widthFlag),
            std::make_tuple(kGroupGlobalInteger, 1, 1600, 100, 1));
  EXPECT_EQ(encodeHoldingRegister(h), reg);
}

TEST(UnitCodecs, SerialLineFormatCodesCannotSpillIntoTheirNeighbours) {
  SerialPortUnit f;
  f.portNumber = 32;
  f.baudRate = 115200;
  f.dataBits = 7;
  f.stopBitsCode = 2;
  f.parityCode = 3;
  f.protocolFlags = 0x2B;
  EXPECT_EQ(encodeSerialPort(f), (ConfigUnit{0x01, 0x20, 0x00, 0x01, 0xC2, 0x00, 0x7B, 0x2B}));
  f.dataBits = 8;
  f.stopBitsCode = 7;
  f.parityCode = 6;
  EXPECT_EQ(encodeSerialPort(f)[6], 0x80 | 0x0C | 0x02);
}

TEST(ImageUnits, WholeUnitsDropTheTrailingPartAndRejectNoImage) {
  uint8_t image[13] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13};
  const auto units = wholeUnits(image, 13);
  ASSERT_EQ(units.size(), 1u);
  EXPECT_EQ(units[0], (ConfigUnit{1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_TRUE(wholeUnits(image, 7).empty());
  EXPECT_TRUE(wholeUnits(image, -8).empty());
  EXPECT_TRUE(wholeUnits(nullptr, 16).empty());
  EXPECT_TRUE(isWholeImage(image, 8));
  for (int32_t length : {13, 0, -8}) EXPECT_FALSE(isWholeImage(image, length)) << length;
  EXPECT_FALSE(isWholeImage(nullptr, 8));
}
