// The traffic monitor's record apart from its widgets: the newest frames
// with their time, direction, bytes and meaning, and the text a save writes.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "protocol/frame_trace.h"

namespace velmora {

struct MonitorRow {
  uint64_t timeUs = 0;  // since the first frame after the start or a clear
  FrameDirection direction = FrameDirection::Sent;
  std::vector<uint8_t> bytes;
  FrameInfo info;
};

class MonitorLog {
 public:
  static constexpr size_t kCapacity = 10000;
  // Rows that come between transfers are shown together after this long;
  // during a transfer they wait for its next pause, which comes sooner.
  static constexpr int kBatchMs = 20;

  // Keeps the frame; the oldest goes once kCapacity are kept.
  void add(FrameDirection direction, uint64_t tickUs, const uint8_t* bytes, int32_t length, const FrameInfo& info);
  void clear();

  size_t size() const { return rows_.size(); }
  const MonitorRow& row(size_t index) const { return rows_[index]; }
  // Rows dropped from the front since the last clear (the view shifts by them).
  uint64_t droppedFront() const { return dropped_; }

  // The four columns as the table shows them.
  static std::string timeText(const MonitorRow& row);  // "12.345" ms
  static const char* directionText(FrameDirection direction);  // "发送" / "接收"
  static std::string hexText(const MonitorRow& row);
  static std::string meaningText(const MonitorRow& row);

  // One line per row, the columns apart by tabs, "\r\n" after each, as the
  // log page's text ends its lines.
  std::string text() const;
  // The rows as a capture file for Wireshark, stamped with the wall clock
  // from the moment the first row came.
  std::string pcap() const;

 private:
  std::deque<MonitorRow> rows_;
  uint64_t startTick_ = 0;
  uint64_t startEpochUs_ = 0;
  bool started_ = false;
  uint64_t dropped_ = 0;
};

}  // namespace velmora
