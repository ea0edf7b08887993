// Renders the main window offscreen, one PNG per tab, for looking at the
// layouts and the Chinese texts: screenshots OUTDIR [WIDTH HEIGHT]
#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QTimer>

#include "app/main_dialog.h"
#include "app/tab_manager.h"
#include "app/ui_kit_qt.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
  QDir().mkpath(out);
  velmora::ui::setQuestionHook([](const QString&) { return true; });
  velmora::MainDialog dialog;
  if (argc > 3) dialog.resize(QString::fromLocal8Bit(argv[2]).toInt(), QString::fromLocal8Bit(argv[3]).toInt());
  dialog.show();
  QApplication::processEvents();
  for (int slot = 0; slot < velmora::TabManager::kSlotCount; ++slot) {
    dialog.tabHost()->selectPage(slot);
    QApplication::processEvents();
    dialog.grab().save(QStringLiteral("%1/tab%2.png").arg(out).arg(slot));
  }
  return 0;
}
