// The TCP channel: a synchronous connect with a two-second limit (IPv4
// only), then events on the UI thread, handed to the notify object as posted
// TcpConnectEvent / TcpReceiveEvent / TcpCloseEvent.
#pragma once

#include <QString>

#include <cstdint>
#include <memory>

class QEvent;
class QObject;
class QTcpSocket;

namespace velmora {

class ClientSocket {
 public:
  ClientSocket();
  ~ClientSocket();
  ClientSocket(const ClientSocket&) = delete;
  ClientSocket& operator=(const ClientSocket&) = delete;

  // The object that receives the notifications; null posts nothing.
  void setNotify(QObject* window) { notify_ = window; }

  // Connects to host (dotted IPv4 or a name, which resolves to its first
  // IPv4 address) within connectLimitMs. Already connected: true at once.
  // Posts TcpConnectEvent (up) on success; nothing on failure.
  bool connectTo(const QString& host, quint16 port, int connectLimitMs = 2000);
  // Closes the connection and posts the close notification, unless one was
  // already posted for this connection. Nothing when not connected.
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

 private:
  void onReadyRead();
  void onLost(int errorCode);
  void post(QEvent* event);
  void dropSocket();

  std::unique_ptr<QTcpSocket> socket_;
  QObject* notify_ = nullptr;
  bool connected_ = false;
  bool closeNotified_ = false;
  uint32_t session_ = 0;
};

}  // namespace velmora
