// What CliSession adds to the engine (outcomes, address commands, terminal lines) on the device model; the options.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "cli/cli_options.h"
#include "cli/cli_session.h"
#include "sim/builtin_image.h"
#include "sim/device_model.h"
#include "tests/support/port_names.h"

using namespace velmora;
using namespace velmora::cli;
using Bytes = std::vector<uint8_t>;

namespace {

// Time, timers and standard error, all virtual.
struct FakePlatform : CliPlatform {
  uint64_t now = 1'000'000;  // milliseconds
  std::map<int, uint64_t> due;
  std::map<int, int> period;
  std::vector<std::string> lines;
  int sleeps = 0;

  uint64_t tickMs() override { return now; }
  LocalTime localTime() override { return {2026, 12, 8, 9, 5, 3}; }
  void sleepMs(int ms) override {
    ++sleeps;
    now += static_cast<uint64_t>(ms);
  }
  void startTimer(int id, int ms) override {
    due[id] = now + static_cast<uint64_t>(ms);
    period[id] = ms;
  }
  void stopTimer(int id) override { due.erase(id); }
  void errorLine(const std::string& line) override { lines.push_back(line); }
  bool logged(const std::string& text) const {
    return std::any_of(lines.begin(), lines.end(), [&](const std::string& l) { return l.find(text) != std::string::npos; });
  }
};

// Both channels lead to one simulated device: what the session sends
// reaches it at the virtual now, what it answers comes back through run().
struct FakeChannels final : SerialLink, TcpLink {
  FakeChannels(FakePlatform& platform, sim::DeviceModel& device) : platform(platform), device(device) {}
  FakePlatform& platform;
  sim::DeviceModel& device;
  bool tcpLooksUp = false;    // the host is a name: the connect stays pending
  int failSendsFrom = -1;     // the index of the first send that fails, -1 none
  bool serialNoticeLate = false;  // a vanished pty shows first as a failed send
  int sends = 0;
  std::vector<uint64_t> sendTimes;  // virtual ms of every frame that went out
  bool serial = false;
  SerialSettings openedSettings;
  std::optional<sim::DeviceSession> link;
  bool linkOpen = false;
  std::error_code lost;

  bool open(const std::string&, const SerialSettings& s, std::error_code&) override {
    openedSettings = s;
    serial = linkOpen = true;
    link.emplace(device);
    return true;
  }
  TcpConnectStart open(const std::string&, int32_t) override {
    if (tcpLooksUp) return TcpConnectStart::Pending;
    linkOpen = true;
    link.emplace(device);
    return TcpConnectStart::Connected;
  }
  void close() override { linkOpen = false; }
  bool isOpen() const override { return linkOpen; }
  bool send(const uint8_t* data, int32_t length) override {
    const int index = sends++;
    if (!linkOpen || (failSendsFrom >= 0 && index >= failSendsFrom)) return false;
    sendTimes.push_back(platform.now);
    link->receive(simNow(), data, static_cast<size_t>(length));
    return true;
  }
  std::error_code lostReason() const override { return lost; }
  std::vector<std::string> listPorts() override { return {}; }

  sim::SimTime simNow() const { return sim::SimTime{static_cast<int64_t>(platform.now) * 1000}; }

  // The device's answers and the timers, in time order, until the session
  // has an outcome; bounded in steps and in virtual time.
  void run(CliSession& session) {
    const uint64_t end = platform.now + 60'000;
    for (int step = 0; step < 100'000 && !session.done() && platform.now <= end; ++step) {
      std::optional<uint64_t> next, wake;
      int timer = 0;
      for (const auto& [id, at] : platform.due)
        if (!next || at < *next) next = at, timer = id;
      if (link && linkOpen)
        if (const auto w = link->nextWake()) wake = static_cast<uint64_t>((w->count() + 999) / 1000);
      if (wake && (!next || *wake <= *next)) {
        platform.now = std::max(platform.now, *wake);
        deliver(session);
      } else if (next) {
        platform.now = std::max(platform.now, *next);
        platform.due[timer] = platform.now + static_cast<uint64_t>(platform.period[timer]);
        session.timerFired(timer);
      } else {
        return;  // nothing can happen any more
      }
    }
  }

