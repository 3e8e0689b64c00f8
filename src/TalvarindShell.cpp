// Program entry: one engine state, one front end chosen by the first argument.
#include <cstdio>
#include <cstring>

#include "engine/Engine.h"
#include "engine/frontend/UCI.h"
#include "engine/frontend/XBoard.h"

namespace {

int Unavailable(const char* Face) {
  std::fprintf(stderr, "talvarind: the %s is not available yet\n", Face);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  EngineStartup();
  if (!InitState(&State)) return 1;
  State.MaxDepth = 14;
  const char* Face = argc > 1 ? argv[1] : "";
  int Status;
  if (std::strcmp(Face, "xboard") == 0) {
    std::printf("\n");
    XBoard(&State);
    Status = 0;
  } else if (std::strcmp(Face, "uci") == 0) {
    UCI(&State, "");
    Status = 0;
  } else {
    Status = Unavailable("interactive shell");
  }
  DoneState(&State);
  EngineShutdown();
  return Status;
}
