#include "engine/platform/Timer.h"

#include <cerrno>
#include <ctime>

int64_t HighResTimerFrequency = 0;
int32_t HighResTimerFrequencyShift = 0;
bool HighResTimerInited = false;

namespace {

// The raw high-resolution counter: nanoseconds of the monotonic clock.
constexpr int64_t RawCounterFrequency = 1000000000;

bool ReadRawCounter(int64_t& Ticks) {
  timespec Now;
  if (clock_gettime(CLOCK_MONOTONIC, &Now) != 0) return false;
  Ticks = int64_t(Now.tv_sec) * RawCounterFrequency + Now.tv_nsec;
  return true;
}

}  // namespace

int64_t GetMilliseconds() {
  timespec Now{};
  clock_gettime(CLOCK_MONOTONIC, &Now);
  return int64_t(Now.tv_sec) * 1000 + Now.tv_nsec / 1000000;
}

int32_t ReduceHighResFrequency(int64_t& Frequency) {
  // Keeps tick counts small enough that Time * 1000 stays far from overflow.
  int32_t Shift = 0;
  while ((uint64_t(Frequency) >> 29) != 0) {
    Frequency = int64_t(uint64_t(Frequency) >> 1);
    ++Shift;
  }
  return Shift;
}

void HighResTimerInit() {
  if (HighResTimerInited) return;
  int64_t Probe;
  int64_t Frequency = ReadRawCounter(Probe) ? RawCounterFrequency : 1000;
  HighResTimerFrequencyShift = ReduceHighResFrequency(Frequency);
  HighResTimerFrequency = Frequency;
  HighResTimerInited = true;
}

THighResTime HighResTimerGetTime() {
  int64_t Ticks;
  if (!ReadRawCounter(Ticks)) Ticks = GetMilliseconds();
  return THighResTime(uint64_t(Ticks) >> HighResTimerFrequencyShift);
}

int64_t HighResTicksToMilliseconds(THighResTime Time, int64_t Frequency) {
  if (Frequency == 1000 || Frequency <= 0) return Time;
  return (Time * 1000 + Frequency / 2) / Frequency;
}

int64_t HighResTimeToMilliseconds(THighResTime Time) {
  return HighResTicksToMilliseconds(Time, HighResTimerFrequency);
}

void SleepMilliseconds(int32_t Milliseconds) {
  if (Milliseconds <= 0) return;
  timespec Remaining{Milliseconds / 1000, long(Milliseconds % 1000) * 1000000};
  while (nanosleep(&Remaining, &Remaining) != 0 && errno == EINTR) {
  }
}
