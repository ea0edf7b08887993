// velmora-cli and velmora-devsim as built, on 127.0.0.1 and a pty: real
// channels and lookups, output, exit statuses, signals, files left on disk.
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <sstream>
#include <filesystem>
#include <set>

#include "protocol/frames.h"
#include "tests/support/child_process.h"
#include "tests/support/process_test_helpers.h"

using namespace velmora::testing;
using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;
using Json = nlohmann::json;
namespace fs = std::filesystem;

namespace {

const std::string kCli = VELMORA_CLI_PATH, kDevsim = VELMORA_DEVSIM_PATH;
constexpr auto kLimit = 30s;  // only a hang meets it, even under the sanitizers

RunResult cli(const Args& args) { return runToEnd(kCli, args, kLimit); }
RunResult ok(const Args& args) {
  RunResult r = cli(args);
  EXPECT_EQ(r.exitCode, 0) << ::testing::PrintToString(args) << "\n" << r.err;
  return r;
}

Bytes imageOfUnits(int units) {
  Bytes image;
  for (int u = 0; u < units; ++u)
    for (int i = 0; i < 8; ++i) image.push_back(static_cast<uint8_t>(i == 0 ? 1 + u % 4 : u * 5 + i));
  return image;
}

// A loopback TCP socket: bound and not listening (a connect is refused), or connected to port.
struct Socket {
  explicit Socket(uint16_t to = 0) : fd(::socket(AF_INET, SOCK_STREAM, 0)) {
    sockaddr_in a{AF_INET, htons(to), {htonl(INADDR_LOOPBACK)}, {}};
    socklen_t len = sizeof a;
    const timeval limit{3, 0};  // for answer()
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    if (to != 0 ? ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0
                : ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
                      ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0)
      port = to != 0 ? to : ntohs(a.sin_port);
  }
  ~Socket() { ::close(fd); }
  bool send(const uint8_t* data, size_t n) const { return ::write(fd, data, n) == static_cast<ssize_t>(n); }
  Bytes answer() const {  // one eight-byte answer, within 3 s
    Bytes got(8);
    got.resize(static_cast<size_t>(std::max<ssize_t>(::recv(fd, got.data(), got.size(), MSG_WAITALL), 0)));
    return got;
  }
  int fd;
  uint16_t port = 0;
};

}  // namespace

// Each command over each real channel; requests carry the address set;
// a read replaces a file whole; devsim ends with 0 on SIGINT and SIGTERM.
class CliOverLink : public ::testing::TestWithParam<std::string> {};

TEST_P(CliOverLink, AddressReadAndWriteReachTheDevice) {
  TempDir dir{"velmora_cli"};
  const Bytes original = imageOfUnits(24);  // an envelope of 200 bytes: four packets
  writeWholeFile(dir / "device.vmc", original);
  Devsim sim(kDevsim);
  ASSERT_TRUE(sim.start({"--tcp", "127.0.0.1:0", "--udp", "127.0.0.1:0", "--pty", "--address", "3", "--image",
                         dir / "device.vmc", "--save", dir / "saved.vmc"}));
  const bool tcp = GetParam() == "tcp";
  const Args link = tcp ? Args{"--tcp", sim.endpoint("tcp")} : Args{"--serial", sim.endpoint("pty")};

  RunResult r = ok(link + Args{"--address", "3", "read", dir / "read.vmc"});
  EXPECT_EQ(readWholeFile(dir / "read.vmc"), original);
  EXPECT_TRUE(has(r.err, "收到配置数据包 4/4, 数据长度 50")) << r.err;
  EXPECT_FALSE(has(r.err, "正在读取配置...")) << "the start is said once: " << r.err;

  // 56 bytes: an envelope of 64, the last packet carries 14.
  const Bytes next = imageOfUnits(7);
  writeWholeFile(dir / "next.vmc", next);
  EXPECT_TRUE(has(ok(link + Args{"--address", "3", "write", dir / "next.vmc"}).err, "下发完成"));
  EXPECT_EQ(readWholeFile(dir / "saved.vmc"), next);

  r = ok(link + Args{"--quiet", "--address", "3", "set-address", "200"});
  EXPECT_EQ(r.out, "200\n");
  EXPECT_EQ(r.err, "") << "--quiet leaves standard error empty on success";

  ok(link + Args{"--quiet", "--address", "200", "read", dir / "read.vmc"});
  EXPECT_EQ(readWholeFile(dir / "read.vmc"), next);
  EXPECT_EQ(dir.names(), (std::set<std::string>{"device.vmc", "next.vmc", "read.vmc", "saved.vmc"}));

  if (tcp) {  // names from the hosts file, for the link and the scan target
    const std::string named = "localhost:" + std::to_string(sim.port("tcp"));
    r = ok({"--tcp", named, "--address", "200", "get-address"});
    EXPECT_EQ(r.out, "200\n");
    EXPECT_TRUE(has(r.err, "TCP连接成功: TCP已连接：" + named)) << r.err;
    EXPECT_EQ(ok({"scan", "--target", "localhost:" + std::to_string(sim.port("udp")), "--wait", "1"}).out,
              "127.0.0.1\n");
  }
  EXPECT_EQ(sim.stop(tcp ? SIGINT : SIGTERM), 0);
}

