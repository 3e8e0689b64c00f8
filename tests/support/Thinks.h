// Whole thinks run in the test process: a guard over the think settings with quiet defaults, one UCI
// think with its reports read, and a state made ready for calling the search functions directly.
#pragma once

#include <string>
#include <vector>

#include "engine/core/State.h"
#include "engine/platform/Timer.h"
#include "engine/search/Think.h"
#include "support/InProcess.h"
#include "support/ProtocolLines.h"
#include "support/TestState.h"

// Saves every setting a think reads, puts quiet defaults in place (no output, no limits, one thread that
// sleeps when idle) and restores the lot when it goes: all tests share the one engine state.
class TThinkSettings {
 public:
  explicit TThinkSettings(TState* S) : Guard(S) {
    S->MaxDepth = 0;
    S->MaxNodes = 0;
    S->MaxTime = 0;
    S->MovesPerControl = 1;
    EnterFace(S, MNone);
    S->PostThinking = false;
    S->UsedThreadCount = 1;
    // Idle workers spinning next to a one-thread search would starve the test's own threads.
    S->UseThreadSleeping = true;
    S->UseFastEval = false;
    S->Pondering = false;
    S->PonderSearch = false;
    S->Hint = false;
    for (int I = 0; I < 2; I++) {
      S->TimeLeft[I] = 0;
      S->MovesLeft[I] = 1;
      S->TimeIncrement[I] = 0;
    }
  }

 private:
  TStateGuard Guard;
};

struct TThinkResult {
  bool Chosen = false;
  std::string Output;
  std::vector<TInfoLine> Infos;
  std::vector<std::string> Others;
};

// One Think in the UCI mode with its reports captured, on the settings already in place.
inline TThinkResult ThinkUCI(TState* S) {
  TInputPipe Input;
  EnterFace(S, MUCI);
  S->PostThinking = true;
  TThinkResult Result;
  {
    TOutputCapture Tap;
    Result.Chosen = Think(S);
    Result.Output = Tap.Finish();
  }
  Result.Infos = InfoLines(Result.Output, &Result.Others);
  return Result;
}

// Puts the state into a running think without limits, as the think driver does, so that search functions
// called directly search instead of returning at once.  Returns the root's stack entry; it and the
// Entries - 1 entries above it are cleared.
inline TSearchStack* BeginNodeSearch(TState* S, int32_t IterativeDepth, int Entries) {
  S->AbortSearch = false;
  S->TotalNodes = 0;
  S->CheckCounter = 0;
  S->NodeInterval = 32768;
  S->StartTime = GetMilliseconds();
  S->LastPollTime = 0;
  S->MaxThinkTime = 0;
  S->IterativeDepth = IterativeDepth;
  S->Thinking = true;
  TSearchStack* Root = S->SearchStack(S->HistoryPly);
  for (int I = 0; I < Entries; I++) Root[I] = TSearchStack{};
  return Root;
}
