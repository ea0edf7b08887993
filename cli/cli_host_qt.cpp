#include "cli/cli_host_qt.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QHostAddress>
#include <QObject>
#include <QSocketNotifier>
#include <QTimer>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <map>
#include <utility>

#include "base/time_host.h"
#include "link/host_lookup_qt.h"
#include "link/link_channels_qt.h"
#include "link/link_events_qt.h"
#include "link/udp_socket_qt.h"
#include "protocol/transfer_engine.h"

namespace velmora::cli {

namespace {

// Real time and numbered Qt timers that hand their id back to one callback.
class QtTimers final : public SteadyTime<CliPlatform> {
 public:
  QtTimers(CliHost::Line errorLine, CliHost::Fired fired)
      : errorLine_(std::move(errorLine)), fired_(std::move(fired)) {}
  ~QtTimers() override {
    for (auto& entry : timers_) entry.second->stop();
  }

  void startTimer(int id, int ms) override {
    std::unique_ptr<QTimer>& timer = timers_[id];
    if (!timer) {
      timer = std::make_unique<QTimer>();
      // A coarse timer may fire early, and the device needs its whole pause.
      timer->setTimerType(id == kPaceTimerId ? Qt::PreciseTimer : Qt::CoarseTimer);
      QObject::connect(timer.get(), &QTimer::timeout, timer.get(), [this, id] {
        if (fired_) fired_(id);
      });
    }
    timer->start(ms);
  }
  void stopTimer(int id) override {
    const auto it = timers_.find(id);
    if (it != timers_.end()) it->second->stop();
  }
  void errorLine(const std::string& line) override {
    if (errorLine_) errorLine_(line);
  }

 private:
  CliHost::Line errorLine_;
  CliHost::Fired fired_;
  std::map<int, std::unique_ptr<QTimer>> timers_;
};

// Takes what the channels post and hands it to the sink, in order. The
// event object outlives the channels that post to it.
class QtSessionChannels final : public SessionChannels {
 public:
  explicit QtSessionChannels(bool asyncConnect) : channels_(&events_) {
    events_.channels = &channels_;
    // The command line names its device: no port is probed.
    channels_.setPortLister([] { return std::vector<std::string>{}; });
    channels_.setAsyncConnect(asyncConnect);
  }
  ~QtSessionChannels() override { events_.sink = nullptr; }
  SerialLink& serial() override { return channels_.serial(); }
  TcpLink& tcp() override { return channels_.tcp(); }
  void setSink(LinkEventSink* sink) override { events_.sink = sink; }

 private:
  struct Events final : QObject {
    void customEvent(QEvent* event) override {
      if (sink == nullptr || channels == nullptr || !channels->dispatch(event, *sink)) QObject::customEvent(event);
    }
    LinkEventSink* sink = nullptr;
    const QtLinkChannels* channels = nullptr;
  };
  Events events_;
  QtLinkChannels channels_;
};

// SIGINT: a flag the event loop hears through a pipe.
int gInterruptPipe[2] = {-1, -1};

extern "C" void onInterrupt(int) {
  const int saved = errno;
  const char byte = 1;
  if (gInterruptPipe[1] >= 0) (void)!write(gInterruptPipe[1], &byte, 1);
  errno = saved;
}

class QtInterruptWatch final : public InterruptWatch {
 public:
  explicit QtInterruptWatch(std::function<void()> handler) {
    if (gInterruptPipe[0] < 0 && pipe2(gInterruptPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    notifier_ = std::make_unique<QSocketNotifier>(gInterruptPipe[0], QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(), [this, handler] {
      char buffer[16];
      while (read(gInterruptPipe[0], buffer, sizeof buffer) > 0) {
      }
      interrupted_ = true;
      handler();
    });
    struct sigaction sa {};
    sa.sa_handler = onInterrupt;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, &previous_);
    installed_ = true;
  }
  ~QtInterruptWatch() override {
    if (installed_) sigaction(SIGINT, &previous_, nullptr);
  }
  bool interrupted() const override { return interrupted_; }

 private:
  std::unique_ptr<QSocketNotifier> notifier_;
  struct sigaction previous_ {};
  bool installed_ = false;
  bool interrupted_ = false;
};

// The scan's socket; replies arrive as posted events on the receiver.
class QtScanSocket final : public ScanSocket {
 public:
  explicit QtScanSocket(std::function<void(const uint8_t*, int32_t)> replyBlock) {
    receiver_.replyBlock = std::move(replyBlock);
  }
  bool open() { return socket_.open(&receiver_); }
  bool sendTo(const uint8_t* data, int32_t length, const std::string& ipv4, uint16_t port) override {
    return socket_.sendTo(data, length, QHostAddress(QString::fromStdString(ipv4)), port);
  }
  void close() override {
    // Replies the socket read in the last pass are still posted: take them too.
    QCoreApplication::sendPostedEvents(&receiver_);
    socket_.Close();
  }

