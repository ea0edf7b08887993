// Runs the velmora-devsim program and talks to it the way the tool does,
// over TCP and UDP on 127.0.0.1 and over its pty. Every wait is bounded.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "protocol/frames.h"
#include "sim/builtin_image.h"
#include "sim/device_frames.h"
#include "tests/support/child_process.h"

using namespace velmora;
using namespace velmora::testing;
using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;

namespace {

template <typename C>
Bytes bytesOf(const C& c) { return Bytes(c.begin(), c.end()); }

const std::string kDevsim = VELMORA_DEVSIM_PATH;

struct TempDir {
  TempDir() {
    std::string pattern = ::testing::TempDir() + "devsim_XXXXXX";
    if (const char* made = mkdtemp(pattern.data())) path = made;
  }
  ~TempDir() {
    std::error_code ignored;
    if (!path.empty()) std::filesystem::remove_all(path, ignored);
  }
  std::string path;
};

sockaddr_in loopback(uint16_t port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return a;
}

int connectTcp(uint16_t port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  const sockaddr_in a = loopback(port);
  if (port != 0 && connect(fd, reinterpret_cast<const sockaddr*>(&a), sizeof(a)) == 0) return fd;
  close(fd);
  return -1;
}

int openPty(const std::string& path) {
  const int fd = open(path.c_str(), O_RDWR | O_NOCTTY);
  termios tio{};
  if (fd >= 0 && tcgetattr(fd, &tio) == 0) {
    cfmakeraw(&tio);
    tcsetattr(fd, TCSANOW, &tio);
  }
  return fd;
}

// The link from the tool's side: send a frame, collect bytes until the
// tool's recogniser finds a frame at the head.
struct Link {
  explicit Link(int fd) : fd(fd) {}
  ~Link() {
    if (fd >= 0) close(fd);
  }
  bool send(const Bytes& b) const { return write(fd, b.data(), b.size()) == static_cast<ssize_t>(b.size()); }
  std::optional<Bytes> frame(uint8_t address = 1) {
    const auto deadline = Clock::now() + 3s;
    for (;;) {
      const int length = checkFrame(buffer.data(), static_cast<int32_t>(buffer.size()), address);
      if (length > 0) {
        Bytes f(buffer.begin(), buffer.begin() + length);
        buffer.erase(buffer.begin(), buffer.begin() + length);
        return f;
      }
      if (!readSome(deadline)) return std::nullopt;
    }
  }
  std::optional<Bytes> ask(const Bytes& request) { return send(request) ? frame() : std::nullopt; }
  // Whether the other side closed within 3 s (EOF, hang-up or error).
  bool closes() {
    const auto deadline = Clock::now() + 3s;
    while (readSome(deadline)) {
    }
    return Clock::now() < deadline;
  }
  // False at the deadline or when the other side closed.
  bool readSome(Clock::time_point deadline) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, msLeft(deadline)) <= 0) return false;
    uint8_t chunk[4096];
    const ssize_t n = read(fd, chunk, sizeof(chunk));
    if (n > 0) buffer.insert(buffer.end(), chunk, chunk + n);
    return n > 0;
  }
  int fd;
  Bytes buffer;
};

// The device's answer to a read of packet 0 when it holds image: the whole
// conversation's logic is tested on the model, here the bytes must arrive.
Bytes firstPacket(const Bytes& image) {
  const Bytes e = buildEnvelope(image.data(), static_cast<int32_t>(image.size()));
  return sim::buildDataResponse(1, 0, static_cast<uint16_t>(packetCount(static_cast<int>(e.size()))), e.data(),
                                std::min<size_t>(e.size(), kPacketPayload));
}

const Bytes kRead0 = bytesOf(buildReadRequest(1, 0));
const Bytes kQuery = bytesOf(buildAddressQuery());

}  // namespace

// The same conversation over the TCP link and over the pty; both end on a
// signal with exit status 0.
class DevsimLink : public ::testing::TestWithParam<std::string> {};

TEST_P(DevsimLink, AddressQueryReadAndWriteSaved) {
  TempDir dir;
  const std::string saved = dir.path + "/saved.vmc";
  Devsim sim(kDevsim);
  ASSERT_TRUE(sim.start({"--tcp", "127.0.0.1:0", "--udp", "127.0.0.1:0", "--pty", "--save", saved}));
  EXPECT_EQ(sim.endpoint("tcp").rfind("127.0.0.1:", 0), 0u);
  EXPECT_EQ(sim.endpoint("udp").rfind("127.0.0.1:", 0), 0u);
  EXPECT_EQ(sim.endpoint("pty").rfind("/dev/", 0), 0u);

  Link link(GetParam() == "tcp" ? connectTcp(sim.port("tcp")) : openPty(sim.endpoint("pty")));
  ASSERT_GE(link.fd, 0);
  EXPECT_EQ(link.ask(kQuery), (Bytes{0x22, 0x01, 0x40, 0, 0, 0, 0, 0x63}));
  ASSERT_TRUE(link.send(bytesOf(buildTransferPreamble())));
  EXPECT_EQ(link.ask(kRead0), firstPacket(sim::builtinImage()));

  const Bytes image{4, 1, 1, 0, 0, 0, 16, 0, 4, 2, 1, 0, 0, 0, 16, 0};  // one packet
  const Bytes e = buildEnvelope(image.data(), 16);
  EXPECT_EQ(link.ask(buildWritePacket(1, 0, 1, e.data(), 24).frame), sim::buildWriteAck(1, 0));
  EXPECT_EQ(readWholeFile(saved), image) << "saved before the acknowledgement went out";
  EXPECT_EQ(link.ask(kRead0), firstPacket(image));

  // The scan's probe is answered (which datagrams are is the model's test).
  const int udp = socket(AF_INET, SOCK_DGRAM, 0);
  const sockaddr_in to = loopback(sim.port("udp"));
  sendto(udp, "RAZ", 3, 0, reinterpret_cast<const sockaddr*>(&to), sizeof(to));
  pollfd p{udp, POLLIN, 0};
  char reply[64];
  EXPECT_TRUE(poll(&p, 1, 3000) > 0 && recv(udp, reply, sizeof(reply), 0) > 0);
  close(udp);
  EXPECT_EQ(sim.stop(GetParam() == "tcp" ? SIGINT : SIGTERM), 0);
}

