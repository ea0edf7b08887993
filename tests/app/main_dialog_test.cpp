#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QKeySequence>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUdpSocket>
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <algorithm>
#include <csignal>

#include "app/dialog_help.h"
#include "app/main_dialog.h"
#include "app/startup_qt.h"
#include "app/tab_manager.h"
#include "diag/dialog_log.h"
#include "protocol/dialog_configuration.h"
#include "link/dialog_scan.h"
#include "link/link_events_qt.h"
#include "config/dialog_child_base.h"
#include "tests/support/ui_recorder.h"

using namespace velmora;
using velmora::testing::UiRecorder;
using Bytes = std::vector<uint8_t>;

namespace {

std::vector<std::string> journal;

// Owns one unit kind, stores its units at the end of the image like an
// editor page, and writes every call into the journal.
struct RecordingPage : QWidget, DialogChildBase {
  RecordingPage(std::string name, uint8_t kind, Bytes units, QWidget* parent)
      : QWidget(parent), name(std::move(name)), kind(kind), units(std::move(units)) {}
  void loadFromImage(const uint8_t* data, int32_t length) override {
    journal.push_back("load " + name + " " + std::to_string(data == nullptr ? -1 : length));
    seen = data && length > 0 ? Bytes(data, data + length) : Bytes();
  }
  StoreResult storeToImage(uint8_t* buffer, int32_t& length, int32_t capacity) override {
    journal.push_back("store " + name + " " + std::to_string(length));
    Bytes kept;
    for (int32_t i = 0; i + 8 <= length; i += 8)
      if (buffer[i] != kind) kept.insert(kept.end(), buffer + i, buffer + i + 8);
    kept.insert(kept.end(), units.begin(), units.end());
    length = std::min(static_cast<int32_t>(kept.size()), capacity);
    std::copy(kept.begin(), kept.begin() + length, buffer);
    return StoreResult::stored();
  }
  std::string name;
  uint8_t kind;
  Bytes units, seen;
};

const Bytes kUnitsA{0xA1, 1, 1, 1, 1, 1, 1, 1};
const Bytes kUnitsB{0xB2, 2, 2, 2, 2, 2, 2, 2, 0xB2, 3, 3, 3, 3, 3, 3, 3};

// Slots 1 to 4 hold recording pages (C and D store no units); the rest are
// the program's own.
MainDialog::PageFactory recordingPages() {
  return [](int slot, QWidget* parent) -> QWidget* {
    if (slot == 1) return new RecordingPage("A", 0xA1, kUnitsA, parent);
    if (slot == 2) return new RecordingPage("B", 0xB2, kUnitsB, parent);
    if (slot == 3) return new RecordingPage("C", 0xC3, {}, parent);
    if (slot == 4) return new RecordingPage("D", 0xD4, {}, parent);
    return nullptr;
  };
}

class MainDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    UiRecorder::reset();
    journal.clear();
    dialog = std::make_unique<MainDialog>(nullptr, recordingPages());
    dialog->resize(900, 700);
    dialog->show();
    QApplication::processEvents();
  }
  void TearDown() override { dialog.reset(); }

  RecordingPage* page(int slot) { return dynamic_cast<RecordingPage*>(dialog->tabHost()->page(slot)); }
  DialogLog* logPage() { return dynamic_cast<DialogLog*>(dialog->tabHost()->page(TabManager::kLogSlot)); }
  std::string logText() { return logPage()->text(); }
  void clickTab(int index) { dialog->tabHost()->tabControl()->setCurrentIndex(index); }
  QString tempPath(const QString& name) { return dir.filePath(name); }
  static Bytes readFile(const QString& path) {
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
    const QByteArray b = f.readAll();
    return Bytes(b.begin(), b.end());
  }
  static void writeFile(const QString& path, const Bytes& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
  }

  QTemporaryDir dir;
  std::unique_ptr<MainDialog> dialog;
};

}  // namespace

