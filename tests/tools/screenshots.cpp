// Renders the main window offscreen, one PNG per tab, for looking at the
// layouts and the Chinese texts:
//   velmora-screenshots OUTDIR [WIDTH HEIGHT] [IMAGE.vmc]
// With an image, the pages show it as after reading it from a device.
// The close question, an OK box and a menu, on a display (xvfb-run -a):
//   velmora-screenshots --popups OUTDIR
// The comparison dialog for a window holding WINDOW.vmc and a device DEVICE.vmc:
//   velmora-screenshots --compare OUTDIR WINDOW.vmc DEVICE.vmc
// The holding-register page at the smallest size, its map showing groups
// that overlap:
//   velmora-screenshots --register-map OUTDIR
// The monitor page during a read from a device on 127.0.0.1:PORT (velmora-devsim):
//   velmora-screenshots --monitor OUTDIR PORT
// Each of them in English with --lang en first: velmora-screenshots --lang en OUTDIR ...
// velmora-screenshots --help prints these forms.
#include <QAbstractItemModel>
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QMap>
#include <QMenuBar>
#include <QMessageBox>
#include <QPixmap>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <cstdio>

#include "app/dialog_compare.h"
#include "app/main_dialog.h"
#include "app/startup_qt.h"
#include "app/tab_manager.h"
#include "config/image_diff.h"
#include "config/image_file_qt.h"
#include "ui/language_qt.h"
#include "ui/ui_kit_qt.h"

namespace {

// The pop-ups as a user meets them, started as main() starts the program:
// the close question, an OK box and the 文件 menu, each grabbed from the
// screen with the window behind it. Meant for a real display (xvfb-run).
int grabPopups(const QString& out) {
  if (velmora::textLanguage() == velmora::Language::Chinese) velmora::installQtChineseTexts();
  velmora::prepareStart(true);
  velmora::MainDialog dialog;
  dialog.show();
  QTest::qWait(300);
  const auto shoot = [&](const QString& name) {
    QApplication::processEvents();
    QTest::qWait(200);
    QGuiApplication::primaryScreen()->grabWindow(0).copy(dialog.frameGeometry().adjusted(-20, -20, 60, 60))
        .save(QStringLiteral("%1/%2.png").arg(out, name));
  };
  // A modal box is answered by a timer: shot first, then its escape button.
  const auto answerNextBox = [&](const QString& name) {
    QTimer::singleShot(400, [&, name] {
      shoot(name);
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) box->reject();
    });
  };
  answerNextBox(QStringLiteral("close-question"));
  dialog.close();  // "No": the window stays
  answerNextBox(QStringLiteral("message-box"));
  velmora::ui::messageBox(&dialog, QStringLiteral("保存文件失败"));
  QMenu* file = dialog.findChild<QMenuBar*>()->actions().first()->menu();
  file->popup(dialog.mapToGlobal(QPoint(10, 30)));
  shoot(QStringLiteral("file-menu"));
  file->hide();
  velmora::ui::setQuestionHook([](const QString&) { return true; });
  return 0;
}

// The dialog as the comparison shows it, offscreen.
int grabComparison(const QString& out, const QString& windowFile, const QString& deviceFile) {
  const velmora::ImageFileRead window = velmora::readImageFile(windowFile.toStdString());
  const velmora::ImageFileRead device = velmora::readImageFile(deviceFile.toStdString());
  if (!window.ok() || !device.ok()) {
    std::fprintf(stderr, "velmora-screenshots: cannot read %s\n", qPrintable(window.ok() ? deviceFile : windowFile));
    return 2;
  }
  QStringList lines;
  for (const std::string& line :
       velmora::diffLines(velmora::diffImages(window.bytes, device.bytes), velmora::diffLanguageOfWindow()))
    lines << QString::fromStdString(line);
  velmora::ui::usePageFontEverywhere();
  velmora::DialogCompare dialog(nullptr, lines);
  dialog.show();
  QApplication::processEvents();
  return dialog.grab().save(QStringLiteral("%1/compare.png").arg(out)) ? 0 : 1;
}

