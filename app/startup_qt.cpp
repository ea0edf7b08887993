#include "app/startup_qt.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QLibraryInfo>
#include <QString>
#include <QTranslator>

#include <sys/socket.h>
#include <unistd.h>

#include "ui/ui_kit_qt.h"

namespace velmora {

bool socketLayerReady() {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  ::close(fd);
  return true;
}

bool installQtChineseTexts() {
  // Loaded once and kept for the life of the program.
  static QTranslator* qtbase = [] {
    auto* t = new QTranslator(QCoreApplication::instance());
    if (!t->load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
      delete t;
      return static_cast<QTranslator*>(nullptr);
    }
    QCoreApplication::installTranslator(t);
    return t;
  }();
  return qtbase != nullptr;
}

bool prepareStart(bool ready, QWidget* parent) {
  QCoreApplication::setApplicationName(QStringLiteral("velmora"));
  // Only names the place settings would live; nothing is read or written there.
  QCoreApplication::setOrganizationName(QStringLiteral("应用程序向导生成的本地应用程序"));
  QGuiApplication::setDesktopFileName(QStringLiteral("velmora"));
  ui::usePageFontEverywhere();
  if (!ready) {
    ui::messageBox(parent, QCoreApplication::translate("Startup", "Socket初始化失败"));
    return false;
  }
  return true;
}

}  // namespace velmora
