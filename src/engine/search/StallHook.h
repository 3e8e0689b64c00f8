// Places where a test can hold a search thread, as the operating system may deschedule it on a busy
// machine.  Only test builds (TALVARIND_TEST_HOOKS) have them; elsewhere they compile to nothing.  Included
// only by the files that carry the places, all of which a test build compiles with the hooks.
#pragma once

#include <atomic>
#include <cstdint>

enum class TStallPlace : int32_t {
  Node,       // a search thread's batched stop check, in the middle of its search
  SplitWork,  // a slave that has just joined a split point, before its first move there
  SplitLock,  // a thread at a split point holding the lock of its shared move list
};

// Called on the search thread at each place; returns when the thread may go on.
using TStallHook = void (*)(int32_t ThreadIndex, TStallPlace Place);

#ifdef TALVARIND_TEST_HOOKS
extern std::atomic<TStallHook> StallHook;
inline void StallPoint(int32_t ThreadIndex, TStallPlace Place) {
  if (const TStallHook Hook = StallHook.load(std::memory_order_acquire)) Hook(ThreadIndex, Place);
}
#else
inline void StallPoint(int32_t, TStallPlace) {}
#endif
