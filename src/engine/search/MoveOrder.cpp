#include "engine/search/MoveOrder.h"

#include <algorithm>

#include "engine/board/Position.h"
#include "engine/board/Tables.h"
#include "engine/moves/MoveGen.h"

namespace {

constexpr uint32_t CaptureKeyBase = 0x40000000u;
constexpr uint32_t QuietKeyBase = 0x40000000u;
constexpr uint32_t MateKiller1Key = 0xF0000000u, MateKiller2Key = 0xE0000000u, Killer1Key = 0xD0000000u,
                   Killer2Key = 0xC0000000u;

inline uint32_t QuietKey(const TPosition* Position, const TGeneratedMoves* List, TMove Move) {
  if (Move == List->MateKiller1) return MateKiller1Key;
  if (Move == List->MateKiller2) return MateKiller2Key;
  if (Move == List->Killer1) return Killer1Key;
  if (Move == List->Killer2) return Killer2Key;
  // Other threads keep adding to the counters; a slightly stale value only blurs the order.
  const int32_t History =
      Position->State->HistoryHeuristic[Position->Board[MoveFrom(Move)]][MoveTo(Move)].load(std::memory_order_relaxed);
  return QuietKeyBase + uint32_t(History);
}

// Scratch to Items, leaving out the move already offered first.
template <bool Quiet>
inline void FillItems(const TPosition* Position, TGeneratedMoves* List) {
  const TMove First = List->FirstMoveToTry;
  int32_t Count = 0;
  // Only edited positions with impossible material can generate more than a list holds.
  for (const TMove* M = List->Moves; *M && Count < MaxMoves; ++M) {
    if (*M == First) continue;
    List->Items[Count].Move = *M;
    List->Items[Count].Score = Quiet ? QuietKey(Position, List, *M) : CaptureKeyBase + uint32_t(MVVLVA(Position, *M));
    ++Count;
  }
  List->Index = 0;
  List->Count = Count;
}

inline TBitboard LowestBit(TBitboard B) { return B & (0 - B); }

}  // namespace

void InitMoves(TGeneratedMoves* List, TMove FirstMoveToTry, const TSearchStack* Stack, bool DoQuiet,
               bool DoBadCaptures) {
  List->Lock.store(0, std::memory_order_relaxed);
  List->Stage = MGSNone;
  List->Phase = MGPFirstMoveToTry;
  List->DoQuiet = DoQuiet;
  List->DoBadCaptures = DoBadCaptures;
  List->FirstMoveToTry = FirstMoveToTry;
  List->MateKiller1 = Stack->MateKiller1;
  List->MateKiller2 = Stack->MateKiller2;
  List->Killer1 = Stack->Killer1;
  List->Killer2 = Stack->Killer2;
  List->Count = 0;
  List->BadCount = 0;
  List->Index = 0;
}

bool SortAndGetNextBestMove(TGeneratedMoves* List, TMove& Move) {
  const int32_t Index = List->Index;
  if (Index >= List->Count) return false;
  TGeneratedMove* const Items = List->Items;
  int32_t Best = Index;
  for (int32_t i = Index + 1; i < List->Count; ++i)
    if (Items[i].Score > Items[Best].Score) Best = i;
  std::swap(Items[Index], Items[Best]);
  Move = Items[Index].Move;
  List->Index = Index + 1;
  return true;
}

