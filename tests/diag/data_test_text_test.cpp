// The data test page's rules apart from its window: which view a load
// shows, and which texts a store may turn into the image.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "diag/data_test_text.h"
#include "diag/hex_view.h"

namespace velmora {
namespace {

const std::vector<uint8_t> kImage = {0x01, 0x41, 0x42, 0x00, 0x7F, 0x20, 0x7E, 0x10, 0x04, 0x05};

TEST(DataTestText, HexViewStoresBackWhatItShowedAndBadHexKeepsTheImage) {
  DataTestText page;
  EXPECT_EQ(DataTestText::opening().text.substr(0, 6), "00 01 ");
  const DataTestText::Shown shown = page.load(kImage.data(), static_cast<int32_t>(kImage.size()));
  EXPECT_EQ(shown.text, formatHexView(kImage.data(), kImage.size()));
  EXPECT_FALSE(shown.caretAtEnd);

  std::vector<uint8_t> buffer(2048, 0xEE);
  int32_t length = 7;
  EXPECT_FALSE(page.store(shown.text, buffer.data(), length, 2048).keepsImage());
  ASSERT_EQ(length, static_cast<int32_t>(kImage.size()));
  EXPECT_EQ(std::vector<uint8_t>(buffer.begin(), buffer.begin() + length), kImage);

  length = 5;
  const StoreResult bad = page.store("01 4G", buffer.data(), length, 2048);
  EXPECT_TRUE(bad.keepsImage());
  EXPECT_FALSE(bad.reason.empty()) << "the log says which pair was wrong";

  // No image: an empty text, which stores as an empty image.
  EXPECT_EQ(page.load(nullptr, 0).text, "");
  EXPECT_FALSE(page.store("", buffer.data(), length, 2048).keepsImage());
  EXPECT_EQ(length, 0);
}

// The character view cannot be read back: until 清空 or the next hex load,
// a store keeps the image whatever the text says.
TEST(DataTestText, CharacterViewKeepsTheImage) {
  DataTestText page;
  page.setHexMode(false);
  const DataTestText::Shown shown = page.load(kImage.data(), static_cast<int32_t>(kImage.size()));
  EXPECT_EQ(shown.text, formatCharView(kImage.data(), kImage.size()));
  EXPECT_TRUE(shown.caretAtEnd);
  std::vector<uint8_t> buffer(2048);
  int32_t length = 10;
  EXPECT_TRUE(page.store(shown.text, buffer.data(), length, 2048).keepsImage());
  EXPECT_TRUE(page.store("AB", buffer.data(), length, 2048).keepsImage()) << "\"AB\" would read as one byte";
  EXPECT_EQ(length, 10);

  page.setHexMode(true);  // the radio button alone changes nothing on show
  EXPECT_TRUE(page.store("AB", buffer.data(), length, 2048).keepsImage());
  page.cleared();
  EXPECT_FALSE(page.store("AB", buffer.data(), length, 2048).keepsImage());
  EXPECT_EQ(length, 1);
  EXPECT_EQ(buffer[0], 0xAB);
}

}  // namespace
}  // namespace velmora
