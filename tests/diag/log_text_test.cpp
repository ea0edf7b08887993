#include <gtest/gtest.h>

#include "diag/log_text.h"

using namespace velmora;

namespace {
size_t countLineEnds(const std::string& s) {
  size_t n = 0;
  for (size_t p = s.find("\r\n"); p != std::string::npos; p = s.find("\r\n", p + 2)) ++n;
  return n;
}
const LocalTime kTime{2026, 3, 7, 9, 5, 3};
}  // namespace

TEST(LogLine, StampPrefixAndLineEnd) {
  EXPECT_EQ(formatLogLine(kTime, "程序启动"), "[2026-03-07 09:05:03] 程序启动\r\n");
  EXPECT_EQ(formatLogLine(kTime, ""), "[2026-03-07 09:05:03] \r\n");
}

TEST(LogText, TwoHundredLinesKeptThenCutToNewestHundred) {
  LogText log;
  for (int i = 1; i <= 200; ++i) EXPECT_FALSE(log.append(kTime, "line " + std::to_string(i)));
  EXPECT_EQ(countLineEnds(log.text()), 200u);
  EXPECT_TRUE(log.append(kTime, "line 201"));
  EXPECT_EQ(countLineEnds(log.text()), 100u);
  // The 102nd to 201st appended lines remain, oldest first.
  EXPECT_EQ(log.text().rfind("[2026-03-07 09:05:03] line 102\r\n", 0), 0u);
  EXPECT_NE(log.text().find("line 201\r\n"), std::string::npos);
  EXPECT_EQ(log.text().find("line 101\r\n"), std::string::npos);
}

TEST(LogText, MessageWithLineBreakCountsAsTwoLines) {
  LogText log;
  for (int i = 0; i < 199; ++i) log.append(kTime, "x");
  EXPECT_TRUE(log.append(kTime, "first\r\nsecond"));  // 201 line ends
  EXPECT_EQ(countLineEnds(log.text()), 100u);
  EXPECT_EQ(log.text().substr(log.text().size() - 8), "second\r\n");
}
