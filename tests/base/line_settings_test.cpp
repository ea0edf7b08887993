#include <gtest/gtest.h>

#include <string>

#include "base/line_settings.h"

using namespace velmora;

namespace {

// What each value is in every form, written out here rather than taken from
// the tables, so a swapped entry fails. -1: the image has no code for it.
struct ParityRow {
  Parity value;
  int channel, stored;
  const char* name;
  char letter;
  const char* shortText;
  const char* longText;
};
const ParityRow kParityRows[] = {
    {Parity::None, 0, 0, "none", 'N', "无", "无校验"},
    {Parity::Odd, 1, 2, "odd", 'O', "奇", "奇校验"},
    {Parity::Even, 2, 1, "even", 'E', "偶", "偶校验"},
    {Parity::Mark, 3, 3, "mark", 'M', "标记", "标记校验"},
    {Parity::Space, 4, -1, "space", 'S', "空格", "空格校验"},
};

struct StopBitsRow {
  StopBits value;
  int code;  // the channel's and the image's alike
  const char* name;
};
const StopBitsRow kStopBitsRows[] = {
    {StopBits::One, 0, "1"}, {StopBits::OneAndHalf, 1, "1.5"}, {StopBits::Two, 2, "2"}};

}  // namespace

TEST(LineSettings, EveryParityRoundTripsThroughEachForm) {
  ASSERT_EQ(std::size(kParityRows), static_cast<size_t>(kParityCount));
  for (const ParityRow& r : kParityRows) {
    SCOPED_TRACE(r.name);
    EXPECT_EQ(channelCode(r.value), r.channel);
    EXPECT_EQ(parityOfChannelCode(r.channel), r.value);
    if (r.stored < 0) {
      EXPECT_EQ(storedCode(r.value), std::nullopt);
    } else {
      EXPECT_EQ(storedCode(r.value), static_cast<uint8_t>(r.stored));
      EXPECT_EQ(parityOfStoredCode(r.stored), r.value);
    }
    EXPECT_STREQ(parityName(r.value), r.name);
    EXPECT_EQ(parityNamed(r.name), r.value);
    EXPECT_EQ(parityLetter(r.value), r.letter);
    EXPECT_EQ(parityOfLetter(r.letter), r.value);
    EXPECT_EQ(parityOfLetter(static_cast<char>(r.letter - 'A' + 'a')), r.value);
    EXPECT_EQ(parityShortText(r.value), r.shortText);
    EXPECT_EQ(parityLongText(r.value), r.longText);
  }
  // Outside every table.
  for (int code : {-1, 5, 255}) EXPECT_EQ(parityOfChannelCode(code), std::nullopt) << code;
  for (int code : {-1, 4}) EXPECT_EQ(parityOfStoredCode(code), std::nullopt) << code;
  for (const char* name : {"", "None", "odd ", "n"}) EXPECT_EQ(parityNamed(name), std::nullopt) << name;
  for (char letter : {'X', '1', '\0'}) EXPECT_EQ(parityOfLetter(letter), std::nullopt) << letter;
}

TEST(LineSettings, EveryStopBitsValueRoundTripsThroughEachForm) {
  ASSERT_EQ(std::size(kStopBitsRows), static_cast<size_t>(kStopBitsCount));
  for (const StopBitsRow& r : kStopBitsRows) {
    SCOPED_TRACE(r.name);
    EXPECT_EQ(channelCode(r.value), r.code);
    EXPECT_EQ(stopBitsOfChannelCode(r.code), r.value);
    EXPECT_EQ(storedCode(r.value), r.code);
    EXPECT_EQ(stopBitsOfStoredCode(r.code), r.value);
    EXPECT_STREQ(stopBitsName(r.value), r.name);
    EXPECT_EQ(stopBitsNamed(r.name), r.value);
  }
  // Two bits can store 3, which stands for nothing.
  EXPECT_EQ(stopBitsOfStoredCode(3), std::nullopt);
  for (int code : {-1, 3}) EXPECT_EQ(stopBitsOfChannelCode(code), std::nullopt) << code;
  for (const char* name : {"", "1.0", "one", "15"}) EXPECT_EQ(stopBitsNamed(name), std::nullopt) << name;
}
