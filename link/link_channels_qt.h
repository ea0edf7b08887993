// The two channels of a device link, as the connection page and velmora-cli
// both use them: a serial port and a TCP connection behind the SerialLink
// and TcpLink interfaces. Their notifications are posted to an owner object,
// whose customEvent hands each to dispatch(); what a closed link left in the
// queue goes nowhere.
#pragma once

#include <QObject>

#include <functional>
#include <string>
#include <vector>

#include "link/channel.h"
#include "link/client_socket_qt.h"
#include "link/serial_channel_qt.h"
#include "link/serial_ports.h"

class QEvent;

namespace velmora {

class QtLinkChannels {
 public:
  // owner receives the notifications (on the thread that opens the channels)
  // and must outlive the open channels.
  explicit QtLinkChannels(QObject* owner);
  ~QtLinkChannels();
  QtLinkChannels(const QtLinkChannels&) = delete;
  QtLinkChannels& operator=(const QtLinkChannels&) = delete;

  SerialLink& serial() { return serial_; }
  TcpLink& tcp() { return tcp_; }

  // Hands a notification of the current links to sink. False when event is
  // no link notification (the owner's base class takes it then).
  bool dispatch(QEvent* event, LinkEventSink& sink) const;

  // Replaces the search for serial devices; empty restores the real one.
  void setPortLister(std::function<std::vector<std::string>()> lister) { serial_.lister = std::move(lister); }
  // TCP connects run on the event loop (ClientSocket::setAsyncConnect).
  void setAsyncConnect(bool on) { tcp_.socket.setAsyncConnect(on); }
  // Replaces the host name resolver (tests); empty restores the system's.
  void setHostResolver(HostLookup::Resolver resolver) { tcp_.socket.setResolver(std::move(resolver)); }
  // When ports came and went, for the port doctor's account of a failed
  // open (null: not known); must outlive the channels or be reset.
  void setPortHistory(const PortHistory* history) { serial_.history = history; }

 private:
  struct Serial final : SerialLink {
    bool open(const std::string& path, const SerialSettings& settings, std::error_code& error) override;
    void close() override { channel.close(); }
    bool isOpen() const override { return channel.isOpen(); }
    bool send(const uint8_t* data, int32_t length) override { return channel.write(data, length); }
    std::error_code lostReason() const override { return channel.lostReason(); }
    std::vector<std::string> listPorts() override;
    std::vector<std::string> openFailureNotes(const std::string& path, const std::error_code& error) override;
    const PortHistory* history = nullptr;
    QObject* owner = nullptr;
    SerialChannel channel;
    std::function<std::vector<std::string>()> lister;
  };
  struct Tcp final : TcpLink {
    TcpConnectStart open(const std::string& host, int32_t port) override;
    void close() override { socket.disconnect(); }
    bool isOpen() const override { return socket.connected(); }
    bool send(const uint8_t* data, int32_t length) override { return socket.Send(data, length) == length; }
    std::error_code connectError() const override { return socket.connectError(); }
    ClientSocket socket;
  };

  Serial serial_;
  Tcp tcp_;
};

}  // namespace velmora
