// The serial channel on Windows: "\\.\COMn" opened for overlapped I/O with
// the line settings (SetCommState, then read back with GetCommState: what
// the driver did not take fails the open), one reader thread, and writes
// from the loop thread. The reader queues what it reads and posts one
// message per batch to the loop's window; the handler there hands each byte
// to the sink and, after the last byte, the loss of the device.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "link/channel.h"
#include "link/message_window_win.h"
#include "link/serial_ports.h"

namespace velmora {

// "COM3" or "\\.\COM3" (any case) as the name CreateFileW needs; empty when
// text names no COM port. COM10 and up open only with the "\\.\" prefix, and
// COM1 to COM9 open with it as well.
std::wstring comDevicePath(const std::string& text);

class WinSerialChannel final : public SerialLink {
 public:
  explicit WinSerialChannel(MessageWindow& window);
  ~WinSerialChannel() override;
  WinSerialChannel(const WinSerialChannel&) = delete;
  WinSerialChannel& operator=(const WinSerialChannel&) = delete;

  void setSink(LinkEventSink* sink) { sink_ = sink; }

  bool open(const std::string& path, const SerialSettings& settings, std::error_code& error) override;
  void close() override;
  bool isOpen() const override { return port_ != INVALID_HANDLE_VALUE; }
  bool send(const uint8_t* data, int32_t length) override;
  std::error_code lostReason() const override;
  std::vector<std::string> listPorts() override;
  // The port doctor's lines: a COM port that is not there, or that another
  // program holds (Windows does not say which).
  std::vector<std::string> openFailureNotes(const std::string& path, const std::error_code& error) override;
  // When ports came and went (the page's live list), for the doctor; may be null.
  void setHistory(const PortHistory* history) { history_ = history; }

 private:
  void readLoop();
  // Records the first reason the device is gone and tells the loop (of session).
  void markLost(std::error_code reason, uint32_t session);
  void deliver(WPARAM session);

  MessageWindow& window_;
  UINT message_ = 0;
  LinkEventSink* sink_ = nullptr;
  const PortHistory* history_ = nullptr;
  HANDLE port_ = INVALID_HANDLE_VALUE;
  HANDLE stop_ = nullptr;        // close() -> reader
  HANDLE writeDone_ = nullptr;   // the loop thread's overlapped writes
  std::atomic<bool> running_{false};
  std::thread reader_;
  uint32_t session_ = 0;  // loop thread only
  mutable std::mutex queueMutex_;
  std::vector<uint8_t> queue_;   // guarded by queueMutex_
  uint64_t queuedAtUs_ = 0;      // guarded by queueMutex_
  std::error_code lost_;         // guarded by queueMutex_
  bool lostPosted_ = false;      // guarded by queueMutex_
};

// The system's COM ports (HARDWARE\DEVICEMAP\SERIALCOMM), in number order.
std::vector<std::string> listComPorts();

}  // namespace velmora
