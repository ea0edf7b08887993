// The channels' notifications as posted Qt events. Each type is
// QEvent::User + the message value; a byte block travels inside its event,
// so whoever receives the event owns the bytes and they go with it.
//
// Every link notification carries the session of the link it came from
// (the channel's count of opens and closes). dispatchLinkEvent hands on
// only those of the session the channel is in now: what a closed link left
// in the queue goes nowhere, also when the port is opened again before the
// queue gets to it.
#pragma once

#include <QEvent>

#include <cstdint>
#include <system_error>
#include <vector>

#include "link/link_messages.h"

namespace velmora {

constexpr QEvent::Type linkEventType(int32_t message) { return static_cast<QEvent::Type>(QEvent::User + message); }

class LinkEvent : public QEvent {
 public:
  LinkEvent(QEvent::Type type, uint32_t session) : QEvent(type), session(session) {}
  const uint32_t session;
};

class TcpConnectEvent : public LinkEvent {
 public:
  static constexpr QEvent::Type kType = linkEventType(WM_LINK_TCP_CONNECT);
  TcpConnectEvent(uint32_t session, int32_t failed, int32_t errorCode)
      : LinkEvent(kType, session), failed(failed), errorCode(errorCode) {}
  const int32_t failed;  // 0 connection up, 1 not up
  const int32_t errorCode;
};

class TcpReceiveEvent : public LinkEvent {
 public:
  static constexpr QEvent::Type kType = linkEventType(WM_LINK_TCP_RECEIVE);
  TcpReceiveEvent(uint32_t session, std::vector<uint8_t> block, uint64_t arrivedUs)
      : LinkEvent(kType, session), block(std::move(block)), arrivedUs(arrivedUs) {}
  std::vector<uint8_t> block;
  const uint64_t arrivedUs;  // steady clock: when the block was read off the socket
};

class TcpCloseEvent : public LinkEvent {
 public:
  static constexpr QEvent::Type kType = linkEventType(WM_LINK_TCP_CLOSE);
  TcpCloseEvent(uint32_t session, int32_t errorCode) : LinkEvent(kType, session), errorCode(errorCode) {}
  const int32_t errorCode;
};

class SerialByteEvent : public LinkEvent {
 public:
  static constexpr QEvent::Type kType = linkEventType(WM_LINK_SERIAL_BYTE);
  SerialByteEvent(uint32_t session, uint8_t byte, uint64_t arrivedUs)
      : LinkEvent(kType, session), byte(byte), arrivedUs(arrivedUs) {}
  const uint8_t byte;
  const uint64_t arrivedUs;  // steady clock: when the reader read it
};

// The reader stopped because the device went away; posted once, after the
// last byte it read.
class SerialLostEvent : public LinkEvent {
 public:
  static constexpr QEvent::Type kType = linkEventType(WM_LINK_SERIAL_LOST);
  SerialLostEvent(uint32_t session, int32_t errorCode) : LinkEvent(kType, session), errorCode(errorCode) {}
  const int32_t errorCode;  // errno
  std::error_code reason() const { return std::error_code(errorCode, std::generic_category()); }
};

class ScanReplyEvent : public QEvent {
 public:
  static constexpr QEvent::Type kType = linkEventType(WM_SCAN_REPLY);
  explicit ScanReplyEvent(std::vector<uint8_t> block) : QEvent(kType), block(std::move(block)) {}
  std::vector<uint8_t> block;
};

// The sessions the two channels are in now.
struct LinkSessions {
  uint32_t serial = 0;
  uint32_t tcp = 0;
};

// Hands a link notification to sink (the connection page's logic or the
// command line's session: onTcpConnectEvent, onTcpReceive, onTcpClose,
// onSerialByte, onSerialLost), or drops it when it belongs to an earlier
// session. False when event is no link notification.
template <typename Sink>
bool dispatchLinkEvent(QEvent* event, const LinkSessions& now, Sink& sink) {
  const int type = static_cast<int>(event->type());
  const bool serial = type == SerialByteEvent::kType || type == SerialLostEvent::kType;
  const bool tcp = type == TcpConnectEvent::kType || type == TcpReceiveEvent::kType || type == TcpCloseEvent::kType;
  if (!serial && !tcp) return false;
  if (static_cast<LinkEvent*>(event)->session != (serial ? now.serial : now.tcp)) return true;
  switch (type) {
    case TcpConnectEvent::kType: {
      const auto* e = static_cast<TcpConnectEvent*>(event);
      sink.onTcpConnectEvent(e->failed, e->errorCode);
      break;
    }
    case TcpReceiveEvent::kType: {
      const auto* e = static_cast<TcpReceiveEvent*>(event);
      sink.onArrival(e->arrivedUs);
      sink.onTcpReceive(e->block.data(), static_cast<int32_t>(e->block.size()));
      break;
    }
    case TcpCloseEvent::kType:
      sink.onTcpClose(static_cast<TcpCloseEvent*>(event)->errorCode);
      break;
    case SerialByteEvent::kType: {
      const auto* e = static_cast<SerialByteEvent*>(event);
      sink.onArrival(e->arrivedUs);
      sink.onSerialByte(e->byte);
      break;
    }
    case SerialLostEvent::kType:
      sink.onSerialLost(static_cast<SerialLostEvent*>(event)->reason());
      break;
  }
  return true;
}

}  // namespace velmora
