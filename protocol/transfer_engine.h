// The transfer panel's behaviour apart from its widgets: the receive assembly
// that turns single bytes into frames, the dispatch of every frame, and the
// paced read and write of the configuration envelope with their watchdogs.
//
// The engine owns no window, timer, clock or channel. It reaches the outside
// through non-owning pointers: time (TimeHost: clock, timers, pacing), a
// TransferView (the panel's own display), the connection page (DeviceLink:
// the single send path and the address box), the main window (ImageHost: the
// image) and a LogSink. How each transfer ended it reports through one
// callback, so the window and velmora-cli react to the same outcome; tests
// supply a virtual clock.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/log_sink.h"
#include "base/text.h"
#include "base/time_host.h"
#include "base/tr_text.h"
#include "config/image_host.h"
#include "protocol/frame_trace.h"
#include "protocol/frames.h"
#include "protocol/link_interfaces.h"

namespace velmora {

// Watchdog timer ids and their period.
inline constexpr int kReadTimerId = 2001;
inline constexpr int kWriteTimerId = 2002;
inline constexpr int kWatchdogMs = 2000;
// With asynchronous pacing: the timer that sends the frame waiting for its
// pause to end.
inline constexpr int kPaceTimerId = 2003;
// The device needs this pause before every frame of a transfer.
inline constexpr int kSendPacingMs = 50;
// A pause longer than this between two bytes ends an unfinished frame.
inline constexpr uint64_t kReceiveGapMs = 200;
// Bytes collected without a frame beyond this are thrown away.
inline constexpr size_t kReceiveOverflow = 1024;

// The state text of a read whose envelope failed its check: the image was
// still loaded, but the user must not take it for a clean read.
inline constexpr const char* kReadDoneHeaderError = VELMORA_TR_NOOP("TransferEngine", "读取完成（报文头错误）");

// operationState: what the panel is doing. The values are those the panel
// has always stored, so "> Reading" still means "writing".
enum class OperationState : int32_t { Idle = 0, Reading = 1, Writing = 2 };
inline constexpr OperationState kIdle = OperationState::Idle;
inline constexpr OperationState kReading = OperationState::Reading;
inline constexpr OperationState kWriting = OperationState::Writing;

enum class TransferKind { Read, Write };

// How a transfer ended.
enum class TransferResult {
  Done,
  DoneWithHeaderError,  // a read whose envelope failed its check; the image was loaded all the same
  TimedOut,             // the watchdog expired with no answer
  SendFailed,           // a frame did not go out; the watchdog stays armed for the panel's reset
  Refused,              // the command was refused before anything was sent (the message box text)
  LinkLost,             // the link went down while it ran
};

struct TransferOutcome {
  TransferKind kind = TransferKind::Read;
  TransferResult result = TransferResult::Done;
  // What the user was told: the refusal's message box text, or the log line
  // that says why it ended ("读取配置超时，复位", "下发完成", ...).
  std::string text;
};

// The panel's display. No widget notions: a command-line host shows nothing
// and takes refusals from the outcome instead.
class TransferView {
 public:
  virtual ~TransferView() = default;
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

// Time and display in one, for those that supply both (the window strip,
// the tests' fakes).
class TransferHost : public TimeHost, public TransferView {};

class TransferEngine final : public LinkReceiver {
 public:
  // The panel's fields; read by the host and by tests, written by the engine only.
  struct Fields {
    DeviceLink* connectionPage = nullptr;
    ImageHost* mainWindow = nullptr;
    bool connected = false;
    OperationState operationState = kIdle;
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
  TransferEngine(TimeHost& time, TransferView& view, LogSink* log = nullptr);
  explicit TransferEngine(TransferHost& host, LogSink* log = nullptr) : TransferEngine(host, host, log) {}
  TransferEngine(const TransferEngine&) = delete;
  TransferEngine& operator=(const TransferEngine&) = delete;

