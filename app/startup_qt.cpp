#include "app/startup_qt.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QString>

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

bool prepareStart(bool ready, QWidget* parent) {
  QCoreApplication::setApplicationName(QStringLiteral("velmora"));
  // Only names the place settings would live; nothing is read or written there.
  QCoreApplication::setOrganizationName(QStringLiteral("应用程序向导生成的本地应用程序"));
  QGuiApplication::setDesktopFileName(QStringLiteral("velmora"));
  if (!ready) {
    ui::messageBox(parent, QStringLiteral("Socket初始化失败"));
    return false;
  }
  return true;
}

}  // namespace velmora
