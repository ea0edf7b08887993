#include "link/client_socket_win.h"

#include <ws2tcpip.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "base/clock.h"
#include "base/text.h"
#include "link/scan_logic.h"
#include "base/win_text_win.h"

namespace velmora {

namespace {

// The most one receive notification carries, as on Linux.
constexpr int kReceiveBlock = 4096;
constexpr int kSendStallMs = 5000;

struct Lookup {
  std::mutex mutex;
  std::condition_variable done;
  bool answered = false;
  bool found = false;
  TcpConnectFailure why = TcpConnectFailure::LookupFailed;
  sockaddr_in address{};
};

// The first IPv4 address of host, looked up on a thread of its own so that
// a resolver that does not answer costs at most the connect limit.
bool lookUp(const std::string& host, sockaddr_in& address, TcpConnectFailure& why) {
  auto state = std::make_shared<Lookup>();
  std::thread([state, host] {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    const int r = getaddrinfo(host.c_str(), nullptr, &hints, &list);
    std::lock_guard<std::mutex> lock(state->mutex);
    if (r == 0 && list != nullptr) {
      state->address = *reinterpret_cast<const sockaddr_in*>(list->ai_addr);
      state->found = true;
    } else {
      state->why = r == WSAHOST_NOT_FOUND || r == WSANO_DATA ? TcpConnectFailure::HostNotFound
                                                              : TcpConnectFailure::LookupFailed;
    }
    if (list != nullptr) freeaddrinfo(list);
    state->answered = true;
    state->done.notify_all();
  }).detach();
  std::unique_lock<std::mutex> lock(state->mutex);
  if (!state->done.wait_for(lock, std::chrono::milliseconds(kTcpConnectLimitMs), [&] { return state->answered; })) {
    why = TcpConnectFailure::LookupTimedOut;
    return false;
  }
  why = state->why;
  address = state->address;
  return state->found;
}

SOCKET newStreamSocket() {
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) return s;
  // Every frame goes out at once: the protocol waits for each answer.
  const BOOL on = TRUE;
  setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
  return s;
}

}  // namespace

bool startWinsock() {
  static const bool started = [] {
    WSADATA data{};
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  return started;
}

WinTcpChannel::WinTcpChannel(MessageWindow& window) : window_(window) {
  startWinsock();
  socketMessage_ = window_.addMessage([this](WPARAM w, LPARAM l) { onSocketEvent(w, l); });
  noticeMessage_ = window_.addMessage([this](WPARAM w, LPARAM l) { onNotice(w, l); });
  limitTimer_ = window_.addTimer([this] {
    window_.stopTimer(limitTimer_);
    if (!connecting_) return;
    connecting_ = false;
    dropSocket();
    connectError_ = posixError(std::errc::timed_out);
    notice(1, static_cast<int>(TcpConnectFailure::ConnectFailed));
  });
}

WinTcpChannel::~WinTcpChannel() {
  close();
  window_.removeTimer(limitTimer_);
  window_.removeMessage(socketMessage_);
  window_.removeMessage(noticeMessage_);
}

void WinTcpChannel::notice(int failed, int code) {
  PostMessageW(window_.handle(), noticeMessage_, attempt_, static_cast<LPARAM>(failed | (code << 8)));
}

TcpConnectStart WinTcpChannel::open(const std::string& host, int32_t port) {
  if (connected_) return TcpConnectStart::Connected;
  // A connect under way is dropped without a notice.
  window_.stopTimer(limitTimer_);
  connecting_ = false;
  dropSocket();
  ++attempt_;
  connectError_.clear();
  if (port < 1 || port > 65535 || host.empty()) return TcpConnectStart::Failed;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  const bool literal = inet_pton(AF_INET, host.c_str(), &address.sin_addr) == 1;
  if (!literal) {
    // Only an IPv4 literal connects as given; IPv6 is refused as on Linux.
    in6_addr v6{};
    if (inet_pton(AF_INET6, host.c_str(), &v6) == 1) return TcpConnectStart::Failed;
  }
  if (literal) {
    address.sin_port = htons(static_cast<u_short>(port));
    if (!asyncConnect_) return connectNow(address) ? TcpConnectStart::Connected : TcpConnectStart::Failed;
    if (!startConnect(address)) notice(1, static_cast<int>(TcpConnectFailure::ConnectFailed));
    return TcpConnectStart::Pending;
  }
  TcpConnectFailure why = TcpConnectFailure::LookupFailed;
  if (!lookUp(host, address, why)) {
    notice(1, static_cast<int>(why));
    return TcpConnectStart::Pending;
  }
  address.sin_port = htons(static_cast<u_short>(port));
  const bool going = asyncConnect_ ? startConnect(address) : connectNow(address);
  if (!going) notice(1, static_cast<int>(TcpConnectFailure::ConnectFailed));
  return TcpConnectStart::Pending;
}

bool WinTcpChannel::connectNow(const sockaddr_in& address) {
  SOCKET s = newStreamSocket();
  if (s == INVALID_SOCKET) {
    connectError_ = winError(WSAGetLastError());
    return false;
  }
  u_long nonBlocking = 1;
  ioctlsocket(s, FIONBIO, &nonBlocking);
  int error = 0;
  if (connect(s, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    error = WSAGetLastError();
    if (error == WSAEWOULDBLOCK) {
      fd_set writable, failed;
      FD_ZERO(&writable);
      FD_ZERO(&failed);
      FD_SET(s, &writable);
      FD_SET(s, &failed);
      timeval limit{kTcpConnectLimitMs / 1000, (kTcpConnectLimitMs % 1000) * 1000};
      const int r = select(0, nullptr, &writable, &failed, &limit);
      if (r == 0) {
        error = WSAETIMEDOUT;
      } else if (r < 0) {
        error = WSAGetLastError();
      } else {
        int soError = 0;
        int length = sizeof soError;
        getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&soError), &length);
        error = FD_ISSET(s, &failed) && soError == 0 ? WSAECONNREFUSED : soError;
      }
    }
  }
  if (error != 0) {
    connectError_ = winError(static_cast<DWORD>(error));
    closesocket(s);
    return false;
  }
  adopt(s);
  return true;
}