INSTANTIATE_TEST_SUITE_P(Transports, CliOverLink, ::testing::Values("tcp", "pty"));

// A failed read leaves neither the file nor a temporary one; a pty gone is
// the adapter pulled out, named as such (not the watchdog 2 s later); a
// header error is saved only when forced, and said then too.
TEST(CliFaults, FailedReadNamesItsCauseAndLeavesNothing) {
  TempDir images;
  const Bytes odd(13, 0x01);  // an envelope of 21 bytes: no whole units
  writeWholeFile(images / "odd.vmc", odd);
  const struct {
    Args device;
    std::string text;
  } cases[] = {{{"--tcp", "127.0.0.1:0", "--drop", "2"}, "\nvelmora-cli: 读取配置超时，复位\n"},
               {{"--pty", "--close-after", "2"}, "\nvelmora-cli: 串口意外断开: "},
               {{"--tcp", "127.0.0.1:0", "--image", images / "odd.vmc"}, "velmora-cli: 配置报文头错误！"}};
  for (const auto& c : cases) {
    TempDir dir{"velmora_cli"};
    Devsim sim(kDevsim);
    ASSERT_TRUE(sim.start(c.device));
    const bool tcp = c.device[0] == "--tcp";
    const Args link{tcp ? "--tcp" : "--serial", sim.endpoint(tcp ? "tcp" : "pty")};
    RunResult r = cli(link + Args{"read", dir / "out.vmc"});
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_TRUE(has(r.err, c.text)) << r.err;
    EXPECT_TRUE(dir.names().empty()) << "left behind: " << *dir.names().begin();
    if (c.device.back() == images / "odd.vmc") {
      r = ok(link + Args{"--quiet", "read", dir / "out.vmc", "--force"});
      EXPECT_EQ(readWholeFile(dir / "out.vmc"), odd);
      EXPECT_TRUE(has(r.err, "配置报文头错误！") && std::count(r.err.begin(), r.err.end(), '\n') == 1) << r.err;
    }
    EXPECT_EQ(sim.stop(), 0);
  }
}

TEST(CliFailures, NoLinkBadFilesAndUsageExitOneOrTwo) {
  TempDir dir{"velmora_cli"};
  const Socket refusing;
  ASSERT_NE(refusing.port, 0);
  const std::string where = "127.0.0.1:" + std::to_string(refusing.port);
  writeWholeFile(dir / "empty.vmc", {});
  writeWholeFile(dir / "long.vmc", Bytes(2056, 0x01));
  const struct Case {
    Args args;
    int exitCode;
    std::string text;  // on standard error
    const std::string& program = kCli;
  } cases[] = {
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
      {{"frobnicate"}, 2, ""},
  };
  for (const Case& c : cases) {
    const RunResult r = runToEnd(c.program, c.args, kLimit);
    SCOPED_TRACE(c.args.back());
    EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
    EXPECT_TRUE(has(r.err, c.text)) << r.err;
    EXPECT_TRUE(c.exitCode != 2 || std::count(r.err.begin(), r.err.end(), '\n') == 1) << "nor a link tried: " << r.err;
    EXPECT_EQ(r.out, "");
  }
  EXPECT_EQ(dir.names(), (std::set<std::string>{"empty.vmc", "long.vmc"}));
  EXPECT_EQ(runToEnd(kDevsim, {"--help"}, kLimit).exitCode, 0);
  const RunResult help = cli({"--help"}), version = cli({"--version"});
  EXPECT_TRUE(help.exitCode == 0 && has(help.out, "usage: velmora-cli")) << help.out;
  EXPECT_TRUE(version.exitCode == 0 && version.out.rfind("velmora-cli 1.", 0) == 0) << version.out;
}