TEST_F(MainDialogTest, StartsWithCaptionMenuTabsAndLogLine) {
  EXPECT_EQ(dialog->windowTitle(), QStringLiteral("设备配置工具 V1.00"));
  // Never below 700 × 500; the pages may ask for more (window_size_test).
  EXPECT_GE(dialog->minimumWidth(), 700);
  EXPECT_GE(dialog->minimumHeight(), 500);
  const std::string log = logText();
  EXPECT_EQ(log.find("] 程序启动\r\n"), 20u) << log;
  EXPECT_NE(log.find("] 配置面板初始化完成\r\n"), std::string::npos) << log;
  EXPECT_FALSE(dialog->transferPanel()->findChild<QWidget*>(QStringLiteral("1012"))->isEnabled());

  QTabBar* tabs = dialog->tabHost()->tabControl();
  EXPECT_EQ(tabs->objectName(), QStringLiteral("1003"));
  const QStringList captions{"连接", "串口参数", "网络参数", "网络服务器端口", "保持寄存器配置", "数据测试", "参数列表", "日志", "帮助"};
  ASSERT_EQ(tabs->count(), 9);
  for (int i = 0; i < 9; ++i) EXPECT_EQ(tabs->tabText(i), captions[i]);
  EXPECT_EQ(dialog->tabHost()->currentPage(), 0);
  EXPECT_EQ(tabs->currentIndex(), 0);

  const std::vector<std::pair<int, QString>> menu{
      {32771, "新建(&N)\tCtrl+N"}, {32772, "打开(&O)...\tCtrl+O"}, {32773, "保存(&S)...\tCtrl+S"},
      {32774, "退出(&X)"},         {32775, "设备地址扫描(&N)..."}, {32776, "设备配置(&S)..."},
      {32777, "软件帮助(&H)..."}};
  for (const auto& [id, caption] : menu) {
    QAction* action = dialog->action(id);
    ASSERT_NE(action, nullptr) << id;
    EXPECT_EQ(action->text(), caption);
    // The key a caption shows is the key the command answers to; no other.
    const qsizetype tab = caption.indexOf(QLatin1Char('\t'));
    EXPECT_EQ(action->shortcut(), tab < 0 ? QKeySequence() : QKeySequence(caption.mid(tab + 1))) << id;
  }
  const QStringList popups{"文件(&F)", "编辑(&E)", "帮助(&H)"};
  const QList<QAction*> top = dialog->findChild<QMenuBar*>()->actions();
  ASSERT_EQ(top.size(), 3);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(top[i]->text(), popups[i]);
}

TEST_F(MainDialogTest, PrimingFillsTheImageFromEveryPage) {
  // Each image page stored once while the slots were selected in turn; the
  // recording pages put their units at the end.
  Bytes expected = kUnitsA;
  expected.insert(expected.end(), kUnitsB.begin(), kUnitsB.end());
  EXPECT_EQ(dialog->configImage(), expected);
  // Slot 0 is shown again and the help page was visited.
  EXPECT_EQ(dialog->tabHost()->currentPage(), 0);
}

TEST_F(MainDialogTest, TabChangeStoresThePageLeftBeforeLoadingTheNext) {
  clickTab(1);
  journal.clear();
  page(1)->units = {0xA1, 9, 9, 9, 9, 9, 9, 9};
  clickTab(2);
  EXPECT_EQ(journal, (std::vector<std::string>{"store A 24", "load B 24"}));
  // B sees A's latest unit, moved to the end.
  EXPECT_EQ(page(2)->seen, (Bytes{0xB2, 2, 2, 2, 2, 2, 2, 2, 0xB2, 3, 3, 3, 3, 3, 3, 3, 0xA1, 9, 9, 9, 9, 9, 9, 9}));
  EXPECT_TRUE(page(2)->isVisible());
  EXPECT_FALSE(page(1)->isVisible());

  journal.clear();
  dialog->tabHost()->selectPage(2);  // reselecting is not short-circuited
  EXPECT_EQ(journal, (std::vector<std::string>{"store B 24", "load B 24"}));
  journal.clear();
  dialog->tabHost()->selectPage(-1);
  dialog->tabHost()->selectPage(9);
  EXPECT_EQ(dialog->tabHost()->currentPage(), 2);
  // The pages outside the contract (log, help, connection) move no data.
  clickTab(7);
  EXPECT_EQ(journal, (std::vector<std::string>{"store B 24"}));
  journal.clear();
  clickTab(8);
  clickTab(0);
  EXPECT_TRUE(journal.empty());
  EXPECT_FALSE(dialog->gatherCurrentPage()) << "the connection page takes no part";
  // The help command stores the page on show first.
  clickTab(1);
  journal.clear();
  dialog->action(32777)->trigger();
  EXPECT_EQ(journal, (std::vector<std::string>{"store A 24"}));
  EXPECT_EQ(dialog->tabHost()->currentPage(), 8);
}

