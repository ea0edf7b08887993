#include "tests/e2e/window_driver_qt.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QRadioButton>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTabBar>
#include <QTableWidget>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "app/main_dialog.h"
#include "app/tab_manager.h"
#include "diag/dialog_log.h"
#include "link/dialog_connect.h"
#include "protocol/dialog_configuration.h"

namespace velmora::e2e {

namespace {

// "[YYYY-MM-DD hh:mm:ss] " in front of every log line.
constexpr size_t kStampLength = 22;

std::string stripLine(const std::string& line) {
  std::string text = line.size() >= kStampLength ? line.substr(kStampLength) : line;
  if (text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0) text.resize(text.size() - 2);
  return text;
}

std::vector<std::string> splitLines(const std::string& text) {
  std::vector<std::string> out;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find("\r\n", start);
    if (end == std::string::npos) end = text.size();
    else end += 2;
    out.push_back(text.substr(start, end - start));
    start = end;
  }
  return out;
}

}  // namespace

// ---- LogJournal ----

void LogJournal::update(const std::string& text) {
  if (text == seen_) return;
  if (text.size() >= seen_.size() && text.compare(0, seen_.size(), seen_) == 0) {
    for (const std::string& line : splitLines(text.substr(seen_.size()))) lines_.push_back(stripLine(line));
  } else {
    // The page cut back its older lines while appending exactly one.
    const std::vector<std::string> all = splitLines(text);
    if (!all.empty()) lines_.push_back(stripLine(all.back()));
  }
  seen_ = text;
}

bool LogJournal::has(const std::string& line, size_t from) const { return indexOf(line, from) >= 0; }

bool LogJournal::hasPrefix(const std::string& prefix, size_t from) const {
  for (size_t i = from; i < lines_.size(); ++i)
    if (lines_[i].compare(0, prefix.size(), prefix) == 0) return true;
  return false;
}

int LogJournal::count(const std::string& line, size_t from) const {
  int n = 0;
  for (size_t i = from; i < lines_.size(); ++i) n += lines_[i] == line ? 1 : 0;
  return n;
}

int LogJournal::indexOf(const std::string& line, size_t from) const {
  for (size_t i = from; i < lines_.size(); ++i)
    if (lines_[i] == line) return static_cast<int>(i);
  return -1;
}

std::string LogJournal::tail(size_t count) const {
  std::string out;
  const size_t first = lines_.size() > count ? lines_.size() - count : 0;
  for (size_t i = first; i < lines_.size(); ++i) {
    // Received blocks can be long; their start is enough to recognise them.
    std::string line = lines_[i].size() > 160 ? lines_[i].substr(0, 160) + " ..." : lines_[i];
    out += "  " + line + "\n";
  }
  return out;
}

// ---- WindowDriver ----

WindowDriver::WindowDriver() {
  window_ = std::make_unique<MainDialog>();
  // Wide enough for all nine tabs side by side.
  window_->resize(1280, 860);
  window_->show();
  QApplication::processEvents();

  auto* logPage = dynamic_cast<DialogLog*>(window_->tabHost()->page(TabManager::kLogSlot));
  if (logPage == nullptr) fatalMissing(TabManager::kLogSlot);
  auto* edit = logPage->findChild<QPlainTextEdit*>(QString::number(DialogLog::kEditId));
  if (edit == nullptr) fatalMissing(DialogLog::kEditId);
  log_.update(logPage->text());
  QObject::connect(edit->document(), &QTextDocument::contentsChanged, edit,
                   [this, logPage] { log_.update(logPage->text()); });
}

WindowDriver::~WindowDriver() {
  window_.reset();
  QApplication::processEvents();
}

bool WindowDriver::waitFor(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() >= limit.count()) return done();
    QTest::qWait(5);
  }
  return true;
}

void WindowDriver::pump(std::chrono::milliseconds duration) { QTest::qWait(static_cast<int>(duration.count())); }

void WindowDriver::fatalMissing(int id) {
  std::fprintf(stderr, "control %d not found or of another kind\n", id);
  std::fflush(stderr);
  std::abort();
}

QWidget* WindowDriver::pageControl(int slot, int id) const {
  QWidget* page = window_->tabHost()->page(slot);
  if (page == nullptr) fatalMissing(slot);
  QWidget* control = page->findChild<QWidget*>(QString::number(id));
  if (control == nullptr) fatalMissing(id);
  return control;
}

QWidget* WindowDriver::panelControl(int id) const {
  QWidget* control = window_->transferPanel()->findChild<QWidget*>(QString::number(id));
  if (control == nullptr) fatalMissing(id);
  return control;
}

void WindowDriver::clickTab(int slot) {
  QTabBar* bar = window_->tabHost()->tabControl();
  const QRect rect = bar->tabRect(slot);
  if (bar->rect().contains(rect)) {
    QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, rect.center());
  } else {
    // Scrolled out of sight: the same change a click on the scroll arrows
    // followed by a click on the tab makes.
    bar->setCurrentIndex(slot);
  }
  QApplication::processEvents();
  EXPECT_EQ(window_->tabHost()->currentPage(), slot) << "tab " << slot << " did not come up";
}

