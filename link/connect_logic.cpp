#include "link/connect_logic.h"

#include <algorithm>
#include <initializer_list>
#include <tuple>
#include <utility>

#include "base/clock.h"
#include "base/text.h"
#include "base/tr_text.h"
#include "protocol/frames.h"
#include "protocol/link_interfaces.h"

namespace velmora {

SerialSettings chooseSerialSettings(const std::optional<std::string>& baudEntry,
                                    const std::optional<std::string>& dataBitsEntry, int stopBitsIndex,
                                    int parityIndex) {
  SerialSettings s;
  if (baudEntry) {
    const int32_t baud = parseDecimal(*baudEntry);
    if (baud >= 1) s.baudRate = baud;
  }
  if (dataBitsEntry) {
    const int32_t bits = parseDecimal(*dataBitsEntry);
    if (bits >= 5 && bits <= 8) s.byteSize = bits;
  }
  s.stopBits = (stopBitsIndex == 1 || stopBitsIndex == 2) ? stopBitsIndex : 0;
  s.parity = (parityIndex >= 1 && parityIndex <= 4) ? parityIndex : 0;
  return s;
}

bool isSerialDevicePath(std::string_view text) {
  constexpr std::string_view kDev = "/dev/";
  if (text.size() <= kDev.size() || text.substr(0, kDev.size()) != kDev) return false;
  if (text.find('\0') != std::string_view::npos) return false;  // open() would stop there
  // Any ".." component could climb out of /dev/.
  size_t start = kDev.size();
  while (start <= text.size()) {
    size_t end = text.find('/', start);
    if (end == std::string_view::npos) end = text.size();
    if (text.substr(start, end - start) == "..") return false;
    start = end + 1;
  }
  return text.back() != '/';
}

namespace {

struct PortRank {
  int family = 0;
  bool numbered = false;
  uint64_t number = 0;
};

PortRank rankOf(const std::string& path) {
  static constexpr std::string_view kFamilies[] = {"/dev/ttyUSB", "/dev/ttyACM", "/dev/ttyAMA", "/dev/ttyS",
                                                   "/dev/serial/by-id/"};
  PortRank rank;
  rank.family = static_cast<int>(std::size(kFamilies));
  for (size_t i = 0; i < std::size(kFamilies); ++i) {
    const std::string_view prefix = kFamilies[i];
    if (path.size() < prefix.size() || std::string_view(path).substr(0, prefix.size()) != prefix) continue;
    rank.family = static_cast<int>(i);
    const std::string_view rest = std::string_view(path).substr(prefix.size());
    if (!rest.empty() && rest.size() <= 9 &&
        std::all_of(rest.begin(), rest.end(), [](char c) { return c >= '0' && c <= '9'; })) {
      rank.numbered = true;
      for (char c : rest) rank.number = rank.number * 10 + static_cast<uint64_t>(c - '0');
    }
    break;
  }
  return rank;
}

}  // namespace

std::vector<std::string> orderPortCandidates(std::vector<std::string> paths) {
  std::sort(paths.begin(), paths.end(), [](const std::string& a, const std::string& b) {
    const PortRank ra = rankOf(a);
    const PortRank rb = rankOf(b);
    // Numbered names first within a family, so ttyS2 comes before ttyS10.
    return std::tie(ra.family, rb.numbered, ra.number, a) < std::tie(rb.family, ra.numbered, rb.number, b);
  });
  paths.erase(std::unique(paths.begin(), paths.end()), paths.end());
  return paths;
}

ControlStates controlStatesFor(int32_t linkState, int32_t transport, bool connecting) {
  ControlStates s;
  if (connecting) {
    s.connectButton = false;
    return s;
  }
  const bool connected = linkIsUp(linkState);
  if (connected) {
    s.addressControls = true;
    s.connectCaption = trText("ConnectLogic", "断开");
    return s;
  }
  s.transportRadios = true;
  s.serialControls = transport != kTransportTcp;
  s.tcpControls = transport == kTransportTcp;
  return s;
}

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

}  // namespace

std::error_code lineSettingsError(unsigned refused) {
  static const LineSettingsCategory category;
  return std::error_code(static_cast<int>(refused), category);
}

