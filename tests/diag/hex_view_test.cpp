#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "diag/hex_view.h"

using namespace velmora;
using Bytes = std::vector<uint8_t>;

TEST(HexView, SixteenBytesALineAndOnlyPrintableAsciiInTheCharacterView) {
  const Bytes b{0x41, 0x42, 0x0A};
  EXPECT_EQ(formatHexView(b.data(), b.size()), "41 42 0A ");
  EXPECT_EQ(formatCharView(b.data(), b.size()), "AB.");
  const Bytes edges{0x7F, 0x80, 0x20, 0x7E, 0x00};
  EXPECT_EQ(formatCharView(edges.data(), edges.size()), ".. ~.");
  Bytes seventeen(17);
  for (size_t i = 0; i < seventeen.size(); ++i) seventeen[i] = static_cast<uint8_t>(i);
  EXPECT_EQ(formatHexView(seventeen.data(), 17), "00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F \r\n10 ");
  const Bytes pattern = demonstrationPattern();
  ASSERT_EQ(pattern.size(), 180u);
  const std::string text = formatHexView(pattern.data(), pattern.size());
  EXPECT_EQ(text.substr(text.size() - 17), "AF \r\nB0 B1 B2 B3 ");
}

TEST(ParseHex, WholeHexPairsBetweenSeparatorsOrNothing) {
  EXPECT_EQ(readHexText("01 02-03\r\n04", 2048).bytes, (Bytes{1, 2, 3, 4}));
  EXPECT_EQ(readHexText("\tab Cd ef", 2048).bytes, (Bytes{0xAB, 0xCD, 0xEF}));
  EXPECT_EQ(readHexText("41 42 0A ", 2048).bytes, (Bytes{0x41, 0x42, 0x0A}));
  for (const char* empty : {"", " \r\n- "}) {
    EXPECT_TRUE(readHexText(empty, 2048).ok()) << empty;
    EXPECT_TRUE(readHexText(empty, 2048).bytes.empty()) << empty;
  }
  // "0G" would read as 00 by a scanf; "AB." is the character view of 41 42 0A.
  for (const char* bad : {"123", "zz", "0G", "+1", "AB.", "01 02 数据"}) {
    const HexTextRead read = readHexText(bad, 2048);
    EXPECT_FALSE(read.ok()) << bad;
    EXPECT_TRUE(read.bytes.empty()) << bad;
  }
}

TEST(ParseHex, CapacityLimitsStoredBytesButEveryPairIsChecked) {
  std::string text;
  for (int i = 0; i < 2050; ++i) text += "5A ";
  EXPECT_EQ(readHexText(text, 2048).bytes, Bytes(2048, 0x5A));
  EXPECT_FALSE(readHexText(text + "QQ", 2048).ok());
}

// The log line says which byte and where; CR LF is one line break.
TEST(ParseHex, TheRefusalNamesTheByteItsLineAndColumn) {
  const std::pair<const char*, const char*> cases[] = {
      {"01 02 03\r\n04 0G 06", "数据测试：第 5 个字节“0G”（第 2 行第 4 列）不是十六进制数，配置未改变"},
      {"01 02\n 3", "数据测试：第 3 个字节“3”（第 2 行第 2 列）只有一位数字，配置未改变"},
      {"01 数据", "数据测试：第 2 个字节“数据”（第 1 行第 4 列）不是十六进制数，配置未改变"}};
  for (const auto& [text, why] : cases) EXPECT_EQ(describeHexTextError(readHexText(text, 2048)), why) << text;
  EXPECT_EQ(describeHexTextError(readHexText("01", 2048)), "");
}