// A serial unit and an unknown one; then the same with three stray bytes.
TEST(CliDump, ListsWholeUnitsAndAPartialOneExitsTwo) {
  TempDir dir{"velmora_cli"};
  Bytes units{0x01, 0x03, 0x00, 0x00, 0x25, 0x80, 0x84, 0x0D, 0x07, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x0A};
  const std::string listed =
      "0\t串口配置\t数据口3: 波特率=9600, 数据位=8, 停止位=1.5, 校验=无, 协议=55协议 程序下载 临时数据包\n"
      "1\t未知\t未知: 07 01 02 03 04 05 06 0A\n";
  writeWholeFile(dir / "whole.vmc", units);
  EXPECT_EQ(ok({"dump", dir / "whole.vmc"}).out, listed);
  units.insert(units.end(), {0x04, 0x01, 0x01});
  writeWholeFile(dir / "a.vmc", units);
  RunResult r = cli({"dump", dir / "a.vmc"});
  EXPECT_EQ(r.exitCode, 2) << r.err;
  EXPECT_TRUE(has(r.err, "a.vmc: 3 bytes after the last whole unit")) << r.err;
  EXPECT_EQ(r.out, listed);
  EXPECT_EQ(cli({"dump", dir.path}).exitCode, 2) << "a directory is no file";
}

// The lines it shares with the window follow --lang, else the locale (a
// test's children start without one); its own texts stay English.
TEST(CliLanguage, SharedLinesFollowTheChoiceItsOwnTextsStayEnglish) {
  TempDir dir{"velmora_cli"};
  writeWholeFile(dir / "one.vmc", {0x01, 0x03, 0x00, 0x00, 0x25, 0x80, 0x84, 0x0D});
  const std::string zh =
      "0\t串口配置\t数据口3: 波特率=9600, 数据位=8, 停止位=1.5, 校验=无, 协议=55协议 程序下载 临时数据包\n";
  const std::string en =
      "0\tData port\tData port 3: baud=9600, data bits=8, stop bits=1.5, parity=None, "
      "protocols=55 protocol Program download Temporary data packets\n";
  const auto withEnv = [&](const Args& env, const Args& args) {
    return runToEnd("/usr/bin/env", env + Args{kCli} + args, kLimit);
  };
  EXPECT_EQ(ok({"dump", dir / "one.vmc"}).out, zh);
  EXPECT_EQ(ok({"--lang", "en", "dump", dir / "one.vmc"}).out, en);
  EXPECT_EQ(withEnv({"LANG=en_US.UTF-8"}, {"dump", dir / "one.vmc"}).out, en);
  EXPECT_EQ(withEnv({"LANG=en_US.UTF-8"}, {"--lang=zh", "dump", dir / "one.vmc"}).out, zh) << "the option wins";
  EXPECT_EQ(withEnv({"LANG=en_US.UTF-8", "LC_ALL=zh_CN.UTF-8"}, {"dump", dir / "one.vmc"}).out, zh);
  EXPECT_EQ(withEnv({"LANG=zh_CN.UTF-8", "LC_MESSAGES=en_GB.UTF-8"}, {"dump", dir / "one.vmc"}).out, en);

  const RunResult missing = cli({"--lang", "en", "dump", dir / "none.vmc"});
  EXPECT_EQ(missing.exitCode, 2);
  EXPECT_TRUE(has(missing.err, "Opening the file failed: " + dir / "none.vmc")) << missing.err;
  const RunResult bad = cli({"--lang", "fr", "dump", dir / "one.vmc"});
  EXPECT_EQ(bad.exitCode, 2);
  EXPECT_TRUE(has(bad.err, "--lang needs zh or en")) << bad.err;
}

