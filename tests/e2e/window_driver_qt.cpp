#include "tests/e2e/window_driver_qt.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QTabBar>
#include <QTest>

#include <algorithm>
#include <cstdio>

#include "app/tab_manager.h"
#include "base/text.h"
#include "base/tr_text.h"
#include "diag/dialog_log.h"
#include "protocol/dialog_configuration.h"
#include "tests/support/ui_recorder.h"
#include "ui/language_qt.h"

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

void LogJournal::update(const std::string& text) {
  // Appended lines, or the page cut back older lines while appending one.
  const bool appended = text.compare(0, seen_.size(), seen_) == 0;
  std::vector<std::string> lines;
  for (size_t start = appended ? seen_.size() : 0, end; start < text.size(); start = end + 2) {
    end = std::min(text.find("\r\n", start), text.size());
    const size_t stamp = end - start >= 22 ? 22 : 0;  // "[YYYY-MM-DD hh:mm:ss] "
    lines.push_back(text.substr(start + stamp, end - start - stamp));
  }
  if (appended) lines_.insert(lines_.end(), lines.begin(), lines.end());
  else if (!lines.empty()) lines_.push_back(lines.back());
  seen_ = text;
}

int LogJournal::count(const std::string& prefix, size_t from) const {
  return static_cast<int>(std::count_if(lines_.begin() + static_cast<std::ptrdiff_t>(std::min(from, lines_.size())),
                                        lines_.end(), [&](const std::string& l) { return l.rfind(prefix, 0) == 0; }));
}

std::string LogJournal::tail() const {
  std::string out;
  for (size_t i = lines_.size() > 40 ? lines_.size() - 40 : 0; i < lines_.size(); ++i)
    out += "  " + lines_[i].substr(0, 160) + "\n";  // a received block's start is enough
  return out;
}

WindowDriver::WindowDriver() : window_(std::make_unique<MainDialog>()) {
  window_->resize(1280, 860);  // all nine tabs side by side
  window_->show();
  QApplication::processEvents();
  auto* logPage = dynamic_cast<DialogLog*>(window_->tabHost()->page(TabManager::kLogSlot));
  auto* edit = logPage ? logPage->findChild<QPlainTextEdit*>(QString::number(DialogLog::kEditId)) : nullptr;
  if (edit == nullptr) qFatal("no log page");
  log_.update(logPage->text());
  QObject::connect(edit->document(), &QTextDocument::contentsChanged, edit,
                   [this, logPage] { log_.update(logPage->text()); });
}

WindowDriver::~WindowDriver() {
  window_.reset();
  QApplication::processEvents();
}

QWidget* WindowDriver::control(int slot, int id) const {
  QWidget* parent = slot < 0 ? window_->transferPanel() : window_->tabHost()->page(slot);
  QWidget* found = parent ? parent->findChild<QWidget*>(QString::number(id)) : nullptr;
  if (found == nullptr) qFatal("control %d not found in slot %d", id, slot);
  return found;
}

QString WindowDriver::text(int slot, int id) const {
  auto* label = qobject_cast<QLabel*>(control(slot, id));
  return label ? label->text() : control<QLineEdit>(slot, id)->text();
}

void WindowDriver::clickTab(int slot) {
  QTabBar* bar = window_->tabHost()->tabControl();
  QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, bar->tabRect(slot).center());
  QApplication::processEvents();
  EXPECT_EQ(window_->tabHost()->currentPage(), slot) << "tab " << slot << " did not come up";
}

void WindowDriver::click(int slot, int id) {
  auto* button = control<QAbstractButton>(slot, id);
  EXPECT_TRUE(button->isVisible() && button->isEnabled()) << id << " is hidden or disabled";
  // A radio button reacts on its indicator and text only, and may be laid out much wider.
  QPoint at = button->rect().center();
  if (qobject_cast<QRadioButton*>(button)) at.setX(std::min(8, at.x()));
  QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier, at);
  QApplication::processEvents();
}

void WindowDriver::typeInto(QLineEdit* edit, const QString& text) {
  EXPECT_TRUE(edit->isEnabled()) << edit->objectName().toStdString() << " is disabled";
  edit->setFocus();
  QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);  // typed over the selection
  QTest::keyClicks(edit, text);
  QApplication::processEvents();
}

int WindowDriver::progress() const { return control<QProgressBar>(-1, 1015)->value(); }

bool WindowDriver::transfer(bool read, std::chrono::milliseconds limit) {
  press(read);
  const QString done = ui::trQ("TransferEngine", read ? "读取完成" : "下发完成");
  return QTest::qWaitFor([&] { return stateText() == done; }, int(limit.count()));
}

std::string DeviceTest::path(const std::string& name) const { return dir->filePath(QString::fromStdString(name)).toStdString(); }

void DeviceTest::SetUp() {
  testing::UiRecorder::reset();
  dir = std::make_unique<QTemporaryDir>();
  device = std::make_unique<testing::Devsim>(VELMORA_DEVSIM_PATH);
  testing::writeWholeFile(path("device.vmc"), sampleImage());
  ui = std::make_unique<WindowDriver>();
}

// The members then go in reverse order: the window (it disconnects), the simulator, the directory.
void DeviceTest::TearDown() {
  if (HasFailure())
    std::fprintf(stderr, "--- log page, last lines:\n%s--- simulator log:\n%s\n", ui ? ui->log().tail().c_str() : "",
                 device->errorOutput().c_str());
}

void DeviceTest::startDevice(const std::vector<std::string>& extra) {
  std::vector<std::string> args{"--tcp", "127.0.0.1:0", "--pty", "--log", "--image", path("device.vmc"),
                                "--save", path("saved.vmc")};
  args.insert(args.end(), extra.begin(), extra.end());
  ASSERT_TRUE(device->start(args)) << device->errorOutput();
}

void DeviceTest::connectOver(Transport t, const std::string& baud) {
  const std::string pty = device->endpoint("pty"), port = std::to_string(device->port("tcp"));
  ui->clickTab(TabManager::kConnectSlot);
  if (t == Transport::Tcp) {
    ui->click(0, 2001);
    ui->typeInto(ui->control<QLineEdit>(0, 2003), QStringLiteral("127.0.0.1"));
    ui->typeInto(ui->control<QLineEdit>(0, 2004), QString::fromStdString(port));
    ASSERT_EQ(ui->text(0, 2003) + ":" + ui->text(0, 2004), QString::fromStdString("127.0.0.1:" + port));
  } else {
    ui->click(0, 2002);
    auto* combo = ui->control<QComboBox>(0, 2005);
    ASSERT_NE(combo->lineEdit(), nullptr) << "the port box takes a typed path";
    ui->typeInto(combo->lineEdit(), QString::fromStdString(pty));
    ASSERT_EQ(combo->currentText().toStdString(), pty);
  }
  ui->click(0, 2011);
  // In the language the test runs in (Chinese unless it chose English).
  const std::string expected =
      t == Transport::Tcp
          ? strprintf(trText("ConnectLogic", "TCP已连接：%s:%d"), "127.0.0.1", device->port("tcp"))
          : strprintf(trText("ConnectLogic", "串口已打开：%s (%d,%d,%d,%d)"), pty.c_str(), std::stoi(baud), 8, 0, 0);
  ASSERT_EQ(ui->text(0, 1011).toStdString(), expected);
  ASSERT_EQ(ui->panelStatus().toStdString(), expected);
  ASSERT_TRUE(ui->readEnabled() && ui->writeEnabled());
}

}  // namespace velmora::e2e
