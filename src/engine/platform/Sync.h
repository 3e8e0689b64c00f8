// Synchronisation primitives of the parallel search.  The semaphore is the system's auto-reset event
// (Sync_windows.cpp) or its equivalent (Sync_linux.cpp); the locks and bits are plain atomics.
#pragma once

#include <atomic>
#include <cstdint>

// An auto-reset event: posts do not add up, one post releases one wait.  nullptr is accepted everywhere.
struct TSimpleSemaphoreCell;
using TSimpleSemaphore = TSimpleSemaphoreCell*;

TSimpleSemaphore SimpleSemaphoreCreate();
void SimpleSemaphoreDestroy(TSimpleSemaphore& Semaphore);
void SimpleSemaphoreWait(TSimpleSemaphore Semaphore);
// True when a post released the wait, false when Milliseconds passed first (or for nullptr).
bool SimpleSemaphoreWaitFor(TSimpleSemaphore Semaphore, int32_t Milliseconds);
void SimpleSemaphorePost(TSimpleSemaphore Semaphore);

// Gives the processor to another ready thread, if there is one.
void YieldThread();

// Spin lock word: 0 free, -1 held.
using TParallelLock = std::atomic<int32_t>;
using PParallelLock = TParallelLock*;

#if defined(__x86_64__)
inline void CpuRelax() { __builtin_ia32_pause(); }
#else
// WebAssembly has no pause: the spin simply goes round again.
inline void CpuRelax() {}
#endif

// A spin wait that has gone on this long is waiting for a thread that is not running (descheduled on an
// overloaded machine, or sharing the processor with the spinner): the spinner then yields, so that the
// thread it waits for can run.  A few microseconds to some tens, depending on the processor's pause.
constexpr int32_t SpinsBeforeYield = 1024;

// One pass of a spin wait; Spins counts the passes since the wait began.
inline void SpinPause(int32_t& Spins) {
  if (++Spins < SpinsBeforeYield) {
    CpuRelax();
    return;
  }
  Spins = 0;
  YieldThread();
}

inline void ParallelLock(PParallelLock Lock) {
  int32_t Spins = 0;
  for (;;) {
    int32_t Expected = 0;
    if (Lock->compare_exchange_strong(Expected, -1, std::memory_order_acquire, std::memory_order_relaxed)) return;
    while (Lock->load(std::memory_order_relaxed) != 0) SpinPause(Spins);
  }
}

inline void ParallelUnlock(PParallelLock Lock) { Lock->store(0, std::memory_order_release); }

inline void SetAtomicBit(std::atomic<uint64_t>* Where, int Bit) {
  Where->fetch_or(uint64_t(1) << Bit, std::memory_order_acq_rel);
}
inline void ResetAtomicBit(std::atomic<uint64_t>* Where, int Bit) {
  Where->fetch_and(~(uint64_t(1) << Bit), std::memory_order_acq_rel);
}
