#include "engine/platform/Sync.h"

#include <sched.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <new>

// An auto-reset event: the flag stays set until one wait consumes it.
struct TSimpleSemaphoreCell {
  std::mutex Mutex;
  std::condition_variable Condition;
  bool Signalled = false;
};

TSimpleSemaphore SimpleSemaphoreCreate() { return new (std::nothrow) TSimpleSemaphoreCell; }

void SimpleSemaphoreDestroy(TSimpleSemaphore& Semaphore) {
  if (Semaphore == nullptr) return;
  delete Semaphore;
  Semaphore = nullptr;
}

void SimpleSemaphoreWait(TSimpleSemaphore Semaphore) {
  if (Semaphore == nullptr) return;
  std::unique_lock<std::mutex> Guard(Semaphore->Mutex);
  Semaphore->Condition.wait(Guard, [Semaphore] { return Semaphore->Signalled; });
  Semaphore->Signalled = false;
}

bool SimpleSemaphoreWaitFor(TSimpleSemaphore Semaphore, int32_t Milliseconds) {
  if (Semaphore == nullptr) return false;
  std::unique_lock<std::mutex> Guard(Semaphore->Mutex);
  if (!Semaphore->Condition.wait_for(Guard, std::chrono::milliseconds(Milliseconds),
                                     [Semaphore] { return Semaphore->Signalled; }))
    return false;
  Semaphore->Signalled = false;
  return true;
}

void YieldThread() { sched_yield(); }

void SimpleSemaphorePost(TSimpleSemaphore Semaphore) {
  if (Semaphore == nullptr) return;
  // Notified under the mutex: a woken waiter may destroy the cell as soon as the mutex is free.
  std::lock_guard<std::mutex> Guard(Semaphore->Mutex);
  Semaphore->Signalled = true;
  Semaphore->Condition.notify_one();
}
