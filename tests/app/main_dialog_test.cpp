// The main window's own wiring: menus and keys, store/load order on a tab
// change, the file commands' dialogs, boxes and log lines, closing, start-up.
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
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

#include <fstream>
#include <gtest/gtest.h>

#include "app/dialog_help.h"
#include "app/main_dialog.h"
#include "app/startup_qt.h"
#include "app/tab_manager.h"
#include "app/write_check.h"
#include "config/dialog_child_base.h"
#include "config/image_json.h"
#include "diag/dialog_log.h"
#include "diag/dialog_raw_bytes.h"
#include "link/dialog_scan.h"
#include "link/link_events_qt.h"
#include "protocol/dialog_configuration.h"
#include "tests/support/ui_recorder.h"

using namespace velmora;
using velmora::testing::UiRecorder;
using Bytes = std::vector<uint8_t>;

namespace {

std::vector<std::string> journal;

// Owns one unit kind, appends its units like an editor page, journals every call.
struct RecordingPage : QWidget, DialogChildBase {
  RecordingPage(std::string name, uint8_t kind, Bytes units, QWidget* parent)
      : QWidget(parent), name(std::move(name)), kind(kind), units(std::move(units)) {}
  void loadFromImage(const uint8_t* data, int32_t length) override {
    journal.push_back("load " + name + " " + std::to_string(length));
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

Bytes readFile(const QString& path) {
  QFile f(path);
  EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
  const QByteArray b = f.readAll();
  return Bytes(b.begin(), b.end());
}

void writeFile(const QString& path, const Bytes& bytes) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
}

// Slots 1 to 4 hold recording pages (C and D store no units), the rest are the program's own.
class MainDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    UiRecorder::reset();
    journal.clear();
    dialog = std::make_unique<MainDialog>(nullptr, [](int slot, QWidget* parent) -> QWidget* {
      if (slot == 1) return new RecordingPage("A", 0xA1, kUnitsA, parent);
      if (slot == 2) return new RecordingPage("B", 0xB2, kUnitsB, parent);
      if (slot == 3 || slot == 4) return new RecordingPage(slot == 3 ? "C" : "D", 0xC3, {}, parent);
      return nullptr;
    });
    dialog->resize(900, 700);
    dialog->show();
    QApplication::processEvents();
  }

  RecordingPage* page(int slot) { return dynamic_cast<RecordingPage*>(dialog->tabHost()->page(slot)); }
  std::string logText() { return dynamic_cast<DialogLog*>(dialog->tabHost()->page(TabManager::kLogSlot))->text(); }
  bool logHas(const std::string& line) { return logText().find("] " + line + "\r\n") != std::string::npos; }
  void clickTab(int index) { dialog->tabHost()->tabControl()->setCurrentIndex(index); }
  QString tempPath(const QString& name) { return dir.filePath(name); }
  void fileCommand(int id, const QString& path) {
    UiRecorder::queueFile(path);
    dialog->action(id)->trigger();
  }

  QTemporaryDir dir;
  std::unique_ptr<MainDialog> dialog;
};

}  // namespace

TEST_F(MainDialogTest, StartsWithCaptionTabsMenuIdsAndTheirKeys) {
  EXPECT_EQ(dialog->windowTitle(), QStringLiteral("设备配置工具 V1.00"));
  EXPECT_EQ(logText().find("] 程序启动\r\n"), 20u) << logText();
  QTabBar* tabs = dialog->tabHost()->tabControl();
  QStringList captions;
  for (int i = 0; i < tabs->count(); ++i) captions << tabs->tabText(i);
  EXPECT_EQ(captions, QStringList({"连接", "串口参数", "网络参数", "网络服务器端口", "保持寄存器配置", "数据测试", "参数列表",
                                   "日志", "帮助", "通信监视"}));
  EXPECT_EQ(tabs->currentIndex(), 0);

  const std::vector<std::pair<int, QString>> menu{
      {32771, "新建(&N)\tCtrl+N"}, {32772, "打开(&O)...\tCtrl+O"}, {32773, "保存(&S)...\tCtrl+S"},
      {32774, "退出(&X)"},         {32775, "设备地址扫描(&N)..."}, {32776, "设备配置(&S)..."},
      {32777, "软件帮助(&H)..."},  {32778, "与设备比较(&C)..."}};
  for (const auto& [id, caption] : menu) {
    QAction* action = dialog->action(id);
    ASSERT_NE(action, nullptr) << id;
    EXPECT_EQ(action->text(), caption);
    // The key a caption shows is the key the command answers to; no other.
    const qsizetype tab = caption.indexOf(QLatin1Char('\t'));
    EXPECT_EQ(action->shortcut(), tab < 0 ? QKeySequence() : QKeySequence(caption.mid(tab + 1))) << id;
  }
  QStringList popups;
  for (const QAction* top : dialog->findChild<QMenuBar*>()->actions()) popups << top->text();
  EXPECT_EQ(popups, QStringList({"文件(&F)", "编辑(&E)", "帮助(&H)"}));
}

