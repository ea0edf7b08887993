// The TCP channel on Windows: a non-blocking socket whose events
// (WSAAsyncSelect: connect, read, close) arrive through the loop's message
// window. A connect may block for its answer up to the connect limit
// (select) or run on the loop (many links at once), ended by a timer.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <system_error>

#include "link/channel.h"
#include "link/message_window_win.h"

namespace velmora {

// Windows Sockets for the process, started once.
bool startWinsock();

class WinTcpChannel final : public TcpLink {
 public:
  explicit WinTcpChannel(MessageWindow& window);
  ~WinTcpChannel() override;
  WinTcpChannel(const WinTcpChannel&) = delete;
  WinTcpChannel& operator=(const WinTcpChannel&) = delete;

  void setSink(LinkEventSink* sink) { sink_ = sink; }
  void setAsyncConnect(bool on) { asyncConnect_ = on; }

  TcpConnectStart open(const std::string& host, int32_t port) override;
  void close() override;
  bool isOpen() const override { return connected_; }
  bool send(const uint8_t* data, int32_t length) override;
  std::error_code connectError() const override { return connectError_; }

 private:
  bool connectNow(const sockaddr_in& address);
  bool startConnect(const sockaddr_in& address);
  void adopt(SOCKET s);
  void dropSocket();
  void notice(int failed, int code);
  void onSocketEvent(WPARAM socket, LPARAM what);
  void onNotice(WPARAM attempt, LPARAM value);
  void readAll();
  void lost(int code);

  MessageWindow& window_;
  UINT socketMessage_ = 0;
  UINT noticeMessage_ = 0;
  UINT_PTR limitTimer_ = 0;
  LinkEventSink* sink_ = nullptr;
  bool asyncConnect_ = false;
  SOCKET socket_ = INVALID_SOCKET;
  bool connecting_ = false;
  bool connected_ = false;
  bool closeNotified_ = false;
  uint32_t attempt_ = 0;  // stamps the notices of one attempt or connection
  std::error_code connectError_;
};

// The scan's datagram socket: bound to any local address, each reply handed
// over as the block scan_logic reads (sender and payload).
class WinUdpSocket {
 public:
  using Reply = std::function<void(const uint8_t* block, int32_t size)>;
  WinUdpSocket(MessageWindow& window, Reply reply);
  ~WinUdpSocket();
  bool open();
  bool sendTo(const uint8_t* data, int32_t length, const std::string& ipv4, uint16_t port);
  // Takes the replies already there, then closes.
  void close();

 private:
  void readAll();

  MessageWindow& window_;
  Reply reply_;
  UINT message_ = 0;
  SOCKET socket_ = INVALID_SOCKET;
};

}  // namespace velmora
