// A pseudo-terminal pair for the serial tests: the channel opens the
// slave by its path, the test plays the device on the master. Also the
// helpers every Qt link test shares: the bounded wait, byte patterns, and a
// name resolver that never asks the machine's.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHostInfo>
#include <QObject>
#include <QTimer>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <vector>

#include "link/host_lookup_qt.h"
#include "link/link_events_qt.h"

namespace velmora::testing {

class PtyPair {
 public:
  PtyPair() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ >= 0 && ::grantpt(master_) == 0 && ::unlockpt(master_) == 0) {
      char name[128] = {};
      if (::ptsname_r(master_, name, sizeof name) == 0) slavePath_ = name;
    }
  }
  ~PtyPair() { closeMaster(); }
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;

  bool ok() const { return master_ >= 0 && !slavePath_.empty(); }
  const std::string& slavePath() const { return slavePath_; }
  int master() const { return master_; }
  void closeMaster() {
    if (master_ >= 0) ::close(master_);
    master_ = -1;
  }

  // Writes everything from the device side.
  bool write(const std::vector<uint8_t>& bytes) const {
    size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
      if (n <= 0) return false;
      done += static_cast<size_t>(n);
    }
    return true;
  }

  // Reads what the channel sent until count bytes came or timeoutMs passed.
  std::vector<uint8_t> read(size_t count, int timeoutMs) const {
    std::vector<uint8_t> out;
    QElapsedTimer clock;
    clock.start();
    while (out.size() < count && clock.elapsed() < timeoutMs) {
      pollfd p{master_, POLLIN, 0};
      if (::poll(&p, 1, 20) <= 0) continue;
      uint8_t buffer[4096];
      const ssize_t n = ::read(master_, buffer, sizeof buffer);
      if (n <= 0) break;
      out.insert(out.end(), buffer, buffer + n);
    }
    return out;
  }

 private:
  int master_ = -1;
  std::string slavePath_;
};

// Collects what the serial channel posts: the bytes, and each loss notice
// with the number of bytes that came before it.
class ByteSink : public QObject {
 public:
  std::vector<uint8_t> bytes;
  struct Loss {
    int errorCode;
    size_t bytesBefore;
  };
  std::vector<Loss> losses;

 protected:
  void customEvent(QEvent* event) override {
    if (event->type() == SerialByteEvent::kType) bytes.push_back(static_cast<SerialByteEvent*>(event)->byte);
    if (event->type() == SerialLostEvent::kType)
      losses.push_back({static_cast<SerialLostEvent*>(event)->errorCode, bytes.size()});
  }
};

// Runs the event loop until done() or timeoutMs; the result of done().
inline bool waitUntil(const std::function<bool()>& done, int timeoutMs = 3000) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > timeoutMs) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    ::usleep(1000);
  }
  return true;
}

inline std::vector<uint8_t> pattern(size_t count, uint8_t seed = 0) {
  std::vector<uint8_t> out(count);
  for (size_t i = 0; i < count; ++i) out[i] = static_cast<uint8_t>(i * 7 + seed + i / 251);
  return out;
}

// A resolver that answers every name after delayMs, on the UI thread as the
// system's does, with addresses or error; a negative delay never answers.
// Each name asked lands in asked.
inline HostLookup::Resolver fakeResolver(std::vector<QString>* asked, QList<QHostAddress> addresses, int delayMs,
                                         QHostInfo::HostInfoError error = QHostInfo::NoError) {
  return [=](const QString& name, QObject* context, std::function<void(const QHostInfo&)> answer) {
    if (asked) asked->push_back(name);
    if (delayMs < 0) return;
    QTimer::singleShot(delayMs, context, [=] {
      QHostInfo info;
      info.setHostName(name);
      info.setAddresses(addresses);
      info.setError(error);
      answer(info);
    });
  };
}

}  // namespace velmora::testing
