#include "engine/search/TimeControl.h"

#include <atomic>

#include "engine/moves/MakeMove.h"
#include "engine/platform/Timer.h"
#include "engine/search/Hooks.h"

namespace {

// A single legal root move is searched this many iterations, for the report and the move to ponder on.
constexpr int32_t SingleMoveIterations = 2;
// A mate counts as settled once this many iterations in a row have found it (and deeper than this).
constexpr int32_t MateSettledIterations = 5;
constexpr int32_t MateSettledAfterIteration = 6;
// From this iteration on, a best move that was the easy move from the start may end deepening early.
constexpr int32_t EasyMoveAfterIteration = 7;
// Deepening ends early when the move searched first took more than this share (of 256) of the
// iteration's nodes, once the budget divided by the divisor has gone: the rest of the budget would most
// likely only confirm it.
constexpr int64_t EasyMoveNodeShare = 217, EasyMoveBudgetDivisor = 16;
constexpr int64_t FirstMoveNodeShare = 250, FirstMoveBudgetDivisor = 32;
constexpr int64_t NodeShareWhole = 256;
// A depth limit up to this many plies is kept whatever the clock says.
constexpr int32_t DepthLimitKeptOverTime = 32;
// Input is polled at most this often, in ms.
constexpr int64_t PollInterval = 50;

int64_t BudgetStart(const TState* S) {
  const int64_t Hit = S->PonderHitTime.load(std::memory_order_relaxed);
  return Hit != 0 ? Hit : S->StartTime;
}

bool MateIsSettled(const int32_t* BestScores, int32_t Iteration) {
  bool AllLost = true, AllWon = true;
  for (int32_t I = Iteration - MateSettledIterations + 1; I <= Iteration; I++) {
    if (BestScores[I] > -MateMinScore) AllLost = false;
    if (BestScores[I] < MateMinScore) AllWon = false;
  }
  return AllLost || AllWon;
}

bool TimeIsUp(const TState* S, const TIterationFacts& F) {
  if (S->InfiniteSearch || S->Hint || (S->MaxDepth >= 1 && S->MaxDepth <= DepthLimitKeptOverTime) || S->MaxNodes > 0)
    return false;
  const int64_t Elapsed = GetMilliseconds() - BudgetStart(S);
  const int64_t Budget = S->MaxThinkTime.load(std::memory_order_relaxed);
  if (F.Iteration > EasyMoveAfterIteration && F.BestMove == F.EasyMove) {
    if (F.FirstMoveNodes > F.Nodes * EasyMoveNodeShare / NodeShareWhole && Elapsed > Budget / EasyMoveBudgetDivisor)
      return true;
  } else if (F.FirstMoveNodes > F.Nodes * FirstMoveNodeShare / NodeShareWhole &&
             Elapsed > Budget / FirstMoveBudgetDivisor) {
    return true;
  }
  return Elapsed >= Budget;
}

bool LimitReached(const TState* S, int64_t Elapsed, int64_t NodeSlack) {
  // A ponder search is ended only by the dialogue: a hit, a miss or a stop.
  if (S->PonderSearch.load(std::memory_order_relaxed)) return false;
  Elapsed -= BudgetStart(S) - S->StartTime;
  const int64_t Budget = S->MaxThinkTime.load(std::memory_order_relaxed);
  if (S->Hint) return Budget > 0 && Elapsed > Budget;
  return (Budget > 0 && Elapsed >= Budget) ||
         (S->IterativeDepth > 2 && S->MaxNodes > 0 &&
          S->TotalNodes.load(std::memory_order_relaxed) >= S->MaxNodes + NodeSlack);
}

// Taken by whichever thread polls the input, so that the input layer has one reader at a time: search
// thread 0 in the tree, or the root search between root moves and while it waits for thread 0 (which may
// itself be waiting, for the slaves of a split point, for as long as their subtrees take).
std::atomic<bool> Polling{false};

void PollInput(TState* S, int64_t Elapsed) {
  if (Polling.exchange(true, std::memory_order_acquire)) return;
  const int64_t Distance = Elapsed - S->LastPollTime;
  if (Distance > PollInterval || Distance < -PollInterval) {
    S->LastPollTime = Elapsed;
    HookInSearchInput(S);
  }
  Polling.store(false, std::memory_order_release);
}

}  // namespace

void SetMoverClock(TState* S, TTimeLimit Kind, int64_t Time, int64_t Increment) {
  const int Side = S->Position.Side >> 3;
  switch (Kind) {
    case TTimeLimit::Clock:
      S->MaxTime = Time;
      S->TimeIncrement[Side] = Increment;
      S->TimeLeft[Side] = S->MaxTime;
      S->MovesLeft[Side] = S->MovesPerControl;
      break;
    case TTimeLimit::PerMove:
      S->MaxTime = Time;
      S->MovesPerControl = 1;
      S->TimeIncrement[Side] = 0;
      S->TimeLeft[Side] = Time;
      S->MovesLeft[Side] = 1;
      break;
    case TTimeLimit::None:
      S->MaxTime = 0;
      S->MovesPerControl = 1;
      S->TimeIncrement[Side] = 0;
      S->TimeLeft[Side] = 0;
      S->MovesLeft[Side] = 1;
      break;
  }
}

