#include "engine/platform/Timer.h"

#include <cerrno>
#include <ctime>

namespace {

// The raw high-resolution counter: nanoseconds of the monotonic clock.
constexpr int64_t NanosecondsPerSecond = 1000000000;

}  // namespace

bool ReadRawCounter(int64_t& Ticks) {
  timespec Now;
  if (clock_gettime(CLOCK_MONOTONIC, &Now) != 0) return false;
  Ticks = int64_t(Now.tv_sec) * NanosecondsPerSecond + Now.tv_nsec;
  return true;
}

int64_t RawCounterFrequency() {
  int64_t Probe;
  return ReadRawCounter(Probe) ? NanosecondsPerSecond : 0;
}

int64_t GetMilliseconds() {
  timespec Now{};
  clock_gettime(CLOCK_MONOTONIC, &Now);
  return int64_t(Now.tv_sec) * 1000 + Now.tv_nsec / 1000000;
}

// The kernel's timers are precise to well under a millisecond already.
void TimerResolutionBegin() {}
void TimerResolutionEnd() {}

void SleepMilliseconds(int32_t Milliseconds) {
  if (Milliseconds <= 0) return;
  timespec Remaining{Milliseconds / 1000, long(Milliseconds % 1000) * 1000000};
  while (nanosleep(&Remaining, &Remaining) != 0 && errno == EINTR) {
  }
}