bool WinTcpChannel::startConnect(const sockaddr_in& address) {
  SOCKET s = newStreamSocket();
  if (s == INVALID_SOCKET) {
    connectError_ = winError(WSAGetLastError());
    return false;
  }
  // WSAAsyncSelect makes the socket non-blocking.
  WSAAsyncSelect(s, window_.handle(), socketMessage_, FD_CONNECT | FD_READ | FD_CLOSE);
  if (connect(s, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 &&
      WSAGetLastError() != WSAEWOULDBLOCK) {
    connectError_ = winError(WSAGetLastError());
    closesocket(s);
    return false;
  }
  socket_ = s;
  connecting_ = true;
  window_.startTimer(limitTimer_, kTcpConnectLimitMs);
  return true;
}

void WinTcpChannel::adopt(SOCKET s) {
  socket_ = s;
  WSAAsyncSelect(s, window_.handle(), socketMessage_, FD_READ | FD_CLOSE);
  connected_ = true;
  closeNotified_ = false;
  connectError_.clear();
  notice(0, 0);
}

void WinTcpChannel::dropSocket() {
  if (socket_ == INVALID_SOCKET) return;
  WSAAsyncSelect(socket_, window_.handle(), 0, 0);
  closesocket(socket_);
  socket_ = INVALID_SOCKET;
}

void WinTcpChannel::close() {
  window_.stopTimer(limitTimer_);
  connecting_ = false;
  connected_ = false;
  dropSocket();
  // Notices still queued belong to the attempt that ended.
  ++attempt_;
}

bool WinTcpChannel::send(const uint8_t* data, int32_t length) {
  if (!connected_ || length < 0 || (data == nullptr && length > 0)) return false;
  int32_t done = 0;
  while (done < length) {
    const int n = ::send(socket_, reinterpret_cast<const char*>(data + done), length - done, 0);
    if (n > 0) {
      done += n;
      continue;
    }
    if (WSAGetLastError() != WSAEWOULDBLOCK) return false;
    fd_set writable;
    FD_ZERO(&writable);
    FD_SET(socket_, &writable);
    timeval limit{kSendStallMs / 1000, 0};
    if (select(0, nullptr, &writable, nullptr, &limit) <= 0) return false;
  }
  return true;
}

void WinTcpChannel::onNotice(WPARAM attempt, LPARAM value) {
  if (static_cast<uint32_t>(attempt) != attempt_ || sink_ == nullptr) return;
  sink_->onTcpConnectEvent(static_cast<int32_t>(value & 0xFF), static_cast<int32_t>(value >> 8));
}

void WinTcpChannel::onSocketEvent(WPARAM socket, LPARAM what) {
  if (static_cast<SOCKET>(socket) != socket_ || socket_ == INVALID_SOCKET) return;  // an earlier socket's
  const int event = WSAGETSELECTEVENT(what);
  const int error = WSAGETSELECTERROR(what);
  if (event == FD_CONNECT) {
    if (!connecting_) return;
    connecting_ = false;
    window_.stopTimer(limitTimer_);
    if (error != 0) {
      connectError_ = winError(static_cast<DWORD>(error));
      dropSocket();
      notice(1, static_cast<int>(TcpConnectFailure::ConnectFailed));
      return;
    }
    const SOCKET s = socket_;
    socket_ = INVALID_SOCKET;
    adopt(s);
    return;
  }
  if (!connected_) return;
  if (event == FD_READ) {
    readAll();
  } else if (event == FD_CLOSE) {
    // What the peer sent before it closed still counts.
    readAll();
    if (connected_) lost(error);
  }
}

void WinTcpChannel::readAll() {
  char buffer[kReceiveBlock];
  const uint32_t attempt = attempt_;
  while (connected_ && attempt == attempt_) {
    const int n = recv(socket_, buffer, sizeof buffer, 0);
    if (n > 0) {
      if (sink_ != nullptr) {
        sink_->onArrival(steadyUs());
        sink_->onTcpReceive(reinterpret_cast<const uint8_t*>(buffer), n);
      }
      continue;
    }
    if (n == 0) {
      lost(0);
      return;
    }
    const int e = WSAGetLastError();
    if (e != WSAEWOULDBLOCK) lost(e);
    return;
  }
}

void WinTcpChannel::lost(int code) {
  if (closeNotified_) return;
  closeNotified_ = true;
  connected_ = false;
  dropSocket();
  if (sink_ != nullptr) sink_->onTcpClose(code);
}

WinUdpSocket::WinUdpSocket(MessageWindow& window, Reply reply) : window_(window), reply_(std::move(reply)) {
  startWinsock();
  message_ = window_.addMessage([this](WPARAM w, LPARAM) {
    if (static_cast<SOCKET>(w) == socket_) readAll();
  });
}

WinUdpSocket::~WinUdpSocket() {
  close();
  window_.removeMessage(message_);
}

bool WinUdpSocket::open() {
  socket_ = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  if (socket_ == INVALID_SOCKET) return false;
  // The probe may go to a broadcast address, as the window's scan does.
  const BOOL on = TRUE;
  setsockopt(socket_, SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&on), sizeof on);
  sockaddr_in any{};
  any.sin_family = AF_INET;
  any.sin_addr.s_addr = htonl(INADDR_ANY);
  if (bind(socket_, reinterpret_cast<const sockaddr*>(&any), sizeof any) != 0) {
    closesocket(socket_);
    socket_ = INVALID_SOCKET;
    return false;
  }
  WSAAsyncSelect(socket_, window_.handle(), message_, FD_READ);
  return true;
}

