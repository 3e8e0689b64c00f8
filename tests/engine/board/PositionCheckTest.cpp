// The whole-position self-check finds each kind of disagreement, and finds none in sound positions.
#include "engine/board/PositionCheck.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "engine/board/Position.h"
#include "engine/moves/MakeMove.h"
#include "support/PositionChecks.h"
#include "support/TestState.h"

namespace {

TEST(PositionCheck, SoundPositionsHaveNoFaults) {
  for (const char* Fen :
       {"startpos", "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
        "rnbqkbnr/ppp1p1pp/8/3pPp2/8/8/PPPP1PPP/RNBQKBNR w KQkq f6 0 3", "8/8/8/8/8/8/8/8 w - - 0 1"}) {
    TPosition* P = &TestStateWith(Fen)->Position;
    EXPECT_EQ(PositionFaults(P, true), "") << Fen;
    // After every move too; the key then carries side, rights and en-passant keys as well.
    for (TMove M : GeneratedMoves(P)) {
      TUndoMove Undo;
      DoMakeMove(P, M, &Undo);
      EXPECT_EQ(PositionFaults(P), "") << Fen << " after " << MoveToString(M);
      DoUndoMove(P, &Undo);
    }
  }
}

TEST(PositionCheck, FindsEachKindOfDisagreement) {
  struct TCase {
    const char* What;
    std::function<void(TPosition&)> Spoil;
    const char* Found;
  };
  const TCase Cases[] = {
      {"a piece changed on the board only", [](TPosition& P) { P.Board[SQ_E2] = PWhiteKnight; },
       "bitboards disagree with Board[e2]"},
      {"an unknown code", [](TPosition& P) { P.Board[SQ_A3] = 7; }, "Board[a3] holds code 7"},
      {"a bitboard bit", [](TPosition& P) { P.Bitboards[BBPKnight] ^= TBitboard(1) << SQ_D4; },
       "bitboards disagree with Board[d4]"},
      {"occupancy", [](TPosition& P) { P.Bitboards[BBPOccupied] ^= TBitboard(1) << SQ_D4; },
       "occupied is not white | black"},
      {"a king square", [](TPosition& P) { P.KingPosition[1] = SQ_D8; }, "KingPosition[1]"},
      {"material", [](TPosition& P) { P.MaterialScores[0] += 100; }, "MaterialScores[0]"},
      {"a piece-square sum", [](TPosition& P) { P.PositionScores[1][1]++; }, "PositionScores[1][1]"},
      {"phase", [](TPosition& P) { P.Phase--; }, "Phase"},
      {"pawn key", [](TPosition& P) { P.PawnHash ^= 1; }, "PawnHash"},
      {"key", [](TPosition& P) { P.Hash ^= 1; }, "Hash"},
      {"a right without its rook",
       [](TPosition& P) {
         P.Board[SQ_H1] = 0;
         SetupBoardData(&P);
       },
       "a castling right without its king or rook at home"},
      {"an en-passant square with no pawn behind", [](TPosition& P) { P.EnPassant = SQ_D6; }, "EnPassant 43"},
  };
  const TPosition Sound = TestStateWith("startpos")->Position;
  for (const TCase& C : Cases) {
    TPosition P = Sound;
    C.Spoil(P);
    const std::string Faults = PositionFaults(&P, true);
    EXPECT_NE(Faults.find(C.Found), std::string::npos) << C.What << ": " << Faults;
  }
}

// Debug builds stop at the first make or unmake that leaves the position unsound, naming the step.
TEST(PositionCheckDeathTest, CheckedBuildsStopAtAnUnsoundStep) {
#ifdef NDEBUG
  GTEST_SKIP() << "the checks are compiled into debug builds only";
#else
  ::testing::FLAGS_gtest_death_test_style = "threadsafe";
  TPosition P = TestStateWith("startpos")->Position;
  P.Board[SQ_E2] = 0;  // the bitboards still hold the pawn
  TUndoMove Undo;
  EXPECT_DEATH(DoMakeMove(&P, MakeMoveWord(SQ_G1, SQ_F3), &Undo),
               "unsound position after a move: bitboards disagree with Board\\[e2\\]");
#endif
}

}  // namespace
