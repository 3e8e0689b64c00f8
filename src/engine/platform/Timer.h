// Clocks: a monotonic millisecond clock and a high-resolution timer, over the system clocks of
// Timer_linux.cpp or Timer_windows.cpp.
#pragma once

#include <cstdint>

using THighResTime = int64_t;

extern int64_t HighResTimerFrequency;
extern int32_t HighResTimerFrequencyShift;
extern bool HighResTimerInited;

// Milliseconds of a monotonic clock; 64-bit, never wraps.
int64_t GetMilliseconds();
void HighResTimerInit();
// Reduces a raw counter frequency as HighResTimerInit does (exposed for tests): returns the shift.
int32_t ReduceHighResFrequency(int64_t& Frequency);
THighResTime HighResTimerGetTime();
int64_t HighResTimeToMilliseconds(THighResTime Time);
// The same conversion for a timer counting Frequency ticks per second.
int64_t HighResTicksToMilliseconds(THighResTime Time, int64_t Frequency);
void SleepMilliseconds(int32_t Milliseconds);

// Start-up and shut-down: a 1 ms system timer resolution, so that 1 ms sleeps last about 1 ms.
void TimerResolutionBegin();
void TimerResolutionEnd();

// The system's raw high-resolution counter and its ticks per second (0 where it has none).
bool ReadRawCounter(int64_t& Ticks);
int64_t RawCounterFrequency();
