#include "cli/cli_trace.h"

#include "base/text.h"

namespace velmora::cli {

std::string traceLine(uint64_t sinceStartUs, FrameDirection direction, const uint8_t* bytes, int32_t length,
                      const FrameInfo& info) {
  std::string hex = hexBytesSpaced(bytes, static_cast<size_t>(length));
  while (!hex.empty() && hex.back() == ' ') hex.pop_back();
  return strprintf("%8llu.%03llu %s %s  %s", static_cast<unsigned long long>(sinceStartUs / 1000),
                   static_cast<unsigned long long>(sinceStartUs % 1000),
                   direction == FrameDirection::Sent ? "->" : "<-",
                   hex.c_str(), frameMeaningEn(info, length).c_str());
}

namespace {
bool put(std::FILE* f, const std::string& bytes) {
  return std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
}
}  // namespace

bool PcapWriter::open(const std::string& path) {
  close();
  file_ = std::fopen(path.c_str(), "wb");
  if (file_ == nullptr) return false;
  failed_ = !put(file_, pcapFileHeader());
  return !failed_;
}

bool PcapWriter::write(uint64_t epochUs, FrameDirection direction, const uint8_t* bytes, int32_t length) {
  if (file_ == nullptr || length < 0) return false;
  const bool ok = put(file_, pcapRecord(epochUs, direction, bytes, length));
  if (!ok) failed_ = true;
  return ok;
}

bool PcapWriter::close() {
  if (file_ == nullptr) return !failed_;
  const bool closed = std::fclose(file_) == 0;
  file_ = nullptr;
  return closed && !failed_;
}

TrafficRecorder::~TrafficRecorder() { finish(); }

bool TrafficRecorder::openTraceFile(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "w");
  if (f == nullptr) return false;
  traceFile_ = f;
  return true;
}

bool TrafficRecorder::finish() {
  bool ok = !traceFailed_;
  if (traceStream_ != nullptr) ok = std::fflush(traceStream_) == 0 && ok;
  traceStream_ = nullptr;
  if (traceFile_ != nullptr) ok = std::fclose(traceFile_) == 0 && ok;
  traceFile_ = nullptr;
  if (pcapOn_) ok = pcap_.close() && ok;
  pcapOn_ = false;
  return ok;
}

void TrafficRecorder::onFrame(FrameDirection direction, uint64_t timeUs, const uint8_t* bytes, int32_t length,
                              const FrameInfo& info) {
  const uint64_t since = timeUs >= startTick_ ? timeUs - startTick_ : 0;
  if (traceStream_ != nullptr || traceFile_ != nullptr) {
    const std::string line = traceLine(since, direction, bytes, length, info) + "\n";
    if (traceStream_ != nullptr) std::fputs(line.c_str(), traceStream_);
    if (traceFile_ != nullptr && std::fputs(line.c_str(), traceFile_) < 0) traceFailed_ = true;
  }
  if (pcapOn_) pcap_.write(startEpoch_ + since, direction, bytes, length);
}

}  // namespace velmora::cli