TEST_F(MainDialogTest, LoadAndNewReachEveryImagePage) {
  journal.clear();
  dialog->loadImage(nullptr, 0);
  EXPECT_TRUE(dialog->configImage().empty());
  EXPECT_EQ(journal, (std::vector<std::string>{"load A -1", "load B -1", "load C -1", "load D -1"}));
  const Bytes image{0xA1, 5, 5, 5, 5, 5, 5, 5};
  dialog->loadImage(image.data(), 8);
  EXPECT_EQ(page(2)->seen, image);
  EXPECT_EQ(dialog->configImage(), image);
  journal.clear();
  dialog->action(32771)->trigger();
  EXPECT_TRUE(dialog->configImage().empty());
  EXPECT_EQ(journal, (std::vector<std::string>{"load A 0", "load B 0", "load C 0", "load D 0"}));
  EXPECT_NE(logText().find("] 新建：清空数据\r\n"), std::string::npos);
}

TEST_F(MainDialogTest, SaveThenOpenGivesTheSameImage) {
  const QString path = tempPath("a.vmc");
  UiRecorder::queueFile(path);
  dialog->action(32773)->trigger();
  ASSERT_EQ(UiRecorder::fileRequests().size(), 1u);
  const ui::FileDialogRequest request = UiRecorder::fileRequests().front();
  EXPECT_TRUE(request.save);
  EXPECT_EQ(request.filter, QStringLiteral("配置文件 (*.vmc);;所有文件 (*.*)"));
  EXPECT_EQ(request.defaultSuffix, QStringLiteral("vmc"));
  EXPECT_EQ(request.initialName, QStringLiteral("config.vmc"));
  EXPECT_EQ(request.directory, QCoreApplication::applicationDirPath());
  const Bytes saved = readFile(path);
  EXPECT_EQ(saved, dialog->configImage());
  EXPECT_EQ(saved.size(), 24u);
  EXPECT_NE(logText().find("保存文件: " + QDir::toNativeSeparators(path).toStdString() + " (24 字节)\r\n"), std::string::npos);

  dialog->action(32771)->trigger();
  UiRecorder::queueFile(path);
  dialog->action(32772)->trigger();
  EXPECT_FALSE(UiRecorder::fileRequests().back().save);
  EXPECT_EQ(dialog->configImage(), saved);
  EXPECT_NE(logText().find("打开文件: " + QDir::toNativeSeparators(path).toStdString() + " (24 字节)\r\n"), std::string::npos);
  EXPECT_TRUE(UiRecorder::messages().isEmpty());
}