// A tab change stores the page left before the next one loads; pages outside the image move no data.
TEST_F(MainDialogTest, TabChangeStoresThePageLeftBeforeLoadingTheNext) {
  Bytes primed = kUnitsA;
  primed.insert(primed.end(), kUnitsB.begin(), kUnitsB.end());
  EXPECT_EQ(dialog->configImage(), primed) << "priming stored every image page once";
  clickTab(1);
  journal.clear();
  page(1)->units = {0xA1, 9, 9, 9, 9, 9, 9, 9};
  clickTab(2);
  EXPECT_EQ(journal, (std::vector<std::string>{"store A 24", "load B 24"}));
  EXPECT_EQ(page(2)->seen, (Bytes{0xB2, 2, 2, 2, 2, 2, 2, 2, 0xB2, 3, 3, 3, 3, 3, 3, 3, 0xA1, 9, 9, 9, 9, 9, 9, 9}));
  journal.clear();
  clickTab(7);
  clickTab(8);
  clickTab(0);
  EXPECT_EQ(journal, (std::vector<std::string>{"store B 24"}));
  EXPECT_FALSE(dialog->gatherCurrentPage()) << "the connection page takes no part";
  // The help command stores the page on show first.
  clickTab(1);
  journal.clear();
  dialog->action(MainDialog::kAppHelp)->trigger();
  EXPECT_EQ(journal, (std::vector<std::string>{"store A 24"}));
  auto* help = dynamic_cast<DialogHelp*>(dialog->tabHost()->page(8));
  ASSERT_NE(help, nullptr);
  EXPECT_EQ(dialog->tabHost()->currentPage(), 8);
  EXPECT_TRUE(help->text().contains(QStringLiteral("读取配置")));
  EXPECT_EQ(DialogHelp::loadHelpText(QStringLiteral(":/TEXT/missing")), QStringLiteral("帮助信息加载失败。"));
}

TEST_F(MainDialogTest, SaveNewOpenGiveBackTheImageAndLogEach) {
  const QString path = tempPath("a.vmc");
  fileCommand(MainDialog::kFileSave, path);
  ASSERT_EQ(UiRecorder::fileRequests().size(), 1u);
  const ui::FileDialogRequest request = UiRecorder::fileRequests().front();
  EXPECT_TRUE(request.save);
  EXPECT_EQ(request.filter, QStringLiteral("配置文件 (*.vmc);;配置文件 JSON (*.json);;所有文件 (*.*)"));
  EXPECT_EQ(request.defaultSuffix, QStringLiteral("vmc"));
  EXPECT_EQ(request.initialName, QStringLiteral("config.vmc"));
  EXPECT_EQ(request.directory, QCoreApplication::applicationDirPath());
  const Bytes saved = readFile(path);
  EXPECT_EQ(saved.size(), 24u);
  const std::string shown = QDir::toNativeSeparators(path).toStdString();
  EXPECT_TRUE(logHas("保存文件: " + shown + " (24 字节)")) << logText();

  journal.clear();
  dialog->action(MainDialog::kFileNew)->trigger();
  EXPECT_EQ(journal, (std::vector<std::string>{"load A 0", "load B 0", "load C 0", "load D 0"}));
  EXPECT_TRUE(logHas("新建：清空数据"));
  dialog->action(MainDialog::kFileSave)->trigger();  // nothing to save: a box, no dialog
  EXPECT_EQ(UiRecorder::messages(), QStringList{"没有要保存的数据"});
  EXPECT_EQ(UiRecorder::fileRequests().size(), 1u);
  fileCommand(MainDialog::kFileOpen, path);
  EXPECT_FALSE(UiRecorder::fileRequests().back().save);
  EXPECT_EQ(page(2)->seen, saved) << "an opened file reaches the pages";
  EXPECT_TRUE(logHas("打开文件: " + shown + " (24 字节)")) << logText();
  EXPECT_EQ(UiRecorder::messages().size(), 1) << "success shows no box";
}

