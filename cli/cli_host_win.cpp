#include "cli/cli_host_win.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <psapi.h>

#include <atomic>
#include <map>
#include <utility>

#include "base/time_host.h"
#include "link/client_socket_win.h"
#include "link/serial_channel_win.h"
#include "base/win_text_win.h"

namespace velmora::cli {

namespace {

// Real time and numbered timers on the message window; each expiry hands
// its id back to one callback.
class WinTimers final : public SteadyTime<CliPlatform> {
 public:
  WinTimers(MessageWindow& window, CliHost::Line errorLine, CliHost::Fired fired)
      : window_(window), errorLine_(std::move(errorLine)), fired_(std::move(fired)) {}
  ~WinTimers() override {
    for (const auto& entry : timers_) window_.removeTimer(entry.second);
  }
  void startTimer(int id, int ms) override {
    auto it = timers_.find(id);
    if (it == timers_.end())
      it = timers_.emplace(id, window_.addTimer([this, id] {
                         if (fired_) fired_(id);
                       })).first;
    window_.startTimer(it->second, ms);
  }
  void stopTimer(int id) override {
    const auto it = timers_.find(id);
    if (it != timers_.end()) window_.stopTimer(it->second);
  }
  void errorLine(const std::string& line) override {
    if (errorLine_) errorLine_(line);
  }

 private:
  MessageWindow& window_;
  CliHost::Line errorLine_;
  CliHost::Fired fired_;
  std::map<int, UINT_PTR> timers_;
};

class WinSessionChannels final : public SessionChannels {
 public:
  WinSessionChannels(MessageWindow& window, bool asyncConnect) : serial_(window), tcp_(window) {
    tcp_.setAsyncConnect(asyncConnect);
  }
  ~WinSessionChannels() override {
    setSink(nullptr);
    tcp_.close();
    serial_.close();
  }
  SerialLink& serial() override { return serial_; }
  TcpLink& tcp() override { return tcp_; }
  void setSink(LinkEventSink* sink) override {
    serial_.setSink(sink);
    tcp_.setSink(sink);
  }

 private:
  WinSerialChannel serial_;
  WinTcpChannel tcp_;
};

// Ctrl-C comes on a thread of the system's; the loop hears it as a message.
HWND gInterruptWindow = nullptr;
UINT gInterruptMessage = 0;
std::atomic<bool> gInterruptWatched{false};

BOOL WINAPI onConsoleControl(DWORD type) {
  if ((type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT) || !gInterruptWatched.load()) return FALSE;
  PostMessageW(gInterruptWindow, gInterruptMessage, 0, 0);
  return TRUE;
}

class WinInterruptWatch final : public InterruptWatch {
 public:
  WinInterruptWatch(MessageWindow& window, std::function<void()> handler) : window_(window) {
    message_ = window_.addMessage([this, handler](WPARAM, LPARAM) {
      interrupted_ = true;
      handler();
    });
    gInterruptWindow = window_.handle();
    gInterruptMessage = message_;
    gInterruptWatched.store(true);
    SetConsoleCtrlHandler(&onConsoleControl, TRUE);
  }
  ~WinInterruptWatch() override {
    gInterruptWatched.store(false);
    SetConsoleCtrlHandler(&onConsoleControl, FALSE);
    window_.removeMessage(message_);
  }
  bool interrupted() const override { return interrupted_; }

 private:
  MessageWindow& window_;
  UINT message_ = 0;
  bool interrupted_ = false;
};

class WinScanSocket final : public ScanSocket {
 public:
  WinScanSocket(MessageWindow& window, std::function<void(const uint8_t*, int32_t)> reply)
      : socket_(window, std::move(reply)) {}
  bool open() { return socket_.open(); }
  bool sendTo(const uint8_t* data, int32_t length, const std::string& ipv4, uint16_t port) override {
    return socket_.sendTo(data, length, ipv4, port);
  }
  void close() override { socket_.close(); }

 private:
  WinUdpSocket socket_;
};

}  // namespace

WinCliHost::WinCliHost() {
  startWinsock();
  postMessage_ = window_.addMessage([this](WPARAM, LPARAM) {
    if (posted_.empty()) return;
    std::function<void()> fn = std::move(posted_.front());
    posted_.pop_front();
    fn();
  });
}

WinCliHost::~WinCliHost() { window_.removeMessage(postMessage_); }

std::unique_ptr<CliPlatform> WinCliHost::makeTimers(Line errorLine, Fired fired) {
  return std::make_unique<WinTimers>(window_, std::move(errorLine), std::move(fired));
}

std::unique_ptr<SessionChannels> WinCliHost::makeChannels(bool asyncConnect) {
  return std::make_unique<WinSessionChannels>(window_, asyncConnect);
}

void WinCliHost::runUntil(const std::function<bool()>& done) {
  while (!done() && MessageWindow::handleOne()) {
  }
}

void WinCliHost::post(std::function<void()> fn) {
  // One message per function: each runs in its own turn of the loop.
  posted_.push_back(std::move(fn));
  PostMessageW(window_.handle(), postMessage_, 0, 0);
}

std::unique_ptr<InterruptWatch> WinCliHost::watchInterrupt(std::function<void()> handler) {
  return std::make_unique<WinInterruptWatch>(window_, std::move(handler));
}

std::optional<std::string> WinCliHost::lookUpIpv4(const std::string& host, TcpConnectFailure& failure) {
  in_addr v4{};
  in6_addr v6{};
  if (inet_pton(AF_INET, host.c_str(), &v4) == 1) {
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &v4, text, sizeof text);
    return std::string(text);
  }
  failure = TcpConnectFailure::NoIpv4Address;
  if (inet_pton(AF_INET6, host.c_str(), &v6) == 1) return std::nullopt;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  addrinfo* list = nullptr;
  if (getaddrinfo(host.c_str(), nullptr, &hints, &list) != 0 || list == nullptr) {
    failure = TcpConnectFailure::HostNotFound;
    return std::nullopt;
  }
  char text[INET_ADDRSTRLEN] = {};
  inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(list->ai_addr)->sin_addr, text, sizeof text);
  freeaddrinfo(list);
  return std::string(text);
}

std::unique_ptr<ScanSocket> WinCliHost::openScanSocket(std::function<void(const uint8_t*, int32_t)> replyBlock) {
  auto socket = std::make_unique<WinScanSocket>(window_, std::move(replyBlock));
  if (!socket->open()) return nullptr;
  return socket;
}

std::unique_ptr<SerialPortSystem> WinCliHost::serialPorts() { return makeSerialPortSystem({}); }

bool WinCliHost::canCreateFile(const std::string& path) {
  std::wstring target = widen(path);
  const DWORD attributes = GetFileAttributesW(target.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return false;
  wchar_t full[MAX_PATH * 4];
  wchar_t* namePart = nullptr;
  if (GetFullPathNameW(target.c_str(), MAX_PATH * 4, full, &namePart) == 0 || namePart == nullptr) return false;
  *namePart = L'\0';
  const DWORD folder = GetFileAttributesW(full);
  return folder != INVALID_FILE_ATTRIBUTES && (folder & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
         (folder & FILE_ATTRIBUTE_READONLY) == 0;
}

bool WinCliHost::errorIsTerminal() {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

long WinCliHost::residentKb() {
  PROCESS_MEMORY_COUNTERS counters{};
  if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return -1;
  return static_cast<long>(counters.WorkingSetSize / 1024);
}

// Sockets are handles, not descriptors of a limited table: nothing to raise.
void WinCliHost::reserveConnections(int) {}

}  // namespace velmora::cli
