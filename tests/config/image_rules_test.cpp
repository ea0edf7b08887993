#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config/image_rules.h"

using namespace velmora;
using Bytes = std::vector<uint8_t>;

namespace {
// Stores whatever the test sets, and remembers what it was handed.
struct ScriptedPage : DialogChildBase {
  Bytes handed;
  int32_t handedCapacity = 0;
  Bytes result;
  int32_t resultLength = 0;
  StoreResult answer;
  void loadFromImage(const uint8_t*, int32_t) override {}
  StoreResult storeToImage(uint8_t* buffer, int32_t& length, int32_t capacity) override {
    handed.assign(buffer, buffer + length);
    handedCapacity = capacity;
    std::copy(result.begin(), result.end(), buffer);
    length = resultLength;
    return answer;
  }
};
}  // namespace

TEST(GatherPage, StoredReplacesKeepImageKeepsAndSaysWhy) {
  Bytes image{1, 2, 3, 4, 5, 6, 7, 8};
  ScriptedPage page;
  std::vector<std::string> log;
  const auto logTo = [&](const std::string& l) { log.push_back(l); };
  page.result = {9, 9, 9};
  page.resultLength = 3;
  EXPECT_TRUE(gatherPageIntoImage(image, page, logTo));
  EXPECT_EQ(page.handed, (Bytes{1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_EQ(page.handedCapacity, 2048);
  EXPECT_EQ(image, (Bytes{9, 9, 9}));

  page.answer = StoreResult::keepImage("why");
  page.resultLength = 0;  // whatever the page left in the buffer is not taken
  EXPECT_FALSE(gatherPageIntoImage(image, page, logTo));
  EXPECT_EQ(image, (Bytes{9, 9, 9}));
  EXPECT_EQ(log, std::vector<std::string>{"why"});
  page.answer = StoreResult::keepImage();
  EXPECT_FALSE(gatherPageIntoImage(image, page, logTo));
  EXPECT_EQ(log.size(), 1u) << "no reason, no line";
  page.answer = StoreResult::stored();
  page.resultLength = -1;  // less than nothing is not a sound store either
  EXPECT_FALSE(gatherPageIntoImage(image, page, logTo));
  EXPECT_EQ(image.size(), 3u);
  page.resultLength = 0;
  EXPECT_TRUE(gatherPageIntoImage(image, page, logTo));
  EXPECT_TRUE(image.empty());
}

TEST(GatherPage, ImageOverTheLimitIsRefusedAndKept) {
  Bytes image(2049, 0x55);
  ScriptedPage page;
  page.resultLength = 8;
  std::vector<std::string> log;
  EXPECT_FALSE(gatherPageIntoImage(image, page, [&](const std::string& l) { log.push_back(l); }));
  EXPECT_EQ(image.size(), 2049u);
  EXPECT_TRUE(page.handed.empty()) << "the page is not asked to store";
  EXPECT_EQ(log, std::vector<std::string>{"数据包长度超过最大长度"});
  Bytes exact(2048, 0x55);
  page.resultLength = 2048;
  page.result = exact;
  EXPECT_TRUE(gatherPageIntoImage(exact, page, {}));
}

// The filters go both ways between Qt's "desc;;desc" and the Win32 dialog's
// "desc|pattern|…||": the configuration filter survives the round trip, and
// a Qt filter gives each description the patterns of its parentheses.
TEST(FileDialogFilter, QtAndWin32FormsConvertBothWays) {
  EXPECT_EQ(fileDialogFilter(kConfigFileFilterWithJson), "配置文件 (*.vmc);;配置文件 JSON (*.json);;所有文件 (*.*)");
  EXPECT_EQ(barSeparatedFilter(fileDialogFilter(kConfigFileFilterWithJson)), kConfigFileFilterWithJson);
  EXPECT_EQ(barSeparatedFilter(fileDialogFilter(kConfigFileFilter)), kConfigFileFilter);
  EXPECT_EQ(barSeparatedFilter("抓包文件 (*.pcap);;所有文件 (*.*)"), "抓包文件 (*.pcap)|*.pcap|所有文件 (*.*)|*.*||");
  EXPECT_EQ(barSeparatedFilter("Logs (*.txt *.log)"), "Logs (*.txt *.log)|*.txt;*.log||") << "Win32 parts patterns with ';'";
  EXPECT_EQ(barSeparatedFilter("Notes (draft) (*.md)"), "Notes (draft) (*.md)|*.md||") << "the last parentheses";
  EXPECT_EQ(barSeparatedFilter("Everything;;;;Text (*.txt)"), "Everything|*|Text (*.txt)|*.txt||");
}
