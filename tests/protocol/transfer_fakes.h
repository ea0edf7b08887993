// The null side recording what TransferEngine did; the device's answers built by hand, not by the simulator.
#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "protocol/frames.h"
#include "tests/support/null_transfer_side.h"

namespace velmora::testing {

using Bytes = std::vector<uint8_t>;
using Lines = std::vector<std::string>;

class RecordingSide : public NullTransferSide {
 public:
  uint8_t addressBox = 1;
  std::set<int> failingSends;      // indices of send attempts (0-based, failed ones counted) that fail
  uint64_t progressCostMs = 0;     // painting takes time on a real screen
  std::optional<Bytes> pageImage;  // what the page on show stores into the image when gathered
  int sendAttempts = 0, gathers = 0;
  Lines io;  // "wait N" and "send" in order
  std::vector<Bytes> sent, loaded;
  Lines logs, boxes, states;
  std::vector<int> progress;  // every position set; -1 marks a reset
  std::string addressText, addressMessage;

  void clear() { io.clear(), sent.clear(), loaded.clear(), logs.clear(), boxes.clear(), states.clear(), progress.clear(); }
  // Feeds bytes into the engine, gapMs apart (the first one gapMs after now).
  void feed(const Bytes& bytes, uint64_t gapMs = 1) {
    for (uint8_t b : bytes) now += gapMs, engine->receiveByte(b);
  }
  // When the watchdog id expires next; 0 when it is stopped.
  uint64_t expiry(int id) const { return timers[id - 2000]; }

  LocalTime localTime() override { return {2024, 3, 9, 8, 7, 6}; }
  void sleepMs(int ms) override { io.push_back("wait " + std::to_string(ms)), now += static_cast<uint64_t>(ms); }
  void messageBox(const std::string& text) override { boxes.push_back(text); }
  void setStateText(const std::string& text) override { states.push_back(text); }
  void setProgress(int percent) override { progress.push_back(percent), now += progressCostMs; }
  void resetProgress() override { progress.push_back(-1); }
  bool sendBytes(const uint8_t* data, int32_t length) override {
    const bool ok = failingSends.count(sendAttempts++) == 0;
    io.push_back(ok ? "send" : "send-failed");
    if (ok) sent.emplace_back(data, data + length);
    return ok;
  }
  uint8_t addressBoxValue() const override { return addressBox; }
  void showAddressReport(const std::string& a, const std::string& m) override { addressText = a, addressMessage = m; }
  void loadImage(const uint8_t* d, int32_t n) override { NullTransferSide::loadImage(d, n), loaded.push_back(image); }
  bool gatherCurrentPage() override {
    ++gathers;
    if (pageImage) image = *pageImage;
    return true;
  }
  void logMessage(const std::string& text) override { logs.push_back(text); }
};

inline Bytes withCrc(Bytes f) {
  const uint16_t crc = crc16(f.data(), static_cast<uint16_t>(f.size()));
  f.push_back(static_cast<uint8_t>(crc));
  f.push_back(static_cast<uint8_t>(crc >> 8));
  return f;
}

// address 69 K Ph Pl Th Tl data CRC, K = data + 4.
inline Bytes dataResponse(uint8_t address, int packet, int total, const Bytes& data) {
  Bytes f{address, kFunctionRead, static_cast<uint8_t>(data.size() + 4), static_cast<uint8_t>(packet >> 8),
          static_cast<uint8_t>(packet), static_cast<uint8_t>(total >> 8), static_cast<uint8_t>(total)};
  f.insert(f.end(), data.begin(), data.end());
  return withCrc(f);
}

// address 6C 00 32 Ph Pl CRC.
inline Bytes writeAck(uint8_t address, int packet) {
  return withCrc({address, kFunctionWrite, 0x00, 0x32, static_cast<uint8_t>(packet >> 8), static_cast<uint8_t>(packet)});
}

inline Bytes slice(const Bytes& b, size_t from, size_t count) {
  return Bytes(b.begin() + static_cast<long>(from), b.begin() + static_cast<long>(std::min(b.size(), from + count)));
}

// count bytes of a recognisable pattern (not all zero).
inline Bytes patternBytes(size_t count, uint8_t seed = 1) {
  Bytes b(count);
  for (size_t i = 0; i < count; ++i) b[i] = static_cast<uint8_t>(seed + i * 7);
  return b;
}

}  // namespace velmora::testing
