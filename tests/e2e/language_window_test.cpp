// The main paths of the real window once in each language: connect, read,
// write, the file commands, the scan, every page. In English no Chinese
// text may be left anywhere a user can see one (a text that bypasses the
// translation shows up here); in Chinese the texts are the source texts.
#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QNetworkProxy>
#include <QPlainTextEdit>
#include <QTabBar>
#include <QTest>
#include <QTimer>
#include <QUdpSocket>

#include "app/dialog_help.h"
#include "app/tab_manager.h"
#include "base/text.h"
#include "base/tr_text.h"
#include "link/dialog_scan.h"
#include "link/link_events_qt.h"
#include "pages/tooltip_widget.h"
#include "tests/e2e/window_driver_qt.h"
#include "tests/support/ui_recorder.h"
#include "ui/language_qt.h"

using velmora::testing::UiRecorder;

namespace velmora::e2e {
namespace {

void addModelTexts(const QAbstractItemModel* model, QStringList& out) {
  if (model == nullptr) return;
  for (int c = 0; c < model->columnCount(); ++c) out << model->headerData(c, Qt::Horizontal).toString();
  for (int r = 0; r < model->rowCount(); ++r)
    for (int c = 0; c < model->columnCount(); ++c) out << model->index(r, c).data().toString();
}

// Every text a user can read in root and its children: captions, titles,
// list entries, table headers and cells, edits, menus, tooltips.
QStringList textsOf(QWidget* root) {
  QStringList out{root->windowTitle()};
  QList<QWidget*> widgets = root->findChildren<QWidget*>();
  widgets.prepend(root);
  for (QWidget* w : widgets) {
    out << w->toolTip();
    if (auto* l = qobject_cast<QLabel*>(w)) out << l->text();
    if (auto* b = qobject_cast<QAbstractButton*>(w)) out << b->text();
    if (auto* g = qobject_cast<QGroupBox*>(w)) out << g->title();
    if (auto* e = qobject_cast<QLineEdit*>(w)) out << e->text() << e->placeholderText();
    if (auto* e = qobject_cast<QPlainTextEdit*>(w)) out << e->toPlainText();
    if (auto* c = qobject_cast<QComboBox*>(w))
      for (int i = 0; i < c->count(); ++i) out << c->itemText(i);
    if (auto* t = qobject_cast<QTabBar*>(w))
      for (int i = 0; i < t->count(); ++i) out << t->tabText(i);
    if (auto* v = qobject_cast<QAbstractItemView*>(w)) addModelTexts(v->model(), out);
  }
  for (QAction* a : root->findChildren<QAction*>()) out << a->text();
  for (ToolTipWidget* tips : root->findChildren<ToolTipWidget*>())
    for (QWidget* w : widgets) out << tips->toolText(w);
  out.removeAll(QString());
  return out;
}

bool hasChinese(const QString& text) {
  for (QChar c : text)
    if ((c.unicode() >= 0x4E00 && c.unicode() <= 0x9FFF) || (c.unicode() >= 0xFF01 && c.unicode() <= 0xFF5E))
      return true;
  return false;
}

class LanguageWindowTest : public DeviceTest, public ::testing::WithParamInterface<Language> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(ui::useLanguage(GetParam()));
    DeviceTest::SetUp();
  }
  void TearDown() override {
    DeviceTest::TearDown();
    ui.reset();
    ui::useLanguage(Language::Chinese);
  }
  bool english() const { return GetParam() == Language::English; }
  // One text in both languages, checked against what the window shows.
  const char* pick(const char* zh, const char* en) const { return english() ? en : zh; }

  // Each text of root, in English, is free of Chinese.
  void expectNoChineseIn(QWidget* root, const char* where) {
    if (!english()) return;
    for (const QString& t : textsOf(root)) EXPECT_FALSE(hasChinese(t)) << where << ": " << t.toStdString();
  }
};

