#include <gtest/gtest.h>

#include <vector>

#include "TestSupport.h"
#include "engine/board/PositionChecks.h"
#include "engine/moves/GameEnd.h"

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

TEST(Perft, StartPosition) { ExpectCounts("startpos", {20, 400, 8902, 197281, 4865609}); }

TEST(Perft, StartPositionDepth6) {
  if (SanitizedRun()) GTEST_SKIP() << "too slow under the sanitizers";
  EXPECT_EQ(Perft(&TestStateWith("startpos")->Position, 6), 119060324u);
}

TEST(Perft, Kiwipete) {
  ExpectCounts("r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -", {48, 2039, 97862, 4085603});
}

TEST(Perft, RookAndPawnEndgame) {
  ExpectCounts("8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - -", {14, 191, 2812, 43238, 674624});
}

TEST(Perft, Promotions) {
  ExpectCounts("r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1", {6, 264, 9467, 422333});
  // The same turned round, colours swapped: the counts must not depend on the colour.
  ExpectCounts("r2q1rk1/pP1p2pp/Q4n2/bbp1p3/Np6/1B3NBn/pPPP1PPP/R3K2R b KQ - 0 1", {6, 264, 9467, 422333});
}

TEST(Perft, PromotionByCapture) {
  ExpectCounts("rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8", {44, 1486, 62379, 2103487});
}

TEST(Perft, Middlegame) {
  ExpectCounts("r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10", {46, 2079, 89890, 3894594});
}

// Set-up positions only: a pawn on its own first rank neither moves nor takes.
TEST(Perft, PawnsOnTheirFirstRankStandStill) {
  ExpectCounts("4k3/8/8/8/8/8/8/P3K3 w - - 0 1", {5});
  ExpectCounts("4k3/8/8/8/8/8/1n6/P3K3 w - - 0 1", {4});
  ExpectCounts("p3k3/1N6/8/8/8/8/8/4K3 b - - 0 1", {4});
  ExpectCounts("p3k3/8/8/8/8/8/8/4K3 b - - 0 1", {5});
}

}  // namespace
