// velmora-cli.exe under Wine against the Linux velmora-devsim: over TCP on
// 127.0.0.1 and over a COM port that the private Wine prefix maps to
// devsim's pty. Run by the Windows build's ctest, which names the programs:
// VELMORA_CLI_EXE, VELMORA_WINE, WINEPREFIX, VELMORA_DEVSIM, VELMORA_LINUX_CLI.
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/process_test_helpers.h"
#include "tests/support/wine_test_helpers.h"

using namespace velmora::testing;
using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;
namespace fs = std::filesystem;

namespace {

// Wine's start and a 2 s watchdog fit well inside; only a hang meets it.
constexpr auto kLimit = 60s;

struct Programs {
  std::string exe = env("VELMORA_CLI_EXE"), wine = env("VELMORA_WINE"), prefix = env("WINEPREFIX"),
              devsim = env("VELMORA_DEVSIM"), linuxCli = env("VELMORA_LINUX_CLI");
  bool complete() const { return !exe.empty() && !wine.empty() && !prefix.empty() && !devsim.empty(); }
};

const Programs& programs() {
  static const Programs p;
  return p;
}

// The program's output goes to files, not to the harness's pipes: Wine may
// start its desktop process from the program, and that process would hold
// the pipes open long after the program ended.
RunResult exe(const Args& args) {
  char folder[] = "/tmp/velmora_wine_out_XXXXXX";
  if (::mkdtemp(folder) == nullptr) return {};
  const std::string out = std::string(folder) + "/out", err = std::string(folder) + "/err";
  RunResult r = runToEnd("/bin/sh", underWine(programs().wine, programs().exe, out, err, args), kLimit);
  r.out = fileText(out);
  r.err = fileText(err);
  fs::remove_all(folder);
  return r;
}

class WineCli : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    if (!programs().complete()) GTEST_SKIP() << "VELMORA_CLI_EXE, VELMORA_WINE, WINEPREFIX and VELMORA_DEVSIM name the programs";
  }
};

}  // namespace

