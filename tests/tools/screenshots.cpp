// Renders the main window offscreen, one PNG per tab, for looking at the
// layouts and the Chinese texts:
//   velmora-screenshots OUTDIR [WIDTH HEIGHT] [IMAGE.vmc]
// With an image, the pages show it as after reading it from a device.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPixmap>

#include <cstdio>

#include "app/main_dialog.h"
#include "app/tab_manager.h"
#include "ui/ui_kit_qt.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
  QDir().mkpath(out);
  velmora::ui::usePageFontEverywhere();
  velmora::ui::setQuestionHook([](const QString&) { return true; });
  velmora::MainDialog dialog;
  if (argc > 3) dialog.resize(QString::fromLocal8Bit(argv[2]).toInt(), QString::fromLocal8Bit(argv[3]).toInt());
  if (argc > 4) {
    QFile file(QString::fromLocal8Bit(argv[4]));
    if (file.open(QIODevice::ReadOnly)) {
      const QByteArray bytes = file.readAll();
      dialog.loadImage(reinterpret_cast<const uint8_t*>(bytes.constData()), static_cast<int32_t>(bytes.size()));
    }
  }
  dialog.show();
  QApplication::processEvents();
  std::printf("%dx%d (smallest %dx%d)\n", dialog.width(), dialog.height(), dialog.minimumWidth(), dialog.minimumHeight());
  for (int slot = 0; slot < velmora::TabManager::kSlotCount; ++slot) {
    dialog.tabHost()->selectPage(slot);
    QApplication::processEvents();
    dialog.grab().save(QStringLiteral("%1/tab%2.png").arg(out).arg(slot));
  }
  return 0;
}
