// The serial channel: a tty opened exclusively with the chosen line
// settings, one reader thread, every received byte posted to the owner as a
// SerialByteEvent, and synchronous writes from the owner's thread. When the
// device goes away (an adapter pulled out) the reader stops and the owner
// gets one SerialLostEvent after the last byte.
//
// The reader only reads: it queues the bytes under a mutex and rings an
// eventfd; a socket notifier in the thread that opened the channel takes
// them and posts the events. So the hand-over is a plain mutex that race
// checkers can follow, and no event object crosses threads.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "link/connect_logic.h"

class QObject;
class QSocketNotifier;

namespace velmora {

class SerialChannel {
 public:
  SerialChannel();
  ~SerialChannel();
  SerialChannel(const SerialChannel&) = delete;
  SerialChannel& operator=(const SerialChannel&) = delete;

  // Opens path and starts the reader; bytes are posted to owner (may be
  // null: they are then read and dropped). Already open: true, and the
  // first settings and reader stay. Settings the device did not take fail
  // the open (lineSettingsError). On failure lastError() says why.
  // owner must outlive the open channel; close() before it goes. The
  // calling thread needs an event loop for the bytes to be posted.
  bool open(QObject* owner, const std::string& path, const SerialSettings& settings);
  bool open(QObject* owner, const std::string& path, int32_t baudRate, int32_t byteSize, int32_t stopBits,
            int32_t parity) {
    return open(owner, path, SerialSettings{baudRate, byteSize, stopBits, parity});
  }
  // Stops the reader (at once, it is woken), then closes the port. Bytes
  // read but not yet posted are dropped, and so are the events already
  // posted: they carry a session that has ended.
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
  // Why the device went away, as soon as the reader or a write has seen it;
  // empty while it is there and after close().
  std::error_code lostReason() const;
  // The stamp of the events posted now; it changes at every open and close.
  uint32_t session() const { return session_; }
  // Only for checking the line settings that reached the device.
  int descriptor() const { return fd_; }

 private:
  void readLoop();
  void postQueued();
  void releaseDescriptors();
  // Records the first reason the device is gone and wakes the owner's side.
  void markLost(int errorCode);

  int fd_ = -1;
  int wakeFd_ = -1;    // close() -> reader: stop
  int notifyFd_ = -1;  // reader -> owner's thread: bytes queued
  QObject* owner_ = nullptr;
  std::string path_;
  SerialSettings settings_;
  std::error_code lastError_;
  std::atomic<bool> opened_{false};
  std::atomic<bool> running_{false};
  std::atomic<bool> readerActive_{false};
  std::thread reader_;
  std::unique_ptr<QSocketNotifier> notifier_;
  uint32_t session_ = 0;  // owner's thread only
  mutable std::mutex queueMutex_;
  std::vector<uint8_t> queue_;  // guarded by queueMutex_
  uint64_t queuedAtUs_ = 0;     // guarded by queueMutex_: steady clock of the latest read
  int lostErrno_ = 0;           // guarded by queueMutex_; 0 while the device is there
  bool lostPosted_ = false;     // guarded by queueMutex_
};

}  // namespace velmora
