// velmora-cli and velmora-devsim as built, on 127.0.0.1 and a pty: what the
// session and model tests cannot see. Real channels and lookups, what is
// printed, exit statuses, signals and what is left on disk. Every child has
// a deadline.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "protocol/frames.h"
#include "tests/support/child_process.h"

using namespace velmora::testing;
using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;
using Args = std::vector<std::string>;
namespace fs = std::filesystem;

namespace {

const std::string kCli = VELMORA_CLI_PATH;
const std::string kDevsim = VELMORA_DEVSIM_PATH;
constexpr auto kLimit = 30s;  // only a hang meets it, even under the sanitizers

RunResult cli(const Args& args) { return runToEnd(kCli, args, kLimit); }

Args operator+(Args a, const Args& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// A fresh directory per test; names() shows a stray temporary file too.
struct TempDir {
  TempDir() {
    std::string pattern = ::testing::TempDir() + "velmora_cli_XXXXXX";
    if (::mkdtemp(pattern.data()) != nullptr) path = pattern;
  }
  ~TempDir() { fs::remove_all(path); }
  std::string operator/(const std::string& name) const { return path + "/" + name; }
  std::set<std::string> names() const {
    std::set<std::string> found;
    for (const auto& e : fs::directory_iterator(path)) found.insert(e.path().filename().string());
    return found;
  }
  std::string path;
};

Bytes imageOfUnits(int units) {
  Bytes image;
  for (int u = 0; u < units; ++u)
    for (int i = 0; i < 8; ++i) image.push_back(static_cast<uint8_t>(i == 0 ? 1 + u % 4 : u * 5 + i));
  return image;
}

// A loopback socket: bound and not listening (a TCP connect is refused),
// or connected to port.
struct Socket {
  explicit Socket(int type, uint16_t to = 0) : fd(::socket(AF_INET, type, 0)) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(to);
    socklen_t len = sizeof a;
    if (to != 0 ? ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0
                : ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
                      ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0)
      port = to != 0 ? to : ntohs(a.sin_port);
  }
  ~Socket() { ::close(fd); }
  bool send(const uint8_t* data, size_t n) const { return ::write(fd, data, n) == static_cast<ssize_t>(n); }
  // Eight bytes, one answer, within 3 s.
  Bytes answer() const {
    Bytes got;
    const auto deadline = Clock::now() + 3s;
    uint8_t chunk[64];
    pollfd p{fd, POLLIN, 0};
    while (got.size() < 8 && ::poll(&p, 1, msLeft(deadline)) > 0) {
      const ssize_t n = ::read(fd, chunk, sizeof chunk);
      if (n <= 0) break;
      got.insert(got.end(), chunk, chunk + n);
    }
    return got;
  }
  int fd;
  uint16_t port = 0;
};

}  // namespace

// Each command over each real channel; the address a request carries
// follows set-address; a read replaces an existing file whole. devsim
// answers the scan's probe and ends with status 0 on either signal.
class CliOverLink : public ::testing::TestWithParam<std::string> {};

