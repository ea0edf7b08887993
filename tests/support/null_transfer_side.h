// A host, connection page and main window for TransferEngine that cost next
// to nothing: a virtual clock, the two watchdogs fired by advance(), sends
// that always succeed, and a count of the invalid-frame log lines. For
// measuring and fuzzing the engine, where the recording fakes would dominate.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "protocol/transfer_engine.h"

namespace velmora::testing {

class NullTransferSide : public TransferHost, public DeviceLink, public ImageHost, public LogSink {
 public:
  uint64_t now = 5'000'000;
  std::vector<uint8_t> image;
  size_t invalidFrames = 0;
  TransferEngine* engine = nullptr;
  uint64_t timers[3] = {0, 0, 0};  // expiry of 2001 and 2002, 0 when stopped

  // Moves the clock, firing each watchdog that falls due (periodic until stopped).
  void advance(uint64_t ms) {
    const uint64_t target = now + ms;
    for (;;) {
      int due = -1;
      for (int i = 1; i <= 2; ++i)
        if (timers[i] != 0 && timers[i] <= target && (due < 0 || timers[i] < timers[due])) due = i;
      if (due < 0) break;
      now = timers[due];
      timers[due] = now + kWatchdogMs;
      if (engine != nullptr) engine->onTimer(2000 + due);
    }
    now = target;
  }

  uint64_t tickMs() override { return now; }
  LocalTime localTime() override { return {}; }
  void sleepMs(int ms) override { now += static_cast<uint64_t>(ms); }
  void startTimer(int id, int ms) override { timers[id - 2000] = now + static_cast<uint64_t>(ms); }
  void stopTimer(int id) override { timers[id - 2000] = 0; }
  void messageBox(const std::string&) override {}
  void setStateText(const std::string&) override {}
  void setLinkStatusText(const std::string&) override {}
  void setProgress(int) override {}
  void resetProgress() override {}
  void setButtonsEnabled(bool, bool) override {}
  bool sendBytes(const uint8_t*, int32_t) override { return true; }
  uint8_t addressBoxValue() const override { return 1; }
  void showAddressReport(const std::string&, const std::string&) override {}
  void loadImage(const uint8_t* data, int32_t length) override {
    if (data != nullptr && length > 0) image.assign(data, data + length);
    else image.clear();
  }
  bool gatherCurrentPage() override { return true; }
  const std::vector<uint8_t>& configImage() const override { return image; }
  void logMessage(const std::string& text) override { invalidFrames += text == "接收到无效帧"; }
};

}  // namespace velmora::testing
