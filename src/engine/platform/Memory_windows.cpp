#include "engine/platform/Memory.h"

#include <windows.h>

#include <atomic>
#include <cstring>

int64_t DefaultHashMegabytes() { return 1024; }

// 64-bit Windows gives a process 128 TiB of address space.
int64_t MaxHashMegabytes() { return int64_t(1) << 27; }

uint64_t PhysicalMemoryBytes() {
  MEMORYSTATUSEX Status;
  Status.dwLength = sizeof Status;
  return GlobalMemoryStatusEx(&Status) ? uint64_t(Status.ullTotalPhys) : 0;
}

// Committed pages are demand-zero: a read brings each in, and leaves what the block holds alone. Atomic,
// since a search may write the block meanwhile.
void PopulateLarge(void* P, size_t Length, const std::atomic<bool>& Stop) {
  char* Bytes = static_cast<char*>(P);
  for (size_t Offset = 0; Offset < Length; Offset += 4096) {
    if (Offset % (size_t(8) << 20) == 0 && Stop.load(std::memory_order_relaxed)) return;
    (void)__atomic_load_n(Bytes + Offset, __ATOMIC_RELAXED);
  }
}

void* AllocLargeZeroed(size_t Size) {
  if (Size == 0) Size = 1;
  if (Size > SIZE_MAX / 2) return nullptr;
  // Committed pages start zero-filled, aligned to the 64 KiB allocation granularity.
  void* P = VirtualAlloc(nullptr, Size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
  return P;
}

void FreeLarge(void* P) {
  if (P == nullptr) return;
  StopPopulate();
  VirtualFree(P, 0, MEM_RELEASE);
}

void ZeroLarge(void* P, size_t Size) {
  if (P == nullptr || Size == 0) return;
  StopPopulate();
  std::memset(P, 0, Size);
}
