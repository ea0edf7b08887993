#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "diag/hex_view.h"

using namespace velmora;
using Bytes = std::vector<uint8_t>;

TEST(HexView, ThreeBytesInBothViews) {
  const Bytes b{0x41, 0x42, 0x0A};
  EXPECT_EQ(formatHexView(b.data(), b.size()), "41 42 0A ");
  EXPECT_EQ(formatCharView(b.data(), b.size()), "AB.");
}

TEST(HexView, SixteenBytesALine) {
  Bytes b(17);
  for (size_t i = 0; i < b.size(); ++i) b[i] = static_cast<uint8_t>(i);
  EXPECT_EQ(formatHexView(b.data(), b.size()), "00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F \r\n10 ");
  const Bytes pattern = demonstrationPattern();
  ASSERT_EQ(pattern.size(), 180u);
  const std::string text = formatHexView(pattern.data(), pattern.size());
  size_t lines = 1;
  for (size_t p = text.find("\r\n"); p != std::string::npos; p = text.find("\r\n", p + 2)) ++lines;
  EXPECT_EQ(lines, 12u);
  EXPECT_EQ(text.substr(text.size() - 12), "B0 B1 B2 B3 ");
}

TEST(CharView, OnlyPrintableAsciiShown) {
  const Bytes b{0x7F, 0x80, 0x20, 0x7E, 0x00};
  EXPECT_EQ(formatCharView(b.data(), b.size()), ".. ~.");
  EXPECT_EQ(formatCharView(b.data(), b.size()).size(), 5u);
}

TEST(ParseHex, SeparatorsIgnoredAndPairsRead) {
  EXPECT_EQ(parseHexText("01 02-03\r\n04", 2048), (Bytes{1, 2, 3, 4}));
  EXPECT_EQ(parseHexText("\tab Cd ef", 2048), (Bytes{0xAB, 0xCD, 0xEF}));
  EXPECT_EQ(parseHexText("41 42 0A ", 2048), (Bytes{0x41, 0x42, 0x0A}));
}

TEST(ParseHex, AnythingButWholeHexPairsStoresNothing) {
  EXPECT_TRUE(parseHexText("", 2048).empty());
  EXPECT_TRUE(parseHexText(" \r\n- ", 2048).empty());
  EXPECT_TRUE(parseHexText("123", 2048).empty());
  EXPECT_TRUE(parseHexText("zz", 2048).empty());
  EXPECT_TRUE(parseHexText("0G", 2048).empty()) << "a scanf read would take this as 00";
  EXPECT_TRUE(parseHexText("+1", 2048).empty());
  EXPECT_TRUE(parseHexText("AB.", 2048).empty()) << "the character view of 41 42 0A";
  EXPECT_TRUE(parseHexText("01 02 数据", 2048).empty());
}

TEST(ParseHex, CapacityLimitsStoredBytesButEveryPairIsChecked) {
  std::string text;
  for (int i = 0; i < 2050; ++i) text += "5A ";
  const Bytes stored = parseHexText(text, 2048);
  EXPECT_EQ(stored.size(), 2048u);
  EXPECT_EQ(stored.back(), 0x5A);
  EXPECT_TRUE(parseHexText(text + "QQ", 2048).empty());
}