// A .json name (in any case) holds the document; it comes back byte for
// byte, and one that does not read changes nothing. A document under another
// name is told by its first byte, as velmora-cli tells it.
TEST_F(MainDialogTest, JsonFilesRoundTripAndBadOnesAreRefused) {
  const Bytes image = dialog->configImage();
  const std::string document = exportImageJson(image);
  fileCommand(MainDialog::kFileSave, tempPath("plant.JSON"));
  EXPECT_EQ(readFile(tempPath("plant.JSON")), Bytes(document.begin(), document.end()));
  dialog->action(MainDialog::kFileNew)->trigger();
  fileCommand(MainDialog::kFileOpen, tempPath("plant.JSON"));
  EXPECT_EQ(page(2)->seen, image) << "the pages load it as a .vmc";
  writeFile(tempPath("plant.cfg"), Bytes(document.begin(), document.end()));
  dialog->action(MainDialog::kFileNew)->trigger();
  fileCommand(MainDialog::kFileOpen, tempPath("plant.cfg"));
  EXPECT_EQ(page(2)->seen, image) << "a document without the .json name";

  std::string renamed = document;
  renamed.replace(renamed.find("velmora-config"), 14, "other");
  const std::pair<std::string, std::string> cases[] = {  // document, last log line
      {document.substr(0, 30), "JSON 内容有误: $: not valid JSON"},
      {renamed, "JSON 内容有误: $.format: must be \"velmora-config\""},
      {exportImageJson({}), "打开文件为空"}};
  for (const auto& [text, line] : cases) {
    UiRecorder::reset();
    writeFile(tempPath("bad.json"), Bytes(text.begin(), text.end()));
    fileCommand(MainDialog::kFileOpen, tempPath("bad.json"));
    EXPECT_EQ(UiRecorder::messages(), line == "打开文件为空" ? QStringList() : QStringList{"打开文件失败"}) << line;
    EXPECT_EQ(dialog->configImage(), image);
    EXPECT_NE(logText().find("] " + line, logText().rfind("\r\n[", logText().size() - 3)), std::string::npos) << logText();
  }
}

// An empty image (an empty read, or the device's loaded from the comparison)
// reaches every page too: the page on show must not keep what it showed,
// for the next tab change or write would send it.
TEST_F(MainDialogTest, AnEmptyImageStillReachesEveryPage) {
  clickTab(1);
  const uint8_t none = 0;
  for (const uint8_t* data : {&none, static_cast<const uint8_t*>(nullptr)}) {
    dialog->loadImage(kUnitsA.data(), static_cast<int32_t>(kUnitsA.size()));
    journal.clear();
    dialog->loadImage(data, 0);
    EXPECT_EQ(journal, (std::vector<std::string>{"load A 0", "load B 0", "load C 0", "load D 0"}));
    EXPECT_TRUE(page(1)->seen.empty() && dialog->configImage().empty());
  }
}

// An installed copy cannot write beside itself: home first, then where the user last went.
TEST_F(MainDialogTest, FileDialogsStartInAFolderTheUserCanWrite) {
  dialog->setProgramFolder(tempPath("not-there/bin"));
  fileCommand(MainDialog::kFileSave, QString());  // cancelled: nothing remembered
  EXPECT_EQ(UiRecorder::fileRequests().back().directory, QDir::homePath());
  QDir(dir.path()).mkdir(QStringLiteral("site"));
  fileCommand(MainDialog::kFileSave, tempPath("site/plant.vmc"));
  dialog->setProgramFolder(dir.path());  // writable, but the last folder of this run comes first
  fileCommand(MainDialog::kFileOpen, QString());
  EXPECT_EQ(UiRecorder::fileRequests().back().directory, QFileInfo(tempPath("site")).absoluteFilePath());
}