  void deliver(CliSession& session) {
    const Bytes out = link->poll(simNow());
    const bool closing = link->closing() && linkOpen;
    if (closing && serial && serialNoticeLate) {  // gone before the tool answers
      linkOpen = false;
      lost = std::make_error_code(std::errc::io_error);
    }
    if (!out.empty()) {
      if (serial)
        for (uint8_t b : out) session.onSerialByte(b);
      else
        session.onTcpReceive(out.data(), static_cast<int32_t>(out.size()));
    }
    if (closing && linkOpen) {  // as the socket or the serial reader reports it
      linkOpen = false;
      if (serial) {
        lost = std::make_error_code(std::errc::io_error);
        session.onSerialLost(lost);
      } else {
        session.onTcpClose(0);
      }
    }
  }
};

Options linkOptions(bool serial) {
  Options o;
  if (serial) o.serialDevice = velmora::testing::kOtherTestPort, o.baud = 115200, o.dataBits = 7, o.stopBitsCode = 2, o.parityCode = 2;
  else o.tcpHost = "127.0.0.1", o.tcpPort = 6000;
  return o;
}

// Wired the way velmora-cli wires it.
struct Rig {
  explicit Rig(const Options& options, Bytes image = sim::builtinImage(), uint8_t address = 1)
      : device(std::move(image), address), channels(platform, device), session(options, platform, channels, channels) {}
  // Connects, starts the command and runs to the outcome.
  const Outcome& run(const std::function<void(CliSession&)>& command) {
    EXPECT_TRUE(session.connect());
    started = platform.now;
    command(session);
    channels.run(session);
    EXPECT_TRUE(session.done());
    return session.outcome();
  }
  uint64_t elapsed() const { return platform.now - started; }

  FakePlatform platform;
  sim::DeviceModel device;
  FakeChannels channels;
  CliSession session;
  uint64_t started = 0;
};

const auto kRead = [](CliSession& s) { s.startRead(); };
const auto kWrite20 = [](CliSession& s) { s.startWrite(Bytes(160, 0x01)); };  // 20 units: four packets
const auto kGetAddress = [](CliSession& s) { s.startGetAddress(); };

}  // namespace

TEST(SessionRead, WholeImageOverEitherChannelWithTheOptionsAddressAndLineSettings) {
  for (const bool serial : {false, true}) {
    SCOPED_TRACE(serial ? "serial" : "tcp");
    Options o = linkOptions(serial);
    o.address = 9;
    Rig rig(o, sim::builtinImage(), 9);
    const Outcome& outcome = rig.run(kRead);
    EXPECT_EQ(outcome.exitCode, kExitOk) << outcome.reason;
    EXPECT_EQ(rig.session.receivedImage(), sim::builtinImage());
    EXPECT_EQ(rig.session.linkState(), serial ? kSerialOpen : kTcpConnected);
    if (serial) {
      EXPECT_EQ(rig.channels.openedSettings, (SerialSettings{115200, 7, 2, 2}));
    }
    // The log page's stamp, the progress and the ending; no line end.
    EXPECT_TRUE(rig.platform.logged("[2026-12-08 09:05:03] 开始读取配置..."));
    EXPECT_TRUE(rig.platform.logged("进度: 33%"));
    EXPECT_TRUE(rig.platform.logged("读取完成"));
    for (const std::string& l : rig.platform.lines) EXPECT_EQ(l.find_first_of("\r\n"), std::string::npos) << l;
  }
}

// Which answers are lost makes no difference to the session (the engine's
// and the model's tests); a read that times out is in the process test.
TEST(SessionFaults, ALostAcknowledgementEndsByTheWatchdogAndChangesNothing) {
  Rig rig(linkOptions(false));
  sim::FaultPlan drop;
  drop.dropAt = 2;
  rig.device.setFaults(drop);
  const Outcome& outcome = rig.run(kWrite20);
  EXPECT_EQ(outcome.exitCode, kExitDevice);
  EXPECT_EQ(outcome.reason, "下发配置超时，复位");
  EXPECT_GE(rig.elapsed(), static_cast<uint64_t>(kWatchdogMs));
  EXPECT_EQ(rig.device.image(), sim::builtinImage());
}

