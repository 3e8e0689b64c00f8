// Program entry: one engine state, one front end chosen by the first argument.
#include <cstdio>
#include <cstring>

#include "engine/Engine.h"
#include "engine/frontend/Settings.h"
#include "engine/frontend/Shell.h"
#include "engine/frontend/UCI.h"
#include "engine/frontend/XBoard.h"

int main(int argc, char** argv) {
  EngineStartup();
  if (!InitState(&State)) return 1;
  State.MaxDepth = DefaultShellDepth;
  const char* Face = argc > 1 ? argv[1] : "";
  if (std::strcmp(Face, "xboard") == 0) {
    std::printf("\n");
    XBoard(&State);
  } else if (std::strcmp(Face, "uci") == 0) {
    UCI(&State, "");
  } else {
    ShellInterface(&State);
  }
  DoneState(&State);
  EngineShutdown();
  return 0;
}
