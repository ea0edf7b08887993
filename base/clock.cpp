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
  // The thread's default timer slack (50 µs) would be added to every paced
  // frame; a pause asks for its length, no more.
  const int slack = ::prctl(PR_GET_TIMERSLACK, 0, 0, 0, 0);
  if (slack > 1) ::prctl(PR_SET_TIMERSLACK, 1UL, 0, 0, 0);
  std::this_thread::sleep_for(std::chrono::microseconds(us));
  if (slack > 1) ::prctl(PR_SET_TIMERSLACK, static_cast<unsigned long>(slack), 0, 0, 0);
}

LocalTime localTimeNow() {
  const std::time_t now = std::time(nullptr);
  std::tm parts{};
  // Called from the UI thread only; the shared buffer of localtime is copied at once.
  if (const std::tm* t = std::localtime(&now)) parts = *t;
  return LocalTime{parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec};
}

}  // namespace velmora
