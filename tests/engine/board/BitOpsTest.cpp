#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <random>
#include <vector>

#include "engine/board/BitOps.h"
#include "engine/moves/GameEnd.h"
#include "support/TestState.h"

namespace {

// Edge values first, then random sets of every density.
std::vector<uint64_t> Samples() {
  std::vector<uint64_t> V = {1,
                             ~uint64_t(0),
                             uint64_t(1) << 63,
                             0x8000000000000001ull,
                             0x5555555555555555ull,
                             0xAAAAAAAAAAAAAAAAull,
                             0xFFFFFFFF00000000ull,
                             0x00000000FFFFFFFFull};
  for (int I = 0; I < 64; I++) V.push_back(uint64_t(1) << I);
  std::mt19937_64 R(20240611);
  for (int I = 0; I < 20000; I++) {
    uint64_t X = R();
    switch (I % 4) {
      case 1: X &= R(); break;  // sparse
      case 2: {                 // sparser
        const uint64_t A = R(), B = R();
        X &= A & B;
        break;
      }
      case 3: X |= R(); break;  // dense
      default: break;
    }
    if (X) V.push_back(X);
  }
  return V;
}

// Whatever form InitCPU chose must give the same answers as plain arithmetic.
void ExpectSelectedFormsCorrect() {
  EXPECT_EQ(CountBits(0), 0u);
  EXPECT_EQ(CountBits(~uint64_t(0)), 64u);
  EXPECT_EQ(FindFirstOneBit(uint64_t(1) << 63), 63u);
  uint64_t X = 0x8000000000000001ull;
  EXPECT_EQ(PopFirstOneBit(X), 0u);
  EXPECT_EQ(X, 0x8000000000000000ull);
  EXPECT_EQ(PopFirstOneBit(X), 63u);
  EXPECT_EQ(X, 0u);
  int Bad = 0;
  for (uint64_t V : Samples()) {
    uint64_t Popped = V;
    const uint32_t Index = PopFirstOneBit(Popped);
    if (CountBits(V) != uint32_t(std::popcount(V)) || FindFirstOneBit(V) != uint32_t(std::countr_zero(V)) ||
        Index != uint32_t(std::countr_zero(V)) || Popped != (V & (V - 1)))
      if (++Bad <= 5) ADD_FAILURE() << "wrong bit operation result for 0x" << std::hex << V;
  }
  EXPECT_EQ(Bad, 0);
}

TEST(BoardBitOps, FallbackFormsMatchArithmetic) {
  EXPECT_EQ(CountBitsFallback(0), 0u);
  EXPECT_EQ(CountBitsFallback(~uint64_t(0)), 64u);
  EXPECT_EQ(FindFirstOneBitFallback(uint64_t(1) << 63), 63u);
  uint64_t X = 0x8000000000000001ull;
  EXPECT_EQ(PopFirstOneBitFallback(X), 0u);
  EXPECT_EQ(X, 0x8000000000000000ull);
  EXPECT_EQ(PopFirstOneBitFallback(X), 63u);
  EXPECT_EQ(X, 0u);
  for (uint64_t V : Samples()) {
    uint64_t Popped = V;
    ASSERT_EQ(CountBitsFallback(V), uint32_t(std::popcount(V))) << std::hex << V;
    ASSERT_EQ(FindFirstOneBitFallback(V), uint32_t(std::countr_zero(V))) << std::hex << V;
    ASSERT_EQ(PopFirstOneBitFallback(Popped), uint32_t(std::countr_zero(V))) << std::hex << V;
    ASSERT_EQ(Popped, V & (V - 1)) << std::hex << V;
  }
}

TEST(BoardBitOps, PopcountFormsAgreeWithFallbacks) {
  if (!CpuHasPopcnt()) GTEST_SKIP() << "no population-count instruction on this processor";
  EXPECT_EQ(CountBitsPopcnt(0), 0u);
  EXPECT_EQ(CountBitsPopcnt(~uint64_t(0)), 64u);
  EXPECT_EQ(FindFirstOneBitPopcnt(uint64_t(1) << 63), 63u);
  // The popcount scan of an empty set is the 64 zero bits below no bit at all.
  EXPECT_EQ(FindFirstOneBitPopcnt(0), 64u);
  uint64_t X = 0x8000000000000001ull;
  EXPECT_EQ(PopFirstOneBitPopcnt(X), 0u);
  EXPECT_EQ(X, 0x8000000000000000ull);
  EXPECT_EQ(PopFirstOneBitPopcnt(X), 63u);
  EXPECT_EQ(X, 0u);
  for (uint64_t V : Samples()) {
    uint64_t A = V, B = V;
    ASSERT_EQ(CountBitsPopcnt(V), CountBitsFallback(V)) << std::hex << V;
    ASSERT_EQ(FindFirstOneBitPopcnt(V), FindFirstOneBitFallback(V)) << std::hex << V;
    ASSERT_EQ(PopFirstOneBitPopcnt(A), PopFirstOneBitFallback(B)) << std::hex << V;
    ASSERT_EQ(A, B) << std::hex << V;
  }
}

TEST(BoardBitOps, ForcedFallbacksGiveTheSameResults) {
  TestState();
  const bool Count = CountBitsUsesPopcnt, Find = FindFirstOneBitUsesPopcnt, Pop = PopFirstOneBitUsesPopcnt;
  ExpectSelectedFormsCorrect();

  InitCPU(true);
  EXPECT_FALSE(CountBitsUsesPopcnt);
  EXPECT_FALSE(FindFirstOneBitUsesPopcnt);
  EXPECT_FALSE(PopFirstOneBitUsesPopcnt);
  ExpectSelectedFormsCorrect();
  // Move generation runs on PopFirstOneBit: a whole perft tree through the fallbacks.
  EXPECT_EQ(Perft(&TestStateWith("startpos")->Position, 3), 8902u);
  EXPECT_EQ(Perft(&TestStateWith("r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -")->Position, 2),
            2039u);

  // Back to the start-up choice (timing may choose differently on a second run; both forms are right).
  CountBitsUsesPopcnt = Count;
  FindFirstOneBitUsesPopcnt = Find;
  PopFirstOneBitUsesPopcnt = Pop;
  if (!CpuHasPopcnt()) {
    EXPECT_FALSE(Count || Find || Pop);
  }
}

}  // namespace
