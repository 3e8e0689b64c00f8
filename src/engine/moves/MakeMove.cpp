#include "engine/moves/MakeMove.h"

#include "engine/board/PieceContrib.h"
#include "engine/board/Position.h"
#include "engine/board/PositionCheck.h"
#include "engine/core/State.h"

namespace {

inline void CastleRookSquares(int From, int To, int& RookFrom, int& RookTo) {
  if (From < To) {
    RookFrom = To + 1;
    RookTo = To - 1;
  } else {
    RookFrom = From - 4;
    RookTo = To + 1;
  }
}

}  // namespace

void DoMakeMove(TPosition* P, TMove Move, TUndoMove* Undo) {
#ifndef NDEBUG
  const uint64_t KeyBefore = P->Hash ^ PieceKey(P);
#endif
  const int From = MoveFrom(Move), To = MoveTo(Move), Type = MoveType(Move);
  const int Us = P->Side, Them = Us ^ 8;
  const int Piece = P->Board[From];
  const int PieceType = Piece & 7;
  const int Captured = P->Board[To];

  Undo->Move = Move;
  Undo->ToPiece = uint8_t(Captured);
  Undo->EnPassant = int8_t(P->EnPassant);
  Undo->CastleFlags = uint8_t(P->CastleFlags);
  Undo->ReversibleMoves = P->ReversibleMoves;
  Undo->KingPosition[0] = P->KingPosition[0];
  Undo->KingPosition[1] = P->KingPosition[1];
  Undo->Hash = P->Hash;
  Undo->PawnHash = P->PawnHash;

  P->ReversibleMoves = (PieceType == PPawn || Captured) ? 0 : P->ReversibleMoves + 1;

  uint64_t Hash = P->Hash ^ HashCastle[P->CastleFlags & 15];
  P->CastleFlags &= CastleMask[From] & CastleMask[To];
  Hash ^= HashCastle[P->CastleFlags & 15];

  if (P->EnPassant >= 0) {
    Hash ^= HashEnPassant[P->EnPassant];
    P->EnPassant = -1;
  }

  MovePiece(P, Piece, From, To);
  Hash ^= HashPieces[Piece][From] ^ HashPieces[Piece][To];
  if (PieceType == PPawn) P->PawnHash ^= HashPieces[Piece][From] ^ HashPieces[Piece][To];
  if (PieceType == PKing) P->KingPosition[Us >> 3] = uint8_t(To);
  if (Captured) {
    RemoveCapturedPiece(P, Captured, To);
    Hash ^= HashPieces[Captured][To];
    if ((Captured & 7) == PPawn) P->PawnHash ^= HashPieces[Captured][To];
    // Only a position set up with a king en prise lets a king be taken.
    if ((Captured & 7) == PKing) FollowRemainingKing(P, Captured & 8);
  }

  switch (Type) {
    case MTNormal: break;
    case MTCastle: {
      int RookFrom, RookTo;
      CastleRookSquares(From, To, RookFrom, RookTo);
      const int Rook = Us | PRook;
      MovePiece(P, Rook, RookFrom, RookTo);
      Hash ^= HashPieces[Rook][RookFrom] ^ HashPieces[Rook][RookTo];
      break;
    }
    case MTEnPassantCapture: {
      const int Square = To ^ 8;
      const int Pawn = Them | PPawn;
      RemovePiece(P, Pawn, Square);
      Hash ^= HashPieces[Pawn][Square];
      P->PawnHash ^= HashPieces[Pawn][Square];
      break;
    }
    case MTEnPassantSet: {
      const int Passed = To ^ 8;
      const TBitboard Takers =
          P->Bitboards[Them] & P->Bitboards[BBPPawn] & AttackTables[Us == CWhite ? ATPWhitePawn : ATPBlackPawn][Passed];
      if (Takers) {
        P->EnPassant = Passed;
        Hash ^= HashEnPassantFile[Passed & 7];
      }
      break;
    }
    default: {
      const int NewPiece = (Type - 2) | Us;
      RemovePiece(P, Piece, To);
      AddPiece(P, NewPiece, To);
      Hash ^= HashPieces[Piece][To] ^ HashPieces[NewPiece][To];
      P->PawnHash ^= HashPieces[Piece][To];
      break;
    }
  }

  P->Bitboards[BBPOccupied] = P->Bitboards[BBPWhite] | P->Bitboards[BBPBlack];
  P->Side = Them;
  P->Hash = Hash ^ HashSide;
#ifndef NDEBUG
  AssertSoundMove(P, Undo, KeyBefore);
#endif
}

