#include <QApplication>

#include <cstdio>

#include "app/main_dialog.h"
#include "app/startup_qt.h"

int main(int argc, char** argv) {
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
  velmora::installQtChineseTexts();
  if (!velmora::prepareStart(velmora::socketLayerReady())) return 1;
  velmora::MainDialog dialog;
  dialog.show();
  return app.exec();
}
