#include "engine/platform/Threads.h"

#include <pthread.h>
#include <sched.h>
#include <unistd.h>

#include <cerrno>

namespace {

constexpr size_t MaxUsableProcessors = 32;
// Far above any kernel's processor limit; bounds the affinity-set sizes tried.
constexpr int MaxProcessorNumber = 1 << 16;

// Calls Use with the process's processor mask (the main thread's: a search thread's own may have been
// narrowed by pinning); false when the system would not tell.
template <typename TUse>
bool WithProcessMask(TUse Use) {
  // The set must be at least as large as the kernel's mask, so grow it until the call accepts it.
  for (int Count = CPU_SETSIZE; Count <= MaxProcessorNumber; Count *= 2) {
    cpu_set_t* Set = CPU_ALLOC(Count);
    if (Set == nullptr) return false;
    const size_t Bytes = CPU_ALLOC_SIZE(Count);
    CPU_ZERO_S(Bytes, Set);
    const int Result = sched_getaffinity(getpid(), Bytes, Set);
    const bool SetTooSmall = Result != 0 && errno == EINVAL;
    const bool Used = Result == 0 && Use(Set, Bytes, Count);
    CPU_FREE(Set);
    if (!SetTooSmall) return Used;
  }
  return false;
}

}  // namespace

std::vector<int32_t> UsableProcessors() {
  std::vector<int32_t> Processors;
  WithProcessMask([&](const cpu_set_t* Set, size_t Bytes, int Count) {
    for (int Processor = 0; Processor < Count && Processors.size() < MaxUsableProcessors; ++Processor)
      if (CPU_ISSET_S(Processor, Bytes, Set)) Processors.push_back(Processor);
    return true;
  });
  if (Processors.empty()) Processors.push_back(0);
  return Processors;
}

bool TThread::UnpinCurrentThread() {
  return WithProcessMask(
      [](const cpu_set_t* Set, size_t Bytes, int) { return pthread_setaffinity_np(pthread_self(), Bytes, Set) == 0; });
}

bool TThread::PinCurrentThread(int32_t Processor) {
  if (Processor < 0 || Processor >= MaxProcessorNumber) return false;
  cpu_set_t* Set = CPU_ALLOC(Processor + 1);
  if (Set == nullptr) return false;
  const size_t Bytes = CPU_ALLOC_SIZE(Processor + 1);
  CPU_ZERO_S(Bytes, Set);
  CPU_SET_S(Processor, Bytes, Set);
  const bool Pinned = pthread_setaffinity_np(pthread_self(), Bytes, Set) == 0;
  CPU_FREE(Set);
  return Pinned;
}
