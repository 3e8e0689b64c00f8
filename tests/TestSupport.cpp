#include "TestSupport.h"

#include <cstdio>
#include <cstdlib>

#include "engine/board/Position.h"

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
