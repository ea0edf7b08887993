#include "tests/e2e/window_driver_qt.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QTabBar>
#include <QTableWidget>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "app/main_dialog.h"
#include "app/tab_manager.h"
#include "diag/dialog_log.h"
#include "protocol/dialog_configuration.h"
#include "tests/support/ui_recorder.h"

namespace velmora::e2e {

Bytes sampleImage() {
  return {
      0x07, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x0A,  // a kind no page edits
      0x02, 0x00, 0x00, 0x03, 0x14, 0x18, 0x06, 0x11,  // serial number 20.24.6.17
      0x01, 0x01, 0x00, 0x00, 0x25, 0x80, 0x80, 0x0D,  // 数据口1 9600 8N1, 55 + download + temporary
      0x01, 0x02, 0x00, 0x01, 0xC2, 0x00, 0x89, 0x22,  // 数据口2 115200, 8 data, 2 stop, even; RTU + Modbus TCP
      0x01, 0x03, 0x00, 0x00, 0x4B, 0x00, 0x76, 0x11,  // 数据口3 19200, 7 data, 1.5 stop, odd; 55 + remote control
      0x02, 0x00, 0x00, 0x00, 0x0A, 0x01, 0x02, 0x03,  // IP 10.1.2.3
      0x02, 0x00, 0x00, 0x01, 0xFF, 0xFF, 0x00, 0x00,  // mask 255.255.0.0
      0x02, 0x00, 0x00, 0x02, 0x0A, 0x01, 0x00, 0x01,  // gateway 10.1.0.1
      0x03, 0x00, 0x17, 0x70, 0x00, 0x00, 0x00, 0x19,  // server port 6000: 55 + download + temporary
      0x03, 0x01, 0x01, 0xF6, 0x00, 0x00, 0x00, 0x04,  // server port 502: Modbus TCP
      0x04, 0x01, 0x01, 0x00, 0x00, 0x00, 0x10, 0x00,  // input: on, 0, 16, 1 bit
      0x04, 0x02, 0x01, 0x00, 0x64, 0x00, 0x10, 0x00,  // output: on, 100, 16, 1 bit
      0x04, 0x03, 0x01, 0x00, 0xC8, 0x00, 0x20, 0x01,  // global integer: on, 200, 32, full word
      0x04, 0x04, 0x00, 0x01, 0x90, 0x00, 0x40, 0x00,  // bit variable: off, 400, 64, 1 bit
      0x04, 0x05, 0x01, 0x00, 0x00, 0x00, 0x00, 0x01,  // all-enable: on
  };
}

// ---- LogJournal ----

namespace {

// Without the "[YYYY-MM-DD hh:mm:ss] " stamp and the "\r\n".
std::vector<std::string> splitLines(const std::string& text) {
  std::vector<std::string> out;
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find("\r\n", start);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(start, end - start);
    out.push_back(line.size() >= 22 ? line.substr(22) : line);
    start = end + 2;
  }
  return out;
}

}  // namespace

void LogJournal::update(const std::string& text) {
  if (text == seen_) return;
  if (text.compare(0, seen_.size(), seen_) == 0) {
    for (const std::string& line : splitLines(text.substr(seen_.size()))) lines_.push_back(line);
  } else if (const std::vector<std::string> all = splitLines(text); !all.empty()) {
    lines_.push_back(all.back());  // the page cut back older lines while appending one
  }
  seen_ = text;
}

int LogJournal::indexOf(const std::string& text, size_t from, bool prefix) const {
  for (size_t i = from; i < lines_.size(); ++i)
    if (prefix ? lines_[i].compare(0, text.size(), text) == 0 : lines_[i] == text) return static_cast<int>(i);
  return -1;
}

std::string LogJournal::tail(size_t count) const {
  std::string out;
  for (size_t i = lines_.size() > count ? lines_.size() - count : 0; i < lines_.size(); ++i)
    out += "  " + lines_[i].substr(0, 160) + "\n";  // a received block's start is enough
  return out;
}

// ---- WindowDriver ----

WindowDriver::WindowDriver() : window_(std::make_unique<MainDialog>()) {
  window_->resize(1280, 860);  // all nine tabs side by side
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

QWidget* WindowDriver::control(int slot, int id) const {
  QWidget* parent = slot < 0 ? window_->transferPanel() : window_->tabHost()->page(slot);
  if (parent == nullptr) fatalMissing(slot);
  QWidget* found = parent->findChild<QWidget*>(QString::number(id));
  if (found == nullptr) fatalMissing(id);
  return found;
}

QString WindowDriver::text(int slot, int id) const {
  QWidget* w = control(slot, id);
  if (auto* label = qobject_cast<QLabel*>(w)) return label->text();
  return control<QLineEdit>(slot, id)->text();
}

void WindowDriver::clickTab(int slot) {
  QTabBar* bar = window_->tabHost()->tabControl();
  const QRect rect = bar->tabRect(slot);
  if (bar->rect().contains(rect))
    QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, rect.center());
  else
    bar->setCurrentIndex(slot);  // scrolled out of sight: as the scroll arrows and a click do
  QApplication::processEvents();
  EXPECT_EQ(window_->tabHost()->currentPage(), slot) << "tab " << slot << " did not come up";
}

