// apply's scheduler (slots, plan order, retries, serial ports one device at
// a time, Ctrl-C) and what it says about each device, with attempts that
// the test ends by hand.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "fleet/fleet.h"

using namespace velmora;

using Bytes = std::vector<uint8_t>;

namespace {

// Remembers what was started; the test ends the attempts.
struct Starter final : AttemptStarter {
  struct Start {
    size_t index;
    uint8_t talkTo;
    bool setAddress;
    bool operator==(const Start&) const = default;
  };
  std::vector<Start> started;
  void startAttempt(size_t index, uint8_t talkTo, bool setAddress) override {
    started.push_back({index, talkTo, setAddress});
  }
};

FleetDevice tcpDevice(int row, std::optional<uint8_t> setAddress = std::nullopt, uint8_t address = 1) {
  FleetDevice d;
  d.row.row = row;
  d.row.target.host = "127.0.0.1";
  d.row.target.port = static_cast<uint16_t>(6000 + row);
  d.row.address = address;
  d.row.setAddress = setAddress;
  d.image = Bytes(16, static_cast<uint8_t>(row));
  return d;
}

FleetDevice serialDevice(int row, const std::string& path) {
  FleetDevice d = tcpDevice(row);
  d.row.target.kind = PlanTarget::Kind::Serial;
  d.row.target.path = path;
  return d;
}

struct Rig {
  explicit Rig(std::vector<FleetDevice> list, int jobs)
      : devices(std::move(list)),
        scheduler(devices, jobs, starter, [this] { return now; },
                  [this](const DeviceReport& r, const FleetCounts& c) {
                    reports.push_back(r);
                    counts.push_back(c);
                  }) {}
  std::vector<size_t> startedIndices() const {
    std::vector<size_t> out;
    for (const auto& s : starter.started) out.push_back(s.index);
    return out;
  }
  std::vector<FleetDevice> devices;
  Starter starter;
  uint64_t now = 1000;
  std::vector<DeviceReport> reports;
  std::vector<FleetCounts> counts;
  FleetScheduler scheduler;
};

AttemptResult ok() { return {true, {}, false, {}, {}}; }
AttemptResult failed(const std::string& why, bool addressChanged = false) { return {false, why, addressChanged, {}, {}}; }

Bytes serialUnit(uint8_t a, uint8_t b, uint8_t c, uint8_t d) { return {2, 0, 0, 3, a, b, c, d}; }

}  // namespace

TEST(FleetScheduler, AtMostJobsAtOnceInPlanOrderAndAFailureIsTriedOnceMore) {
  Rig rig({tcpDevice(1), tcpDevice(2), tcpDevice(3), tcpDevice(4)}, 2);
  rig.scheduler.start();
  EXPECT_EQ(rig.startedIndices(), (std::vector<size_t>{0, 1}));

  rig.now += 700;
  rig.scheduler.attemptEnded(1, failed("下发配置超时，复位"));
  // The retry takes the slot at once: nothing new starts beside it.
  EXPECT_EQ(rig.startedIndices(), (std::vector<size_t>{0, 1, 1}));
  EXPECT_TRUE(rig.reports.empty());
  rig.now += 800;
  rig.scheduler.attemptEnded(1, failed("读取配置超时，复位"));
  ASSERT_EQ(rig.reports.size(), 1u);
  const DeviceReport& f = rig.reports[0];
  EXPECT_EQ(std::tie(f.row, f.ok, f.reason, f.attempts), std::make_tuple(2, false, std::string("读取配置超时，复位"), 2));
  EXPECT_DOUBLE_EQ(f.seconds, 1.5) << "from the first attempt's start to the last one's end";
  EXPECT_EQ(f.target, "tcp:127.0.0.1:6002");
  EXPECT_EQ(rig.startedIndices(), (std::vector<size_t>{0, 1, 1, 2}));

  rig.scheduler.attemptEnded(1, ok());  // a stale end of a finished device changes nothing
  EXPECT_EQ(rig.reports.size(), 1u);
  rig.scheduler.attemptEnded(0, ok());
  rig.scheduler.attemptEnded(2, ok());
  EXPECT_FALSE(rig.scheduler.done());
  rig.scheduler.attemptEnded(3, ok());
  EXPECT_TRUE(rig.scheduler.done());
  const FleetCounts& last = rig.counts.back();
  EXPECT_EQ(std::tie(last.total, last.ok, last.failed, last.running), std::make_tuple(4, 3, 1, 0));
}

TEST(FleetScheduler, ARetryAfterAConfirmedAddressChangeTalksToTheNewAddress) {
  Rig rig({tcpDevice(1, 11, 3), tcpDevice(2, 12)}, 4);
  rig.scheduler.start();
  EXPECT_EQ(rig.starter.started[0], (Starter::Start{0, 3, true}));
  rig.scheduler.attemptEnded(0, failed("link lost", true));
  EXPECT_EQ(rig.starter.started.back(), (Starter::Start{0, 11, false}));
  // An address change that was not confirmed is tried again from the old one.
  rig.scheduler.attemptEnded(1, failed("no address report within 2000 ms"));
  EXPECT_EQ(rig.starter.started.back(), (Starter::Start{1, 1, true}));
}

