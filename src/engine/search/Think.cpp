#include "engine/search/Think.h"

#include <atomic>
#include <cstring>

#include "engine/eval/Pawns.h"
#include "engine/platform/Timer.h"
#include "engine/search/Hooks.h"
#include "engine/search/RootSearch.h"
#include "engine/search/TimeControl.h"
#include "engine/search/TransTable.h"

bool DoThink(TState* S) {
  // The table may still be being faulted in after start-up or a new game. The search does not wait for
  // it: the fault-in leaves what the table holds alone, and a think that waited could neither keep its
  // clock nor answer "stop".
  S->AbortSearch = false;
  S->ThinkThreadCount.store(S->UsedThreadCount, std::memory_order_relaxed);
  S->Thinking = true;
  S->Nodes = 0;
  S->TotalNodes = 0;
  S->BestMove = 0;
  S->RootSide = S->Position.Side;
  std::memset(S->PV, 0, sizeof S->PV);
  for (auto& Row : S->HistoryHeuristic)
    for (auto& Counter : Row) Counter.store(0, std::memory_order_relaxed);
  S->StartTime = GetMilliseconds();
  S->PonderHitTime.store(0, std::memory_order_relaxed);
  S->LastPollTime = 0;
  S->BestMove = SearchRoot(S, &S->Position);
  S->Thinking = false;
  S->StopTime = GetMilliseconds();
  return S->BestMove != 0;
}

bool Think(TState* S) {
  const int Side = S->Position.Side >> 3;
  S->MaxThinkTime = ThinkBudget(S);
  S->InfiniteSearch = S->MaxTime <= 0;
  S->NodeInterval = 32768;
  if (S->MaxNodes != 0 && S->MaxNodes < S->NodeInterval) S->NodeInterval = S->MaxNodes;
  S->Hint = false;
  const bool Result = DoThink(S);
  // After a ponder hit only the time since the hit was the mover's.
  const int64_t Hit = S->PonderHitTime.load(std::memory_order_relaxed);
  ChargeClock(S, Side, S->StopTime - (Hit != 0 ? Hit : S->StartTime));
  return Result;
}

bool ThinkHint(TState* S) {
  S->InfiniteSearch = false;
  S->MaxThinkTime = 1000;
  S->Hint = true;
  const bool Result = DoThink(S);
  S->Hint = false;
  return Result;
}

bool ThinkAndExecute(TState* S) {
  const bool Found = Think(S);
  HookAnswer(S, Found ? S->BestMove : 0);
  return Found && PlayGameMove(S, S->BestMove);
}

void ClearSearchTables(TState* S) {
  std::memset(static_cast<void*>(S->SearchStackStorage), 0, sizeof S->SearchStackStorage);
  for (auto& Row : S->HistoryHeuristic)
    for (auto& Counter : Row) Counter.store(0, std::memory_order_relaxed);
  TranspositionTableClear(S);
  PawnHashClear(S);
  std::memset(S->PV, 0, sizeof S->PV);
}
