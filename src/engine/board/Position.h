// Position set-up, FEN text and attack queries.
#pragma once

#include <string_view>

#include "engine/board/BitOps.h"
#include "engine/board/Tables.h"
#include "engine/core/Types.h"

void SetupBoardData(TPosition* Position);
// A piece code (0 for none) on Square, with every derived field kept in step.
void BoardSetPiece(TPosition* Position, uint8_t Square, uint8_t Piece);
// A new game's board: the initial position, an empty game record and the clocks reset. The tables of
// the search and the evaluation are theirs to clear (ClearSearchTables).
void InitBoard(TState* S);
void InitStandardBoard(TState* S);

void SetPosition(TPosition* Position, std::string_view Text);
// Clears each castling right whose king or rook is not on its home square: the generator trusts the rights,
// and castling with a missing rook would conjure one up.
void DropImpossibleCastleRights(TPosition* Position);
// Whether Square may be the en-passant square of the side to move: a square a double step of the other
// side just passed over (empty, on its rank, that side's pawn behind it), with a pawn of the side to move
// to take there. A capture on any other square would corrupt the board.
bool EnPassantPossible(const TPosition* Position, int Square);
// Clears an en-passant square that no longer fits the board (EnPassantPossible), after an edit.
void DropImpossibleEnPassant(TPosition* Position);

TBitboard AttacksFrom(const TPosition* Position, int Square);
TBitboard AttacksTo(const TPosition* Position, int Square);

inline bool Attacked(const TPosition* P, int Square, int Colour) {
  const TBitboard* B = P->Bitboards;
  const TBitboard A = B[Colour];
  if (A & B[BBPPawn] & AttackTablesTo[Colour ? ATPBlackPawn : ATPWhitePawn][Square]) return true;
  if (A & B[BBPKnight] & AttackTablesTo[ATPKnight][Square]) return true;
  const TBitboard Occupancy = B[BBPOccupied];
  const TBitboard Diagonal = A & (B[BBPBishop] | B[BBPQueen]);
  if (Diagonal && (Diagonal & BishopAttacks(Occupancy, Square))) return true;
  const TBitboard Straight = A & (B[BBPRook] | B[BBPQueen]);
  if (Straight && (Straight & RookAttacks(Occupancy, Square))) return true;
  return (A & B[BBPKing] & AttackTablesTo[ATPKing][Square]) != 0;
}

inline bool IsInCheck(const TPosition* P, int Colour) { return Attacked(P, P->KingPosition[Colour >> 3], Colour ^ 8); }

// The side that just moved left its own king attacked.
inline bool IsIllegal(const TPosition* P) { return Attacked(P, P->KingPosition[(P->Side ^ 8) >> 3], P->Side); }

// For after a king of Colour has left its square: a set-up may give a colour several kings, and the check
// tests must follow one the colour still has. Without one, the square it left stays named.
inline void FollowRemainingKing(TPosition* P, int Colour) {
  if (const TBitboard Kings = P->Bitboards[Colour] & P->Bitboards[BBPKing])
    P->KingPosition[Colour >> 3] = uint8_t(FindFirstOneBit(Kings));
}