std::string serialLostLine(const std::error_code& reason) {
  return reason ? strprintf(trText("ConnectLogic", "串口意外断开: %s"), reason.message().c_str())
                : std::string(trText("ConnectLogic", "串口意外断开"));
}

namespace {

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

ConnectLogic::ConnectLogic(ConnectView& view, SerialLink& serial, TcpLink& tcp, LogSink* log)
    : view_(view), serial_(serial), tcp_(tcp), log_(log) {}

void ConnectLogic::start() {
  view_.setStatusText(trText("ConnectLogic", kInitialStatusText));
  refreshPortList();
  updateControls();
}

void ConnectLogic::log(const std::string& text) {
  if (log_) log_->logMessage(text);
}

void ConnectLogic::reportLink(bool connected, const std::string& text) {
  if (panel_) panel_->setLinkState(connected, text);
}

void ConnectLogic::updateControls() {
  view_.applyControlStates(controlStatesFor(linkState_, transport_, connecting_));
}

void ConnectLogic::refreshPortList() { view_.setPortList(serial_.listPorts()); }

void ConnectLogic::onRefreshButton() {
  refreshPortList();
  log(trText("ConnectLogic", "已刷新串口列表"));
}

void ConnectLogic::onTransportChosen(int32_t transport) {
  // The radios are disabled while connected or connecting; a late click must
  // not switch the channel under an open link.
  if (linkUp() || connecting_) return;
  transport_ = transport == kTransportTcp ? kTransportTcp : kTransportSerial;
  updateControls();
}

void ConnectLogic::onConnectButton() {
  // The button is disabled during a lookup; a late click starts nothing.
  if (connecting_) return;
  switch (linkState_) {
    case kSerialOpen:
      closeSerialByUser();
      return;
    case kTcpConnected:
      disconnectTcpByUser();
      return;
    default:
      if (transport_ == kTransportTcp)
        connectTcp();
      else
        openSerial();
  }
}

void ConnectLogic::closeSerialByUser() {
  serial_.close();
  linkState_ = kSerialIdle;
  view_.setStatusText(trText("ConnectLogic", "已关闭串口"));
  log(trText("ConnectLogic", "已关闭串口"));
  reportLink(false, trText("ConnectLogic", "已关闭串口"));
  updateControls();
}

void ConnectLogic::disconnectTcpByUser() {
  // The socket's close notification comes later and finds linkState 2.
  tcp_.close();
  linkState_ = kTcpIdle;
  view_.setStatusText(trText("ConnectLogic", "TCP已断开"));
  log(trText("ConnectLogic", "TCP已断开"));
  reportLink(false, trText("ConnectLogic", "TCP已断开"));
  updateControls();
}

void ConnectLogic::connectTcp() {
  const std::string ip = trim(view_.ipText());
  const std::string portText = trim(view_.tcpPortText());
  if (ip.empty()) {
    view_.showMessage(trText("ConnectLogic", "请输入 IP 地址"));
    return;
  }
  const int32_t port = parseDecimal(portText);
  if (port < 1 || port > 65535) {
    view_.showMessage(trText("ConnectLogic", "端口号无效 (1-65535)"));
    return;
  }
  const std::string connectingText = strprintf(trText("ConnectLogic", "正在连接: %s:%d..."), ip.c_str(), port);
  log(connectingText);
  tcpFailureReason_.clear();
  switch (tcp_.open(ip, port)) {
    case TcpConnectStart::Connected:
      tcpConnectSucceeded(ip, port);
      break;
    case TcpConnectStart::Failed:
      tcpConnectFailed(ip, 0);
      break;
    case TcpConnectStart::Pending:
      // The window stays live during the lookup: show what it waits for.
      connecting_ = true;
      pendingIp_ = ip;
      pendingPort_ = port;
      view_.setStatusText(connectingText);
      break;
  }
  updateControls();
}

void ConnectLogic::tcpConnectSucceeded(const std::string& ip, int32_t port) {
  const std::string text = strprintf(trText("ConnectLogic", "TCP已连接：%s:%d"), ip.c_str(), port);
  view_.setStatusText(text);
  linkState_ = kTcpConnected;
  lossText_.clear();
  log(strprintf(trText("ConnectLogic", "TCP连接成功: %s"), text.c_str()));
  reportLink(true, text);
}

void ConnectLogic::tcpConnectFailed(const std::string& ip, int32_t failureCode) {
  view_.setStatusText(trText("ConnectLogic", "TCP连接失败"));
  linkState_ = kTcpIdle;
  log(strprintf(trText("ConnectLogic", "TCP连接失败: %s"), ip.c_str()));
  tcpFailureReason_ = tcpConnectFailureReason(failureCode);
  // A lookup that failed says so; a connect that failed says what the system said.
  if (tcpFailureReason_.empty())
    if (const std::error_code error = tcp_.connectError()) tcpFailureReason_ = tcpConnectErrorReason(error);
  if (!tcpFailureReason_.empty()) log(tcpFailureReason_);
  reportLink(false, trText("ConnectLogic", "TCP连接失败"));
}

void ConnectLogic::openSerial() {
  const std::string name = trim(view_.serialPortText());
  if (name.empty()) {
    view_.showMessage(trText("ConnectLogic", "请选择串口"));
    return;
  }
  if (!isSerialDevicePath(name)) {
    view_.showMessage(trText("ConnectLogic", "无效串口"));
    return;
  }
  const SerialSettings s =
      chooseSerialSettings(view_.baudEntry(), view_.dataBitsEntry(), view_.stopBitsIndex(), view_.parityIndex());
  log(strprintf(trText("ConnectLogic", "正在打开串口: %s (%d,%d,%d,%d)..."), name.c_str(), s.baudRate, s.byteSize,
                s.stopBits, s.parity));
  std::error_code error;
  serialFailureReason_.clear();
  if (serial_.open(name, s, error)) {
    const std::string text = strprintf(trText("ConnectLogic", "串口已打开：%s (%d,%d,%d,%d)"), name.c_str(), s.baudRate,
                                       s.byteSize, s.stopBits, s.parity);
    view_.setStatusText(text);
    linkState_ = kSerialOpen;
    lossText_.clear();
    log(strprintf(trText("ConnectLogic", "串口打开成功: %s"), name.c_str()));
    reportLink(true, text);
  } else {
    view_.setStatusText(trText("ConnectLogic", "串口打开失败"));
    linkState_ = kSerialIdle;
    log(strprintf(trText("ConnectLogic", "串口打开失败: %s"), name.c_str()));
    if (error) {
      serialFailureReason_ = serialOpenReason(error);
      log(serialFailureReason_);
      // The port doctor's lines, after the reason (only looked for when someone reads them).
      if (log_ != nullptr)
        for (const std::string& line : serial_.openFailureNotes(name, error)) log(line);
    }
    reportLink(false, trText("ConnectLogic", "串口打开失败"));
  }
  updateControls();
}

bool ConnectLogic::onReadAddressButton() {
  if (!linkUp()) {
    view_.showMessage(trText("ConnectLogic", "请先连接设备"));
    return false;
  }
  const auto frame = buildAddressQuery();
  const bool sent = sendBytes(frame.data(), static_cast<int32_t>(frame.size()));
  log(sent ? trText("ConnectLogic", "发送读取设备地址命令") : trText("ConnectLogic", "发送读取设备地址命令失败"));
  return sent;
}

bool ConnectLogic::onWriteAddressButton() {
  if (!linkUp()) {
    view_.showMessage(trText("ConnectLogic", "请先连接设备"));
    return false;
  }
  const int32_t address = parseDecimal(trim(view_.addressText()));
  if (address < 1 || address > 255) {
    view_.showMessage(trText("ConnectLogic", "请输入有效的设备地址 (1-255)"));
    return false;
  }
  const auto frame = buildAddressChange(static_cast<uint8_t>(address));
  const bool sent = sendBytes(frame.data(), static_cast<int32_t>(frame.size()));
  if (sent)
    log(strprintf(trText("ConnectLogic", "发送修改设备地址命令: %d"), address));
  else
    log(trText("ConnectLogic", "发送修改设备地址命令失败"));
  return sent;
}

void ConnectLogic::onScannedAddress(const std::string& address) {
  if (trim(address).empty()) return;
  if (connecting_ || linkUp()) {
    view_.showMessage(trText("ConnectLogic", "请先断开连接"));
    return;
  }
  view_.setIpText(address);
  transport_ = kTransportTcp;
  view_.showTransport(kTransportTcp);
  updateControls();
  log(strprintf(trText("ConnectLogic", "已填入扫描到的地址: %s"), address.c_str()));
}

void ConnectLogic::tcpLost(const std::string& panelText, const std::string& logText) {
  linkState_ = kTcpIdle;
  lossText_ = logText;
  view_.setStatusText(trText("ConnectLogic", "TCP连接断开"));
  reportLink(false, panelText);
  log(logText);
  updateControls();
}

void ConnectLogic::onTcpConnectEvent(int32_t failedFlag, int32_t errorCode) {
  if (connecting_) {
    // The channel drops older notices when it starts a lookup: this one is
    // the attempt's own end.
    connecting_ = false;
    if (failedFlag == 0)
      tcpConnectSucceeded(pendingIp_, pendingPort_);
    else
      tcpConnectFailed(pendingIp_, errorCode);
    updateControls();
    return;
  }
  if (failedFlag == 0 || linkState_ != kTcpConnected) return;
  tcpLost(trText("ConnectLogic", "TCP连接断开"), trText("ConnectLogic", "TCP连接意外断开"));
}

void ConnectLogic::onTcpClose(int32_t /*errorCode*/) {
  if (linkState_ != kTcpConnected) return;
  tcpLost(trText("ConnectLogic", "TCP连接已断开"), trText("ConnectLogic", "TCP连接已断开"));
}

void ConnectLogic::onTcpReceive(const uint8_t* block, int32_t count) {
  if (block == nullptr || count <= 0 || panel_ == nullptr) return;
  // The block's line comes before anything its bytes make the panel log.
  log(strprintf("%s: %s", trText("ConnectLogic", "接收到报文"),
                hexBytesSpaced(block, static_cast<size_t>(count)).c_str()));
  for (int32_t i = 0; i < count; ++i) panel_->receiveByte(block[i]);
}

void ConnectLogic::onArrival(uint64_t steadyUs) {
  if (panel_) panel_->noteArrival(steadyUs);
}

void ConnectLogic::onSerialByte(uint8_t byte) {
  if (panel_) panel_->receiveByte(byte);
}

void ConnectLogic::onSerialLost(std::error_code reason) {
  if (linkState_ != kSerialOpen) return;
  // The port is closed as the user would close it: the lock goes, so the
  // same path opens again once the adapter is back.
  serial_.close();
  linkState_ = kSerialIdle;
  lossText_ = serialLostLine(reason);
  view_.setStatusText(trText("ConnectLogic", kSerialLostStatus));
  // The reason before whatever the transfer strip logs about its transfer.
  log(lossText_);
  reportLink(false, trText("ConnectLogic", kSerialLostStatus));
  updateControls();
}

bool ConnectLogic::sendBytes(const uint8_t* data, int32_t length) {
  if (length < 0 || (data == nullptr && length > 0)) return false;
  Channel* channel = linkState_ == kTcpConnected ? static_cast<Channel*>(&tcp_)
                     : linkState_ == kSerialOpen  ? static_cast<Channel*>(&serial_)
                                                  : nullptr;
  // Stamped as it goes: the answer's own stamp, taken when it arrives, may
  // come before the send call has returned.
  const uint64_t at = steadyUs();
  const bool sent = channel != nullptr && channel->isOpen() && channel->send(data, length);
  // Only what went out: a failed send is the log's business.
  if (sent && observer_ != nullptr && length > 0)
    observer_->onFrame(FrameDirection::Sent, at, data, length,
                       describeFrame(FrameDirection::Sent, data, length, 0));
  return sent;
}

uint8_t ConnectLogic::addressBoxValue() const {
  return static_cast<uint8_t>(static_cast<uint32_t>(parseDecimal(trim(view_.addressText()))) & 0xFF);
}

void ConnectLogic::showAddressReport(const std::string& addressText, const std::string& messageText) {
  view_.setAddressText(addressText);
  view_.setAddressMessage(messageText);
}

void ConnectLogic::shutdown() {
  // A lookup still running ends with the channel; its answer never comes.
  connecting_ = false;
  tcp_.close();
  serial_.close();
}

}  // namespace velmora
