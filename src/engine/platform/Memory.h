// Zero-filled aligned memory, and large zero-filled blocks that the kernel may back with huge pages.
#pragma once

#include <cstddef>
#include <cstdint>

uint64_t RoundUpToPowerOfTwo(uint64_t X);
// P receives an Align-aligned, zero-filled block of Size bytes, or nullptr when memory is exhausted.
void GetMemAligned(void*& P, int64_t Size, int32_t Align);
void FreeMemAligned(void* P);

// Page-aligned, zero-filled; nullptr when the memory cannot be had.  Huge pages where the kernel allows.
void* AllocLargeZeroed(size_t Size);
void FreeLarge(void* P, size_t Size);
// Makes a block from AllocLargeZeroed all zero again, cheaply where the kernel can drop the pages.
void ZeroLarge(void* P, size_t Size);
