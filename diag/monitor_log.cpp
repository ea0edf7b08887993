#include "diag/monitor_log.h"

#include "base/text.h"

namespace velmora {

void MonitorLog::add(FrameDirection direction, uint64_t tickUs, const uint8_t* bytes, int32_t length,
                     const FrameInfo& info) {
  if (!started_) startTick_ = tickUs, started_ = true;
  MonitorRow row;
  row.timeUs = tickUs >= startTick_ ? tickUs - startTick_ : 0;
  row.direction = direction;
  if (bytes != nullptr && length > 0) row.bytes.assign(bytes, bytes + length);
  row.info = info;
  rows_.push_back(std::move(row));
  if (rows_.size() > kCapacity) {
    rows_.pop_front();
    ++dropped_;
  }
}

void MonitorLog::clear() {
  rows_.clear();
  started_ = false;
  dropped_ = 0;
}

std::string MonitorLog::timeText(const MonitorRow& row) {
  return strprintf("%llu.%03llu", static_cast<unsigned long long>(row.timeUs / 1000),
                   static_cast<unsigned long long>(row.timeUs % 1000));
}

const char* MonitorLog::directionText(FrameDirection direction) {
  return direction == FrameDirection::Sent ? "发送" : "接收";
}

std::string MonitorLog::hexText(const MonitorRow& row) {
  std::string hex = hexBytesSpaced(row.bytes.data(), row.bytes.size());
  while (!hex.empty() && hex.back() == ' ') hex.pop_back();
  return hex;
}

std::string MonitorLog::meaningText(const MonitorRow& row) {
  return frameMeaningZh(row.info, static_cast<int32_t>(row.bytes.size()));
}

std::string MonitorLog::text() const {
  std::string out;
  for (const MonitorRow& r : rows_)
    out += timeText(r) + "\t" + directionText(r.direction) + "\t" + hexText(r) + "\t" + meaningText(r) + "\r\n";
  return out;
}

}  // namespace velmora
