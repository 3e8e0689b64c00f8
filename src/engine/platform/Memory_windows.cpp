#include "engine/platform/Memory.h"

#include <windows.h>

#include <cstring>

namespace {

// Every page is touched now, so that the search never pays for a first touch.
void Populate(void* P, size_t Length) {
  volatile char* Bytes = static_cast<volatile char*>(P);
  for (size_t Offset = 0; Offset < Length; Offset += 4096) Bytes[Offset] = 0;
}

}  // namespace

void* AllocLargeZeroed(size_t Size) {
  if (Size == 0) Size = 1;
  if (Size > SIZE_MAX / 2) return nullptr;
  // Committed pages start zero-filled, aligned to the 64 KiB allocation granularity.
  void* P = VirtualAlloc(nullptr, Size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
  if (P == nullptr) return nullptr;
  Populate(P, Size);
  return P;
}

void FreeLarge(void* P, size_t Size) {
  if (P != nullptr) VirtualFree(P, 0, MEM_RELEASE);
}

void ZeroLarge(void* P, size_t Size) {
  if (P != nullptr && Size > 0) std::memset(P, 0, Size);
}
