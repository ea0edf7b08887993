#include "diag/monitor_log.h"

#include <chrono>

#include "base/text.h"
#include "base/tr_text.h"
#include "protocol/pcap_format.h"

namespace velmora {

void MonitorLog::add(FrameDirection direction, uint64_t tickUs, const uint8_t* bytes, int32_t length,
                     const FrameInfo& info) {
  if (!started_) {
    startTick_ = tickUs;
    startEpochUs_ = static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(
                                               std::chrono::system_clock::now().time_since_epoch())
                                               .count());
    started_ = true;
  }
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
  return direction == FrameDirection::Sent ? trText("MonitorLog", "发送") : trText("MonitorLog", "接收");
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

std::string MonitorLog::pcap() const {
  std::string out = pcapFileHeader();
  for (const MonitorRow& row : rows_)
    out += pcapRecord(startEpochUs_ + row.timeUs, row.direction, row.bytes.data(), static_cast<int32_t>(row.bytes.size()));
  return out;
}

}  // namespace velmora
