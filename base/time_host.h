// Time as the logic sees it: a monotonic tick, the wall clock for log
// stamps, a blocking pause, and numbered periodic timers. The window and
// velmora-cli supply real time; tests a virtual clock they advance.
#pragma once

#include <cstdint>

#include "base/clock.h"
#include "base/text.h"

namespace velmora {

class TimeHost {
 public:
  virtual ~TimeHost() = default;
  // Monotonic milliseconds; only differences matter, but never 0 in practice.
  virtual uint64_t tickMs() = 0;
  virtual LocalTime localTime() = 0;
  // Blocks the caller for ms milliseconds.
  virtual void sleepMs(int ms) = 0;
  // The same tick and pause in microseconds, for the pacing between frames:
  // whole milliseconds would add half a millisecond to every exchange on
  // average. A host with only milliseconds keeps these defaults.
  virtual uint64_t tickUs() { return tickMs() * 1000; }
  virtual void sleepUs(int64_t us) { sleepMs(static_cast<int>((us + 999) / 1000)); }
  // (Re)starts the periodic timer id; whoever started it is told each time
  // it fires, until stopTimer(id).
  virtual void startTimer(int id, int ms) = 0;
  virtual void stopTimer(int id) = 0;
};

// The real clock for a host built on TimeHost: the steady clock, local time
// and nanosleep. The timers stay the host's own (they need an event loop).
template <typename Host>
class SteadyTime : public Host {
 public:
  uint64_t tickMs() override { return steadyMs(); }
  uint64_t tickUs() override { return steadyUs(); }
  LocalTime localTime() override { return localTimeNow(); }
  void sleepMs(int ms) override { pauseUs(int64_t{ms} * 1000); }
  void sleepUs(int64_t us) override { pauseUs(us); }
};

}  // namespace velmora
