#include "engine/search/Think.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine/board/Hash.h"
#include "engine/moves/GameEnd.h"
#include "engine/moves/MakeMove.h"
#include "engine/moves/Notation.h"
#include "engine/platform/Timer.h"
#include "engine/search/Hooks.h"
#include "engine/search/RootSearch.h"
#include "engine/search/TimeControl.h"

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
  std::memset(S->PVStack, 0, sizeof S->PVStack);
  for (auto& Row : S->HistoryHeuristic)
    for (auto& Counter : Row) Counter.store(0, std::memory_order_relaxed);
  S->StartTime = GetMilliseconds();
  S->PonderHitTime.store(0, std::memory_order_relaxed);
  S->LastPollTime = 0;
  if (TryOpeningBook(S)) {
    S->PV[0] = S->BestMove;
    S->PV[1] = 0;
    // Reported as an iteration of depth 0 with score 0.
    const TSearchLine Line{0, S->PV};
    HookIterationStarted(S, 0);
    HookIterationDone(S, 0, &Line, 1);
  } else {
    S->BestMove = SearchRoot(S, &S->Position);
  }
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

bool TryOpeningBook(TState* S) {
  S->OpeningBookIndicesCount = 0;
  const uint64_t Hash = S->Position.Hash;
  TOpeningBookHashMapItem* const Head = S->OpeningBookHashMap[Hash & 65535];
  bool Found = false;
  int32_t BestScore = 0;
  for (const TOpeningBookHashMapItem* Item = Head; Item; Item = Item->Next) {
    if (Item->Hash != Hash) continue;
    if (!Found || Item->Score > BestScore) BestScore = Item->Score;
    Found = true;
  }
  if (!Found) return false;
  for (const TOpeningBookHashMapItem* Item = Head; Item; Item = Item->Next) {
    if (Item->Hash != Hash || Item->Score != BestScore) continue;
    if (int32_t(Item->Line) >= S->OpeningBookLinesLength) continue;
    const TOpeningBookLine& Line = S->OpeningBookLines[Item->Line];
    if (Line.MovesCount <= S->HistoryPly || S->HistoryPly >= MaxOpeningBookMoves) continue;
    bool Matches = true;
    for (int32_t I = 0; I < S->HistoryPly && Matches; I++) Matches = Line.Moves[I] == S->HistoryStack[I].Move;
    if (Matches && S->OpeningBookIndicesCount < S->OpeningBookIndicesLength)
      S->OpeningBookIndices[S->OpeningBookIndicesCount++] = int32_t(Item->Line);
  }
  if (S->OpeningBookIndicesCount == 0) return false;
  const int64_t Draw = std::llabs(int64_t(int32_t(GetRandom())));
  const int32_t Chosen = S->OpeningBookIndices[Draw % S->OpeningBookIndicesCount];
  S->BestMove = ParseMove(S, MoveToString(S->OpeningBookLines[Chosen].Moves[S->HistoryPly]));
  return IsLegalWithEnhancedCheck(&S->Position, S->BestMove);
}

void ClearOpeningBook(TState* S) {
  S->OpeningBookIndicesLength = 0;
  S->OpeningBookLinesLength = 0;
  for (auto& Bucket : S->OpeningBookHashMap) {
    TOpeningBookHashMapItem* Item = Bucket;
    Bucket = nullptr;
    while (Item) {
      TOpeningBookHashMapItem* Next = Item->Next;
      delete Item;
      Item = Next;
    }
  }
}
