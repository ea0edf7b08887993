// The serial commissioning bench apart from its port: row after row, wait
// for a device to answer the address query, configure and verify it (with
// the scheduler's retry rule), report it, ask for the next device and wait
// until this one has stopped answering. The command line runs the queries
// and attempts on the real port and hands back how each ended.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "fleet/fleet.h"

namespace velmora {

// What the bench asks of its port; each start ends later through the
// matching call on CommissioningBench, never from inside the start.
class BenchPort {
 public:
  virtual ~BenchPort() = default;
  // One address query to address 1 (every device answers it): probeEnded.
  virtual void startProbe() = 0;
  // One attempt at the device on the port, talking to talkTo, giving it the
  // row's set_address first when setAddress, verifying the write: configureEnded.
  virtual void startConfigure(const FleetDevice& device, uint8_t talkTo, bool setAddress) = 0;
  // The next query after ms: pollDue.
  virtual void startPollWait(int ms) = 0;
  // A line for the person at the bench.
  virtual void say(const std::string& line) = 0;
  // A device's report, as the scheduler gives it.
  virtual void finished(const DeviceReport& report, const FleetCounts& counts) = 0;
};

class CommissioningBench {
 public:
  CommissioningBench(const std::vector<FleetDevice>& devices, std::string portName, int pollMs, BenchPort& port,
                     std::function<uint64_t()> tickMs);

  void start();
  void probeEnded(bool answered, int address);
  void configureEnded(const AttemptResult& result);
  void pollDue();
  // Ctrl-C: a device being configured is reported failed; nothing more
  // starts. The caller has stopped what was running.
  void interrupt();

  // The last row is reported, or the bench was interrupted.
  bool done() const { return finished_ || interrupted_; }
  bool interrupted() const { return interrupted_; }
  const FleetCounts& counts() const { return counts_; }

 private:
  enum class Phase { WaitDevice, Configure, WaitGone };

  void beginRow(size_t row);
  void configure();
  void report(bool ok, const std::string& reason, const std::vector<uint8_t>& readBack,
              const std::optional<ChangeReport>& change);

  const std::vector<FleetDevice>& devices_;
  std::string portName_;
  int pollMs_;
  BenchPort& port_;
  std::function<uint64_t()> tickMs_;
  FleetCounts counts_;
  Phase phase_ = Phase::WaitDevice;
  size_t row_ = 0;
  int attempts_ = 0;
  bool addressChanged_ = false;
  uint8_t talkTo_ = 1;
  int configuredAddress_ = 1;  // what the configured device answers to
  uint64_t startedMs_ = 0;
  bool interrupted_ = false;
  bool finished_ = false;
};

}  // namespace velmora
