#include <gtest/gtest.h>

#include "base/text.h"

using namespace velmora;

TEST(ParseDecimal, ReadsLeadingNumberLikeTheDialogs) {
  EXPECT_EQ(parseDecimal("  42abc"), 42);
  EXPECT_EQ(parseDecimal("-7"), -7);
  EXPECT_EQ(parseDecimal("+9"), 9);
  EXPECT_EQ(parseDecimal(""), 0);
  EXPECT_EQ(parseDecimal("abc"), 0);
  EXPECT_EQ(parseDecimal("COM3"), 0);
}

TEST(ParseDecimal, SaturatesBeyond32Bits) {
  EXPECT_EQ(parseDecimal("99999999999999999999"), 2147483647);
  EXPECT_EQ(parseDecimal("-99999999999999999999"), -2147483647 - 1);
  EXPECT_EQ(parseDecimal("2147483647"), 2147483647);
  EXPECT_EQ(parseDecimal("-2147483648"), -2147483647 - 1);
}

TEST(Text, TrimAndFormat) {
  EXPECT_EQ(trim(" \t a b \r\n"), "a b");
  EXPECT_EQ(trim("   "), "");
  EXPECT_EQ(strprintf("%03d|%s", 5, "网"), "005|网");
  const uint8_t bytes[] = {0x01, 0xAB, 0x0A};
  EXPECT_EQ(hexBytesSpaced(bytes, 3), "01 AB 0A ");
}
