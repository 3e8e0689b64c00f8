// Adding and removing one piece's share of a position's derived fields.
#pragma once

#include "engine/board/Hash.h"
#include "engine/board/PieceSquare.h"
#include "engine/core/Types.h"

// The scores alone: everything but the board, the bitboards and the keys.
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

// A piece put on, taken off or moved between squares: the board, the colour and piece bitboards and the
// scores.  The keys, the occupied set and the king squares stay with the caller, which updates them once
// per move.  Unmake takes back what make did with the same helpers.
inline void AddPiece(TPosition* P, int Code, int Square) {
  P->Board[Square] = uint8_t(Code);
  TogglePieceBits(P, Code, Square);
  AddPieceScores(P, Code, Square);
}

inline void RemovePiece(TPosition* P, int Code, int Square) {
  P->Board[Square] = 0;
  TogglePieceBits(P, Code, Square);
  RemovePieceScores(P, Code, Square);
}

// The piece a capture takes: the mover already stands on its square, so the board is left alone.
inline void RemoveCapturedPiece(TPosition* P, int Code, int Square) {
  TogglePieceBits(P, Code, Square);
  RemovePieceScores(P, Code, Square);
}

inline void MovePiece(TPosition* P, int Code, int From, int To) {
  P->Board[From] = 0;
  P->Board[To] = uint8_t(Code);
  const TBitboard Bits = (TBitboard(1) << From) | (TBitboard(1) << To);
  P->Bitboards[Code & 8] ^= Bits;
  P->Bitboards[Code & 7] ^= Bits;
  MovePieceScores(P, Code, From, To);
}
