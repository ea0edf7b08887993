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
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "protocol/frames.h"
#include "sim/builtin_image.h"
#include "tests/support/child_process.h"

using namespace velmora;
using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;
using velmora::testing::Clock;
using velmora::testing::Devsim;
using velmora::testing::msLeft;

namespace {

template <typename C>
Bytes bytesOf(const C& c) { return Bytes(c.begin(), c.end()); }

const std::string kDevsim = VELMORA_DEVSIM_PATH;

// Reads what is there until the deadline or until done(buffer) says stop.
template <typename Done>
bool readUntil(int fd, std::string& buffer, Clock::time_point deadline, Done done) {
  while (!done(buffer)) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, msLeft(deadline)) <= 0) return false;
    char chunk[4096];
    const ssize_t n = read(fd, chunk, sizeof(chunk));
    if (n <= 0) return done(buffer);
    buffer.append(chunk, static_cast<size_t>(n));
  }
  return true;
}

sockaddr_in loopback(uint16_t port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return a;
}

int connectTcp(uint16_t port) {
  if (port == 0) return -1;
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  const sockaddr_in a = loopback(port);
  if (connect(fd, reinterpret_cast<const sockaddr*>(&a), sizeof(a)) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

int openPty(const std::string& path) {
  const int fd = open(path.c_str(), O_RDWR | O_NOCTTY);
  if (fd < 0) return -1;
  termios tio{};
  tcgetattr(fd, &tio);
  cfmakeraw(&tio);
  tcsetattr(fd, TCSANOW, &tio);
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
  std::optional<Bytes> frame(uint8_t address, std::chrono::milliseconds limit = 3s) {
    int length = 0;
    const auto complete = [&](const std::string& b) {
      length = checkFrame(reinterpret_cast<const uint8_t*>(b.data()), static_cast<int32_t>(b.size()), address);
      return length != 0;
    };
    if (!readUntil(fd, buffer, Clock::now() + limit, complete)) return std::nullopt;
    Bytes f(buffer.begin(), buffer.begin() + length);
    buffer.erase(0, static_cast<size_t>(length));
    return f;
  }
  std::optional<Bytes> ask(const Bytes& request, uint8_t address = 1) {
    if (!send(request)) return std::nullopt;
    return frame(address);
  }
  // Whether the other side closed within the limit (EOF, hang-up or error).
  bool closedWithin(std::chrono::milliseconds limit) const {
    const auto deadline = Clock::now() + limit;
    while (Clock::now() < deadline) {
      pollfd p{fd, POLLIN, 0};
      if (poll(&p, 1, msLeft(deadline)) <= 0) return false;
      char c[256];
      if (read(fd, c, sizeof(c)) <= 0) return true;
    }
    return false;
  }
  int fd;
  std::string buffer;
};

std::optional<Bytes> readImage(Link& link) {
  link.send(bytesOf(buildTransferPreamble()));
  Bytes envelope;
  int total = 1;
  for (int p = 0; p < total && p < 50; ++p) {
    const auto f = link.ask(bytesOf(buildReadRequest(1, static_cast<uint16_t>(p))));
    if (!f) return std::nullopt;
    const auto r = parseDataResponse(f->data(), static_cast<int32_t>(f->size()));
    if (!r || r->packetNumber != p) return std::nullopt;
    total = r->totalPackets;
    envelope.insert(envelope.end(), r->data.begin(), r->data.end());
  }
  if (!checkEnvelope(envelope.data(), static_cast<int32_t>(envelope.size()))) return std::nullopt;
  return Bytes(envelope.begin() + kEnvelopeHeader, envelope.end());
}

bool writeImage(Link& link, const Bytes& image) {
  link.send(bytesOf(buildTransferPreamble()));
  const Bytes e = buildEnvelope(image.data(), static_cast<int32_t>(image.size()));
  const int total = packetCount(static_cast<int>(e.size()));
  for (int p = 0; p < total; ++p) {
    const auto f = link.ask(buildWritePacket(1, static_cast<uint16_t>(p), static_cast<uint16_t>(total), e.data(),
                                             static_cast<int32_t>(e.size()))
                                .frame);
    if (!f || parseWriteAck(f->data(), static_cast<int32_t>(f->size())) != p) return false;
  }
  return true;
}

Bytes fileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string tempDir() {
  std::string pattern = ::testing::TempDir() + "devsim_XXXXXX";
  const char* made = mkdtemp(pattern.data());
  return made ? std::string(made) : std::string("/tmp");
}

Bytes newImage() {
  Bytes image;
  for (int u = 0; u < 24; ++u)  // 200 envelope bytes: four packets
    for (int i = 0; i < 8; ++i) image.push_back(static_cast<uint8_t>(i == 0 ? 1 + u % 4 : u * 3 + i));
  return image;
}

}  // namespace

// The same conversation over the TCP link and over the pty.
class DevsimLink : public ::testing::TestWithParam<std::string> {};

TEST_P(DevsimLink, AddressQueryFullReadAndFullWriteSaved) {
  const std::string dir = tempDir();
  const std::string saved = dir + "/written.vmc";
  Devsim sim(kDevsim);
  ASSERT_TRUE(sim.start({"--tcp", "127.0.0.1:0", "--udp", "127.0.0.1:0", "--pty", "--save", saved}));
  ASSERT_EQ(sim.endpoints().count("tcp") + sim.endpoints().count("pty") + sim.endpoints().count("udp"), 3u);
  EXPECT_EQ(sim.endpoint("tcp").rfind("127.0.0.1:", 0), 0u);
  EXPECT_NE(sim.port("tcp"), 0);

  Link link(GetParam() == "tcp" ? connectTcp(sim.port("tcp")) : openPty(sim.endpoint("pty")));
  ASSERT_GE(link.fd, 0);
  EXPECT_EQ(link.ask(bytesOf(buildAddressQuery())), (Bytes{0x22, 0x01, 0x40, 0, 0, 0, 0, 0x63}));
  EXPECT_EQ(readImage(link), sim::builtinImage());

  const Bytes image = newImage();
  ASSERT_TRUE(writeImage(link, image));
  EXPECT_EQ(fileBytes(saved), image) << "saved before the last acknowledgement went out";
  EXPECT_EQ(readImage(link), image);

  EXPECT_EQ(sim.stop(SIGTERM), 0);
  std::remove(saved.c_str());
  rmdir(dir.c_str());
}

INSTANTIATE_TEST_SUITE_P(Transports, DevsimLink, ::testing::Values("tcp", "pty"));

TEST(DevsimProcess, UdpProbeAnsweredOtherDatagramsIgnoredSigintExitsZero) {
  Devsim sim(kDevsim);
  ASSERT_TRUE(sim.start({"--udp", "127.0.0.1:0"}));
  const int fd = socket(AF_INET, SOCK_DGRAM, 0);
  const sockaddr_in to = loopback(sim.port("udp"));
  ASSERT_NE(sim.port("udp"), 0);
  auto probe = [&](const std::string& text, int waitMs) -> std::optional<std::string> {
    sendto(fd, text.data(), text.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof(to));
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, waitMs) <= 0) return std::nullopt;
    char reply[1024];
    const ssize_t n = recv(fd, reply, sizeof(reply), 0);
    return n > 0 ? std::optional<std::string>(std::string(reply, static_cast<size_t>(n))) : std::nullopt;
  };
  EXPECT_FALSE(probe("HELLO", 300));
  const auto reply = probe("RAZ", 3000);
  ASSERT_TRUE(reply);
  EXPECT_FALSE(reply->empty());
  close(fd);
  EXPECT_EQ(sim.stop(SIGINT), 0);
}