// Inputs over outputs over global integers, each pair sharing registers.
int grabRegisterMap(const QString& out) {
  const auto unit = [](uint8_t group, uint16_t address, uint16_t count, uint8_t width) {
    return std::vector<uint8_t>{4, group, 1, static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address),
                                static_cast<uint8_t>(count >> 8), static_cast<uint8_t>(count), width};
  };
  std::vector<uint8_t> image;
  for (const auto& u : {unit(1, 0, 1000, 0), unit(2, 900, 300, 0), unit(3, 1100, 400, 1), unit(4, 2000, 200, 0),
                        unit(5, 0, 0, 0)})
    image.insert(image.end(), u.begin(), u.end());
  velmora::ui::usePageFontEverywhere();
  velmora::MainDialog dialog;
  dialog.resize(dialog.minimumSize());
  dialog.loadImage(image.data(), static_cast<int32_t>(image.size()));
  dialog.show();
  dialog.tabHost()->selectPage(4);
  QApplication::processEvents();
  return dialog.grab().save(QStringLiteral("%1/register-map.png").arg(out)) ? 0 : 1;
}

}  // namespace

// Connects the window to 127.0.0.1:port as a user would, presses 读取配置
// and grabs the monitor page once 30 frames are in its table.
int grabMonitor(const QString& out, const QString& port) {
  velmora::MainDialog dialog;
  dialog.resize(dialog.minimumSize());  // as the tab shots
  dialog.show();
  QApplication::processEvents();
  auto find = [&dialog](int id) { return dialog.findChild<QWidget*>(velmora::ui::controlName(id)); };
  auto* tcp = qobject_cast<QRadioButton*>(find(2001));
  auto* ip = qobject_cast<QLineEdit*>(find(2003));
  auto* portEdit = qobject_cast<QLineEdit*>(find(2004));
  auto* connectButton = qobject_cast<QPushButton*>(find(2011));
  auto* read = qobject_cast<QPushButton*>(find(1012));
  if (!tcp || !ip || !portEdit || !connectButton || !read) return 1;
  tcp->click();
  ip->setText(QStringLiteral("127.0.0.1"));
  portEdit->setText(port);
  connectButton->click();
  if (!QTest::qWaitFor([&] { return read->isEnabled(); }, 5000)) return 1;
  dialog.tabHost()->selectPage(velmora::TabManager::kMonitorSlot);
  read->click();
  auto* table = dialog.tabHost()->page(velmora::TabManager::kMonitorSlot)->findChild<QTableView*>();
  if (table == nullptr || !QTest::qWaitFor([&] { return table->model()->rowCount() >= 30; }, 10000)) return 1;
  return dialog.grab().save(out + QStringLiteral("/monitor.png")) ? 0 : 1;
}

