#include <gtest/gtest.h>

#include "config/config_unit.h"

using namespace velmora;

TEST(SerialPortUnitCodec, LineFormatSplitsIntoNibbleAndCodes) {
  // 0x8D: data bits 8, stop code 3, parity code 1.
  SerialPortUnit f = decodeSerialPort({0x01, 0x03, 0x00, 0x00, 0x25, 0x80, 0x8D, 0x0D});
  EXPECT_EQ(f.portNumber, 3);
  EXPECT_EQ(f.baudRate, 9600u);
  EXPECT_EQ(f.dataBits, 8);
  EXPECT_EQ(f.stopBitsCode, 3);
  EXPECT_EQ(f.parityCode, 1);
  EXPECT_EQ(f.protocolFlags, 0x0D);

  f = decodeSerialPort({0x01, 0x01, 0x00, 0x00, 0x25, 0x80, 0x84, 0x0D});
  EXPECT_EQ(f.dataBits, 8);
  EXPECT_EQ(f.stopBitsCode, 1);
  EXPECT_EQ(f.parityCode, 0);
}

TEST(SerialPortUnitCodec, EncodesBigEndianBaudAndPacksLineFormat) {
  SerialPortUnit f;
  f.portNumber = 32;
  f.baudRate = 115200;  // 0x0001C200
  f.dataBits = 7;
  f.stopBitsCode = 2;
  f.parityCode = 3;
  f.protocolFlags = 0x2B;
  EXPECT_EQ(encodeSerialPort(f), (ConfigUnit{0x01, 0x20, 0x00, 0x01, 0xC2, 0x00, 0x7B, 0x2B}));

  // Out-of-range codes cannot spill into the neighbouring fields.
  f.dataBits = 8;
  f.stopBitsCode = 7;
  f.parityCode = 6;
  EXPECT_EQ(encodeSerialPort(f)[6], 0x80 | 0x0C | 0x02);

  const ConfigUnit odd{0x01, 0x05, 0xFF, 0xEE, 0xDD, 0xCC, 0x39, 0xF0};
  EXPECT_EQ(encodeSerialPort(decodeSerialPort(odd)), odd);
}

TEST(NetworkAddressUnitCodec, ValueBytesAreInDottedOrder) {
  const ConfigUnit unit{0x02, 0x00, 0x01, 0x01, 0xFF, 0xFF, 0xFF, 0x00};
  const NetworkAddressUnit f = decodeNetworkAddress(unit);
  EXPECT_EQ(f.netPort, 0);
  EXPECT_EQ(f.virtualIndex, 1);
  EXPECT_EQ(f.fieldSelector, kFieldMask);
  EXPECT_EQ(f.value, (Octets{255, 255, 255, 0}));
  EXPECT_EQ(encodeNetworkAddress(f), unit);

  NetworkAddressUnit ip;
  ip.fieldSelector = kFieldIp;
  ip.value = {192, 168, 1, 111};
  EXPECT_EQ(encodeNetworkAddress(ip), (ConfigUnit{0x02, 0x00, 0x00, 0x00, 0xC0, 0xA8, 0x01, 0x6F}));
}

TEST(ServerPortUnitCodec, PortAndFlagsAreBigEndian) {
  const ServerPortUnit f = decodeServerPort({0x03, 0x00, 0x0B, 0xB8, 0x00, 0x00, 0x01, 0x06});
  EXPECT_EQ(f.entryIndex, 0);
  EXPECT_EQ(f.port, 3000);
  EXPECT_EQ(f.protocolFlags, 0x106u);

  ServerPortUnit g;
  g.entryIndex = 31;
  g.port = 65535;
  g.protocolFlags = 0x80000012;
  EXPECT_EQ(encodeServerPort(g), (ConfigUnit{0x03, 0x1F, 0xFF, 0xFF, 0x80, 0x00, 0x00, 0x12}));
}

TEST(HoldingRegisterUnitCodec, AddressAndCountAreBigEndian) {
  const ConfigUnit unit{0x04, 0x03, 0x01, 0x06, 0x40, 0x00, 0x64, 0x01};
  const HoldingRegisterUnit f = decodeHoldingRegister(unit);
  EXPECT_EQ(f.group, kGroupGlobalInteger);
  EXPECT_EQ(f.enable, 1);
  EXPECT_EQ(f.address, 1600);
  EXPECT_EQ(f.count, 100);
  EXPECT_EQ(f.widthFlag, 1);
  EXPECT_EQ(encodeHoldingRegister(f), unit);
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
  EXPECT_FALSE(isWholeImage(image, 13));
  EXPECT_FALSE(isWholeImage(image, 0));
  EXPECT_FALSE(isWholeImage(image, -8));
  EXPECT_FALSE(isWholeImage(nullptr, 8));
}
