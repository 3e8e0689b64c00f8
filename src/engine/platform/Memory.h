// Zero-filled aligned memory, and large zero-filled blocks for the hash tables.  The large blocks come
// from the system's page allocator (Memory_linux.cpp, Memory_windows.cpp); the rest is portable.
#pragma once

#include <cstddef>
#include <cstdint>

uint64_t RoundUpToPowerOfTwo(uint64_t X);
// P receives an Align-aligned, zero-filled block of Size bytes, or nullptr when memory is exhausted.
void GetMemAligned(void*& P, int64_t Size, int32_t Align);
void FreeMemAligned(void* P);

// Page-aligned, zero-filled and faulted in; nullptr when the memory cannot be had.  On Linux huge pages
// where the kernel allows.
void* AllocLargeZeroed(size_t Size);
void FreeLarge(void* P, size_t Size);
// Makes the first Size bytes of a block from AllocLargeZeroed zero again, cheaply where the system can
// drop the pages.
void ZeroLarge(void* P, size_t Size);