// ---- JSON documents, differences, verified writes ----

namespace {

// Serial port 3 at 9600, network port 0's IP, server port 502, an unknown unit.
const Bytes kSerial3{0x01, 0x03, 0x00, 0x00, 0x25, 0x80, 0x84, 0x0D}, kIp{0x02, 0x00, 0x00, 0x00, 192, 168, 1, 110},
    kServer{0x03, 0x00, 0x01, 0xF6, 0x00, 0x00, 0x00, 0x10}, kUnknown{0x07, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x0A};

Bytes join(std::initializer_list<Bytes> units) {
  Bytes image;
  for (const Bytes& u : units) image.insert(image.end(), u.begin(), u.end());
  return image;
}

std::string textOf(const std::optional<Bytes>& bytes) { return bytes ? std::string(bytes->begin(), bytes->end()) : ""; }

}  // namespace

// The bytes come back whole, odd ones too (a trailing partial unit); a
// refused document names its path and writes nothing, nor replaces a file.
TEST(CliJson, ExportImportRoundTripAndRefusal) {
  TempDir dir{"velmora_cli"};
  Bytes image = join({kSerial3, kUnknown, kIp, kServer});
  image.insert(image.end(), {0xA1, 0xB2, 0xC3});
  writeWholeFile(dir / "a.vmc", image);
  const std::string printed = ok({"export", dir / "a.vmc"}).out;
  ok({"--quiet", "export", dir / "a.vmc", "-o", dir / "a.json"});
  EXPECT_EQ(textOf(readWholeFile(dir / "a.json")), printed);
  ok({"--quiet", "import", dir / "a.json", "-o", dir / "b.vmc"});
  EXPECT_EQ(readWholeFile(dir / "b.vmc"), image);

  Json document = Json::parse(printed);
  document["units"][0]["baud"] = -1;
  const std::string bad = document.dump();
  writeWholeFile(dir / "bad.json", Bytes(bad.begin(), bad.end()));
  for (const std::string target : {"new.vmc", "b.vmc"}) {
    const RunResult r = cli({"import", dir / "bad.json", "-o", dir / target});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(has(r.err, "velmora-cli: " + dir / "bad.json" + ": $.units[0].baud: must be")) << r.err;
  }
  EXPECT_FALSE(fs::exists(dir / "new.vmc"));
  EXPECT_EQ(readWholeFile(dir / "b.vmc"), image);
  EXPECT_EQ(dir.names(), (std::set<std::string>{"a.vmc", "a.json", "b.vmc", "bad.json"})) << "no temporary left";
}

