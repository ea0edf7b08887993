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

// Files and plans take four plain numbers; an address field takes what a
// "%u.%u.%u.%u" scan takes.
TEST(Text, DottedAddressStrictAndTyped) {
  using Octets = std::array<uint8_t, 4>;
  EXPECT_EQ(parseDottedAddress("192.168.1.110"), (Octets{192, 168, 1, 110}));
  EXPECT_EQ(parseDottedAddress("0.0.0.0"), (Octets{0, 0, 0, 0}));
  EXPECT_EQ(parseDottedAddress("010.255.001.9"), (Octets{10, 255, 1, 9}));
  for (const char* bad : {"", "1.2.3", "1.2.3.4.", "1.2.3.4 ", " 1.2.3.4", "1..2.3", "1.2.3.256", "0001.2.3.4",
                          "+1.2.3.4", "1.2.3.4x", "1.2.-3.4"})
    EXPECT_EQ(parseDottedAddress(bad), std::nullopt) << bad;
  const std::pair<const char*, Octets> typed[] = {
      {" 1. +2.3.4 and more", {1, 2, 3, 4}}, {"0001.2.3.-0", {1, 2, 3, 0}}, {"10.0.0.1x", {10, 0, 0, 1}}};
  for (const auto& [text, octets] : typed) EXPECT_EQ(parseDottedAddress(text, DottedForm::Typed), octets) << text;
  for (const char* bad : {"1.2.3", "1.2.3.-1", "1.2.3.256", "1 .2.3.4", "99999999999999.1.1.1"})
    EXPECT_EQ(parseDottedAddress(bad, DottedForm::Typed), std::nullopt) << bad;
}