TEST_P(LanguageWindowTest, MainPathsSpeakOneLanguage) {
  ASSERT_NO_FATAL_FAILURE(startDevice());
  MainDialog& window = ui->window();

  // The scan, probing a silent socket on loopback; its texts are looked at
  // while it is open, then it is closed (after 5 s at the latest).
  QUdpSocket silent;
  silent.setProxy(QNetworkProxy::NoProxy);  // no proxy lookup thread (and its race under TSan)
  ASSERT_TRUE(silent.bind(QHostAddress(QHostAddress::LocalHost), 0));
  window.setScanTarget(QStringLiteral("127.0.0.1"), silent.localPort());
  QStringList scanTexts;
  int ticks = 0;
  QTimer user;
  QObject::connect(&user, &QTimer::timeout, [&] {
    auto* scan = qobject_cast<DialogScan*>(QApplication::activeModalWidget());
    if (scan == nullptr) return;
    auto* list = scan->findChild<QListWidget*>(QStringLiteral("2030"));
    if (++ticks > 250 || list->count() > 0) {
      scanTexts = textsOf(scan);
      expectNoChineseIn(scan, "scan");
      scan->reject();
    } else {
      const uint8_t payload[] = {'o', 'k'};
      QCoreApplication::postEvent(scan, new ScanReplyEvent(buildScanReplyBlock("127.0.0.1", payload, 2)));
    }
  });
  user.start(20);
  window.action(MainDialog::kDeviceScan)->trigger();
  user.stop();
  EXPECT_TRUE(scanTexts.contains(QString::fromUtf8(pick("扫描设备", "Scan for devices"))))
      << scanTexts.join('|').toStdString();
  EXPECT_TRUE(scanTexts.contains(QStringLiteral("127.0.0.1")));

  ASSERT_NO_FATAL_FAILURE(connectOver(Transport::Tcp));
  size_t from = ui->log().mark();
  ASSERT_TRUE(ui->transfer(true));
  EXPECT_EQ(window.configImage(), sampleImage());
  EXPECT_TRUE(ui->log().has(pick("读取配置完成，共 3 包，128 字节", "Configuration read: 3 packets, 128 bytes"), from))
      << ui->log().tail();
  EXPECT_EQ(ui->stateText(), QString::fromUtf8(pick("读取完成", "Read done")));

  from = ui->log().mark();
  ASSERT_TRUE(ui->transfer(false));
  EXPECT_EQ(saved(), sampleImage());
  EXPECT_TRUE(ui->log().has(pick("下发配置完成", "Configuration written"), from));

  // Save, then open what was saved.
  const QString file = QString::fromStdString(path("copy.vmc"));
  UiRecorder::queueFile(file);
  window.action(MainDialog::kFileSave)->trigger();
  UiRecorder::queueFile(file);
  window.action(MainDialog::kFileOpen)->trigger();
  ASSERT_EQ(UiRecorder::fileRequests().size(), 2u);
  EXPECT_TRUE(UiRecorder::fileRequests()[0].filter.startsWith(
      QString::fromUtf8(pick("配置文件 (*.vmc)", "Configuration files (*.vmc)"))))
      << UiRecorder::fileRequests()[0].filter.toStdString();
  EXPECT_TRUE(ui->log().has(pick("保存文件: ", "File saved: "), from));
  EXPECT_TRUE(ui->log().has(pick("打开文件: ", "File opened: "), from));
  EXPECT_EQ(window.configImage(), sampleImage());
  EXPECT_TRUE(UiRecorder::messages().isEmpty()) << UiRecorder::messages().join("; ").toStdString();

  // Every page, as shown; then the whole window with what the paths left in it.
  for (int slot = 0; slot < TabManager::kSlotCount; ++slot) {
    ui->clickTab(slot);
    expectNoChineseIn(window.tabHost()->page(slot), "page");
  }
  expectNoChineseIn(&window, "window");
  const QStringList shown = textsOf(&window);
  for (const char* text : {pick("保持寄存器配置", "Holding registers"), pick("通信监视", "Monitor"),
                           pick("下发配置", "Write config"), pick("文件(&F)", "&File")})
    EXPECT_TRUE(shown.contains(QString::fromUtf8(text))) << text;
  // The help page has a text of its own in each language.
  auto* help =
      window.tabHost()->page(TabManager::kHelpSlot)->findChild<QPlainTextEdit*>(QString::number(DialogHelp::kEditId));
  ASSERT_NE(help, nullptr);
  EXPECT_TRUE(
      help->toPlainText().startsWith(QString::fromUtf8(pick("设备配置工具 使用说明", "Device configuration tool"))));
}

INSTANTIATE_TEST_SUITE_P(Languages, LanguageWindowTest, ::testing::Values(Language::Chinese, Language::English),
                         [](const auto& info) { return info.param == Language::English ? "English" : "Chinese"; });

}  // namespace
}  // namespace velmora::e2e