// A failed send is a failure at once, not at the watchdog, and the watchdog
// the engine left armed is stopped with the run.
TEST(SessionFaults, FailedSendEndsAtOnce) {
  const struct {
    int failFrom;
    std::function<void(CliSession&)> command;
    const char* reason;
  } cases[] = {{3, kWrite20, "发送配置数据包失败"},  // preamble, packets 0 and 1; packet 2 fails
               {0, kGetAddress, "发送读取设备地址命令失败"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reason);
    Rig rig(linkOptions(false));
    rig.channels.failSendsFrom = c.failFrom;
    const Outcome& outcome = rig.run(c.command);
    EXPECT_EQ(outcome.exitCode, kExitDevice);
    EXPECT_EQ(outcome.reason, c.reason);
    EXPECT_LT(rig.elapsed(), static_cast<uint64_t>(kWatchdogMs));
    rig.session.finish();
    EXPECT_TRUE(rig.platform.due.empty());
  }
}

// The link goes away after the first answer: the run ends then, naming the
// loss. Over serial the loss may first show as a failed send, before the
// reader's notice comes round; the loss is still the reason.
TEST(SessionFaults, LinkLostMidTransferEndsAtOnceNamingTheLoss) {
  const std::string serialLoss = "串口意外断开: " + std::make_error_code(std::errc::io_error).message();
  const struct {
    const char* name;
    bool serial, noticeLate;
    std::string reason;
  } cases[] = {{"tcp", false, false, "TCP连接已断开"},
               {"serial", true, false, serialLoss},
               {"serial, notice after a failed send", true, true, serialLoss}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Rig rig(linkOptions(c.serial));
    sim::FaultPlan close;
    close.closeAfter = 1;
    rig.device.setFaults(close);
    rig.channels.serialNoticeLate = c.noticeLate;
    const Outcome& outcome = rig.run(kRead);
    EXPECT_EQ(outcome.exitCode, kExitDevice);
    EXPECT_EQ(outcome.reason, c.reason);
    EXPECT_LT(rig.elapsed(), static_cast<uint64_t>(kWatchdogMs));
    EXPECT_TRUE(rig.session.receivedImage().empty());
  }
}

// The header error with and without --force runs in the process test.
TEST(SessionRead, AnEmptyImageIsNeverKept) {
  Rig rig(linkOptions(false), Bytes{});
  const Outcome& outcome = rig.run(kRead);
  EXPECT_EQ(outcome.exitCode, kExitDevice);
  EXPECT_EQ(outcome.reason, "没有要保存的数据");
}

// A refusal with the link up is the input's fault: a usage error, nothing sent.
TEST(SessionWrite, A2049ByteImageIsAUsageError) {
  Rig rig(linkOptions(false));
  ASSERT_TRUE(rig.session.connect());
  const int sendsBefore = rig.channels.sends;
  rig.session.startWrite(Bytes(2049, 1));
  ASSERT_TRUE(rig.session.done());
  EXPECT_EQ(rig.session.outcome().exitCode, kExitUsage);
  EXPECT_EQ(rig.session.outcome().reason, "要发送的数据长度无效");
  EXPECT_EQ(rig.channels.sends, sendsBefore);
}

// The read behind write --verify: one read, right after the write on the
// same link, that brings what the device stored (a fault makes it differ).
TEST(SessionWrite, ReadBackFollowsTheWriteOnceOverEitherChannel) {
  for (const bool serial : {false, true}) {
    SCOPED_TRACE(serial ? "serial" : "tcp");
    Rig rig(linkOptions(serial));
    sim::FaultPlan wrong;
    wrong.storeWrongByte = 3;
    rig.device.setFaults(wrong);
    const Bytes written(160, 0x01);  // four packets each way
    const Outcome& outcome = rig.run([&](CliSession& s) { s.startWrite(written, true); });
    EXPECT_EQ(outcome.exitCode, kExitOk) << outcome.reason;
    Bytes stored = written;
    stored[3] ^= 0xFF;
    EXPECT_EQ(rig.session.receivedImage(), stored);
    EXPECT_EQ(rig.device.answeredCount(), 8) << "four acknowledgements, four data responses";
    EXPECT_TRUE(rig.platform.logged("下发完成") && rig.platform.logged("读取完成"));
  }
}