TEST_P(CliOverLink, AddressReadAndWriteReachTheDevice) {
  TempDir dir;
  const Bytes original = imageOfUnits(24);  // an envelope of 200 bytes: four packets
  writeWholeFile(dir / "device.vmc", original);
  Devsim sim(kDevsim);
  ASSERT_TRUE(sim.start({"--tcp", "127.0.0.1:0", "--udp", "127.0.0.1:0", "--pty", "--address", "3", "--image",
                         dir / "device.vmc", "--save", dir / "saved.vmc"}));
  const bool tcp = GetParam() == "tcp";
  const Args link = tcp ? Args{"--tcp", sim.endpoint("tcp")} : Args{"--serial", sim.endpoint("pty")};

  RunResult r = cli(link + Args{"get-address"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "3\n");

  r = cli(link + Args{"--address", "3", "read", dir / "read.vmc"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(readWholeFile(dir / "read.vmc"), original);
  EXPECT_TRUE(has(r.err, "收到配置数据包 4/4, 数据长度 50")) << r.err;
  EXPECT_FALSE(has(r.err, "正在读取配置...")) << "the start is said once: " << r.err;
  EXPECT_EQ(r.out, "");

  // 56 bytes: an envelope of 64, the last packet carries 14 bytes.
  const Bytes next = imageOfUnits(7);
  writeWholeFile(dir / "next.vmc", next);
  r = cli(link + Args{"--address", "3", "write", dir / "next.vmc"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(has(r.err, "下发完成")) << r.err;
  EXPECT_EQ(readWholeFile(dir / "saved.vmc"), next);

  r = cli(link + Args{"--quiet", "--address", "3", "set-address", "200"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "200\n");
  EXPECT_EQ(r.err, "") << "--quiet leaves standard error empty on success";

  r = cli(link + Args{"--quiet", "--address", "200", "read", dir / "read.vmc"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(readWholeFile(dir / "read.vmc"), next);
  EXPECT_EQ(dir.names(), (std::set<std::string>{"device.vmc", "next.vmc", "read.vmc", "saved.vmc"}));

  if (tcp) {  // a host name: the hosts file answers, no name server is asked
    const std::string named = "localhost:" + std::to_string(sim.port("tcp"));
    r = cli({"--tcp", named, "--address", "200", "get-address"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(has(r.err, "TCP连接成功: TCP已连接：" + named)) << r.err;
    // devsim answers only the probe "RAZ"; the target's name is looked up as for a link.
    r = cli({"scan", "--target", "localhost:" + std::to_string(sim.port("udp")), "--wait", "1"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "127.0.0.1\n");
  }
  EXPECT_EQ(sim.stop(tcp ? SIGINT : SIGTERM), 0);
}

INSTANTIATE_TEST_SUITE_P(Transports, CliOverLink, ::testing::Values("tcp", "pty"));

// A failed read (here a lost answer; the session tests go through each
// fault) leaves neither the file nor a temporary one behind.
TEST(CliFaults, FailedReadLeavesNothing) {
  TempDir dir;
  Devsim sim(kDevsim);
  ASSERT_TRUE(sim.start({"--tcp", "127.0.0.1:0", "--drop", "2"}));
  const RunResult r = cli({"--tcp", sim.endpoint("tcp"), "read", dir / "out.vmc"});
  EXPECT_EQ(r.exitCode, 1) << r.err;
  EXPECT_TRUE(has(r.err, "\nvelmora-cli: 读取配置超时，复位\n")) << r.err;
  EXPECT_TRUE(dir.names().empty()) << "left behind: " << *dir.names().begin();
  EXPECT_EQ(sim.stop(), 0);
}

// The pty going away is an adapter pulled out: the run ends with it, naming
// the loss, not by the watchdog 2 s later.
TEST(CliFaults, PtyGoneMidTransferFailsNamingTheLoss) {
  TempDir dir;
  writeWholeFile(dir / "image.vmc", imageOfUnits(24));  // four packets
  for (const std::string command : {"read", "write"}) {
    SCOPED_TRACE(command);
    Devsim sim(kDevsim);
    ASSERT_TRUE(sim.start({"--pty", "--close-after", "2", "--save", dir / "saved.vmc"}));
    const RunResult r =
        cli({"--serial", sim.endpoint("pty"), command, dir / (command == "read" ? "out.vmc" : "image.vmc")});
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_TRUE(has(r.err, "\nvelmora-cli: 串口意外断开: ")) << r.err;
    EXPECT_FALSE(has(r.err, "超时")) << r.err;
    EXPECT_EQ(dir.names(), std::set<std::string>{"image.vmc"}) << "nothing read is saved, nothing written is kept";
    EXPECT_EQ(sim.stop(), 0);
  }
}

TEST(CliFaults, HeaderErrorWritesNothingUnlessForced) {
  TempDir dir;
  const Bytes odd(13, 0x01);  // an envelope of 21 bytes: no whole units
  writeWholeFile(dir / "odd.vmc", odd);
  Devsim sim(kDevsim);
  ASSERT_TRUE(sim.start({"--tcp", "127.0.0.1:0", "--image", dir / "odd.vmc"}));
  RunResult r = cli({"--tcp", sim.endpoint("tcp"), "read", dir / "out.vmc"});
  EXPECT_EQ(r.exitCode, 1) << r.err;
  EXPECT_TRUE(has(r.err, "velmora-cli: 配置报文头错误！")) << r.err;
  EXPECT_FALSE(fs::exists(dir / "out.vmc"));

  r = cli({"--tcp", sim.endpoint("tcp"), "--quiet", "read", dir / "out.vmc", "--force"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(readWholeFile(dir / "out.vmc"), odd);
  EXPECT_TRUE(has(r.err, "配置报文头错误！")) << "forced, not silent: " << r.err;
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
  EXPECT_EQ(sim.stop(), 0);
}

TEST(CliFailures, NoLinkBadFilesAndUsageExitOneOrTwo) {
  TempDir dir;
  const Socket refusing(SOCK_STREAM);
  ASSERT_NE(refusing.port, 0);
  const std::string where = "127.0.0.1:" + std::to_string(refusing.port);
  writeWholeFile(dir / "empty.vmc", {});
  writeWholeFile(dir / "long.vmc", Bytes(2056, 0x01));
  struct Case {
    Args args;
    int exitCode;
    std::string text;  // on standard error
    const std::string& program = kCli;
  };
  const Case cases[] = {
      // devsim must never be the reason a test reaches a real network.
      {{"--tcp", "192.168.1.110:6000"}, 2, "loopback", kDevsim},
      {{"--pty", "--image", dir / "long.vmc"}, 2, "", kDevsim},
      {{"--tcp", where, "get-address"}, 1, "velmora-cli: TCP连接失败: " + where},
      {{"--serial", "/dev/velmora-no-such-port", "read", dir / "out.vmc"}, 1,
       "velmora-cli: 串口打开失败: /dev/velmora-no-such-port"},
      // Refused before any link is tried.
      {{"--tcp", where, "read", dir / "missing/out.vmc"}, 2, "velmora-cli: 保存文件失败"},
      {{"--tcp", where, "write", dir / "empty.vmc"}, 2, "velmora-cli: 打开文件为空"},
      {{"--tcp", where, "write", dir / "none.vmc"}, 2, "velmora-cli: 打开文件失败"},
      {{"--serial", "/tmp/not-a-port", "get-address"}, 2, "无效串口"},
      {{}, 2, ""},
      {{"frobnicate"}, 2, ""},
      {{"--tcp", "127.0.0.1", "get-address"}, 2, ""},
  };
  for (const Case& c : cases) {
    const RunResult r = runToEnd(c.program, c.args, kLimit);
    SCOPED_TRACE(c.args.empty() ? "(none)" : c.args.back());
    EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
    EXPECT_TRUE(has(r.err, c.text)) << r.err;
    // One line: also none from a link that should not have been tried.
    if (c.exitCode == 2) {
      EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    }
    EXPECT_EQ(r.out, "");
  }
  EXPECT_EQ(dir.names(), (std::set<std::string>{"empty.vmc", "long.vmc"}));
  EXPECT_EQ(runToEnd(kDevsim, {"--help"}, kLimit).exitCode, 0);
  const RunResult help = cli({"--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_TRUE(has(help.out, "usage: velmora-cli"));
  const RunResult version = cli({"--version"});
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_EQ(version.out.rfind("velmora-cli 1.", 0), 0u) << version.out;
}

// A serial unit and an unknown one; then the same with three stray bytes.
TEST(CliDump, ListsWholeUnitsAndAPartialOneExitsTwo) {
  TempDir dir;
  Bytes units{0x01, 0x03, 0x00, 0x00, 0x25, 0x80, 0x84, 0x0D, 0x07, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x0A};
  const std::string listed =
      "0\t串口配置\t数据口3: 波特率=9600, 数据位=8, 停止位=1.5, 校验=无, 协议=55协议 程序下载 临时数据包\n"
      "1\t未知\t未知: 07 01 02 03 04 05 06 0A\n";
  writeWholeFile(dir / "whole.vmc", units);
  RunResult r = cli({"dump", dir / "whole.vmc"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, listed);
  units.insert(units.end(), {0x04, 0x01, 0x01});
  writeWholeFile(dir / "a.vmc", units);
  r = cli({"dump", dir / "a.vmc"});
  EXPECT_EQ(r.exitCode, 2) << r.err;
  EXPECT_TRUE(has(r.err, "a.vmc: 3 bytes after the last whole unit")) << r.err;
  EXPECT_EQ(r.out, listed);
  r = cli({"dump", dir.path});
  EXPECT_EQ(r.exitCode, 2) << "a directory is no file";
}

// Each TCP connection has its own receive state: half a frame held on one
// does not hold up another, and its rest is then answered.
TEST(DevsimProcess, ConnectionsKeepTheirOwnReceiveState) {
  Devsim sim(kDevsim);
  ASSERT_TRUE(sim.start({"--tcp", "127.0.0.1:0"}));
  const auto query = velmora::buildAddressQuery();
  const Bytes report{0x22, 0x01, 0x40, 0, 0, 0, 0, 0x63};
  const Socket a(SOCK_STREAM, sim.port("tcp")), b(SOCK_STREAM, sim.port("tcp"));
  ASSERT_TRUE(a.port != 0 && b.port != 0);
  ASSERT_TRUE(a.send(query.data(), 5));
  ASSERT_TRUE(b.send(query.data(), query.size()));
  EXPECT_EQ(b.answer(), report);
  ASSERT_TRUE(a.send(query.data() + 5, query.size() - 5));
  EXPECT_EQ(a.answer(), report);
  EXPECT_EQ(sim.stop(), 0);
}

// --baud paces both ways: get-address is 16 bytes of 10 bits, at 300 baud
// 533 ms at least. Only the lower bound: a busy machine takes longer.
TEST(DevsimProcess, BaudPacesTheLine) {
  Devsim sim(kDevsim);
  ASSERT_TRUE(sim.start({"--tcp", "127.0.0.1:0", "--baud", "300"}));
  const auto start = Clock::now();
  const RunResult r = cli({"--tcp", sim.endpoint("tcp"), "get-address"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_GE(Clock::now() - start, 530ms);
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
  const bool asRoot = ::geteuid() == 0;
  if (asRoot) {
    ASSERT_EQ(::chmod(path.c_str(), 0666), 0);
  }
  const pid_t child = asRoot ? ::fork() : 0;
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (asRoot && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(3);
    const int first = ::open(path.c_str(), O_RDWR | O_NOCTTY);
    if (first < 0 || ::ioctl(first, TIOCEXCL) != 0) ::_exit(4);
    ::close(first);
    int rc = 1;
    for (int attempt = 0; attempt < 100 && rc != 0; ++attempt) {  // at most about 2 s
      const int again = ::open(path.c_str(), O_RDWR | O_NOCTTY);
      if (again >= 0) ::close(again), rc = 0;
      else ::usleep(20'000);
    }
    if (asRoot) ::_exit(rc);
    EXPECT_EQ(rc, 0);
  } else {
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: still busy, 3: no setuid, 4: no exclusive open";
  }
  EXPECT_EQ(sim.stop(), 0);
}
