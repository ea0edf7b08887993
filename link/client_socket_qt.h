// The TCP channel: a connect with a two-second limit (IPv4 only), then
// events on the UI thread, handed to the notify object as posted
// TcpConnectEvent / TcpReceiveEvent / TcpCloseEvent. A host name is looked
// up off the UI thread first, so a slow name server never freezes the window.
#pragma once

#include <QAbstractSocket>
#include <QHostAddress>
#include <QString>

#include <cstdint>
#include <memory>
#include <system_error>

#include "link/connect_logic.h"
#include "link/host_lookup_qt.h"

class QEvent;
class QObject;
class QTcpSocket;
class QTimer;

namespace velmora {

class ClientSocket {
 public:
  ClientSocket();
  ~ClientSocket();
  ClientSocket(const ClientSocket&) = delete;
  ClientSocket& operator=(const ClientSocket&) = delete;

  // The object that receives the notifications; null posts nothing.
  void setNotify(QObject* window) { notify_ = window; }

  // Off (the window's way): a connect to an address waits for its end.
  // On: it runs on the event loop and connectTo answers Pending for an
  // address too; its end is posted as after a lookup, so one peer that
  // does not answer holds up nothing else on the thread.
  void setAsyncConnect(bool on) { asyncConnect_ = on; }

  // Replaces the name resolver (tests); empty restores the system's.
  void setResolver(HostLookup::Resolver resolver) { lookup_.setResolver(std::move(resolver)); }

  // Connects to host within connectLimitMs. Already connected: Connected at
  // once. A dotted IPv4 address connects now, with no lookup: Connected
  // (TcpConnectEvent(0, 0) posted) or Failed (nothing posted). A name is
  // looked up within lookupLimitMs and Pending is returned; when the lookup
  // answers, the connect to its first IPv4 address runs and its end is
  // posted: TcpConnectEvent(0, 0), or TcpConnectEvent(1, TcpConnectFailure).
  // Connect notices of earlier connections still queued are dropped then.
  // With setAsyncConnect an address is Pending and posted the same way.
  TcpConnectStart connectTo(const QString& host, quint16 port, int connectLimitMs = kTcpConnectLimitMs,
                            int lookupLimitMs = kTcpConnectLimitMs);
  bool lookingUp() const { return lookup_.busy() || connecting_ != nullptr; }
  // Drops a running lookup (its connect never starts, nothing is posted);
  // then closes the connection and posts the close notification, unless
  // one was already posted for this connection.
  void disconnect();
  // Writes the whole block, waiting until it has left; the count sent or -1.
  int64_t Send(const uint8_t* data, int32_t length);

  bool connected() const { return connected_; }
  // The stamp of the events posted now; it changes at every connect and at
  // the user's disconnect, not when the peer goes (what came before the
  // peer's close is still the device's answer).
  uint32_t session() const { return session_; }
  // The local port of the current or last connection (for tests and logs).
  quint16 localPort() const;
  // Why the latest connect to an address failed (refused, timed out,
  // unreachable); empty after a success and when no address was tried.
  std::error_code connectError() const { return connectError_; }

 private:
  bool connectAddress(const QHostAddress& address, quint16 port, int connectLimitMs);
  // The asynchronous connect: its end is posted.
  void startConnect(const QHostAddress& address, quint16 port, int connectLimitMs);
  void connectFailed(QAbstractSocket::SocketError error);
  void dropConnecting();
  // A connected socket becomes the channel's; "up" is posted.
  void adopt(std::unique_ptr<QTcpSocket> socket);
  void onReadyRead();
  uint64_t arrivalOf(int count) const;
  void onLost(int errorCode);
  void post(QEvent* event);
  void dropSocket();

  std::unique_ptr<QTcpSocket> socket_;
  std::unique_ptr<QTcpSocket> connecting_;  // the asynchronous connect under way
  std::unique_ptr<QTimer> connectLimit_;
  bool asyncConnect_ = false;
  QObject* notify_ = nullptr;
  bool connected_ = false;
  bool closeNotified_ = false;
  HostLookup lookup_;
  uint32_t session_ = 0;
  std::error_code connectError_;
};

}  // namespace velmora