// Success, with its texts, runs in the process test.
TEST(SessionAddress, SilenceOrAnotherAddressIsAFailure) {
  Rig silent(linkOptions(false));
  sim::FaultPlan drop;
  drop.dropAt = 1;
  silent.device.setFaults(drop);
  EXPECT_EQ(silent.run(kGetAddress).exitCode, kExitDevice);
  EXPECT_EQ(silent.elapsed(), static_cast<uint64_t>(kAddressWaitMs));
  EXPECT_EQ(silent.session.reportedAddress(), -1);

  Rig foreign(linkOptions(false));
  sim::FaultPlan nine;
  nine.replyAddress = 9;
  foreign.device.setFaults(nine);
  const Outcome& outcome = foreign.run([](CliSession& s) { s.startSetAddress(3); });
  EXPECT_EQ(outcome.exitCode, kExitDevice);
  EXPECT_EQ(foreign.session.reportedAddress(), 9);
  EXPECT_NE(outcome.reason.find("9"), std::string::npos) << outcome.reason;
}

TEST(SessionConnect, HostNameLookupFailureSaysWhy) {
  Options o = linkOptions(false);
  o.tcpHost = "device.test";
  Rig rig(o);
  rig.channels.tcpLooksUp = true;
  EXPECT_FALSE(rig.session.connect());
  EXPECT_TRUE(rig.session.connecting());
  rig.session.onTcpConnectEvent(1, static_cast<int32_t>(TcpConnectFailure::HostNotFound));
  EXPECT_EQ(rig.session.outcome().exitCode, kExitDevice);
  EXPECT_EQ(rig.session.outcome().reason, "TCP连接失败: device.test:6000 原因: 无法解析主机名");
}

// ---- the command line ----

TEST(CliOptions, LinkSettingsAndCommandsAreTaken) {
  auto r = parseArguments({"--tcp", "127.0.0.1:6000", "--address", "7", "read", "out.vmc", "--force"});
  ASSERT_TRUE(r.options) << r.error;
  const Options& o = *r.options;
  EXPECT_EQ(std::tie(o.tcpHost, o.tcpPort, o.address, o.command, o.file, o.force),
            std::make_tuple("127.0.0.1", 6000, 7, Command::Read, "out.vmc", true));

  // The codes the connection page's lists give these choices.
  r = parseArguments({"--serial", "/dev/pts/3", "--baud", "115200", "--data-bits", "7", "--stop-bits", "1.5",
                      "--parity", "space", "set-address", "245"});
  ASSERT_TRUE(r.options) << r.error;
  const Options& s = *r.options;
  EXPECT_EQ(std::tie(s.serialDevice, s.baud, s.dataBits, s.stopBitsCode, s.parityCode, s.newAddress),
            std::make_tuple("/dev/pts/3", 115200, 7, 1, 4, 245));

  r = parseArguments({"scan", "--target", "127.0.0.1:988", "--wait", "0.5"});
  ASSERT_TRUE(r.options) << r.error;
  EXPECT_EQ(r.options->scanPort, 988);
  EXPECT_DOUBLE_EQ(r.options->scanWaitSeconds, 0.5);
}