// Only a file brings an image over 2048 bytes: the page on show refuses it, saving keeps it whole.
TEST_F(MainDialogTest, ImageOverTheLimitIsKeptAndSavedWhole) {
  Bytes bytes(3001);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i);
  writeFile(tempPath("big.vmc"), bytes);
  fileCommand(MainDialog::kFileOpen, tempPath("big.vmc"));
  clickTab(1);
  clickTab(2);
  fileCommand(MainDialog::kFileSave, tempPath("copy.vmc"));
  EXPECT_EQ(readFile(tempPath("copy.vmc")), bytes);
}

// Which refusal goes to a box, which to the log; none touches the image.
TEST_F(MainDialogTest, OpenAndSaveFailuresAreSaidAndChangeNothing) {
  const Bytes before = dialog->configImage();
  writeFile(tempPath("empty.vmc"), {});
  fileCommand(MainDialog::kFileOpen, tempPath("empty.vmc"));
  EXPECT_TRUE(logHas("打开文件为空"));
  EXPECT_TRUE(UiRecorder::messages().isEmpty());
  fileCommand(MainDialog::kFileOpen, tempPath("missing.vmc"));
  EXPECT_EQ(UiRecorder::messages(), QStringList{"打开文件失败"});
  EXPECT_EQ(dialog->configImage(), before);

  // The failure names the file, the next line gives the system's reason.
  const QString nowhere = tempPath("no/such/dir/x.vmc");
  fileCommand(MainDialog::kFileSave, nowhere);
  EXPECT_EQ(UiRecorder::messages().last(), QStringLiteral("保存文件失败"));
  EXPECT_TRUE(logHas("保存文件失败: " + nowhere.toStdString()));
  EXPECT_TRUE(logHas("原因: " + std::make_error_code(std::errc::no_such_file_or_directory).message())) << logText();
  EXPECT_EQ(logText().find("文件: "), std::string::npos) << "no success line";
}

// Keys pressed inside a page propagate to the main window and stop there.
TEST_F(MainDialogTest, ClosingAsksFirstAndKeysNeverClose) {
  clickTab(7);
  QWidget* logEdit = dialog->tabHost()->page(7)->findChild<QWidget*>(QStringLiteral("1031"));
  ASSERT_NE(logEdit, nullptr);
  for (QWidget* w : {static_cast<QWidget*>(dialog.get()), logEdit})
    for (Qt::Key key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter}) QTest::keyClick(w, key);
  EXPECT_TRUE(dialog->isVisible());
  EXPECT_TRUE(UiRecorder::questions().isEmpty());

  UiRecorder::queueAnswer(false);
  dialog->action(MainDialog::kAppExit)->trigger();  // exit posts a close
  QApplication::processEvents();
  EXPECT_TRUE(dialog->isVisible());
  EXPECT_EQ(UiRecorder::questions(), QStringList{"确定要退出程序吗？"});
  UiRecorder::queueAnswer(true);
  dialog->close();
  EXPECT_FALSE(dialog->isVisible());
}

