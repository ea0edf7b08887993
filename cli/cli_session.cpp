#include "cli/cli_session.h"

#include <utility>

#include "base/tr_text.h"
#include "diag/log_text.h"
#include "link/connect_logic.h"

namespace velmora::cli {

std::string terminalLogLine(const LocalTime& time, const std::string& text) {
  std::string line = formatLogLine(time, text);
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
  return line;
}

void TerminalLog::logMessage(const std::string& text) {
  if (verbose_) platform_.errorLine(terminalLogLine(platform_.localTime(), text));
}

void TerminalLog::setProgress(int percent) {
  if (percent == lastProgress_) return;
  lastProgress_ = percent;
  if (verbose_) logMessage(strprintf(trText("CliSession", "进度: %d%%"), percent));
}

CliSession::CliSession(const Options& options, CliPlatform& platform, SerialLink& serial, TcpLink& tcp)
    : options_(options),
      platform_(platform),
      serial_(serial),
      terminal_(platform, options.verbose),
      // A quiet run gives the engine no log: it then formats no line per frame.
      engine_(platform, terminal_, options.verbose ? &terminal_ : nullptr),
      link_(serial, tcp, options.verbose ? &terminal_ : nullptr),
      address_(options.address) {
  engine_.setConnectionPage(static_cast<DeviceLink*>(this));
  engine_.setMainWindow(&image_);
  engine_.setTransferEnded([this](const TransferOutcome& o) { ended_ = o; });
  link_.setReceiver(&engine_);
}

SerialSettings serialSettingsOf(const Options& o) {
  return SerialSettings{o.baud, o.dataBits, o.stopBitsCode, o.parityCode};
}

// ---- outcome ----

void CliSession::succeed(std::string warning) {
  if (done()) return;
  outcome_ = Outcome{RunState::Succeeded, kExitOk, std::move(warning)};
}

void CliSession::fail(int exitCode, std::string reason) {
  if (done()) return;
  outcome_ = Outcome{RunState::Failed, exitCode, std::move(reason)};
}

int CliSession::refusalExitCode() const {
  return (linkUp() || command_ == Command::None) ? kExitUsage : kExitDevice;
}

void CliSession::takeLossBehindFailedSend() {
  if (link_.linkState() != kSerialOpen) return;
  if (const std::error_code lost = serial_.lostReason()) link_.onSerialLost(lost);
}

void CliSession::evaluate() {
  if (done() || command_ == Command::None) return;
  if (ended_) {
    const TransferOutcome o = *std::exchange(ended_, std::nullopt);
    transferEnded(o);
    return;
  }
  // Whatever was running cannot go on without the link.
  if (!link_.lossText().empty()) fail(kExitDevice, link_.lossText());
}

void CliSession::transferEnded(const TransferOutcome& o) {
  switch (o.result) {
    case TransferResult::Done:
    case TransferResult::DoneWithHeaderError:
      if (o.kind == TransferKind::Write) {
        terminal_.logMessage(o.text);
        if (std::exchange(readBack_, false)) {
          // The engine is idle again: the read goes out on the same link.
          command_ = Command::Read;
          engine_.startRead();
          evaluate();
          return;
        }
        succeed();
        return;
      }
      received_ = image_.configImage();
      // Save refuses an empty image, and so does the command line.
      if (received_.empty()) {
        fail(kExitDevice, trText("CliSession", "没有要保存的数据"));
      } else if (o.result == TransferResult::DoneWithHeaderError) {
        if (options_.force)
          succeed(o.text + " (--force)");  // one language in one line: the option says why it was kept
        else
          fail(kExitDevice, o.text);
      } else {
        terminal_.logMessage(o.text);
        succeed();
      }
      return;
    case TransferResult::Refused:
      fail(refusalExitCode(), o.text);
      return;
    case TransferResult::SendFailed:
      takeLossBehindFailedSend();
      fail(kExitDevice, link_.lossText().empty() ? o.text : link_.lossText());
      return;
    case TransferResult::LinkLost:
      fail(kExitDevice, link_.lossText().empty() ? o.text : link_.lossText());
      return;
    case TransferResult::TimedOut:
      fail(kExitDevice, o.text);
      return;
  }
}

// ---- link ----

bool CliSession::connect() {
  // The page's own refusals, with its texts: a usage error, as the link is not up.
  if (!options_.tcpHost.empty()) {
    const std::string host = trim(options_.tcpHost);
    const std::string port = std::to_string(options_.tcpPort);
    if (const std::string refusal = tcpTargetRefusal(host, port); !refusal.empty()) {
      fail(refusalExitCode(), refusal);
      return false;
    }
    link_.connectTcp(host, options_.tcpPort);
  } else {
    const std::string path = trim(options_.serialDevice);
    if (const std::string refusal = serialPortRefusal(path); !refusal.empty()) {
      fail(refusalExitCode(), refusal);
      return false;
    }
    link_.openSerial(path, serialSettingsOf(options_));
  }
  if (link_.connecting()) return false;
  settleConnect();
  return linkUp() && !done();
}

void CliSession::settleConnect() {
  if (linkUp() || done()) return;  // up, or the page refused the input
  if (!options_.tcpHost.empty()) {
    const std::string& why = link_.tcpFailureReason();
    fail(kExitDevice,
         strprintf(trText("CliSession", "TCP连接失败: %s:%d"), options_.tcpHost.c_str(), options_.tcpPort) +
             (why.empty() ? "" : " " + why));
  } else {
    const std::string& why = link_.serialFailureReason();
    fail(kExitDevice, strprintf(trText("CliSession", "串口打开失败: %s"), options_.serialDevice.c_str()) +
                          (why.empty() ? "" : " " + why));
  }
}

void CliSession::onTcpConnectEvent(int32_t failedFlag, int32_t errorCode) {
  const bool wasConnecting = link_.connecting();
  link_.onTcpConnectEvent(failedFlag, errorCode);
  if (wasConnecting && !link_.connecting()) settleConnect();
  evaluate();
}

void CliSession::onTcpReceive(const uint8_t* block, int32_t count) {
  link_.onTcpReceive(block, count);
  evaluate();
}

void CliSession::onTcpClose(int32_t errorCode) {
  link_.onTcpClose(errorCode);
  evaluate();
}

void CliSession::onSerialByte(uint8_t byte) {
  link_.onSerialByte(byte);
  evaluate();
}

void CliSession::onSerialLost(std::error_code reason) {
  link_.onSerialLost(reason);
  evaluate();
}

void CliSession::timerFired(int id) {
  if (done()) return;
  if (id == kAddressWaitTimerId) {
    platform_.stopTimer(kAddressWaitTimerId);
    if (command_ == Command::GetAddress || command_ == Command::SetAddress)
      fail(kExitDevice, strprintf("no address report within %d ms", kAddressWaitMs));
    return;
  }
  engine_.onTimer(id);
  evaluate();
}

void CliSession::finish() {
  engine_.stopWatchdogs();
  platform_.stopTimer(kAddressWaitTimerId);
  link_.shutdown();
}

// ---- commands ----

bool CliSession::beginNext() {
  if (outcome_.state != RunState::Succeeded) return false;
  outcome_ = Outcome{};
  command_ = Command::None;
  return true;
}

void CliSession::startRead() {
  command_ = Command::Read;
  engine_.startRead();
  evaluate();
}

void CliSession::startWrite(std::vector<uint8_t> image, bool readBack) {
  command_ = Command::Write;
  readBack_ = readBack;
  image_.setImage(std::move(image));
  engine_.startWrite();
  evaluate();
}

bool CliSession::linkUpForCommand() {
  if (linkUp()) return true;
  fail(refusalExitCode(), trText("ConnectLogic", "请先连接设备"));
  return false;
}

void CliSession::startGetAddress() {
  command_ = Command::GetAddress;
  if (!linkUpForCommand()) return;
  startAddressCommand(link_.sendAddressQuery(), trText("CliSession", "发送读取设备地址命令失败"));
}

void CliSession::startSetAddress(int address) {
  command_ = Command::SetAddress;
  wantedAddress_ = address;
  // From here on the engine talks to the new address, as the page's box holds it.
  address_ = address;
  if (!linkUpForCommand()) return;
  if (const std::string refusal = addressRefusal(address); !refusal.empty()) {
    fail(refusalExitCode(), refusal);
    return;
  }
  startAddressCommand(link_.sendAddressChange(static_cast<uint8_t>(address)),
                      trText("CliSession", "发送修改设备地址命令失败"));
}

void CliSession::startAddressCommand(bool sent, const char* failureText) {
  if (done()) return;
  if (!sent) {
    takeLossBehindFailedSend();  // a device that has gone is the better reason
    evaluate();
    fail(kExitDevice, failureText);
    return;
  }
  platform_.startTimer(kAddressWaitTimerId, kAddressWaitMs);
}

// ---- what the device reports ----

void CliSession::showAddressReport(const std::string& text, const std::string&) {
  reportedAddress_ = parseDecimal(text);
  address_ = reportedAddress_;
  if (done() || (command_ != Command::GetAddress && command_ != Command::SetAddress)) return;
  platform_.stopTimer(kAddressWaitTimerId);
  if (command_ == Command::SetAddress && reportedAddress_ != wantedAddress_)
    fail(kExitDevice, strprintf("the device reports address %d, not %d", reportedAddress_, wantedAddress_));
  else
    succeed();
}

}  // namespace velmora::cli
