// Zero-filled aligned memory, and large zero-filled blocks for the hash tables.  The large blocks come
// from the system's page allocator (Memory_linux.cpp, Memory_windows.cpp); the rest is portable.
#pragma once

#include <cstddef>
#include <cstdint>

uint64_t RoundUpToPowerOfTwo(uint64_t X);
// P receives an Align-aligned, zero-filled block of Size bytes, or nullptr when memory is exhausted.
void GetMemAligned(void*& P, int64_t Size, int32_t Align);
void FreeMemAligned(void* P);

// The transposition table's size in MiB when nobody asks for another, and the most this system can address.
int64_t DefaultHashMegabytes();
int64_t MaxHashMegabytes();
// The machine's memory in bytes; 0 when the system does not say.
uint64_t PhysicalMemoryBytes();

// Page-aligned and zero-filled; nullptr when the memory cannot be had.  On Linux huge pages where the
// kernel allows.  Its pages are faulted in on first touch, or ahead of it by PopulateLarge.
void* AllocLargeZeroed(size_t Size);
// Stops a background fault-in of the block first: an interface that quits the engine must not wait for it.
void FreeLarge(void* P);
// Makes the first Size bytes of a block from AllocLargeZeroed zero again, cheaply where the system can
// drop the pages (which are then faulted in afresh on touch). Stops a background fault-in first.
void ZeroLarge(void* P, size_t Size);

// Faults the pages of a block from AllocLargeZeroed in on a thread of its own, so that the search never
// pays for a first touch (on virtual machines a fault costs far more than the memory it brings) and
// start-up need not wait for a gigabyte of faults. The contents stay as they are: the block may be used
// meanwhile. One fault-in at a time; a second call waits for the first.
void PopulateLargeInBackground(void* P, size_t Size);
// Returns once a fault-in started by PopulateLargeInBackground has finished (at once when none runs).
void WaitForPopulate();
// Ends a running fault-in early (within one piece of a few megabytes) and returns once it has ended.
void StopPopulate();
