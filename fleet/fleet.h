// velmora-cli apply apart from any link: which device of a provisioning
// plan is configured when, in parallel or on the serial commissioning bench,
// how an attempt that failed is retried, and what is said about each device
// (the report line, the progress line and bar). The command line starts the
// attempts on real links and tells the scheduler or the bench how each one
// ended.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "fleet/provision_plan.h"

namespace velmora {

// Connections at once when --jobs is not given: enough to hide the pacing
// of each device behind the others, few enough for a desktop's defaults.
inline constexpr int kDefaultJobs = 16;
inline constexpr int kMaxJobs = 1000;
// Attempts per device: the first and one retry.
inline constexpr int kAttemptsPerDevice = 2;

// One row of the plan with the image it gets.
struct FleetDevice {
  PlanRow row;
  std::vector<uint8_t> image;
};

// What a write that read the device first found and did: result "ok",
// "unchanged", "would_change" (a dry run), "failed" or "rolled_back";
// changed, when the device holds (or would hold) other settings now; diff,
// the diff objects from what it held to what it was given, a JSON array;
// backup, the file that keeps what it held (empty: none was taken).
struct ChangeReport {
  std::string result = "ok";
  bool changed = false;
  std::string diff = "[]";
  std::string backup;
  std::vector<std::string> diffLines;  // the same as text, one setting a line (not in the report)
};

// How one attempt at a device ended.
struct AttemptResult {
  bool ok = false;
  std::string reason;  // one line, set when not ok
  // set_address was confirmed by the device: a retry talks to the new
  // address and does not set it again.
  bool addressChanged = false;
  // What the device returned after the write (with verify), else empty.
  std::vector<uint8_t> readBack;
  // Set when the attempt read the device first.
  std::optional<ChangeReport> change;
};

// The serial number a device's report names: what the device returned
// when it was read back, else, for a device that took its image, the one
// the image gave it (a device that failed without a read-back holds who
// knows what).
std::optional<std::string> reportedSerial(bool ok, const std::vector<uint8_t>& readBack,
                                          const std::vector<uint8_t>& image);
// Whether a device is tried again after an attempt that ended so: a failure
// with attempts left. The one rule of the scheduler and the bench.
bool retryAfter(const AttemptResult& result, int attemptsSoFar);

// What the report says about one device.
struct DeviceReport {
  int row = 0;
  std::string target;
  bool ok = false;
  std::string reason;
  double seconds = 0;  // from the first attempt's start to the last one's end
  int attempts = 0;
  std::optional<std::string> serial;  // "a.b.c.d"
  int run = 0;                        // with several runs, which one (from 1); 0 leaves it out
  std::optional<ChangeReport> change; // a write that read first: result, changed, diff and backup
};

// The serial number the image carries (the first network unit with field
// selector 3) as four dotted numbers; none when it has no such unit.
std::optional<std::string> serialNumberOf(const std::vector<uint8_t>& image);

// Why a read-back is not what was written, in one line; empty when the
// bytes are the same.
std::string verifyMismatch(const std::vector<uint8_t>& written, const std::vector<uint8_t>& read);

// One JSON object on one line (no line end): row, target, result ("ok" or
// "failed"), reason, seconds, attempts, serial (null when none), and run
// when it is not 0.
std::string reportLine(const DeviceReport& report);

struct FleetCounts {
  int total = 0;
  int ok = 0;
  int failed = 0;
  int running = 0;
  int remaining() const { return total - ok - failed; }
};

// "ok     row 3 tcp:127.0.0.1:6002 4.2 s (done 3, failed 0, remaining 17)";
// a failure adds its reason.
std::string progressLine(const DeviceReport& report, const FleetCounts& counts);
// "[#########...........]  9/20  ok 8  failed 1  running 4", width marks wide.
std::string progressBar(const FleetCounts& counts, int width = 30);

// Starts attempts; each one later ends through FleetScheduler::attemptEnded,
// never from inside startAttempt.
class AttemptStarter {
 public:
  virtual ~AttemptStarter() = default;
  // talkTo: the bus address the device answers to now; setAddress: give it
  // the row's set_address first.
  virtual void startAttempt(size_t index, uint8_t talkTo, bool setAddress) = 0;
};

// At most jobs attempts at once, in plan order. Rows on the same serial
// port go one after another (a port reaches one device at a time); TCP rows
// and other ports run beside them. A failed attempt is retried once at
// once; the second failure is the device's result.
class FleetScheduler {
 public:
  using Finished = std::function<void(const DeviceReport&, const FleetCounts&)>;
  FleetScheduler(const std::vector<FleetDevice>& devices, int jobs, AttemptStarter& starter,
                 std::function<uint64_t()> tickMs, Finished finished);

  // Fills the free slots.
  void start();
  void attemptEnded(size_t index, const AttemptResult& result);
  // Ends every running attempt as failed with reason (the caller has
  // stopped them); rows not started stay unreported.
  void cancel(const std::string& reason);
  // Which run the reports belong to (0: a single run).
  void setRun(int run) { run_ = run; }

  bool done() const { return counts_.running == 0 && (queue_.empty() || cancelled_); }
  const FleetCounts& counts() const { return counts_; }
  bool running(size_t index) const { return index < state_.size() && state_[index].running; }

 private:
  struct State {
    bool running = false;
    bool finished = false;
    int attempts = 0;
    bool addressChanged = false;
    uint64_t startedMs = 0;
  };
  void launch(size_t index);
  void finish(size_t index, bool ok, const std::string& reason, const std::vector<uint8_t>& readBack,
              const std::optional<ChangeReport>& change);
  bool portBusy(size_t index) const;

  const std::vector<FleetDevice>& devices_;
  int jobs_;
  AttemptStarter& starter_;
  std::function<uint64_t()> tickMs_;
  Finished finished_;
  std::vector<State> state_;
  std::deque<size_t> queue_;  // not yet started, in plan order
  FleetCounts counts_;
  bool cancelled_ = false;
  int run_ = 0;
};

}  // namespace velmora
