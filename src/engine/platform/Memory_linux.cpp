#include "engine/platform/Memory.h"

#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace {

constexpr size_t HugePageSize = size_t(2) << 20;

// One page in front of every large block records how it was obtained.
enum class TLargeKind : uint64_t { Mapped = 1, Heap = 2 };

struct TLargeHeader {
  TLargeKind Kind;
  void* Base;     // start of what has to be released
  size_t Length;  // bytes mapped from Base (header page included)
};

size_t PageSize() {
  static const size_t Size = [] {
    long Value = sysconf(_SC_PAGESIZE);
    return Value > 0 ? size_t(Value) : size_t(4096);
  }();
  return Size;
}

uintptr_t RoundUp(uintptr_t X, size_t To) { return (X + To - 1) & ~uintptr_t(To - 1); }

TLargeHeader* HeaderOf(void* P) { return reinterpret_cast<TLargeHeader*>(static_cast<char*>(P) - PageSize()); }

}  // namespace

int64_t DefaultHashMegabytes() { return 1024; }

// x86-64 gives a process 128 TiB of address space.
int64_t MaxHashMegabytes() { return int64_t(1) << 27; }

uint64_t PhysicalMemoryBytes() {
  const long Pages = sysconf(_SC_PHYS_PAGES);
  return Pages > 0 ? uint64_t(Pages) * PageSize() : 0;
}

void PopulateLarge(void* P, size_t Length, const std::atomic<bool>& Stop) {
#ifndef MADV_POPULATE_WRITE
#define MADV_POPULATE_WRITE 23
#endif
  // In pieces: the kernel holds the address-space lock while it faults a piece in, and the rest of
  // start-up (thread stacks, allocations) needs that lock too.
  constexpr size_t Piece = HugePageSize * 4;
  char* Bytes = static_cast<char*>(P);
  for (size_t Offset = 0; Offset < Length && !Stop.load(std::memory_order_relaxed); Offset += Piece) {
    const size_t Size = Length - Offset < Piece ? Length - Offset : Piece;
    if (madvise(Bytes + Offset, Size, MADV_POPULATE_WRITE) == 0) continue;
    // Older kernels: a write fault per page that leaves the byte as it is, even if the block is in use.
    for (size_t Page = 0; Page < Size; Page += 4096)
      __atomic_fetch_or(Bytes + Offset + Page, char(0), __ATOMIC_RELAXED);
  }
}

void* AllocLargeZeroed(size_t Size) {
  const size_t Page = PageSize();
  if (Size == 0) Size = 1;
  if (Size > SIZE_MAX / 2) return nullptr;
  const size_t Body = RoundUp(Size, Page);

  // Over-map by a huge page so that the block can start on a huge-page boundary; the header page
  // goes just below it and everything else is handed back.
  const size_t MapLength = Body + HugePageSize;
  void* Map = mmap(nullptr, MapLength, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (Map != MAP_FAILED) {
    const uintptr_t MapStart = uintptr_t(Map);
    const uintptr_t Block = RoundUp(MapStart + Page, HugePageSize);
    const uintptr_t Head = Block - Page;
    const uintptr_t End = Block + Body;
    if (Head > MapStart) munmap(Map, Head - MapStart);
    if (MapStart + MapLength > End) munmap(reinterpret_cast<void*>(End), MapStart + MapLength - End);
    madvise(reinterpret_cast<void*>(Block), Body, MADV_HUGEPAGE);  // a hint only
    auto* Header = reinterpret_cast<TLargeHeader*>(Head);
    *Header = {TLargeKind::Mapped, Header, Page + Body};
    return reinterpret_cast<void*>(Block);
  }

  char* Raw = static_cast<char*>(std::aligned_alloc(Page, Page + Body));
  if (Raw == nullptr) return nullptr;
  std::memset(Raw, 0, Page + Body);
  *reinterpret_cast<TLargeHeader*>(Raw) = {TLargeKind::Heap, Raw, Page + Body};
  return Raw + Page;
}

void FreeLarge(void* P) {
  if (P == nullptr) return;
  StopPopulate();
  const TLargeHeader Header = *HeaderOf(P);
  if (Header.Kind == TLargeKind::Mapped) munmap(Header.Base, Header.Length);
  else std::free(Header.Base);
}

void ZeroLarge(void* P, size_t Size) {
  if (P == nullptr || Size == 0) return;
  StopPopulate();
  const TLargeHeader* Header = HeaderOf(P);
  if (Header->Kind == TLargeKind::Mapped) {
    // Dropped private anonymous pages come back zero-filled on the next touch; a partial last page
    // may hold bytes beyond Size, so it is cleared by hand.
    const size_t WholePages = Size & ~(PageSize() - 1);
    if (WholePages > 0 && madvise(P, WholePages, MADV_DONTNEED) == 0) {
      std::memset(static_cast<char*>(P) + WholePages, 0, Size - WholePages);
      return;
    }
  }
  std::memset(P, 0, Size);
}
