#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/board/Hash.h"
#include "engine/board/Position.h"
#include "engine/board/PositionCheck.h"
#include "engine/core/State.h"
#include "engine/moves/GameEnd.h"
#include "engine/moves/MakeMove.h"
#include "engine/moves/Notation.h"
#include "support/PositionChecks.h"
#include "support/Replay.h"
#include "support/TestState.h"

namespace {

const std::vector<std::string> KnightShuffle = {"g1f3", "g8f6", "f3g1", "f6g8"};

TEST(MovesMake, CountersAndEnPassantSquare) {
  TState* S = TestState();
  TPosition* P = &S->Position;
  ASSERT_TRUE(PlayMoves(S, {"e2e4"}));
  EXPECT_EQ(P->EnPassant, -1);  // no black pawn can take on e3
  EXPECT_EQ(P->ReversibleMoves, 0);
  EXPECT_EQ(P->Side, CBlack);
  ASSERT_TRUE(PlayMoves(S, {"g8f6"}));
  EXPECT_EQ(P->ReversibleMoves, 1);
  ASSERT_TRUE(PlayMoves(S, {"g1f3"}));
  EXPECT_EQ(P->ReversibleMoves, 2);
  ASSERT_TRUE(PlayMoves(S, {"d7d5"}));
  EXPECT_EQ(P->ReversibleMoves, 0);
  EXPECT_EQ(P->EnPassant, -1);  // only a pawn on c5 or e5 could take on d6
  ASSERT_TRUE(PlayMoves(S, {"e4e5", "f6g8", "b1c3", "f7f5"}));
  EXPECT_EQ(P->EnPassant, SQ_F6);
  EXPECT_EQ(P->ReversibleMoves, 0);
  // Taking en passant removes the pawn behind the square.
  ASSERT_TRUE(PlayMoves(S, {"e5f6"}));
  EXPECT_EQ(P->Board[SQ_F6], PWhitePawn);
  EXPECT_EQ(P->Board[SQ_F5], 0);
  EXPECT_EQ(P->Board[SQ_E5], 0);
  EXPECT_EQ(P->EnPassant, -1);
  EXPECT_EQ(P->MaterialScores[SBlack], 4105 - 100);
  EXPECT_EQ(P->Phase, 255);
  EXPECT_EQ(PositionFaults(P), "");
  // A capture resets the count too.
  ASSERT_TRUE(PlayMoves(S, {"g8h6", "f3g1", "h6g8"}));
  EXPECT_EQ(P->ReversibleMoves, 3);
  ASSERT_TRUE(PlayMoves(S, {"f6g7"}));
  EXPECT_EQ(P->ReversibleMoves, 0);
}

TEST(MovesMake, CastlingAndRights) {
  TState* S = TestStateWith("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1");
  TPosition* P = &S->Position;
  ASSERT_TRUE(MakeMove(P, 0x1184));
  EXPECT_EQ(P->Board[SQ_G1], PWhiteKing);
  EXPECT_EQ(P->Board[SQ_F1], PWhiteRook);
  EXPECT_EQ(P->Board[SQ_H1], 0);
  EXPECT_EQ(P->Board[SQ_E1], 0);
  EXPECT_EQ(P->KingPosition[SWhite], SQ_G1);
  EXPECT_EQ(P->CastleFlags, 4 | 8);
  EXPECT_EQ(P->ReversibleMoves, 1);
  EXPECT_EQ(PositionFaults(P), "");
  ASSERT_TRUE(MakeMove(P, 0x1EBC));
  EXPECT_EQ(P->Board[SQ_C8], PBlackKing);
  EXPECT_EQ(P->Board[SQ_D8], PBlackRook);
  EXPECT_EQ(P->Board[SQ_A8], 0);
  EXPECT_EQ(P->KingPosition[SBlack], SQ_C8);
  EXPECT_EQ(P->CastleFlags, 0);
  EXPECT_EQ(PositionFaults(P), "");
  ASSERT_TRUE(MakeUndoMove(P));
  ASSERT_TRUE(MakeUndoMove(P));
  EXPECT_EQ(P->CastleFlags, 15);
  EXPECT_EQ(P->Board[SQ_H1], PWhiteRook);
  EXPECT_EQ(P->Board[SQ_A8], PBlackRook);
  EXPECT_EQ(P->KingPosition[SWhite], SQ_E1);
  EXPECT_EQ(P->KingPosition[SBlack], SQ_E8);

  // Which rights each kind of move removes.
  struct {
    const char* Fen;
    TMove Move;
    int Flags;
  } const Cases[] = {
      {"r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1", Word(SQ_H1, SQ_H4), 2 | 4 | 8},
      {"r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1", Word(SQ_A1, SQ_A4), 1 | 4 | 8},
      {"r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1", Word(SQ_E1, SQ_F1), 4 | 8},
      {"r3k2r/8/8/8/8/8/8/R3K2R b KQkq - 0 1", Word(SQ_E8, SQ_E7), 1 | 2},
      {"r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1", Word(SQ_A1, SQ_A8, MTNormal, true), 1 | 4},
      {"r3k2r/8/8/8/8/8/8/R3K2R b KQkq - 0 1", Word(SQ_H8, SQ_H1, MTNormal, true), 2 | 8},
      // A capture on h8 removes the right even when no rook stood there.
      {"rn2k2n/8/8/8/8/8/1B6/R3K2R w KQkq - 0 1", Word(SQ_B2, SQ_H8, MTNormal, true), 1 | 2 | 8},
      {"r3k2r/8/8/8/8/8/8/RN2K2R w KQkq - 0 1", Word(SQ_B1, SQ_C3), 15},
  };
  for (const auto& C : Cases) {
    P = &TestStateWith(C.Fen)->Position;
    ASSERT_TRUE(MakeMove(P, C.Move)) << C.Fen << " " << MoveToString(C.Move);
    EXPECT_EQ(P->CastleFlags, C.Flags) << C.Fen << " " << MoveToString(C.Move);
  }
  // Promoting with a capture on the corner takes the right with the rook.
  P = &TestStateWith("r3k2r/1P6/8/8/8/8/8/4K3 w kq - 0 1")->Position;
  ASSERT_TRUE(MakeMove(P, Word(SQ_B7, SQ_A8, MTPromoteKnight, true)));
  EXPECT_EQ(P->CastleFlags, 4);
  EXPECT_EQ(P->Board[SQ_A8], PWhiteKnight);
  EXPECT_EQ(P->MaterialScores[SWhite], 325);
  EXPECT_EQ(P->MaterialScores[SBlack], 515);
  EXPECT_EQ(PositionFaults(P), "");
}

TEST(MovesMake, RefusedMoveChangesNothing) {
  TState* S = TestStateWith("4k3/4r3/8/8/8/8/4N3/4K3 w - - 3 20");
  TPosition* P = &S->Position;
  ASSERT_TRUE(PlayMoves(S, {"e1d1", "e8d8", "d1e1", "d8e8"}));
  const TPosition Before = *P;
  const int Ply = S->HistoryPly;
  const TUndoMove Last = S->HistoryStack[Ply - 1];
  const int32_t MovesLeft[2] = {S->MovesLeft[0], S->MovesLeft[1]};
  const int64_t TimeLeft[2] = {S->TimeLeft[0], S->TimeLeft[1]};
  for (TMove M : {Word(SQ_E2, SQ_C3), Word(SQ_E2, SQ_G1), Word(SQ_E2, SQ_D4)}) {
    EXPECT_FALSE(MakeMove(P, M)) << MoveToString(M);
    EXPECT_TRUE(SamePosition(*P, Before));
    EXPECT_EQ(S->HistoryPly, Ply);
    EXPECT_EQ(S->HistoryStack[Ply - 1].Move, Last.Move);
    EXPECT_EQ(S->MovesLeft[0], MovesLeft[0]);
    EXPECT_EQ(S->MovesLeft[1], MovesLeft[1]);
    EXPECT_EQ(S->TimeLeft[0], TimeLeft[0]);
    EXPECT_EQ(S->TimeLeft[1], TimeLeft[1]);
  }
  EXPECT_TRUE(MakeMove(P, Word(SQ_E1, SQ_D2)));
}

TEST(MovesMake, GameHistory) {
  TState* S = TestState();
  TPosition* P = &S->Position;
  EXPECT_FALSE(MakeUndoMove(P));
  EXPECT_EQ(S->HistoryPly, 0);

  // A null move recorded in the game is taken back as one.
  const TPosition Start = *P;
  ASSERT_TRUE(PlayMoves(S, {"e2e4"}));
  const TPosition AfterE4 = *P;
  DoMakeNullMove(P, &S->HistoryStack[S->HistoryPly]);
  S->HistoryPly++;
  EXPECT_EQ(P->Side, CWhite);
  EXPECT_EQ(P->ReversibleMoves, 1);
  ASSERT_TRUE(MakeUndoMove(P));
  EXPECT_TRUE(SamePosition(*P, AfterE4));
  ASSERT_TRUE(MakeUndoMove(P));
  EXPECT_TRUE(SamePosition(*P, Start));
  EXPECT_FALSE(MakeUndoMove(P));

  // The search stack records each game move and the key after it.
  ASSERT_TRUE(PlayMoves(S, {"e2e4", "e7e5"}));
  EXPECT_EQ(S->SearchStack(0)->CurrentMove, Word(SQ_E2, SQ_E4, MTEnPassantSet));
  EXPECT_EQ(S->SearchStack(1)->Hash, P->Hash);
  EXPECT_EQ(S->HistoryStack[1].Move, Word(SQ_E7, SQ_E5, MTEnPassantSet));
  ASSERT_TRUE(PlayMoves(S, {"d1h5", "b8c6", "h5f7", "e8f7"}));
  // Whether the mover stood in check is noted before its move.
  EXPECT_EQ(S->SearchStack(4)->InCheck, 0);
  EXPECT_NE(S->SearchStack(5)->InCheck, 0);
  ASSERT_TRUE(MakeUndoMove(P));
  ASSERT_TRUE(MakeUndoMove(P));
  ASSERT_TRUE(PlayMoves(S, {"f1c4", "g8f6", "h5f7"}));
  EXPECT_TRUE(IsCheckmate(P));

  // A long game: the history takes 1024 half-moves and refuses the next one, and only that one.
  TestState();
  const TPosition Initial = *P;
  for (int Ply = 0; Ply < MaxHistoryStack; Ply++)
    ASSERT_TRUE(MakeMove(P, ParseMove(S, KnightShuffle[Ply % 4]))) << "half-move " << Ply + 1;
  EXPECT_EQ(S->HistoryPly, 1024);
  EXPECT_EQ(0, std::memcmp(P->Board, Initial.Board, sizeof P->Board));
  EXPECT_EQ(P->Hash, Initial.Hash);
  EXPECT_EQ(P->ReversibleMoves, 1024);
  const TPosition Full = *P;
  const TMove Next = ParseMove(S, "g1f3");
  ASSERT_NE(Next, 0u);
  EXPECT_FALSE(MakeMove(P, Next));
  EXPECT_EQ(S->HistoryPly, 1024);
  EXPECT_TRUE(SamePosition(*P, Full));
  ASSERT_TRUE(MakeUndoMove(P));
  EXPECT_TRUE(MakeMove(P, ParseMove(S, "f6g8")));
  // Taking the whole game back returns to the start.
  while (MakeUndoMove(P)) {
  }
  EXPECT_EQ(S->HistoryPly, 0);
  EXPECT_TRUE(SamePosition(*P, Initial));
}

TEST(MovesMake, NullMove) {
  TPosition* P = &TestStateWith("rnbqkbnr/ppp1pppp/8/8/3pP3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 3")->Position;
  ASSERT_EQ(P->EnPassant, SQ_E3);
  const TPosition Before = *P;
  TUndoMove Undo;
  DoMakeNullMove(P, &Undo);
  EXPECT_EQ(P->Side, CWhite);
  EXPECT_EQ(P->EnPassant, -1);
  EXPECT_EQ(P->ReversibleMoves, 1);
  EXPECT_NE(P->Hash, Before.Hash);
  EXPECT_EQ(Undo.Move, 0u);
  EXPECT_EQ(PositionFaults(P), "");
  // A second pass gives the move back to Black with the same pieces but without the en-passant square.
  TUndoMove Second;
  DoMakeNullMove(P, &Second);
  EXPECT_EQ(P->ReversibleMoves, 2);
  DoUndoNullMove(P, &Second);
  DoUndoNullMove(P, &Undo);
  EXPECT_TRUE(SamePosition(*P, Before));
}

// Positions reached by different move orders carry the same key (no en-passant square is ever set on
// these paths: the key keeps a trace of those).
TEST(MovesMake, TranspositionsShareTheKey) {
  struct {
    const char* Fen;
    std::vector<std::string> A, B;
  } const Cases[] = {
      {"startpos", {"g1f3", "g8f6", "b1c3", "b8c6"}, {"b1c3", "b8c6", "g1f3", "g8f6"}},
      {"startpos", {"e2e3", "e7e6", "e1e2", "e8e7", "g1f3", "g8f6"}, {"g1f3", "g8f6", "e2e3", "e7e6", "e1e2", "e8e7"}},
      {"startpos", {"e2e4", "d7d5", "e4d5", "g8f6", "b1c3", "f6d5"}, {"b1c3", "d7d5", "e2e4", "g8f6", "e4d5", "f6d5"}},
      {"r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1", {"e1g1", "e8c8", "a1b1", "h8h7"}, {"a1b1", "h8h7", "e1g1", "e8c8"}},
      {"r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1",
       {"e1e2", "e8e7", "h1f1", "e7d7", "e2f2", "a8d8", "f2g1", "d7c8"},
       {"e1g1", "e8c8"}},
      {"r3k2r/1P6/8/8/8/8/1p6/R3K2R w KQkq - 0 1",
       {"b7a8n", "b2a1n", "e1f1", "e8f8"},
       {"e1f1", "e8f8", "b7a8n", "b2a1n"}},
  };
  for (const auto& C : Cases) {
    TState* S = TestStateWith(C.Fen);
    ASSERT_TRUE(PlayMoves(S, C.A)) << C.Fen;
    const TPosition A = S->Position;
    S = TestStateWith(C.Fen);
    ASSERT_TRUE(PlayMoves(S, C.B)) << C.Fen;
    const TPosition& B = S->Position;
    EXPECT_EQ(0, std::memcmp(A.Board, B.Board, sizeof A.Board)) << C.Fen;
    EXPECT_EQ(A.Side, B.Side);
    EXPECT_EQ(A.CastleFlags, B.CastleFlags) << C.Fen;
    EXPECT_EQ(A.Hash, B.Hash) << C.Fen;
    EXPECT_EQ(A.PawnHash, B.PawnHash) << C.Fen;
  }
}

}  // namespace