void SetTimeControl(TState* S, int32_t MovesPerControl, int64_t Base, int64_t Increment) {
  S->MovesPerControl = MovesPerControl;
  S->MaxTime = Base;
  S->TimeIncrement[0] = S->TimeIncrement[1] = Increment;
  S->MovesLeft[0] = S->MovesLeft[1] = S->MovesPerControl;
  S->TimeLeft[0] = S->TimeLeft[1] = S->MaxTime;
}

void SetTimePerMove(TState* S, int64_t Time) {
  S->MovesLeft[0] = S->MovesLeft[1] = 1;
  S->MovesPerControl = 1;
  S->MaxTime = Time;
  S->TimeLeft[0] = S->TimeLeft[1] = S->MaxTime;
  S->TimeIncrement[0] = S->TimeIncrement[1] = 0;
}

void CountMovesToControl(TState* S) {
  const int Side = S->Position.Side >> 3;
  // A whole game in one period has no next control: the budget then shares the clock among the moves
  // still to come, whatever was played before.
  if (S->MovesPerControl <= 0) {
    S->MovesLeft[Side] = 0;
    return;
  }
  const int32_t Made = Side == 0 ? (S->HistoryPly + 1) >> 1 : S->HistoryPly >> 1;
  S->MovesLeft[Side] = -Made;
  while (S->MovesLeft[Side] <= 0) S->MovesLeft[Side] += S->MovesPerControl;
}

bool PlayGameMove(TState* S, TMove Move) {
  if (!MakeMove(&S->Position, Move)) return false;
  CountGameMove(S, (S->Position.Side ^ 8) >> 3);
  return true;
}

void CountGameMove(TState* S, int Mover) {
  // A whole game in one period never starts another: no time is added.
  if (S->MovesPerControl <= 0) return;
  if (--S->MovesLeft[Mover] <= 0) {
    S->MovesLeft[Mover] = S->MovesPerControl;
    if (S->MaxTime != 0) {
      if (S->MovesPerControl == 1) S->TimeLeft[Mover] = S->MaxTime;
      else S->TimeLeft[Mover] += S->MaxTime;
    }
  }
}

void ChargeClock(TState* S, int Side, int64_t Spent) {
  if (S->MaxTime > 0) S->TimeLeft[Side] += S->TimeIncrement[Side] - Spent;
}

int64_t ThinkBudget(const TState* S) { return ThinkBudgetFor(S, S->Position.Side >> 3); }

int64_t ThinkBudgetFor(const TState* S, int Side) {
  const int64_t T = S->TimeLeft[Side], I = S->TimeIncrement[Side];
  const int64_t M = S->MovesLeft[Side];
  const bool Ponder = S->Pondering;
  int64_t Budget;
  if (M == 0) {
    if (I != 0) Budget = (Ponder ? T / 22 : T / 30) + I;
    else Budget = Ponder ? T / 30 : T / 40;
  } else if (M == 1) {
    if (S->MovesPerControl == 1) Budget = Ponder ? T : T * 15 / 16;
    else Budget = Ponder ? T * 3 / 4 : T / 2;
  } else if (M <= 20) {
    Budget = Ponder ? (T * 4) / (M * 3) : T / M;
  } else {
    Budget = Ponder ? T / 15 : T / 20;
  }
  if (T < Budget) Budget = T;
  Budget -= 50;
  return Budget < 0 ? 0 : Budget;
}

bool CheckForStop(TState* S, bool IsRootThread, bool Force) {
  if (S->AbortSearch.load(std::memory_order_relaxed)) return true;
  if (!Force) {
    if (S->CheckCounter.fetch_add(1, std::memory_order_relaxed) + 1 < S->NodeInterval) return false;
  }
  S->CheckCounter.store(0, std::memory_order_relaxed);
  DoCheckForStop(S, IsRootThread);
  return S->AbortSearch.load(std::memory_order_relaxed);
}

void DoCheckForStop(TState* S, bool IsRootThread) {
  const int64_t Elapsed = GetMilliseconds() - S->StartTime;
  if (IsRootThread) PollInput(S, Elapsed);
  if (LimitReached(S, Elapsed, 0)) S->AbortSearch.exchange(true, std::memory_order_relaxed);
}

void CheckLimitsWhileWaiting(TState* S) {
  if (S->AbortSearch.load(std::memory_order_relaxed)) return;
  const int64_t Elapsed = GetMilliseconds() - S->StartTime;
  PollInput(S, Elapsed);
  // Between two checks the threads count up to a node interval and a batch each.
  const int64_t Slack = 2 * int64_t(S->NodeInterval) + 64 * int64_t(S->ThreadCount);
  if (LimitReached(S, Elapsed, Slack)) S->AbortSearch.exchange(true, std::memory_order_relaxed);
}

void PonderHit(TState* S) {
  S->PonderHitTime.store(GetMilliseconds(), std::memory_order_relaxed);
  S->PonderSearch.store(false, std::memory_order_relaxed);
  if (S->StopOnPonderHit.load(std::memory_order_relaxed)) S->AbortSearch.store(true, std::memory_order_relaxed);
}

bool DeepeningShouldEnd(const TState* S, const TIterationFacts& F) {
  return (F.Iteration > SingleMoveIterations && F.RootMoves == 1) ||
         (F.Iteration > MateSettledAfterIteration && MateIsSettled(F.BestScores, F.Iteration)) || TimeIsUp(S, F);
}