bool WinUdpSocket::sendTo(const uint8_t* data, int32_t length, const std::string& ipv4, uint16_t port) {
  if (socket_ == INVALID_SOCKET || data == nullptr || length < 0) return false;
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(port);
  if (inet_pton(AF_INET, ipv4.c_str(), &to.sin_addr) != 1) return false;
  return sendto(socket_, reinterpret_cast<const char*>(data), length, 0, reinterpret_cast<const sockaddr*>(&to),
                sizeof to) == length;
}

void WinUdpSocket::close() {
  if (socket_ == INVALID_SOCKET) return;
  readAll();
  closesocket(socket_);
  socket_ = INVALID_SOCKET;
}

void WinUdpSocket::readAll() {
  char buffer[kScanMaxReply + 1];
  for (;;) {
    sockaddr_in from{};
    int fromLength = sizeof from;
    const int n = recvfrom(socket_, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &fromLength);
    if (n < 0) {
      // A datagram too long for the buffer is dropped; anything else ends the pass.
      if (WSAGetLastError() == WSAEMSGSIZE) continue;
      return;
    }
    if (n == 0 || n > kScanMaxReply || !reply_) continue;
    const std::string sender = dottedAddress(ntohl(from.sin_addr.s_addr));
    const std::vector<uint8_t> block =
        buildScanReplyBlock(sender, reinterpret_cast<const uint8_t*>(buffer), static_cast<int32_t>(n));
    reply_(block.data(), static_cast<int32_t>(block.size()));
  }
}

}  // namespace velmora
