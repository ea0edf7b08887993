#include <gtest/gtest.h>

#include "base/text.h"

using namespace velmora;

// The dialogs' number reading: the leading number, saturated at 32 bits.
TEST(ParseDecimal, LeadingNumberSaturatedAt32Bits) {
  const std::pair<const char*, int32_t> cases[] = {
      {"  42abc", 42}, {"-7", -7}, {"+9", 9}, {"", 0}, {"abc", 0}, {"COM3", 0},
      {"99999999999999999999", 2147483647}, {"-99999999999999999999", -2147483647 - 1},
      {"2147483647", 2147483647}, {"-2147483648", -2147483647 - 1}};
  for (const auto& [text, value] : cases) EXPECT_EQ(parseDecimal(text), value) << text;
}

TEST(Text, TrimAndFormat) {
  EXPECT_EQ(trim(" \t a b \r\n"), "a b");
  EXPECT_EQ(trim("   "), "");
  EXPECT_EQ(strprintf("%03d|%s", 5, "网"), "005|网");
  const uint8_t bytes[] = {0x01, 0xAB, 0x0A};
  EXPECT_EQ(hexBytesSpaced(bytes, 3), "01 AB 0A ");
}
