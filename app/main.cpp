#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/main_dialog.h"
#include "app/startup_qt.h"
#include "ui/language_qt.h"

int main(int argc, char** argv) {
  const velmora::LanguageOption lang = velmora::findLanguageOption(std::vector<std::string>(argv + 1, argv + argc));
  if (!lang.error.empty()) {
    std::fprintf(stderr, "velmora: %s\n", lang.error.c_str());
    return 2;
  }
  // Without a display Qt would abort with a plugin error; say what is wrong instead.
  const bool offscreen = qEnvironmentVariable("QT_QPA_PLATFORM").startsWith(QStringLiteral("offscreen")) ||
                         qEnvironmentVariable("QT_QPA_PLATFORM").startsWith(QStringLiteral("minimal"));
  if (!offscreen && qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
    std::fprintf(stderr,
                 "velmora: no display found (DISPLAY and WAYLAND_DISPLAY are not set).\n"
                 "Start it from a desktop session, or on a virtual display: xvfb-run -a velmora\n");
    return 1;
  }
  QApplication app(argc, argv);
  const velmora::Language language =
      velmora::chooseLanguage(lang.language, std::getenv("LC_ALL"), std::getenv("LC_MESSAGES"), std::getenv("LANG"));
  // Chinese is the source text: no translator of ours, only Qt's own button texts.
  if (language == velmora::Language::English)
    velmora::ui::useLanguage(language);
  else
    velmora::installQtChineseTexts();
  if (!velmora::prepareStart(velmora::socketLayerReady())) return 1;
  velmora::MainDialog dialog;
  dialog.show();
  return app.exec();
}
