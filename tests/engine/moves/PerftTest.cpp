#include <gtest/gtest.h>

#include <vector>

#include "engine/moves/GameEnd.h"
#include "support/PerftCounts.h"
#include "support/PositionChecks.h"
#include "support/TestState.h"

namespace {

// Published counts of well-known positions. Depths go as far as the leaf budget allows: a few million
// leaves each in an optimised build, far fewer in the sanitizer run.
void ExpectCounts(const char* Fen, const std::vector<uint64_t>& Counts) {
  const uint64_t Budget = SanitizedRun() ? 1000000 : 5000000;
  TPosition* P = &TestStateWith(Fen)->Position;
  const TPosition Root = *P;
  for (size_t Depth = 1; Depth <= Counts.size() && Counts[Depth - 1] <= Budget; Depth++)
    EXPECT_EQ(Perft(P, int32_t(Depth)), Counts[Depth - 1]) << Fen << " depth " << Depth;
  EXPECT_TRUE(SamePosition(*P, Root));
  EXPECT_EQ(Perft(P, 0), 1u);
}

TEST(Perft, KnownPositions) {
  for (const TPerftCounts& C : KnownPerftCounts()) ExpectCounts(C.Fen, C.Leaves);
}

TEST(Perft, StartPositionDepth6) {
  if (SanitizedRun()) GTEST_SKIP() << "too slow under the sanitizers";
  EXPECT_EQ(Perft(&TestStateWith("startpos")->Position, 6), PerftCountsOf("StartPosition").Leaves[5]);
}

// Set-up positions only: a pawn on its own first rank neither moves nor takes.
TEST(Perft, PawnsOnTheirFirstRankStandStill) {
  ExpectCounts("4k3/8/8/8/8/8/8/P3K3 w - - 0 1", {5});
  ExpectCounts("4k3/8/8/8/8/8/1n6/P3K3 w - - 0 1", {4});
  ExpectCounts("p3k3/1N6/8/8/8/8/8/4K3 b - - 0 1", {4});
  ExpectCounts("p3k3/8/8/8/8/8/8/4K3 b - - 0 1", {5});
}

}  // namespace
