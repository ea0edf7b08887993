// The comparison with the device apart from any window: which read's end
// brings a result, what the result says, and that the pages only ever see
// the device's image when the user takes it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/device_comparison.h"
#include "app/page_image.h"
#include "config/image_diff.h"
#include "config/unit_names.h"
#include "tests/support/test_images.h"
#ifndef _WIN32
#include "tests/support/process_test_helpers.h"
#endif

namespace velmora {
namespace {

using Bytes = std::vector<uint8_t>;
using testing::imageOfUnits;

struct Log : LogSink {
  std::vector<std::string> lines;
  void logMessage(const std::string& text) override { lines.push_back(text); }
};

// A page on show that stores the bytes it is given.
struct StoringPage : DialogChildBase {
  Bytes stores;
  void loadFromImage(const uint8_t*, int32_t) override {}
  StoreResult storeToImage(uint8_t* buffer, int32_t& length, int32_t) override {
    std::copy(stores.begin(), stores.end(), buffer);
    length = static_cast<int32_t>(stores.size());
    return StoreResult::stored();
  }
};

struct OnePage : PageSlots {
  StoringPage* page = nullptr;
  DialogChildBase* imagePage(int slot) const override { return slot == 1 ? page : nullptr; }
  int currentPage() const override { return 1; }
};

void arrive(ImageHost& copy, const Bytes& device) { copy.loadImage(device.data(), static_cast<int32_t>(device.size())); }

TEST(DeviceComparison, OnlyItsOwnReadThatBroughtAnImageGivesAResult) {
  DeviceComparison comparison;
  ImageBuffer window;
  EXPECT_FALSE(comparison.readEnded()) << "a plain read into the pages";
  EXPECT_FALSE(comparison.take(window));

  comparison.begin();
  EXPECT_FALSE(comparison.readEnded()) << "the read failed: nothing arrived, its log says why";
  EXPECT_FALSE(comparison.take(window));

  // A second comparison forgets what an earlier one left unclaimed.
  arrive(comparison.begin(), imageOfUnits(2));
  ImageHost& again = comparison.begin();
  EXPECT_FALSE(comparison.readEnded());
  arrive(again, imageOfUnits(2));
  EXPECT_FALSE(comparison.readEnded()) << "one read's end per comparison";
}

TEST(DeviceComparison, ResultListsTheDifferencesAndLeavesThePagesAlone) {
  DeviceComparison comparison;
  ImageBuffer window;
  window.setImage(imageOfUnits(3));
  Bytes device = imageOfUnits(3);
  device[9] ^= 0x40;  // the second unit differs
  device.resize(device.size() + 8, 0x01);

  arrive(comparison.begin(), device);
  ASSERT_TRUE(comparison.readEnded());
  const auto result = comparison.take(window);
  ASSERT_TRUE(result);
  const std::vector<std::string> expected = diffLines(diffImages(imageOfUnits(3), device), diffLanguageOfWindow());
  ASSERT_GE(expected.size(), 2u);
  EXPECT_EQ(result->lines, expected);
  EXPECT_EQ(result->device, device);
  EXPECT_EQ(result->logLine, "与设备比较：" + std::to_string(expected.size()) + " 处不同");
  EXPECT_EQ(result->heading, "当前配置与设备配置有 " + std::to_string(expected.size()) + " 处不同（当前 → 设备）：");
  EXPECT_EQ(window.configImage(), imageOfUnits(3)) << "the pages never see the device's image by themselves";
  EXPECT_FALSE(comparison.take(window)) << "a result is taken once";

  Log log;
  DeviceComparison::loadDevice(window, log, result->device);
  EXPECT_EQ(window.configImage(), device);
  EXPECT_EQ(log.lines, std::vector<std::string>{"已载入设备配置 (" + std::to_string(device.size()) + " 字节)"});
}

// What the page on show holds counts, as for Save: here its edit makes the
// window agree with the device.
TEST(DeviceComparison, ThePageOnShowStoresBeforeTheComparison) {
  StoringPage page;
  page.stores = imageOfUnits(1);
  OnePage slots;
  slots.page = &page;
  PageImage window{[](const std::string&) {}};
  window.setSlots(&slots);
  const Bytes before = imageOfUnits(4);
  window.loadImage(before.data(), static_cast<int32_t>(before.size()));

  DeviceComparison comparison;
  arrive(comparison.begin(), imageOfUnits(1));
  ASSERT_TRUE(comparison.readEnded());
  const auto result = comparison.take(window);
  ASSERT_TRUE(result);
  EXPECT_TRUE(result->lines.empty());
  EXPECT_EQ(result->logLine, "与设备比较：配置一致");
  EXPECT_EQ(result->heading, "当前配置与设备配置一致。");
}

#ifndef _WIN32
// 恢复备份 starts where the tool keeps its backups once there are any.
TEST(DeviceComparison, RestoreStartsInTheBackupFolderOnlyWhenItExists) {
  testing::TempDir dir("comparison");
  const char* old = std::getenv("XDG_STATE_HOME");
  const std::string kept = old != nullptr ? old : "";
  ::setenv("XDG_STATE_HOME", dir.path.c_str(), 1);
  EXPECT_EQ(backupStartFolder(), "");
  std::filesystem::create_directories(dir.path + "/velmora/backups");
  EXPECT_EQ(backupStartFolder(), dir.path + "/velmora/backups");
  if (old != nullptr) ::setenv("XDG_STATE_HOME", kept.c_str(), 1); else ::unsetenv("XDG_STATE_HOME");
}
#endif

}  // namespace
}  // namespace velmora
