// The transfer panel's behaviour apart from its widgets: the receive assembly
// that turns single bytes into frames, the dispatch of every frame, and the
// paced read and write of the configuration envelope with their watchdogs.
//
// The engine owns no window, timer, clock or channel. It reaches the outside
// through non-owning pointers: a TransferHost (clock, timers, pacing and the
// panel's own display), the connection page (DeviceLink: the single send
// path and the address box), the main window (ImageHost: the image) and a
// LogSink. The window strip and the command-line client each supply their
// own host; tests supply one with a virtual clock.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "base/log_sink.h"
#include "base/text.h"
#include "config/image_host.h"
#include "protocol/frames.h"
#include "protocol/link_interfaces.h"

namespace velmora {

// Watchdog timer ids and their period.
inline constexpr int kReadTimerId = 2001;
inline constexpr int kWriteTimerId = 2002;
inline constexpr int kWatchdogMs = 2000;
// The device needs this pause before every frame of a transfer.
inline constexpr int kSendPacingMs = 50;
// A pause longer than this between two bytes ends an unfinished frame.
inline constexpr uint64_t kReceiveGapMs = 200;
// Bytes collected without a frame beyond this are thrown away.
inline constexpr size_t kReceiveOverflow = 1024;

// The state text of a read whose envelope failed its check: the image was
// still loaded, but the user must not take it for a clean read.
inline constexpr const char* kReadDoneHeaderError = "读取完成（报文头错误）";

// operationState values.
inline constexpr int32_t kIdle = 0;
inline constexpr int32_t kReading = 1;
inline constexpr int32_t kWriting = 2;

// What the engine needs from whoever shows it and keeps time for it.
// No widget notions: a command-line host shows message boxes as error lines.
class TransferHost {
 public:
  virtual ~TransferHost() = default;

  // Monotonic milliseconds; only differences matter, but never 0 in practice.
  virtual uint64_t tickMs() = 0;
  virtual LocalTime localTime() = 0;
  // Blocks the caller for ms milliseconds (the pacing before every send).
  virtual void sleepMs(int ms) = 0;
  // (Re)starts the periodic timer id; when it fires the host calls
  // TransferEngine::onTimer(id) until stopTimer(id).
  virtual void startTimer(int id, int ms) = 0;
  virtual void stopTimer(int id) = 0;

  // A refused user command, shown modally with an OK button.
  virtual void messageBox(const std::string& text) = 0;
  virtual void setStateText(const std::string& text) = 0;
  virtual void setLinkStatusText(const std::string& text) = 0;
  // Progress 0..100, shown at once (the UI thread may block right after).
  virtual void setProgress(int percent) = 0;
  // Range 0..100, position 0.
  virtual void resetProgress() = 0;
  virtual void setButtonsEnabled(bool readEnabled, bool writeEnabled) = 0;
};

class TransferEngine final : public LinkReceiver {
 public:
  // The panel's fields; read by the host and by tests, written by the engine only.
  struct Fields {
    DeviceLink* connectionPage = nullptr;
    ImageHost* mainWindow = nullptr;
    bool connected = false;
    int32_t operationState = kIdle;
    uint8_t deviceAddress = 1;
    int32_t totalPackets = 0;
    int32_t currentPacket = 0;
    std::array<uint8_t, kMaxEnvelopeBytes> transferBuffer{};
    int32_t transferLength = 0;
    std::vector<uint8_t> receiveBuffer;
    uint64_t lastByteTime = 0;
    // Id of the running watchdog, 0 when it is not running.
    int readTimer = 0;
    int writeTimer = 0;
  };

  // log may be null: the lines are then neither formatted nor kept.
  explicit TransferEngine(TransferHost& host, LogSink* log = nullptr);
  TransferEngine(const TransferEngine&) = delete;
  TransferEngine& operator=(const TransferEngine&) = delete;

  void setConnectionPage(DeviceLink* page) { f.connectionPage = page; }
  void setMainWindow(ImageHost* window) { f.mainWindow = window; }
  const Fields& fields() const { return f; }

  // Initial texts, buttons, progress and the start-up log line; called once
  // the pointers are linked so that the line reaches the log.
  void start();
  // Stops any running watchdog (the host is going away).
  void stopWatchdogs();

  // LinkReceiver. Going to not connected ends a running transfer at once.
  void receiveByte(uint8_t byte) override;
  void setLinkState(bool connected, const std::string& statusText) override;

  void dispatchFrame(const uint8_t* frame, int32_t length);
  void updateButtons();

  // The two buttons.
  void startRead();
  void startWrite();
  // A host timer fired.
  void onTimer(int id);

  void sendReadRequest(uint8_t address);
  void onReadResponse(const uint8_t* frame, int32_t length);
  void onReadTimeout();
  void sendWritePacket(uint8_t address);
  void onWriteAck(const uint8_t* frame, int32_t length);
  void onWriteTimeout();

 private:
  // Lines are formatted only when there is a log to take them: the receive
  // path logs per frame and must stay cheap without one.
  bool logging() const { return log_ != nullptr; }
  void log(const std::string& text);
  void setProgressFromCount();
  void endTransferWithoutLink();
  void restartWatchdog(int id, int& handle);
  void stopWatchdog(int id, int& handle);
  // The 50 ms pause, then the bytes; false when they did not all go out.
  bool pacedSend(const uint8_t* data, int32_t length);
  // When the event that the next paced send answers happened (tick ms).
  uint64_t paceFrom_ = 0;

  TransferHost& host;
  LogSink* log_ = nullptr;
  Fields f;
};

}  // namespace velmora
