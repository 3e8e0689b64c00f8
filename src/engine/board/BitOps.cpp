#include "engine/board/BitOps.h"

#if defined(__x86_64__)
#include <cpuid.h>
#endif

#include "engine/platform/Timer.h"

bool CountBitsUsesPopcnt = false;
bool FindFirstOneBitUsesPopcnt = false;
bool PopFirstOneBitUsesPopcnt = false;

bool CpuHasPopcnt() {
#if defined(__x86_64__)
  unsigned A = 0, B = 0, C = 0, D = 0;
  if (!__get_cpuid(1, &A, &B, &C, &D)) return false;
  return (C >> 23) & 1;
#else
  return true;
#endif
}

namespace {

// Keeps the timed calls from being optimised away.
inline void Consume(uint64_t V) { asm volatile("" : : "r"(V)); }

inline uint64_t TimingArgument(uint32_t I) {
  uint64_t V = uint64_t(I) | (uint64_t(I) << 16);
  return V | (V << 32);
}

template <typename F>
THighResTime TimeLoop(uint32_t Last, F Body) {
  THighResTime Start = HighResTimerGetTime();
  for (uint32_t I = 1; I <= Last; I++) Body(TimingArgument(I));
  return HighResTimerGetTime() - Start;
}

}  // namespace

void InitCPU(bool ForceFallback) {
  CountBitsUsesPopcnt = FindFirstOneBitUsesPopcnt = PopFirstOneBitUsesPopcnt = false;
  if (ForceFallback || !CpuHasPopcnt()) return;
  HighResTimerInit();

  THighResTime Fast = TimeLoop(65535, [](uint64_t X) { Consume(CountBitsPopcnt(X)); });
  THighResTime Slow = TimeLoop(65535, [](uint64_t X) { Consume(CountBitsFallback(X)); });
  CountBitsUsesPopcnt = !(Fast > Slow);

  Fast = TimeLoop(16777215, [](uint64_t X) { Consume(FindFirstOneBitPopcnt(X)); });
  Slow = TimeLoop(16777215, [](uint64_t X) { Consume(FindFirstOneBitFallback(X)); });
  FindFirstOneBitUsesPopcnt = !(Fast > Slow);

  Fast = TimeLoop(16777215, [](uint64_t X) {
    uint64_t V = X;
    Consume(PopFirstOneBitPopcnt(V));
    Consume(V);
  });
  Slow = TimeLoop(16777215, [](uint64_t X) {
    uint64_t V = X;
    Consume(PopFirstOneBitFallback(V));
    Consume(V);
  });
  PopFirstOneBitUsesPopcnt = !(Fast > Slow);
}
