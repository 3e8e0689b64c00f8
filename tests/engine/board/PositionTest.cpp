#include <gtest/gtest.h>

#include <random>

#include "engine/board/Hash.h"
#include "engine/board/Position.h"
#include "engine/board/PositionCheck.h"
#include "engine/moves/MakeMove.h"
#include "engine/moves/Notation.h"
#include "support/PositionChecks.h"
#include "support/TestState.h"

namespace {

TBitboard Bit(int Square) { return TBitboard(1) << Square; }

TEST(BoardSetup, InitialPositionDerivedFields) {
  const TPosition& P = TestState()->Position;
  EXPECT_EQ(P.Bitboards[BBPOccupied], BB_RANK_1 | BB_RANK_2 | BB_RANK_7 | BB_RANK_8);
  EXPECT_EQ(P.Bitboards[BBPWhite], BB_RANK_1 | BB_RANK_2);
  EXPECT_EQ(P.Bitboards[BBPBlack], BB_RANK_7 | BB_RANK_8);
  EXPECT_EQ(P.Bitboards[BBPPawn], BB_RANK_2 | BB_RANK_7);
  EXPECT_EQ(P.Bitboards[BBPKnight], Bit(SQ_B1) | Bit(SQ_G1) | Bit(SQ_B8) | Bit(SQ_G8));
  EXPECT_EQ(P.Bitboards[BBPKing], Bit(SQ_E1) | Bit(SQ_E8));
  uint64_t Pawns = 0;
  for (int F = 0; F < 8; F++) Pawns ^= HashPieces[PWhitePawn][SQ_A2 + F] ^ HashPieces[PBlackPawn][SQ_A7 + F];
  EXPECT_EQ(P.PawnHash, Pawns);
  EXPECT_EQ(P.Phase, 256);
  EXPECT_EQ(P.MaterialScores[0], 4105);
  EXPECT_EQ(P.MaterialScores[1], 4105);
  // The piece-square sums of the mirrored start must be equal for both sides.
  EXPECT_EQ(P.PositionScores[GPOpening][0], P.PositionScores[GPOpening][1]);
  EXPECT_EQ(P.PositionScores[GPEnding][0], P.PositionScores[GPEnding][1]);
}

// The whole-position check on the fields an edit keeps: codes 7, 8 and 15 are faults of their own to it, so
// those squares are read as empty, and castling and en-passant rights are not an edit's business.
std::string EditFaults(const TPosition& P) {
  TPosition Seen = P;
  for (uint8_t& Code : Seen.Board)
    if ((Code & 7) == 0 || (Code & 7) == 7) Code = 0;
  Seen.CastleFlags = 0;
  Seen.EnPassant = -1;
  return PositionFaults(&Seen, true);
}

TEST(BoardSetup, SetPieceKeepsDerivedFieldsInStep) {
  TPosition& P = TestState()->Position;
  // Replacing a piece removes the old one's share first.
  BoardSetPiece(&P, SQ_D1, PBlackKnight);
  EXPECT_EQ(P.Board[SQ_D1], PBlackKnight);
  EXPECT_EQ(P.MaterialScores[SWhite], 4105 - 975);
  EXPECT_EQ(P.MaterialScores[SBlack], 4105 + 325);
  EXPECT_EQ(P.Phase, 256 - 40 + 10);
  EXPECT_TRUE(P.Bitboards[BBPBlack] & Bit(SQ_D1));
  EXPECT_FALSE(P.Bitboards[BBPWhite] & Bit(SQ_D1));
  EXPECT_FALSE(P.Bitboards[BBPQueen] & Bit(SQ_D1));
  EXPECT_EQ(EditFaults(P), "");
  // Emptying an empty square changes nothing.
  const TPosition Before = P;
  BoardSetPiece(&P, SQ_E4, 0);
  EXPECT_TRUE(SamePosition(P, Before));
  // A removed king leaves its square named until a king is placed again.
  BoardSetPiece(&P, SQ_E1, 0);
  EXPECT_EQ(P.KingPosition[SWhite], SQ_E1);
  EXPECT_EQ(P.Bitboards[BBPKing], Bit(SQ_E8));
  BoardSetPiece(&P, SQ_C3, PWhiteKing);
  EXPECT_EQ(P.KingPosition[SWhite], SQ_C3);
  EXPECT_EQ(EditFaults(P), "");

  // Random edits with every code, the unused ones (7, 8, 15) included. Kings come and go, and a colour
  // often has several: KingPosition must name one of them whenever it has one.
  std::mt19937 R(3);
  for (int I = 0; I < 20000; I++) {
    BoardSetPiece(&P, uint8_t(R() % 64), uint8_t(R() % 16));
    ASSERT_EQ(EditFaults(P), "") << "after edit " << I;
  }
  TPosition Q = P;
  SetupBoardData(&Q);
  for (int I = 0; I < BBPCount; I++) EXPECT_EQ(P.Bitboards[I], Q.Bitboards[I]) << I;
  EXPECT_EQ(P.Bitboards[BBPOccupied], P.Bitboards[BBPWhite] | P.Bitboards[BBPBlack]);
  EXPECT_EQ(P.Hash, Q.Hash);
  EXPECT_EQ(P.PawnHash, Q.PawnHash);
}

TEST(BoardAttacks, QueriesOnKnownPositions) {
  TState* S = TestState();
  TPosition* P = &S->Position;
  EXPECT_EQ(AttacksTo(P, SQ_F3), Bit(SQ_G1) | Bit(SQ_E2) | Bit(SQ_G2));
  EXPECT_EQ(AttacksTo(P, SQ_F6), Bit(SQ_G8) | Bit(SQ_E7) | Bit(SQ_G7));
  EXPECT_EQ(AttacksTo(P, SQ_E4), 0u);
  EXPECT_EQ(AttacksFrom(P, SQ_E4), 0u);
  EXPECT_EQ(AttacksFrom(P, SQ_B1), Bit(SQ_A3) | Bit(SQ_C3) | Bit(SQ_D2));
  EXPECT_EQ(AttacksFrom(P, SQ_D1), Bit(SQ_C1) | Bit(SQ_E1) | Bit(SQ_C2) | Bit(SQ_D2) | Bit(SQ_E2));
  EXPECT_FALSE(Attacked(P, SQ_E1, CBlack));
  EXPECT_FALSE(IsInCheck(P, CWhite));
  for (const char* M : {"f2f3", "e7e5", "g2g4", "d8h4"}) ASSERT_TRUE(MakeMove(P, ParseMove(S, M))) << M;
  EXPECT_TRUE(IsInCheck(P, CWhite));
  EXPECT_FALSE(IsInCheck(P, CBlack));
  EXPECT_TRUE(Attacked(P, SQ_E1, CBlack));
  EXPECT_TRUE(AttacksTo(P, SQ_E1) & Bit(SQ_H4));

  // A pinned knight's move is legal by the generator and only found illegal once made.
  TestStateWith("4k3/4r3/8/8/8/8/4N3/4K3 w - - 0 1");
  TUndoMove Undo;
  DoMakeMove(P, Word(SQ_E2, SQ_C3), &Undo);
  EXPECT_TRUE(IsIllegal(P));
  DoUndoMove(P, &Undo);
  DoMakeMove(P, Word(SQ_E1, SQ_D1), &Undo);
  EXPECT_FALSE(IsIllegal(P));
  DoUndoMove(P, &Undo);
}

// AttacksTo, Attacked and AttacksFrom describe one relation from three sides.
TEST(BoardAttacks, QueriesAgreeOnRandomBoards) {
  TPosition& P = TestState()->Position;
  std::mt19937 R(11);
  const uint8_t Codes[] = {PWhitePawn, PWhiteKnight, PWhiteBishop, PWhiteRook, PWhiteQueen, PWhiteKing,
                           PBlackPawn, PBlackKnight, PBlackBishop, PBlackRook, PBlackQueen, PBlackKing};
  int Bad = 0;
  for (int Board = 0; Board < 400; Board++) {
    for (int S = 0; S < 64; S++) P.Board[S] = 0;
    const int Pieces = 2 + int(R() % 30);
    for (int I = 0; I < Pieces; I++) P.Board[R() % 64] = Codes[R() % 12];
    SetupBoardData(&P);
    for (int T = 0; T < 64; T++) {
      TBitboard Expected = 0;
      for (int F = 0; F < 64; F++)
        if (P.Board[F] && (AttacksFrom(&P, F) >> T & 1)) Expected |= Bit(F);
      const TBitboard To = AttacksTo(&P, T);
      if (To != Expected || Attacked(&P, T, CWhite) != bool(To & P.Bitboards[BBPWhite]) ||
          Attacked(&P, T, CBlack) != bool(To & P.Bitboards[BBPBlack]))
        if (++Bad <= 5) ADD_FAILURE() << "board " << Board << " square " << SquareName(T);
    }
  }
  EXPECT_EQ(Bad, 0);
}

}  // namespace
