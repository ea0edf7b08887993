#include "link/link_controller.h"

#include <initializer_list>
#include <utility>

#include "base/clock.h"
#include "base/text.h"
#include "base/tr_text.h"
#include "protocol/frames.h"

namespace velmora {

namespace {

class LineSettingsCategory final : public std::error_category {
 public:
  const char* name() const noexcept override { return "velmora.line-settings"; }
  std::string message(int refused) const override {
    static constexpr std::pair<unsigned, const char*> kNames[] = {
        {kLineSpeed, VELMORA_TR_NOOP("ConnectLogic", "波特率")},
        {kLineDataBits, VELMORA_TR_NOOP("ConnectLogic", "数据位")},
        {kLineStopBits, VELMORA_TR_NOOP("ConnectLogic", "停止位")},
        {kLineParity, VELMORA_TR_NOOP("ConnectLogic", "校验位")}};
    std::string names;
    for (const auto& [bit, label] : kNames) {
      if ((static_cast<unsigned>(refused) & bit) == 0) continue;
      if (!names.empty()) names += trText("ConnectLogic", "、");
      names += trText("ConnectLogic", label);
    }
    return strprintf(trText("ConnectLogic", "串口参数未生效（%s）"), names.c_str());
  }
};

struct ReasonHint {
  std::errc code;
  const char* hint;
};

// "原因: " and the system's text, with what the user can do about the common causes.
std::string reasonLine(const std::error_code& error, std::initializer_list<ReasonHint> hints) {
  std::string text = strprintf(trText("ConnectLogic", "原因: %s"), error.message().c_str());
  for (const ReasonHint& h : hints)
    if (error == h.code) return text + h.hint;
  return text;
}

}  // namespace

std::error_code lineSettingsError(unsigned refused) {
  static const LineSettingsCategory category;
  return std::error_code(static_cast<int>(refused), category);
}

std::string serialLostLine(const std::error_code& reason) {
  return reason ? strprintf(trText("ConnectLogic", "串口意外断开: %s"), reason.message().c_str())
                : std::string(trText("ConnectLogic", "串口意外断开"));
}

std::string serialOpenReason(const std::error_code& error) {
  return reasonLine(error,
                    {{std::errc::permission_denied,
                      trText("ConnectLogic", "（当前用户无权访问该串口，请将用户加入 dialout 组后重新登录）")},
                     {std::errc::device_or_resource_busy, trText("ConnectLogic", "（串口已被其他程序占用）")},
                     {std::errc::inappropriate_io_control_operation, trText("ConnectLogic", "（该设备不是串口）")}});
}

std::string tcpConnectFailureReason(int32_t code) {
  switch (static_cast<TcpConnectFailure>(code)) {
    case TcpConnectFailure::HostNotFound:
      return trText("ConnectLogic", "原因: 无法解析主机名");
    case TcpConnectFailure::NoIpv4Address:
      return trText("ConnectLogic", "原因: 该主机名没有 IPv4 地址");
    case TcpConnectFailure::LookupTimedOut:
      return trText("ConnectLogic", "原因: 主机名解析超时");
    case TcpConnectFailure::LookupFailed:
      return trText("ConnectLogic", "原因: 主机名解析失败");
    case TcpConnectFailure::ConnectFailed: break;
  }
  return {};
}

std::string tcpConnectErrorReason(const std::error_code& error) {
  return reasonLine(error,
                    {{std::errc::connection_refused, trText("ConnectLogic", "（该端口没有服务在监听，请检查端口号）")},
                     {std::errc::timed_out, trText("ConnectLogic", "（设备没有应答，请检查 IP 地址和网络连接）")},
                     {std::errc::network_unreachable, trText("ConnectLogic", "（网络不可达，请检查本机的网络设置）")},
                     {std::errc::host_unreachable, trText("ConnectLogic", "（网络不可达，请检查本机的网络设置）")}});
}

LinkController::LinkController(SerialLink& serial, TcpLink& tcp, LogSink* log)
    : serial_(serial), tcp_(tcp), log_(log) {}

void LinkController::log(const std::string& text) {
  if (log_) log_->logMessage(text);
}

void LinkController::status(const std::string& text) {
  if (listener_) listener_->linkStatusText(text);
}

void LinkController::changed() {
  if (listener_) listener_->linkStateChanged();
}

void LinkController::reportLink(bool connected, const std::string& text) {
  if (receiver_) receiver_->setLinkState(connected, text);
}

bool LinkController::openSerial(const std::string& path, const SerialSettings& s) {
  log(strprintf(trText("ConnectLogic", "正在打开串口: %s (%d,%d,%d,%d)..."), path.c_str(), s.baudRate, s.byteSize,
                s.stopBits, s.parity));
  std::error_code error;
  serialFailureReason_.clear();
  const bool opened = serial_.open(path, s, error);
  if (opened) {
    const std::string text = strprintf(trText("ConnectLogic", "串口已打开：%s (%d,%d,%d,%d)"), path.c_str(), s.baudRate,
                                       s.byteSize, s.stopBits, s.parity);
    status(text);
    state_ = LinkState::SerialOpen;
    lossText_.clear();
    log(strprintf(trText("ConnectLogic", "串口打开成功: %s"), path.c_str()));
    reportLink(true, text);
  } else {
    status(trText("ConnectLogic", "串口打开失败"));
    state_ = LinkState::SerialIdle;
    log(strprintf(trText("ConnectLogic", "串口打开失败: %s"), path.c_str()));
    if (error) {
      serialFailureReason_ = serialOpenReason(error);
      log(serialFailureReason_);
      // The port doctor's lines, after the reason (only looked for when someone reads them).
      if (log_ != nullptr)
        for (const std::string& line : serial_.openFailureNotes(path, error)) log(line);
    }
    reportLink(false, trText("ConnectLogic", "串口打开失败"));
  }
  changed();
  return opened;
}

TcpConnectStart LinkController::connectTcp(const std::string& host, int32_t port) {
  const std::string connectingText = strprintf(trText("ConnectLogic", "正在连接: %s:%d..."), host.c_str(), port);
  log(connectingText);
  tcpFailureReason_.clear();
  const TcpConnectStart start = tcp_.open(host, port);
  switch (start) {
    case TcpConnectStart::Connected:
      tcpConnectSucceeded(host, port);
      break;
    case TcpConnectStart::Failed:
      tcpConnectFailed(host, 0);
      break;
    case TcpConnectStart::Pending:
      // The window stays live during the lookup: show what it waits for.
      connecting_ = true;
      pendingHost_ = host;
      pendingPort_ = port;
      status(connectingText);
      break;
  }
  changed();
  return start;
}

void LinkController::tcpConnectSucceeded(const std::string& host, int32_t port) {
  const std::string text = strprintf(trText("ConnectLogic", "TCP已连接：%s:%d"), host.c_str(), port);
  status(text);
  state_ = LinkState::TcpConnected;
  lossText_.clear();
  log(strprintf(trText("ConnectLogic", "TCP连接成功: %s"), text.c_str()));
  reportLink(true, text);
}

void LinkController::tcpConnectFailed(const std::string& host, int32_t failureCode) {
  status(trText("ConnectLogic", "TCP连接失败"));
  state_ = LinkState::TcpIdle;
  log(strprintf(trText("ConnectLogic", "TCP连接失败: %s"), host.c_str()));
  tcpFailureReason_ = tcpConnectFailureReason(failureCode);
  // A lookup that failed says so; a connect that failed says what the system said.
  if (tcpFailureReason_.empty())
    if (const std::error_code error = tcp_.connectError()) tcpFailureReason_ = tcpConnectErrorReason(error);
  if (!tcpFailureReason_.empty()) log(tcpFailureReason_);
  reportLink(false, trText("ConnectLogic", "TCP连接失败"));
}

void LinkController::close() {
  if (state_ == LinkState::SerialOpen) {
    serial_.close();
    state_ = LinkState::SerialIdle;
    status(trText("ConnectLogic", "已关闭串口"));
    log(trText("ConnectLogic", "已关闭串口"));
    reportLink(false, trText("ConnectLogic", "已关闭串口"));
    changed();
  } else if (state_ == LinkState::TcpConnected) {
    // The socket's close notification comes later and finds TcpIdle.
    tcp_.close();
    state_ = LinkState::TcpIdle;
    status(trText("ConnectLogic", "TCP已断开"));
    log(trText("ConnectLogic", "TCP已断开"));
    reportLink(false, trText("ConnectLogic", "TCP已断开"));
    changed();
  }
}

void LinkController::shutdown() {
  // A lookup still running ends with the channel; its answer never comes.
  connecting_ = false;
  tcp_.close();
  serial_.close();
}

bool LinkController::send(const uint8_t* data, int32_t length) {
  if (length < 0 || (data == nullptr && length > 0)) return false;
  Channel* channel = state_ == LinkState::TcpConnected ? static_cast<Channel*>(&tcp_)
                     : state_ == LinkState::SerialOpen  ? static_cast<Channel*>(&serial_)
                                                        : nullptr;
  // Stamped as it goes: the answer's own stamp, taken when it arrives, may
  // come before the send call has returned.
  const uint64_t at = steadyUs();
  const bool sent = channel != nullptr && channel->isOpen() && channel->send(data, length);
  // Only what went out: a failed send is the log's business.
  if (sent && observer_ != nullptr && length > 0)
    observer_->onFrame(FrameDirection::Sent, at, data, length, describeFrame(FrameDirection::Sent, data, length, 0));
  return sent;
}

bool LinkController::sendAddressQuery() {
  const auto frame = buildAddressQuery();
  const bool sent = send(frame.data(), static_cast<int32_t>(frame.size()));
  log(sent ? trText("ConnectLogic", "发送读取设备地址命令") : trText("ConnectLogic", "发送读取设备地址命令失败"));
  return sent;
}

bool LinkController::sendAddressChange(uint8_t address) {
  const auto frame = buildAddressChange(address);
  const bool sent = send(frame.data(), static_cast<int32_t>(frame.size()));
  if (sent)
    log(strprintf(trText("ConnectLogic", "发送修改设备地址命令: %d"), address));
  else
    log(trText("ConnectLogic", "发送修改设备地址命令失败"));
  return sent;
}

void LinkController::tcpLost(const std::string& panelText, const std::string& logText) {
  state_ = LinkState::TcpIdle;
  lossText_ = logText;
  status(trText("ConnectLogic", "TCP连接断开"));
  reportLink(false, panelText);
  log(logText);
  changed();
}

void LinkController::onTcpConnectEvent(int32_t failedFlag, int32_t errorCode) {
  if (connecting_) {
    // The channel drops older notices when it starts a lookup: this one is
    // the attempt's own end.
    connecting_ = false;
    if (failedFlag == 0)
      tcpConnectSucceeded(pendingHost_, pendingPort_);
    else
      tcpConnectFailed(pendingHost_, errorCode);
    changed();
    return;
  }
  if (failedFlag == 0 || state_ != LinkState::TcpConnected) return;
  tcpLost(trText("ConnectLogic", "TCP连接断开"), trText("ConnectLogic", "TCP连接意外断开"));
}

void LinkController::onTcpClose(int32_t /*errorCode*/) {
  if (state_ != LinkState::TcpConnected) return;
  tcpLost(trText("ConnectLogic", "TCP连接已断开"), trText("ConnectLogic", "TCP连接已断开"));
}

void LinkController::onTcpReceive(const uint8_t* block, int32_t count) {
  if (block == nullptr || count <= 0 || receiver_ == nullptr) return;
  // The block's line comes before anything its bytes make the panel log.
  log(strprintf("%s: %s", trText("ConnectLogic", "接收到报文"),
                hexBytesSpaced(block, static_cast<size_t>(count)).c_str()));
  for (int32_t i = 0; i < count; ++i) receiver_->receiveByte(block[i]);
}

void LinkController::onArrival(uint64_t steadyUs) {
  if (receiver_) receiver_->noteArrival(steadyUs);
}

void LinkController::onSerialByte(uint8_t byte) {
  if (receiver_) receiver_->receiveByte(byte);
}

void LinkController::onSerialLost(std::error_code reason) {
  if (state_ != LinkState::SerialOpen) return;
  // The port is closed as the user would close it: the lock goes, so the
  // same path opens again once the adapter is back.
  serial_.close();
  state_ = LinkState::SerialIdle;
  lossText_ = serialLostLine(reason);
  status(trText("ConnectLogic", kSerialLostStatus));
  // The reason before whatever the transfer strip logs about its transfer.
  log(lossText_);
  reportLink(false, trText("ConnectLogic", kSerialLostStatus));
  changed();
}

}  // namespace velmora
