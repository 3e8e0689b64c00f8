#include "engine/eval/Pawns.h"

#include <cstring>

#include "engine/board/BitOps.h"
#include "engine/board/Tables.h"

void EvalPawnsSide(const TPosition* Position, int Side, int32_t& Opening, int32_t& Ending) {
  Opening = 0;
  Ending = 0;
  const TBitboard Pawns = Position->Bitboards[BBPPawn];
  const TBitboard SideBitboard = Pawns & Position->Bitboards[Side << PMColorShift];
  const TBitboard OtherSideBitboard = Pawns & Position->Bitboards[(Side ^ 1) << PMColorShift];
  TBitboard Remaining = SideBitboard;
  while (Remaining) {
    const int Square = int(PopFirstOneBit(Remaining));
    const int CurrentFile = Square & 7, CurrentRank = Square >> 3;
    const TBitboard SquareBitboard = TBitboard(1) << Square;
    TBitboard FrontBitboard;
    if (Side == SWhite) {
      FrontBitboard = SquareBitboard << 8;
      FrontBitboard |= FrontBitboard << 8;
      FrontBitboard |= FrontBitboard << 16;
      FrontBitboard |= FrontBitboard << 32;
    } else {
      FrontBitboard = SquareBitboard >> 8;
      FrontBitboard |= FrontBitboard >> 8;
      FrontBitboard |= FrontBitboard >> 16;
      FrontBitboard |= FrontBitboard >> 32;
    }

    // Only the rear pawn of a doubled pair pays, so a tripled file pays twice.
    const bool Doubled = (SideBitboard & FrontBitboard) != 0;
    if (Doubled) {
      Opening -= 20;
      Ending -= 10;
    }
    if (!Doubled && !(PassedMask[Side][Square] & OtherSideBitboard)) {
      Opening += PassedBonus[GPOpening][Side][CurrentRank];
      Ending += PassedBonus[GPEnding][Side][CurrentRank];
    }

    // Set-up positions may hold pawns on the back ranks; they are never weak.
    if (CurrentRank == SQ_RANK_1 || CurrentRank == SQ_RANK_8) continue;
    if (SupportMask[Side][Square] & SideBitboard) continue;

    if (!(AdjacentMask[CurrentFile] & SideBitboard)) {
      Opening -= Center[1][CurrentFile];  // isolated
      Ending -= Center[2][CurrentFile];
    } else {
      Opening -= Center[0][CurrentFile];  // backward
      Ending -= Center[1][CurrentFile];
    }
    // A weak pawn on a half-open file is an easy target for rooks.
    if (!(OtherSideBitboard & FrontBitboard)) Opening -= 10;
  }
}

uint64_t EvalPawnsAndStore(const TPosition* Position, TPawnHashTableItem* Entry) {
  int32_t Openings[2], Endings[2];
  EvalPawnsSide(Position, SWhite, Openings[0], Endings[0]);
  EvalPawnsSide(Position, SBlack, Openings[1], Endings[1]);
  const uint64_t Data =
      (uint64_t(uint32_t(Openings[0] - Openings[1]) & 0xFFFF) << 16) | (uint32_t(Endings[0] - Endings[1]) & 0xFFFF);
  Entry->Data.store(Data, std::memory_order_relaxed);
  Entry->Signature.store(Position->PawnHash ^ Data, std::memory_order_relaxed);
  return Data;
}

void PawnHashClear(TState* S) {
  if (S->PawnHashTable) std::memset(static_cast<void*>(S->PawnHashTable), 0, PawnHashTableBytes);
}
