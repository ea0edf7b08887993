// velmora-cli as built, against velmora-devsim on 127.0.0.1 and its pty:
// what the session tests cannot see. Real channels and lookups, what is
// printed, exit statuses and what is left on disk. Every child has a deadline.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

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

// A loopback socket bound and not listening: a TCP connect is refused.
struct BoundSocket {
  explicit BoundSocket(int type) : fd(::socket(AF_INET, type, 0)) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0)
      port = ntohs(a.sin_port);
  }
  ~BoundSocket() { ::close(fd); }
  int fd;
  uint16_t port = 0;
};

}  // namespace

// Each command over each real channel; the address a request carries
// follows set-address; a read replaces an existing file whole.
class CliOverLink : public ::testing::TestWithParam<std::string> {};

TEST_P(CliOverLink, AddressReadAndWriteReachTheDevice) {
  TempDir dir;
  const Bytes original = imageOfUnits(24);  // an envelope of 200 bytes: four packets
  writeWholeFile(dir / "device.vmc", original);
  Devsim sim(kDevsim);
  ASSERT_TRUE(sim.start({"--tcp", "127.0.0.1:0", "--pty", "--address", "3", "--image", dir / "device.vmc", "--save",
                         dir / "saved.vmc"}));
  const bool tcp = GetParam() == "tcp";
  const Args link = tcp ? Args{"--tcp", sim.endpoint("tcp")} : Args{"--serial", sim.endpoint("pty")};

  RunResult r = cli(link + Args{"get-address"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "3\n");
  EXPECT_TRUE(has(r.err, "读取设备地址成功: 03")) << r.err;

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
  }
  EXPECT_EQ(sim.stop(), 0);
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
  const BoundSocket refusing(SOCK_STREAM);
  ASSERT_NE(refusing.port, 0);
  const std::string where = "127.0.0.1:" + std::to_string(refusing.port);
  writeWholeFile(dir / "empty.vmc", {});
  struct Case {
    Args args;
    int exitCode;
    std::string text;  // on standard error
  };
  const Case cases[] = {
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
    const RunResult r = cli(c.args);
    SCOPED_TRACE(c.args.empty() ? "(none)" : c.args.back());
    EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
    EXPECT_TRUE(has(r.err, c.text)) << r.err;
    // One line: also none from a link that should not have been tried.
    if (c.exitCode == 2) {
      EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    }
    EXPECT_EQ(r.out, "");
  }
  EXPECT_EQ(dir.names(), std::set<std::string>{"empty.vmc"});
  const RunResult help = cli({"--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_TRUE(has(help.out, "usage: velmora-cli"));
  const RunResult version = cli({"--version"});
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_EQ(version.out.rfind("velmora-cli 1.", 0), 0u) << version.out;
}

TEST(CliDump, ListsWholeUnitsAndAPartialOneExitsTwo) {
  TempDir dir;
  writeWholeFile(dir / "whole.vmc", {0x07, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x0A});
  RunResult r = cli({"dump", dir / "whole.vmc"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "0\t未知\t未知: 07 01 02 03 04 05 06 0A\n");

  // A serial unit, the unknown one, and three stray bytes.
  writeWholeFile(dir / "a.vmc", {0x01, 0x03, 0x00, 0x00, 0x25, 0x80, 0x84, 0x0D, 0x07, 0x01, 0x02, 0x03, 0x04, 0x05,
                                0x06, 0x0A, 0x04, 0x01, 0x01});
  r = cli({"dump", dir / "a.vmc"});
  EXPECT_EQ(r.exitCode, 2) << r.err;
  EXPECT_TRUE(has(r.err, "a.vmc: 3 bytes after the last whole unit")) << r.err;
  EXPECT_EQ(r.out,
            "0\t串口配置\t数据口3: 波特率=9600, 数据位=8, 停止位=1.5, 校验=无, 协议=55协议 程序下载 临时数据包\n"
            "1\t未知\t未知: 07 01 02 03 04 05 06 0A\n");
  r = cli({"dump", dir.path});
  EXPECT_EQ(r.exitCode, 2) << "a directory is no file";
}

// The test answers the probe itself, twice: the second reply from the same
// host is not listed again. The target is a name, looked up as for a link.
TEST(CliScan, ProbeIsRazAndARepeatedReplyIsListedOnce) {
  const BoundSocket responder(SOCK_DGRAM);
  ASSERT_NE(responder.port, 0);
  Child child;
  ASSERT_TRUE(child.spawn(kCli, {"scan", "--target", "localhost:" + std::to_string(responder.port), "--wait", "2"}));
  pollfd p{responder.fd, POLLIN, 0};
  ASSERT_EQ(::poll(&p, 1, 10'000), 1) << "no probe came";
  char probe[64];
  sockaddr_in from{};
  socklen_t fromLen = sizeof from;
  const ssize_t n = ::recvfrom(responder.fd, probe, sizeof probe, 0, reinterpret_cast<sockaddr*>(&from), &fromLen);
  EXPECT_EQ(std::string(probe, static_cast<size_t>(std::max<ssize_t>(n, 0))), "RAZ");
  ASSERT_EQ(from.sin_addr.s_addr, htonl(INADDR_LOOPBACK));
  for (int i = 0; i < 2; ++i) ::sendto(responder.fd, "OK", 2, 0, reinterpret_cast<sockaddr*>(&from), fromLen);

  const auto deadline = Clock::now() + kLimit;
  child.collect(deadline);
  EXPECT_EQ(child.reap(deadline), 0) << child.err;
  EXPECT_EQ(child.out, "127.0.0.1\n");
}
