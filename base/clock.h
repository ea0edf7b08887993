// The clocks the program runs on: a monotonic millisecond tick for gaps and
// time-outs, and the local wall-clock time that stamps log lines.
#pragma once

#include <cstdint>

#include "base/text.h"

namespace velmora {

// Milliseconds of a steady clock; only differences mean anything.
uint64_t steadyMs();

// The local date and time now.
LocalTime localTimeNow();

}  // namespace velmora