// Settings, not bytes: another order is no difference. Either side may be
// the device, over TCP or the pty; trouble is 2, never 1.
TEST(CliDiff, FilesAndTheDeviceOverEitherLink) {
  TempDir dir{"velmora_cli"};
  const Bytes a = join({kSerial3, kIp, kServer, kUnknown});
  Bytes changed = join({kServer, kUnknown, kSerial3});  // no IP, port 3 at 19200
  changed[16 + 4] = 0x4B;
  changed[16 + 5] = 0x00;
  writeWholeFile(dir / "a.vmc", a);
  writeWholeFile(dir / "reordered.vmc", join({kUnknown, kServer, kIp, kSerial3}));
  writeWholeFile(dir / "changed.vmc", changed);
  ok({"--quiet", "export", dir / "changed.vmc", "-o", dir / "changed.json"});
  const std::string lines = "serial port 3: baud 9600 → 19200\nnetwork port 0 IP 192.168.1.110 removed\n";

  RunResult r = ok({"diff", dir / "a.vmc", dir / "reordered.vmc"});
  EXPECT_EQ(r.out, "");
  r = cli({"diff", dir / "a.vmc", dir / "changed.json"});
  EXPECT_EQ(r.exitCode, 1) << r.err;
  EXPECT_EQ(r.out, lines);
  r = cli({"diff", "--json", dir / "a.vmc", dir / "changed.vmc"});
  EXPECT_EQ(r.exitCode, 1) << r.err;
  const Json changes = Json::parse(r.out);
  ASSERT_EQ(changes.size(), 2u) << r.out;
  EXPECT_EQ(std::tie(changes[0]["field"], changes[0]["before"], changes[0]["after"], changes[0]["unit"]["port"]),
            std::make_tuple("baud", 9600, 19200, 3));
  EXPECT_EQ(changes[1]["change"], "removed");

  Devsim sim(kDevsim);
  ASSERT_TRUE(sim.start({"--tcp", "127.0.0.1:0", "--pty", "--image", dir / "a.vmc"}));
  for (const Args& link : {Args{"--tcp", sim.endpoint("tcp")}, Args{"--serial", sim.endpoint("pty")}}) {
    EXPECT_EQ(ok(link + Args{"--quiet", "diff", "device", dir / "reordered.vmc"}).out, "");
    EXPECT_EQ(ok(link + Args{"--quiet", "diff", dir / "a.vmc", "device"}).out, "");
    r = cli(link + Args{"--quiet", "diff", "device", dir / "changed.json"});
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_EQ(r.out, lines);
  }
  EXPECT_EQ(sim.stop(), 0);

  writeWholeFile(dir / "broken.json", {'{', '"'});
  const Socket refusing;
  const std::string nowhere = "127.0.0.1:" + std::to_string(refusing.port);
  for (const Args& args : {Args{"diff", dir / "a.vmc", dir / "none.vmc"}, Args{"diff", dir / "broken.json", dir / "a.vmc"},
                           Args{"--tcp", nowhere, "diff", "device", "device"},
                           Args{"--tcp", nowhere, "diff", "device", dir / "a.vmc"}}) {
    r = cli(args);
    EXPECT_EQ(r.exitCode, 2) << ::testing::PrintToString(args) << r.err;
    EXPECT_EQ(r.out, "");
  }
}

// A device that acknowledges every packet but stores another byte is only
// caught by the read-back; a sound one says so in the log.
TEST(CliVerify, WriteReadsBackAndComparesOverTcp) {
  TempDir dir{"velmora_cli"};
  const Bytes a = join({kSerial3, kIp, kServer, kUnknown});
  writeWholeFile(dir / "a.vmc", a);
  ok({"--quiet", "export", dir / "a.vmc", "-o", dir / "a.json"});
  for (const bool faulty : {false, true}) {
    Devsim sim(kDevsim);
    ASSERT_TRUE(sim.start(faulty ? Args{"--tcp", "127.0.0.1:0", "--store-wrong-byte", "4", "--save", dir / "held.vmc"}
                                 : Args{"--tcp", "127.0.0.1:0", "--save", dir / "held.vmc"}));
    const Args link{"--tcp", sim.endpoint("tcp")};
    const RunResult r = cli(link + Args{"write", dir / (faulty ? "a.vmc" : "a.json"), "--verify"});
    EXPECT_EQ(r.exitCode, faulty ? 1 : 0) << r.err;
    EXPECT_TRUE(has(r.err, "下发完成") && has(r.err, "读取完成")) << r.err;
    EXPECT_EQ(has(r.err, "校验完成，设备配置与下发一致"), !faulty) << r.err;
    if (faulty) {
      EXPECT_TRUE(has(r.err, "\nserial port 3: baud 9600 → 55936\n")) << r.err;  // 0x2580 became 0xDA80
      EXPECT_TRUE(has(r.err, "velmora-cli: the device holds another configuration than was written")) << r.err;
      // No log line, no read; what the check finds is said all the same.
      EXPECT_EQ(ok(link + Args{"--quiet", "write", dir / "a.json"}).err,
                "warning: network port 0: mask and gateway missing\n"
                "note: unknown unit 07 01 02 03 04 05 06 0A: unknown kind, carried unchanged\n");
    }
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(sim.stop(), 0);
  }
}

