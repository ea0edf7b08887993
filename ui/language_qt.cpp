#include "ui/language_qt.h"

#include <QCoreApplication>
#include <QTranslator>

#include <mutex>
#include <string>
#include <unordered_map>

// Resources of a static library must be pulled in by name, from the global namespace.
static void initVelmoraTranslations() { Q_INIT_RESOURCE(velmora_translations); }

namespace velmora::ui {

namespace {

// trText hands out const char*, so each translation is kept as UTF-8 for the
// rest of the program; map nodes never move. The serial reader's thread may
// log too, hence the lock.
const char* translateWithQt(const char* context, const char* source) {
  static std::mutex lock;
  static std::unordered_map<std::string, std::string> kept;
  std::string key = std::string(context) + '\x04' + source;
  const std::lock_guard<std::mutex> guard(lock);
  auto it = kept.find(key);
  if (it == kept.end())
    it = kept.emplace(std::move(key), QCoreApplication::translate(context, source).toStdString()).first;
  return it->second.c_str();
}

}  // namespace

bool useLanguage(Language language) {
  // Kept for the program's life; tests switch back and forth.
  static QTranslator* english = nullptr;
  if (language != Language::English) {
    installTextTranslator(nullptr, Language::Chinese);
    if (english != nullptr) QCoreApplication::removeTranslator(english);
    return true;
  }
  if (english == nullptr) {
    initVelmoraTranslations();
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (!translator->load(QStringLiteral(":/i18n/velmora_en.qm"))) {
      delete translator;
      return false;
    }
    english = translator;
  }
  QCoreApplication::installTranslator(english);
  installTextTranslator(&translateWithQt, Language::English);
  return true;
}

QString trQ(const char* context, const char* source) { return QString::fromUtf8(trText(context, source)); }

}  // namespace velmora::ui