// The data test page never costs the image: not a mistyped digit (its reason
// reaches the log; the wording is hex_view_test's), not the character view,
// whether the page is left, saved from or written from ("下发配置" gathers).
TEST_F(MainDialogTest, DataTestPageKeepsTheImageOnTabChangeSaveAndWrite) {
  clickTab(5);
  const Bytes before = dialog->configImage();
  QWidget* page = dialog->tabHost()->page(5);
  page->findChild<QPlainTextEdit*>(QString::number(DialogDataTest::kEditId))->setPlainText(QStringLiteral("A1 0G"));
  clickTab(7);
  EXPECT_EQ(dialog->configImage(), before);
  EXPECT_NE(logText().find("“0G”（第 1 行第 4 列）不是十六进制数，配置未改变\r\n"), std::string::npos) << logText();

  // Bytes whose characters read as hex digits ("ABCD1234" would become AB CD 12 34).
  page->findChild<QRadioButton*>(QString::number(DialogDataTest::kAsciiRadioId))->click();
  const Bytes letters{'A', 'B', 'C', 'D', '1', '2', '3', '4'};
  dialog->loadImage(letters.data(), 8);
  clickTab(0);
  EXPECT_EQ(dialog->configImage(), letters);
  const QString path = tempPath("from-ascii.vmc");
  clickTab(5);
  fileCommand(MainDialog::kFileSave, path);
  EXPECT_EQ(readFile(path), letters);
  EXPECT_FALSE(dialog->gatherCurrentPage()) << "the page stores nothing";
  EXPECT_EQ(dialog->configImage(), letters) << "what a write would send";
}

