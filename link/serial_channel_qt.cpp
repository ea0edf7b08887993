#include "link/serial_channel_qt.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

#include "link/link_events_qt.h"
#include "link/serial_posix.h"

namespace velmora {

namespace {

std::error_code errnoCode(int e) { return std::error_code(e, std::generic_category()); }

// A write that makes no progress for this long has nowhere to go (the
// other end stopped reading); the caller gets false instead of a hang.
constexpr int kWriteStallMs = 5000;

}  // namespace

SerialChannel::SerialChannel() = default;

SerialChannel::~SerialChannel() { close(); }

bool SerialChannel::open(QObject* owner, const std::string& path, const SerialSettings& settings) {
  if (opened_.load()) return true;
  owner_ = owner;
  path_ = path;
  settings_ = settings;
  lastError_.clear();

  const int fd = openSerialDevice(path);
  if (fd < 0) {
    lastError_ = errnoCode(errno);
    return false;
  }
  termios t{};
  if (::tcgetattr(fd, &t) != 0) {
    lastError_ = errnoCode(errno);
    closeSerialDevice(fd);
    return false;
  }
  if (!applyLineSettings(t, settings)) {
    lastError_ = errnoCode(EINVAL);
    closeSerialDevice(fd);
    return false;
  }
  if (::tcsetattr(fd, TCSANOW, &t) != 0) {
    lastError_ = errnoCode(errno);
    closeSerialDevice(fd);
    return false;
  }
  // Whatever waited in either direction belongs to an earlier session.
  ::tcflush(fd, TCIOFLUSH);

  fd_ = fd;
  wakeFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  notifyFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (wakeFd_ < 0 || notifyFd_ < 0) {
    lastError_ = errnoCode(errno);
    releaseDescriptors();
    return false;
  }
  notifier_ = std::make_unique<QSocketNotifier>(notifyFd_, QSocketNotifier::Read);
  QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(), [this] { postQueued(); });

  running_.store(true);
  readerActive_.store(true);
  try {
    reader_ = std::thread(&SerialChannel::readLoop, this);
  } catch (const std::system_error& e) {
    // No thread to be had: the channel is of no use without its reader.
    running_.store(false);
    readerActive_.store(false);
    lastError_ = e.code();
    releaseDescriptors();
    return false;
  }
  opened_.store(true);
  return true;
}

void SerialChannel::releaseDescriptors() {
  notifier_.reset();
  if (notifyFd_ >= 0) ::close(notifyFd_);
  if (wakeFd_ >= 0) ::close(wakeFd_);
  closeSerialDevice(fd_);
  fd_ = wakeFd_ = notifyFd_ = -1;
  std::lock_guard<std::mutex> lock(queueMutex_);
  queue_.clear();
}

void SerialChannel::close() {
  if (!opened_.load()) return;
  running_.store(false);
  const uint64_t one = 1;
  // Wakes the reader out of poll(); if the counter were full it is awake anyway.
  [[maybe_unused]] const ssize_t n = ::write(wakeFd_, &one, sizeof one);
  if (reader_.joinable()) reader_.join();
  // Only now, with the reader gone, may the descriptors go.
  releaseDescriptors();
  opened_.store(false);
}

void SerialChannel::postQueued() {
  uint64_t count = 0;
  [[maybe_unused]] const ssize_t n = ::read(notifyFd_, &count, sizeof count);  // re-arms the notifier
  std::vector<uint8_t> bytes;
  {
    std::lock_guard<std::mutex> lock(queueMutex_);
    bytes.swap(queue_);
  }
  if (owner_ == nullptr) return;
  for (uint8_t b : bytes) QCoreApplication::postEvent(owner_, new SerialByteEvent(b));
}

bool SerialChannel::write(const uint8_t* data, int32_t length) {
  if (!opened_.load() || length < 0 || (data == nullptr && length > 0)) return false;
  int32_t done = 0;
  while (done < length) {
    const ssize_t n = ::write(fd_, data + done, static_cast<size_t>(length - done));
    if (n > 0) {
      done += static_cast<int32_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return false;
    pollfd p{fd_, POLLOUT, 0};
    const int r = ::poll(&p, 1, kWriteStallMs);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0 || (p.revents & (POLLERR | POLLHUP | POLLNVAL))) return false;
  }
  return true;
}

void SerialChannel::readLoop() {
  uint8_t buffer[kSerialReadChunk];
  pollfd fds[2] = {{fd_, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
  while (running_.load()) {
    // Bytes and the wake-up from close() both end the wait; the bound is
    // only a safety net.
    const int r = ::poll(fds, 2, 5000);
    if (r < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (r == 0 || (fds[1].revents & POLLIN)) continue;  // the loop condition decides
    if (fds[0].revents & POLLIN) {
      const ssize_t n = ::read(fd_, buffer, sizeof buffer);
      if (n > 0) {
        {
          std::lock_guard<std::mutex> lock(queueMutex_);
          queue_.insert(queue_.end(), buffer, buffer + n);
        }
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t w = ::write(notifyFd_, &one, sizeof one);
        continue;
      }
      if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) continue;
      break;  // end of file (hang-up) or a read error: the device is gone
    }
    if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) break;
  }
  readerActive_.store(false);
}

}  // namespace velmora
