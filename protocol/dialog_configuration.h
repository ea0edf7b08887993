// The transfer strip along the bottom of the main window: link status, the
// read and write buttons, the operation state and the progress bar. All of
// its behaviour lives in TransferEngine; this window only shows it, keeps
// its two watchdog timers and blocks for the pacing between frames.
#pragma once

#include <QTimer>
#include <QWidget>

#include <functional>

#include "protocol/transfer_engine.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace velmora {

class DialogConfiguration : public QWidget, public LinkReceiver, private SteadyTime<TransferHost> {
  Q_OBJECT

 public:
  static constexpr int kStatusTextId = 1011;
  static constexpr int kReadButtonId = 1012;
  static constexpr int kWriteButtonId = 1013;
  static constexpr int kStateTextId = 1014;
  static constexpr int kProgressId = 1015;

  // Log lines go to log (none when null).
  explicit DialogConfiguration(QWidget* parent = nullptr, LogSink* log = nullptr);
  ~DialogConfiguration() override;

  // Non-owning links, set by the main window before start().
  void setMainWindow(ImageHost* window);
  void setConnectionPage(DeviceLink* page);
  // Initial texts and buttons, the start-up log line, progress 0.
  void start();

  // LinkReceiver: the connection page hands over every byte and link change.
  void receiveByte(uint8_t byte) override;
  void noteArrival(uint64_t tickUs) override;
  void setLinkState(bool connected, const std::string& statusText) override;

  TransferEngine& engine() { return engine_; }
  // Runs at the start of every pause before a frame: time the device must
  // be left alone anyway, so deferred work of the window costs nothing there.
  void setPauseHook(std::function<void()> hook) { pauseHook_ = std::move(hook); }

 private:
  // TransferHost; the clock is the real one, the pause runs the hook first.
  void sleepUs(int64_t us) override;
  void startTimer(int id, int ms) override;
  void stopTimer(int id) override;
  void messageBox(const std::string& text) override;
  void setStateText(const std::string& text) override;
  void setLinkStatusText(const std::string& text) override;
  void setProgress(int percent) override;
  void resetProgress() override;
  void setButtonsEnabled(bool readEnabled, bool writeEnabled) override;

  QTimer* timerFor(int id);

  QLabel* statusText_ = nullptr;
  QLabel* stateText_ = nullptr;
  QPushButton* readButton_ = nullptr;
  QPushButton* writeButton_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QTimer readWatchdog_;
  QTimer writeWatchdog_;
  TransferEngine engine_;
  std::function<void()> pauseHook_;
};

}  // namespace velmora