TEST(DevsimProcess, RefusalsHelpAndImageFile) {
  {
    Devsim sim(kDevsim);
    sim.start({"--tcp", "192.168.1.110:6000"});
    EXPECT_TRUE(sim.endpoints().empty());
    EXPECT_EQ(sim.reap(Clock::now() + 10s), 2);
    const std::string err = sim.errorOutput();
    EXPECT_NE(err.find("loopback"), std::string::npos) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
  }
  {
    Devsim sim(kDevsim);
    sim.start({"--help"});
    EXPECT_EQ(sim.reap(Clock::now() + 10s), 0);
  }
  const std::string dir = tempDir();
  const std::string tooLong = dir + "/long.vmc";
  std::ofstream(tooLong, std::ios::binary) << std::string(2056, '\x01');
  {
    Devsim sim(kDevsim);
    sim.start({"--pty", "--image", tooLong});
    EXPECT_EQ(sim.reap(Clock::now() + 10s), 2);
  }
  const std::string small = dir + "/small.vmc";
  const Bytes image{4, 1, 1, 0, 0, 0, 16, 0};
  std::ofstream(small, std::ios::binary).write(reinterpret_cast<const char*>(image.data()), 8);
  {
    Devsim sim(kDevsim);
    ASSERT_TRUE(sim.start({"--tcp", "127.0.0.1:0", "--image", small}));
    Link link(connectTcp(sim.port("tcp")));
    EXPECT_EQ(readImage(link), image);
    EXPECT_EQ(sim.stop(), 0);
  }
  std::remove(tooLong.c_str());
  std::remove(small.c_str());
  rmdir(dir.c_str());
}