void WindowDriver::click(QAbstractButton* button) {
  EXPECT_TRUE(button->isVisible()) << button->objectName().toStdString() << " is not on show";
  EXPECT_TRUE(button->isEnabled()) << button->objectName().toStdString() << " is disabled";
  // A check box or radio button reacts on its indicator and text only, and
  // a layout may make the widget much wider than those.
  QPoint at = button->rect().center();
  if (qobject_cast<QCheckBox*>(button) || qobject_cast<QRadioButton*>(button)) at.setX(std::min(8, at.x()));
  QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier, at);
  QApplication::processEvents();
}

void WindowDriver::typeInto(QLineEdit* edit, const QString& text) {
  EXPECT_TRUE(edit->isEnabled()) << edit->objectName().toStdString() << " is disabled";
  edit->setFocus();
  QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClick(edit, Qt::Key_Delete);
  QTest::keyClicks(edit, text);
  QApplication::processEvents();
}

void WindowDriver::clickRow(QTableWidget* list, int row) {
  QTableWidgetItem* item = list->item(row, 0);
  ASSERT_NE(item, nullptr) << "row " << row << " of " << list->objectName().toStdString();
  list->scrollToItem(item);
  const QPoint at = list->visualItemRect(item).center();
  QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, at);
  QApplication::processEvents();
}

DialogConnect* WindowDriver::connectPage() const {
  return dynamic_cast<DialogConnect*>(window_->tabHost()->page(TabManager::kConnectSlot));
}

QString WindowDriver::connectStatus() const { return pageControl<QLabel>(0, 1011)->text(); }
QString WindowDriver::connectCaption() const { return pageControl<QAbstractButton>(0, 2011)->text(); }

void WindowDriver::pressConnectButton() {
  if (window_->tabHost()->currentPage() != TabManager::kConnectSlot) clickTab(TabManager::kConnectSlot);
  click(pageControl<QAbstractButton>(0, 2011));
}

void WindowDriver::connectTcp(uint16_t port) {
  ASSERT_NE(port, 0) << "no port to connect to";
  clickTab(TabManager::kConnectSlot);
  click(pageControl<QAbstractButton>(0, 2001));
  auto* ip = pageControl<QLineEdit>(0, 2003);
  auto* portEdit = pageControl<QLineEdit>(0, 2004);
  typeInto(ip, QStringLiteral("127.0.0.1"));
  typeInto(portEdit, QString::number(port));
  // Only loopback, never the defaults the page starts with.
  ASSERT_EQ(ip->text(), QStringLiteral("127.0.0.1"));
  ASSERT_EQ(portEdit->text(), QString::number(port));
  click(pageControl<QAbstractButton>(0, 2011));
}

void WindowDriver::openSerial(const std::string& path) {
  clickTab(TabManager::kConnectSlot);
  click(pageControl<QAbstractButton>(0, 2002));
  auto* combo = pageControl<QComboBox>(0, 2005);
  ASSERT_NE(combo->lineEdit(), nullptr) << "the port box takes a typed path";
  typeInto(combo->lineEdit(), QString::fromStdString(path));
  ASSERT_EQ(combo->currentText(), QString::fromStdString(path));
  click(pageControl<QAbstractButton>(0, 2011));
}

QString WindowDriver::stateText() const { return panelControl<QLabel>(1014)->text(); }
QString WindowDriver::panelStatus() const { return panelControl<QLabel>(1011)->text(); }
int WindowDriver::progress() const { return panelControl<QProgressBar>(1015)->value(); }
bool WindowDriver::readEnabled() const { return panelControl(1012)->isEnabled(); }
bool WindowDriver::writeEnabled() const { return panelControl(1013)->isEnabled(); }
void WindowDriver::pressRead() { click(panelControl<QAbstractButton>(1012)); }
void WindowDriver::pressWrite() { click(panelControl<QAbstractButton>(1013)); }

bool WindowDriver::readConfiguration(std::chrono::milliseconds limit) {
  const size_t from = log_.mark();
  pressRead();
  // The log says how it ended: completed, or reset by the watchdog.
  const bool ended = waitFor(
      [&] { return log_.hasPrefix("读取配置完成", from) || log_.has("读取配置超时，复位", from); }, limit);
  return ended && stateText() == QStringLiteral("读取完成");
}

bool WindowDriver::writeConfiguration(std::chrono::milliseconds limit) {
  const size_t from = log_.mark();
  pressWrite();
  const bool ended =
      waitFor([&] { return log_.has("下发配置完成", from) || log_.has("下发配置超时，复位", from); }, limit);
  return ended && stateText() == QStringLiteral("下发完成");
}

QStringList WindowDriver::rows(QTableWidget* list) {
  QStringList out;
  for (int r = 0; r < list->rowCount(); ++r) {
    QStringList cells;
    for (int c = 0; c < list->columnCount(); ++c) {
      const QTableWidgetItem* item = list->item(r, c);
      cells << (item ? item->text() : QString());
    }
    out << cells.join(QLatin1Char('|'));
  }
  return out;
}

bool WindowDriver::responsive() {
  const int before = window_->tabHost()->currentPage();
  clickTab(TabManager::kLogSlot);
  const bool logShown = window_->tabHost()->page(TabManager::kLogSlot)->isVisible();
  clickTab(before < 0 ? 0 : before);
  panelControl(1014)->repaint();
  return logShown && window_->tabHost()->currentPage() == (before < 0 ? 0 : before);
}

}  // namespace velmora::e2e
