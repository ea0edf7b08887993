#include <gtest/gtest.h>

#include "app/help_text.h"

using namespace velmora;

TEST(HelpText, FallbackOnlyWhenEmpty) {
  EXPECT_EQ(helpTextOrFallback(""), "帮助信息加载失败。");
  EXPECT_EQ(helpTextOrFallback("this is a string show"), "this is a string show");
}
