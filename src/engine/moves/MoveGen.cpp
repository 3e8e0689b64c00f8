#include "engine/moves/MoveGen.h"

#include "engine/board/BitOps.h"
#include "engine/board/Position.h"
#include "engine/moves/MakeMove.h"

namespace {

constexpr uint32_t Capture = MFCapture << 16;

inline TMove* AddPromotions(TMove* M, int From, int To, uint32_t Flags) {
  const TMove Base = TMove(From) | (TMove(To) << 6) | Flags;
  *M++ = Base | (TMove(MTPromoteQueen) << 12);
  *M++ = Base | (TMove(MTPromoteRook) << 12);
  *M++ = Base | (TMove(MTPromoteBishop) << 12);
  *M++ = Base | (TMove(MTPromoteKnight) << 12);
  return M;
}

// Pawn targets by a shift of the whole set; Delta is the step from the pawn to its target.
inline TMove* AddPawnMoves(TMove* M, TBitboard Targets, int Delta, TMove TypeAndFlags) {
  while (Targets) {
    const int To = int(PopFirstOneBit(Targets));
    *M++ = TMove(To - Delta) | (TMove(To) << 6) | TypeAndFlags;
  }
  return M;
}

inline TMove* AddPawnPromotions(TMove* M, TBitboard Targets, int Delta, uint32_t Flags) {
  while (Targets) {
    const int To = int(PopFirstOneBit(Targets));
    M = AddPromotions(M, To - Delta, To, Flags);
  }
  return M;
}

inline TBitboard Shift(TBitboard B, int Delta) { return Delta > 0 ? B << Delta : B >> -Delta; }

template <int Type>
inline TBitboard PieceAttacks(int Square, TBitboard Occupancy) {
  if constexpr (Type == PKnight) return AttackTables[ATPKnight][Square];
  else if constexpr (Type == PBishop) return BishopAttacks(Occupancy, Square);
  else if constexpr (Type == PRook) return RookAttacks(Occupancy, Square);
  else if constexpr (Type == PQueen) return QueenAttacks(Occupancy, Square);
  else return AttackTables[ATPKing][Square];
}

template <int Type>
inline TMove* AddPieceMoves(TMove* M, const TBitboard* B, int Us, TBitboard Targets, TMove Flags) {
  TBitboard Pieces = B[Us] & B[Type];
  const TBitboard Occupancy = B[BBPOccupied];
  while (Pieces) {
    const int From = int(PopFirstOneBit(Pieces));
    TBitboard To = PieceAttacks<Type>(From, Occupancy) & Targets;
    while (To) *M++ = TMove(From) | (TMove(PopFirstOneBit(To)) << 6) | Flags;
  }
  return M;
}

template <int Us>
TMove* Captures(const TPosition* P, TMove* M) {
  constexpr int Them = Us ^ 8;
  constexpr bool White = Us == CWhite;
  constexpr TBitboard PromotionRank = White ? BB_RANK_7 : BB_RANK_2;
  constexpr TBitboard BaseRank = White ? BB_RANK_1 : BB_RANK_8;
  // Steps towards the a-file side first, then the h-file side, then straight ahead.
  constexpr int LeftStep = White ? DELTA_NW : DELTA_SW;
  constexpr int RightStep = White ? DELTA_NE : DELTA_SE;
  constexpr int Forward = White ? DELTA_N : DELTA_S;
  const TBitboard* B = P->Bitboards;
  const TBitboard Pawns = B[Us] & B[BBPPawn];
  const TBitboard Enemies = B[Them];
  const TBitboard Empty = ~B[BBPOccupied];

  const TBitboard Promoting = Pawns & PromotionRank;
  if (Promoting) {
    M = AddPawnPromotions(M, Shift(Promoting & ~BB_FILE_A, LeftStep) & Enemies, LeftStep, Capture);
    M = AddPawnPromotions(M, Shift(Promoting & ~BB_FILE_H, RightStep) & Enemies, RightStep, Capture);
    M = AddPawnPromotions(M, Shift(Promoting, Forward) & Empty, Forward, 0);
  }
  // A pawn on its own first rank (set-up positions only) has no moves.
  const TBitboard Others = Pawns & ~(PromotionRank | BaseRank);
  M = AddPawnMoves(M, Shift(Others & ~BB_FILE_A, LeftStep) & Enemies, LeftStep, Capture);
  M = AddPawnMoves(M, Shift(Others & ~BB_FILE_H, RightStep) & Enemies, RightStep, Capture);

  // Only with the enemy pawn that passed the square behind it: the capture removes that pawn, and
  // without it taking back the move would put a pawn of the wrong colour on the board.
  if (P->EnPassant >= 0 && P->EnPassant < 64 && P->Board[P->EnPassant ^ 8] == (Them | PPawn) &&
      P->Board[P->EnPassant] == 0) {
    const int Ep = P->EnPassant;
    const TMove Word = (TMove(Ep) << 6) | (TMove(MTEnPassantCapture) << 12) | Capture;
    // The pawn to the right-below (for White) comes first.
    const int First = White ? Ep - 7 : Ep + 9;
    const int Second = White ? Ep - 9 : Ep + 7;
    if (First >= 0 && First < 64 && (First & 7) != 0 && (Pawns >> First & 1)) *M++ = TMove(First) | Word;
    if (Second >= 0 && Second < 64 && (Second & 7) != 7 && (Pawns >> Second & 1)) *M++ = TMove(Second) | Word;
  }

  M = AddPieceMoves<PKnight>(M, B, Us, Enemies, Capture);
  M = AddPieceMoves<PBishop>(M, B, Us, Enemies, Capture);
  M = AddPieceMoves<PRook>(M, B, Us, Enemies, Capture);
  M = AddPieceMoves<PQueen>(M, B, Us, Enemies, Capture);
  M = AddPieceMoves<PKing>(M, B, Us, Enemies, Capture);
  *M = 0;
  return M;
}

template <int Us>
inline bool CanCastle(const TPosition* P, bool KingSide) {
  constexpr int Them = Us ^ 8;
  constexpr int Base = Us == CWhite ? 0 : 56;
  const TBitboard Occupancy = P->Bitboards[BBPOccupied];
  if (KingSide) {
    if (!(P->CastleFlags & (Us == CWhite ? 1 : 4))) return false;
    if (Occupancy & ((TBitboard(1) << (Base + 5)) | (TBitboard(1) << (Base + 6)))) return false;
    return !Attacked(P, Base + 4, Them) && !Attacked(P, Base + 5, Them);
  }
  if (!(P->CastleFlags & (Us == CWhite ? 2 : 8))) return false;
  if (Occupancy & (TBitboard(7) << (Base + 1))) return false;
  return !Attacked(P, Base + 4, Them) && !Attacked(P, Base + 3, Them);
}

template <int Us>
TMove* Quiets(const TPosition* P, TMove* M) {
  constexpr bool White = Us == CWhite;
  const TBitboard* B = P->Bitboards;
  const TBitboard Empty = ~B[BBPOccupied];
  constexpr int King = White ? SQ_E1 : SQ_E8;
  if (CanCastle<Us>(P, true)) *M++ = MakeMoveWord(King, King + 2, MTCastle);
  if (CanCastle<Us>(P, false)) *M++ = MakeMoveWord(King, King - 2, MTCastle);

  constexpr int Forward = White ? DELTA_N : DELTA_S;
  const TBitboard Pawns = B[Us] & B[BBPPawn];
  const TBitboard Single = Shift(Pawns & ~(White ? BB_RANK_7 | BB_RANK_1 : BB_RANK_2 | BB_RANK_8), Forward) & Empty;
  const TBitboard Double = Shift(Shift(Pawns & (White ? BB_RANK_2 : BB_RANK_7), Forward) & Empty, Forward) & Empty;
  M = AddPawnMoves(M, Double, 2 * Forward, TMove(MTEnPassantSet) << 12);
  M = AddPawnMoves(M, Single, Forward, 0);

  M = AddPieceMoves<PKnight>(M, B, Us, Empty, 0);
  M = AddPieceMoves<PBishop>(M, B, Us, Empty, 0);
  M = AddPieceMoves<PRook>(M, B, Us, Empty, 0);
  M = AddPieceMoves<PQueen>(M, B, Us, Empty, 0);
  M = AddPieceMoves<PKing>(M, B, Us, Empty, 0);
  *M = 0;
  return M;
}

}  // namespace

