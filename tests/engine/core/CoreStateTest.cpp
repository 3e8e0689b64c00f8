#include <gtest/gtest.h>

#include <cstring>

#include "engine/board/Hash.h"
#include "engine/board/Position.h"
#include "engine/board/PositionCheck.h"
#include "engine/core/State.h"
#include "support/PositionChecks.h"
#include "support/TestState.h"

namespace {

// The state as start-up leaves it, taken before any test runs: the tests share the one state and may
// change the limits afterwards.
struct TStartupSnapshot {
  bool Taken = false;
  int32_t MaxDepth, MovesPerControl, MaxNodes, HistoryPly;
  int32_t MovesLeft[2];
  int64_t TimeLeft[2], TimeIncrement[2], MaxTime, MaxThinkTime;
  int32_t Mode, InfiniteSearch, Pondering, UseFastEval, AbortSearch;
  TPosition Position;
};
TStartupSnapshot Startup;

// Only a process that runs the start-up test pays for starting the engine this early.
bool WillRun(const char* Suite, const char* Name) {
  const ::testing::UnitTest* Unit = ::testing::UnitTest::GetInstance();
  for (int I = 0; I < Unit->total_test_suite_count(); I++) {
    const ::testing::TestSuite* TestSuite = Unit->GetTestSuite(I);
    if (std::strcmp(TestSuite->name(), Suite) != 0) continue;
    for (int J = 0; J < TestSuite->total_test_count(); J++)
      if (std::strcmp(TestSuite->GetTestInfo(J)->name(), Name) == 0) return TestSuite->GetTestInfo(J)->should_run();
  }
  return false;
}

class TStartupEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    if (!WillRun("CoreState", "StartUpDefaults")) return;
    TState* S = TestState();
    Startup.MaxDepth = S->MaxDepth;
    Startup.MovesPerControl = S->MovesPerControl;
    Startup.MaxNodes = S->MaxNodes;
    Startup.HistoryPly = S->HistoryPly;
    for (int I = 0; I < 2; I++) {
      Startup.MovesLeft[I] = S->MovesLeft[I];
      Startup.TimeLeft[I] = S->TimeLeft[I];
      Startup.TimeIncrement[I] = S->TimeIncrement[I];
    }
    Startup.MaxTime = S->MaxTime;
    Startup.MaxThinkTime = S->MaxThinkTime;
    Startup.Mode = S->Mode;
    Startup.InfiniteSearch = S->InfiniteSearch;
    Startup.Pondering = S->Pondering;
    Startup.UseFastEval = S->UseFastEval;
    Startup.AbortSearch = S->AbortSearch;
    Startup.Position = S->Position;
    Startup.Taken = true;
  }
};
[[maybe_unused]] ::testing::Environment* const StartupEnvironment =
    ::testing::AddGlobalTestEnvironment(new TStartupEnvironment);

TEST(CoreState, StartUpDefaults) {
  ASSERT_TRUE(Startup.Taken);
  // MovesLeft comes from MovesPerControl when the board is set up, after the default of 256.
  EXPECT_EQ(Startup.MaxDepth, 256);
  EXPECT_EQ(Startup.MovesPerControl, 1);
  EXPECT_EQ(Startup.MovesLeft[0], 1);
  EXPECT_EQ(Startup.MovesLeft[1], 1);
  EXPECT_EQ(Startup.TimeLeft[0], 0);
  EXPECT_EQ(Startup.TimeLeft[1], 0);
  EXPECT_EQ(Startup.TimeIncrement[0], 0);
  EXPECT_EQ(Startup.TimeIncrement[1], 0);
  EXPECT_EQ(Startup.MaxTime, 0);
  EXPECT_EQ(Startup.MaxNodes, 0);
  EXPECT_EQ(Startup.MaxThinkTime, 0);
  EXPECT_EQ(Startup.HistoryPly, 0);
  EXPECT_EQ(Startup.Mode, MNone);
  EXPECT_FALSE(Startup.InfiniteSearch);
  EXPECT_FALSE(Startup.Pondering);
  EXPECT_FALSE(Startup.UseFastEval);
  EXPECT_FALSE(Startup.AbortSearch);

  const TPosition& P = Startup.Position;
  EXPECT_EQ(P.State, &State);
  EXPECT_EQ(0, std::memcmp(P.Board, InitialBoard, sizeof P.Board));
  EXPECT_EQ(P.Side, CWhite);
  EXPECT_EQ(P.CastleFlags, 15);
  EXPECT_EQ(P.EnPassant, -1);
  EXPECT_EQ(P.StartPly, 0);
  EXPECT_EQ(P.ReversibleMoves, 0);
  EXPECT_EQ(P.KingPosition[SWhite], SQ_E1);
  EXPECT_EQ(P.KingPosition[SBlack], SQ_E8);
  // Material, phase and scores recomputed from the initial board, whose figures BoardSetup states.
  EXPECT_EQ(PositionFaults(&P, true), "");
}

