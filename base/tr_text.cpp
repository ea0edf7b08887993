#include "base/tr_text.h"

#include <atomic>

namespace velmora {

namespace {
std::atomic<TextTranslator> gTranslate{nullptr};
std::atomic<Language> gLanguage{Language::Chinese};
}  // namespace

void installTextTranslator(TextTranslator translate, Language language) {
  gLanguage.store(translate != nullptr ? language : Language::Chinese);
  gTranslate.store(translate);
}

Language textLanguage() { return gLanguage.load(std::memory_order_relaxed); }

const char* trText(const char* context, const char* source) {
  const TextTranslator translate = gTranslate.load(std::memory_order_acquire);
  return translate != nullptr ? translate(context, source) : source;
}

std::optional<Language> languageFromName(std::string_view name) {
  const auto isLanguage = [&](std::string_view code) {
    return name.substr(0, 2) == code &&
           (name.size() == 2 || name[2] == '_' || name[2] == '.' || name[2] == '@' || name[2] == '-');
  };
  if (isLanguage("en")) return Language::English;
  if (isLanguage("zh")) return Language::Chinese;
  return std::nullopt;
}

Language chooseLanguage(std::optional<Language> option, const char* lcAll, const char* lcMessages, const char* lang) {
  if (option) return *option;
  for (const char* value : {lcAll, lcMessages, lang})
    if (value != nullptr && *value != '\0') return languageFromName(value).value_or(Language::Chinese);
  return Language::Chinese;
}

LanguageOption findLanguageOption(const std::vector<std::string>& args) {
  LanguageOption found;
  for (size_t i = 0; i < args.size(); ++i) {
    std::string_view value;
    if (args[i] == "--lang") {
      if (i + 1 == args.size()) return {std::nullopt, "--lang needs zh or en"};
      value = args[++i];
    } else if (args[i].rfind("--lang=", 0) == 0) {
      value = std::string_view(args[i]).substr(7);
    } else {
      continue;
    }
    if (value != "zh" && value != "en") return {std::nullopt, "--lang needs zh or en"};
    found.language = value == "en" ? Language::English : Language::Chinese;
  }
  return found;
}

}  // namespace velmora
