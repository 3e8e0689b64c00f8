#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "engine/platform/Memory.h"
#include "engine/platform/Timer.h"
#include "engine/platform/Version.h"
#include "support/TestState.h"

namespace {

bool AllZero(const void* P, size_t Size) {
  const auto* Bytes = static_cast<const unsigned char*>(P);
  // Every byte equals its successor and the first is zero.
  return Size == 0 || (Bytes[0] == 0 && std::memcmp(Bytes, Bytes + 1, Size - 1) == 0);
}

uintptr_t AllocationOf(void* P) {
  uintptr_t Allocation;
  std::memcpy(&Allocation, static_cast<char*>(P) - 8, sizeof(Allocation));
  return Allocation;
}

TEST(TimerTest, FrequencyIsHalvedUntilBelowTwoToThe29) {
  struct {
    int64_t Raw, Reduced;
    int32_t Shift;
  } const Cases[] = {
      {10000000, 10000000, 0},   {3000000000, 375000000, 3}, {536870911, 536870911, 0},
      {536870912, 268435456, 1}, {1000000000, 500000000, 1}, {1000, 1000, 0},
  };
  for (const auto& Case : Cases) {
    int64_t Frequency = Case.Raw;
    EXPECT_EQ(ReduceHighResFrequency(Frequency), Case.Shift) << Case.Raw;
    EXPECT_EQ(Frequency, Case.Reduced) << Case.Raw;
  }
}

TEST(TimerTest, TicksRoundToTheNearestMillisecond) {
  EXPECT_EQ(HighResTicksToMilliseconds(4999, 10000000), 0);
  EXPECT_EQ(HighResTicksToMilliseconds(5000, 10000000), 1);
  EXPECT_EQ(HighResTicksToMilliseconds(15000, 10000000), 2);
  EXPECT_EQ(HighResTicksToMilliseconds(0, 10000000), 0);
  // Large spans of a fast counter must not overflow.
  EXPECT_EQ(HighResTicksToMilliseconds(int64_t(500000000) * 86400, 500000000), int64_t(86400) * 1000);
  // A millisecond timer passes through unchanged.
  EXPECT_EQ(HighResTicksToMilliseconds(4999, 1000), 4999);
}

TEST(TimerTest, HighResTimerMeasuresASleep) {
  HighResTimerInit();
  ASSERT_TRUE(HighResTimerInited);
  const int64_t Frequency = HighResTimerFrequency;
  const int32_t Shift = HighResTimerFrequencyShift;
  EXPECT_GT(Frequency, 0);
  EXPECT_LT(Frequency, int64_t(1) << 29);
  HighResTimerInit();  // a second call changes nothing
  EXPECT_EQ(HighResTimerFrequency, Frequency);
  EXPECT_EQ(HighResTimerFrequencyShift, Shift);

  const THighResTime Before = HighResTimerGetTime();
  SleepMilliseconds(20);
  const THighResTime After = HighResTimerGetTime();
  const int64_t Elapsed = HighResTimeToMilliseconds(After - Before);
  EXPECT_GE(Elapsed, 20);
  EXPECT_LT(Elapsed, 10000);
}

TEST(TimerTest, MillisecondClockIsMonotonic) {
  int64_t Previous = GetMilliseconds();
  const int64_t Start = Previous;
  for (int I = 0; I < 100000; ++I) {
    const int64_t Now = GetMilliseconds();
    ASSERT_GE(Now, Previous);
    Previous = Now;
  }
  SleepMilliseconds(15);
  const int64_t Elapsed = GetMilliseconds() - Start;
  EXPECT_GE(Elapsed, 14);  // both readings are truncated to whole milliseconds
  EXPECT_LT(Elapsed, 10000);
  SleepMilliseconds(0);
  SleepMilliseconds(-5);
}

TEST(MemoryTest, RoundUpToPowerOfTwo) {
  EXPECT_EQ(RoundUpToPowerOfTwo(0), 0u);
  EXPECT_EQ(RoundUpToPowerOfTwo(1), 1u);
  EXPECT_EQ(RoundUpToPowerOfTwo(2), 2u);
  EXPECT_EQ(RoundUpToPowerOfTwo(3), 4u);
  EXPECT_EQ(RoundUpToPowerOfTwo(24), 32u);
  EXPECT_EQ(RoundUpToPowerOfTwo(uint64_t(1) << 40), uint64_t(1) << 40);
  EXPECT_EQ(RoundUpToPowerOfTwo((uint64_t(1) << 40) + 1), uint64_t(1) << 41);
  EXPECT_EQ(RoundUpToPowerOfTwo((uint64_t(1) << 63) - 5), uint64_t(1) << 63);
}

TEST(MemoryTest, AlignedBlocksAreAlignedZeroedAndInsideTheirAllocation) {
  struct {
    int32_t Align;
    uintptr_t Alignment;
  } const Cases[] = {{16, 16}, {24, 32}, {64, 64}, {4096, 4096}, {2, 2}, {8, 8}};
  for (const auto& Case : Cases) {
    const int64_t Size = 1000;
    void* P = reinterpret_cast<void*>(1);
    GetMemAligned(P, Size, Case.Align);
    ASSERT_NE(P, nullptr) << Case.Align;
    const uintptr_t Start = uintptr_t(P);
    const uintptr_t Allocation = AllocationOf(P);
    EXPECT_EQ(Start % Case.Alignment, 0u) << Case.Align;
    EXPECT_GE(Start - Allocation, 8u) << Case.Align;
    // The block has to end inside the Size + 2 * Align + 8 bytes allocated.
    EXPECT_LE(Start - Allocation + Size, Size + 2 * Case.Alignment + 8) << Case.Align;
    EXPECT_TRUE(AllZero(P, Size)) << Case.Align;
    std::memset(P, 0xA5, Size);  // the whole block is writable (sanitizer builds check the bounds)
    FreeMemAligned(P);
  }
}

TEST(MemoryTest, TrivialAlignmentStartsEightBytesIn) {
  for (int32_t Align : {0, 1}) {
    void* P = nullptr;
    GetMemAligned(P, 100, Align);
    ASSERT_NE(P, nullptr);
    EXPECT_EQ(uintptr_t(P), AllocationOf(P) + 8) << Align;
    EXPECT_TRUE(AllZero(P, 100));
    FreeMemAligned(P);
  }
  void* Empty = nullptr;
  GetMemAligned(Empty, 0, 16);
  ASSERT_NE(Empty, nullptr);
  FreeMemAligned(Empty);
  FreeMemAligned(nullptr);
}

TEST(MemoryTest, ImpossibleRequestsGiveNull) {
  void* P = reinterpret_cast<void*>(1);
  GetMemAligned(P, -1, 16);
  EXPECT_EQ(P, nullptr);
  P = reinterpret_cast<void*>(1);
  GetMemAligned(P, INT64_MAX, 16);
  EXPECT_EQ(P, nullptr);
  EXPECT_EQ(AllocLargeZeroed(SIZE_MAX), nullptr);
  // Sanitizer allocators abort on absurd sizes instead of failing.
  if (SanitizedRun()) GTEST_SKIP() << "sanitizer allocators do not return null";
  P = reinterpret_cast<void*>(1);
  GetMemAligned(P, int64_t(1) << 50, 16);
  EXPECT_EQ(P, nullptr);
  EXPECT_EQ(AllocLargeZeroed(size_t(1) << 50), nullptr);
}

TEST(MemoryTest, LargeBlocksAreZeroedAndCanBeZeroedAgain) {
  const size_t Size = size_t(64) << 20;
  auto* Block = static_cast<unsigned char*>(AllocLargeZeroed(Size));
  ASSERT_NE(Block, nullptr);
  EXPECT_EQ(uintptr_t(Block) % 4096, 0u);
  EXPECT_TRUE(AllZero(Block, Size));
  for (size_t I = 0; I < Size; I += 4093) Block[I] = 0x5A;
  Block[Size - 1] = 0x5A;
  ZeroLarge(Block, Size);
  EXPECT_TRUE(AllZero(Block, Size));
  Block[0] = 1;  // still usable after being zeroed
  FreeLarge(Block);

  // An odd size: the last byte is usable, and zeroing only part of a block leaves the rest alone.
  const size_t Odd = 3 * 4096 + 123;
  auto* Small = static_cast<unsigned char*>(AllocLargeZeroed(Odd));
  ASSERT_NE(Small, nullptr);
  EXPECT_TRUE(AllZero(Small, Odd));
  std::memset(Small, 0x77, Odd);
  ZeroLarge(Small, 4096);
  EXPECT_TRUE(AllZero(Small, 4096));
  EXPECT_EQ(Small[4096], 0x77);
  EXPECT_EQ(Small[Odd - 1], 0x77);
  ZeroLarge(Small, 4096 + 100);
  EXPECT_TRUE(AllZero(Small, 4096 + 100));
  EXPECT_EQ(Small[4096 + 100], 0x77);
  ZeroLarge(Small, Odd);
  EXPECT_TRUE(AllZero(Small, Odd));
  FreeLarge(Small);

  FreeLarge(nullptr);
  ZeroLarge(nullptr, Size);
}

TEST(VersionTest, ReleaseThenBuildDateAndTime) { EXPECT_EQ(VersionString(), "1.00.2012.04.10.0112"); }

}  // namespace