  void setConnectionPage(DeviceLink* page) { f.connectionPage = page; }
  void setMainWindow(ImageHost* window) { f.mainWindow = window; }
  const Fields& fields() const { return f; }
  // Hears every frame cut out of the received bytes and every run thrown
  // away (null: nobody listens, and nothing is decoded).
  void setFrameObserver(FrameObserver* observer) { observer_ = observer; }
  // Told once for every transfer that ended or was refused, after the panel
  // has shown it.
  void setTransferEnded(std::function<void(const TransferOutcome&)> callback) { ended_ = std::move(callback); }
  // Asked with the image a write would send, once the page is gathered and
  // the image is known to fit, before anything changes. False leaves all as
  // it was, a running write included: nothing is sent, no outcome follows,
  // and the approver tells the user why. None set: every write goes.
  using WriteApproval = std::function<bool(const std::vector<uint8_t>& image)>;
  void setWriteApproval(WriteApproval approve) { approveWrite_ = std::move(approve); }
  // Off (the window's way): the pause before a frame blocks the caller.
  // On: the frame waits in the engine and timer kPaceTimerId sends it when
  // its pause is over, so many engines can share one thread; a send that
  // fails then ends the transfer from that timer. Set before a transfer.
  void setAsyncPacing(bool on) { asyncPacing_ = on; }

  // Initial texts, buttons, progress and the start-up log line; called once
  // the pointers are linked so that the line reaches the log.
  void start();
  // Stops any running watchdog (the host is going away).
  void stopWatchdogs();

  // LinkReceiver. Going to not connected ends a running transfer at once.
  void receiveByte(uint8_t byte) override;
  void noteArrival(uint64_t tickUs) override { arrivalUs_ = tickUs; }
  void setLinkState(bool connected, const std::string& statusText) override;

  void dispatchFrame(const uint8_t* frame, int32_t length);
  void updateButtons();

  // The two buttons.
  void startRead() { startRead(nullptr); }
  // A read whose image goes to into instead of the main window (null: the
  // main window), for this transfer only; a restart by the button reads
  // into the main window again.
  void startRead(ImageHost* into);
  void startWrite();
  // A host timer fired.
  void onTimer(int id);

  void sendReadRequest(uint8_t address);
  void onReadResponse(const uint8_t* frame, int32_t length);
  void sendWritePacket(uint8_t address);
  void onWriteAck(const uint8_t* frame, int32_t length);
  // The watchdog of kind expired.
  void onTimeout(TransferKind kind);

 private:
  // How the panel looks when a transfer is over.
  enum class ProgressEnd { Keep, Full, Reset };
  // Back to idle: buttons, state text and progress, then the outcome.
  void endTransfer(TransferKind kind, TransferResult result, std::string text, const char* stateText,
                   ProgressEnd progress);
  void refuse(TransferKind kind, const char* text);
  // Lines are formatted only when there is a log to take them: the receive
  // path logs per frame and must stay cheap without one.
  bool logging() const { return log_ != nullptr; }
  void log(const std::string& text);
  void setProgressFromCount();
  void endTransferWithoutLink();
  // Empties receiveBuffer, telling the observer what was lost and why.
  void dropReceived(DropCause cause);
  void restartWatchdog(int id, int& handle);
  void stopWatchdog(int id, int& handle);
  // What a paced frame is, for what follows its send.
  enum class PacedFrame { Preamble, ReadRequest, WritePacket };
  // The 50 ms pause, then the bytes, then frameSent. With asynchronous
  // pacing a frame whose pause is not over (or that waits behind another)
  // is queued instead.
  void pacedSend(const uint8_t* data, int32_t length, PacedFrame what, int payloadLength = 0);
  // The log line of a frame that went out, or the end of the transfer when
  // it did not go (a preamble's result is not examined).
  void frameSent(PacedFrame what, bool sent, int payloadLength);
  // The bytes out now; the next pause counts from here.
  bool sendNow(const uint8_t* data, int32_t length);
  // Sends the queued frame whose pause is over (kPaceTimerId).
  void onPaceTimer();
  // Drops queued frames and their timer: their transfer is over.
  void dropQueuedFrames();
  struct QueuedFrame {
    std::vector<uint8_t> bytes;
    PacedFrame what = PacedFrame::Preamble;
    int payloadLength = 0;
  };
  bool asyncPacing_ = false;
  std::vector<QueuedFrame> queued_;  // at most a preamble and one request or packet
  // When the event that the next paced send answers happened (tick µs).
  uint64_t paceFrom_ = 0;
  // When the bytes being fed were read off the link (0: not known).
  uint64_t arrivalUs_ = 0;
  // Where the running read delivers its image; null: f.mainWindow.
  ImageHost* readInto_ = nullptr;

  TimeHost& time_;
  TransferView& view_;
  LogSink* log_ = nullptr;
  FrameObserver* observer_ = nullptr;
  std::function<void(const TransferOutcome&)> ended_;
  WriteApproval approveWrite_;
  Fields f;
};

}  // namespace velmora
