// CliSession against the simulated device's model on a virtual clock: the
// whole conversation of every command, and how each way it can end becomes
// an outcome. No socket, no thread, no real time.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "cli/cli_session.h"
#include "protocol/frames.h"
#include "sim/builtin_image.h"
#include "sim/device_model.h"

using namespace velmora;
using namespace velmora::cli;
using Bytes = std::vector<uint8_t>;

namespace {

// Time, timers and the error stream, all virtual.
class FakePlatform : public CliPlatform {
 public:
  uint64_t now = 1'000'000;  // milliseconds
  std::map<int, uint64_t> due;
  std::map<int, int> period;
  std::vector<std::string> lines;

  uint64_t tickMs() override { return now; }
  LocalTime localTime() override { return {2026, 12, 8, 9, 5, 3}; }
  void sleepMs(int ms) override { now += static_cast<uint64_t>(ms); }
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

// Both channels lead to one simulated device; what the session sends
// reaches it at the virtual now, what it answers comes back through run().
class FakeChannels {
 public:
  FakeChannels(FakePlatform& platform, sim::DeviceModel& device) : platform_(platform), device_(device) {}

  bool tcpRefuses = false;
  bool tcpLooksUp = false;  // the host is a name: the connect stays pending
  std::optional<std::error_code> serialRefuses;
  int failSendsFrom = -1;  // the index of the first send that fails, -1 none
  // The pty going away is seen by a failed send before its notice comes.
  bool serialNoticeLate = false;
  int sends = 0;
  bool serial = false;
  std::string openedPath;
  SerialSettings openedSettings;
  std::string tcpHost;
  int32_t tcpPort = 0;

  bool openSerial(const std::string& path, const SerialSettings& settings, std::error_code& error) {
    if (serialRefuses) {
      error = *serialRefuses;
      return false;
    }
    openedPath = path;
    openedSettings = settings;
    open_ = true;
    serial = true;
    link_.emplace(device_);
    return true;
  }
  void closeSerial() {
    open_ = false;
    lost_.clear();
  }
  TcpConnectStart connectTcp(const std::string& host, int32_t port) {
    tcpHost = host;
    tcpPort = port;
    if (tcpLooksUp) return TcpConnectStart::Pending;
    if (tcpRefuses) return TcpConnectStart::Failed;
    open_ = true;
    link_.emplace(device_);
    return TcpConnectStart::Connected;
  }

  // What the session is given: both lead to the same device.
  struct Serial final : SerialLink {
    explicit Serial(FakeChannels& c) : c(c) {}
    FakeChannels& c;
    bool open(const std::string& path, const SerialSettings& s, std::error_code& error) override {
      return c.openSerial(path, s, error);
    }
    void close() override { c.closeSerial(); }
    bool isOpen() const override { return c.open_; }
    bool send(const uint8_t* data, int32_t length) override { return c.send(data, length); }
    std::error_code lostReason() const override { return c.lost_; }
    std::vector<std::string> listPorts() override { return {}; }
  } serialLink{*this};
  struct Tcp final : TcpLink {
    explicit Tcp(FakeChannels& c) : c(c) {}
    FakeChannels& c;
    TcpConnectStart open(const std::string& host, int32_t port) override { return c.connectTcp(host, port); }
    void close() override { c.open_ = false; }
    bool isOpen() const override { return c.open_; }
    bool send(const uint8_t* data, int32_t length) override { return c.send(data, length); }
  } tcpLink{*this};

  // Lets the device answer and the timers fire, in time order, until the
  // session has an outcome; bounded in steps and in virtual time.
  void run(CliSession& session, uint64_t limitMs = 60'000) {
    const uint64_t end = platform_.now + limitMs;
    for (int step = 0; step < 100'000 && !session.done() && platform_.now <= end; ++step) {
      std::optional<uint64_t> next;
      int timer = 0;
      for (const auto& [id, at] : platform_.due)
        if (!next || at < *next) next = at, timer = id;
      std::optional<uint64_t> wake;
      if (link_ && open_)
        if (const auto w = link_->nextWake()) wake = static_cast<uint64_t>((w->count() + 999) / 1000);
      if (wake && (!next || *wake <= *next)) {
        platform_.now = std::max(platform_.now, *wake);
        deliver(session);
      } else if (next) {
        platform_.now = std::max(platform_.now, *next);
        platform_.due[timer] = platform_.now + static_cast<uint64_t>(platform_.period[timer]);
        session.timerFired(timer);
      } else {
        return;  // nothing can happen any more
      }
    }
  }

