#include "link/connect_logic.h"

#include <algorithm>
#include <tuple>

#include "base/text.h"
#include "base/tr_text.h"

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
  s.stopBits = channelCode(stopBitsOfChannelCode(stopBitsIndex).value_or(StopBits::One));
  s.parity = channelCode(parityOfChannelCode(parityIndex).value_or(Parity::None));
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

bool isComPortName(std::string_view text) {
  constexpr std::string_view kDevicePrefix = "\\\\.\\";
  if (text.substr(0, kDevicePrefix.size()) == kDevicePrefix) text.remove_prefix(kDevicePrefix.size());
  if (text.size() < 4 || text.size() > 6) return false;
  for (size_t i = 0; i < 3; ++i)
    if ((text[i] & ~0x20) != "COM"[i]) return false;
  int number = 0;
  for (const char c : text.substr(3)) {
    if (c < '0' || c > '9') return false;
    number = number * 10 + (c - '0');
  }
  return text[3] != '0' && number <= 255;
}

bool isSerialPortName(std::string_view text) {
#ifdef _WIN32
  return isComPortName(text);
#else
  return isSerialDevicePath(text);
#endif
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

std::string serialPortRefusal(const std::string& path) {
  if (path.empty()) return trText("ConnectLogic", "请选择串口");
  if (!isSerialPortName(path)) return trText("ConnectLogic", "无效串口");
  return {};
}

std::string tcpTargetRefusal(const std::string& ip, const std::string& portText) {
  if (ip.empty()) return trText("ConnectLogic", "请输入 IP 地址");
  const int32_t port = parseDecimal(portText);
  if (port < 1 || port > 65535) return trText("ConnectLogic", "端口号无效 (1-65535)");
  return {};
}

std::string addressRefusal(int32_t address) {
  if (address < 1 || address > 255) return trText("ConnectLogic", "请输入有效的设备地址 (1-255)");
  return {};
}

ConnectLogic::ConnectLogic(ConnectView& view, SerialLink& serial, TcpLink& tcp, LogSink* log)
    : view_(view), serial_(serial), log_(log), link_(serial, tcp, log) {
  link_.setListener(this);
}

void ConnectLogic::start() {
  view_.setStatusText(trText("ConnectLogic", kInitialStatusText));
  refreshPortList();
  linkStateChanged();
}

void ConnectLogic::log(const std::string& text) {
  if (log_) log_->logMessage(text);
}

void ConnectLogic::linkStateChanged() {
  view_.applyControlStates(controlStatesFor(link_.linkState(), transport_, link_.connecting()));
}

void ConnectLogic::refreshPortList() { view_.setPortList(serial_.listPorts()); }

void ConnectLogic::onRefreshButton() {
  refreshPortList();
  log(trText("ConnectLogic", "已刷新串口列表"));
}

void ConnectLogic::onTransportChosen(int32_t transport) {
  // The radios are disabled while connected or connecting; a late click must
  // not switch the channel under an open link.
  if (linkUp() || connecting()) return;
  transport_ = transport == kTransportTcp ? kTransportTcp : kTransportSerial;
  linkStateChanged();
}

void ConnectLogic::onConnectButton() {
  // The button is disabled during a lookup; a late click starts nothing.
  if (connecting()) return;
  if (linkUp())
    link_.close();
  else if (transport_ == kTransportTcp)
    connectTcp();
  else
    openSerial();
}

void ConnectLogic::connectTcp() {
  const std::string ip = trim(view_.ipText());
  const std::string portText = trim(view_.tcpPortText());
  if (const std::string refusal = tcpTargetRefusal(ip, portText); !refusal.empty()) {
    view_.showMessage(refusal);
    return;
  }
  link_.connectTcp(ip, parseDecimal(portText));
}

void ConnectLogic::openSerial() {
  const std::string name = trim(view_.serialPortText());
  if (const std::string refusal = serialPortRefusal(name); !refusal.empty()) {
    view_.showMessage(refusal);
    return;
  }
  link_.openSerial(name, chooseSerialSettings(view_.baudEntry(), view_.dataBitsEntry(), view_.stopBitsIndex(),
                                              view_.parityIndex()));
}

bool ConnectLogic::onReadAddressButton() {
  if (!linkUp()) {
    view_.showMessage(trText("ConnectLogic", "请先连接设备"));
    return false;
  }
  return link_.sendAddressQuery();
}

bool ConnectLogic::onWriteAddressButton() {
  if (!linkUp()) {
    view_.showMessage(trText("ConnectLogic", "请先连接设备"));
    return false;
  }
  const int32_t address = parseDecimal(trim(view_.addressText()));
  if (const std::string refusal = addressRefusal(address); !refusal.empty()) {
    view_.showMessage(refusal);
    return false;
  }
  return link_.sendAddressChange(static_cast<uint8_t>(address));
}

void ConnectLogic::onScannedAddress(const std::string& address) {
  if (trim(address).empty()) return;
  if (connecting() || linkUp()) {
    view_.showMessage(trText("ConnectLogic", "请先断开连接"));
    return;
  }
  view_.setIpText(address);
  transport_ = kTransportTcp;
  view_.showTransport(kTransportTcp);
  linkStateChanged();
  log(strprintf(trText("ConnectLogic", "已填入扫描到的地址: %s"), address.c_str()));
}

uint8_t ConnectLogic::addressBoxValue() const {
  return static_cast<uint8_t>(static_cast<uint32_t>(parseDecimal(trim(view_.addressText()))) & 0xFF);
}

void ConnectLogic::showAddressReport(const std::string& addressText, const std::string& messageText) {
  view_.setAddressText(addressText);
  view_.setAddressMessage(messageText);
}

}  // namespace velmora
