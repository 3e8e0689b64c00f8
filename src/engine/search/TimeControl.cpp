#include "engine/search/TimeControl.h"

#include <atomic>
#include <string>

#include "engine/frontend/Input.h"
#include "engine/platform/Timer.h"

TXBoardInSearchHandler XBoardInSearchHandler = nullptr;

int64_t ThinkBudget(const TState* S) {
  const int Side = S->Position.Side >> 3;
  const int64_t T = S->TimeLeft[Side], I = S->TimeIncrement[Side];
  const int64_t M = S->MovesLeft[Side];
  const bool Ponder = S->Pondering;
  int64_t Budget;
  if (M == 0) {
    if (I != 0) Budget = (Ponder ? T / 22 : T / 30) + I;
    else Budget = Ponder ? T / 30 : T / 40;
  } else if (M == 1) {
    if (S->MaxMoves == 1) Budget = Ponder ? T : T * 15 / 16;
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

namespace {

bool LimitReached(const TState* S, int64_t Elapsed, int64_t NodeSlack) {
  if (S->Hint) return S->MaxThinkTime > 0 && Elapsed > S->MaxThinkTime;
  return (S->MaxThinkTime > 0 && Elapsed >= S->MaxThinkTime) ||
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
  if (Distance > 50 || Distance < -50) {
    S->LastPollTime = Elapsed;
    if (S->Mode == MXBoard) {
      if (XBoardInSearchHandler && InputAvailable()) XBoardInSearchHandler(S, S->RootSide ^ 8);
    } else if (S->Mode == MUCI) {
      if (InputAvailable()) ProcessUCIInputWhileSearch(S);
    }
  }
  Polling.store(false, std::memory_order_release);
}

}  // namespace

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

void ProcessUCIInputWhileSearch(TState* S) {
  std::string Line;
  if (!InputReadLine(false, Line)) {
    // The interface has gone: nobody is left to take the move.
    if (InputEnded()) {
      S->PonderSearch = false;
      S->AbortSearch = true;
      S->Quit = true;
    }
    return;
  }
  size_t B = 0, E = Line.size();
  while (B < E && (unsigned char)Line[B] <= 32) B++;
  while (E > B && (unsigned char)Line[E - 1] <= 32) E--;
  const std::string_view Command(Line.data() + B, E - B);
  if (Command == "quit") {
    S->PonderSearch = false;
    S->AbortSearch = true;
    S->Quit = true;
  } else if (Command == "stop") {
    S->AbortSearch = true;
  } else if (Command == "ponderhit") {
    S->PonderSearch = false;
  }
}