// --link takes a target as a plan writes it, for the Ansible modules; read
// --json prints the document instead of keeping a file.
TEST(CliOptions, LinkTakesAPlansTargetAndReadJsonNeedsNoFile) {
  auto r = parseArguments({"--link", "serial:/dev/pts/3@115200,7E2", "--address", "9", "read", "--json"});
  ASSERT_TRUE(r.options) << r.error;
  const Options& s = *r.options;
  EXPECT_EQ(std::tie(s.serialDevice, s.baud, s.dataBits, s.parityCode, s.stopBitsCode, s.address, s.command, s.file),
            std::make_tuple("/dev/pts/3", 115200, 7, 2, 2, 9, Command::Read, ""));
  EXPECT_TRUE(s.tcpHost.empty());
  r = parseArguments({"--link", "tcp:[::1]:6001", "write", "a.json", "--json", "--dry-run"});
  ASSERT_TRUE(r.options) << r.error;
  EXPECT_EQ(std::tie(r.options->tcpHost, r.options->tcpPort), std::make_tuple("::1", 6001));

  const std::vector<std::pair<std::vector<std::string>, std::string>> bad{
      {{"--link", "tcp:127.0.0.1", "read", "--json"}, "--link tcp:127.0.0.1: needs tcp:HOST:PORT"},
      {{"--link", "serial:/dev/pts/3@9600,9N1", "read", "--json"}, "needs line settings"},
      {{"--link", "tcp:127.0.0.1:1", "--tcp", "127.0.0.1:2", "read", "--json"}, "exactly one of"},
      {{"--serial", "/dev/pts/3", "--link", "tcp:127.0.0.1:1", "write", "a.vmc"}, "exactly one of"},
      {{"--link", "tcp:127.0.0.1:1", "read"}, "read needs exactly one FILE"},
      {{"--link", "tcp:127.0.0.1:1", "read", "a.vmc", "--json"}, "takes no FILE"},
      {{"--link", "tcp:127.0.0.1:1", "apply", "p.csv", "--template", "t.vmc"}, "not for apply"},
  };
  for (const auto& [args, message] : bad) {
    const auto refused = parseArguments(args);
    EXPECT_FALSE(refused.options) << ::testing::PrintToString(args);
    EXPECT_NE(refused.error.find(message), std::string::npos) << refused.error;
  }
}

// apply's sessions share one thread: the engine's pauses must wait on its
// timer, never block, and still give the device its 50 ms before every frame.
TEST(SessionAsyncPacing, PausesWaitOnTheTimerWithTheSameFramesAndGaps) {
  std::vector<std::vector<uint64_t>> gaps;
  for (const bool async : {false, true}) {
    SCOPED_TRACE(async ? "async" : "blocking");
    Rig rig(linkOptions(false));
    rig.session.setAsyncPacing(async);
    const Outcome& outcome = rig.run([](CliSession& s) { s.startWrite(Bytes(160, 0x01), true); });
    EXPECT_EQ(outcome.exitCode, kExitOk) << outcome.reason;
    EXPECT_EQ(rig.session.receivedImage(), Bytes(160, 0x01));
    EXPECT_EQ(rig.platform.sleeps > 0, !async);
    gaps.emplace_back();
    for (size_t i = 1; i < rig.channels.sendTimes.size(); ++i) {
      const uint64_t gap = rig.channels.sendTimes[i] - rig.channels.sendTimes[i - 1];
      EXPECT_GE(gap, static_cast<uint64_t>(kSendPacingMs)) << "frame " << i;
      gaps.back().push_back(gap);
    }
    rig.session.finish();
    EXPECT_TRUE(rig.platform.due.empty()) << "no timer left behind";
  }
  EXPECT_EQ(gaps[0], gaps[1]) << "the same frames at the same pace";

  // A frame that cannot go out ends the transfer from the timer that sent it.
  Rig rig(linkOptions(false));
  rig.session.setAsyncPacing(true);
  rig.channels.failSendsFrom = 3;
  const Outcome& outcome = rig.run(kWrite20);
  EXPECT_EQ(outcome.reason, "发送配置数据包失败");
  EXPECT_EQ(rig.platform.sleeps, 0);
  EXPECT_EQ(rig.channels.sends, 4) << "nothing queued behind it goes out";
}

