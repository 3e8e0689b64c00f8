#include "engine/board/PieceSquare.h"

#include <cstring>

#include "engine/core/Types.h"

int16_t PieceSquareTable[2][16][64];

namespace {

// One list serves for files and ranks.
constexpr int CenterLine[8] = {-3, -1, 2, 5, 5, 2, -1, -3};
constexpr int RookFile[8] = {-2, 1, 4, 7, 7, 4, 1, -2};
constexpr int KingFile[8] = {8, 3, 1, -2, -2, 1, 3, 8};
// Knights are pushed forward: the deeper the knight, the better, up to the enemy back rank.
constexpr int KnightRank[8] = {-2, -1, 0, 1, 2, 3, 6, 9};

}  // namespace

void InitPieceSquareTable() {
  std::memset(PieceSquareTable, 0, sizeof(PieceSquareTable));
  for (int Square = 0; Square < 64; ++Square) {
    const int File = Square & 7, Rank = Square >> 3;
    const int Centre = CenterLine[File] + CenterLine[Rank];
    const bool Corner = (File == 0 || File == 7) && (Rank == 0 || Rank == 7);
    auto Set = [&](int Piece, int Opening, int Ending) {
      PieceSquareTable[GPOpening][Piece][Square] = int16_t(Opening);
      PieceSquareTable[GPEnding][Piece][Square] = int16_t(Ending);
    };

    int PawnOpening = 5 * CenterLine[File];
    if ((File == SQ_FILE_D || File == SQ_FILE_E) && (Rank == SQ_RANK_4 || Rank == SQ_RANK_5))
      PawnOpening += 2 * Rank - 3;
    Set(PWhitePawn, PawnOpening, -2 * CenterLine[File]);

    Set(PWhiteKnight, 2 * KnightRank[Rank] + 9 * Centre - (Corner && Rank == SQ_RANK_8 ? 100 : 0), 2 * Centre);
    Set(PWhiteBishop, 4 * Centre + (File == Rank ? 8 : 0), 2 * Centre + (File + Rank == 7 ? 8 : 0));
    Set(PWhiteRook, 3 * RookFile[File], 0);
    Set(PWhiteQueen, 3 * Centre, 3 * Centre);
    Set(PWhiteKing, 15 * KingFile[File], 12 * Centre - (Corner ? 100 : 0));
  }
  // Black sees the board turned half a circle, so a1 takes h8's value and b1 takes g8's.
  for (int Phase = 0; Phase < 2; ++Phase)
    for (int Type = 0; Type < 8; ++Type)
      for (int Square = 0; Square < 64; ++Square)
        PieceSquareTable[Phase][PMBlack + Type][Square] = PieceSquareTable[Phase][Type][63 - Square];
}
