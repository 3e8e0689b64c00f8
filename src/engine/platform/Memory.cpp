#include "engine/platform/Memory.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <thread>

// The system side of the fault-in, in Memory_linux.cpp and Memory_windows.cpp; it gives up between pieces
// once Stop is set.
void PopulateLarge(void* P, size_t Size, const std::atomic<bool>& Stop);

namespace {

// Only the front end's thread starts and waits for fault-ins. Never destroyed: a program may end without
// waiting for the last one.
std::thread& Populating() {
  static std::thread* const Thread = new std::thread();
  return *Thread;
}

std::atomic<bool> PopulateStop{false};

}  // namespace

void PopulateLargeInBackground(void* P, size_t Size) {
  WaitForPopulate();
  if (P == nullptr || Size == 0) return;
  PopulateStop.store(false, std::memory_order_relaxed);
  Populating() = std::thread([P, Size] { PopulateLarge(P, Size, PopulateStop); });
}

void StopPopulate() {
  PopulateStop.store(true, std::memory_order_relaxed);
  WaitForPopulate();
}

void WaitForPopulate() {
  if (Populating().joinable()) Populating().join();
}

uint64_t RoundUpToPowerOfTwo(uint64_t X) {
  X--;
  X |= X >> 1;
  X |= X >> 2;
  X |= X >> 4;
  X |= X >> 8;
  X |= X >> 16;
  X |= X >> 32;
  return X + 1;
}

void GetMemAligned(void*& P, int64_t Size, int32_t Align) {
  P = nullptr;
  if (Size < 0) return;
  uint64_t Alignment = Align > 1 ? uint64_t(Align) : 1;
  if ((Alignment & (Alignment - 1)) != 0) Alignment = RoundUpToPowerOfTwo(Alignment);
  const uint64_t Overhead = 2 * Alignment + 8;
  if (uint64_t(Size) > uint64_t(INT64_MAX) - Overhead) return;

  char* Allocation = static_cast<char*>(std::calloc(1, size_t(uint64_t(Size) + Overhead)));
  if (Allocation == nullptr) return;
  // The allocation's own address sits in the 8 bytes just before the aligned start.
  uintptr_t Start = uintptr_t(Allocation) + 8;
  if (Alignment > 1 && (Start & (Alignment - 1)) != 0) Start += Alignment - (Start & (Alignment - 1));
  std::memcpy(reinterpret_cast<void*>(Start - 8), &Allocation, sizeof(Allocation));
  P = reinterpret_cast<void*>(Start);
}

void FreeMemAligned(void* P) {
  if (P == nullptr) return;
  void* Allocation;
  std::memcpy(&Allocation, static_cast<char*>(P) - 8, sizeof(Allocation));
  std::free(Allocation);
}
