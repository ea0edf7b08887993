#include "fleet/fleet.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>

#include "base/text.h"
#include "config/image_diff.h"
#include "config/config_unit.h"

namespace velmora {

std::optional<std::string> serialNumberOf(const std::vector<uint8_t>& image) {
  for (size_t at = 0; at + kUnitBytes <= image.size(); at += kUnitBytes) {
    const uint8_t* u = image.data() + at;
    if (u[0] == kindCode(UnitKind::NetworkAddress) && u[3] == kFieldSerialNumber)
      return strprintf("%u.%u.%u.%u", u[4], u[5], u[6], u[7]);
  }
  return std::nullopt;
}

std::optional<std::string> reportedSerial(bool ok, const std::vector<uint8_t>& readBack,
                                          const std::vector<uint8_t>& image) {
  if (!readBack.empty()) return serialNumberOf(readBack);
  if (ok) return serialNumberOf(image);
  return std::nullopt;
}

bool retryAfter(const AttemptResult& result, int attemptsSoFar) {
  // A device that was put back as it was has had its chance: a second write
  // would only change it again without anyone having looked.
  const bool rolledBack = result.change && result.change->result == "rolled_back";
  return !result.ok && !rolledBack && attemptsSoFar < kAttemptsPerDevice;
}

std::string verifyMismatch(const std::vector<uint8_t>& written, const std::vector<uint8_t>& read) {
  const std::string where = firstByteDifference(written, read);
  return where.empty() ? std::string() : "the device holds other bytes than were written (" + where + ")";
}

std::string reportLine(const DeviceReport& r) {
  nlohmann::ordered_json j;
  if (r.run != 0) j["run"] = r.run;
  j["row"] = r.row;
  j["target"] = r.target;
  j["result"] = r.change ? r.change->result : r.ok ? "ok" : "failed";
  j["reason"] = r.reason;
  // Milliseconds are all a person or a script needs.
  j["seconds"] = std::round(r.seconds * 1000.0) / 1000.0;
  j["attempts"] = r.attempts;
  j["serial"] = r.serial ? nlohmann::ordered_json(*r.serial) : nlohmann::ordered_json(nullptr);
  if (r.change) {
    j["changed"] = r.change->changed;
    j["diff"] = nlohmann::ordered_json::parse(r.change->diff, nullptr, false);
    if (j["diff"].is_discarded()) j["diff"] = nlohmann::ordered_json::array();
    j["backup"] = r.change->backup.empty() ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(r.change->backup);
  }
  // A reason may hold bytes of a file name that are no UTF-8.
  return j.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

std::string progressLine(const DeviceReport& r, const FleetCounts& c) {
  std::string line = strprintf("%-6s row %d %s %.1f s", r.ok ? "ok" : "FAILED", r.row, r.target.c_str(), r.seconds);
  if (!r.ok) line += ": " + r.reason;
  return line + strprintf(" (done %d, failed %d, remaining %d)", c.ok + c.failed, c.failed, c.remaining());
}

std::string progressBar(const FleetCounts& c, int width) {
  const int finished = c.ok + c.failed;
  const int marks = c.total > 0 ? static_cast<int>(int64_t{finished} * width / c.total) : width;
  return "[" + std::string(static_cast<size_t>(marks), '#') + std::string(static_cast<size_t>(width - marks), '.') +
         "]" + strprintf(" %d/%d  ok %d  failed %d  running %d", finished, c.total, c.ok, c.failed, c.running);
}

// ---- scheduler ----

FleetScheduler::FleetScheduler(const std::vector<FleetDevice>& devices, int jobs, AttemptStarter& starter,
                               std::function<uint64_t()> tickMs, Finished finished)
    : devices_(devices),
      jobs_(std::clamp(jobs, 1, kMaxJobs)),
      starter_(starter),
      tickMs_(std::move(tickMs)),
      finished_(std::move(finished)),
      state_(devices.size()) {
  for (size_t i = 0; i < devices.size(); ++i) queue_.push_back(i);
  counts_.total = static_cast<int>(devices.size());
}

bool FleetScheduler::portBusy(size_t index) const {
  const PlanTarget& t = devices_[index].row.target;
  if (t.kind != PlanTarget::Kind::Serial) return false;
  for (size_t i = 0; i < devices_.size(); ++i) {
    const PlanTarget& o = devices_[i].row.target;
    if (state_[i].running && o.kind == PlanTarget::Kind::Serial && o.path == t.path) return true;
  }
  return false;
}

void FleetScheduler::start() {
  if (cancelled_) return;
  // Plan order, passing over rows whose serial port is in use.
  for (auto it = queue_.begin(); it != queue_.end() && counts_.running < jobs_;) {
    if (portBusy(*it)) {
      ++it;
      continue;
    }
    const size_t index = *it;
    it = queue_.erase(it);
    state_[index].startedMs = tickMs_();
    launch(index);
  }
}

void FleetScheduler::launch(size_t index) {
  State& s = state_[index];
  const PlanRow& row = devices_[index].row;
  s.running = true;
  ++s.attempts;
  ++counts_.running;
  const bool changed = s.addressChanged && row.setAddress;
  starter_.startAttempt(index, changed ? *row.setAddress : row.address, row.setAddress.has_value() && !changed);
}

void FleetScheduler::attemptEnded(size_t index, const AttemptResult& result) {
  if (index >= state_.size() || !state_[index].running) return;
  State& s = state_[index];
  s.running = false;
  --counts_.running;
  s.addressChanged = s.addressChanged || result.addressChanged;
  if (retryAfter(result, s.attempts) && !cancelled_) {
    launch(index);
    return;
  }
  // The next row takes the slot first, so the report's counts show it running.
  start();
  finish(index, result.ok, result.reason, result.readBack, result.change);
}

void FleetScheduler::finish(size_t index, bool ok, const std::string& reason, const std::vector<uint8_t>& readBack,
                            const std::optional<ChangeReport>& change) {
  State& s = state_[index];
  s.finished = true;
  (ok ? counts_.ok : counts_.failed) += 1;
  DeviceReport r;
  r.row = devices_[index].row.row;
  r.target = targetText(devices_[index].row.target);
  r.ok = ok;
  r.reason = reason;
  r.seconds = static_cast<double>(tickMs_() - s.startedMs) / 1000.0;
  r.attempts = s.attempts;
  r.serial = reportedSerial(ok, readBack, devices_[index].image);
  r.run = run_;
  r.change = change;
  if (change && !ok && change->result == "ok") r.change->result = "failed";
  if (finished_) finished_(r, counts_);
}

void FleetScheduler::cancel(const std::string& reason) {
  cancelled_ = true;
  for (size_t i = 0; i < state_.size(); ++i) {
    if (!state_[i].running) continue;
    state_[i].running = false;
    --counts_.running;
    finish(i, false, reason, {}, std::nullopt);
  }
}

}  // namespace velmora
