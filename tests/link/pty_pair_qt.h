// What the Qt link tests share: a pty pair (the channel opens the slave, the
// test plays the device on the master), the bounded wait and a byte pattern.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QString>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <vector>

inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

namespace velmora::testing {

using Bytes = std::vector<uint8_t>;

class PtyPair {
 public:
  PtyPair() : master_(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC)) {
    char name[128] = {};
    if (master_ >= 0 && ::grantpt(master_) == 0 && ::unlockpt(master_) == 0 && ::ptsname_r(master_, name, sizeof name) == 0)
      slavePath_ = name;
  }
  ~PtyPair() { closeMaster(); }

  bool ok() const { return master_ >= 0 && !slavePath_.empty(); }
  const std::string& slavePath() const { return slavePath_; }
  void closeMaster() {  // the device goes away: the slave side hangs up
    if (master_ >= 0) ::close(master_);
    master_ = -1;
  }
  bool write(const Bytes& bytes) const {
    for (size_t done = 0; done < bytes.size();) {
      const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
      if (n <= 0) return false;
      done += static_cast<size_t>(n);
    }
    return true;
  }
  // What the channel sent, until count bytes came or timeoutMs passed.
  Bytes read(size_t count, int timeoutMs = 3000) const {
    Bytes out;
    QElapsedTimer clock;
    clock.start();
    for (pollfd p{master_, POLLIN, 0}; out.size() < count && clock.elapsed() < timeoutMs;) {
      uint8_t buffer[4096];
      const ssize_t n = ::poll(&p, 1, 20) > 0 ? ::read(master_, buffer, sizeof buffer) : 0;
      if (n < 0) break;
      out.insert(out.end(), buffer, buffer + n);
    }
    return out;
  }

 private:
  int master_;
  std::string slavePath_;
};

// Runs the event loop until done() or timeoutMs; the result of done().
inline bool waitUntil(const std::function<bool()>& done, int timeoutMs = 3000) {
  QElapsedTimer clock;
  clock.start();
  for (; !done(); ::usleep(1000)) {
    if (clock.elapsed() > timeoutMs) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  return true;
}
inline void settle(int ms) { waitUntil([] { return false; }, ms); }

inline Bytes pattern(size_t count, uint8_t seed = 0) {
  Bytes out(count);
  for (size_t i = 0; i < count; ++i) out[i] = static_cast<uint8_t>(i * 7 + seed + i / 251);
  return out;
}

}  // namespace velmora::testing