// An installed copy cannot write beside itself: the dialogs start at home,
// then where the user last went.
TEST_F(MainDialogTest, FileDialogsStartInAFolderTheUserCanWrite) {
  dialog->setProgramFolder(tempPath("not-there/bin"));
  UiRecorder::queueFile(QString());  // cancelled: nothing remembered
  dialog->action(32773)->trigger();
  ASSERT_EQ(UiRecorder::fileRequests().size(), 1u);
  EXPECT_EQ(UiRecorder::fileRequests().back().directory, QDir::homePath());
  EXPECT_EQ(UiRecorder::fileRequests().back().initialName, QStringLiteral("config.vmc"));

  QDir(dir.path()).mkdir(QStringLiteral("site"));
  UiRecorder::queueFile(tempPath("site/plant.vmc"));
  dialog->action(32773)->trigger();
  UiRecorder::queueFile(QString());
  dialog->action(32772)->trigger();
  EXPECT_EQ(UiRecorder::fileRequests().back().directory, QFileInfo(tempPath("site")).absoluteFilePath());

  dialog->setProgramFolder(dir.path());  // writable, but the last folder of this run comes first
  UiRecorder::queueFile(QString());
  dialog->action(32773)->trigger();
  EXPECT_EQ(UiRecorder::fileRequests().back().directory, QFileInfo(tempPath("site")).absoluteFilePath());
}

// Only a file can bring an image over 2048 bytes: an image page on show
// refuses to gather it, and saving keeps it whole.
TEST_F(MainDialogTest, ImageOverTheLimitIsKeptAndSavedWhole) {
  const QString big = tempPath("big.vmc");
  Bytes bytes(3001);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i);
  writeFile(big, bytes);
  UiRecorder::queueFile(big);
  dialog->action(32772)->trigger();
  EXPECT_EQ(dialog->configImage(), bytes);
  clickTab(1);
  EXPECT_FALSE(dialog->gatherCurrentPage());
  EXPECT_EQ(dialog->configImage(), bytes);
  const QString copy = tempPath("copy.vmc");
  UiRecorder::queueFile(copy);
  dialog->action(32773)->trigger();
  EXPECT_EQ(readFile(copy), bytes);
  EXPECT_NE(logText().find("] 数据包长度超过最大长度\r\n"), std::string::npos);
  EXPECT_NE(logText().find("(3001 字节)"), std::string::npos);
}

// Reading a file is image_file_test's; here: which refusal goes to a box,
// which to the log, and that none touches the image.
TEST_F(MainDialogTest, OpenRefusalsAndNothingToSave) {
  const Bytes before = dialog->configImage();
  dialog->action(32772)->trigger();  // cancelled: no file queued
  const QString empty = tempPath("empty.vmc");
  writeFile(empty, {});
  UiRecorder::queueFile(empty);
  dialog->action(32772)->trigger();
  EXPECT_NE(logText().find("] 打开文件为空\r\n"), std::string::npos);
  UiRecorder::queueFile(tempPath("missing.vmc"));
  dialog->action(32772)->trigger();
  EXPECT_EQ(UiRecorder::messages(), QStringList({"打开文件失败"}));
  EXPECT_EQ(dialog->configImage(), before);
  EXPECT_EQ(logText().find("打开文件:"), std::string::npos);

  dialog->action(32771)->trigger();  // New: the connection page on show stores nothing
  const size_t asked = UiRecorder::fileRequests().size();
  dialog->action(32773)->trigger();
  EXPECT_EQ(UiRecorder::messages().last(), QStringLiteral("没有要保存的数据"));
  EXPECT_EQ(UiRecorder::fileRequests().size(), asked) << "no save dialog";
}

