#include "link/client_socket_qt.h"

#include <QCoreApplication>
#include <QNetworkProxy>
#include <QTcpSocket>
#include <QTimer>

#include <sys/socket.h>
#include <time.h>

#include <algorithm>
#include <array>
#include <cstring>

#include "base/clock.h"
#include "link/link_events_qt.h"

namespace velmora {

namespace {

// A send that cannot get rid of its bytes for this long has failed.
constexpr int kSendStallMs = 5000;

// The system's reason behind a socket error, as the logic explains it.
std::error_code reasonOf(QAbstractSocket::SocketError error) {
  switch (error) {
    case QAbstractSocket::ConnectionRefusedError: return std::make_error_code(std::errc::connection_refused);
    case QAbstractSocket::SocketTimeoutError: return std::make_error_code(std::errc::timed_out);
    case QAbstractSocket::NetworkError: return std::make_error_code(std::errc::network_unreachable);
    case QAbstractSocket::SocketAccessError: return std::make_error_code(std::errc::permission_denied);
    case QAbstractSocket::SocketResourceError: return std::make_error_code(std::errc::too_many_files_open);
    default: return std::make_error_code(std::errc::io_error);
  }
}

// The device sits on the local network: straight there, never through a
// proxy the desktop may have configured.
std::unique_ptr<QTcpSocket> newSocket() {
  auto socket = std::make_unique<QTcpSocket>();
  socket->setProxy(QNetworkProxy::NoProxy);
  return socket;
}

// Unbuffered: the bytes stay in the system until onReadyRead takes them, so
// their arrival stamp can be read there, and no socket keeps a 16 KiB buffer
// of its own (apply holds many links at once).
constexpr QIODevice::OpenMode kOpenMode = QIODevice::ReadWrite | QIODevice::Unbuffered;

}  // namespace

ClientSocket::ClientSocket() = default;

ClientSocket::~ClientSocket() {
  disconnect();
  dropSocket();
}

void ClientSocket::startConnect(const QHostAddress& address, quint16 port, int connectLimitMs) {
  connecting_ = newSocket();
  QTcpSocket* s = connecting_.get();
  QObject::connect(s, &QAbstractSocket::connected, s, [this] {
    connectLimit_->stop();
    connectError_.clear();
    QTcpSocket* up = connecting_.release();
    QObject::disconnect(up, nullptr, nullptr, nullptr);
    adopt(std::unique_ptr<QTcpSocket>(up));
  });
  QObject::connect(s, &QAbstractSocket::errorOccurred, s,
                   [this](QAbstractSocket::SocketError error) { connectFailed(error); });
  if (!connectLimit_) {
    connectLimit_ = std::make_unique<QTimer>();
    connectLimit_->setSingleShot(true);
    QObject::connect(connectLimit_.get(), &QTimer::timeout, connectLimit_.get(),
                     [this] { connectFailed(QAbstractSocket::SocketTimeoutError); });
  }
  connectLimit_->start(connectLimitMs);
  s->connectToHost(address, port, kOpenMode);
}

void ClientSocket::dropConnecting() {
  // A connect under way is dropped without a notice, as a lookup is.
  if (!connecting_) return;
  connectLimit_->stop();
  QObject::disconnect(connecting_.get(), nullptr, nullptr, nullptr);
  connecting_->abort();
  connecting_.reset();
}

void ClientSocket::connectFailed(QAbstractSocket::SocketError error) {
  if (!connecting_) return;
  connectLimit_->stop();
  connectError_ = reasonOf(error);
  // Not deleted here: this may run inside the socket's own signal.
  QTcpSocket* s = connecting_.release();
  QObject::disconnect(s, nullptr, nullptr, nullptr);
  s->abort();
  s->deleteLater();
  post(new TcpConnectEvent(session_, 1, static_cast<int32_t>(TcpConnectFailure::ConnectFailed)));
}

void ClientSocket::post(QEvent* event) {
  if (notify_)
    QCoreApplication::postEvent(notify_, event);
  else
    delete event;
}

void ClientSocket::dropSocket() {
  if (!socket_) return;
  QObject::disconnect(socket_.get(), nullptr, nullptr, nullptr);
  socket_->abort();
  socket_.reset();
}

TcpConnectStart ClientSocket::connectTo(const QString& host, quint16 port, int connectLimitMs, int lookupLimitMs) {
  if (connected_) return TcpConnectStart::Connected;
  lookup_.cancel();
  dropConnecting();
  connectError_.clear();
  if (port == 0 || host.isEmpty()) return TcpConnectStart::Failed;
  QHostAddress literal;
  const bool isLiteral = literal.setAddress(host);
  if (isLiteral && literal.protocol() != QAbstractSocket::IPv4Protocol) return TcpConnectStart::Failed;
  if (isLiteral && !asyncConnect_)
    return connectAddress(literal, port, connectLimitMs) ? TcpConnectStart::Connected : TcpConnectStart::Failed;
  // The attempt's own notice must be the next one the owner sees: an "up"
  // notice of an earlier connection still queued would pass for it.
  if (notify_) QCoreApplication::removePostedEvents(notify_, TcpConnectEvent::kType);
  if (isLiteral) {
    startConnect(literal, port, connectLimitMs);
    return TcpConnectStart::Pending;
  }
  lookup_.start(host, lookupLimitMs, [this, port, connectLimitMs](const QHostAddress& address, TcpConnectFailure why) {
    if (address.isNull()) {
      post(new TcpConnectEvent(session_, 1, static_cast<int32_t>(why)));
    } else if (asyncConnect_) {
      startConnect(address, port, connectLimitMs);
    } else if (!connectAddress(address, port, connectLimitMs)) {
      post(new TcpConnectEvent(session_, 1, static_cast<int32_t>(TcpConnectFailure::ConnectFailed)));
    }
  });
  return TcpConnectStart::Pending;
}

bool ClientSocket::connectAddress(const QHostAddress& address, quint16 port, int connectLimitMs) {
  auto socket = newSocket();
  socket->connectToHost(address, port, kOpenMode);
  if (!socket->waitForConnected(connectLimitMs)) {
    connectError_ = reasonOf(socket->error());
    socket->abort();
    return false;
  }
  connectError_.clear();
  adopt(std::move(socket));
  return true;
}

void ClientSocket::adopt(std::unique_ptr<QTcpSocket> socket) {
  // The socket of a connection the peer ended stays until now.
  dropSocket();
  socket_ = std::move(socket);

  QTcpSocket* s = socket_.get();
  // The system stamps each segment as it arrives (see arrivalOf).
  const int on = 1;
  ::setsockopt(static_cast<int>(s->socketDescriptor()), SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on);
  QObject::connect(s, &QTcpSocket::readyRead, s, [this] { onReadyRead(); });
  QObject::connect(s, &QAbstractSocket::stateChanged, s, [this](QAbstractSocket::SocketState state) {
    if (state != QAbstractSocket::UnconnectedState) return;
    // A peer's orderly close is no error; anything else passes its code on.
    const QAbstractSocket::SocketError e = socket_ ? socket_->error() : QAbstractSocket::UnknownSocketError;
    onLost(e == QAbstractSocket::RemoteHostClosedError || e == QAbstractSocket::UnknownSocketError
               ? 0
               : static_cast<int>(e));
  });

  connected_ = true;
  closeNotified_ = false;
  ++session_;
  post(new TcpConnectEvent(session_, 0, 0));
}

void ClientSocket::onReadyRead() {
  // Everything there now goes out in this pass: no byte waits for another
  // readyRead that may never come.
  while (socket_) {
    const qint64 waiting = socket_->bytesAvailable();
    const uint64_t arrived = arrivalOf(static_cast<int>(std::min<qint64>(waiting, kTcpReceiveBlock)));
    // An unbuffered socket learns of the peer's close only from a read, and
    // then changes its state without a signal.
    const QByteArray chunk = socket_->read(kTcpReceiveBlock);
    if (!chunk.isEmpty()) {
      const auto* bytes = reinterpret_cast<const uint8_t*>(chunk.constData());
      post(new TcpReceiveEvent(session_, std::vector<uint8_t>(bytes, bytes + chunk.size()), arrived));
    }
    if (socket_->state() != QAbstractSocket::ConnectedState) {
      const QAbstractSocket::SocketError e = socket_->error();
      onLost(e == QAbstractSocket::RemoteHostClosedError || e == QAbstractSocket::UnknownSocketError ? 0
                                                                                                     : static_cast<int>(e));
      return;
    }
    if (chunk.size() >= waiting) break;
  }
}

// When the newest of the next count bytes reached the system, on the steady
// clock: the answer's own time, however late the event loop came to it (an
// idle processor takes a few hundred microseconds to wake). Now when the
// system keeps no stamp.
uint64_t ClientSocket::arrivalOf(int count) const {
  const uint64_t now = steadyUs();
  if (!socket_ || count <= 0) return now;
  std::array<char, kTcpReceiveBlock> peek;
  alignas(cmsghdr) std::array<char, CMSG_SPACE(sizeof(timespec))> control;
  iovec io{peek.data(), static_cast<size_t>(std::min<int>(count, kTcpReceiveBlock))};
  msghdr m{};
  m.msg_iov = &io;
  m.msg_iovlen = 1;
  m.msg_control = control.data();
  m.msg_controllen = control.size();
  if (::recvmsg(static_cast<int>(socket_->socketDescriptor()), &m, MSG_PEEK | MSG_DONTWAIT) <= 0) return now;
  for (cmsghdr* c = CMSG_FIRSTHDR(&m); c != nullptr; c = CMSG_NXTHDR(&m, c)) {
    if (c->cmsg_level != SOL_SOCKET || c->cmsg_type != SCM_TIMESTAMPNS) continue;
    timespec stamp{};
    std::memcpy(&stamp, CMSG_DATA(c), sizeof stamp);
    timespec real{};
    ::clock_gettime(CLOCK_REALTIME, &real);
    const int64_t ageNs = (int64_t{real.tv_sec} - stamp.tv_sec) * 1'000'000'000 + (real.tv_nsec - stamp.tv_nsec);
    // A wall clock that was set meanwhile gives no usable age.
    if (ageNs < 0 || static_cast<uint64_t>(ageNs / 1000) > now) return now;
    return now - static_cast<uint64_t>(ageNs / 1000);
  }
  return now;
}

void ClientSocket::onLost(int errorCode) {
  if (!connected_) return;
  connected_ = false;
  // The socket stays until the next connect or destruction.
  if (!closeNotified_) {
    closeNotified_ = true;
    post(new TcpCloseEvent(session_, errorCode));
  }
}

void ClientSocket::disconnect() {
  lookup_.cancel();
  dropConnecting();
  if (!connected_) return;
  // Our own close must not come back through the state signal.
  QObject::disconnect(socket_.get(), nullptr, nullptr, nullptr);
  socket_->close();
  connected_ = false;
  if (!closeNotified_) {
    closeNotified_ = true;
    post(new TcpCloseEvent(session_, 0));
  }
  // Blocks still queued from this connection are the user's to drop.
  ++session_;
}

int64_t ClientSocket::Send(const uint8_t* data, int32_t length) {
  if (!connected_ || !socket_ || length < 0 || (data == nullptr && length > 0)) return -1;
  if (length == 0) return 0;
  if (socket_->write(reinterpret_cast<const char*>(data), length) != length) return -1;
  // A frame goes out at once: the pacing counts from here. Waiting is only
  // for what the system did not take in one go.
  socket_->flush();
  while (socket_ && socket_->bytesToWrite() > 0) {
    if (!socket_->waitForBytesWritten(kSendStallMs)) return -1;
  }
  return connected_ ? length : -1;
}

quint16 ClientSocket::localPort() const { return socket_ ? socket_->localPort() : 0; }

}  // namespace velmora
