// The serial channel: a tty opened exclusively with the chosen line
// settings, one reader thread that posts every received byte to the owner as
// a SerialByteEvent, and synchronous writes from the owner's thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <system_error>
#include <thread>

#include "link/connect_logic.h"

class QObject;

namespace velmora {

class SerialChannel {
 public:
  SerialChannel() = default;
  ~SerialChannel();
  SerialChannel(const SerialChannel&) = delete;
  SerialChannel& operator=(const SerialChannel&) = delete;

  // Opens path and starts the reader, which posts to owner (may be null:
  // the bytes are then read and dropped). Already open: true, and the
  // first settings and reader stay. On failure lastError() says why.
  // owner must outlive the open channel; close() before it goes.
  bool open(QObject* owner, const std::string& path, const SerialSettings& settings);
  bool open(QObject* owner, const std::string& path, int32_t baudRate, int32_t byteSize, int32_t stopBits,
            int32_t parity) {
    return open(owner, path, SerialSettings{baudRate, byteSize, stopBits, parity});
  }
  // Stops the reader (at once, it is woken), then closes the port.
  void close();
  bool isOpen() const { return opened_.load(); }
  // Every byte, in order, or false (not open, a write error, or no room for
  // 5 seconds on end).
  bool write(const uint8_t* data, int32_t length);

  std::error_code lastError() const { return lastError_; }
  // The settings and path of the latest open.
  const SerialSettings& settings() const { return settings_; }
  const std::string& path() const { return path_; }
  // False once the reader has stopped, also when it stopped on its own
  // (the device went away); the channel stays open until close().
  bool readerActive() const { return readerActive_.load(); }
  // Only for checking the line settings that reached the device.
  int descriptor() const { return fd_; }

 private:
  void readLoop();

  int fd_ = -1;
  int wakeFd_ = -1;
  QObject* owner_ = nullptr;
  std::string path_;
  SerialSettings settings_;
  std::error_code lastError_;
  std::atomic<bool> opened_{false};
  std::atomic<bool> running_{false};
  std::atomic<bool> readerActive_{false};
  std::thread reader_;
};

}  // namespace velmora