TEST_F(MainDialogTest, FailedSaveKeepsThePreviousFileAndReportsFailure) {
  const QString path = tempPath("keep.vmc");
  const Bytes previous(100, 0x77);
  writeFile(path, previous);
  Bytes image(2000, 0x42);
  dialog->loadImage(image.data(), 2000);

  // A file size limit makes the write fall short, as a full disk would.
  struct rlimit old {};
  getrlimit(RLIMIT_FSIZE, &old);
  auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit limited = old;
  limited.rlim_cur = 1000;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
  UiRecorder::queueFile(path);
  dialog->action(32773)->trigger();
  setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, oldHandler);

  EXPECT_EQ(UiRecorder::messages(), QStringList{"保存文件失败"});
  EXPECT_EQ(readFile(path), previous);
  EXPECT_EQ(logText().find("保存文件:"), std::string::npos);
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"keep.vmc"}) << "no temporary file left";

  UiRecorder::queueFile(tempPath("no/such/dir/x.vmc"));
  dialog->action(32773)->trigger();
  EXPECT_EQ(UiRecorder::messages().size(), 2);
  EXPECT_EQ(UiRecorder::messages().last(), QStringLiteral("保存文件失败"));
  // Both failures name the file, and the line after each gives the system's reason.
  const std::string log = logText();
  std::string reason;
  for (const QString& name : {path, tempPath("no/such/dir/x.vmc")}) {
    const size_t failed = log.find("] 保存文件失败: " + name.toStdString() + "\r\n[");
    ASSERT_NE(failed, std::string::npos) << log;
    const size_t next = log.find("] ", failed + 2) + 2;
    reason = log.substr(next, log.find("\r\n", next) - next);
    EXPECT_EQ(reason.rfind("原因: ", 0), 0u) << log;
    EXPECT_GT(reason.size(), std::string("原因: ").size()) << log;
  }
  EXPECT_EQ(reason, "原因: " + std::make_error_code(std::errc::no_such_file_or_directory).message()) << log;
}

TEST_F(MainDialogTest, ClosingAsksFirstAndKeysNeverClose) {
  QTest::keyClick(dialog.get(), Qt::Key_Escape);
  QTest::keyClick(dialog.get(), Qt::Key_Return);
  // Keys pressed inside a page propagate to the main window and stop there.
  clickTab(7);
  QWidget* logEdit = dialog->tabHost()->page(7)->findChild<QWidget*>(QStringLiteral("1031"));
  ASSERT_NE(logEdit, nullptr);
  QTest::keyClick(logEdit, Qt::Key_Escape);
  QTest::keyClick(logEdit, Qt::Key_Enter);
  EXPECT_TRUE(dialog->isVisible());
  EXPECT_TRUE(UiRecorder::questions().isEmpty());

  UiRecorder::queueAnswer(false);
  dialog->close();
  EXPECT_TRUE(dialog->isVisible());
  EXPECT_EQ(UiRecorder::questions(), QStringList{"确定要退出程序吗？"});

  UiRecorder::queueAnswer(false);
  dialog->action(32774)->trigger();  // exit posts a close
  QApplication::processEvents();
  EXPECT_TRUE(dialog->isVisible());
  EXPECT_EQ(UiRecorder::questions().size(), 2);

  UiRecorder::queueAnswer(true);
  dialog->close();
  EXPECT_FALSE(dialog->isVisible());
}

TEST_F(MainDialogTest, HelpPageShowsTheProgramsHelpText) {
  dialog->action(32777)->trigger();
  auto* help = dynamic_cast<DialogHelp*>(dialog->tabHost()->page(8));
  ASSERT_NE(help, nullptr);
  EXPECT_TRUE(help->isVisible());
  EXPECT_TRUE(help->text().contains(QStringLiteral("读取配置")));
  auto* edit = help->findChild<QPlainTextEdit*>(QStringLiteral("1041"));
  ASSERT_NE(edit, nullptr);
  EXPECT_TRUE(edit->isReadOnly());
  EXPECT_EQ(DialogHelp::loadHelpText(QStringLiteral(":/TEXT/missing")), QStringLiteral("帮助信息加载失败。"));
}

