// Speed measurements: talvarind-bench perft DEPTH [FEN]
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "engine/board/Position.h"
#include "engine/core/State.h"
#include "engine/moves/GameEnd.h"
#include "engine/platform/Timer.h"

namespace {

int Usage() {
  std::fprintf(stderr, "usage: talvarind-bench perft DEPTH [FEN]\n");
  return 2;
}

bool ParseDepth(const char* Text, int& Depth) {
  char* End = nullptr;
  long V = std::strtol(Text, &End, 10);
  if (!*Text || *End || V < 0 || V > 64) return false;
  Depth = int(V);
  return true;
}

std::string JoinArguments(int First, int argc, char** argv) {
  std::string Text;
  for (int I = First; I < argc; I++) {
    if (!Text.empty()) Text += ' ';
    Text += argv[I];
  }
  return Text;
}

int RunPerft(int argc, char** argv) {
  int Depth;
  if (argc < 3 || !ParseDepth(argv[2], Depth)) return Usage();
  const std::string Fen = argc > 3 ? JoinArguments(3, argc, argv) : std::string("startpos");
  SetPosition(&State.Position, Fen);
  const THighResTime Start = HighResTimerGetTime();
  const uint64_t Leaves = Perft(&State.Position, Depth);
  const int64_t Milliseconds = HighResTimeToMilliseconds(HighResTimerGetTime() - Start);
  const uint64_t Rate = Milliseconds > 0 ? Leaves * 1000 / uint64_t(Milliseconds) : Leaves * 1000;
  std::printf("perft %d %llu %lld %llu\n", Depth, (unsigned long long)Leaves, (long long)Milliseconds,
              (unsigned long long)Rate);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  EngineStartup();
  if (!InitState(&State)) return 1;
  int Status;
  if (std::strcmp(argv[1], "perft") == 0) Status = RunPerft(argc, argv);
  else Status = Usage();
  DoneState(&State);
  return Status;
}