void WindowDriver::click(QAbstractButton* button) {
  EXPECT_TRUE(button->isVisible()) << button->objectName().toStdString() << " is not on show";
  EXPECT_TRUE(button->isEnabled()) << button->objectName().toStdString() << " is disabled";
  // A check box or radio button reacts on its indicator and text only, and
  // a layout may make the widget much wider.
  QPoint at = button->rect().center();
  if (qobject_cast<QCheckBox*>(button) || qobject_cast<QRadioButton*>(button)) at.setX(std::min(8, at.x()));
  QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier, at);
  QApplication::processEvents();
}

void WindowDriver::click(int slot, int id) { click(control<QAbstractButton>(slot, id)); }

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
  QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, list->visualItemRect(item).center());
  QApplication::processEvents();
}

QStringList WindowDriver::rows(QTableWidget* list) {
  QStringList out;
  for (int r = 0; r < list->rowCount(); ++r) {
    QStringList cells;
    for (int c = 0; c < list->columnCount(); ++c) cells << (list->item(r, c) ? list->item(r, c)->text() : QString());
    out << cells.join(QLatin1Char('|'));
  }
  return out;
}

void WindowDriver::connect(uint16_t port, const std::string& serialPath) {
  clickTab(TabManager::kConnectSlot);
  if (serialPath.empty()) {
    click(0, 2001);
    auto* ip = control<QLineEdit>(0, 2003);
    auto* portEdit = control<QLineEdit>(0, 2004);
    typeInto(ip, QStringLiteral("127.0.0.1"));
    typeInto(portEdit, QString::number(port));
    ASSERT_EQ(ip->text(), QStringLiteral("127.0.0.1"));
    ASSERT_EQ(portEdit->text(), QString::number(port));
  } else {
    click(0, 2002);
    auto* combo = control<QComboBox>(0, 2005);
    ASSERT_NE(combo->lineEdit(), nullptr) << "the port box takes a typed path";
    typeInto(combo->lineEdit(), QString::fromStdString(serialPath));
    ASSERT_EQ(combo->currentText(), QString::fromStdString(serialPath));
  }
  click(0, 2011);
}

int WindowDriver::progress() const { return control<QProgressBar>(-1, 1015)->value(); }

bool WindowDriver::readConfiguration(std::chrono::milliseconds limit) {
  const size_t from = log_.mark();
  pressRead();
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

bool WindowDriver::responsive() {
  const int before = std::max(0, window_->tabHost()->currentPage());
  clickTab(TabManager::kLogSlot);
  const bool logShown = window_->tabHost()->page(TabManager::kLogSlot)->isVisible();
  clickTab(before);
  control(-1, 1014)->repaint();
  return logShown && window_->tabHost()->currentPage() == before;
}

// ---- DeviceTest ----

std::string transportName(Transport t) { return t == Transport::Tcp ? "Tcp" : "Pty"; }

std::string DeviceTest::path(const std::string& name) const { return dir->filePath(QString::fromStdString(name)).toStdString(); }

void DeviceTest::SetUp() {
  testing::UiRecorder::reset();
  dir = std::make_unique<QTemporaryDir>();
  ASSERT_TRUE(dir->isValid());
  device = std::make_unique<testing::Devsim>(VELMORA_DEVSIM_PATH);
  imagePath = path("device.vmc");
  testing::writeWholeFile(imagePath, sampleImage());
  ui = std::make_unique<WindowDriver>();
}

void DeviceTest::TearDown() {
  const std::string logTail = ui ? ui->log().tail(40) : std::string();
  ui.reset();
  if (device && HasFailure())
    std::fprintf(stderr, "--- log page, last lines:\n%s--- simulator log:\n%s\n", logTail.c_str(),
                 device->errorOutput().c_str());
  device.reset();
  dir.reset();
}

void DeviceTest::startDevice(const std::vector<std::string>& extra) {
  std::vector<std::string> args{"--tcp", "127.0.0.1:0", "--pty", "--log", "--image", imagePath, "--save", path("saved.vmc")};
  args.insert(args.end(), extra.begin(), extra.end());
  ASSERT_TRUE(device->start(args)) << device->errorOutput();
  ASSERT_NE(device->port("tcp"), 0);
  ASSERT_FALSE(device->endpoint("pty").empty());
}

void DeviceTest::connectOver(Transport t, const std::string& baud, std::string ptyPath) {
  if (t == Transport::Tcp) {
    ui->connect(device->port("tcp"), {});
    ASSERT_EQ(ui->connectStatus().toStdString(), "TCP已连接：127.0.0.1:" + std::to_string(device->port("tcp")));
  } else {
    if (ptyPath.empty()) ptyPath = device->endpoint("pty");
    ui->connect(0, ptyPath);
    ASSERT_EQ(ui->connectStatus().toStdString(), "串口已打开：" + ptyPath + " (" + baud + ",8,0,0)");
  }
  ASSERT_EQ(ui->panelStatus(), ui->connectStatus());
  ASSERT_TRUE(ui->readEnabled());
  ASSERT_TRUE(ui->writeEnabled());
}

}  // namespace velmora::e2e
