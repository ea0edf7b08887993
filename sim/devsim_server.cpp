#include "sim/devsim_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <list>
#include <string>
#include <vector>

#include "base/text.h"
#include "config/config_unit.h"
#include "protocol/frames.h"
#include "sim/builtin_image.h"

namespace velmora::sim {

namespace {

// Written by the signal handler, read by the loop.
int gSignalPipe[2] = {-1, -1};

extern "C" void onStopSignal(int) {
  const int saved = errno;
  const char byte = 1;
  if (gSignalPipe[1] >= 0) (void)!write(gSignalPipe[1], &byte, 1);
  errno = saved;
}

constexpr size_t kMaxTcpLinks = 8;
constexpr size_t kMaxPendingOutput = 256 * 1024;  // a reader that never reads loses the rest
constexpr int kMaxReadsPerWake = 16;
constexpr int kMaxDatagramsPerWake = 64;
constexpr std::chrono::milliseconds kDrainLimit{2000};
constexpr std::chrono::milliseconds kPtySettle{50};

SimTime monotonicNow() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return SimTime{static_cast<int64_t>(ts.tv_sec) * 1'000'000 + ts.tv_nsec / 1000};
}

void setNonBlocking(int fd) {
  const int flags = fcntl(fd, F_GETFL, 0);
  if (flags >= 0) fcntl(fd, F_SETFL, flags | O_NONBLOCK);
}

class Fd {
 public:
  Fd() = default;
  explicit Fd(int fd) : fd_(fd) {}
  Fd(Fd&& other) noexcept : fd_(other.release()) {}
  Fd& operator=(Fd&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  ~Fd() { reset(); }
  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  int release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }
  void reset(int fd = -1) {
    if (fd_ >= 0) close(fd_);
    fd_ = fd;
  }

