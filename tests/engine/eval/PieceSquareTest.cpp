#include <gtest/gtest.h>

#include "engine/board/PieceSquare.h"
#include "support/TestState.h"

namespace {

using TPrintedTable = int[8][8];  // rank 8 first, files a to h, as a board is drawn

// Rows without a rank term are written out on every rank, so a stray rank term shows up.
constexpr TPrintedTable PawnOpening = {
    {-15, -5, 10, 25, 25, 10, -5, -15}, {-15, -5, 10, 25, 25, 10, -5, -15}, {-15, -5, 10, 25, 25, 10, -5, -15},
    {-15, -5, 10, 30, 30, 10, -5, -15}, {-15, -5, 10, 28, 28, 10, -5, -15}, {-15, -5, 10, 25, 25, 10, -5, -15},
    {-15, -5, 10, 25, 25, 10, -5, -15}, {-15, -5, 10, 25, 25, 10, -5, -15},
};
constexpr TPrintedTable PawnEnding = {
    {6, 2, -4, -10, -10, -4, 2, 6}, {6, 2, -4, -10, -10, -4, 2, 6}, {6, 2, -4, -10, -10, -4, 2, 6},
    {6, 2, -4, -10, -10, -4, 2, 6}, {6, 2, -4, -10, -10, -4, 2, 6}, {6, 2, -4, -10, -10, -4, 2, 6},
    {6, 2, -4, -10, -10, -4, 2, 6}, {6, 2, -4, -10, -10, -4, 2, 6},
};
constexpr TPrintedTable KnightOpening = {
    {-136, -18, 9, 36, 36, 9, -18, -136}, {-24, -6, 21, 48, 48, 21, -6, -24},     {-3, 15, 42, 69, 69, 42, 15, -3},
    {22, 40, 67, 94, 94, 67, 40, 22},     {20, 38, 65, 92, 92, 65, 38, 20},       {-9, 9, 36, 63, 63, 36, 9, -9},
    {-38, -20, 7, 34, 34, 7, -20, -38},   {-58, -40, -13, 14, 14, -13, -40, -58},
};
constexpr TPrintedTable KnightEnding = {
    {-12, -8, -2, 4, 4, -2, -8, -12}, {-8, -4, 2, 8, 8, 2, -4, -8},     {-2, 2, 8, 14, 14, 8, 2, -2},
    {4, 8, 14, 20, 20, 14, 8, 4},     {4, 8, 14, 20, 20, 14, 8, 4},     {-2, 2, 8, 14, 14, 8, 2, -2},
    {-8, -4, 2, 8, 8, 2, -4, -8},     {-12, -8, -2, 4, 4, -2, -8, -12},
};
constexpr TPrintedTable BishopOpening = {
    {-24, -16, -4, 8, 8, -4, -16, -16}, {-16, -8, 4, 16, 16, 4, 0, -16},    {-4, 4, 16, 28, 28, 24, 4, -4},
    {8, 16, 28, 40, 48, 28, 16, 8},     {8, 16, 28, 48, 40, 28, 16, 8},     {-4, 4, 24, 28, 28, 16, 4, -4},
    {-16, 0, 4, 16, 16, 4, -8, -16},    {-16, -16, -4, 8, 8, -4, -16, -24},
};
constexpr TPrintedTable BishopEnding = {
    {-4, -8, -2, 4, 4, -2, -8, -12}, {-8, 4, 2, 8, 8, 2, -4, -8},     {-2, 2, 16, 14, 14, 8, 2, -2},
    {4, 8, 14, 28, 20, 14, 8, 4},    {4, 8, 14, 20, 28, 14, 8, 4},    {-2, 2, 8, 14, 14, 16, 2, -2},
    {-8, -4, 2, 8, 8, 2, 4, -8},     {-12, -8, -2, 4, 4, -2, -8, -4},
};
constexpr TPrintedTable RookOpening = {
    {-6, 3, 12, 21, 21, 12, 3, -6}, {-6, 3, 12, 21, 21, 12, 3, -6}, {-6, 3, 12, 21, 21, 12, 3, -6},
    {-6, 3, 12, 21, 21, 12, 3, -6}, {-6, 3, 12, 21, 21, 12, 3, -6}, {-6, 3, 12, 21, 21, 12, 3, -6},
    {-6, 3, 12, 21, 21, 12, 3, -6}, {-6, 3, 12, 21, 21, 12, 3, -6},
};
constexpr TPrintedTable RookEnding = {};
constexpr TPrintedTable Queen = {
    {-18, -12, -3, 6, 6, -3, -12, -18}, {-12, -6, 3, 12, 12, 3, -6, -12},   {-3, 3, 12, 21, 21, 12, 3, -3},
    {6, 12, 21, 30, 30, 21, 12, 6},     {6, 12, 21, 30, 30, 21, 12, 6},     {-3, 3, 12, 21, 21, 12, 3, -3},
    {-12, -6, 3, 12, 12, 3, -6, -12},   {-18, -12, -3, 6, 6, -3, -12, -18},
};
constexpr TPrintedTable KingOpening = {
    {120, 45, 15, -30, -30, 15, 45, 120}, {120, 45, 15, -30, -30, 15, 45, 120}, {120, 45, 15, -30, -30, 15, 45, 120},
    {120, 45, 15, -30, -30, 15, 45, 120}, {120, 45, 15, -30, -30, 15, 45, 120}, {120, 45, 15, -30, -30, 15, 45, 120},
    {120, 45, 15, -30, -30, 15, 45, 120}, {120, 45, 15, -30, -30, 15, 45, 120},
};
constexpr TPrintedTable KingEnding = {
    {-172, -48, -12, 24, 24, -12, -48, -172}, {-48, -24, 12, 48, 48, 12, -24, -48},
    {-12, 12, 48, 84, 84, 48, 12, -12},       {24, 48, 84, 120, 120, 84, 48, 24},
    {24, 48, 84, 120, 120, 84, 48, 24},       {-12, 12, 48, 84, 84, 48, 12, -12},
    {-48, -24, 12, 48, 48, 12, -24, -48},     {-172, -48, -12, 24, 24, -12, -48, -172},
};

void ExpectWhiteTable(int Phase, int Piece, const TPrintedTable& Expected) {
  for (int Rank = 7; Rank >= 0; --Rank)
    for (int File = 0; File < 8; ++File)
      EXPECT_EQ(PieceSquareTable[Phase][Piece][Rank * 8 + File], Expected[7 - Rank][File])
          << "phase " << Phase << " piece " << Piece << " on " << char('a' + File) << Rank + 1;
}

class PieceSquareTableTest : public ::testing::Test {
 protected:
  void SetUp() override { TestState(); }  // the engine's start-up builds the table
};

TEST_F(PieceSquareTableTest, WhiteTablesMatchThePrintedOnes) {
  ExpectWhiteTable(GPOpening, PWhitePawn, PawnOpening);
  ExpectWhiteTable(GPEnding, PWhitePawn, PawnEnding);
  ExpectWhiteTable(GPOpening, PWhiteKnight, KnightOpening);
  ExpectWhiteTable(GPEnding, PWhiteKnight, KnightEnding);
  ExpectWhiteTable(GPOpening, PWhiteBishop, BishopOpening);
  ExpectWhiteTable(GPEnding, PWhiteBishop, BishopEnding);
  ExpectWhiteTable(GPOpening, PWhiteRook, RookOpening);
  ExpectWhiteTable(GPEnding, PWhiteRook, RookEnding);
  ExpectWhiteTable(GPOpening, PWhiteQueen, Queen);
  ExpectWhiteTable(GPEnding, PWhiteQueen, Queen);
  ExpectWhiteTable(GPOpening, PWhiteKing, KingOpening);
  ExpectWhiteTable(GPEnding, PWhiteKing, KingEnding);
}

TEST_F(PieceSquareTableTest, BlackTablesAreTheWhiteOnesTurnedHalfACircle) {
  for (int Phase : {GPOpening, GPEnding})
    for (int Type = PPawn; Type <= PKing; ++Type)
      for (int Square = 0; Square < 64; ++Square)
        EXPECT_EQ(PieceSquareTable[Phase][PMBlack | Type][Square], PieceSquareTable[Phase][Type][63 - Square])
            << "phase " << Phase << " type " << Type << " square " << Square;

  // The turn swaps files as well as ranks.
  EXPECT_EQ(PieceSquareTable[GPOpening][PBlackPawn][SQ_E5], 28);
  EXPECT_EQ(PieceSquareTable[GPOpening][PWhitePawn][SQ_D4], 28);
  EXPECT_EQ(PieceSquareTable[GPOpening][PBlackPawn][SQ_D5], 28);
  EXPECT_EQ(PieceSquareTable[GPOpening][PBlackKnight][SQ_H1], -136);
  EXPECT_EQ(PieceSquareTable[GPOpening][PBlackKnight][SQ_A1], -136);
  EXPECT_EQ(PieceSquareTable[GPOpening][PBlackKnight][SQ_A8], -58);
  // A half turn maps each long diagonal onto itself, so black bishops keep the bonus on the same one.
  EXPECT_EQ(PieceSquareTable[GPOpening][PBlackBishop][SQ_H8], -16);
  EXPECT_EQ(PieceSquareTable[GPOpening][PBlackBishop][SQ_A8], -24);
  EXPECT_EQ(PieceSquareTable[GPEnding][PBlackBishop][SQ_A8], -4);
  EXPECT_EQ(PieceSquareTable[GPEnding][PBlackBishop][SQ_H8], -12);
}

TEST_F(PieceSquareTableTest, CodesThatNeverStandOnTheBoardAreZero) {
  for (int Phase : {GPOpening, GPEnding})
    for (int Code : {0, 7, 8, 15})
      for (int Square = 0; Square < 64; ++Square) EXPECT_EQ(PieceSquareTable[Phase][Code][Square], 0);
}

}  // namespace
