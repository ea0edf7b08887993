// The English texts as velmora-cli.exe reads them from translations/velmora_en.ts.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "base/ts_catalog.h"

using namespace velmora;

TEST(TsCatalog, FindsTranslationsByContextUnescapedAndSkipsUnfinishedOnes) {
  const TsCatalog c = TsCatalog::parse(R"(<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US" sourcelanguage="zh_CN">
<context>
    <name>CliSession</name>
    <message>
        <source>进度: %d%%</source>
        <translation>Progress: %d%%</translation>
    </message>
    <message>
        <source>文件(&amp;F)</source>
        <translation>&amp;File &lt;&quot;x&quot;&gt; &#x4E2D;</translation>
    </message>
    <message>
        <source>两行<byte value="xd"/>
第二行</source>
        <translation>Two lines<byte value="xd"/>
second<byte value="9"/>line</translation>
    </message>
    <message>
        <source>未译</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>空</source>
        <translation/>
    </message>
</context>
<context>
    <name>Other</name>
    <message>
        <source>进度: %d%%</source>
        <translation>Other progress</translation>
    </message>
</context>
</TS>
)");
  EXPECT_EQ(c.size(), 4u);
  EXPECT_STREQ(c.find("CliSession", "进度: %d%%"), "Progress: %d%%");
  EXPECT_STREQ(c.find("CliSession", "两行\r\n第二行"), "Two lines\r\nsecond\tline") << "lupdate's <byte/> for control characters";
  EXPECT_STREQ(c.find("Other", "进度: %d%%"), "Other progress") << "each context its own";
  EXPECT_STREQ(c.find("CliSession", "文件(&F)"), "&File <\"x\"> 中");
  EXPECT_EQ(c.find("CliSession", "未译"), nullptr);
  EXPECT_EQ(c.find("CliSession", "空"), nullptr);
  EXPECT_EQ(c.find("Missing", "进度: %d%%"), nullptr);
  EXPECT_EQ(TsCatalog::parse("<context><name>x</name><message><source>a").size(), 0u) << "cut short: nothing";
}

#ifdef VELMORA_TS_FILE
// The committed file reads whole: every message of it has a translation.
TEST(TsCatalog, ReadsEveryMessageOfTheProductsFile) {
  std::ifstream in(VELMORA_TS_FILE, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  const std::string ts = text.str();
  size_t messages = 0;
  for (size_t at = ts.find("<message>"); at != std::string::npos; at = ts.find("<message>", at + 1)) ++messages;
  const TsCatalog c = TsCatalog::parse(ts);
  EXPECT_GT(messages, 300u);
  EXPECT_EQ(c.size(), messages);
  EXPECT_STREQ(c.find("ConnectLogic", "无效串口"), "Invalid serial port");
}
#endif