// check's findings and status for a file, a document and the device; write
// says them first and sends the bytes anyway, unless --check refuses.
TEST(CliCheck, FilesTheDeviceAndWrite) {
  TempDir dir{"velmora_cli"};
  const Bytes clean = join({kSerial3, kServer});
  const Bytes faulty = join({kServer, kIp, {0x02, 0x00, 0x00, 0x01, 255, 0, 255, 0}, kServer});
  writeWholeFile(dir / "clean.vmc", clean);
  writeWholeFile(dir / "faulty.vmc", faulty);
  ok({"--quiet", "export", dir / "faulty.vmc", "-o", dir / "faulty.json"});
  const std::string lines =
      "error: server port 502 appears more than once (entries 1, 2)\n"
      "error: network port 0: mask 255.0.255.0 is not contiguous\n"
      "warning: network port 0: gateway missing\n";

  EXPECT_EQ(ok({"check", dir / "clean.vmc"}).out, "");
  RunResult r = cli({"check", dir / "faulty.json"});
  EXPECT_EQ(r.exitCode, 1) << r.err;
  EXPECT_EQ(r.out, lines);
  r = cli({"check", dir / "faulty.vmc", "--json"});
  EXPECT_EQ(r.exitCode, 1) << r.err;
  const Json findings = Json::parse(r.out);
  ASSERT_EQ(findings.size(), 3u) << r.out;
  EXPECT_EQ(std::tie(findings[0]["severity"], findings[0]["rule"], findings[0]["units"]),
            std::make_tuple("error", "server_port_duplicate", Json::array({0, 3})));
  for (const Args& args : {Args{"check", dir / "none.vmc"}, Args{"check"}, Args{"check", "device"},
                           Args{"--check", "dump", dir / "clean.vmc"}})
    EXPECT_EQ(cli(args).exitCode, 2) << ::testing::PrintToString(args);

  Devsim sim(kDevsim);
  ASSERT_TRUE(sim.start({"--tcp", "127.0.0.1:0", "--image", dir / "faulty.vmc", "--save", dir / "saved.vmc"}));
  const Args link{"--tcp", sim.endpoint("tcp")};
  r = cli(link + Args{"--quiet", "check", "device"});
  EXPECT_EQ(r.exitCode, 1) << r.err;
  EXPECT_EQ(r.out, lines);

  r = cli(link + Args{"write", dir / "faulty.vmc", "--check", "--verify"});
  EXPECT_EQ(r.exitCode, 1) << r.err;
  EXPECT_TRUE(has(r.err, lines + "velmora-cli: " + dir / "faulty.vmc" + ": the check found errors, nothing was sent"))
      << r.err;
  EXPECT_FALSE(has(r.err, "TCP连接")) << "no link opened: " << r.err;
  EXPECT_FALSE(fs::exists(dir / "saved.vmc"));

  // The device holds these bytes already: only a blind write sends them.
  r = ok(link + Args{"write", dir / "faulty.vmc", "--no-read-first"});
  EXPECT_TRUE(has(r.err, lines) && has(r.err, "下发完成")) << r.err;
  EXPECT_LT(r.err.find(lines), r.err.find("下发完成")) << "said before the transfer";
  EXPECT_EQ(readWholeFile(dir / "saved.vmc"), faulty);
  EXPECT_EQ(ok(link + Args{"--quiet", "write", dir / "clean.vmc", "--check", "--verify"}).err, "");
  EXPECT_EQ(readWholeFile(dir / "saved.vmc"), clean);
  EXPECT_EQ(sim.stop(), 0);
}

TEST(CliJson, AddressScanAndDumpPrintJson) {
  TempDir dir{"velmora_cli"};
  Bytes image = join({kSerial3, kUnknown});
  writeWholeFile(dir / "a.vmc", image);
  EXPECT_EQ(Json::parse(ok({"dump", "--json", dir / "a.vmc"}).out), Json::parse(R"([
    {"index": 0, "type": "串口配置", "parameters": "数据口3: 波特率=9600, 数据位=8, 停止位=1.5, 校验=无, 协议=55协议 程序下载 临时数据包"},
    {"index": 1, "type": "未知", "parameters": "未知: 07 01 02 03 04 05 06 0A"}])"));
  image.push_back(0x04);
  writeWholeFile(dir / "partial.vmc", image);
  const RunResult partial = cli({"dump", "--json", dir / "partial.vmc"});
  EXPECT_EQ(partial.exitCode, 2);
  EXPECT_EQ(Json::parse(partial.out).size(), 2u) << "the whole units all the same";

  Devsim sim(kDevsim);
  ASSERT_TRUE(sim.start({"--tcp", "127.0.0.1:0", "--udp", "127.0.0.1:0", "--address", "5"}));
  EXPECT_EQ(Json::parse(ok({"--tcp", sim.endpoint("tcp"), "--address", "5", "--quiet", "get-address", "--json"}).out),
            Json({{"address", 5}}));
  EXPECT_EQ(Json::parse(ok({"scan", "--target", sim.endpoint("udp"), "--wait", "1", "--json"}).out),
            Json::parse(R"([{"host": "127.0.0.1"}])"));
  EXPECT_EQ(sim.stop(), 0);
}