TMove* GenerateCaptureMoves(const TPosition* P, TMove* Moves) {
  return P->Side == CWhite ? Captures<CWhite>(P, Moves) : Captures<CBlack>(P, Moves);
}

TMove* GenerateQuietMoves(const TPosition* P, TMove* Moves) {
  return P->Side == CWhite ? Quiets<CWhite>(P, Moves) : Quiets<CBlack>(P, Moves);
}

bool IsLegal(const TPosition* P, TMove Move) {
  const int From = MoveFrom(Move), To = MoveTo(Move), Type = MoveType(Move);
  const int Piece = P->Board[From];
  const int Us = P->Side;
  if (Piece == 0 || (Piece & 8) != Us) return false;
  if (P->Board[To] != 0 && (P->Board[To] & 8) == Us) return false;
  const bool IsPawn = (Piece & 7) == PPawn;
  switch (Type) {
    case MTCastle: {
      const int Base = Us == CWhite ? 0 : 56;
      if (From != Base + 4) return false;
      if (To == Base + 6) return Us == CWhite ? CanCastle<CWhite>(P, true) : CanCastle<CBlack>(P, true);
      if (To == Base + 2) return Us == CWhite ? CanCastle<CWhite>(P, false) : CanCastle<CBlack>(P, false);
      return false;
    }
    case MTEnPassantCapture: {
      // As the generator makes it: from beside the pawn that passed the square, which must still stand there.
      const int Behind = To ^ 8;
      const int Files = (From & 7) - (To & 7);
      return IsPawn && To == (P->EnPassant & 0xFF) && P->Board[Behind] == ((Us ^ 8) | PPawn) &&
             (From >> 3) == (Behind >> 3) && (Files == 1 || Files == -1);
    }
    case MTEnPassantSet:
      return IsPawn && P->Board[To] == 0 && P->Board[To ^ 8] == 0 && (Us == CWhite ? From < To : From > To);
    default: break;
  }
  const bool Promotion = Type >= MTPromoteKnight;
  if (!IsPawn) return !Promotion && (AttacksFrom(P, From) >> To & 1);
  const int File = From & 7, Rank = From >> 3;
  if (Us == CWhite) {
    if (Rank == SQ_RANK_1) return false;
    if (Rank == SQ_RANK_7 && !Promotion) return false;
    if (To == From + 8) return P->Board[To] == 0;
    if ((To == From + 7 && File != 0) || (To == From + 9 && File != 7)) return P->Board[To] != 0;
    return false;
  }
  if (Rank == SQ_RANK_8) return false;
  if (Rank == SQ_RANK_2 && !Promotion) return false;
  if (To == From - 8) return P->Board[To] == 0;
  if ((To == From - 9 && File != 0) || (To == From - 7 && File != 7)) return P->Board[To] != 0;
  return false;
}

int GenerateLegalMoves(TPosition* P, TMove* Moves) {
  const TMove* End = GenerateQuietMoves(P, GenerateCaptureMoves(P, Moves));
  int Count = 0;
  for (const TMove* M = Moves; M < End; M++)
    if (LeavesKingSafe(P, *M)) Moves[Count++] = *M;
  Moves[Count] = 0;
  return Count;
}
