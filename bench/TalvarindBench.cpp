// Speed measurements: talvarind-bench perft DEPTH [FEN]
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "engine/Engine.h"
#include "engine/board/Position.h"
#include "engine/moves/GameEnd.h"
#include "engine/platform/Timer.h"
#include "engine/search/Bench.h"
#include "engine/search/Parallel.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: talvarind-bench perft DEPTH [FEN]\n"
               "       talvarind-bench search [DEPTH] [FEN ...]\n"
               "       talvarind-bench smp DEPTH THREADS [FEN ...]\n");
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

std::vector<std::string> Arguments(int First, int argc, char** argv) {
  std::vector<std::string> Fens;
  for (int I = First; I < argc; I++) Fens.emplace_back(argv[I]);
  return Fens;
}

void PrintTotal(const TBenchTotal& Total) {
  std::printf("total %lld %lld %lld\n", (long long)Total.Nodes, (long long)Total.Milliseconds,
              (long long)Total.NodesPerSecond());
}

// Each FEN is one argument (quote it), or the fixed benchmark set when none is given.
int RunSearch(int argc, char** argv) {
  // The depth may be left out: the default depth's total is the signature kept in bench/signature.txt.
  int Depth = DefaultBenchDepth;
  const bool DepthGiven = argc >= 3 && ParseDepth(argv[2], Depth);
  if (Depth < 1) return Usage();
  PrintTotal(RunBench(&State, Depth, Arguments(DepthGiven ? 3 : 2, argc, argv)));
  return 0;
}

int RunSmp(int argc, char** argv) {
  int Depth, Threads;
  if (argc < 4 || !ParseDepth(argv[2], Depth) || Depth < 1 || !ParseDepth(argv[3], Threads) || Threads < 1 ||
      Threads > MaxCPUCores)
    return Usage();
  if (Threads > State.ThreadCount) {
    ParallelDone(&State);
    ParallelInit(&State, Threads);
  }
  State.UsedThreadCount = Threads;
  State.MaxThreadCount = Threads;
  for (int I = 0; I < Threads; I++) {
    State.Threads[I]->IdleTicks.store(0);
    State.Threads[I]->Splits.Reset();
  }
  std::vector<std::string> Fens = Arguments(4, argc, argv);
  if (Fens.empty()) Fens.assign(std::begin(BenchPositions), std::end(BenchPositions));
  const TBenchTotal Total =
      SearchPositions(&State, Fens, Depth, "smp " + std::to_string(Depth) + " " + std::to_string(Threads));
  PrintTotal(Total);
  const int64_t Milliseconds = Total.Milliseconds;
  // Where the time went: each thread's share spent waiting for work, and the splits it made.
  for (int I = 0; I < Threads; I++) {
    const TParallelThread* T = State.Threads[I];
    const int64_t Idle = HighResTimeToMilliseconds(T->IdleTicks.load());
    std::printf("thread %d idle %lld ms (%.1f%%) splits %lld\n", I, (long long)Idle,
                Milliseconds > 0 ? 100.0 * double(Idle) / double(Milliseconds) : 0.0,
                (long long)T->Splits.Count.load());
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  EngineStartup();
  if (!InitState(&State)) return 1;
  int Status;
  if (std::strcmp(argv[1], "perft") == 0) Status = RunPerft(argc, argv);
  else if (std::strcmp(argv[1], "search") == 0) Status = RunSearch(argc, argv);
  else if (std::strcmp(argv[1], "smp") == 0) Status = RunSmp(argc, argv);
  else Status = Usage();
  DoneState(&State);
  EngineShutdown();
  return Status;
}
