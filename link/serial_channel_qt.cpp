#include "link/serial_channel_qt.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

#include "base/clock.h"
#include "link/link_events_qt.h"
#include "link/serial_posix.h"

namespace velmora {

namespace {

std::error_code errnoCode(int e) { return std::error_code(e, std::generic_category()); }

// A write that makes no progress for this long has nowhere to go (the
// other end stopped reading); the caller gets false instead of a hang.
constexpr int kWriteStallMs = 5000;

// The write errors of a tty whose device has gone away (hung up or removed).
bool deviceGone(int e) { return e == EIO || e == ENXIO || e == ENODEV; }

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
  // tcsetattr succeeds when any part of the change took: a driver that
  // cannot do a speed, a character size or mark parity keeps its own value
  // and says nothing. Some refuse with EINVAL instead. Either way the
  // settings read back name what did not take.
  const int setError = ::tcsetattr(fd, TCSANOW, &t) == 0 ? 0 : errno;
  if (setError != 0 && setError != EINVAL) {
    lastError_ = errnoCode(setError);
    closeSerialDevice(fd);
    return false;
  }
  termios taken{};
  if (::tcgetattr(fd, &taken) != 0) {
    lastError_ = errnoCode(errno);
    closeSerialDevice(fd);
    return false;
  }
  const unsigned refused = lineSettingsMismatch(t, taken);
  if (refused != 0 || setError != 0) {
    lastError_ = refused != 0 ? lineSettingsError(refused) : errnoCode(setError);
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

  ++session_;
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
  lostErrno_ = 0;
  lostPosted_ = false;
}

std::error_code SerialChannel::lostReason() const {
  std::lock_guard<std::mutex> lock(queueMutex_);
  return lostErrno_ != 0 ? errnoCode(lostErrno_) : std::error_code();
}

void SerialChannel::markLost(int errorCode) {
  {
    std::lock_guard<std::mutex> lock(queueMutex_);
    if (lostErrno_ != 0) return;
    lostErrno_ = errorCode;
  }
  const uint64_t one = 1;
  [[maybe_unused]] const ssize_t w = ::write(notifyFd_, &one, sizeof one);
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
  ++session_;
  opened_.store(false);
}

void SerialChannel::postQueued() {
  uint64_t count = 0;
  [[maybe_unused]] const ssize_t n = ::read(notifyFd_, &count, sizeof count);  // re-arms the notifier
  std::vector<uint8_t> bytes;
  int lost = 0;
  uint64_t arrived = 0;
  {
    std::lock_guard<std::mutex> lock(queueMutex_);
    bytes.swap(queue_);
    arrived = queuedAtUs_;
    if (lostErrno_ != 0 && !lostPosted_) {
      lost = lostErrno_;
      lostPosted_ = true;
    }
  }
  if (owner_ == nullptr) return;
  for (uint8_t b : bytes) QCoreApplication::postEvent(owner_, new SerialByteEvent(session_, b, arrived));
  // After the bytes: whatever the device said before it went still counts.
  if (lost != 0) QCoreApplication::postEvent(owner_, new SerialLostEvent(session_, lost));
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
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
      if (deviceGone(errno)) markLost(errno);
      return false;
    }
    pollfd p{fd_, POLLOUT, 0};
    const int r = ::poll(&p, 1, kWriteStallMs);
    if (r < 0 && errno == EINTR) continue;
    if (r > 0 && (p.revents & (POLLERR | POLLHUP))) markLost(ENODEV);
    if (r <= 0 || (p.revents & (POLLERR | POLLHUP | POLLNVAL))) return false;
  }
  return true;
}

void SerialChannel::readLoop() {
  uint8_t buffer[kSerialReadChunk];
  pollfd fds[2] = {{fd_, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
  int lost = 0;
  while (running_.load()) {
    // Bytes and the wake-up from close() both end the wait; the bound is
    // only a safety net.
    const int r = ::poll(fds, 2, 5000);
    if (r < 0) {
      if (errno == EINTR) continue;
      lost = errno;
      break;
    }
    if (r == 0 || (fds[1].revents & POLLIN)) continue;  // the loop condition decides
    const short got = fds[0].revents;
    if (got & POLLNVAL) {
      lost = EBADF;
      break;
    }
    if ((got & (POLLIN | POLLHUP | POLLERR)) == 0) continue;
    // A hang-up can come with bytes still to read; the read says which.
    const ssize_t n = ::read(fd_, buffer, sizeof buffer);
    const int readError = n < 0 ? errno : 0;
    if (n > 0) {
      {
        std::lock_guard<std::mutex> lock(queueMutex_);
        queue_.insert(queue_.end(), buffer, buffer + n);
        queuedAtUs_ = steadyUs();
      }
      const uint64_t one = 1;
      [[maybe_unused]] const ssize_t w = ::write(notifyFd_, &one, sizeof one);
      continue;
    }
    if (readError == EINTR) continue;
    const bool nothingYet = readError == EAGAIN || readError == EWOULDBLOCK;
    if (nothingYet && (got & (POLLHUP | POLLERR)) == 0) continue;
    // A read error (EIO from a USB adapter that is going), or end of file:
    // a hung-up tty (its adapter pulled out, a pty's other side closed)
    // reads nothing ever again and polls ready at once, so going on would
    // only spin. The reader ends here.
    lost = (readError != 0 && !nothingYet) ? readError : ENODEV;
    break;
  }
  // A stop asked for by close() is no loss.
  if (lost != 0 && running_.load()) markLost(lost);
  readerActive_.store(false);
}

}  // namespace velmora