bool GetNextBestMove(const TPosition* Position, TGeneratedMoves* List, TMove& Move) {
  for (;;) {
    switch (List->Phase) {
      case MGPFirstMoveToTry:
        List->Stage = MGSFirst;
        List->Phase = MGPInitCapturesPromotions;
        if (List->FirstMoveToTry != 0 && IsLegal(Position, List->FirstMoveToTry)) {
          Move = List->FirstMoveToTry;
          return true;
        }
        break;

      case MGPInitCapturesPromotions:
        List->Stage = MGSCapturePromotion;
        List->Phase = MGPSearchCapturesPromotions;
        GenerateCaptureMoves(Position, List->Moves);
        FillItems<false>(Position, List);
        List->BadCount = 0;
        break;

      case MGPSearchCapturesPromotions:
        // The exchange is only worked out for a capture that has reached the front.
        while (SortAndGetNextBestMove(List, Move)) {
          if (!IsBadCapture(Position, Move)) return true;
          List->BadItems[List->BadCount++] = List->Items[List->Index - 1];
        }
        List->Phase = MGPInitQuiet;
        break;

      case MGPInitQuiet:
        if (!List->DoQuiet) {
          List->Phase = MGPInitBadCaptures;
          break;
        }
        List->Stage = MGSQuiet;
        List->Phase = MGPSearchQuiet;
        GenerateQuietMoves(Position, List->Moves);
        FillItems<true>(Position, List);
        break;

      case MGPSearchQuiet:
        if (SortAndGetNextBestMove(List, Move)) return true;
        List->Phase = MGPInitBadCaptures;
        break;

      case MGPInitBadCaptures:
        if (!List->DoBadCaptures) {
          List->Phase = MGPFinished;
          return false;
        }
        List->Stage = MGSBadCapture;
        List->Index = 0;
        List->Phase = MGPSearchBadCaptures;
        break;

      case MGPSearchBadCaptures:
        if (List->Index < List->BadCount) {
          Move = List->BadItems[List->Index++].Move;
          return true;
        }
        List->Phase = MGPFinished;
        return false;

      default: return false;
    }
  }
}

int32_t MVVLVA(const TPosition* Position, TMove Move) {
  int32_t Attacker, Result;
  const int Type = MoveType(Move);
  if (Type >= MTPromoteKnight) {
    Attacker = Type - 2;
    Result = Attacker - 1;
  } else {
    Attacker = Position->Board[MoveFrom(Move)] & PMPieceMask;
    Result = 0;
  }
  const int32_t Victim = Position->Board[MoveTo(Move)] & PMPieceMask;
  if (Victim != PEmpty) Result += 6 * Victim - Attacker;
  return Result;
}

bool IsBadCapture(const TPosition* Position, TMove Move) {
  const int From = MoveFrom(Move), To = MoveTo(Move);
  const int Mover = Position->Board[From] & PMPieceMask;
  const int Victim = Position->Board[To] & PMPieceMask;
  // Taking a piece of at least the same rank cannot lose; en passant swaps pawn for pawn.
  if (Mover <= Victim || MoveType(Move) == MTEnPassantCapture) return false;
  return SwapStaticExchangeEvaluation(Position, From, To) < 0;
}

int32_t SwapStaticExchangeEvaluation(const TPosition* Position, int From, int To) {
  constexpr int MaxSwaps = 32;
  const TBitboard* const B = Position->Bitboards;
  const TBitboard Diagonal = B[BBPBishop] | B[BBPQueen];
  const TBitboard Straight = B[BBPRook] | B[BBPQueen];

  TBitboard Attackers = AttacksTo(Position, To);
  TBitboard Occupied = B[BBPOccupied] & ~(TBitboard(1) << From);
  int32_t Gain[MaxSwaps];
  Gain[0] = PieceMaterialScores[Position->Board[To] & PMPieceMask];

  // Lifting a capturer may uncover a slider behind it on the same line.
  auto UncoverXRays = [&](int Capturer) {
    if (Capturer == PPawn || Capturer == PBishop || Capturer == PQueen)
      Attackers |= BishopAttacks(Occupied, To) & Diagonal;
    if (Capturer == PRook || Capturer == PQueen) Attackers |= RookAttacks(Occupied, To) & Straight;
    Attackers &= Occupied;
  };

  int OnSquare = Position->Board[From] & PMPieceMask;
  UncoverXRays(OnSquare);
  int Side = Position->Side ^ PMColorMask;
  int Depth = 1;
  while (Depth < MaxSwaps) {
    const TBitboard SideAttackers = Attackers & B[Side];
    if (!SideAttackers) break;
    // A king cannot retake onto a square the other side still attacks, so its capture is struck off.
    if (OnSquare == PKing) {
      if (Depth > 1) --Depth;
      break;
    }
    Gain[Depth] = PieceMaterialScores[OnSquare] - Gain[Depth - 1];
    int Capturer = PPawn;
    TBitboard OfType = SideAttackers & B[PPawn];
    while (!OfType) OfType = SideAttackers & B[++Capturer];
    Occupied &= ~LowestBit(OfType);
    UncoverXRays(Capturer);
    OnSquare = Capturer;
    Side ^= PMColorMask;
    ++Depth;
  }
  while (Depth > 1) {
    --Depth;
    Gain[Depth - 1] = std::min(Gain[Depth - 1], -Gain[Depth]);
  }
  return Gain[0];
}