 private:
  struct Receiver final : QObject {
    void customEvent(QEvent* event) override {
      if (event->type() != ScanReplyEvent::kType) {
        QObject::customEvent(event);
        return;
      }
      const auto* e = static_cast<ScanReplyEvent*>(event);
      if (replyBlock) replyBlock(e->block.data(), static_cast<int32_t>(e->block.size()));
    }
    std::function<void(const uint8_t*, int32_t)> replyBlock;
  };
  Receiver receiver_;
  UdpSocket socket_;
};

}  // namespace

std::unique_ptr<CliPlatform> QtCliHost::makeTimers(Line errorLine, Fired fired) {
  return std::make_unique<QtTimers>(std::move(errorLine), std::move(fired));
}

std::unique_ptr<SessionChannels> QtCliHost::makeChannels(bool asyncConnect) {
  return std::make_unique<QtSessionChannels>(asyncConnect);
}

void QtCliHost::runUntil(const std::function<bool()>& done) {
  while (!done()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

void QtCliHost::post(std::function<void()> fn) {
  QTimer::singleShot(0, QCoreApplication::instance(), std::move(fn));
}

std::unique_ptr<InterruptWatch> QtCliHost::watchInterrupt(std::function<void()> handler) {
  return std::make_unique<QtInterruptWatch>(std::move(handler));
}

std::optional<std::string> QtCliHost::lookUpIpv4(const std::string& host, TcpConnectFailure& failure) {
  const QString name = QString::fromStdString(host);
  QHostAddress literal;
  if (literal.setAddress(name)) {
    failure = TcpConnectFailure::NoIpv4Address;
    if (literal.protocol() != QAbstractSocket::IPv4Protocol) return std::nullopt;
    return literal.toString().toStdString();
  }
  QHostAddress found;
  bool answered = false;
  QEventLoop loop;
  HostLookup lookup;
  lookup.start(name, kTcpConnectLimitMs, [&](const QHostAddress& address, TcpConnectFailure why) {
    found = address;
    failure = why;
    answered = true;
    loop.quit();
  });
  if (!answered) loop.exec();
  if (found.isNull()) return std::nullopt;
  return found.toString().toStdString();
}

std::unique_ptr<ScanSocket> QtCliHost::openScanSocket(std::function<void(const uint8_t*, int32_t)> replyBlock) {
  auto socket = std::make_unique<QtScanSocket>(std::move(replyBlock));
  if (!socket->open()) return nullptr;
  return socket;
}

std::unique_ptr<SerialPortSystem> QtCliHost::serialPorts() {
  // The folders VELMORA_SERIAL_DIRS names, or /dev and /dev/serial/by-id.
  return makeSerialPortSystem(portFoldersFrom(std::getenv("VELMORA_SERIAL_DIRS")));
}

bool QtCliHost::canCreateFile(const std::string& path) {
  const QFileInfo target(QString::fromStdString(path));
  const QFileInfo directory(target.absolutePath());
  return !target.isDir() && directory.isDir() && directory.isWritable();
}

bool QtCliHost::errorIsTerminal() { return isatty(2) == 1; }

long QtCliHost::residentKb() {
  std::ifstream in("/proc/self/status");
  std::string key;
  long value = -1;
  while (in >> key) {
    if (key == "VmRSS:") {
      in >> value;
      break;
    }
    in.ignore(4096, '\n');
  }
  return value;
}

void QtCliHost::reserveConnections(int count) {
  // Each connection takes a descriptor (a serial port two, with its wake-up
  // pipe); the usual soft limit of 1024 is below what --jobs allows.
  const rlim_t wanted = static_cast<rlim_t>(count) * 4 + 64;
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur >= wanted) return;
  limit.rlim_cur = std::min(wanted, limit.rlim_max);
  setrlimit(RLIMIT_NOFILE, &limit);
}

}  // namespace velmora::cli
