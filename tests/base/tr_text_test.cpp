// The language choice and the translation door of the logic.
#include <gtest/gtest.h>

#include <cstring>

#include "base/tr_text.h"

namespace velmora {
namespace {

TEST(LanguageChoice, OptionFirstThenTheFirstSetLocaleVariable) {
  EXPECT_EQ(chooseLanguage(std::nullopt, nullptr, nullptr, nullptr), Language::Chinese);
  EXPECT_EQ(chooseLanguage(std::nullopt, nullptr, nullptr, "en_US.UTF-8"), Language::English);
  EXPECT_EQ(chooseLanguage(std::nullopt, nullptr, nullptr, "zh_CN.UTF-8"), Language::Chinese);
  // LC_ALL overrides LC_MESSAGES, which overrides LANG; an empty one is unset.
  EXPECT_EQ(chooseLanguage(std::nullopt, "zh_CN.UTF-8", "en_GB.UTF-8", "en_US.UTF-8"), Language::Chinese);
  EXPECT_EQ(chooseLanguage(std::nullopt, "", "en_GB.UTF-8", "zh_CN.UTF-8"), Language::English);
  EXPECT_EQ(chooseLanguage(std::nullopt, nullptr, "", "en"), Language::English);
  // Neither language (C, POSIX, German): the default.
  EXPECT_EQ(chooseLanguage(std::nullopt, "C.UTF-8", nullptr, "en_US.UTF-8"), Language::Chinese);
  EXPECT_EQ(chooseLanguage(std::nullopt, nullptr, nullptr, "de_DE.UTF-8"), Language::Chinese);
  EXPECT_EQ(chooseLanguage(std::nullopt, nullptr, nullptr, "english"), Language::Chinese) << "not a locale name";
  EXPECT_EQ(chooseLanguage(Language::Chinese, "en_US.UTF-8", nullptr, nullptr), Language::Chinese);
  EXPECT_EQ(chooseLanguage(Language::English, "zh_CN.UTF-8", nullptr, nullptr), Language::English);
}

TEST(LanguageChoice, LangOptionInBothSpellingsAndItsRefusals) {
  EXPECT_FALSE(findLanguageOption({"--tcp", "127.0.0.1:1"}).language);
  EXPECT_EQ(findLanguageOption({"--lang", "en"}).language, Language::English);
  EXPECT_EQ(findLanguageOption({"-platform", "offscreen", "--lang=zh"}).language, Language::Chinese);
  EXPECT_EQ(findLanguageOption({"--lang=zh", "--lang", "en"}).language, Language::English) << "the last counts";
  for (const std::vector<std::string>& bad : {std::vector<std::string>{"--lang"}, {"--lang", "de"}, {"--lang="}}) {
    const LanguageOption o = findLanguageOption(bad);
    EXPECT_FALSE(o.language);
    EXPECT_EQ(o.error, "--lang needs zh or en");
  }
}

const char* shout(const char* context, const char* source) {
  static std::string kept;
  kept = std::string(context) + ":" + source;
  return kept.c_str();
}

TEST(TrText, SourceUntilATranslatorIsInstalledAndAfterItIsRemoved) {
  const char* source = "读取完成";
  EXPECT_EQ(trText("TransferEngine", source), source) << "the default hands back the same bytes";
  EXPECT_EQ(textLanguage(), Language::Chinese);
  installTextTranslator(&shout, Language::English);
  EXPECT_STREQ(trText("TransferEngine", source), "TransferEngine:读取完成");
  EXPECT_EQ(textLanguage(), Language::English);
  installTextTranslator(nullptr, Language::English);
  EXPECT_EQ(trText("TransferEngine", source), source);
  EXPECT_EQ(textLanguage(), Language::Chinese) << "no translator is no English";
}

}  // namespace
}  // namespace velmora
