#include "fleet/commissioning_bench.h"

#include <utility>

#include "base/text.h"

namespace velmora {

CommissioningBench::CommissioningBench(const std::vector<FleetDevice>& devices, std::string portName, int pollMs,
                                       BenchPort& port, std::function<uint64_t()> tickMs)
    : devices_(devices), portName_(std::move(portName)), pollMs_(pollMs), port_(port), tickMs_(std::move(tickMs)) {
  counts_.total = static_cast<int>(devices_.size());
}

void CommissioningBench::start() { beginRow(0); }

void CommissioningBench::beginRow(size_t row) {
  row_ = row;
  if (row_ >= devices_.size()) {
    finished_ = true;
    return;
  }
  phase_ = Phase::WaitDevice;
  port_.say(strprintf("row %d: waiting for a device on %s", devices_[row_].row.row, portName_.c_str()));
  port_.startProbe();
}

void CommissioningBench::probeEnded(bool answered, int address) {
  if (done()) return;
  if (phase_ == Phase::WaitDevice && answered) {
    phase_ = Phase::Configure;
    startedMs_ = tickMs_();
    attempts_ = 0;
    addressChanged_ = false;
    talkTo_ = static_cast<uint8_t>(address);
    configure();
    return;
  }
  // Another address than the configured device's own is another device:
  // this one was swapped faster than a poll.
  if (phase_ == Phase::WaitGone && (!answered || address != configuredAddress_)) {
    beginRow(row_ + 1);
    return;
  }
  port_.startPollWait(pollMs_);
}

void CommissioningBench::pollDue() {
  if (!done()) port_.startProbe();
}

void CommissioningBench::configure() {
  const FleetDevice& device = devices_[row_];
  ++attempts_;
  // The device answers to what it reported; after a confirmed change, to that.
  const uint8_t talkTo = addressChanged_ && device.row.setAddress ? *device.row.setAddress : talkTo_;
  port_.startConfigure(device, talkTo, !addressChanged_ && device.row.setAddress.has_value());
}

void CommissioningBench::configureEnded(const AttemptResult& result) {
  if (done() || phase_ != Phase::Configure) return;
  addressChanged_ = addressChanged_ || result.addressChanged;
  const std::optional<uint8_t>& wanted = devices_[row_].row.setAddress;
  configuredAddress_ = addressChanged_ && wanted ? *wanted : talkTo_;
  if (retryAfter(result, attempts_)) {
    configure();
    return;
  }
  report(result.ok, result.reason, result.readBack, result.change);
  if (row_ + 1 >= devices_.size()) {
    finished_ = true;
    return;
  }
  port_.say("next device");
  phase_ = Phase::WaitGone;
  port_.startPollWait(pollMs_);
}

void CommissioningBench::interrupt() {
  if (done()) return;
  interrupted_ = true;
  if (phase_ == Phase::Configure) report(false, "interrupted", {}, std::nullopt);
}

void CommissioningBench::report(bool ok, const std::string& reason, const std::vector<uint8_t>& readBack,
                                const std::optional<ChangeReport>& change) {
  const FleetDevice& device = devices_[row_];
  (ok ? counts_.ok : counts_.failed) += 1;
  DeviceReport r;
  r.row = device.row.row;
  r.target = portName_;
  r.ok = ok;
  r.reason = reason;
  r.seconds = static_cast<double>(tickMs_() - startedMs_) / 1000.0;
  r.attempts = attempts_;
  r.serial = reportedSerial(ok, readBack, device.image);
  r.change = change;
  port_.finished(r, counts_);
}

}  // namespace velmora
