// Adding and removing one piece's share of a position's derived fields.
#pragma once

#include "engine/board/Hash.h"
#include "engine/core/Types.h"
#include "engine/eval/PieceSquare.h"

// Everything but the bitboards, which callers toggle themselves.
inline void AddPieceScores(TPosition* P, int Code, int Square) {
  const int Type = Code & 7, Side = Code >> 3;
  P->Phase += PiecePhaseScores[Type];
  P->MaterialScores[Side] += PieceMaterialScores[Type];
  P->PositionScores[GPOpening][Side] += PieceSquareTable[GPOpening][Code][Square];
  P->PositionScores[GPEnding][Side] += PieceSquareTable[GPEnding][Code][Square];
}

inline void RemovePieceScores(TPosition* P, int Code, int Square) {
  const int Type = Code & 7, Side = Code >> 3;
  P->Phase -= PiecePhaseScores[Type];
  P->MaterialScores[Side] -= PieceMaterialScores[Type];
  P->PositionScores[GPOpening][Side] -= PieceSquareTable[GPOpening][Code][Square];
  P->PositionScores[GPEnding][Side] -= PieceSquareTable[GPEnding][Code][Square];
}

inline void MovePieceScores(TPosition* P, int Code, int From, int To) {
  const int Side = Code >> 3;
  P->PositionScores[GPOpening][Side] += PieceSquareTable[GPOpening][Code][To] - PieceSquareTable[GPOpening][Code][From];
  P->PositionScores[GPEnding][Side] += PieceSquareTable[GPEnding][Code][To] - PieceSquareTable[GPEnding][Code][From];
}

inline void TogglePieceKeys(TPosition* P, int Code, int Square) {
  P->Hash ^= HashPieces[Code][Square];
  if ((Code & 7) == PPawn) P->PawnHash ^= HashPieces[Code][Square];
}

inline void TogglePieceBits(TPosition* P, int Code, int Square) {
  const TBitboard Bit = TBitboard(1) << Square;
  P->Bitboards[Code & 8] ^= Bit;
  P->Bitboards[Code & 7] ^= Bit;
}
