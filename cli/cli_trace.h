// What velmora-cli records of the traffic: --trace lines (on standard error
// or into a file) and a --pcap capture, both fed by the frame observer of
// the engine and the send path.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "protocol/frame_trace.h"
#include "protocol/pcap_format.h"

namespace velmora::cli {

// "  12.345 -> 01 69 00 32 00 00 FC 0C  read request: packet 0": milliseconds
// since the trace started, direction, the bytes, their meaning.
std::string traceLine(uint64_t sinceStartUs, FrameDirection direction, const uint8_t* bytes, int32_t length,
                      const FrameInfo& info);

// The capture file as it is written: the global header, then one record per
// frame stamped with the wall clock (epoch µs).
class PcapWriter {
 public:
  PcapWriter() = default;
  ~PcapWriter() { close(); }
  PcapWriter(const PcapWriter&) = delete;
  PcapWriter& operator=(const PcapWriter&) = delete;

  // False with errno set when the file cannot be written.
  bool open(const std::string& path);
  bool write(uint64_t epochUs, FrameDirection direction, const uint8_t* bytes, int32_t length);
  // False when anything written since open did not reach the file.
  bool close();

 private:
  std::FILE* file_ = nullptr;
  bool failed_ = false;
};

// Both recorders behind one observer; either may be off.
class TrafficRecorder final : public FrameObserver {
 public:
  // startTickUs / startEpochUs: the same instant on the senders' monotonic
  // tick and on the wall clock, to stamp pcap records.
  TrafficRecorder(uint64_t startTickUs, uint64_t startEpochUs) : startTick_(startTickUs), startEpoch_(startEpochUs) {}
  ~TrafficRecorder() override;

  // The lines on a stream the caller keeps (standard error), and into a
  // file of their own; false when it cannot be opened.
  void traceTo(std::FILE* stream) { traceStream_ = stream; }
  bool openTraceFile(const std::string& path);
  bool openPcap(const std::string& path) { return pcap_.open(path) && (pcapOn_ = true); }
  // Flushes and closes the files; false when one of them fell short.
  bool finish();

  void onFrame(FrameDirection direction, uint64_t timeUs, const uint8_t* bytes, int32_t length,
               const FrameInfo& info) override;

 private:
  uint64_t startTick_;
  uint64_t startEpoch_;
  std::FILE* traceStream_ = nullptr;
  std::FILE* traceFile_ = nullptr;
  bool traceFailed_ = false;
  PcapWriter pcap_;
  bool pcapOn_ = false;
};

}  // namespace velmora::cli
