// The transfer strip of velmora.exe: the controls of its table over
// TransferEngine, the two watchdogs as window timers 2001 and 2002, and the
// pause between frames as a real block of the UI thread.
#pragma once

#include <functional>

#include "protocol/transfer_engine.h"
#include "ui/ui_kit_win.h"

namespace velmora {

class DialogConfigurationWin final : public winui::TablePage, public LinkReceiver, private SteadyTime<TransferHost> {
 public:
  DialogConfigurationWin(HWND parent, int windowId, HFONT font, LogSink* log);
  ~DialogConfigurationWin() override;

  void setMainWindow(ImageHost* window) { engine_.setMainWindow(window); }
  void setConnectionPage(DeviceLink* page) { engine_.setConnectionPage(page); }
  void start() { engine_.start(); }
  TransferEngine& engine() { return engine_; }
  // Runs at the start of every pause before a frame.
  void setPauseHook(std::function<void()> hook) { pauseHook_ = std::move(hook); }

  // LinkReceiver
  void receiveByte(uint8_t byte) override { engine_.receiveByte(byte); }
  void noteArrival(uint64_t tickUs) override { engine_.noteArrival(tickUs); }
  void setLinkState(bool connected, const std::string& statusText) override {
    engine_.setLinkState(connected, statusText);
  }

 private:
  void onCommand(int id, int code) override;
  bool onMessage(UINT message, WPARAM w, LPARAM l, LRESULT& result) override;

  // TransferHost
  void sleepUs(int64_t us) override;
  void startTimer(int id, int ms) override;
  void stopTimer(int id) override;
  void messageBox(const std::string& text) override;
  void setStateText(const std::string& text) override;
  void setLinkStatusText(const std::string& text) override;
  void setProgress(int percent) override;
  void resetProgress() override;
  void setButtonsEnabled(bool readEnabled, bool writeEnabled) override;

  TransferEngine engine_;
  std::function<void()> pauseHook_;
};

}  // namespace velmora
