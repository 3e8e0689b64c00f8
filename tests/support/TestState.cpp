#include "support/TestState.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "FuzzSupport.h"
#include "engine/Engine.h"
#include "engine/board/Position.h"
#include "engine/frontend/Shell.h"
#include "engine/frontend/UCI.h"
#include "engine/frontend/XBoard.h"
#include "engine/platform/Output.h"

TState* TestState() {
  static bool Started = [] {
    EngineStartup();
    if (!InitState(&State)) std::abort();
    std::atexit([] { DoneState(&State); });
    return true;
  }();
  (void)Started;
  InitStandardBoard(&State);
  return &State;
}

TState* TestStateWith(std::string_view Fen) {
  TState* S = TestState();
  SetPosition(&S->Position, Fen);
  S->HistoryPly = 0;
  return S;
}

bool SanitizedRun() {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  return true;
#else
  const char* Value = std::getenv("TALVARIND_SANITIZED");
  return Value != nullptr && *Value != '\0' && std::string_view(Value) != "0";
#endif
}

// The fuzz targets park the input layer between inputs the same way.
void ParkInput() { fuzz::ParkInput(); }

void EnterFace(TState* S, int32_t Mode) {
  S->Mode = Mode;
  S->Hooks = Mode == MUCI ? &UciHooks : Mode == MXBoard ? &XBoardHooks : &ShellHooks;
}

TStateGuard::TStateGuard(TState* S)
    : S(S),
      MaxDepth(S->MaxDepth),
      MovesPerControl(S->MovesPerControl),
      MaxNodes(S->MaxNodes),
      Hint(S->Hint),
      InfiniteSearch(S->InfiniteSearch),
      Pondering(S->Pondering),
      NodeInterval(S->NodeInterval),
      MaxThreadCount(S->MaxThreadCount),
      UsedThreadCount(S->UsedThreadCount),
      UseThreadSleeping(S->UseThreadSleeping),
      UseFastEval(S->UseFastEval),
      Mode(S->Mode),
      PostThinking(S->PostThinking),
      Dumped(S->Dumped),
      IterativeDepth(S->IterativeDepth),
      CheckCounter(S->CheckCounter),
      MaxThinkTime(S->MaxThinkTime),
      MaxTime(S->MaxTime),
      StartTime(S->StartTime),
      LastPollTime(S->LastPollTime),
      Nodes(S->Nodes),
      TotalNodes(S->TotalNodes),
      Hooks(S->Hooks) {
  for (int I = 0; I < 2; I++) {
    MovesLeft[I] = S->MovesLeft[I];
    TimeLeft[I] = S->TimeLeft[I];
    TimeIncrement[I] = S->TimeIncrement[I];
  }
  std::memcpy(PV, S->PV, sizeof PV);
}

TStateGuard::~TStateGuard() {
  S->MaxDepth = MaxDepth;
  S->MovesPerControl = MovesPerControl;
  S->MaxNodes = MaxNodes;
  S->Hint = Hint;
  S->InfiniteSearch = InfiniteSearch;
  S->Pondering = Pondering;
  S->NodeInterval = NodeInterval;
  S->MaxThreadCount = MaxThreadCount;
  S->UsedThreadCount = UsedThreadCount;
  S->UseThreadSleeping = UseThreadSleeping;
  S->UseFastEval = UseFastEval;
  S->Mode = Mode;
  S->Hooks = Hooks;
  S->PostThinking = PostThinking;
  S->Dumped = Dumped;
  S->IterativeDepth = IterativeDepth;
  S->CheckCounter = CheckCounter;
  S->MaxThinkTime = MaxThinkTime;
  S->MaxTime = MaxTime;
  S->StartTime = StartTime;
  S->LastPollTime = LastPollTime;
  S->Nodes = Nodes;
  S->TotalNodes = TotalNodes;
  for (int I = 0; I < 2; I++) {
    S->MovesLeft[I] = MovesLeft[I];
    S->TimeLeft[I] = TimeLeft[I];
    S->TimeIncrement[I] = TimeIncrement[I];
  }
  std::memcpy(S->PV, PV, sizeof PV);
  S->AbortSearch = false;
  S->Quit = false;
  S->PonderSearch = false;
}

TOutputCapture::TOutputCapture(std::function<void(const std::string&)> OnText) : OnText(std::move(OnText)) {
  SetOutputSink(Take, this);
}

void TOutputCapture::Take(std::string_view Piece, void* Context) {
  auto* Capture = static_cast<TOutputCapture*>(Context);
  std::string Copy;
  {
    std::lock_guard<std::mutex> Guard(Capture->Mutex);
    Capture->Written.append(Piece);
    if (Capture->OnText) Copy = Capture->Written;
  }
  if (Capture->OnText) Capture->OnText(Copy);
}

std::string TOutputCapture::Finish() {
  if (Capturing) {
    SetOutputSink(nullptr, nullptr);
    Capturing = false;
  }
  return Text();
}

std::string TOutputCapture::Text() {
  std::lock_guard<std::mutex> Guard(Mutex);
  return Written;
}
