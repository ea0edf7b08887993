// The clocks the program runs on: a monotonic millisecond tick for gaps and
// time-outs, and the local wall-clock time that stamps log lines.
#pragma once

#include <cstdint>

#include "base/text.h"

namespace velmora {

// Milliseconds and microseconds of a steady clock; only differences mean anything.
uint64_t steadyMs();
uint64_t steadyUs();
// Blocks the calling thread for us microseconds (nanosleep: precise to
// tens of microseconds, unlike a timer).
void pauseUs(int64_t us);

// The local date and time now.
LocalTime localTimeNow();

}  // namespace velmora
