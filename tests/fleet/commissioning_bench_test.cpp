// The commissioning bench's phases (wait for a device, configure it with
// the scheduler's retry rule, wait until it is gone), with a port whose
// queries and attempts the test ends by hand.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fleet/commissioning_bench.h"

using namespace velmora;

using Bytes = std::vector<uint8_t>;

namespace {

struct FakePort final : BenchPort {
  std::vector<std::string> journal;
  std::vector<DeviceReport> reports;
  void startProbe() override { journal.push_back("probe"); }
  void startConfigure(const FleetDevice& d, uint8_t talkTo, bool setAddress) override {
    journal.push_back("configure row " + std::to_string(d.row.row) + " at " + std::to_string(talkTo) +
                      (setAddress ? " set" : ""));
  }
  void startPollWait(int ms) override { journal.push_back("wait " + std::to_string(ms)); }
  void say(const std::string& line) override { journal.push_back("say " + line); }
  void finished(const DeviceReport& r, const FleetCounts&) override { reports.push_back(r); }
  std::vector<std::string> take() { return std::exchange(journal, {}); }
};

FleetDevice benchRow(int row, std::optional<uint8_t> setAddress) {
  FleetDevice d;
  d.row.row = row;
  d.row.setAddress = setAddress;
  d.image = Bytes{2, 0, 0, 3, 1, 2, 3, static_cast<uint8_t>(row)};
  return d;
}

AttemptResult configured(const Bytes& readBack, bool addressChanged = true) { return {true, {}, addressChanged, readBack, {}}; }

}  // namespace

TEST(CommissioningBench, EachRowWaitsForADeviceConfiguresItAndWaitsUntilItIsGone) {
  const std::vector<FleetDevice> devices = {benchRow(2, 11), benchRow(3, 12)};
  FakePort port;
  uint64_t now = 0;
  CommissioningBench bench(devices, "/dev/ttyUSB0", 500, port, [&] { return now; });

  bench.start();
  EXPECT_EQ(port.take(), (std::vector<std::string>{"say row 2: waiting for a device on /dev/ttyUSB0", "probe"}));
  bench.probeEnded(false, -1);  // nobody there yet: poll again
  EXPECT_EQ(port.take(), (std::vector<std::string>{"wait 500"}));
  bench.pollDue();
  bench.probeEnded(true, 7);  // a device answering to 7 is talked to at 7 and given 11
  EXPECT_EQ(port.take(), (std::vector<std::string>{"probe", "configure row 2 at 7 set"}));
  now = 1500;
  bench.configureEnded(configured(devices[0].image));
  ASSERT_EQ(port.reports.size(), 1u);
  EXPECT_TRUE(port.reports[0].ok);
  EXPECT_EQ(port.reports[0].target, "/dev/ttyUSB0");
  EXPECT_EQ(port.reports[0].serial, "1.2.3.2");
  EXPECT_DOUBLE_EQ(port.reports[0].seconds, 1.5);
  EXPECT_EQ(port.take(), (std::vector<std::string>{"say next device", "wait 500"}));

  // The configured device still answers at its new address: still there.
  bench.pollDue();
  bench.probeEnded(true, 11);
  EXPECT_EQ(port.take(), (std::vector<std::string>{"probe", "wait 500"}));
  // Another address is another device, swapped in faster than a poll.
  bench.pollDue();
  bench.probeEnded(true, 1);
  EXPECT_EQ(port.take(), (std::vector<std::string>{"probe", "say row 3: waiting for a device on /dev/ttyUSB0", "probe"}));
  bench.probeEnded(true, 1);
  bench.configureEnded(configured(devices[1].image));
  EXPECT_TRUE(bench.done());
  EXPECT_FALSE(bench.interrupted());
  EXPECT_EQ(bench.counts().ok, 2);
}

TEST(CommissioningBench, AFailedAttemptIsRetriedOnceAtTheAddressTheDeviceWasGiven) {
  const std::vector<FleetDevice> devices = {benchRow(2, 11)};
  FakePort port;
  CommissioningBench bench(devices, "/dev/ttyUSB0", 500, port, [] { return uint64_t{0}; });
  bench.start();
  bench.probeEnded(true, 1);
  port.take();
  // The address change went through, the write did not: the retry talks to
  // 11 and does not set it again.
  bench.configureEnded({false, "no answer", true, {}, {}});
  EXPECT_EQ(port.take(), (std::vector<std::string>{"configure row 2 at 11"}));
  bench.configureEnded({false, "no answer again", false, {}, {}});
  ASSERT_EQ(port.reports.size(), 1u);
  EXPECT_FALSE(port.reports[0].ok);
  EXPECT_EQ(port.reports[0].reason, "no answer again");
  EXPECT_EQ(port.reports[0].attempts, 2);
  EXPECT_EQ(port.reports[0].serial, std::nullopt);  // failed without a read-back
  EXPECT_TRUE(bench.done());
}

TEST(CommissioningBench, CtrlCReportsTheDeviceBeingConfiguredAndStartsNothingMore) {
  const std::vector<FleetDevice> devices = {benchRow(2, std::nullopt), benchRow(3, std::nullopt)};
  FakePort port;
  CommissioningBench bench(devices, "/dev/ttyUSB0", 500, port, [] { return uint64_t{0}; });
  bench.start();
  bench.probeEnded(true, 5);
  EXPECT_EQ(port.take().back(), "configure row 2 at 5");
  bench.interrupt();
  ASSERT_EQ(port.reports.size(), 1u);
  EXPECT_EQ(port.reports[0].reason, "interrupted");
  EXPECT_TRUE(bench.done());
  EXPECT_TRUE(bench.interrupted());
  // An attempt that still ends afterwards changes nothing.
  bench.configureEnded(configured(devices[0].image, false));
  bench.pollDue();
  EXPECT_TRUE(port.take().empty());
  EXPECT_EQ(port.reports.size(), 1u);
  EXPECT_EQ(bench.counts().failed, 1);
}