// The data-test page keeps the image on a mistyped digit (saying why in
// the log) and in the character view, also when saving from it.
TEST_F(MainDialogTest, DataTestPageNeverDestroysTheImage) {
  clickTab(5);
  QWidget* dataPage = dialog->tabHost()->page(5);
  auto* edit = dataPage->findChild<QPlainTextEdit*>(QStringLiteral("3003"));
  ASSERT_NE(edit, nullptr);
  EXPECT_TRUE(edit->toPlainText().startsWith(QStringLiteral("A1 01 01 01")));
  const Bytes before = dialog->configImage();
  edit->setPlainText(QStringLiteral("A1 02 02 02 02 02 02 02 0G"));
  clickTab(7);
  EXPECT_EQ(dialog->configImage(), before);
  EXPECT_NE(logText().find("] 数据测试：第 9 个字节“0G”（第 1 行第 25 列）不是十六进制数，配置未改变\r\n"),
            std::string::npos)
      << logText();
  clickTab(5);
  edit->setPlainText(QStringLiteral("A1 02 02 02 02 02 02 02"));
  clickTab(6);
  EXPECT_EQ(dialog->configImage(), (Bytes{0xA1, 2, 2, 2, 2, 2, 2, 2}));

  const Bytes image{0x41, 0x42, 0x43, 0x44, 0x0A, 0x00, 0x7F, 0x80};
  dialog->loadImage(image.data(), static_cast<int32_t>(image.size()));
  clickTab(5);
  dataPage->findChild<QRadioButton*>(QStringLiteral("3002"))->click();
  clickTab(6);  // loads the character view on the way back
  clickTab(5);
  EXPECT_EQ(edit->toPlainText(), QStringLiteral("ABCD...."));
  clickTab(7);
  EXPECT_EQ(dialog->configImage(), image);
  clickTab(5);
  const QString path = tempPath("chars.vmc");
  UiRecorder::queueFile(path);
  dialog->action(32773)->trigger();
  EXPECT_EQ(readFile(path), image);
  EXPECT_EQ(dialog->configImage(), image);
}

TEST_F(MainDialogTest, DoubleClickInTheScanFillsTheConnectionPage) {
  QUdpSocket silent;  // the probe goes here, on loopback, never to the LAN
  ASSERT_TRUE(silent.bind(QHostAddress(QHostAddress::LocalHost), 0));
  dialog->setScanTarget(QStringLiteral("127.0.0.1"), silent.localPort());
  // The user inside the modal scan: a device answers, its entry is
  // double-clicked. Whatever is still open after 5 s is closed.
  int ticks = 0;
  QTimer user;
  QObject::connect(&user, &QTimer::timeout, [&] {
    auto* scan = qobject_cast<DialogScan*>(QApplication::activeModalWidget());
    if (scan == nullptr) return;
    auto* list = scan->findChild<QListWidget*>(QStringLiteral("2030"));
    if (++ticks > 250) {
      scan->reject();
    } else if (list->count() == 0) {
      const uint8_t payload[] = {'o', 'k'};
      QCoreApplication::postEvent(scan, new ScanReplyEvent(buildScanReplyBlock("192.168.1.20", payload, 2)));
    } else {
      // The view takes a double-click only on the entry a click pressed.
      const QPoint at = list->visualItemRect(list->item(0)).center();
      QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
      QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    }
  });
  user.start(20);
  dialog->action(MainDialog::kDeviceScan)->trigger();  // back when the scan has closed
  user.stop();

  QWidget* connectPage = dialog->tabHost()->page(TabManager::kConnectSlot);
  EXPECT_EQ(connectPage->findChild<QLineEdit*>(QStringLiteral("2003"))->text(), QStringLiteral("192.168.1.20"));
  EXPECT_TRUE(connectPage->findChild<QRadioButton*>(QStringLiteral("2001"))->isChecked());
  EXPECT_TRUE(connectPage->findChild<QLineEdit*>(QStringLiteral("2003"))->isEnabled());
  EXPECT_NE(logText().find("] 已填入扫描到的地址: 192.168.1.20\r\n"), std::string::npos) << logText();
}

