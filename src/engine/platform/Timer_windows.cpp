#include "engine/platform/Timer.h"

#include <windows.h>

// After windows.h, whose types it uses.
#include <timeapi.h>

bool ReadRawCounter(int64_t& Ticks) {
  LARGE_INTEGER Counter;
  if (!QueryPerformanceCounter(&Counter)) return false;
  Ticks = Counter.QuadPart;
  return true;
}

int64_t RawCounterFrequency() {
  LARGE_INTEGER Frequency;
  return QueryPerformanceFrequency(&Frequency) ? Frequency.QuadPart : 0;
}

// From the performance counter: monotonic, precise to the millisecond and, unlike timeGetTime, never
// wraps. The tick count (with the system tick's granularity) serves where there is no counter.
int64_t GetMilliseconds() {
  static const int64_t Frequency = RawCounterFrequency();
  int64_t Ticks;
  if (Frequency <= 0 || !ReadRawCounter(Ticks)) return int64_t(GetTickCount64());
  return Ticks / Frequency * 1000 + Ticks % Frequency * 1000 / Frequency;
}

// Makes Sleep(1) sleep about a millisecond instead of a whole system tick (up to 15.6 ms).
void TimerResolutionBegin() { timeBeginPeriod(1); }
void TimerResolutionEnd() { timeEndPeriod(1); }

void SleepMilliseconds(int32_t Milliseconds) {
  if (Milliseconds > 0) Sleep(DWORD(Milliseconds));
}