 private:
  int fd_ = -1;
};

// A socket address built from a numeric host; no name lookup ever happens.
struct SockAddr {
  sockaddr_storage storage{};
  socklen_t length = 0;
  int family = AF_INET;
};

bool makeAddress(const Endpoint& e, SockAddr& out) {
  const std::string host = numericHost(e);
  if (e.ipv6) {
    auto* a = reinterpret_cast<sockaddr_in6*>(&out.storage);
    a->sin6_family = AF_INET6;
    a->sin6_port = htons(e.port);
    if (inet_pton(AF_INET6, host.c_str(), &a->sin6_addr) != 1) return false;
    out.length = sizeof(sockaddr_in6);
    out.family = AF_INET6;
  } else {
    auto* a = reinterpret_cast<sockaddr_in*>(&out.storage);
    a->sin_family = AF_INET;
    a->sin_port = htons(e.port);
    if (inet_pton(AF_INET, host.c_str(), &a->sin_addr) != 1) return false;
    out.length = sizeof(sockaddr_in);
    out.family = AF_INET;
  }
  return true;
}

uint16_t boundPort(int fd) {
  sockaddr_storage s{};
  socklen_t len = sizeof(s);
  if (getsockname(fd, reinterpret_cast<sockaddr*>(&s), &len) != 0) return 0;
  if (s.ss_family == AF_INET6) return ntohs(reinterpret_cast<sockaddr_in6*>(&s)->sin6_port);
  return ntohs(reinterpret_cast<sockaddr_in*>(&s)->sin_port);
}

std::string endpointText(const Endpoint& e, uint16_t port) {
  const std::string host = numericHost(e);
  return e.ipv6 ? strprintf("[%s]:%u", host.c_str(), port) : strprintf("%s:%u", host.c_str(), port);
}

bool senderIsLoopback(const sockaddr_storage& s) {
  if (s.ss_family == AF_INET) {
    const uint32_t a = ntohl(reinterpret_cast<const sockaddr_in*>(&s)->sin_addr.s_addr);
    return (a >> 24) == 127;
  }
  if (s.ss_family == AF_INET6) {
    const in6_addr& a = reinterpret_cast<const sockaddr_in6*>(&s)->sin6_addr;
    return IN6_IS_ADDR_LOOPBACK(&a);
  }
  return false;
}

struct Device;

// One link to the device: a TCP connection or the pty master.
struct Link {
  Link(DeviceModel& device, int baud, Fd fd, std::string name, bool isPty)
      : fd(std::move(fd)), name(std::move(name)), isPty(isPty), session(device, baud) {}
  Fd fd;
  Fd ptySlave;  // held open so the master sees no hang-up between the tool's sessions
  Fd ptyWatch;  // reports each close of the slave device
  std::string name;
  bool isPty;
  DeviceSession session;
  std::vector<uint8_t> pending;  // due but not yet accepted by the kernel
  bool dead = false;
  bool draining = false;  // closing: the last answer is out, waiting for it to be read
  const Device* device = nullptr;  // the simulated device a TCP link reaches
  SimTime drainStart{0};
};

bool writeFileAtomically(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error) {
  const std::string temp = strprintf("%s.tmp.%ld", path.c_str(), static_cast<long>(getpid()));
  Fd fd(open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
  if (!fd.valid()) {
    error = strprintf("cannot create %s: %s", temp.c_str(), std::strerror(errno));
    return false;
  }
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(fd.get(), bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      error = strprintf("cannot write %s: %s", temp.c_str(), std::strerror(errno));
      unlink(temp.c_str());
      return false;
    }
    done += static_cast<size_t>(n);
  }
  if (fsync(fd.get()) != 0 || close(fd.release()) != 0) {
    error = strprintf("cannot finish %s: %s", temp.c_str(), std::strerror(errno));
    unlink(temp.c_str());
    return false;
  }
  if (rename(temp.c_str(), path.c_str()) != 0) {
    error = strprintf("cannot rename %s to %s: %s", temp.c_str(), path.c_str(), std::strerror(errno));
    unlink(temp.c_str());
    return false;
  }
  return true;
}

// One simulated device with its own listening socket; the links to it are
// the server's.
struct Device {
  Device(std::vector<uint8_t> image, uint8_t address) : model(std::move(image), address) {}
  DeviceModel model;
  Fd listen;
  std::string saveFile;
};

class Server {
 public:
  Server(const DevsimOptions& options, std::FILE* out, std::FILE* err, const std::vector<uint8_t>& image)
      : options_(options), out_(out), err_(err) {
    devices_.reserve(static_cast<size_t>(options.count));
    for (int index = 0; index < options.count; ++index) {
      devices_.emplace_back(image, options.address);
      Device& d = devices_.back();
      // Prefixed only when there are several, so a single device logs as it always has.
      const std::string who = options.count > 1 ? strprintf("device %d: ", index) : std::string();
      if (!options.faultDevice || *options.faultDevice == index) {
        FaultPlan faults = options.faults;
        faults.randomSeed = deviceFaultSeed(options.faults.randomSeed, index);
        d.model.setFaults(faults);
      }
      if (options.log) d.model.setLogSink([this, who](const std::string& line) { logLine(who + line); });
      if (options.saveFile.empty()) continue;
      d.saveFile = saveFileOf(options.saveFile, index);
      d.model.setImageListener([this, &d, who](const std::vector<uint8_t>& written) {
        std::string error;
        if (!writeFileAtomically(d.saveFile, written, error)) std::fprintf(err_, "velmora-devsim: %s\n", error.c_str());
        else logLine(strprintf("%ssaved %zu bytes to %s", who.c_str(), written.size(), d.saveFile.c_str()));
      });
    }
  }

  int start() {
    if (options_.tcp && !openTcp(*options_.tcp)) return 1;
    if (options_.pty && !openPty()) return 1;
    if (options_.udp && !openUdp(*options_.udp)) return 1;
    std::fflush(out_);
    return 0;
  }