// Each TCP connection has its own receive state: half a frame held on one
// does not hold up another.
TEST(DevsimProcess, ConnectionsKeepTheirOwnReceiveState) {
  Devsim sim(kDevsim);
  ASSERT_TRUE(sim.start({"--tcp", "127.0.0.1:0"}));
  const auto query = velmora::buildAddressQuery();
  const Bytes report{0x22, 0x01, 0x40, 0, 0, 0, 0, 0x63};
  const Socket a(sim.port("tcp")), b(sim.port("tcp"));
  ASSERT_TRUE(a.port != 0 && b.port != 0);
  ASSERT_TRUE(a.send(query.data(), 5));
  ASSERT_TRUE(b.send(query.data(), query.size()));
  EXPECT_EQ(b.answer(), report);
  ASSERT_TRUE(a.send(query.data() + 5, query.size() - 5));
  EXPECT_EQ(a.answer(), report);
  EXPECT_EQ(sim.stop(), 0);
}

// --baud reaches the line: get-address is 16 bytes of 10 bits, at 300 baud
// 533 ms at least (no upper bound: a busy machine takes longer).
TEST(DevsimProcess, BaudPacesTheLine) {
  Devsim sim(kDevsim);
  ASSERT_TRUE(sim.start({"--tcp", "127.0.0.1:0", "--baud", "300"}));
  const auto start = Clock::now();
  ok({"--tcp", sim.endpoint("tcp"), "get-address"});
  EXPECT_GE(Clock::now() - start, 530ms);
  EXPECT_EQ(sim.stop(), 0);
}