TEST(CoreState, ResetGivesTheInitialPositionAndClocks) {
  // A played and disturbed game, then the cheap reset the front ends use for a new game.
  TState* S = TestStateWith("r3k2r/8/8/8/8/8/8/R3K2R b KQkq - 40 90");
  S->HistoryPly = 7;
  S->MovesLeft[0] = 3;
  S->TimeLeft[1] = 1234;
  S->TimeIncrement[0] = 50;
  InitStandardBoard(S);
  const TPosition& P = S->Position;
  EXPECT_EQ(0, std::memcmp(P.Board, InitialBoard, sizeof P.Board));
  EXPECT_EQ(P.Side, CWhite);
  EXPECT_EQ(P.CastleFlags, 15);
  EXPECT_EQ(P.EnPassant, -1);
  EXPECT_EQ(P.StartPly, 0);
  EXPECT_EQ(P.ReversibleMoves, 0);
  EXPECT_EQ(S->HistoryPly, 0);
  EXPECT_EQ(S->MovesLeft[0], S->MovesPerControl);
  EXPECT_EQ(S->MovesLeft[1], S->MovesPerControl);
  EXPECT_EQ(S->TimeLeft[0], S->MaxTime);
  EXPECT_EQ(S->TimeLeft[1], S->MaxTime);
  EXPECT_EQ(S->TimeIncrement[0], 0);
  EXPECT_EQ(PositionFaults(&P, true), "");
  // The key of a set-up position covers the pieces only.
  uint64_t Pieces = 0;
  for (int Sq = 0; Sq < 64; Sq++) Pieces ^= HashPieces[P.Board[Sq]][Sq];
  EXPECT_EQ(P.Hash, Pieces);
}

TEST(CoreState, SharedEncodings) {
  EXPECT_EQ(PieceChars[PBlackPawn], 'p');
  EXPECT_EQ(PieceChars[PWhitePawn], 'P');
  EXPECT_EQ(PieceChars[0], ' ');
  EXPECT_EQ(PieceChars[PWhiteKing], 'K');
  EXPECT_EQ(PieceChars[PBlackKnight], 'n');
  EXPECT_EQ(sizeof(TUndoMove), 32u);
  // The move word accessors must agree with the fixed castling words.
  EXPECT_EQ(MakeMoveWord(SQ_E1, SQ_G1, MTCastle), 0x1184u);
  EXPECT_EQ(MakeMoveWord(SQ_E8, SQ_C8, MTCastle), 0x1EBCu);
  const TMove M = MakeMoveWord(SQ_B7, SQ_A8, MTPromoteKnight, MFCapture);
  EXPECT_EQ(MoveFrom(M), SQ_B7);
  EXPECT_EQ(MoveTo(M), SQ_A8);
  EXPECT_EQ(MoveType(M), MTPromoteKnight);
  EXPECT_TRUE(MoveIsCapture(M));
  EXPECT_TRUE(MoveIsPromotion(M));
  EXPECT_FALSE(MoveIsPromotion(MakeMoveWord(SQ_E2, SQ_E4, MTEnPassantSet)));
}

}  // namespace