// Read and write byte for byte, the address commands, over each link; a
// write's file is taken by its Windows name.
TEST_P(WineCli, ReadWriteAndAddressReachTheDevice) {
  TempDir dir{"velmora_wine"};
  const Bytes original = imageOfUnits(256);  // 2048 bytes: the most a write takes
  writeWholeFile(dir / "device.vmc", original);
  Devsim sim(programs().devsim);
  const bool tcp = GetParam() == "tcp";
  ASSERT_TRUE(sim.start(tcp ? Args{"--tcp", "127.0.0.1:0", "--udp", "127.0.0.1:0", "--address", "3", "--image",
                                   dir / "device.vmc", "--save", dir / "saved.vmc"}
                            : Args{"--pty", "--address", "3", "--image", dir / "device.vmc", "--save",
                                   dir / "saved.vmc"}));
  std::unique_ptr<ComPort> com;
  if (!tcp) com = std::make_unique<ComPort>(programs().prefix, 7, sim.endpoint("pty"));
  const Args link = tcp ? Args{"--tcp", sim.endpoint("tcp")} : Args{"--serial", com->name, "--baud", "115200"};

  RunResult r = exe(link + Args{"--address", "3", "read", windowsPath(dir / "read.vmc")});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(readWholeFile(dir / "read.vmc"), original);
  EXPECT_TRUE(has(r.err, "收到配置数据包")) << r.err;

  const Bytes next = imageOfUnits(7);
  writeWholeFile(dir / "next.vmc", next);
  r = exe(link + Args{"--address", "3", "write", windowsPath(dir / "next.vmc")});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(has(r.err, "下发完成")) << r.err;
  EXPECT_EQ(readWholeFile(dir / "saved.vmc"), next);

  r = exe(link + Args{"--quiet", "--address", "3", "get-address"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "3\n") << "a pipe gets the Linux bytes: no CR";
  EXPECT_EQ(r.err, "");

  if (tcp) {  // a name from the hosts file, and the scan's probe to the given target only
    r = exe({"--quiet", "--tcp", "localhost:" + std::to_string(sim.port("tcp")), "--address", "3", "get-address"});
    EXPECT_EQ(r.out, "3\n") << r.err;
    r = exe({"scan", "--target", sim.endpoint("udp"), "--wait", "1"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "127.0.0.1\n");
  }
  EXPECT_EQ(sim.stop(), 0);
}

INSTANTIATE_TEST_SUITE_P(Links, WineCli, ::testing::Values("tcp", "com"));

// A device that never answers fails with 1 when the watchdog ends the
// read; a pty closed in the middle of a read is a lost port, said as such.
TEST_F(WineCli, SilentDeviceAndLostPortExitOne) {
  for (const bool tcp : {true, false}) {
    TempDir dir{"velmora_wine"};
    Devsim sim(programs().devsim);
    ASSERT_TRUE(sim.start(tcp ? Args{"--tcp", "127.0.0.1:0", "--drop", "all"} : Args{"--pty", "--drop", "all"}));
    std::unique_ptr<ComPort> com;
    if (!tcp) com = std::make_unique<ComPort>(programs().prefix, 8, sim.endpoint("pty"));
    const Args link = tcp ? Args{"--tcp", sim.endpoint("tcp")} : Args{"--serial", com->name};
    const RunResult r = exe(link + Args{"read", windowsPath(dir / "out.vmc")});
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_TRUE(has(r.err, "velmora-cli: 读取配置超时")) << r.err;
    EXPECT_FALSE(fs::exists(dir / "out.vmc"));
  }

  TempDir dir{"velmora_wine"};
  Devsim sim(programs().devsim);
  ASSERT_TRUE(sim.start({"--pty", "--close-after", "2"}));
  const ComPort com(programs().prefix, 9, sim.endpoint("pty"));
  const RunResult r = exe({"--serial", com.name, "read", windowsPath(dir / "out.vmc")});
  EXPECT_EQ(r.exitCode, 1) << r.err;
  EXPECT_TRUE(has(r.err, "velmora-cli: 串口意外断开")) << r.err;
  EXPECT_FALSE(fs::exists(dir / "out.vmc"));
}

// Usage errors, a port name Windows has not got, and the shared texts: the
// same bytes as the Linux program's on a pipe.
TEST_F(WineCli, RefusalsAndTextsAsOnLinux) {
  RunResult r = exe({"--serial", "/dev/ttyS0", "get-address"});
  EXPECT_EQ(r.exitCode, 2) << r.err;
  r = exe({"--serial", "COM250", "get-address"});
  EXPECT_EQ(r.exitCode, 1) << r.err;
  EXPECT_TRUE(has(r.err, "串口打开失败")) << r.err;
  EXPECT_TRUE(has(r.err, "诊断: COM250 不存在，请检查适配器是否插好，然后从列表中重新选择")) << r.err;

  if (programs().linuxCli.empty()) return;
  TempDir dir{"velmora_wine"};
  writeWholeFile(dir / "a.vmc", imageOfUnits(12));
  for (const Args& args : {Args{"dump", "a.vmc"}, Args{"export", "a.vmc"}, Args{"check", "a.vmc"}, Args{"--help"},
                           Args{"--lang", "en", "dump", "a.vmc"}, Args{"--lang", "en", "dump", "missing.vmc"}}) {
    Args onLinux = args, onWindows = args;
    if (args.back().ends_with(".vmc")) {
      onLinux.back() = dir / args.back();
      onWindows.back() = windowsPath(dir / args.back());
    }
    const RunResult linuxRun = runToEnd(programs().linuxCli, onLinux, kLimit);
    const RunResult windowsRun = exe(onWindows);
    EXPECT_EQ(windowsRun.exitCode, linuxRun.exitCode) << args[0];
    EXPECT_EQ(windowsRun.out, linuxRun.out) << args[0];
    if (args.back() == "missing.vmc") {  // the reason names the file as each system spells it
      EXPECT_EQ(windowsRun.err.substr(0, 20), linuxRun.err.substr(0, 20)) << windowsRun.err;
    }
  }
}

// Ctrl-C reaches the program as Windows delivers it (Wine turns SIGINT into
// CTRL_C_EVENT for the console handler): the bench stops waiting, the
// summary says so, and the report keeps the device already done.
TEST_F(WineCli, CtrlCEndsTheBenchWithItsReport) {
  TempDir dir{"velmora_wine"};
  Devsim sim(programs().devsim);
  ASSERT_TRUE(sim.start({"--pty", "--tcp", "127.0.0.1:0"}));
  ASSERT_EQ(exe({"--tcp", sim.endpoint("tcp"), "read", windowsPath(dir / "template.vmc")}).exitCode, 0);
  const std::string plan = "target\nserial:COM1\nserial:COM1\nserial:COM1\n";
  writeWholeFile(dir / "plan.csv", Bytes(plan.begin(), plan.end()));
  const ComPort com(programs().prefix, 10, sim.endpoint("pty"));

  Child cli;
  ASSERT_TRUE(cli.spawn("/bin/sh", underWine(programs().wine, programs().exe, dir / "out", dir / "err",
                                             {"apply", windowsPath(dir / "plan.csv"), "--template",
                                              windowsPath(dir / "template.vmc"), "--bench", com.name, "--poll-ms",
                                              "50", "--report", windowsPath(dir / "report.jsonl"),
                                              "--no-read-first"})));
  const auto errText = [&] { return fileText(dir / "err"); };
  // The device stays on the bench: the program waits for it to go until Ctrl-C.
  const auto deadline = Clock::now() + kLimit;
  while (!has(errText(), "next device") && Clock::now() < deadline) std::this_thread::sleep_for(100ms);
  ASSERT_TRUE(has(errText(), "next device")) << errText();
  cli.signal(SIGINT);
  EXPECT_EQ(cli.reap(deadline), 1) << errText();
  EXPECT_TRUE(has(errText(), "apply: ok 1, failed 0, not reached 2 of 3 devices")) << errText();
  EXPECT_TRUE(has(errText(), "(interrupted)")) << errText();
  const std::string lines = fileText(dir / "report.jsonl");
  EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), 1) << lines;
  EXPECT_TRUE(has(lines, "\"result\":\"ok\"")) << lines;
}
