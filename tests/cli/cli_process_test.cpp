// velmora-cli as a user runs it, against velmora-devsim on 127.0.0.1 and on
// its pty: what it prints, the status it exits with, and what it leaves on
// disk and in the device. Every child runs under a deadline.
#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "tests/support/child_process.h"

using namespace velmora::testing;
using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;

namespace {

const std::string kCli = VELMORA_CLI_PATH;
const std::string kDevsim = VELMORA_DEVSIM_PATH;
// Generous: the sanitizer build is slow and the machine shared. Only a hang
// runs into it.
constexpr auto kLimit = 30s;

RunResult cli(const std::vector<std::string>& args) { return runToEnd(kCli, args, kLimit); }

Bytes fileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeFile(const std::string& path, const Bytes& bytes) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                              static_cast<std::streamsize>(bytes.size()));
}

bool exists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

// A fresh directory per test, removed with everything in it.
class TempDir {
 public:
  TempDir() {
    std::string pattern = ::testing::TempDir() + "velmora_cli_XXXXXX";
    if (const char* made = ::mkdtemp(pattern.data())) path = made;
  }
  ~TempDir() {
    for (const std::string& name : names()) std::remove((path + "/" + name).c_str());
    ::rmdir(path.c_str());
  }
  std::string operator/(const std::string& name) const { return path + "/" + name; }
  // Everything in the directory, so a stray temporary file shows.
  std::set<std::string> names() const {
    std::set<std::string> found;
    if (DIR* d = ::opendir(path.c_str())) {
      while (const dirent* e = ::readdir(d))
        if (std::string(e->d_name) != "." && std::string(e->d_name) != "..") found.insert(e->d_name);
      ::closedir(d);
    }
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

// The options that put velmora-cli on one of devsim's endpoints.
std::vector<std::string> linkArgs(const Devsim& sim, const std::string& transport) {
  if (transport == "tcp") return {"--tcp", sim.endpoint("tcp")};
  return {"--serial", sim.endpoint("pty")};
}

std::vector<std::string> operator+(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

int lineCount(const std::string& text) { return static_cast<int>(std::count(text.begin(), text.end(), '\n')); }

// A loopback port with nothing behind it: bound, read, closed.
uint16_t unusedPort(int type) {
  const int fd = ::socket(AF_INET, type, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  uint16_t port = 0;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0)
    port = ntohs(a.sin_port);
  ::close(fd);
  return port;
}

}  // namespace

// ---- the commands, over TCP and over the pty ----

class CliOverLink : public ::testing::TestWithParam<std::string> {};

TEST_P(CliOverLink, AddressIsReadChangedAndReadAgain) {
  Devsim sim(kDevsim);
  ASSERT_TRUE(sim.start({"--tcp", "127.0.0.1:0", "--pty", "--address", "3"}));
  const auto link = linkArgs(sim, GetParam());

  RunResult r = cli(link + std::vector<std::string>{"get-address"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "3\n");
  EXPECT_NE(r.err.find("读取设备地址成功: 03"), std::string::npos) << r.err;

  r = cli(link + std::vector<std::string>{"--address", "3", "set-address", "200"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "200\n");

  r = cli(link + std::vector<std::string>{"--quiet", "get-address"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "200\n");
  EXPECT_EQ(r.err, "") << "--quiet leaves standard error empty on success";

  // Requests now have to carry the new address.
  TempDir dir;
  r = cli(link + std::vector<std::string>{"--address", "200", "read", dir / "after.vmc"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(sim.stop(), 0);
}

TEST_P(CliOverLink, ReadGivesTheDevicesImageWriteIsSavedExactly) {
  TempDir dir;
  const Bytes original = imageOfUnits(24);  // an envelope of 200 bytes: four packets
  writeFile(dir / "device.vmc", original);
  Devsim sim(kDevsim);
  ASSERT_TRUE(sim.start({"--tcp", "127.0.0.1:0", "--pty", "--image", dir / "device.vmc", "--save", dir / "saved.vmc"}));
  const auto link = linkArgs(sim, GetParam());

  RunResult r = cli(link + std::vector<std::string>{"read", dir / "read.vmc"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(fileBytes(dir / "read.vmc"), original);
  EXPECT_NE(r.err.find("收到配置数据包 4/4, 数据长度 50"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("读取完成"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("正在读取配置..."), std::string::npos) << "the start is said once: " << r.err;
  EXPECT_NE(r.err.find("开始读取配置..."), std::string::npos) << r.err;
  EXPECT_EQ(r.out, "");

  // 56 bytes: an envelope of 64, the last packet carries 14 bytes.
  const Bytes next = imageOfUnits(7);
  writeFile(dir / "next.vmc", next);
  r = cli(link + std::vector<std::string>{"write", dir / "next.vmc"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.err.find("下发完成"), std::string::npos) << r.err;
  EXPECT_EQ(fileBytes(dir / "saved.vmc"), next) << "the device took the file's bytes unchanged";

  // An existing file is replaced whole.
  r = cli(link + std::vector<std::string>{"--quiet", "--force", "read", dir / "read.vmc"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(fileBytes(dir / "read.vmc"), next);
  EXPECT_EQ(dir.names(), (std::set<std::string>{"device.vmc", "next.vmc", "read.vmc", "saved.vmc"}));
  EXPECT_EQ(sim.stop(), 0);
}

INSTANTIATE_TEST_SUITE_P(Transports, CliOverLink, ::testing::Values("tcp", "pty"));

// ---- faults ----

// Each fault fails the read with status 1, leaves no file or temporary file
// behind, and the same device then serves a fresh read.
TEST(CliReadFaults, FailedReadsLeaveNothingAndTheDeviceRecovers) {
  struct Case {
    std::string name;
    std::vector<std::string> faults;
    std::string text;  // expected on standard error
  };
  const std::vector<Case> cases{
      {"drop", {"--drop", "2"}, "读取配置超时，复位"},
      {"corrupt", {"--corrupt", "2"}, "读取配置超时，复位"},
      {"close after", {"--close-after", "1"}, "velmora-cli: "},
      {"reply address", {"--reply-address", "2:9"}, "读取配置超时，复位"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    Devsim sim(kDevsim);
    ASSERT_TRUE(sim.start(std::vector<std::string>{"--tcp", "127.0.0.1:0"} + c.faults));
    const std::string target = dir / "out.vmc";
    RunResult r = cli({"--tcp", sim.endpoint("tcp"), "read", target});
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_NE(r.err.find(c.text), std::string::npos) << r.err;
    EXPECT_NE(r.err.rfind("velmora-cli: "), std::string::npos) << "a reason line: " << r.err;
    EXPECT_TRUE(dir.names().empty()) << "left behind: " << *dir.names().begin();

    r = cli({"--tcp", sim.endpoint("tcp"), "--quiet", "read", target});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(fileBytes(target).size(), 112u) << "the built-in image";
    EXPECT_EQ(sim.stop(), 0);
  }
}

// The pty going away is an adapter pulled out: the run ends with it, naming
// the loss, and not by the watchdog that would follow 2 s later.
TEST(CliReadFaults, PtyThatGoesAwayMidTransferFailsNamingTheLoss) {
  TempDir dir;
  writeFile(dir / "image.vmc", imageOfUnits(24));  // four packets
  for (const std::string command : {"read", "write"}) {
    SCOPED_TRACE(command);
    Devsim sim(kDevsim);
    ASSERT_TRUE(sim.start({"--pty", "--close-after", "2", "--save", dir / "saved.vmc"}));
    const RunResult r = cli({"--serial", sim.endpoint("pty"), command,
                             dir / (command == "read" ? "out.vmc" : "image.vmc")});
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_NE(r.err.find("\nvelmora-cli: 串口意外断开: "), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("超时"), std::string::npos) << r.err;
    EXPECT_EQ(dir.names(), std::set<std::string>{"image.vmc"}) << "nothing read is saved, nothing written is kept";
    EXPECT_EQ(sim.stop(), 0);
  }
}

TEST(CliReadFaults, HeaderErrorWritesNothingUnlessForced) {
  TempDir dir;
  const Bytes units = imageOfUnits(2);
  const Bytes odd(units.begin(), units.begin() + 13);  // envelope of 21 bytes
  writeFile(dir / "odd.vmc", odd);
  Devsim sim(kDevsim);
  ASSERT_TRUE(sim.start({"--tcp", "127.0.0.1:0", "--image", dir / "odd.vmc"}));
  RunResult r = cli({"--tcp", sim.endpoint("tcp"), "read", dir / "out.vmc"});
  EXPECT_EQ(r.exitCode, 1) << r.err;
  EXPECT_NE(r.err.find("velmora-cli: 配置报文头错误！"), std::string::npos) << r.err;
  EXPECT_FALSE(exists(dir / "out.vmc"));

  r = cli({"--tcp", sim.endpoint("tcp"), "--quiet", "read", dir / "out.vmc", "--force"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(fileBytes(dir / "out.vmc"), odd);
  EXPECT_NE(r.err.find("配置报文头错误！"), std::string::npos) << "forced, not silent: " << r.err;
  EXPECT_EQ(lineCount(r.err), 1) << r.err;
  EXPECT_EQ(sim.stop(), 0);
}

TEST(CliWriteFaults, InterruptedOrRefusedWritesChangeNothing) {
  TempDir dir;
  writeFile(dir / "image.vmc", imageOfUnits(24));  // four packets
  {
    Devsim sim(kDevsim);
    ASSERT_TRUE(sim.start({"--tcp", "127.0.0.1:0", "--save", dir / "saved.vmc", "--close-after", "2"}));
    const RunResult r = cli({"--tcp", sim.endpoint("tcp"), "write", dir / "image.vmc"});
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_FALSE(exists(dir / "saved.vmc"));
    EXPECT_EQ(sim.stop(), 0);
  }
  {
    Devsim sim(kDevsim);
    ASSERT_TRUE(sim.start({"--tcp", "127.0.0.1:0", "--save", dir / "saved.vmc", "--drop", "3"}));
    const RunResult r = cli({"--tcp", sim.endpoint("tcp"), "write", dir / "image.vmc"});
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_NE(r.err.find("velmora-cli: 下发配置超时，复位"), std::string::npos) << r.err;
    EXPECT_FALSE(exists(dir / "saved.vmc"));
    EXPECT_EQ(sim.stop(), 0);
  }
  {
    Devsim sim(kDevsim);
    ASSERT_TRUE(sim.start({"--tcp", "127.0.0.1:0", "--save", dir / "saved.vmc"}));
    writeFile(dir / "long.vmc", Bytes(2049, 1));
    RunResult r = cli({"--tcp", sim.endpoint("tcp"), "write", dir / "long.vmc"});
    EXPECT_EQ(r.exitCode, 2) << r.err;
    EXPECT_NE(r.err.find("要发送的数据长度无效"), std::string::npos) << r.err;
    writeFile(dir / "whole.vmc", Bytes{0x07, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x0A});
  r = cli({"dump", dir / "whole.vmc"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "0\t未知\t未知: 07 01 02 03 04 05 06 0A\n");

  writeFile(dir / "empty.vmc", Bytes{});
    r = cli({"--tcp", sim.endpoint("tcp"), "write", dir / "empty.vmc"});
    EXPECT_EQ(r.exitCode, 2) << r.err;
    EXPECT_NE(r.err.find("打开文件为空"), std::string::npos) << r.err;
    EXPECT_FALSE(exists(dir / "saved.vmc"));
    EXPECT_EQ(sim.stop(), 0);
  }
}

// ---- the link cannot be had ----

TEST(CliLinkFailures, RefusedPortMissingDeviceAndUnwritableTarget) {
  TempDir dir;
  const uint16_t port = unusedPort(SOCK_STREAM);
  ASSERT_NE(port, 0);
  const std::string where = "127.0.0.1:" + std::to_string(port);
  RunResult r = cli({"--tcp", where, "get-address"});
  EXPECT_EQ(r.exitCode, 1) << r.err;
  EXPECT_NE(r.err.find("velmora-cli: TCP连接失败: " + where), std::string::npos) << r.err;

  r = cli({"--serial", "/dev/velmora-no-such-port", "read", dir / "out.vmc"});
  EXPECT_EQ(r.exitCode, 1) << r.err;
  EXPECT_NE(r.err.find("串口打开失败"), std::string::npos) << r.err;
  EXPECT_FALSE(exists(dir / "out.vmc"));

  // Refused before any link is tried: the directory does not exist.
  r = cli({"--tcp", where, "read", dir / "missing/out.vmc"});
  EXPECT_EQ(r.exitCode, 2) << r.err;
  EXPECT_NE(r.err.find("保存文件失败"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("TCP"), std::string::npos) << r.err;
}

TEST(CliUsage, ErrorsExitTwoWithOneLine) {
  const std::vector<std::vector<std::string>> bad{
      {},
      {"frobnicate"},
      {"read", "x.vmc"},
      {"--tcp", "127.0.0.1:1", "set-address", "0"},
      {"--tcp", "127.0.0.1", "get-address"},
      {"--serial", "/tmp/not-a-port", "get-address"},
      {"scan"},
  };
  for (const auto& args : bad) {
    const RunResult r = cli(args);
    EXPECT_EQ(r.exitCode, 2) << (args.empty() ? "(none)" : args.back()) << ": " << r.err;
    EXPECT_EQ(lineCount(r.err), 1) << r.err;
    EXPECT_EQ(r.out, "");
  }
  const RunResult help = cli({"--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.out.find("usage: velmora-cli"), std::string::npos);
  const RunResult version = cli({"--version"});
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_EQ(version.out.rfind("velmora-cli 1.", 0), 0u) << version.out;
}

// ---- files and the scan ----

TEST(CliDump, ListsUnitsAsTheParameterListDoes) {
  TempDir dir;
  // A serial unit, an unknown one, and three stray bytes.
  writeFile(dir / "a.vmc", Bytes{0x01, 0x03, 0x00, 0x00, 0x25, 0x80, 0x84, 0x0D, 0x07, 0x01, 0x02, 0x03, 0x04, 0x05,
                                 0x06, 0x0A, 0x04, 0x01, 0x01});
  RunResult r = cli({"dump", dir / "a.vmc"});
  EXPECT_EQ(r.exitCode, 2) << "not whole units: " << r.err;
  EXPECT_NE(r.err.find("a.vmc: 3 bytes after the last whole unit"), std::string::npos) << r.err;
  EXPECT_EQ(r.out,
            "0\t串口配置\t数据口3: 波特率=9600, 数据位=8, 停止位=1.5, 校验=无, 协议=55协议 程序下载 临时数据包\n"
            "1\t未知\t未知: 07 01 02 03 04 05 06 0A\n");

  writeFile(dir / "empty.vmc", Bytes{});
  r = cli({"dump", dir / "empty.vmc"});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_NE(r.err.find("打开文件为空"), std::string::npos) << r.err;
  r = cli({"dump", dir / "none.vmc"});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_NE(r.err.find("打开文件失败"), std::string::npos) << r.err;
  r = cli({"dump", dir.path});
  EXPECT_EQ(r.exitCode, 2) << "a directory is no file";
}

TEST(CliScan, ListsTheResponderOnceAndNothingWhenNobodyAnswers) {
  Devsim sim(kDevsim);
  ASSERT_TRUE(sim.start({"--udp", "127.0.0.1:0"}));
  RunResult r = cli({"scan", "--target", sim.endpoint("udp"), "--wait", "1"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "127.0.0.1\n");
  EXPECT_EQ(sim.stop(), 0);

  r = cli({"scan", "--target", "127.0.0.1:" + std::to_string(unusedPort(SOCK_DGRAM)), "--wait", "0.3"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "");
}

// A host name: the hosts file answers "localhost" (no name server is asked),
// the link and the scan then run on loopback as with the dotted address.
TEST(CliScan, LocalhostIsLookedUpForTheLinkAndTheScan) {
  Devsim sim(kDevsim);
  ASSERT_TRUE(sim.start({"--tcp", "127.0.0.1:0", "--udp", "127.0.0.1:0"}));
  const auto named = [&](const std::string& kind) {
    const std::string where = sim.endpoint(kind);
    return "localhost" + where.substr(where.rfind(':'));
  };
  RunResult r = cli({"--tcp", named("tcp"), "get-address"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "1\n");
  EXPECT_NE(r.err.find("TCP连接成功: TCP已连接：" + named("tcp")), std::string::npos) << r.err;

  r = cli({"scan", "--target", named("udp"), "--wait", "1"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "127.0.0.1\n");
  EXPECT_EQ(sim.stop(), 0);
}

// Here the test answers the probe itself, twice, so the second reply from
// the same host must not be listed again.
TEST(CliScan, ProbeIsRazAndARepeatedReplyIsListedOnce) {
  const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
  ASSERT_GE(fd, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  ASSERT_EQ(::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len), 0);

  Child child;
  ASSERT_TRUE(child.spawn(kCli, {"scan", "--target", "127.0.0.1:" + std::to_string(ntohs(a.sin_port)), "--wait", "2"}));
  pollfd p{fd, POLLIN, 0};
  ASSERT_EQ(::poll(&p, 1, 10'000), 1) << "no probe came";
  char probe[64];
  sockaddr_in from{};
  socklen_t fromLen = sizeof from;
  const ssize_t n = ::recvfrom(fd, probe, sizeof probe, 0, reinterpret_cast<sockaddr*>(&from), &fromLen);
  EXPECT_EQ(std::string(probe, static_cast<size_t>(std::max<ssize_t>(n, 0))), "RAZ");
  ASSERT_EQ(from.sin_addr.s_addr, htonl(INADDR_LOOPBACK));
  for (int i = 0; i < 2; ++i) ::sendto(fd, "OK", 2, 0, reinterpret_cast<sockaddr*>(&from), fromLen);
  ::close(fd);

  const auto deadline = Clock::now() + kLimit;
  child.collect(deadline);
  EXPECT_EQ(child.reap(deadline), 0) << child.err;
  EXPECT_EQ(child.out, "127.0.0.1\n");
}
