// A host, connection page and main window for driving TransferEngine without
// any window: a virtual clock, timers the test fires by advancing that clock,
// and one ordered trace of everything the engine did to the outside.
#pragma once

#include <algorithm>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "base/text.h"
#include "protocol/frames.h"
#include "protocol/transfer_engine.h"

namespace velmora::testing {

using Bytes = std::vector<uint8_t>;

inline std::string hex(const Bytes& bytes) {
  std::string s = hexBytesSpaced(bytes.data(), bytes.size());
  if (!s.empty()) s.pop_back();
  return s;
}

class FakeTransferSide : public TransferHost, public DeviceLink, public ImageHost, public LogSink {
 public:
  // ---- what the test sets ----
  uint64_t now = 5'000'000;  // virtual milliseconds
  LocalTime clock{2024, 3, 9, 8, 7, 6};
  uint8_t addressBox = 1;
  std::set<int> failingSends;  // indices (0-based, counting every send) that fail
  std::vector<uint8_t> image;  // the main window's configuration image
  Bytes imageAfterGather;      // when set, gatherCurrentPage makes it the image
  bool gatherSetsImage = false;
  TransferEngine* engine = nullptr;
  uint64_t progressCostMs = 0;  // virtual time each progress update takes

  // ---- what the engine did ----
  std::vector<std::string> trace;  // "wait 50", "send ..", "log ..", "box ..", "state ..", ...
  std::vector<Bytes> sent;
  std::vector<std::string> logs, boxes, states;
  std::vector<int> progress;  // every position set; -1 marks a reset
  std::vector<Bytes> loaded;  // every loadImage call
  int gathers = 0;
  bool readEnabled = false, writeEnabled = false;
  std::string linkText;
  std::string addressText, addressMessage;
  std::map<int, uint64_t> timers;  // running timer id -> next expiry
  std::map<int, int> periods;

  // Moves the virtual clock, firing every timer that falls due on the way.
  void advance(uint64_t ms) {
    const uint64_t target = now + ms;
    for (;;) {
      int due = 0;
      uint64_t at = target + 1;
      for (const auto& [id, expiry] : timers)
        if (expiry <= target && expiry < at) due = id, at = expiry;
      if (due == 0) break;
      now = at;
      timers[due] = at + static_cast<uint64_t>(periods[due]);  // periodic until stopped
      trace.push_back("fire " + std::to_string(due));
      engine->onTimer(due);
    }
    now = target;
  }

  // Feeds bytes into the engine, gapMs apart (the first one gapMs after now).
  void feed(const Bytes& bytes, uint64_t gapMs = 1) {
    for (uint8_t b : bytes) {
      now += gapMs;
      engine->receiveByte(b);
    }
  }

  bool timerRunning(int id) const { return timers.count(id) != 0; }

  // TransferHost
  uint64_t tickMs() override { return now; }
  LocalTime localTime() override { return clock; }
  void sleepMs(int ms) override {
    trace.push_back("wait " + std::to_string(ms));
    now += static_cast<uint64_t>(ms);
  }
  void startTimer(int id, int ms) override {
    trace.push_back("start " + std::to_string(id));
    timers[id] = now + static_cast<uint64_t>(ms);
    periods[id] = ms;
  }
  void stopTimer(int id) override {
    trace.push_back("stop " + std::to_string(id));
    timers.erase(id);
  }
  void messageBox(const std::string& text) override {
    trace.push_back("box " + text);
    boxes.push_back(text);
  }
  void setStateText(const std::string& text) override {
    trace.push_back("state " + text);
    states.push_back(text);
  }
  void setLinkStatusText(const std::string& text) override { linkText = text; }
  void setProgress(int percent) override {
    progress.push_back(percent);
    now += progressCostMs;  // painting takes time on a real screen
  }
  void resetProgress() override { progress.push_back(-1); }
  void setButtonsEnabled(bool r, bool w) override { readEnabled = r, writeEnabled = w; }

  // DeviceLink
  bool sendBytes(const uint8_t* data, int32_t length) override {
    const bool ok = failingSends.count(sendAttempts++) == 0;
    Bytes b(data, data + length);
    trace.push_back(std::string(ok ? "send " : "send-failed ") + hex(b));
    if (ok) sent.push_back(b);
    return ok;
  }
  uint8_t addressBoxValue() const override { return addressBox; }
  void showAddressReport(const std::string& a, const std::string& m) override {
    addressText = a;
    addressMessage = m;
  }

  // ImageHost
  void loadImage(const uint8_t* data, int32_t length) override {
    loaded.emplace_back(length > 0 ? Bytes(data, data + length) : Bytes{});
    image = loaded.back();
  }
  bool gatherCurrentPage() override {
    ++gathers;
    if (gatherSetsImage) image = imageAfterGather;
    return true;
  }
  const std::vector<uint8_t>& configImage() const override { return image; }
  void logMessage(const std::string& text) override {
    trace.push_back("log " + text);
    logs.push_back(text);
  }

  void clearRecords() {
    trace.clear(), sent.clear(), logs.clear(), boxes.clear(), states.clear(), progress.clear();
  }

  int sendAttempts = 0;  // failed ones included
};

// A data response from the device: address 69 K Ph Pl Th Tl data CRC.
inline Bytes dataResponse(uint8_t address, int packet, int total, const Bytes& data) {
  Bytes f(7 + data.size() + 2);
  f[0] = address;
  f[1] = kFunctionRead;
  f[2] = static_cast<uint8_t>(data.size() + 4);
  f[3] = static_cast<uint8_t>(packet >> 8);
  f[4] = static_cast<uint8_t>(packet);
  f[5] = static_cast<uint8_t>(total >> 8);
  f[6] = static_cast<uint8_t>(total);
  std::copy(data.begin(), data.end(), f.begin() + 7);
  const uint16_t crc = crc16(f.data(), static_cast<uint16_t>(7 + data.size()));
  f[7 + data.size()] = static_cast<uint8_t>(crc);
  f[8 + data.size()] = static_cast<uint8_t>(crc >> 8);
  return f;
}

// A write acknowledgement: address 6C 00 32 Ph Pl CRC.
inline Bytes writeAck(uint8_t address, int packet) {
  Bytes f{address, kFunctionWrite, 0x00, 0x32, static_cast<uint8_t>(packet >> 8), static_cast<uint8_t>(packet)};
  const uint16_t crc = crc16(f.data(), 6);
  f.push_back(static_cast<uint8_t>(crc));
  f.push_back(static_cast<uint8_t>(crc >> 8));
  return f;
}

inline Bytes slice(const Bytes& b, size_t from, size_t count) {
  return Bytes(b.begin() + static_cast<long>(from), b.begin() + static_cast<long>(std::min(b.size(), from + count)));
}

// count bytes of a recognisable pattern (unit-like, not all zero).
inline Bytes patternBytes(size_t count, uint8_t seed = 1) {
  Bytes b(count);
  for (size_t i = 0; i < count; ++i) b[i] = static_cast<uint8_t>(seed + i * 7);
  return b;
}

}  // namespace velmora::testing