// Inside the modal scan a device answers and its entry is double-clicked; closed after 5 s at the latest.
TEST_F(MainDialogTest, DoubleClickInTheScanFillsTheConnectionPage) {
  QUdpSocket silent;  // the probe goes here, on loopback, never to the LAN
  ASSERT_TRUE(silent.bind(QHostAddress(QHostAddress::LocalHost), 0));
  dialog->setScanTarget(QStringLiteral("127.0.0.1"), silent.localPort());
  int ticks = 0;
  QTimer user;
  QObject::connect(&user, &QTimer::timeout, [&] {
    auto* scan = qobject_cast<DialogScan*>(QApplication::activeModalWidget());
    if (scan == nullptr) return;
    auto* list = scan->findChild<QListWidget*>(QStringLiteral("2030"));
    const uint8_t payload[] = {'o', 'k'};
    if (++ticks > 250) {
      scan->reject();
    } else if (list->count() == 0) {
      QCoreApplication::postEvent(scan, new ScanReplyEvent(buildScanReplyBlock("192.168.1.20", payload, 2)));
    } else {  // the view takes a double-click only on the entry a click pressed
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
}

// The key, not the menu, right after start-up saves the program's default units:
// one data port and five register groups (the other keys share its wiring).
TEST(MainDialogStartup, CtrlSSavesTheFortyEightDefaultBytes) {
  UiRecorder::reset();
  QTemporaryDir dir;
  MainDialog dialog;
  dialog.show();
  dialog.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
  UiRecorder::queueFile(dir.filePath("keyed.vmc"));
  QTest::keyClick(&dialog, Qt::Key_S, Qt::ControlModifier);
  ASSERT_EQ(UiRecorder::fileRequests().size(), 1u);
  EXPECT_EQ(readFile(dir.filePath("keyed.vmc")),
            (Bytes{0x01, 0x01, 0x00, 0x00, 0x25, 0x80, 0x80, 0x0D, 0x04, 0x01, 0x01, 0x01, 0xF4, 0x00, 0x64, 0x00,
                   0x04, 0x02, 0x01, 0x03, 0xE8, 0x00, 0x64, 0x00, 0x04, 0x03, 0x01, 0x06, 0x40, 0x00, 0x64, 0x00,
                   0x04, 0x04, 0x01, 0x09, 0xC4, 0x00, 0x64, 0x00, 0x04, 0x05, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00}));
}

// Standard buttons speak Chinese; pop-ups, windows of their own, get the page font too.
TEST(Startup, BoxesAndMenusSpeakChineseInThePageFont) {
  UiRecorder::reset();
  ASSERT_TRUE(installQtChineseTexts()) << "qt6-translations-l10n is a dependency";
  ASSERT_TRUE(prepareStart(true));
  EXPECT_TRUE(UiRecorder::messages().isEmpty());
  EXPECT_TRUE(installQtChineseTexts()) << "a second call keeps the one translator";
  MainDialog dialog;
  QMessageBox box(QMessageBox::Question, QString(), QStringLiteral("?"), QMessageBox::Yes | QMessageBox::No | QMessageBox::Ok,
                  &dialog);
  EXPECT_EQ(box.button(QMessageBox::Yes)->text(), QStringLiteral("是(&Y)"));
  EXPECT_EQ(box.button(QMessageBox::No)->text(), QStringLiteral("否(&N)"));
  EXPECT_EQ(box.button(QMessageBox::Ok)->text().remove(QLatin1Char('&')), QStringLiteral("确定"));
  const QFont page = ui::pageFont();
  QMenu* file = dialog.findChild<QMenuBar*>()->actions().first()->menu();
  ASSERT_NE(file, nullptr);
  for (const QWidget* w : std::initializer_list<const QWidget*>{&box, box.button(QMessageBox::Yes), file,
                                                                 dialog.findChild<QMenuBar*>()}) {
    EXPECT_EQ(w->font().families(), page.families()) << w->metaObject()->className();
    EXPECT_EQ(w->font().pointSize(), page.pointSize()) << w->metaObject()->className();
  }
}

TEST(Startup, WithoutSocketsTheProgramSaysSoAndStops) {
  UiRecorder::reset();
  EXPECT_TRUE(socketLayerReady());
  EXPECT_FALSE(prepareStart(false));
  EXPECT_EQ(UiRecorder::messages(), QStringList{"Socket初始化失败"});
}

// Errors make one question, at most ten of them listed; warnings and notes
// only reach the log, one line each, errors or not.
TEST(WriteCheckReport, ErrorsAskWarningsAndNotesLog) {
  const auto finding = [](CheckSeverity severity, const std::string& chinese) {
    return CheckFinding{severity, "rule", {0}, "english", chinese};
  };
  EXPECT_TRUE(writeCheckReport({}).logLines.empty());
  EXPECT_TRUE(writeCheckReport({}).question.empty());

  const WriteCheckReport quiet =
      writeCheckReport({finding(CheckSeverity::Warning, "甲"), finding(CheckSeverity::Note, "乙")});
  EXPECT_EQ(quiet.logLines, (std::vector<std::string>{"配置检查：警告：甲", "配置检查：提示：乙"}));
  EXPECT_TRUE(quiet.question.empty());

  for (const int errors : {1, 10, 12}) {
    std::vector<CheckFinding> findings;
    for (int i = 0; i < errors; ++i) findings.push_back(finding(CheckSeverity::Error, "错" + std::to_string(i)));
    findings.push_back(finding(CheckSeverity::Note, "乙"));
    const WriteCheckReport report = writeCheckReport(findings);
    std::string expected = "配置检查发现以下错误：\n";
    for (int i = 0; i < std::min(errors, 10); ++i) expected += "错" + std::to_string(i) + "\n";
    if (errors > 10) expected += "……等 12 项\n";
    EXPECT_EQ(report.question, expected + "\n仍要下发配置吗？") << errors;
    EXPECT_EQ(report.logLines, std::vector<std::string>{"配置检查：提示：乙"}) << errors;
  }
}

TEST_F(MainDialogTest, RestoreABackupStartsInTheBackupFolderAndLoadsItIntoThePages) {
  // The backup folder as the command line keeps it, under a state home of the test's own.
  const QString state = tempPath("state");
  const QString backups = state + "/velmora/backups";
  ASSERT_TRUE(QDir().mkpath(backups));
  const QByteArray oldState = qgetenv("XDG_STATE_HOME");
  qputenv("XDG_STATE_HOME", state.toUtf8());
  const Bytes image = {1, 0, 0, 0, 0x25, 0x80, 0x80, 0x01};
  std::ofstream(backups.toStdString() + "/20.24.6.17-20261209-173015.123.json") << exportImageJson(image);

  fileCommand(MainDialog::kRestoreBackup, backups + "/20.24.6.17-20261209-173015.123.json");
  qputenv("XDG_STATE_HOME", oldState);
  ASSERT_EQ(UiRecorder::fileRequests().size(), 1u);
  EXPECT_EQ(UiRecorder::fileRequests().front().directory, backups);
  EXPECT_FALSE(UiRecorder::fileRequests().front().save);
  EXPECT_EQ(page(2)->seen, image) << "the backup reaches the pages, to be compared and written";
  EXPECT_TRUE(logHas("已载入备份，与设备比较后可点击“下发配置”写回设备")) << logText();
}