TEST(DevsimProcess, ConnectionsHaveTheirOwnReceiveStateAndCloseAfter) {
  Devsim sim(kDevsim);
  ASSERT_TRUE(sim.start({"--tcp", "127.0.0.1:0", "--close-after", "3"}));
  const Bytes query = bytesOf(buildAddressQuery());
  Link a(connectTcp(sim.port("tcp")));
  Link b(connectTcp(sim.port("tcp")));
  ASSERT_GE(a.fd, 0);
  ASSERT_GE(b.fd, 0);
  ASSERT_TRUE(a.send(Bytes(query.begin(), query.begin() + 5)));
  EXPECT_TRUE(b.ask(query)) << "answer 1, on b while a holds half a frame";
  ASSERT_TRUE(a.send(Bytes(query.begin() + 5, query.end())));
  EXPECT_TRUE(a.frame(1)) << "answer 2";
  EXPECT_TRUE(b.ask(query)) << "answer 3, then b closes";
  EXPECT_TRUE(b.closedWithin(3s));
  EXPECT_TRUE(a.ask(query)) << "a stays open";
  Link c(connectTcp(sim.port("tcp")));
  EXPECT_TRUE(c.ask(query)) << "new connections are still accepted";
  EXPECT_EQ(sim.stop(), 0);
}

TEST(DevsimProcess, CloseAfterOnThePtyRemovesIt) {
  Devsim sim(kDevsim);
  ASSERT_TRUE(sim.start({"--pty", "--close-after", "1"}));
  const std::string path = sim.endpoint("pty");
  {
    Link first(openPty(path));
    ASSERT_GE(first.fd, 0);
  }
  Link link(openPty(path));  // reopened: the master held on across the first session
  ASSERT_GE(link.fd, 0);
  EXPECT_TRUE(link.ask(bytesOf(buildAddressQuery())));
  EXPECT_TRUE(link.closedWithin(3s));
  EXPECT_EQ(sim.stop(), 0);
}

TEST(DevsimProcess, BaudPacesTheAnswer) {
  Devsim sim(kDevsim);
  ASSERT_TRUE(sim.start({"--tcp", "127.0.0.1:0", "--baud", "1200"}));
  Link link(connectTcp(sim.port("tcp")));
  const auto start = Clock::now();
  EXPECT_TRUE(link.ask(bytesOf(buildAddressQuery())));
  // 16 bytes of 10 bits at 1200 baud take 133 ms at least; only the lower
  // bound is checked, a busy machine may take longer.
  EXPECT_GE(Clock::now() - start, 130ms);
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
      if (again >= 0) {
        close(again);
        rc = 0;
      } else {
        usleep(20'000);
      }
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
