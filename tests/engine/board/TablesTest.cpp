#include <gtest/gtest.h>

#include <bit>
#include <cstdlib>
#include <random>
#include <set>

#include "engine/board/Hash.h"
#include "engine/board/Tables.h"
#include "support/TestState.h"

namespace {

TBitboard Bit(int Square) { return TBitboard(1) << Square; }

// Slow reference: walk each ray square by square until it leaves the board or hits a piece.
TBitboard WalkRays(TBitboard Occupancy, int Square, const int (*Directions)[2], int Count) {
  TBitboard Result = 0;
  for (int D = 0; D < Count; D++) {
    int File = (Square & 7) + Directions[D][0], Rank = (Square >> 3) + Directions[D][1];
    while (File >= 0 && File < 8 && Rank >= 0 && Rank < 8) {
      const int T = Rank * 8 + File;
      Result |= Bit(T);
      if (Occupancy & Bit(T)) break;
      File += Directions[D][0];
      Rank += Directions[D][1];
    }
  }
  return Result;
}

const int RookDirections[4][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};
const int BishopDirections[4][2] = {{1, 1}, {1, -1}, {-1, 1}, {-1, -1}};
const int KnightJumps[8][2] = {{1, 2}, {2, 1}, {2, -1}, {1, -2}, {-1, -2}, {-2, -1}, {-2, 1}, {-1, 2}};
const int KingSteps[8][2] = {{1, 0}, {1, 1}, {0, 1}, {-1, 1}, {-1, 0}, {-1, -1}, {0, -1}, {1, -1}};

TBitboard Jumps(int Square, const int (*Steps)[2], int Count) {
  TBitboard Result = 0;
  for (int I = 0; I < Count; I++) {
    const int File = (Square & 7) + Steps[I][0], Rank = (Square >> 3) + Steps[I][1];
    if (File >= 0 && File < 8 && Rank >= 0 && Rank < 8) Result |= Bit(Rank * 8 + File);
  }
  return Result;
}

TEST(BoardTables, SlidingAttackSpotChecks) {
  TestState();
  const TBitboard Rook = RookAttacks(Bit(SQ_A1), SQ_A1);
  EXPECT_EQ(Rook, (BB_FILE_A | BB_RANK_1) & ~Bit(SQ_A1));
  EXPECT_EQ(std::popcount(Rook), 14);
  EXPECT_EQ(RookAttacks(Bit(SQ_A1) | Bit(SQ_A4), SQ_A1),
            Bit(SQ_A2) | Bit(SQ_A3) | Bit(SQ_A4) | (BB_RANK_1 & ~Bit(SQ_A1)));
  EXPECT_EQ(BishopAttacks(~TBitboard(0), SQ_D4), Bit(SQ_C3) | Bit(SQ_E3) | Bit(SQ_C5) | Bit(SQ_E5));
  EXPECT_EQ(QueenAttacks(~TBitboard(0), SQ_D4), AttackTables[ATPKing][SQ_D4]);
  // Pieces on the edge squares end a ray anyway and never change the index.
  EXPECT_EQ(RankIndex(Bit(SQ_A1) | Bit(SQ_H1), SQ_D1), 0u);
  EXPECT_EQ(FileIndex(Bit(SQ_D1) | Bit(SQ_D8), SQ_D4), 0u);
  EXPECT_EQ(RookAttacks(BB_FILE_H, SQ_H4), (BB_RANK_4 & ~Bit(SQ_H4)) | Bit(SQ_H3) | Bit(SQ_H5));
}

TEST(BoardTables, SlidingAttacksMatchRayWalkOnRandomBoards) {
  TestState();
  std::mt19937_64 R(7);
  int Bad = 0;
  for (int Board = 0; Board < 1500; Board++) {
    TBitboard Occupancy = R();
    if (Board % 3 == 1) {  // sparse boards give long rays
      const TBitboard A = R(), B = R();
      Occupancy &= A & B;
    }
    if (Board % 3 == 2) Occupancy |= R();
    if (Board == 0) Occupancy = 0;
    if (Board == 1) Occupancy = ~TBitboard(0);
    for (int S = 0; S < 64; S++) {
      // The slider's own square may or may not be marked occupied.
      const TBitboard Occ = Board & 4 ? Occupancy | Bit(S) : Occupancy & ~Bit(S);
      const TBitboard Rook = WalkRays(Occ, S, RookDirections, 4);
      const TBitboard Bishop = WalkRays(Occ, S, BishopDirections, 4);
      if (RookAttacks(Occ, S) != Rook || BishopAttacks(Occ, S) != Bishop || QueenAttacks(Occ, S) != (Rook | Bishop))
        if (++Bad <= 5)
          ADD_FAILURE() << "square " << S << " occupancy 0x" << std::hex << Occ << ": rook 0x" << RookAttacks(Occ, S)
                        << " expected 0x" << Rook << ", bishop 0x" << BishopAttacks(Occ, S) << " expected 0x" << Bishop;
    }
  }
  EXPECT_EQ(Bad, 0);
}

TEST(BoardTables, FixedAttackTablesAndTheirInverse) {
  TestState();
  EXPECT_EQ(AttackTables[ATPWhitePawn][SQ_E4], Bit(SQ_D5) | Bit(SQ_F5));
  EXPECT_EQ(AttackTablesTo[ATPWhitePawn][SQ_E4], Bit(SQ_D3) | Bit(SQ_F3));
  EXPECT_EQ(AttackTables[ATPBlackPawn][SQ_E4], Bit(SQ_D3) | Bit(SQ_F3));
  EXPECT_EQ(AttackTablesTo[ATPBlackPawn][SQ_E4], Bit(SQ_D5) | Bit(SQ_F5));
  EXPECT_EQ(AttackTables[ATPWhitePawn][SQ_A2], Bit(SQ_B3));
  EXPECT_EQ(AttackTables[ATPWhitePawn][SQ_H2], Bit(SQ_G3));
  EXPECT_EQ(AttackTables[ATPBlackPawn][SQ_A7], Bit(SQ_B6));
  EXPECT_EQ(AttackTables[ATPBlackPawn][SQ_H7], Bit(SQ_G6));
  EXPECT_EQ(AttackTables[ATPWhitePawn][SQ_E8], 0u);
  EXPECT_EQ(AttackTables[ATPBlackPawn][SQ_E1], 0u);

  for (int S = 0; S < 64; S++) {
    EXPECT_EQ(AttackTables[ATPKnight][S], Jumps(S, KnightJumps, 8)) << S;
    EXPECT_EQ(AttackTables[ATPKing][S], Jumps(S, KingSteps, 8)) << S;
    EXPECT_EQ(AttackTables[ATPRook][S], WalkRays(0, S, RookDirections, 4)) << S;
    EXPECT_EQ(AttackTables[ATPBishop][S], WalkRays(0, S, BishopDirections, 4)) << S;
    EXPECT_EQ(AttackTables[ATPQueen][S], AttackTables[ATPRook][S] | AttackTables[ATPBishop][S]) << S;
  }
  for (int K = 0; K < 7; K++)
    for (int From = 0; From < 64; From++)
      for (int To = 0; To < 64; To++)
        ASSERT_EQ(bool(AttackTables[K][From] >> To & 1), bool(AttackTablesTo[K][To] >> From & 1))
            << "kind " << K << " from " << From << " to " << To;
}

TEST(BoardTables, PawnStructureMasks) {
  TestState();
  EXPECT_EQ(PassedMask[0][SQ_E7], Bit(SQ_D8) | Bit(SQ_E8) | Bit(SQ_F8));
  EXPECT_EQ(PassedMask[1][SQ_E2], Bit(SQ_D1) | Bit(SQ_E1) | Bit(SQ_F1));
  EXPECT_EQ(PassedMask[0][SQ_A6], Bit(SQ_A7) | Bit(SQ_B7) | Bit(SQ_A8) | Bit(SQ_B8));
  EXPECT_EQ(PassedMask[1][SQ_H3], Bit(SQ_G2) | Bit(SQ_H2) | Bit(SQ_G1) | Bit(SQ_H1));
  for (int F = 0; F < 8; F++) {
    EXPECT_EQ(PassedMask[0][SQ_A8 + F], 0u);
    EXPECT_EQ(PassedMask[1][SQ_A1 + F], 0u);
  }
  EXPECT_EQ(AdjacentMask[0], BB_FILE_B);
  EXPECT_EQ(AdjacentMask[7], BB_FILE_G);
  EXPECT_EQ(AdjacentMask[4], BB_FILE_D | BB_FILE_F);
  // Beside the square and up (index 0) or down (index 1) the board, the square's own rank included.
  EXPECT_EQ(SupportMask[0][SQ_E4],
            (BB_FILE_D | BB_FILE_F) & (BB_RANK_4 | BB_RANK_5 | BB_RANK_6 | BB_RANK_7 | BB_RANK_8));
  EXPECT_EQ(SupportMask[1][SQ_E4], (BB_FILE_D | BB_FILE_F) & (BB_RANK_1 | BB_RANK_2 | BB_RANK_3 | BB_RANK_4));
  EXPECT_EQ(SupportMask[0][SQ_A7], Bit(SQ_B7) | Bit(SQ_B8));
  EXPECT_EQ(SupportMask[1][SQ_H2], Bit(SQ_G2) | Bit(SQ_G1));
  EXPECT_EQ(SupportMask[1][SQ_E8], BB_FILE_D | BB_FILE_F);
  EXPECT_EQ(SupportMask[0][SQ_A1], BB_FILE_B);
}

TEST(BoardHash, KeysAreFixedAndDistinct) {
  TestState();
  for (int S = 0; S < 64; S++) EXPECT_EQ(HashPieces[0][S], 0u) << S;
  uint64_t X = 0xB2FC5D698703AE14ull;
  EXPECT_EQ(GenerateRandom(X), HashPieces[PWhitePawn][SQ_A1]);
  EXPECT_EQ(GenerateRandom(X), HashPieces[PWhitePawn][SQ_B1]);
  // Every key that can enter a position key must differ from every other and from zero, or two
  // different positions would share their key by construction.
  std::set<uint64_t> Keys;
  size_t Count = 0;
  auto Add = [&](uint64_t K) {
    EXPECT_NE(K, 0u);
    Keys.insert(K);
    Count++;
  };
  for (int C = 1; C < 16; C++)
    for (int S = 0; S < 64; S++) Add(HashPieces[C][S]);
  Add(HashSide);
  for (uint64_t K : HashEnPassant) Add(K);
  for (uint64_t K : HashEnPassantFile) Add(K);
  for (uint64_t K : HashCastle) Add(K);
  EXPECT_EQ(Keys.size(), Count);
}

}  // namespace
