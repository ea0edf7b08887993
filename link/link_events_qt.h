// The channels' notifications as posted Qt events. Each type is
// QEvent::User + the message value; a byte block travels inside its event,
// so whoever receives the event owns the bytes and they go with it.
#pragma once

#include <QEvent>

#include <cstdint>
#include <vector>

#include "link/link_messages.h"

namespace velmora {

constexpr QEvent::Type linkEventType(int32_t message) { return static_cast<QEvent::Type>(QEvent::User + message); }

class TcpConnectEvent : public QEvent {
 public:
  static constexpr QEvent::Type kType = linkEventType(WM_LINK_TCP_CONNECT);
  TcpConnectEvent(int32_t failed, int32_t errorCode) : QEvent(kType), failed(failed), errorCode(errorCode) {}
  const int32_t failed;  // 0 connection up, 1 not up
  const int32_t errorCode;
};

class TcpReceiveEvent : public QEvent {
 public:
  static constexpr QEvent::Type kType = linkEventType(WM_LINK_TCP_RECEIVE);
  explicit TcpReceiveEvent(std::vector<uint8_t> block) : QEvent(kType), block(std::move(block)) {}
  std::vector<uint8_t> block;
};

class TcpCloseEvent : public QEvent {
 public:
  static constexpr QEvent::Type kType = linkEventType(WM_LINK_TCP_CLOSE);
  explicit TcpCloseEvent(int32_t errorCode) : QEvent(kType), errorCode(errorCode) {}
  const int32_t errorCode;
};

class SerialByteEvent : public QEvent {
 public:
  static constexpr QEvent::Type kType = linkEventType(WM_LINK_SERIAL_BYTE);
  explicit SerialByteEvent(uint8_t byte) : QEvent(kType), byte(byte) {}
  const uint8_t byte;
};

class ScanReplyEvent : public QEvent {
 public:
  static constexpr QEvent::Type kType = linkEventType(WM_SCAN_REPLY);
  explicit ScanReplyEvent(std::vector<uint8_t> block) : QEvent(kType), block(std::move(block)) {}
  std::vector<uint8_t> block;
};

}  // namespace velmora