namespace {

constexpr char kUsage[] =
    "usage: velmora-screenshots [--lang zh|en] OUTDIR [WIDTH HEIGHT] [IMAGE.vmc]\n"
    "       velmora-screenshots [--lang zh|en] --popups OUTDIR\n"
    "       velmora-screenshots [--lang zh|en] --compare OUTDIR WINDOW.vmc DEVICE.vmc\n"
    "       velmora-screenshots [--lang zh|en] --register-map OUTDIR\n"
    "       velmora-screenshots [--lang zh|en] --monitor OUTDIR PORT\n"
    "\n"
    "Writes PNGs of the main window into OUTDIR (made when missing):\n"
    "  OUTDIR ...      one per tab, tab0.png to tab9.png, at WIDTH x HEIGHT or the\n"
    "                  smallest size the window allows if that is larger, the pages\n"
    "                  showing IMAGE.vmc; offscreen\n"
    "  --popups        the close question, an OK box and the 文件 menu on a display\n"
    "                  (xvfb-run -a): close-question.png, message-box.png, file-menu.png\n"
    "  --compare       the comparison of a window holding WINDOW.vmc with a device\n"
    "                  holding DEVICE.vmc: compare.png; offscreen\n"
    "  --register-map  the holding-register page at the smallest size, its map showing\n"
    "                  groups that overlap: register-map.png; offscreen\n"
    "  --monitor       the monitor page during a read from velmora-devsim on\n"
    "                  127.0.0.1:PORT: monitor.png; offscreen\n"
    "  --lang en       the window in English (Chinese by default)\n";

int usageError(const char* why) {
  std::fprintf(stderr, "velmora-screenshots: %s\n%s", why, kUsage);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  QStringList args;
  for (int i = 1; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
  if (!args.isEmpty() && (args[0] == QStringLiteral("--help") || args[0] == QStringLiteral("-h"))) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  velmora::Language language = velmora::Language::Chinese;
  if (!args.isEmpty() && args[0] == QStringLiteral("--lang")) {
    if (args.size() < 2 || (args[1] != QStringLiteral("en") && args[1] != QStringLiteral("zh")))
      return usageError("--lang takes zh or en");
    if (args[1] == QStringLiteral("en")) language = velmora::Language::English;
    args.remove(0, 2);
  }
  // Every form names its folder: a mistyped option must not become one.
  const QString mode = !args.isEmpty() && args[0].startsWith(QLatin1Char('-')) ? args[0] : QString();
  const QMap<QString, qsizetype> argumentsOf{{QStringLiteral("--popups"), 2},
                                             {QStringLiteral("--compare"), 4},
                                             {QStringLiteral("--register-map"), 2},
                                             {QStringLiteral("--monitor"), 3}};
  if (mode.isEmpty()) {
    if (args.size() != 1 && args.size() != 3 && args.size() != 4) return usageError("OUTDIR [WIDTH HEIGHT] [IMAGE.vmc] expected");
  } else if (!argumentsOf.contains(mode)) {
    return usageError(qPrintable(QStringLiteral("unknown option %1").arg(mode)));
  } else if (args.size() != argumentsOf.value(mode)) {
    return usageError(qPrintable(QStringLiteral("wrong number of arguments for %1").arg(mode)));
  }
  const QString out = mode.isEmpty() ? args[0] : args[1];
  if (out.startsWith(QLatin1Char('-'))) return usageError("OUTDIR expected, not an option");
  if (!QDir().mkpath(out)) {
    std::fprintf(stderr, "velmora-screenshots: cannot make the folder %s\n", qPrintable(out));
    return 1;
  }

  const bool popups = mode == QStringLiteral("--popups");
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && !popups) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  velmora::ui::useLanguage(language);
  if (popups) return grabPopups(out);
  if (mode == QStringLiteral("--monitor")) return grabMonitor(out, args[2]);
  if (mode == QStringLiteral("--compare")) return grabComparison(out, args[2], args[3]);
  if (mode == QStringLiteral("--register-map")) return grabRegisterMap(out);

  int width = 0, height = 0;
  if (args.size() >= 3) {
    bool widthOk = false, heightOk = false;
    width = args[1].toInt(&widthOk), height = args[2].toInt(&heightOk);
    if (!widthOk || !heightOk) return usageError("WIDTH and HEIGHT are numbers of pixels");
  }
  QByteArray image;
  if (args.size() == 4) {
    QFile file(args[3]);
    if (!file.open(QIODevice::ReadOnly)) {
      std::fprintf(stderr, "velmora-screenshots: cannot read %s\n", qPrintable(args[3]));
      return 2;
    }
    image = file.readAll();
  }
  velmora::ui::usePageFontEverywhere();
  velmora::ui::setQuestionHook([](const QString&) { return true; });
  velmora::MainDialog dialog;
  if (args.size() >= 3) dialog.resize(width, height);
  if (!image.isEmpty())
    dialog.loadImage(reinterpret_cast<const uint8_t*>(image.constData()), static_cast<int32_t>(image.size()));
  dialog.show();
  QApplication::processEvents();
  std::printf("%dx%d (smallest %dx%d)\n", dialog.width(), dialog.height(), dialog.minimumWidth(), dialog.minimumHeight());
  for (int slot = 0; slot < velmora::TabManager::kSlotCount; ++slot) {
    dialog.tabHost()->selectPage(slot);
    QApplication::processEvents();
    if (!dialog.grab().save(QStringLiteral("%1/tab%2.png").arg(out).arg(slot))) {
      std::fprintf(stderr, "velmora-screenshots: cannot write into %s\n", qPrintable(out));
      return 1;
    }
  }
  return 0;
}