void DoUndoMove(TPosition* P, const TUndoMove* Undo) {
  const TMove Move = Undo->Move;
  const int From = MoveFrom(Move), To = MoveTo(Move), Type = MoveType(Move);
  const int Them = P->Side, Us = Them ^ 8;

  P->CastleFlags = Undo->CastleFlags;
  P->EnPassant = Undo->EnPassant;
  P->ReversibleMoves = Undo->ReversibleMoves;
  P->Hash = Undo->Hash;
  P->PawnHash = Undo->PawnHash;

  // The make's steps taken back: the castling rook, en-passant pawn or promotion first, then the mover,
  // whose square the captured piece gets back.
  if (Type == MTCastle) {
    int RookFrom, RookTo;
    CastleRookSquares(From, To, RookFrom, RookTo);
    MovePiece(P, Us | PRook, RookTo, RookFrom);
  } else if (Type == MTEnPassantCapture) {
    AddPiece(P, Them | PPawn, To ^ 8);
  } else if (Type >= MTPromoteKnight) {
    RemovePiece(P, P->Board[To], To);
    AddPiece(P, Us | PPawn, To);
  }
  MovePiece(P, P->Board[To], To, From);
  if (const int Captured = Undo->ToPiece) AddPiece(P, Captured, To);
  P->KingPosition[0] = Undo->KingPosition[0];
  P->KingPosition[1] = Undo->KingPosition[1];

  P->Bitboards[BBPOccupied] = P->Bitboards[BBPWhite] | P->Bitboards[BBPBlack];
  P->Side = Us;
#ifndef NDEBUG
  AssertSoundPosition(P, "taking back a move");
#endif
}

void DoMakeNullMove(TPosition* P, TUndoMove* Undo) {
  Undo->Move = 0;
  Undo->ToPiece = 0;
  Undo->CastleFlags = uint8_t(P->CastleFlags);
  Undo->EnPassant = int8_t(P->EnPassant);
  Undo->ReversibleMoves = P->ReversibleMoves;
  Undo->Hash = P->Hash;
  Undo->PawnHash = P->PawnHash;
  P->ReversibleMoves++;
  if (P->EnPassant >= 0) {
    P->Hash ^= HashEnPassant[P->EnPassant];
    P->EnPassant = -1;
  }
  P->Side ^= 8;
  P->Hash ^= HashSide;
#ifndef NDEBUG
  AssertSoundPosition(P, "a null move");
#endif
}

void DoUndoNullMove(TPosition* P, const TUndoMove* Undo) {
  P->EnPassant = Undo->EnPassant;
  P->Hash = Undo->Hash;
  P->PawnHash = Undo->PawnHash;
  P->ReversibleMoves--;
  P->Side ^= 8;
#ifndef NDEBUG
  AssertSoundPosition(P, "taking back a null move");
#endif
}

bool MakeMove(TPosition* P, TMove Move) {
  TState* S = P->State;
  if (S->HistoryPly >= MaxHistoryStack) return false;
  const bool InCheck = IsInCheck(P, P->Side);
  TUndoMove Undo;
  if (!MakeLegalMove(P, Move, &Undo)) return false;
  TSearchStack* Entry = S->SearchStack(S->HistoryPly);
  Entry->CurrentMove = Move;
  Entry->Extensions = 0;
  Entry->Reductions = 0;
  Entry->InCheck = InCheck;
  Entry->Hash = P->Hash;
  S->HistoryStack[S->HistoryPly] = Undo;
  S->HistoryPly++;
  return true;
}

bool MakeUndoMove(TPosition* P) {
  TState* S = P->State;
  if (S->HistoryPly == 0) return false;
  S->HistoryPly--;
  const TUndoMove* Undo = &S->HistoryStack[S->HistoryPly];
  if (Undo->Move == 0) DoUndoNullMove(P, Undo);
  else DoUndoMove(P, Undo);
  return true;
}
