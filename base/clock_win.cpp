// The clocks on Windows: QueryPerformanceCounter for the steady tick,
// GetLocalTime for the stamps, and a pause that sleeps on a waitable timer
// and spins its last stretch.
#include <windows.h>

#include <timeapi.h>

#include "base/clock.h"

namespace velmora {

namespace {

int64_t counterFrequency() {
  static const int64_t frequency = [] {
    LARGE_INTEGER f{};
    QueryPerformanceFrequency(&f);
    return f.QuadPart > 0 ? f.QuadPart : 1;
  }();
  return frequency;
}

uint64_t counterTo(int64_t perSecond) {
  LARGE_INTEGER now{};
  QueryPerformanceCounter(&now);
  const int64_t f = counterFrequency();
  // Whole seconds and the rest apart: count * 1e6 overflows after days.
  const int64_t seconds = now.QuadPart / f;
  const int64_t rest = now.QuadPart % f;
  return static_cast<uint64_t>(seconds * perSecond + rest * perSecond / f);
}

// A thread's high-resolution waitable timer (Windows 10 1803 and later);
// elsewhere a plain one with the system's timer period raised to 1 ms.
HANDLE pauseTimer() {
  thread_local HANDLE timer = [] {
#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif
    HANDLE t = CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION, TIMER_ALL_ACCESS);
    if (t == nullptr) {
      static const bool raised = timeBeginPeriod(1) == TIMERR_NOERROR;
      (void)raised;
      t = CreateWaitableTimerExW(nullptr, nullptr, 0, TIMER_ALL_ACCESS);
    }
    return t;
  }();
  return timer;
}

}  // namespace

uint64_t steadyMs() { return counterTo(1000); }

uint64_t steadyUs() { return counterTo(1000000); }

void pauseUs(int64_t us) {
  if (us <= 0) return;
  const uint64_t until = steadyUs() + static_cast<uint64_t>(us);
  // A timer wakes up to a millisecond late, and every paced frame would
  // carry that: sleep to 1.5 ms short of the end, spin the rest.
  constexpr int64_t kSpinUs = 1500;
  if (us > kSpinUs) {
    HANDLE timer = pauseTimer();
    LARGE_INTEGER due{};
    due.QuadPart = -(us - kSpinUs) * 10;  // relative, in 100 ns units
    if (timer != nullptr && SetWaitableTimer(timer, &due, 0, nullptr, nullptr, FALSE)) {
      WaitForSingleObject(timer, INFINITE);
    } else {
      Sleep(static_cast<DWORD>((us - kSpinUs) / 1000));
    }
  }
  while (steadyUs() < until) {
  }
}

LocalTime localTimeNow() {
  SYSTEMTIME t{};
  GetLocalTime(&t);
  return LocalTime{t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond};
}

}  // namespace velmora
