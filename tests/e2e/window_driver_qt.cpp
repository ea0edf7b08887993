#include "tests/e2e/window_driver_qt.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QTabBar>
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

int LogJournal::count(const std::string& prefix, size_t from) const {
  return static_cast<int>(std::count_if(lines_.begin() + static_cast<std::ptrdiff_t>(std::min(from, lines_.size())),
                                        lines_.end(), [&](const std::string& l) { return l.rfind(prefix, 0) == 0; }));
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

void WindowDriver::click(int slot, int id) {
  auto* button = control<QAbstractButton>(slot, id);
  EXPECT_TRUE(button->isVisible() && button->isEnabled()) << id << " is hidden or disabled";
  // A radio button reacts on its indicator and text only, and a layout may
  // make the widget much wider.
  QPoint at = button->rect().center();
  if (qobject_cast<QRadioButton*>(button)) at.setX(std::min(8, at.x()));
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

bool WindowDriver::transfer(bool read, std::chrono::milliseconds limit) {
  const size_t from = log_.mark();
  const std::string done = read ? "读取配置完成" : "下发配置完成", reset = read ? "读取配置超时，复位" : "下发配置超时，复位";
  press(read);
  const bool ended = waitFor([&] { return log_.has(done, from) || log_.has(reset, from); }, limit);
  return ended && stateText() == (read ? QStringLiteral("读取完成") : QStringLiteral("下发完成"));
}

// ---- DeviceTest ----

std::string DeviceTest::path(const std::string& name) const { return dir->filePath(QString::fromStdString(name)).toStdString(); }

void DeviceTest::SetUp() {
  testing::UiRecorder::reset();
  dir = std::make_unique<QTemporaryDir>();
  ASSERT_TRUE(dir->isValid());
  device = std::make_unique<testing::Devsim>(VELMORA_DEVSIM_PATH);
  testing::writeWholeFile(path("device.vmc"), sampleImage());
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
  std::vector<std::string> args{"--tcp", "127.0.0.1:0", "--pty", "--log", "--image", path("device.vmc"),
                                "--save", path("saved.vmc")};
  args.insert(args.end(), extra.begin(), extra.end());
  ASSERT_TRUE(device->start(args)) << device->errorOutput();
  ASSERT_NE(device->port("tcp"), 0);
  ASSERT_FALSE(device->endpoint("pty").empty());
}

void DeviceTest::connectOver(Transport t, const std::string& baud) {
  const std::string pty = device->endpoint("pty");
  ui->connect(t == Transport::Tcp ? device->port("tcp") : 0, t == Transport::Tcp ? std::string() : pty);
  const std::string expected = t == Transport::Tcp ? "TCP已连接：127.0.0.1:" + std::to_string(device->port("tcp"))
                                                   : "串口已打开：" + pty + " (" + baud + ",8,0,0)";
  ASSERT_EQ(ui->text(0, 1011).toStdString(), expected);
  ASSERT_EQ(ui->panelStatus().toStdString(), expected);
  ASSERT_TRUE(ui->readEnabled() && ui->writeEnabled());
}

}  // namespace velmora::e2e
