#include "link/udp_socket_qt.h"

#include <QCoreApplication>
#include <QNetworkDatagram>
#include <QNetworkInterface>
#include <QNetworkProxy>
#include <QUdpSocket>

#include "base/text.h"
#include "link/link_events_qt.h"
#include "link/scan_logic.h"

namespace velmora {

UdpSocket::UdpSocket() = default;

UdpSocket::~UdpSocket() { Close(); }

bool UdpSocket::open(QObject* notify) {
  Close();
  auto socket = std::make_unique<QUdpSocket>();
  socket->setProxy(QNetworkProxy::NoProxy);
  // Qt turns SO_BROADCAST on for every datagram socket it creates.
  if (!socket->bind(QHostAddress(QHostAddress::AnyIPv4), 0)) return false;
  socket_ = std::move(socket);
  notify_ = notify;
  QUdpSocket* s = socket_.get();
  QObject::connect(s, &QUdpSocket::readyRead, s, [this] { onReadyRead(); });
  return true;
}

void UdpSocket::Close() {
  if (!socket_) return;
  QObject::disconnect(socket_.get(), nullptr, nullptr, nullptr);
  socket_->close();
  socket_.reset();
}

bool UdpSocket::sendTo(const uint8_t* data, int32_t length, const QHostAddress& host, quint16 port) {
  if (!socket_ || data == nullptr || length < 0) return false;
  return socket_->writeDatagram(reinterpret_cast<const char*>(data), length, host, port) == length;
}

quint16 UdpSocket::localPort() const { return socket_ ? socket_->localPort() : 0; }

void UdpSocket::onReadyRead() {
  while (socket_ && socket_->hasPendingDatagrams()) {
    const qint64 pending = socket_->pendingDatagramSize();
    char buffer[kScanMaxReply + 1];
    QHostAddress sender;
    // A datagram too long for the buffer is consumed and dropped.
    const qint64 n = socket_->readDatagram(buffer, sizeof buffer, &sender, nullptr);
    if (n < 0) break;  // nothing could be read after all
    if (n == 0 || pending > kScanMaxReply || n > kScanMaxReply) continue;
    bool ok = false;
    const quint32 v4 = sender.toIPv4Address(&ok);
    if (!ok || notify_ == nullptr) continue;
    const std::string text = dottedAddress(static_cast<uint32_t>(v4));
    QCoreApplication::postEvent(
        notify_, new ScanReplyEvent(buildScanReplyBlock(text, reinterpret_cast<const uint8_t*>(buffer),
                                                        static_cast<int32_t>(n))));
  }
}

std::vector<NetInterface> systemInterfaces() {
  std::vector<NetInterface> out;
  for (const QNetworkInterface& qi : QNetworkInterface::allInterfaces()) {
    NetInterface i;
    i.name = qi.name().toStdString();
    i.up = qi.flags().testFlag(QNetworkInterface::IsUp);
    i.loopback = qi.flags().testFlag(QNetworkInterface::IsLoopBack);
    if (qi.flags().testFlag(QNetworkInterface::CanBroadcast)) {
      for (const QNetworkAddressEntry& e : qi.addressEntries()) {
        if (e.ip().protocol() != QAbstractSocket::IPv4Protocol || e.broadcast().isNull()) continue;
        i.broadcasts.push_back(e.broadcast().toIPv4Address());
      }
    }
    out.push_back(std::move(i));
  }
  return out;
}

}  // namespace velmora
