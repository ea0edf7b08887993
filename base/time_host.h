// Time as the logic sees it: a monotonic tick, the wall clock for log
// stamps, a blocking pause, and numbered periodic timers. The window and
// velmora-cli supply real time; tests a virtual clock they advance.
#pragma once

#include <cstdint>

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
  // (Re)starts the periodic timer id; whoever started it is told each time
  // it fires, until stopTimer(id).
  virtual void startTimer(int id, int ms) = 0;
  virtual void stopTimer(int id) = 0;
};

}  // namespace velmora
