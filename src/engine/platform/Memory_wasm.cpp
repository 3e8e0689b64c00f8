// The browser's memory: one fixed WebAssembly memory, shared by every thread, from which the tables are
// taken like any other allocation. Its size is set at link time (CMakeLists.txt, TALVARIND_WASM_MEMORY).
#include <emscripten/heap.h>

#include <atomic>
#include <cstdlib>
#include <cstring>

#include "engine/platform/Memory.h"

// A tab shares the machine with everything else the person has open.
int64_t DefaultHashMegabytes() { return 64; }

// Half of the fixed memory: the rest holds the threads' stacks and the pawn table.
int64_t MaxHashMegabytes() { return int64_t(emscripten_get_heap_size() >> 21); }

uint64_t PhysicalMemoryBytes() { return uint64_t(emscripten_get_heap_size()); }

// The memory is there from the start: nothing to fault in.
void PopulateLarge(void*, size_t, const std::atomic<bool>&) {}

void* AllocLargeZeroed(size_t Size) {
  constexpr size_t Page = 64 << 10;
  if (Size == 0) Size = 1;
  if (Size > SIZE_MAX / 2) return nullptr;
  const size_t Body = (Size + Page - 1) & ~(Page - 1);
  void* P = std::aligned_alloc(Page, Body);
  if (P != nullptr) std::memset(P, 0, Body);
  return P;
}

void FreeLarge(void* P) {
  if (P == nullptr) return;
  StopPopulate();
  std::free(P);
}

void ZeroLarge(void* P, size_t Size) {
  if (P == nullptr || Size == 0) return;
  StopPopulate();
  std::memset(P, 0, Size);
}
