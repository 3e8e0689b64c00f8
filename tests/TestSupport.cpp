#include "TestSupport.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "engine/Engine.h"
#include "engine/board/Position.h"
#include "engine/frontend/Input.h"

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

void ParkInput() {
  static const int Parked = [] {
    int Fds[2];
    if (pipe(Fds) != 0) return -1;
    close(Fds[1]);
    return Fds[0];
  }();
  InputAttach(Parked);
}
