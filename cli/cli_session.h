// One run of velmora-cli against a device, apart from Qt: the connection
// page's logic opens the link, the transfer panel's engine does the read or
// the write, and this class stands in for the windows around them. It
// watches the engine's state and callbacks and decides the run's outcome:
// success, a refused command, a time-out, a failed send or a bad header.
//
// The Qt side supplies the channels (SerialLink, TcpLink), time and timers
// (CliPlatform) and hands every channel notification and timer expiry in.
#pragma once

#include <cstdint>
#include <string>
#include <system_error>
#include <vector>

#include "base/text.h"
#include "cli/cli_options.h"
#include "config/image_host.h"
#include "link/connect_logic.h"
#include "protocol/link_interfaces.h"
#include "protocol/transfer_engine.h"

namespace velmora::cli {

// The wait for an address report after an address command: as long as the
// transfer watchdog gives a packet.
inline constexpr int kAddressWaitTimerId = 1;
inline constexpr int kAddressWaitMs = kWatchdogMs;

// What the program around the session supplies.
class CliPlatform {
 public:
  virtual ~CliPlatform() = default;
  // Monotonic milliseconds.
  virtual uint64_t tickMs() = 0;
  virtual LocalTime localTime() = 0;
  // Blocks for ms milliseconds (the pacing before every transfer frame).
  virtual void sleepMs(int ms) = 0;
  // (Re)starts the periodic timer id; on expiry the platform calls
  // CliSession::timerFired(id) until stopTimer(id).
  virtual void startTimer(int id, int ms) = 0;
  virtual void stopTimer(int id) = 0;
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

// The log page's line for text, stamped, without the "\r\n" a terminal does
// not want.
std::string terminalLogLine(const LocalTime& time, const std::string& text);

class CliSession final : public LinkEventSink,
                         private TransferHost,
                         private DeviceLink,
                         private ImageHost,
                         private LogSink,
                         private ConnectView {
 public:
  CliSession(const Options& options, CliPlatform& platform, SerialLink& serial, TcpLink& tcp);
  CliSession(const CliSession&) = delete;
  CliSession& operator=(const CliSession&) = delete;

  // Opens the link the options name, as the connection page's connect
  // button does. True when it is up. False when it did not come up
  // (outcome() says why) or, for a host name, while the name is still being
  // looked up (connecting()): the connect notification then decides.
  bool connect();
  bool connecting() const { return connect_.connecting(); }
  bool linkUp() const;

  // The commands; each needs the link up. The outcome is decided on the way
  // or by later notifications.
  void startRead();
  void startWrite(std::vector<uint8_t> image);
  void startGetAddress();
  void startSetAddress(int address);

  // Channel notifications, in the order the channels posted them.
  void onTcpConnectEvent(int32_t failedFlag, int32_t errorCode) override;
  void onTcpReceive(const uint8_t* block, int32_t count) override;
  void onTcpClose(int32_t errorCode) override;
  void onSerialByte(uint8_t byte) override;
  void onSerialLost(std::error_code reason) override;
  // A timer started through CliPlatform expired.
  void timerFired(int id);

  // Stops the watchdogs and closes the link; the outcome stays.
  void finish();

  bool done() const { return outcome_.state != RunState::Running; }
  const Outcome& outcome() const { return outcome_; }
  // A completed read's configuration image (without the envelope header).
  const std::vector<uint8_t>& receivedImage() const { return received_; }
  // The address the latest address report carried, -1 before one came.
  int reportedAddress() const { return reportedAddress_; }
  const TransferEngine& engine() const { return engine_; }
  int32_t linkState() const { return connect_.linkState(); }

 private:
  enum class Command { None, Read, Write, GetAddress, SetAddress };

  void succeed(std::string warning = {});
  void fail(int exitCode, std::string reason);
  // Looks at the engine and the link after anything that may have moved
  // them on.
  void evaluate();
  // A connect that did not come up becomes the run's failure.
  void settleConnect();
  void evaluateTransfer();
  // A refused command: a usage error while the link is up (the input was
  // wrong), a device failure when the link is what is missing.
  int refusalExitCode() const;

  // TransferHost
  uint64_t tickMs() override { return platform_.tickMs(); }
  LocalTime localTime() override { return platform_.localTime(); }
  void sleepMs(int ms) override { platform_.sleepMs(ms); }
  void startTimer(int id, int ms) override { platform_.startTimer(id, ms); }
  void stopTimer(int id) override { platform_.stopTimer(id); }
  void messageBox(const std::string& text) override;
  void setStateText(const std::string& text) override;
  void setLinkStatusText(const std::string&) override {}
  void setProgress(int percent) override;
  void resetProgress() override { lastProgress_ = 0; }
  void setButtonsEnabled(bool, bool) override {}

  // DeviceLink
  bool sendBytes(const uint8_t* data, int32_t length) override;
  uint8_t addressBoxValue() const override { return connect_.addressBoxValue(); }
  void showAddressReport(const std::string& addressText, const std::string& messageText) override;

  // ImageHost
  void loadImage(const uint8_t* data, int32_t length) override;
  bool gatherCurrentPage() override { return true; }
  const std::vector<uint8_t>& configImage() const override { return image_; }

  // LogSink
  void logMessage(const std::string& text) override;

  // ConnectView: the command line stands in for the page's controls.
  std::string ipText() const override { return options_.tcpHost; }
  std::string tcpPortText() const override { return std::to_string(options_.tcpPort); }
  std::string serialPortText() const override { return options_.serialDevice; }
  std::optional<std::string> baudEntry() const override { return std::to_string(options_.baud); }
  std::optional<std::string> dataBitsEntry() const override { return std::to_string(options_.dataBits); }
  int stopBitsIndex() const override { return options_.stopBitsCode; }
  int parityIndex() const override { return options_.parityCode; }
  std::string addressText() const override { return addressText_; }
  void setStatusText(const std::string&) override {}
  void setAddressText(const std::string&) override {}
  void setAddressMessage(const std::string&) override {}
  void setPortList(const std::vector<std::string>&) override {}
  void setIpText(const std::string&) override {}
  void showTransport(int32_t) override {}
  void applyControlStates(const ControlStates&) override {}
  void showMessage(const std::string& text) override { messageBox(text); }

  Options options_;
  CliPlatform& platform_;
  SerialLink& serial_;
  TransferEngine engine_;
  ConnectLogic connect_;

  Command command_ = Command::None;
  Outcome outcome_;
  std::string addressText_;
  std::vector<uint8_t> image_;      // what a write sends
  std::vector<uint8_t> received_;   // what a read brought
  bool imageLoaded_ = false;
  bool headerOk_ = false;
  bool timedOut_ = false;
  bool lastSendOk_ = false;  // the latest block went out whole on a channel
  int reportedAddress_ = -1;
  int lastProgress_ = 0;
};

}  // namespace velmora::cli
