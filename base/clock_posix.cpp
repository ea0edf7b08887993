#include "base/clock.h"

#include <sys/prctl.h>

#include <chrono>
#include <ctime>
#include <thread>

namespace velmora {

uint64_t steadyMs() {
  using namespace std::chrono;
  return static_cast<uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

uint64_t steadyUs() {
  using namespace std::chrono;
  return static_cast<uint64_t>(duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count());
}

void pauseUs(int64_t us) {
  if (us <= 0) return;
  using namespace std::chrono;
  const auto until = steady_clock::now() + microseconds(us);
  // A sleeping thread wakes 60-250 µs late on a busy machine, and every
  // paced frame would carry that. So the pause sleeps to just short of its
  // end and spins the rest: a fraction of a millisecond of CPU per frame.
  constexpr auto kSpin = microseconds(300);
  if (us > kSpin.count()) {
    // The thread's default timer slack (50 µs) would be added to the sleep.
    const int slack = ::prctl(PR_GET_TIMERSLACK, 0, 0, 0, 0);
    if (slack > 1) ::prctl(PR_SET_TIMERSLACK, 1UL, 0, 0, 0);
    std::this_thread::sleep_until(until - kSpin);
    if (slack > 1) ::prctl(PR_SET_TIMERSLACK, static_cast<unsigned long>(slack), 0, 0, 0);
  }
  while (steady_clock::now() < until) {
  }
}

LocalTime localTimeNow() {
  const std::time_t now = std::time(nullptr);
  std::tm parts{};
  // Called from the UI thread only; the shared buffer of localtime is copied at once.
  if (const std::tm* t = std::localtime(&now)) parts = *t;
  return LocalTime{parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec};
}

}  // namespace velmora