INSTANTIATE_TEST_SUITE_P(Transports, DevsimLink, ::testing::Values("tcp", "pty"));

TEST(DevsimProcess, RefusalsHelpImageFileAndBaud) {
  const RunResult refused = runToEnd(kDevsim, {"--tcp", "192.168.1.110:6000"}, 10s);
  EXPECT_EQ(refused.exitCode, 2);
  EXPECT_TRUE(refused.out.empty());
  EXPECT_NE(refused.err.find("loopback"), std::string::npos) << refused.err;
  EXPECT_EQ(std::count(refused.err.begin(), refused.err.end(), '\n'), 1) << refused.err;
  EXPECT_EQ(runToEnd(kDevsim, {"--help"}, 10s).exitCode, 0);

  TempDir dir;
  const auto file = [&dir](const std::string& name, const Bytes& bytes) {
    writeWholeFile(dir.path + "/" + name, bytes);
    return dir.path + "/" + name;
  };
  Devsim sim(kDevsim);
  const std::string tooLong = file("long.vmc", Bytes(2056, 0x01));
  EXPECT_EQ(runToEnd(kDevsim, {"--pty", "--image", tooLong}, 10s).exitCode, 2);
  const Bytes image{4, 1, 1, 0, 0, 0, 16, 0};
  ASSERT_TRUE(sim.start({"--tcp", "127.0.0.1:0", "--image", file("small.vmc", image), "--baud", "1200"}));
  Link link(connectTcp(sim.port("tcp")));
  const auto start = Clock::now();
  EXPECT_EQ(link.ask(kRead0), firstPacket(image));
  // 8 + 25 bytes of 10 bits at 1200 baud take 275 ms at least; only the
  // lower bound is checked, a busy machine may take longer.
  EXPECT_GE(Clock::now() - start, 270ms);
  EXPECT_EQ(sim.stop(), 0);
}

TEST(DevsimProcess, ConnectionsHaveTheirOwnReceiveStateAndCloseAfter) {
  Devsim sim(kDevsim);
  ASSERT_TRUE(sim.start({"--tcp", "127.0.0.1:0", "--close-after", "3"}));
  Link a(connectTcp(sim.port("tcp")));
  Link b(connectTcp(sim.port("tcp")));
  ASSERT_TRUE(a.send(Bytes(kQuery.begin(), kQuery.begin() + 5)));
  EXPECT_TRUE(b.ask(kQuery)) << "answer 1, on b while a holds half a frame";
  ASSERT_TRUE(a.send(Bytes(kQuery.begin() + 5, kQuery.end())));
  EXPECT_TRUE(a.frame()) << "answer 2";
  EXPECT_TRUE(b.ask(kQuery)) << "answer 3, then b closes";
  EXPECT_TRUE(b.closes());
  EXPECT_TRUE(a.ask(kQuery)) << "a stays open";
  Link c(connectTcp(sim.port("tcp")));
  EXPECT_TRUE(c.ask(kQuery)) << "new connections are still accepted";
  EXPECT_EQ(sim.stop(), 0);
}

TEST(DevsimProcess, CloseAfterOnThePtyHangsUpTheSessionThatRuns) {
  Devsim sim(kDevsim);
  ASSERT_TRUE(sim.start({"--pty", "--close-after", "1"}));
  { Link first(openPty(sim.endpoint("pty"))); }
  Link link(openPty(sim.endpoint("pty")));  // reopened: the master held on across the first session
  ASSERT_GE(link.fd, 0);
  EXPECT_TRUE(link.ask(kQuery));
  EXPECT_TRUE(link.closes());
  EXPECT_EQ(sim.stop(), 0);
}

// The tool opens its serial device exclusively. devsim holds the slave open
// between sessions, so an exclusive flag left behind would keep a user
// without CAP_SYS_ADMIN out for good; devsim clears it when the slave closes.
TEST(DevsimProcess, PtyCanBeReopenedAfterAnExclusiveSession) {
  Devsim sim(kDevsim);
  ASSERT_TRUE(sim.start({"--pty"}));
  const std::string path = sim.endpoint("pty");
  // Root passes the exclusive check anyway, so the sessions run as nobody.
  const bool asRoot = geteuid() == 0;
  if (asRoot) {
    ASSERT_EQ(chmod(path.c_str(), 0666), 0);
  }
  const pid_t child = asRoot ? fork() : 0;
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (asRoot && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(3);
    const int first = open(path.c_str(), O_RDWR | O_NOCTTY);
    if (first < 0 || ioctl(first, TIOCEXCL) != 0) _exit(4);
    close(first);
    int rc = 1;
    for (int attempt = 0; attempt < 100 && rc != 0; ++attempt) {  // at most about 2 s
      const int again = open(path.c_str(), O_RDWR | O_NOCTTY);
      if (again >= 0) close(again), rc = 0;
      else usleep(20'000);
    }
    if (asRoot) _exit(rc);
    EXPECT_EQ(rc, 0);
  } else {
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: still busy, 3: no setuid, 4: no exclusive open";
  }
  EXPECT_EQ(sim.stop(), 0);
}