 private:
  sim::SimTime simNow() const { return sim::SimTime{static_cast<int64_t>(platform_.now) * 1000}; }

  bool send(const uint8_t* data, int32_t length) {
    const int index = sends++;
    if (!open_ || (failSendsFrom >= 0 && index >= failSendsFrom)) return false;
    link_->receive(simNow(), data, static_cast<size_t>(length));
    return true;
  }

  void deliver(CliSession& session) {
    const Bytes out = link_->poll(simNow());
    const bool closing = link_->closing() && open_;
    if (closing && serial && serialNoticeLate) {
      // Gone before the tool answers what the device said last.
      open_ = false;
      lost_ = std::make_error_code(std::errc::io_error);
    }
    if (!out.empty()) {
      if (serial)
        for (uint8_t b : out) session.onSerialByte(b);
      else
        session.onTcpReceive(out.data(), static_cast<int32_t>(out.size()));
    }
    if (closing && open_) {
      // The peer went away: as the socket reports it, or as the serial
      // reader does when the device is gone.
      open_ = false;
      if (serial) {
        lost_ = std::make_error_code(std::errc::io_error);
        session.onSerialLost(lost_);
      } else {
        session.onTcpClose(0);
      }
    }
  }

  FakePlatform& platform_;
  sim::DeviceModel& device_;
  std::optional<sim::DeviceSession> link_;
  bool open_ = false;
  std::error_code lost_;
};

Options tcpOptions() {
  Options o;
  o.tcpHost = "127.0.0.1";
  o.tcpPort = 6000;
  return o;
}

Options serialOptions() {
  Options o;
  o.serialDevice = "/dev/ttyUSB3";
  o.baud = 115200;
  o.dataBits = 7;
  o.stopBitsCode = 2;
  o.parityCode = 2;
  return o;
}

Bytes imageOfUnits(int units) {
  Bytes image;
  for (int u = 0; u < units; ++u)
    for (int i = 0; i < 8; ++i) image.push_back(static_cast<uint8_t>(i == 0 ? 1 + u % 4 : u * 7 + i));
  return image;
}

// Everything one test needs, wired the way velmora-cli wires it.
struct Rig {
  explicit Rig(Options options, Bytes image = sim::builtinImage(), uint8_t address = 1)
      : device(std::move(image), address), channels(platform, device), session(options, platform, channels.serialLink, channels.tcpLink) {}
  FakePlatform platform;
  sim::DeviceModel device;
  FakeChannels channels;
  CliSession session;
};

}  // namespace

// ---- reads ----

class SessionRead : public ::testing::TestWithParam<bool> {
 protected:
  Options options() const { return GetParam() ? serialOptions() : tcpOptions(); }
};

TEST_P(SessionRead, WholeImageArrivesAndEveryStepIsLoggedWithItsStamp) {
  Rig rig(options());
  ASSERT_TRUE(rig.session.connect());
  rig.session.startRead();
  rig.channels.run(rig.session);
  ASSERT_TRUE(rig.session.done());
  EXPECT_EQ(rig.session.outcome().state, RunState::Succeeded);
  EXPECT_EQ(rig.session.outcome().exitCode, kExitOk);
  EXPECT_TRUE(rig.session.outcome().reason.empty());
  EXPECT_EQ(rig.session.receivedImage(), sim::builtinImage());
  // The window's texts, stamped as the log page stamps them, no line end.
  const auto& lines = rig.platform.lines;
  EXPECT_TRUE(rig.platform.logged("[2026-12-08 09:05:03] 开始读取配置..."));
  EXPECT_TRUE(rig.platform.logged("收到配置数据包 3/3, 数据长度 20"));
  EXPECT_TRUE(rig.platform.logged("读取配置完成，共 3 包，120 字节"));
  EXPECT_TRUE(rig.platform.logged("读取完成"));
  EXPECT_TRUE(rig.platform.logged("进度: 33%"));
  for (const std::string& l : lines) EXPECT_EQ(l.find_first_of("\r\n"), std::string::npos) << l;
}

TEST_P(SessionRead, DeviceAddressComesFromTheOptionsAndLineSettingsReachTheChannel) {
  Options o = options();
  o.address = 9;
  Rig rig(o, imageOfUnits(2), 9);
  ASSERT_TRUE(rig.session.connect());
  rig.session.startRead();
  rig.channels.run(rig.session);
  EXPECT_EQ(rig.session.outcome().state, RunState::Succeeded) << rig.session.outcome().reason;
  EXPECT_EQ(rig.session.receivedImage(), imageOfUnits(2));
  EXPECT_EQ(rig.session.engine().fields().deviceAddress, 9);
  if (GetParam()) {
    EXPECT_EQ(rig.channels.openedPath, "/dev/ttyUSB3");
    EXPECT_EQ(rig.channels.openedSettings, (SerialSettings{115200, 7, 2, 2}));
    EXPECT_EQ(rig.session.linkState(), kSerialOpen);
  } else {
    EXPECT_EQ(rig.channels.tcpHost, "127.0.0.1");
    EXPECT_EQ(rig.channels.tcpPort, 6000);
    EXPECT_EQ(rig.session.linkState(), kTcpConnected);
  }
}

INSTANTIATE_TEST_SUITE_P(Channels, SessionRead, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Serial" : "Tcp"; });

TEST(SessionReadFaults, LostCorruptOrForeignAnswersEndByTheWatchdog) {
  struct Case {
    const char* name;
    sim::FaultPlan faults;
  };
  sim::FaultPlan drop, corrupt, foreign;
  drop.dropAt = 2;
  corrupt.corruptAt = 3;
  foreign.replyAddress = 7;
  for (const Case& c : {Case{"drop", drop}, Case{"corrupt", corrupt}, Case{"reply address", foreign}}) {
    SCOPED_TRACE(c.name);
    Rig rig(tcpOptions());
    rig.device.setFaults(c.faults);
    ASSERT_TRUE(rig.session.connect());
    const uint64_t started = rig.platform.now;
    rig.session.startRead();
    rig.channels.run(rig.session);
    ASSERT_TRUE(rig.session.done());
    EXPECT_EQ(rig.session.outcome().state, RunState::Failed);
    EXPECT_EQ(rig.session.outcome().exitCode, kExitDevice);
    EXPECT_EQ(rig.session.outcome().reason, "读取配置超时，复位");
    EXPECT_TRUE(rig.session.receivedImage().empty());
    EXPECT_GE(rig.platform.now - started, static_cast<uint64_t>(kWatchdogMs));
    EXPECT_EQ(rig.session.engine().fields().operationState, kIdle);
  }
}

TEST(SessionReadFaults, FailedRequestEndsAtOnceNotAtTheWatchdog) {
  Rig rig(tcpOptions());
  rig.channels.failSendsFrom = 2;  // preamble and packet 0 go out, packet 1 does not
  ASSERT_TRUE(rig.session.connect());
  rig.session.startRead();
  const uint64_t started = rig.platform.now;
  rig.channels.run(rig.session);
  EXPECT_EQ(rig.session.outcome().exitCode, kExitDevice);
  EXPECT_EQ(rig.session.outcome().reason, "发送读取配置请求失败");
  EXPECT_LT(rig.platform.now - started, static_cast<uint64_t>(kWatchdogMs));
  rig.session.finish();
  EXPECT_TRUE(rig.platform.due.empty()) << "the watchdog the engine left armed is stopped";
}

// The link goes away after the first answer: the run ends then, naming the
// loss, not at the watchdog. Over serial the loss may first show as a failed
// send, before the reader's notice comes round.
TEST(SessionLinkLoss, MidTransferEndsAtOnceNamingTheLoss) {
  struct Case {
    const char* name;
    bool serial, noticeLate, write;
    std::string reason;
  };
  const std::string serialLoss = "串口意外断开: " + std::make_error_code(std::errc::io_error).message();
  const Case cases[] = {{"tcp read", false, false, false, "TCP连接已断开"},
                        {"serial read", true, false, false, serialLoss},
                        {"serial read, notice after a failed send", true, true, false, serialLoss},
                        {"serial write, notice after a failed send", true, true, true, serialLoss}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Rig rig(c.serial ? serialOptions() : tcpOptions());
    sim::FaultPlan close;
    close.closeAfter = 1;
    rig.device.setFaults(close);
    rig.channels.serialNoticeLate = c.noticeLate;
    ASSERT_TRUE(rig.session.connect());
    const uint64_t started = rig.platform.now;
    if (c.write)
      rig.session.startWrite(imageOfUnits(20));
    else
      rig.session.startRead();
    rig.channels.run(rig.session);
    ASSERT_TRUE(rig.session.done());
    EXPECT_EQ(rig.session.outcome().exitCode, kExitDevice);
    EXPECT_EQ(rig.session.outcome().reason, c.reason);
    EXPECT_LT(rig.platform.now - started, static_cast<uint64_t>(kWatchdogMs));
    EXPECT_TRUE(rig.platform.due.empty()) << "no watchdog left to fire";
    EXPECT_TRUE(rig.session.receivedImage().empty());
    EXPECT_EQ(rig.device.image(), sim::builtinImage());
  }
}

TEST(SessionReadHeader, BadEnvelopeFailsUnlessForcedEmptyImageIsNeverKept) {
  // 13 bytes: the envelope of 21 is no multiple of 8.
  const Bytes units = imageOfUnits(2);
  const Bytes odd(units.begin(), units.begin() + 13);
  {
    Rig rig(tcpOptions(), odd);
    ASSERT_TRUE(rig.session.connect());
    rig.session.startRead();
    rig.channels.run(rig.session);
    EXPECT_EQ(rig.session.outcome().state, RunState::Failed);
    EXPECT_EQ(rig.session.outcome().exitCode, kExitDevice);
    EXPECT_EQ(rig.session.outcome().reason, "配置报文头错误！");
  }
  {
    Options forced = tcpOptions();
    forced.force = true;
    Rig rig(forced, odd);
    ASSERT_TRUE(rig.session.connect());
    rig.session.startRead();
    rig.channels.run(rig.session);
    EXPECT_EQ(rig.session.outcome().state, RunState::Succeeded);
    EXPECT_EQ(rig.session.outcome().exitCode, kExitOk);
    EXPECT_NE(rig.session.outcome().reason.find("配置报文头错误！"), std::string::npos) << "kept, with a warning";
    EXPECT_EQ(rig.session.receivedImage(), odd);
  }
  {
    Rig rig(tcpOptions(), Bytes{});
    ASSERT_TRUE(rig.session.connect());
    rig.session.startRead();
    rig.channels.run(rig.session);
    EXPECT_EQ(rig.session.outcome().exitCode, kExitDevice);
    EXPECT_EQ(rig.session.outcome().reason, "没有要保存的数据");
  }
}

// ---- writes ----

TEST(SessionWrite, ImageReachesTheDeviceUnchangedAcrossPackets) {
  for (const bool serial : {false, true}) {
    SCOPED_TRACE(serial ? "serial" : "tcp");
    Rig rig(serial ? serialOptions() : tcpOptions());
    Bytes taken;
    rig.device.setImageListener([&](const Bytes& image) { taken = image; });
    const Bytes image = imageOfUnits(256);  // 2048 bytes: 42 packets
    ASSERT_TRUE(rig.session.connect());
    rig.session.startWrite(image);
    rig.channels.run(rig.session);
    EXPECT_EQ(rig.session.outcome().state, RunState::Succeeded) << rig.session.outcome().reason;
    EXPECT_EQ(taken, image);
    EXPECT_EQ(rig.device.image(), image);
    EXPECT_TRUE(rig.platform.logged("开始下发配置，共 42 包，2056 字节"));
    EXPECT_TRUE(rig.platform.logged("下发完成"));
  }
}

TEST(SessionWrite, TooLongIsRefusedBeforeAnythingIsSent) {
  Rig rig(tcpOptions());
  ASSERT_TRUE(rig.session.connect());
  const int sendsBefore = rig.channels.sends;
  rig.session.startWrite(Bytes(2049, 1));
  ASSERT_TRUE(rig.session.done());
  EXPECT_EQ(rig.session.outcome().exitCode, kExitUsage);
  EXPECT_EQ(rig.session.outcome().reason, "要发送的数据长度无效");
  EXPECT_EQ(rig.channels.sends, sendsBefore);
  EXPECT_EQ(rig.device.image(), sim::builtinImage());
}

TEST(SessionWrite, LostAckTimesOutFailedPacketEndsAtOnce) {
  {
    Rig rig(tcpOptions());
    sim::FaultPlan drop;
    drop.dropAt = 2;
    rig.device.setFaults(drop);
    ASSERT_TRUE(rig.session.connect());
    rig.session.startWrite(imageOfUnits(20));
    rig.channels.run(rig.session);
    EXPECT_EQ(rig.session.outcome().exitCode, kExitDevice);
    EXPECT_EQ(rig.session.outcome().reason, "下发配置超时，复位");
    EXPECT_EQ(rig.device.image(), sim::builtinImage()) << "an unfinished write changes nothing";
  }
  {
    Rig rig(tcpOptions());
    rig.channels.failSendsFrom = 3;  // preamble, packets 0 and 1; packet 2 fails
    ASSERT_TRUE(rig.session.connect());
    rig.session.startWrite(imageOfUnits(20));
    const uint64_t started = rig.platform.now;
    rig.channels.run(rig.session);
    EXPECT_EQ(rig.session.outcome().exitCode, kExitDevice);
    EXPECT_EQ(rig.session.outcome().reason, "发送配置数据包失败");
    EXPECT_LT(rig.platform.now - started, static_cast<uint64_t>(kWatchdogMs));
  }
}

// ---- address commands ----

TEST(SessionAddress, GetAndSetReportTheDevicesAddress) {
  Rig rig(tcpOptions(), sim::builtinImage(), 5);
  ASSERT_TRUE(rig.session.connect());
  rig.session.startGetAddress();
  rig.channels.run(rig.session);
  EXPECT_EQ(rig.session.outcome().state, RunState::Succeeded);
  EXPECT_EQ(rig.session.reportedAddress(), 5);
  EXPECT_TRUE(rig.platform.logged("发送读取设备地址命令"));
  EXPECT_TRUE(rig.platform.logged("读取设备地址成功: 05"));
  EXPECT_TRUE(rig.platform.due.empty()) << "the report stops the wait";

  Rig set(tcpOptions(), sim::builtinImage(), 5);
  ASSERT_TRUE(set.session.connect());
  set.session.startSetAddress(245);
  set.channels.run(set.session);
  EXPECT_EQ(set.session.outcome().state, RunState::Succeeded) << set.session.outcome().reason;
  EXPECT_EQ(set.session.reportedAddress(), 245);
  EXPECT_EQ(set.device.address(), 245);
  EXPECT_TRUE(set.platform.logged("发送修改设备地址命令: 245"));
}

TEST(SessionAddress, SilenceAnotherAddressOrAFailedSendIsAFailure) {
  {
    Rig rig(tcpOptions());
    sim::FaultPlan drop;
    drop.dropAt = 1;
    rig.device.setFaults(drop);
    ASSERT_TRUE(rig.session.connect());
    rig.session.startGetAddress();
    const uint64_t started = rig.platform.now;
    rig.channels.run(rig.session);
    EXPECT_EQ(rig.session.outcome().exitCode, kExitDevice);
    EXPECT_EQ(rig.platform.now - started, static_cast<uint64_t>(kAddressWaitMs));
    EXPECT_EQ(rig.session.reportedAddress(), -1);
  }
  {
    Rig rig(tcpOptions());
    sim::FaultPlan foreign;
    foreign.replyAddress = 9;
    rig.device.setFaults(foreign);
    ASSERT_TRUE(rig.session.connect());
    rig.session.startSetAddress(3);
    rig.channels.run(rig.session);
    EXPECT_EQ(rig.session.outcome().exitCode, kExitDevice);
    EXPECT_EQ(rig.session.reportedAddress(), 9);
    EXPECT_NE(rig.session.outcome().reason.find("9"), std::string::npos);
  }
  {
    Rig rig(tcpOptions());
    rig.channels.failSendsFrom = 0;
    ASSERT_TRUE(rig.session.connect());
    rig.session.startGetAddress();
    ASSERT_TRUE(rig.session.done());
    EXPECT_EQ(rig.session.outcome().exitCode, kExitDevice);
    EXPECT_EQ(rig.session.outcome().reason, "发送读取设备地址命令失败");
  }
}

// ---- the link ----

TEST(SessionConnect, RefusalsSayWhyAndChooseTheExitStatus) {
  {
    Rig rig(tcpOptions());
    rig.channels.tcpRefuses = true;
    EXPECT_FALSE(rig.session.connect());
    EXPECT_EQ(rig.session.outcome().exitCode, kExitDevice);
    EXPECT_EQ(rig.session.outcome().reason, "TCP连接失败: 127.0.0.1:6000");
    EXPECT_TRUE(rig.platform.logged("TCP连接失败: 127.0.0.1"));
  }
  {
    Rig rig(serialOptions());
    rig.channels.serialRefuses = std::make_error_code(std::errc::permission_denied);
    EXPECT_FALSE(rig.session.connect());
    EXPECT_EQ(rig.session.outcome().exitCode, kExitDevice);
    const std::string& reason = rig.session.outcome().reason;
    EXPECT_EQ(reason.rfind("串口打开失败: /dev/ttyUSB3", 0), 0u) << reason;
    EXPECT_NE(reason.find(std::make_error_code(std::errc::permission_denied).message()), std::string::npos) << reason;
  }
  {
    Options o = serialOptions();
    o.serialDevice = "/tmp/not-a-port";
    Rig rig(o);
    EXPECT_FALSE(rig.session.connect());
    EXPECT_EQ(rig.session.outcome().exitCode, kExitUsage);
    EXPECT_EQ(rig.session.outcome().reason, "无效串口");
  }
}

TEST(SessionConnect, HostNameLookupFailureSaysWhy) {
  Options o = tcpOptions();
  o.tcpHost = "device.test";
  Rig rig(o);
  rig.channels.tcpLooksUp = true;
  EXPECT_FALSE(rig.session.connect());
  EXPECT_TRUE(rig.session.connecting());
  EXPECT_FALSE(rig.session.done());
  rig.session.onTcpConnectEvent(1, static_cast<int32_t>(TcpConnectFailure::HostNotFound));
  EXPECT_FALSE(rig.session.connecting());
  EXPECT_EQ(rig.session.outcome().exitCode, kExitDevice);
  EXPECT_EQ(rig.session.outcome().reason, "TCP连接失败: device.test:6000 原因: 无法解析主机名");
}

TEST(SessionLog, QuietMeansNoLinesAtAll) {
  Options o = tcpOptions();
  o.verbose = false;
  Rig rig(o);
  ASSERT_TRUE(rig.session.connect());
  rig.session.startRead();
  rig.channels.run(rig.session);
  EXPECT_EQ(rig.session.outcome().state, RunState::Succeeded);
  EXPECT_TRUE(rig.platform.lines.empty());
}
