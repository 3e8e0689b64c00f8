// Staged move ordering: hash move, winning captures, killers and history-ordered quiet moves, losing captures.
#pragma once

#include <cstdint>

#include "engine/core/State.h"
#include "engine/core/Types.h"
#include "engine/platform/Sync.h"

struct TGeneratedMove {
  TMove Move;
  uint32_t Score;  // larger first, compared unsigned
};

// Stage: the kind of the move handed out last.
constexpr int32_t MGSNone = 0, MGSFirst = 1, MGSCapturePromotion = 1, MGSQuiet = 2, MGSBadCapture = 3;

// Phase: where the list's state machine stands.
constexpr int32_t MGPFirstMoveToTry = 0, MGPInitCapturesPromotions = 1, MGPSearchCapturesPromotions = 2,
                  MGPInitQuiet = 4, MGPSearchQuiet = 5, MGPInitBadCaptures = 6, MGPSearchBadCaptures = 7,
                  MGPFinished = 255;

// Lives on the stack frame of the node that owns it and is never copied.  At a split point the helpers
// draw from the master's list while holding Lock.
struct TGeneratedMoves {
  int32_t Stage;
  int32_t Index;
  int32_t Count;
  TGeneratedMove Items[MaxMoves];
  TParallelLock Lock;
  int32_t DoBadCaptures;
  int32_t Phase;
  int32_t BadCount;
  int32_t DoQuiet;
  TMove FirstMoveToTry;
  TMove MateKiller1;
  TMove MateKiller2;
  TMove Killer1;
  TMove Killer2;
  TGeneratedMove BadItems[MaxMoves];  // losing captures, in the order they were deferred
  TMoveBuffer Moves;                  // generator scratch, ended by a 0 word
};

void InitMoves(TGeneratedMoves* List, TMove FirstMoveToTry, const TSearchStack* Stack, bool DoQuiet,
               bool DoBadCaptures);
// Hands out the next pseudo-legal move; false once the list is used up (and on every later call).
bool GetNextBestMove(const TPosition* Position, TGeneratedMoves* List, TMove& Move);
// One selection-sort step over Items[Index..Count): the best score, the earliest among equals.
bool SortAndGetNextBestMove(TGeneratedMoves* List, TMove& Move);

int32_t MVVLVA(const TPosition* Position, TMove Move);
bool IsBadCapture(const TPosition* Position, TMove Move);
// Material balance of the exchange on To that starts with the piece on From, for the side to move.
int32_t SwapStaticExchangeEvaluation(const TPosition* Position, int From, int To);
