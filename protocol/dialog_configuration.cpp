#include "protocol/dialog_configuration.h"

#include <QCoreApplication>
#include <QGridLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>


#include "base/clock.h"
#include "ui/ui_kit_qt.h"

namespace velmora {

DialogConfiguration::DialogConfiguration(QWidget* parent, LogSink* log) : QWidget(parent), engine_(*this, log) {
  setFont(ui::pageFont());

  statusText_ = new QLabel(QCoreApplication::translate("DialogConfiguration", "状态：未连接"), this);
  stateText_ = new QLabel(QCoreApplication::translate("DialogConfiguration", "空闲"), this);
  readButton_ = new QPushButton(QCoreApplication::translate("DialogConfiguration", "读取配置"), this);
  writeButton_ = new QPushButton(QCoreApplication::translate("DialogConfiguration", "下发配置"), this);
  progress_ = new QProgressBar(this);
  ui::setControlId(statusText_, kStatusTextId);
  ui::setControlId(readButton_, kReadButtonId);
  ui::setControlId(writeButton_, kWriteButtonId);
  ui::setControlId(stateText_, kStateTextId);
  ui::setControlId(progress_, kProgressId);

  // The main window is a dialog: Enter must not press a transfer button.
  for (QPushButton* button : {readButton_, writeButton_}) {
    button->setAutoDefault(false);
    button->setDefault(false);
    button->setMinimumWidth(120);
  }
  statusText_->setTextFormat(Qt::PlainText);
  stateText_->setTextFormat(Qt::PlainText);
  // Status texts of the connection page can be long (port and line settings).
  statusText_->setMinimumWidth(0);
  statusText_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  stateText_->setMinimumWidth(160);
  progress_->setRange(0, 100);
  progress_->setValue(0);
  progress_->setTextVisible(true);

  // Two rows in the 110-pixel strip: the link and the buttons above, what
  // the transfer is doing and how far it has come below.
  auto* grid = new QGridLayout(this);
  grid->setContentsMargins(8, 8, 8, 8);
  grid->setHorizontalSpacing(10);
  grid->setVerticalSpacing(10);
  grid->addWidget(statusText_, 0, 0, 1, 2);
  grid->addWidget(readButton_, 0, 2);
  grid->addWidget(writeButton_, 0, 3);
  grid->addWidget(stateText_, 1, 0);
  grid->addWidget(progress_, 1, 1, 1, 3);
  grid->setColumnStretch(1, 1);

  connect(readButton_, &QPushButton::clicked, this, [this] { engine_.startRead(); });
  connect(writeButton_, &QPushButton::clicked, this, [this] { engine_.startWrite(); });
  connect(&readWatchdog_, &QTimer::timeout, this, [this] { engine_.onTimer(kReadTimerId); });
  connect(&writeWatchdog_, &QTimer::timeout, this, [this] { engine_.onTimer(kWriteTimerId); });

  // Until start() runs the buttons follow the (disconnected) link.
  readButton_->setEnabled(false);
  writeButton_->setEnabled(false);
}

DialogConfiguration::~DialogConfiguration() { engine_.stopWatchdogs(); }

void DialogConfiguration::setMainWindow(ImageHost* window) { engine_.setMainWindow(window); }
void DialogConfiguration::setConnectionPage(DeviceLink* page) { engine_.setConnectionPage(page); }
void DialogConfiguration::start() { engine_.start(); }

void DialogConfiguration::receiveByte(uint8_t byte) { engine_.receiveByte(byte); }
void DialogConfiguration::noteArrival(uint64_t tickUs) { engine_.noteArrival(tickUs); }
void DialogConfiguration::setLinkState(bool connected, const std::string& statusText) {
  engine_.setLinkState(connected, statusText);
}

// A real block of the UI thread: the device expects the pause between frames,
// and nothing else may run in between (but the hook's own deferred work).
void DialogConfiguration::sleepUs(int64_t us) {
  const uint64_t until = steadyUs() + static_cast<uint64_t>(us > 0 ? us : 0);
  if (pauseHook_) pauseHook_();
  const uint64_t now = steadyUs();
  if (now < until) pauseUs(static_cast<int64_t>(until - now));
}

QTimer* DialogConfiguration::timerFor(int id) {
  if (id == kReadTimerId) return &readWatchdog_;
  if (id == kWriteTimerId) return &writeWatchdog_;
  return nullptr;
}

void DialogConfiguration::startTimer(int id, int ms) {
  if (QTimer* timer = timerFor(id)) timer->start(ms);
}

void DialogConfiguration::stopTimer(int id) {
  if (QTimer* timer = timerFor(id)) timer->stop();
}

void DialogConfiguration::messageBox(const std::string& text) { ui::messageBox(this, QString::fromStdString(text)); }

void DialogConfiguration::setStateText(const std::string& text) { stateText_->setText(QString::fromStdString(text)); }

void DialogConfiguration::setLinkStatusText(const std::string& text) {
  statusText_->setText(QString::fromStdString(text));
}

// Painted at once, since a transfer blocks the UI thread between frames:
// QProgressBar::setValue repaints a change that shows (a new percentage
// always does). A second repaint here would cost a round trip to the
// display server per frame, and two at the end of a transfer.
void DialogConfiguration::setProgress(int percent) {
  if (percent < progress_->maximum()) {
    progress_->setValue(percent);
    return;
  }
  // The full bar comes with the transfer's end, whose changes are painted
  // together once it is over: no round trip of its own to the display.
  progress_->setUpdatesEnabled(false);
  progress_->setValue(percent);
  progress_->setUpdatesEnabled(true);
}

void DialogConfiguration::resetProgress() {
  progress_->setRange(0, 100);
  progress_->setValue(0);
  progress_->repaint();
}

void DialogConfiguration::setButtonsEnabled(bool readEnabled, bool writeEnabled) {
  readButton_->setEnabled(readEnabled);
  writeButton_->setEnabled(writeEnabled);
}

}  // namespace velmora
