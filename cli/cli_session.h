// One run of velmora-cli against a device, apart from any platform: the
// link controller opens the link the options name, the transfer panel's
// engine does the read or the write, and the session holds the bus address
// the engine talks to. The engine says how its transfer ended; the session
// turns that, a refused input, a lost link or an address report into the
// run's outcome.
//
// The platform supplies the channels (SerialLink, TcpLink), time and timers
// (CliPlatform) and hands every channel notification and timer expiry in.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "base/text.h"
#include "base/time_host.h"
#include "cli/cli_options.h"
#include "config/image_host.h"
#include "link/link_controller.h"
#include "protocol/link_interfaces.h"
#include "protocol/transfer_engine.h"

namespace velmora::cli {

// The wait for an address report after an address command: as long as the
// transfer watchdog gives a packet.
inline constexpr int kAddressWaitTimerId = 1;
inline constexpr int kAddressWaitMs = kWatchdogMs;

// What the program around the session supplies: real time (whose timers it
// hands back through CliSession::timerFired) and standard error.
class CliPlatform : public TimeHost {
 public:
  // One line for standard error, without its line end.
  virtual void errorLine(const std::string& line) = 0;
};

enum class RunState { Running, Succeeded, Failed };

struct Outcome {
  RunState state = RunState::Running;
  int exitCode = kExitOk;
  // One line: why the run failed, or a warning beside a success.
  std::string reason;
};

// The line settings the options name, as the serial channel takes them.
SerialSettings serialSettingsOf(const Options& options);

// The log page's line for text, stamped, without the "\r\n" a terminal does
// not want.
std::string terminalLogLine(const LocalTime& time, const std::string& text);

// The engine's log and progress on standard error, with --verbose only. The
// state texts stay unshown: the engine's log already says each step, and
// the session prints how the transfer ended.
class TerminalLog final : public LogSink, public TransferView {
 public:
  TerminalLog(CliPlatform& platform, bool verbose) : platform_(platform), verbose_(verbose) {}

  void logMessage(const std::string& text) override;
  void messageBox(const std::string&) override {}  // a refusal ends the run through its outcome
  void setStateText(const std::string&) override {}
  void setLinkStatusText(const std::string&) override {}
  void setProgress(int percent) override;
  void resetProgress() override { lastProgress_ = 0; }
  void setButtonsEnabled(bool, bool) override {}

 private:
  CliPlatform& platform_;
  bool verbose_ = false;
  int lastProgress_ = 0;
};

// The link and the engine of one device, driven by the options.
class CliSession final : public LinkEventSink, private DeviceLink {
 public:
  CliSession(const Options& options, CliPlatform& platform, SerialLink& serial, TcpLink& tcp);
  CliSession(const CliSession&) = delete;
  CliSession& operator=(const CliSession&) = delete;

  // Opens the link the options name. True when it is up. False when it did not come up
  // (outcome() says why) or, for a host name, while the name is still being
  // looked up (connecting()): the connect notification then decides.
  bool connect();
  // Hears every frame sent and received (null: none).
  void setFrameObserver(FrameObserver* observer) {
    engine_.setFrameObserver(observer);
    link_.setFrameObserver(observer);
  }
  bool connecting() const { return link_.connecting(); }
  bool linkUp() const { return link_.up(); }
  // The engine's pauses wait on timers instead of blocking (many sessions
  // on one thread); set before the first command.
  void setAsyncPacing(bool on) { engine_.setAsyncPacing(on); }
  // After a command that succeeded, the session takes the next on the same
  // link: the outcome is Running again. False (nothing changes) after a
  // failure or while a command runs.
  bool beginNext();

  // The commands; each needs the link up. The outcome is decided on the way
  // or by later notifications.
  void startRead();
  // With readBack, a write that ends well is followed by a read on the same
  // link; receivedImage() then holds what the device returned.
  void startWrite(std::vector<uint8_t> image, bool readBack = false);
  void startGetAddress();
  void startSetAddress(int address);

  // Channel notifications, in the order the channels posted them.
  void onTcpConnectEvent(int32_t failedFlag, int32_t errorCode) override;
  void onTcpReceive(const uint8_t* block, int32_t count) override;
  void onTcpClose(int32_t errorCode) override;
  void onSerialByte(uint8_t byte) override;
  void onArrival(uint64_t steadyUs) override { link_.onArrival(steadyUs); }
  void onSerialLost(std::error_code reason) override;
  // A timer started through CliPlatform expired.
  void timerFired(int id);

  // Stops the watchdogs and closes the link; the outcome stays.
  void finish();

  bool done() const { return outcome_.state != RunState::Running; }
  const Outcome& outcome() const { return outcome_; }
  // A completed read's configuration image (without the envelope header),
  // also the read behind a write with readBack.
  const std::vector<uint8_t>& receivedImage() const { return received_; }
  // The address the latest address report carried, -1 before one came.
  int reportedAddress() const { return reportedAddress_; }
  // A frame of a write went out on this session: the device may hold part
  // of it, whatever the outcome says.
  bool writeSent() const { return writeSent_; }
  const TransferEngine& engine() const { return engine_; }
  int32_t linkState() const { return link_.linkState(); }

 private:
  enum class Command { None, Read, Write, GetAddress, SetAddress };

  void succeed(std::string warning = {});
  void fail(int exitCode, std::string reason);
  // Decides the run after anything that may have moved it on.
  void evaluate();
  // A connect that did not come up becomes the run's failure.
  void settleConnect();
  void transferEnded(const TransferOutcome& outcome);
  // A send that failed because the serial device has gone: the loss is
  // taken now, as its notification would, so the run names it.
  void takeLossBehindFailedSend();
  void startAddressCommand(bool sent, const char* failureText);
  // False (and the run failed) when an address command finds no link.
  bool linkUpForCommand();
  // A refused command: a usage error while the link is up (the input was
  // wrong), a device failure when the link is what is missing.
  int refusalExitCode() const;

  // DeviceLink: the engine's way to the device and to the address box.
  bool sendBytes(const uint8_t* data, int32_t length) override {
    const bool sent = link_.send(data, length);
    if (sent && command_ == Command::Write) writeSent_ = true;
    return sent;
  }
  uint8_t addressBoxValue() const override { return static_cast<uint8_t>(address_ & 0xFF); }
  void showAddressReport(const std::string& addressText, const std::string& messageText) override;

  Options options_;
  CliPlatform& platform_;
  SerialLink& serial_;
  TerminalLog terminal_;
  ImageBuffer image_;
  TransferEngine engine_;
  LinkController link_;

  Command command_ = Command::None;
  Outcome outcome_;
  int address_ = 1;                   // the bus address the engine talks to
  int wantedAddress_ = -1;            // what set-address asked for
  std::optional<TransferOutcome> ended_;  // how the transfer ended, until evaluated
  std::vector<uint8_t> received_;     // what a read brought
  bool readBack_ = false;             // a read follows the write
  int reportedAddress_ = -1;
  bool writeSent_ = false;
};

}  // namespace velmora::cli
