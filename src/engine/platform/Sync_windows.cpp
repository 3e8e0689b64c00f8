#include "engine/platform/Sync.h"

#include <windows.h>

#include <new>

struct TSimpleSemaphoreCell {
  HANDLE Event;
};

TSimpleSemaphore SimpleSemaphoreCreate() {
  auto* Cell = new (std::nothrow) TSimpleSemaphoreCell;
  if (Cell == nullptr) return nullptr;
  // Auto-reset, not signalled, unnamed.
  Cell->Event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  if (Cell->Event == nullptr) {
    delete Cell;
    return nullptr;
  }
  return Cell;
}

void SimpleSemaphoreDestroy(TSimpleSemaphore& Semaphore) {
  if (Semaphore == nullptr) return;
  CloseHandle(Semaphore->Event);
  delete Semaphore;
  Semaphore = nullptr;
}

void SimpleSemaphoreWait(TSimpleSemaphore Semaphore) {
  if (Semaphore != nullptr) WaitForSingleObject(Semaphore->Event, INFINITE);
}

bool SimpleSemaphoreWaitFor(TSimpleSemaphore Semaphore, int32_t Milliseconds) {
  return Semaphore != nullptr && WaitForSingleObject(Semaphore->Event, DWORD(Milliseconds)) == WAIT_OBJECT_0;
}

void YieldThread() { SwitchToThread(); }

void SimpleSemaphorePost(TSimpleSemaphore Semaphore) {
  if (Semaphore != nullptr) SetEvent(Semaphore->Event);
}