  int serve() {
    std::vector<pollfd> fds;
    std::vector<Link*> polled, watched;
    for (;;) {
      const SimTime now = monotonicNow();
      pumpOutput(now);
      reapLinks(now);

      fds.clear();
      polled.clear();
      fds.push_back({gSignalPipe[0], POLLIN, 0});
      const size_t listenAt = fds.size();
      for (const Device& d : devices_) fds.push_back({d.listen.get(), POLLIN, 0});
      const size_t udpAt = fds.size();
      if (udp_.valid()) fds.push_back({udp_.get(), POLLIN, 0});
      const size_t linksAt = fds.size();
      for (Link& link : links_) {
        short events = POLLIN;
        if (!link.pending.empty()) events |= POLLOUT;
        fds.push_back({link.fd.get(), events, 0});
        polled.push_back(&link);
      }
      const size_t watchesAt = fds.size();
      watched.clear();
      for (Link& link : links_) {
        if (!link.ptyWatch.valid()) continue;
        fds.push_back({link.ptyWatch.get(), POLLIN, 0});
        watched.push_back(&link);
      }

      const timespec timeout = waitUntilNextWake(now);
      const int ready = ppoll(fds.data(), fds.size(), &timeout, nullptr);
      if (ready < 0) {
        if (errno == EINTR) continue;
        std::fprintf(err_, "velmora-devsim: poll failed: %s\n", std::strerror(errno));
        return 1;
      }
      if (fds[0].revents & POLLIN) return 0;  // SIGINT or SIGTERM
      const SimTime arrived = monotonicNow();
      size_t at = listenAt;
      for (Device& d : devices_)
        if (fds[at++].revents & POLLIN) acceptConnections(d);
      if (udp_.valid() && (fds[udpAt].revents & POLLIN)) answerDatagrams();
      for (size_t i = 0; i < polled.size(); ++i) {
        const short revents = fds[linksAt + i].revents;
        if (revents & (POLLIN | POLLHUP | POLLERR)) readLink(*polled[i], arrived, revents);
      }
      for (size_t i = 0; i < watched.size(); ++i)
        if (fds[watchesAt + i].revents & POLLIN) releaseExclusive(*watched[i]);
    }
  }

 private:
  void logLine(const std::string& line) {
    if (!options_.log) return;
    const SimTime t = monotonicNow();
    std::fprintf(err_, "[%lld.%03lld] %s\n", static_cast<long long>(t.count() / 1'000'000),
                 static_cast<long long>(t.count() / 1000 % 1000), line.c_str());
    std::fflush(err_);
  }

  // One listening socket per device on consecutive ports. With port 0 the
  // first is the kernel's pick and the rest must be free after it; when one
  // is taken the whole run starts again elsewhere, a bounded number of times.
  bool openTcp(const Endpoint& e) {
    SockAddr addr;
    if (!makeAddress(e, addr)) return failLine("tcp: bad address " + e.host);
    raiseDescriptorLimit();
    constexpr int kAttempts = 32;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
      uint16_t first = e.port;
      bool taken = false;
      for (Device& d : devices_) {
        const size_t index = static_cast<size_t>(&d - &devices_.front());
        const uint16_t port = index == 0 ? first : static_cast<uint16_t>(first + index);
        if (first + index > 65535) {
          taken = true;
          break;
        }
        Fd fd(socket(addr.family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
        if (!fd.valid()) return failErrno("tcp: socket");
        const int one = 1;
        setsockopt(fd.get(), SOL_SOCKET, SO_REUSEADDR, &one, sizeof(one));
        setPort(addr, port);
        if (bind(fd.get(), reinterpret_cast<sockaddr*>(&addr.storage), addr.length) != 0) {
          // A taken port after a picked first one: try another run.
          if (errno == EADDRINUSE && e.port == 0 && index > 0) {
            taken = true;
            break;
          }
          return failErrno("tcp: bind " + endpointText(e, port));
        }
        if (listen(fd.get(), 4) != 0) return failErrno("tcp: listen");
        if (index == 0) first = boundPort(fd.get());
        d.listen = std::move(fd);
      }
      if (!taken) break;
      for (Device& d : devices_) d.listen.reset();
      if (attempt + 1 == kAttempts) return failLine(strprintf("tcp: found no %d free consecutive ports", options_.count));
    }
    for (const Device& d : devices_) std::fprintf(out_, "tcp %s\n", endpointText(e, boundPort(d.listen.get())).c_str());
    std::fflush(out_);
    return true;
  }

  static void setPort(SockAddr& addr, uint16_t port) {
    if (addr.family == AF_INET6) reinterpret_cast<sockaddr_in6*>(&addr.storage)->sin6_port = htons(port);
    else reinterpret_cast<sockaddr_in*>(&addr.storage)->sin_port = htons(port);
  }

  // A thousand listening sockets and their links need more descriptors than
  // the usual soft limit of 1024; the hard limit is ours to take.
  void raiseDescriptorLimit() const {
    const rlim_t wanted = static_cast<rlim_t>(options_.count) * (1 + kMaxTcpLinks) + 64;
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur >= wanted) return;
    limit.rlim_cur = std::min(wanted, limit.rlim_max);
    setrlimit(RLIMIT_NOFILE, &limit);
  }

