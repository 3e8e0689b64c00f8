#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/board/Position.h"
#include "engine/moves/GameEnd.h"
#include "engine/moves/MakeMove.h"
#include "engine/moves/Notation.h"
#include "support/PositionChecks.h"
#include "support/Replay.h"
#include "support/TestState.h"

namespace {

TEST(MovesGameEnd, MateAndStalemate) {
  TState* S = TestState();
  TPosition* P = &S->Position;
  EXPECT_FALSE(IsCheckmate(P));
  EXPECT_FALSE(IsStalemate(P));
  for (const char* M : {"f2f3", "e7e5", "g2g4"}) ASSERT_TRUE(PlayMoves(S, {M}));
  EXPECT_FALSE(IsCheckmate(P));
  ASSERT_TRUE(PlayMoves(S, {"d8h4"}));
  const TPosition Mated = *P;
  EXPECT_TRUE(IsCheckmate(P));
  EXPECT_TRUE(IsStalemate(P));  // no legal move, whatever the reason
  EXPECT_TRUE(SamePosition(*P, Mated));

  P = &TestStateWith("7k/5K2/6Q1/8/8/8/8/8 b - - 0 1")->Position;
  EXPECT_TRUE(IsStalemate(P));
  EXPECT_FALSE(IsCheckmate(P));
  // The same board with White to move is no stalemate.
  P = &TestStateWith("7k/5K2/6Q1/8/8/8/8/8 w - - 0 1")->Position;
  EXPECT_FALSE(IsStalemate(P));
  // Check with a way out is neither.
  P = &TestStateWith("7k/8/8/4Q3/8/8/8/4K3 b - - 0 1")->Position;
  ASSERT_TRUE(IsInCheck(P, CBlack));
  EXPECT_FALSE(IsCheckmate(P));
  EXPECT_FALSE(IsStalemate(P));
  // Only an en-passant capture saves Black from stalemate.
  P = &TestStateWith("8/8/8/8/5p2/5N2/4PK2/6Bk w - - 0 1")->Position;
  ASSERT_TRUE(PlayMoves(P->State, {"e2e4"}));
  ASSERT_EQ(P->EnPassant, SQ_E3);
  EXPECT_FALSE(IsStalemate(P));
}

TEST(MovesGameEnd, FiftyMovesAndLength) {
  TState* S = TestStateWith("4k3/8/8/8/8/8/8/4K2R w - - 99 80");
  TPosition* P = &S->Position;
  EXPECT_FALSE(IsDraw(P));
  ASSERT_TRUE(PlayMoves(S, {"h1h2"}));
  EXPECT_EQ(P->ReversibleMoves, 100);
  EXPECT_TRUE(IsDraw(P));
  // A game as long as the limit counts as drawn whatever its position.
  S = TestStateWith("4k3/8/8/8/8/8/8/4K2R w - - 0 80");
  S->HistoryPly = 254;
  EXPECT_FALSE(IsDraw(&S->Position));
  S->HistoryPly = 255;
  EXPECT_TRUE(IsDraw(&S->Position));
  S->HistoryPly = 0;
}

TEST(MovesGameEnd, Repetitions) {
  TState* S = TestState();
  TPosition* P = &S->Position;
  const char* Shuffle[] = {"g1f3", "g8f6", "f3g1", "f6g8"};
  // Earlier occurrences of the current position within the game record, after each half-move. The
  // initial position is no entry of the record, so it counts 0, 1, 2, 3 after 4, 8, 12, 16 half-moves;
  // the position after 1. Nf3 Nf6 (half-moves 2, 6, 10, 14) is the first to reach 3.
  const int Expected[16] = {0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3};
  for (int Ply = 0; Ply < 16; Ply++) {
    ASSERT_TRUE(PlayMoves(S, {Shuffle[Ply % 4]}));
    EXPECT_EQ(RepetitionCount(P), Expected[Ply]) << "after " << Ply + 1 << " half-moves";
    EXPECT_EQ(IsDraw(P), Expected[Ply] >= 3) << "after " << Ply + 1 << " half-moves";
  }

  // The count looks at the game only, never before its first move, however high the clock came in.
  S = TestStateWith("4k3/8/8/8/8/8/8/R3K3 w - - 90 60");
  P = &S->Position;
  for (const char* M : {"a1a2", "e8d8", "a2a1", "d8e8"}) ASSERT_TRUE(PlayMoves(S, {M}));
  EXPECT_EQ(RepetitionCount(P), 0);
  for (const char* M : {"a1a2", "e8d8", "a2a1", "d8e8"}) ASSERT_TRUE(PlayMoves(S, {M}));
  EXPECT_EQ(RepetitionCount(P), 1);
  EXPECT_FALSE(IsDraw(P));
  for (const char* M : {"a1a2", "e8d8"}) ASSERT_TRUE(PlayMoves(S, {M}));
  EXPECT_TRUE(IsDraw(P));  // by the fifty-move rule: the clock came in at 90
}

TEST(MovesGameEnd, EnhancedLegalityCheck) {
  TPosition* P = &TestStateWith("4k3/4r3/8/8/1b6/8/3PN3/4K3 w - - 0 1")->Position;
  const TPosition Before = *P;
  // Both pinned pieces have pseudo-legal moves that expose the king.
  EXPECT_TRUE(IsLegal(P, Word(SQ_E2, SQ_C3)));
  EXPECT_FALSE(IsLegalWithEnhancedCheck(P, Word(SQ_E2, SQ_C3)));
  EXPECT_TRUE(IsLegal(P, Word(SQ_D2, SQ_D3)));
  EXPECT_FALSE(IsLegalWithEnhancedCheck(P, Word(SQ_D2, SQ_D3)));
  EXPECT_TRUE(IsLegalWithEnhancedCheck(P, Word(SQ_E1, SQ_F2)));
  EXPECT_FALSE(IsLegalWithEnhancedCheck(P, Word(SQ_E1, SQ_E3)));  // not a king move at all
  EXPECT_FALSE(IsLegalWithEnhancedCheck(P, Word(SQ_C1, SQ_C2)));  // empty from-square
  EXPECT_TRUE(SamePosition(*P, Before));
  // Every legal move of a busy position passes, and nothing else does.
  P = &TestStateWith("r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1")->Position;
  int Legal = 0;
  for (TMove M : GeneratedMoves(P)) Legal += IsLegalWithEnhancedCheck(P, M);
  EXPECT_EQ(Legal, 48);
}

}  // namespace