// The key, not the menu: Ctrl+S right after start-up saves the default
// units of the program's own pages, one data port and five register groups.
TEST(MainDialogStartup, CtrlSSavesTheFortyEightDefaultBytes) {
  UiRecorder::reset();
  QTemporaryDir dir;
  MainDialog dialog;
  dialog.show();
  dialog.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
  const Bytes expected{0x01, 0x01, 0x00, 0x00, 0x25, 0x80, 0x80, 0x0D,  //
                       0x04, 0x01, 0x01, 0x01, 0xF4, 0x00, 0x64, 0x00,  //
                       0x04, 0x02, 0x01, 0x03, 0xE8, 0x00, 0x64, 0x00,  //
                       0x04, 0x03, 0x01, 0x06, 0x40, 0x00, 0x64, 0x00,  //
                       0x04, 0x04, 0x01, 0x09, 0xC4, 0x00, 0x64, 0x00,  //
                       0x04, 0x05, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00};
  EXPECT_EQ(dialog.configImage(), expected);
  EXPECT_EQ(dialog.tabHost()->currentPage(), 0);
  const QString path = dir.filePath("keyed.vmc");
  UiRecorder::queueFile(path);
  QTest::keyClick(&dialog, Qt::Key_S, Qt::ControlModifier);
  ASSERT_EQ(UiRecorder::fileRequests().size(), 1u);
  EXPECT_TRUE(UiRecorder::fileRequests().front().save);
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  const QByteArray saved = f.readAll();
  EXPECT_EQ(Bytes(saved.begin(), saved.end()), expected);

  UiRecorder::queueFile(QString());  // Ctrl+O: the open dialog, cancelled
  QTest::keyClick(&dialog, Qt::Key_O, Qt::ControlModifier);
  ASSERT_EQ(UiRecorder::fileRequests().size(), 2u);
  EXPECT_FALSE(UiRecorder::fileRequests().back().save);
  QTest::keyClick(&dialog, Qt::Key_N, Qt::ControlModifier);
  EXPECT_TRUE(dialog.configImage().empty()) << "Ctrl+N is New";
}

// The standard buttons of a Chinese tool are Chinese.
TEST(Startup, QtsOwnButtonsSpeakChinese) {
  ASSERT_TRUE(installQtChineseTexts()) << "qt6-translations-l10n is a dependency";
  QMessageBox box(QMessageBox::Question, QString(), QStringLiteral("确定要退出程序吗？"), QMessageBox::Yes | QMessageBox::No);
  EXPECT_EQ(box.button(QMessageBox::Yes)->text(), QStringLiteral("是(&Y)"));
  EXPECT_EQ(box.button(QMessageBox::No)->text(), QStringLiteral("否(&N)"));
  QMessageBox ok(QMessageBox::NoIcon, QString(), QStringLiteral("保存文件失败"), QMessageBox::Ok);
  EXPECT_EQ(ok.button(QMessageBox::Ok)->text().remove(QLatin1Char('&')), QStringLiteral("确定"));
  EXPECT_TRUE(installQtChineseTexts()) << "a second call keeps the one translator";
}

TEST(Startup, WithoutSocketsTheProgramSaysSoAndStops) {
  UiRecorder::reset();
  EXPECT_TRUE(socketLayerReady());
  EXPECT_TRUE(prepareStart(true));
  EXPECT_TRUE(UiRecorder::messages().isEmpty());
  EXPECT_FALSE(prepareStart(false));
  EXPECT_EQ(UiRecorder::messages(), QStringList{"Socket初始化失败"});
  EXPECT_EQ(QCoreApplication::organizationName(), QStringLiteral("应用程序向导生成的本地应用程序"));
}

// Pop-ups are windows of their own and inherit no page's font: start-up
// gives them the page font (face and size) as well.
TEST(Startup, MessageBoxesAndMenusUseThePageFont) {
  UiRecorder::reset();
  ASSERT_TRUE(prepareStart(true));
  const QFont page = ui::pageFont();
  MainDialog dialog;
  QMessageBox box(QMessageBox::Question, QString(), QStringLiteral("确定要退出程序吗？"), QMessageBox::Yes | QMessageBox::No,
                  &dialog);
  QMenu* file = dialog.findChild<QMenuBar*>()->actions().first()->menu();
  ASSERT_NE(file, nullptr);
  for (const QWidget* w : std::initializer_list<const QWidget*>{&box, box.button(QMessageBox::Yes), file,
                                                                 dialog.findChild<QMenuBar*>()}) {
    EXPECT_EQ(w->font().families(), page.families()) << w->metaObject()->className();
    EXPECT_EQ(w->font().pointSize(), page.pointSize()) << w->metaObject()->className();
  }
}
