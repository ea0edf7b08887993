#include "cli/cli_session.h"

#include <utility>

#include "base/tr_text.h"
#include "diag/log_text.h"

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
      connect_(static_cast<ConnectView&>(*this), serial, tcp, options.verbose ? &terminal_ : nullptr),
      addressText_(std::to_string(options.address)) {
  engine_.setConnectionPage(&connect_);
  engine_.setMainWindow(&image_);
  engine_.setTransferEnded([this](const TransferOutcome& o) { ended_ = o; });
  connect_.setPanel(&engine_);
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
  if (connect_.linkState() != kSerialOpen) return;
  if (const std::error_code lost = serial_.lostReason()) connect_.onSerialLost(lost);
}

void CliSession::evaluate() {
  if (done() || command_ == Command::None) return;
  if (ended_) {
    const TransferOutcome o = *std::exchange(ended_, std::nullopt);
    transferEnded(o);
    return;
  }
  // Whatever was running cannot go on without the link.
  if (!connect_.lossText().empty()) fail(kExitDevice, connect_.lossText());
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
      fail(kExitDevice, connect_.lossText().empty() ? o.text : connect_.lossText());
      return;
    case TransferResult::LinkLost:
      fail(kExitDevice, connect_.lossText().empty() ? o.text : connect_.lossText());
      return;
    case TransferResult::TimedOut:
      fail(kExitDevice, o.text);
      return;
  }
}

// ---- link ----

bool CliSession::connect() {
  const bool tcp = !options_.tcpHost.empty();
  connect_.onTransportChosen(tcp ? kTransportTcp : kTransportSerial);
  connect_.onConnectButton();
  if (connect_.connecting()) return false;
  settleConnect();
  return linkUp() && !done();
}

void CliSession::settleConnect() {
  if (linkUp() || done()) return;  // up, or the page refused the input
  if (!options_.tcpHost.empty()) {
    const std::string& why = connect_.tcpFailureReason();
    fail(kExitDevice,
         strprintf(trText("CliSession", "TCP连接失败: %s:%d"), options_.tcpHost.c_str(), options_.tcpPort) +
             (why.empty() ? "" : " " + why));
  } else {
    const std::string& why = connect_.serialFailureReason();
    fail(kExitDevice, strprintf(trText("CliSession", "串口打开失败: %s"), options_.serialDevice.c_str()) +
                          (why.empty() ? "" : " " + why));
  }
}

void CliSession::onTcpConnectEvent(int32_t failedFlag, int32_t errorCode) {
  const bool wasConnecting = connect_.connecting();
  connect_.onTcpConnectEvent(failedFlag, errorCode);
  if (wasConnecting && !connect_.connecting()) settleConnect();
  evaluate();
}

void CliSession::onTcpReceive(const uint8_t* block, int32_t count) {
  connect_.onTcpReceive(block, count);
  evaluate();
}

void CliSession::onTcpClose(int32_t errorCode) {
  connect_.onTcpClose(errorCode);
  evaluate();
}

void CliSession::onSerialByte(uint8_t byte) {
  connect_.onSerialByte(byte);
  evaluate();
}

void CliSession::onSerialLost(std::error_code reason) {
  connect_.onSerialLost(reason);
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
  connect_.shutdown();
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

void CliSession::startGetAddress() {
  command_ = Command::GetAddress;
  startAddressCommand(connect_.onReadAddressButton(), trText("CliSession", "发送读取设备地址命令失败"));
}

void CliSession::startSetAddress(int address) {
  // The page takes the new address from its address box.
  command_ = Command::SetAddress;
  wantedAddress_ = address;
  addressText_ = std::to_string(address);
  startAddressCommand(connect_.onWriteAddressButton(), trText("CliSession", "发送修改设备地址命令失败"));
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

// ---- what the page reports ----

void CliSession::setAddressText(const std::string& text) {
  addressText_ = text;
  reportedAddress_ = parseDecimal(text);
  if (done() || (command_ != Command::GetAddress && command_ != Command::SetAddress)) return;
  platform_.stopTimer(kAddressWaitTimerId);
  if (command_ == Command::SetAddress && reportedAddress_ != wantedAddress_)
    fail(kExitDevice, strprintf("the device reports address %d, not %d", reportedAddress_, wantedAddress_));
  else
    succeed();
}

}  // namespace velmora::cli