// Set-up text may give a colour several kings, or let a king be taken: the check tests must still follow
// a king the side has, and a take-back must restore the position as it was.
TEST(MovesMake, SeveralKingsAndTakenKings) {
  struct {
    const char* Fen;
    const char* Move;
    int Side;       // whose KingPosition is looked at
    int KingAfter;  // where it points after the move
  } const Cases[] = {
      {"4k3/8/8/8/8/8/8/K3K2r b - - 0 1", "h1e1", SWhite, SQ_A1},  // one of two kings taken
      {"k6k/8/8/8/8/8/8/K7 b - - 0 1", "a8b8", SBlack, SQ_B8},     // the other king than the one named moves
      {"k6k/8/8/8/8/8/8/K7 b - - 0 1", "h8g8", SBlack, SQ_G8},
      {"4k3/8/8/8/8/8/8/4K2r b - - 0 1", "h1e1", SWhite, SQ_E1},  // the only king taken: left where it was
  };
  for (const auto& C : Cases) {
    TState* S = TestStateWith(C.Fen);
    TPosition* P = &S->Position;
    const TPosition Before = *P;
    const TMove Move = ParseMove(S, C.Move);
    ASSERT_NE(Move, 0u) << C.Fen << " " << C.Move;
    TUndoMove Undo;
    DoMakeMove(P, Move, &Undo);
    EXPECT_EQ(P->KingPosition[C.Side], C.KingAfter) << C.Fen << " " << C.Move;
    EXPECT_EQ(PositionFaults(P), "") << C.Fen << " " << C.Move;
    DoUndoMove(P, &Undo);
    EXPECT_TRUE(SamePosition(*P, Before)) << C.Fen << " " << C.Move;
  }
}