TEST(CliOptions, ApplyTakesItsDevicesFromThePlan) {
  auto r = parseArguments({"apply", "plan.csv", "--template", "t.json", "--jobs", "200", "--verify", "--report",
                           "r.jsonl", "--runs", "5"});
  ASSERT_TRUE(r.options) << r.error;
  EXPECT_EQ(std::tie(r.options->command, r.options->file, r.options->templateFile, r.options->jobs,
                     r.options->verify, r.options->reportFile, r.options->runs),
            std::make_tuple(Command::Apply, std::string("plan.csv"), std::string("t.json"), 200, true,
                            std::string("r.jsonl"), 5));
  r = parseArguments({"apply", "plan.csv", "--template", "t.vmc"});
  ASSERT_TRUE(r.options) << r.error;
  EXPECT_EQ(r.options->jobs, 16);
  r = parseArguments({"--baud", "19200", "apply", "p.csv", "--template", "t.vmc", "--bench", "/dev/ttyUSB0",
                      "--poll-ms", "100"});
  ASSERT_TRUE(r.options) << r.error;
  EXPECT_EQ(std::tie(r.options->benchPort, r.options->pollMs, r.options->baud),
            std::make_tuple(std::string("/dev/ttyUSB0"), 100, 19200));

  const std::vector<std::vector<std::string>> bad{
      {"apply", "plan.csv"},                                                 // no template
      {"apply", "--template", "t.vmc"},                                      // no plan
      {"--tcp", "127.0.0.1:1", "apply", "p.csv", "--template", "t.vmc"},     // the plan names the devices
      {"apply", "p.csv", "--template", "t.vmc", "--jobs", "0"},
      {"apply", "p.csv", "--template", "t.vmc", "--jobs", "1001"},
      {"apply", "p.csv", "--template", "t.vmc", "--poll-ms", "100"},         // the bench's
      {"apply", "p.csv", "--template", "t.vmc", "--bench", "/dev/x", "--runs", "2"},
      {"apply", "p.csv", "--template", "t.vmc", "--trace"},
      {"--tcp", "127.0.0.1:1", "write", "a.vmc", "--jobs", "4"},             // apply's options
      {"--tcp", "127.0.0.1:1", "write", "a.vmc", "--template", "t.vmc"},
  };
  for (const auto& args : bad) {
    const auto refused = parseArguments(args);
    EXPECT_FALSE(refused.options) << ::testing::PrintToString(args);
    EXPECT_EQ(refused.error.find('\n'), std::string::npos);
  }
}

TEST(CliOptions, UsageErrorsHaveAOneLineReason) {
  const std::vector<std::vector<std::string>> bad{
      {},
      {"read", "x.vmc"},                                                 // no link
      {"--tcp", "127.0.0.1:6000", "--serial", "/dev/x", "get-address"},  // two links
      {"--tcp", "127.0.0.1:0", "get-address"},
      {"--tcp", "127.0.0.1:65536", "get-address"},
      {"--tcp", "127.0.0.1:1", "set-address", "0"},
      {"--tcp", "127.0.0.1:1", "set-address", "256"},
      {"--tcp", "127.0.0.1:1", "--address", "0", "get-address"},
      {"--tcp", "127.0.0.1:1", "read"},
      {"--tcp", "127.0.0.1:1", "--parity", "both", "get-address"},
      {"--tcp", "127.0.0.1:1", "--stop-bits", "3", "get-address"},
      {"scan"},
      {"scan", "--target", "127.0.0.1:988", "--wait", "-1"},
      {"--bogus"},
      {"diff", "a.vmc", "device"},                                  // a device side needs a link
      {"--tcp", "127.0.0.1:1", "diff", "device", "device"},
      {"diff", "a.vmc"},
      {"import", "a.json"},                                         // no -o
      {"-o", "b.json", "dump", "a.vmc"},
      {"--tcp", "127.0.0.1:1", "read", "a.vmc", "--json"},
      {"--tcp", "127.0.0.1:1", "get-address", "--verify"},
      {"--tcp", "127.0.0.1:1", "read", "a.vmc", "--check"},         // --check is write's
      {"check", "a.vmc", "b.vmc"},
  };
  for (const auto& args : bad) {
    const auto r = parseArguments(args);
    EXPECT_FALSE(r.options) << ::testing::PrintToString(args);
    EXPECT_FALSE(r.error.empty());
    EXPECT_EQ(r.error.find('\n'), std::string::npos);
  }
}
