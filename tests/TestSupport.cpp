#include "TestSupport.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "FuzzSupport.h"
#include "engine/Engine.h"
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

void WriteAll(int Fd, std::string_view Text) {
  while (!Text.empty()) {
    const ssize_t Count = write(Fd, Text.data(), Text.size());
    if (Count <= 0) {
      ADD_FAILURE() << "write to descriptor " << Fd << " failed";
      return;
    }
    Text.remove_prefix(size_t(Count));
  }
}

// The fuzz targets park the input layer between inputs the same way.
void ParkInput() { fuzz::ParkInput(); }
