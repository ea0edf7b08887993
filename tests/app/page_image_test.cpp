// The image and its pages apart from any window: what loadImage, a gather,
// New and a page change do to the image and to which pages.
#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "app/page_image.h"

namespace velmora {
namespace {

// A page that records its loads and stores what it was told to.
struct FakePage : DialogChildBase {
  std::vector<std::vector<uint8_t>> loads;
  std::vector<bool> nullLoads;
  std::vector<uint8_t> stores = std::vector<uint8_t>(8, 9);
  bool keep = false;
  void loadFromImage(const uint8_t* data, int32_t length) override {
    nullLoads.push_back(data == nullptr);
    loads.emplace_back(data != nullptr && length > 0 ? std::vector<uint8_t>(data, data + length) : std::vector<uint8_t>());
  }
  StoreResult storeToImage(uint8_t* buffer, int32_t& length, int32_t) override {
    if (keep) return StoreResult::keepImage("kept");
    std::copy(stores.begin(), stores.end(), buffer);
    length = static_cast<int32_t>(stores.size());
    return StoreResult::stored();
  }
};

struct Slots : PageSlots {
  std::array<FakePage*, PageImage::kSlotCount> pages{};
  int current = -1;
  DialogChildBase* imagePage(int slot) const override {
    return slot >= 0 && slot < PageImage::kSlotCount ? pages[static_cast<size_t>(slot)] : nullptr;
  }
  int currentPage() const override { return current; }
};

struct PageImageTest : ::testing::Test {
  std::vector<std::string> log;
  PageImage image{[this](const std::string& line) { log.push_back(line); }};
  FakePage one, five;
  Slots slots;
  void SetUp() override {
    slots.pages[1] = &one;
    slots.pages[5] = &five;
    image.setSlots(&slots);
  }
};

TEST_F(PageImageTest, LoadReachesEveryImagePageAndNoImageEmpties) {
  const std::vector<uint8_t> bytes{1, 2, 3, 4, 5, 6, 7, 8};
  image.loadImage(bytes.data(), 8);
  EXPECT_EQ(image.configImage(), bytes);
  EXPECT_EQ(one.loads.back(), bytes);
  EXPECT_EQ(five.loads.back(), bytes);
  image.loadImage(bytes.data(), 0);
  EXPECT_TRUE(image.configImage().empty());
  EXPECT_EQ(one.loads.size(), 2u) << "no image still reaches the pages, which apply their own rule";
}

TEST_F(PageImageTest, GatherTakesOnlyAnImagePageOnShow) {
  slots.current = 0;  // the connection page takes no part
  EXPECT_FALSE(image.gatherCurrentPage());
  EXPECT_TRUE(image.configImage().empty());
  slots.current = 1;
  EXPECT_TRUE(image.gatherCurrentPage());
  EXPECT_EQ(image.configImage(), one.stores);
  one.keep = true;
  one.stores = {1};
  EXPECT_FALSE(image.gatherCurrentPage());
  EXPECT_EQ(image.configImage().size(), 8u) << "a page that keeps the image leaves it";
  EXPECT_EQ(log, std::vector<std::string>{"kept"});
}

// A page change: the page left stores first, the page entered loads the result.
TEST_F(PageImageTest, PageChangeStoresBeforeLoadingAndNewForgetsTheImage) {
  slots.current = 1;
  image.changePage(5);
  EXPECT_EQ(five.loads.back(), one.stores);
  EXPECT_TRUE(one.loads.empty()) << "the page left does not load";

  const size_t before = five.loads.size();
  image.newImage();
  EXPECT_TRUE(image.configImage().empty());
  EXPECT_EQ(five.loads.size(), before + 1);
  EXPECT_TRUE(five.loads.back().empty());
  EXPECT_FALSE(five.nullLoads.back()) << "New passes a pointer with length 0";
  EXPECT_EQ(log.back(), "新建：清空数据");
}

}  // namespace
}  // namespace velmora
