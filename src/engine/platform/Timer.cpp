#include "engine/platform/Timer.h"

int64_t HighResTimerFrequency = 0;
int32_t HighResTimerFrequencyShift = 0;
bool HighResTimerInited = false;

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
  int64_t Frequency = RawCounterFrequency();
  if (Frequency <= 0) Frequency = 1000;
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

int64_t HighResTimeToMilliseconds(THighResTime Time) { return HighResTicksToMilliseconds(Time, HighResTimerFrequency); }
