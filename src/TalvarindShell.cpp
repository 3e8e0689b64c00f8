// Program entry: one engine state, one front end chosen by the first argument.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine/Engine.h"
#include "engine/frontend/Settings.h"
#include "engine/frontend/Shell.h"
#include "engine/frontend/UCI.h"
#include "engine/frontend/XBoard.h"
#include "engine/platform/Output.h"
#include "engine/search/Bench.h"

namespace {

// "bench [DEPTH]": the fixed positions on one thread, ending with the two lines engine-testing frameworks
// read. A bad depth is a usage error, told before the engine starts.
bool BenchDepth(int argc, char** argv, int& Depth) {
  Depth = DefaultBenchDepth;
  if (argc < 3) return true;
  char* End = nullptr;
  const long Value = std::strtol(argv[2], &End, 10);
  if (argc > 3 || !*argv[2] || *End || Value < 1 || Value > 64) return false;
  Depth = int(Value);
  return true;
}

void Bench(int Depth) {
  const TBenchTotal Total = RunBench(&State, Depth);
  OutputPrint("Nodes searched: %lld\nNodes/second: %lld\n", (long long)Total.Nodes, (long long)Total.NodesPerSecond());
}

}  // namespace

int main(int argc, char** argv) {
  const char* Face = argc > 1 ? argv[1] : "";
  int Depth = 0;
  if (std::strcmp(Face, "bench") == 0 && !BenchDepth(argc, argv, Depth)) {
    std::fprintf(stderr, "usage: talvarind bench [DEPTH]   (DEPTH from 1 to 64, %d when left out)\n",
                 DefaultBenchDepth);
    return 2;
  }
  EngineStartup();
  if (!InitState(&State)) return 1;
  State.MaxDepth = DefaultShellDepth;
  if (std::strcmp(Face, "xboard") == 0) {
    OutputPrint("\n");
    XBoard(&State);
  } else if (std::strcmp(Face, "uci") == 0) {
    UCI(&State, "");
  } else if (std::strcmp(Face, "bench") == 0) {
    Bench(Depth);
  } else {
    ShellInterface(&State);
  }
  DoneState(&State);
  EngineShutdown();
  return 0;
}