  bool openUdp(const Endpoint& e) {
    SockAddr addr;
    if (!makeAddress(e, addr)) return failLine("udp: bad address " + e.host);
    Fd fd(socket(addr.family, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!fd.valid()) return failErrno("udp: socket");
    if (bind(fd.get(), reinterpret_cast<sockaddr*>(&addr.storage), addr.length) != 0)
      return failErrno("udp: bind " + endpointText(e, e.port));
    std::fprintf(out_, "udp %s\n", endpointText(e, boundPort(fd.get())).c_str());
    std::fflush(out_);
    udp_ = std::move(fd);
    return true;
  }

  bool openPty() {
    Fd master(posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (!master.valid()) return failErrno("pty: posix_openpt");
    if (grantpt(master.get()) != 0 || unlockpt(master.get()) != 0) return failErrno("pty: unlock");
    char name[128] = {};
    if (ptsname_r(master.get(), name, sizeof(name)) != 0) return failErrno("pty: ptsname");
    Fd slave(open(name, O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK));
    if (!slave.valid()) return failErrno(std::string("pty: open ") + name);
    // Raw both ways: no echo of what the tool sends, no byte translated.
    termios tio{};
    if (tcgetattr(slave.get(), &tio) == 0) {
      cfmakeraw(&tio);
      tcsetattr(slave.get(), TCSANOW, &tio);
    }
    setNonBlocking(master.get());
    Fd watch(inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
    if (watch.valid() && inotify_add_watch(watch.get(), name, IN_CLOSE_WRITE | IN_CLOSE_NOWRITE) < 0) watch.reset();
    links_.emplace_back(devices_.front().model, options_.baud, std::move(master), std::string("pty ") + name, true);
    links_.back().ptySlave = std::move(slave);
    links_.back().ptyWatch = std::move(watch);
    std::fprintf(out_, "pty %s\n", name);
    std::fflush(out_);
    return true;
  }

  // A tool that opens the slave exclusively (TIOCEXCL) and closes it without
  // TIOCNXCL would leave the flag set, because our own slave descriptor keeps
  // the terminal alive; a user without CAP_SYS_ADMIN could then not open it
  // again. So every close of the slave clears the flag.
  void releaseExclusive(Link& link) {
    char events[4096];
    for (int i = 0; i < kMaxReadsPerWake && read(link.ptyWatch.get(), events, sizeof(events)) > 0; ++i) {
    }
    if (link.ptySlave.valid()) ioctl(link.ptySlave.get(), TIOCNXCL);
  }

  bool failLine(const std::string& text) {
    std::fprintf(err_, "velmora-devsim: %s\n", text.c_str());
    return false;
  }
  bool failErrno(const std::string& what) { return failLine(what + ": " + std::strerror(errno)); }

  timespec waitUntilNextWake(SimTime now) const {
    SimTime wait = std::chrono::seconds(1);  // nothing due: wake now and then all the same
    for (const Link& link : links_) {
      if (const auto wake = link.session.nextWake()) wait = std::min(wait, std::max(SimTime{0}, *wake - now));
      if (link.draining) wait = std::min(wait, SimTime{std::chrono::milliseconds(10)});
    }
    timespec ts{};
    ts.tv_sec = static_cast<time_t>(wait.count() / 1'000'000);
    ts.tv_nsec = static_cast<long>(wait.count() % 1'000'000) * 1000;
    return ts;
  }

  void pumpOutput(SimTime now) {
    for (Link& link : links_) {
      if (link.dead) continue;
      std::vector<uint8_t> due = link.session.poll(now);
      if (link.pending.size() + due.size() > kMaxPendingOutput) {
        logLine(link.name + ": reader does not keep up; output dropped");
        due.clear();
      }
      link.pending.insert(link.pending.end(), due.begin(), due.end());
      flush(link);
    }
  }

  void flush(Link& link) {
    while (!link.pending.empty()) {
      const ssize_t n = link.isPty ? write(link.fd.get(), link.pending.data(), link.pending.size())
                                   : send(link.fd.get(), link.pending.data(), link.pending.size(), MSG_NOSIGNAL);
      if (n > 0) {
        link.pending.erase(link.pending.begin(), link.pending.begin() + n);
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
      if (!link.isPty) {
        logLine(link.name + ": send failed, closing");
        link.dead = true;
      }
      link.pending.clear();
      return;
    }
  }

  // A link the device closes is not cut at once: the peer first gets to
  // read the last answer. Closing a TCP socket with unread input resets the
  // connection, and closing the pty master drops what the slave has not read.
  // So TCP shuts its sending side and waits for the peer's end, the pty waits
  // for its slave's input queue to drain; both at most kDrainLimit.
  void reapLinks(SimTime now) {
    for (auto it = links_.begin(); it != links_.end();) {
      if (!it->dead && it->session.closing() && it->pending.empty()) {
        if (!it->draining) {
          it->draining = true;
          it->drainStart = now;
          if (!it->isPty) shutdown(it->fd.get(), SHUT_WR);
        }
        const SimTime waited = now - it->drainStart;
        int unread = 0;
        if (it->isPty && ioctl(it->ptySlave.get(), FIONREAD, &unread) != 0) unread = 0;
        // The kernel moves pty bytes to the slave's queue a little later.
        const bool ptyDrained = it->isPty && waited >= kPtySettle && unread == 0;
        if (ptyDrained || waited >= kDrainLimit) it->dead = true;
      }
      if (!it->dead) {
        ++it;
        continue;
      }
      logLine(it->name + " closed");
      it = links_.erase(it);  // closes the fds, the pty's slave included
    }
  }

  void acceptConnections(Device& device) {
    for (int i = 0; i < kMaxReadsPerWake; ++i) {
      sockaddr_storage peer{};
      socklen_t len = sizeof(peer);
      Fd fd(accept4(device.listen.get(), reinterpret_cast<sockaddr*>(&peer), &len, SOCK_NONBLOCK | SOCK_CLOEXEC));
      if (!fd.valid()) return;
      size_t tcpLinks = 0;
      for (const Link& link : links_) tcpLinks += !link.isPty && link.device == &device ? 1 : 0;
      if (tcpLinks >= kMaxTcpLinks) {
        logLine("tcp: too many connections, one refused");
        continue;
      }
      const int one = 1;
      setsockopt(fd.get(), IPPROTO_TCP, TCP_NODELAY, &one, sizeof(one));
      const std::string name = options_.count > 1
                                   ? strprintf("device %d: tcp link %d", static_cast<int>(&device - &devices_.front()),
                                               ++tcpCount_)
                                   : strprintf("tcp link %d", ++tcpCount_);
      logLine(name + " accepted");
      links_.emplace_back(device.model, options_.baud, std::move(fd), name, false);
      links_.back().device = &device;
    }
  }

  void answerDatagrams() {
    for (int i = 0; i < kMaxDatagramsPerWake; ++i) {
      uint8_t buffer[1024];
      sockaddr_storage peer{};
      socklen_t len = sizeof(peer);
      const ssize_t n = recvfrom(udp_.get(), buffer, sizeof(buffer), 0, reinterpret_cast<sockaddr*>(&peer), &len);
      if (n < 0) return;
      // Answers go back only where probes can come from on a loopback bind.
      if (!options_.allowNonlocal && !senderIsLoopback(peer)) continue;
      const auto reply = devices_.front().model.probeReply(buffer, static_cast<size_t>(n));
      logLine(strprintf("udp datagram of %zd bytes%s", n, reply ? ", probe answered" : ", ignored"));
      if (reply) sendto(udp_.get(), reply->data(), reply->size(), 0, reinterpret_cast<sockaddr*>(&peer), len);
    }
  }

  void readLink(Link& link, SimTime now, short revents) {
    for (int i = 0; i < kMaxReadsPerWake; ++i) {
      uint8_t buffer[4096];
      const ssize_t n = read(link.fd.get(), buffer, sizeof(buffer));
      if (n > 0) {
        if (options_.log)
          logLine(strprintf("%s received %zd bytes: %s", link.name.c_str(), n,
                            hexBytesSpaced(buffer, static_cast<size_t>(std::min<ssize_t>(n, 80))).c_str()));
        link.session.receive(now, buffer, static_cast<size_t>(n));
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
      // The pty master reads EIO while no slave is open; ours stays open,
      // so this is only a passing state, never an end.
      if (link.isPty) return;
      link.dead = true;  // the peer closed or the connection failed
      return;
    }
    (void)revents;
  }

  const DevsimOptions& options_;
  std::FILE* out_;
  std::FILE* err_;
  std::vector<Device> devices_;  // reserved up front: links and listeners hold their addresses
  Fd udp_;
  std::list<Link> links_;  // stable addresses while polled
  int tcpCount_ = 0;
};

bool loadImageFile(const std::string& path, std::vector<uint8_t>& image, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "cannot open image " + path;
    return false;
  }
  image.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (in.bad()) {
    error = "cannot read image " + path;
    return false;
  }
  if (image.size() > static_cast<size_t>(kMaxImageBytes)) {
    error = strprintf("image %s holds %zu bytes; the device takes at most %d", path.c_str(), image.size(),
                      kMaxImageBytes);
    return false;
  }
  return true;
}

}  // namespace

void installDevsimSignals() {
  if (gSignalPipe[0] < 0) {
    if (pipe2(gSignalPipe, O_CLOEXEC | O_NONBLOCK) != 0) gSignalPipe[0] = gSignalPipe[1] = -1;
  }
  struct sigaction sa {};
  sa.sa_handler = onStopSignal;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
  signal(SIGPIPE, SIG_IGN);
}

int runDevsim(const DevsimOptions& options, std::FILE* out, std::FILE* err) {
  std::vector<uint8_t> image = builtinImage();
  if (!options.imageFile.empty()) {
    std::string error;
    if (!loadImageFile(options.imageFile, image, error)) {
      std::fprintf(err, "velmora-devsim: %s\n", error.c_str());
      return 2;
    }
  }
  if (gSignalPipe[0] < 0) {
    std::fprintf(err, "velmora-devsim: signal handlers not installed\n");
    return 1;
  }
  Server server(options, out, err, image);
  if (const int rc = server.start(); rc != 0) return rc;
  return server.serve();
}

}  // namespace velmora::sim
