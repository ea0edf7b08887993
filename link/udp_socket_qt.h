// The scan's datagram socket: bound to a port of the system's choosing,
// broadcasts allowed, every reply handed to the notify object as a posted
// ScanReplyEvent carrying the reply block.
#pragma once

#include <QHostAddress>

#include <cstdint>
#include <memory>
#include <vector>

#include "link/scan_logic.h"

class QObject;
class QUdpSocket;

namespace velmora {

class UdpSocket {
 public:
  UdpSocket();
  ~UdpSocket();
  UdpSocket(const UdpSocket&) = delete;
  UdpSocket& operator=(const UdpSocket&) = delete;

  // Sets the socket up (closing an earlier one); false leaves it closed.
  bool open(QObject* notify);
  void Close();
  bool isOpen() const { return socket_ != nullptr; }
  // One datagram; false when closed or the send failed.
  bool sendTo(const uint8_t* data, int32_t length, const QHostAddress& host, quint16 port);
  quint16 localPort() const;

 private:
  void onReadyRead();

  std::unique_ptr<QUdpSocket> socket_;
  QObject* notify_ = nullptr;
};

// The machine's interfaces with their IPv4 broadcast addresses, as the
// system reports them now.
std::vector<NetInterface> systemInterfaces();

}  // namespace velmora
