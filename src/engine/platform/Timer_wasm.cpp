// The browser's clocks: emscripten's performance.now() in microsecond ticks, and sleeps on a pthread.
#include <emscripten.h>
#include <emscripten/threading.h>

#include "engine/platform/Timer.h"

namespace {

constexpr int64_t MicrosecondsPerSecond = 1000000;

}  // namespace

bool ReadRawCounter(int64_t& Ticks) {
  Ticks = int64_t(emscripten_get_now() * 1000.0);
  return true;
}

int64_t RawCounterFrequency() { return MicrosecondsPerSecond; }

int64_t GetMilliseconds() { return int64_t(emscripten_get_now()); }

void TimerResolutionBegin() {}
void TimerResolutionEnd() {}

void SleepMilliseconds(int32_t Milliseconds) {
  if (Milliseconds > 0) emscripten_thread_sleep(double(Milliseconds));
}