TEST(FleetScheduler, RowsOnOneSerialPortGoOneAfterAnotherBesideTheOthers) {
  Rig rig({serialDevice(1, "/dev/ttyUSB0"), serialDevice(2, "/dev/ttyUSB0"), tcpDevice(3),
           serialDevice(4, "/dev/ttyUSB1"), serialDevice(5, "/dev/ttyUSB0")},
          8);
  rig.scheduler.start();
  EXPECT_EQ(rig.startedIndices(), (std::vector<size_t>{0, 2, 3}));
  rig.scheduler.attemptEnded(0, failed("串口打开失败: /dev/ttyUSB0"));  // its retry keeps the port
  EXPECT_EQ(rig.startedIndices(), (std::vector<size_t>{0, 2, 3, 0}));
  rig.scheduler.attemptEnded(0, ok());
  EXPECT_EQ(rig.startedIndices(), (std::vector<size_t>{0, 2, 3, 0, 1}));
  rig.scheduler.attemptEnded(1, ok());
  EXPECT_EQ(rig.startedIndices().back(), 4u);
}

TEST(FleetScheduler, CtrlCReportsTheRunningAsInterruptedAndLeavesTheRestUnreported) {
  Rig rig({tcpDevice(1), tcpDevice(2), tcpDevice(3)}, 2);
  rig.scheduler.start();
  rig.scheduler.attemptEnded(0, ok());
  rig.scheduler.cancel("interrupted");
  ASSERT_EQ(rig.reports.size(), 3u);
  EXPECT_EQ(std::tie(rig.reports[1].row, rig.reports[1].ok, rig.reports[1].reason),
            std::make_tuple(2, false, std::string("interrupted")));
  EXPECT_EQ(std::tie(rig.reports[2].row, rig.reports[2].ok), std::make_tuple(3, false));
  EXPECT_TRUE(rig.scheduler.done());
  rig.scheduler.attemptEnded(1, failed("late"));  // no retry after Ctrl-C
  EXPECT_EQ(rig.startedIndices().size(), 3u);
}

TEST(FleetReport, OneJsonObjectPerDeviceWithTheSerialNumberTheDeviceHolds) {
  // The serial number: the first network unit with selector 3, as dotted numbers.
  Bytes image = {1, 1, 0, 0, 0x25, 0x80, 0x80, 0x0D};
  const Bytes other = {2, 0, 0, 0, 10, 0, 0, 1};
  image.insert(image.end(), other.begin(), other.end());
  EXPECT_EQ(serialNumberOf(image), std::nullopt);
  const Bytes first = serialUnit(20, 24, 6, 17), second = serialUnit(1, 2, 3, 4);
  image.insert(image.end(), first.begin(), first.end());
  image.insert(image.end(), second.begin(), second.end());
  image.push_back(2);  // a partial unit is no unit
  EXPECT_EQ(serialNumberOf(image), "20.24.6.17");

  // A device that was read back: the serial number from what it returned.
  Rig rig({tcpDevice(1), tcpDevice(2)}, 2);
  rig.devices[0].image = serialUnit(9, 9, 9, 9);
  rig.scheduler.start();
  AttemptResult back = ok();
  back.readBack = first;
  rig.scheduler.attemptEnded(0, back);
  rig.scheduler.attemptEnded(1, failed("verify"));
  rig.scheduler.attemptEnded(1, failed("the device holds other bytes than were written (byte 3: 0x01 written, 0xFE read)"));
  ASSERT_EQ(rig.reports.size(), 2u);
  EXPECT_EQ(rig.reports[0].serial, "20.24.6.17");
  EXPECT_EQ(rig.reports[1].serial, std::nullopt) << "a failed device without a read-back holds who knows what";

  const auto okLine = nlohmann::json::parse(reportLine(rig.reports[0]));
  EXPECT_EQ(okLine, nlohmann::json::parse(R"({"row":1,"target":"tcp:127.0.0.1:6001","result":"ok","reason":"",
                                             "seconds":0.0,"attempts":1,"serial":"20.24.6.17"})"));
  DeviceReport r = rig.reports[1];
  r.run = 3;
  r.seconds = 4.2345;
  const std::string line = reportLine(r);
  EXPECT_EQ(line.find('\n'), std::string::npos);
  const auto failedLine = nlohmann::json::parse(line);
  EXPECT_EQ(failedLine["run"], 3);
  EXPECT_EQ(failedLine["result"], "failed");
  EXPECT_EQ(failedLine["attempts"], 2);
  EXPECT_TRUE(failedLine["serial"].is_null());
  EXPECT_DOUBLE_EQ(failedLine["seconds"].get<double>(), 4.235);

  // The progress line and bar count what is done, failed and left.
  EXPECT_EQ(progressLine(rig.reports[1], rig.counts.back()),
            "FAILED row 2 tcp:127.0.0.1:6002 0.0 s: the device holds other bytes than were written "
            "(byte 3: 0x01 written, 0xFE read) (done 2, failed 1, remaining 0)");
  EXPECT_EQ(progressBar(FleetCounts{20, 4, 1, 3}, 20), "[#####...............] 5/20  ok 4  failed 1  running 3");
}

TEST(FleetReport, TargetsAsAPlanWritesThem) {
  PlanTarget t;
  t.host = "::1";
  t.port = 6000;
  EXPECT_EQ(targetText(t), "tcp:[::1]:6000");
  t.kind = PlanTarget::Kind::Serial;
  t.path = "/dev/ttyUSB0";
  t.baud = 19200, t.dataBits = 7, t.parityCode = 2, t.stopBitsCode = 1;
  EXPECT_EQ(targetText(t), "serial:/dev/ttyUSB0@19200,7E1.5");
  // And back: what it prints is what the plan takes.
  const ParsedPlan plan = parsePlan("target\n\"" + targetText(t) + "\"\n");
  ASSERT_TRUE(plan.ok) << plan.error.text();
  const PlanTarget& back = plan.rows[0].target;
  EXPECT_EQ(std::tie(back.path, back.baud, back.dataBits, back.parityCode, back.stopBitsCode),
            std::tie(t.path, t.baud, t.dataBits, t.parityCode, t.stopBitsCode));
}
