// Operating-system threads with a stack size, processor affinity and the usable-processor query.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

struct TThreadEntry;

// Logical processors this process may run on, lowest first.
std::vector<int32_t> UsableProcessors();

class TThread {
 public:
  TThread() = default;
  TThread(const TThread&) = delete;
  TThread& operator=(const TThread&) = delete;
  virtual ~TThread() {
    Terminate();
    WaitFor();
  }

  // Starts the body on a new thread with the given stack size; false if the system refused.
  bool Start(size_t StackSize);
  void Terminate() { TerminateFlag.store(true, std::memory_order_relaxed); }
  bool Terminated() const { return TerminateFlag.load(std::memory_order_relaxed); }
  void WaitFor();
  // Pins the calling thread to one processor; false where the system does not allow it.
  static bool PinCurrentThread(int32_t Processor);
  // Lets the calling thread run on every processor the process may use again.
  static bool UnpinCurrentThread();

 protected:
  virtual void Execute() = 0;

 private:
  // The system's thread start routine, one per platform, runs Execute.
  friend struct TThreadEntry;
  uintptr_t Handle = 0;  // pthread_t or HANDLE
  bool Started = false;
  std::atomic<bool> TerminateFlag{false};
};
