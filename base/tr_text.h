// The one door through which every user-visible text of the logic passes on
// its way to the screen. The source texts are the Chinese ones; with no
// translator installed trText gives them back as they are, so the default
// costs one pointer test. The window installs a translator (Qt's) when the
// user chose English; lupdate collects trText and VELMORA_TR_NOOP calls as it
// does QCoreApplication::translate and QT_TRANSLATE_NOOP.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

enum class Language { Chinese, English };

// Returns the text for source in context, as UTF-8 that lives until the
// program ends. Both arguments must be string literals for lupdate to see them.
using TextTranslator = const char* (*)(const char* context, const char* source);

// Installs translate for every later trText call; language tells the code
// that picks between texts of its own (the help page, the CLI's findings).
// nullptr goes back to the source texts.
void installTextTranslator(TextTranslator translate, Language language);
Language textLanguage();

[[gnu::format_arg(2)]] const char* trText(const char* context, const char* source);

// Marks a literal in a static table; the table's user passes it through
// trText with the same context when it shows it.
#define VELMORA_TR_NOOP(context, source) source

// "zh" / "en" (also "zh_CN", "en_US.UTF-8", …); nullopt for anything else.
std::optional<Language> languageFromName(std::string_view name);

// The language the user asked for: --lang when given, else the first set
// (non-empty) of LC_ALL, LC_MESSAGES, LANG, as the C library reads them;
// English when that names an English locale, Chinese otherwise.
Language chooseLanguage(std::optional<Language> option, const char* lcAll, const char* lcMessages, const char* lang);

// "--lang zh|en" or "--lang=zh|en" among a program's arguments (the last one
// counts); error names what is wrong with a value that is missing or neither.
struct LanguageOption {
  std::optional<Language> language;
  std::string error;
};
LanguageOption findLanguageOption(const std::vector<std::string>& args);

}  // namespace velmora