// The tool opens its serial device exclusively and devsim holds the slave
// open between sessions: devsim clears the flag or no one else gets in.
TEST(DevsimProcess, PtyCanBeReopenedAfterAnExclusiveSession) {
  Devsim sim(kDevsim);
  ASSERT_TRUE(sim.start({"--pty"}));
  const std::string path = sim.endpoint("pty");
  const bool asRoot = ::geteuid() == 0;  // root passes the exclusive check: run as nobody
  ASSERT_TRUE(!asRoot || ::chmod(path.c_str(), 0666) == 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (asRoot && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(3);
    const int first = ::open(path.c_str(), O_RDWR | O_NOCTTY);
    if (first < 0 || ::ioctl(first, TIOCEXCL) != 0) ::_exit(4);
    ::close(first);
    for (int attempt = 0; attempt < 100; ++attempt, ::usleep(20'000))  // at most about 2 s
      if (::open(path.c_str(), O_RDWR | O_NOCTTY) >= 0) ::_exit(0);
    ::_exit(1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "1: still busy, 3: no setuid, 4: no exclusive open";
  EXPECT_EQ(sim.stop(), 0);
}

namespace {
struct PcapRecord {
  uint32_t seconds = 0, micros = 0;
  Bytes data;
};
// The records of a classic pcap file in this host's byte order; empty when
// the global header is not the one velmora-cli writes.
std::vector<PcapRecord> pcapRecords(const Bytes& file) {
  auto u32 = [&](size_t at) {
    uint32_t v = 0;
    std::memcpy(&v, file.data() + at, 4);
    return v;
  };
  std::vector<PcapRecord> records;
  if (file.size() < 24 || u32(0) != 0xA1B2C3D4 || u32(20) != 147) return records;
  for (size_t at = 24; at + 16 <= file.size();) {
    const uint32_t size = u32(at + 8);
    if (size != u32(at + 12) || at + 16 + size > file.size()) return {};
    records.push_back({u32(at), u32(at + 4), Bytes(file.begin() + static_cast<long>(at + 16),
                                                   file.begin() + static_cast<long>(at + 16 + size))});
    at += 16 + size;
  }
  return records;
}

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}
}  // namespace

// A full image is 42 packets: the preamble and 42 requests out, 42 responses in.
TEST(CliTrace, TraceLinesTraceFileAndPcapOfAFullRead) {
  TempDir dir{"velmora_cli"};
  writeWholeFile(dir / "full.vmc", imageOfUnits(256));
  Devsim sim(kDevsim);
  ASSERT_TRUE(sim.start({"--tcp", "127.0.0.1:0", "--image", dir / "full.vmc"}));
  const Args link{"--tcp", sim.endpoint("tcp")};
  const RunResult r = ok(link + Args{"--quiet", "--trace", "--trace-file", dir / "t.txt", "--pcap", dir / "t.pcap",
                                     "read", dir / "got.vmc"});
  const std::vector<std::string> lines = linesOf(r.err);
  ASSERT_EQ(lines.size(), 85u) << r.err;
  EXPECT_EQ(readWholeFile(dir / "t.txt"), std::optional<Bytes>(Bytes(r.err.begin(), r.err.end())));
  EXPECT_TRUE(has(lines[0], "-> FF 00 FF 00 AA 55 ") && has(lines[0], "  transfer preamble")) << lines[0];
  EXPECT_TRUE(has(lines[1], "-> 01 69 00 32 00 00 FC 0C  read request: packet 0")) << lines[1];
  EXPECT_TRUE(has(lines[2], "<- 01 69 36 00 00 00 2A ") && has(lines[2], "data response: packet 0 of 42, 50 data bytes"))
      << lines[2];
  EXPECT_TRUE(has(lines[84], "data response: packet 41 of 42, 6 data bytes")) << lines[84];
  int sent = 0, received = 0;
  double previousMs = -1;
  for (const std::string& line : lines) {
    sent += has(line, " -> "), received += has(line, " <- ");
    const double ms = std::stod(line);
    EXPECT_GE(ms, previousMs) << line;
    previousMs = ms;
  }
  EXPECT_EQ(std::make_pair(sent, received), std::make_pair(43, 42));

  const auto file = readWholeFile(dir / "t.pcap");
  ASSERT_TRUE(file);
  const std::vector<PcapRecord> records = pcapRecords(*file);
  ASSERT_EQ(records.size(), 85u);
  const auto preamble = velmora::buildTransferPreamble();
  Bytes first{0};
  first.insert(first.end(), preamble.begin(), preamble.end());
  EXPECT_EQ(records[0].data, first);
  EXPECT_EQ(records[2].data.at(0), 1) << "received";
  EXPECT_EQ(records[2].data.size(), 1u + 50 + 9);
  const auto now = static_cast<uint32_t>(::time(nullptr));
  EXPECT_LE(records.back().seconds, now);
  EXPECT_GT(records.front().seconds + 60, now) << "wall-clock stamps";
  EXPECT_LT(records.front().micros, 1000000u);
  EXPECT_EQ(sim.stop(), 0);
}

TEST(CliTrace, AddressCommandsAndOptionsThatNeedALink) {
  Devsim sim(kDevsim);
  ASSERT_TRUE(sim.start({"--tcp", "127.0.0.1:0"}));
  const RunResult r = ok({"--tcp", sim.endpoint("tcp"), "--quiet", "--trace", "get-address"});
  EXPECT_TRUE(has(r.err, "-> 55 F5 40 00 00 00 00 8A  address query\n")) << r.err;
  EXPECT_TRUE(has(r.err, "  address report: 1\n")) << r.err;
  EXPECT_EQ(sim.stop(), 0);
  TempDir dir{"velmora_cli"};
  for (const Args& args : {Args{"--trace", "dump", "x.vmc"}, Args{"--tcp", "127.0.0.1:1", "--pcap", "read", "x.vmc"},
                           Args{"--tcp", sim.endpoint("tcp"), "--pcap", dir / "no/such/dir.pcap", "get-address"}})
    EXPECT_EQ(cli(args).exitCode, 2) << ::testing::PrintToString(args);
}
