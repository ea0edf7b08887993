#include "cli/cli_session.h"

#include <utility>

#include "diag/log_text.h"

namespace velmora::cli {

std::string terminalLogLine(const LocalTime& time, const std::string& text) {
  std::string line = formatLogLine(time, text);
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
  return line;
}

CliSession::CliSession(const Options& options, CliPlatform& platform, SerialLink& serial, TcpLink& tcp)
    : options_(options),
      platform_(platform),
      serial_(serial),
      engine_(static_cast<TransferHost&>(*this), static_cast<LogSink*>(this)),
      connect_(static_cast<ConnectView&>(*this), serial, tcp, static_cast<LogSink*>(this)),
      addressText_(std::to_string(options.address)) {
  engine_.setConnectionPage(this);
  engine_.setMainWindow(this);
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
  const int32_t state = connect_.linkState();
  const bool linkUp = state == kSerialOpen || state == kTcpConnected;
  return (linkUp || command_ == Command::None) ? kExitUsage : kExitDevice;
}

void CliSession::evaluate() {
  if (done() || command_ == Command::None) return;
  // A send that failed because the serial device has gone: take the loss
  // now, as its notification would, so the run ends naming it instead of
  // the failed send.
  const int32_t state = connect_.linkState();
  if (state == kSerialOpen && !lastSendOk_) {
    if (const std::error_code lost = serial_.lostReason()) connect_.onSerialLost(lost);
  }
  // Whatever was running cannot go on without the link.
  if (!connect_.lossText().empty()) {
    fail(kExitDevice, connect_.lossText());
    return;
  }
  if (command_ == Command::Read || command_ == Command::Write) evaluateTransfer();
}

void CliSession::evaluateTransfer() {
  const TransferEngine::Fields& f = engine_.fields();
  // A running transfer decides nothing yet; its watchdog bounds the wait.
  if (f.operationState != kIdle) return;
  if (command_ == Command::Read) {
    if (imageLoaded_) {
      // Save refuses an empty image, and so does the command line.
      if (received_.empty()) {
        fail(kExitDevice, "没有要保存的数据");
      } else if (!headerOk_) {
        if (options_.force)
          succeed("配置报文头错误！ (kept because of --force)");
        else
          fail(kExitDevice, "配置报文头错误！");
      } else {
        succeed();
      }
    } else if (timedOut_) {
      fail(kExitDevice, "读取配置超时，复位");
    } else {
      // Back to idle without an image or a time-out: a request did not go out.
      fail(kExitDevice, "发送读取配置请求失败");
    }
    return;
  }
  if (timedOut_) {
    fail(kExitDevice, "下发配置超时，复位");
  } else if (f.totalPackets > 0 && f.currentPacket >= f.totalPackets) {
    succeed();
  } else {
    fail(kExitDevice, "发送配置数据包失败");
  }
}

// ---- link ----

bool CliSession::linkUp() const {
  const int32_t state = connect_.linkState();
  return state == kSerialOpen || state == kTcpConnected;
}

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
    fail(kExitDevice, strprintf("TCP连接失败: %s:%d", options_.tcpHost.c_str(), options_.tcpPort) +
                          (why.empty() ? "" : " " + why));
  } else {
    fail(kExitDevice, "串口打开失败: " + options_.serialDevice + (connect_.serialFailureReason().empty() ? "" : " " + connect_.serialFailureReason()));
  }
}

bool CliSession::sendBytes(const uint8_t* data, int32_t length) {
  // Also false when the page found no open channel to write to.
  lastSendOk_ = connect_.sendBytes(data, length);
  return lastSendOk_;
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
  if ((id == kReadTimerId && command_ == Command::Read) || (id == kWriteTimerId && command_ == Command::Write))
    timedOut_ = true;
  engine_.onTimer(id);
  evaluate();
}

void CliSession::finish() {
  engine_.stopWatchdogs();
  platform_.stopTimer(kAddressWaitTimerId);
  connect_.shutdown();
}

// ---- commands ----

void CliSession::startRead() {
  command_ = Command::Read;
  engine_.startRead();
  evaluate();
}

void CliSession::startWrite(std::vector<uint8_t> image) {
  command_ = Command::Write;
  image_ = std::move(image);
  engine_.startWrite();
  evaluate();
}

void CliSession::startGetAddress() {
  command_ = Command::GetAddress;
  lastSendOk_ = connect_.onReadAddressButton();
  if (done()) return;
  if (!lastSendOk_) {
    evaluate();  // a device that has gone is the better reason
    fail(kExitDevice, "发送读取设备地址命令失败");
    return;
  }
  platform_.startTimer(kAddressWaitTimerId, kAddressWaitMs);
}

void CliSession::startSetAddress(int address) {
  command_ = Command::SetAddress;
  // The page takes the new address from its address box.
  addressText_ = std::to_string(address);
  lastSendOk_ = connect_.onWriteAddressButton();
  if (done()) return;
  if (!lastSendOk_) {
    evaluate();  // a device that has gone is the better reason
    fail(kExitDevice, "发送修改设备地址命令失败");
    return;
  }
  platform_.startTimer(kAddressWaitTimerId, kAddressWaitMs);
}

// ---- what the engine and the page call ----

void CliSession::showAddressReport(const std::string& addressText, const std::string& /*messageText*/) {
  reportedAddress_ = parseDecimal(addressText);
  if (done() || (command_ != Command::GetAddress && command_ != Command::SetAddress)) return;
  platform_.stopTimer(kAddressWaitTimerId);
  const int wanted = parseDecimal(addressText_);
  if (command_ == Command::SetAddress && reportedAddress_ != wanted)
    fail(kExitDevice, strprintf("the device reports address %d, not %d", reportedAddress_, wanted));
  else
    succeed();
}

void CliSession::loadImage(const uint8_t* data, int32_t length) {
  if (command_ != Command::Read) return;
  received_.assign(data, data + (length > 0 ? length : 0));
  imageLoaded_ = true;
  // The engine hands the image over before it goes idle, with the envelope
  // still in its buffer: check it here rather than from the log.
  const TransferEngine::Fields& f = engine_.fields();
  headerOk_ = checkEnvelope(f.transferBuffer.data(), f.transferLength);
}

void CliSession::messageBox(const std::string& text) { fail(refusalExitCode(), text); }

void CliSession::logMessage(const std::string& text) {
  if (options_.verbose) platform_.errorLine(terminalLogLine(platform_.localTime(), text));
}

void CliSession::setStateText(const std::string& text) { logMessage(text); }

void CliSession::setProgress(int percent) {
  if (percent == lastProgress_) return;
  lastProgress_ = percent;
  if (options_.verbose) logMessage(strprintf("进度: %d%%", percent));
}

}  // namespace velmora::cli
