// Speed measurements: talvarind-bench perft DEPTH [FEN]
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "BenchPositions.h"
#include "engine/Engine.h"
#include "engine/board/Position.h"
#include "engine/moves/GameEnd.h"
#include "engine/moves/Notation.h"
#include "engine/platform/Memory.h"
#include "engine/platform/Timer.h"
#include "engine/search/Parallel.h"
#include "engine/search/Think.h"

namespace {

constexpr int DefaultSearchDepth = 12;

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

std::vector<std::string> BenchFens(int First, int argc, char** argv) {
  std::vector<std::string> Fens;
  for (int I = First; I < argc; I++) Fens.emplace_back(argv[I]);
  if (Fens.empty())
    for (const char* Fen : BenchPositions) Fens.emplace_back(Fen);
  return Fens;
}

// Searches each position to a fixed depth; prints "<Label> NODES MS NPS BESTMOVE" per position and a total,
// and returns the total milliseconds.
int64_t SearchPositions(const std::vector<std::string>& Fens, int Depth, const std::string& Label) {
  State.Mode = MNone;
  State.MaxDepth = Depth;
  State.MaxNodes = 0;
  State.MaxTime = 0;
  int64_t TotalNodes = 0, TotalMilliseconds = 0;
  for (const std::string& Fen : Fens) {
    InitStandardBoard(&State);
    SetPosition(&State.Position, Fen);
    State.HistoryPly = 0;
    // A new game wipes the table and faults it in again behind the caller: not search time.
    WaitForPopulate();
    const THighResTime Start = HighResTimerGetTime();
    Think(&State);
    const int64_t Milliseconds = HighResTimeToMilliseconds(HighResTimerGetTime() - Start);
    const int64_t Nodes = State.TotalNodes.load();
    TotalNodes += Nodes;
    TotalMilliseconds += Milliseconds;
    std::printf("%s %lld %lld %lld %s\n", Label.c_str(), (long long)Nodes, (long long)Milliseconds,
                (long long)(Milliseconds > 0 ? Nodes * 1000 / Milliseconds : Nodes * 1000),
                MoveToString(State.BestMove).c_str());
    std::fflush(stdout);
  }
  std::printf("total %lld %lld %lld\n", (long long)TotalNodes, (long long)TotalMilliseconds,
              (long long)(TotalMilliseconds > 0 ? TotalNodes * 1000 / TotalMilliseconds : TotalNodes * 1000));
  return TotalMilliseconds;
}

// Each FEN is one argument (quote it), or the fixed benchmark set when none is given.
int RunSearch(int argc, char** argv) {
  // The depth may be left out: the default depth's total is the signature kept in bench/signature.txt.
  int Depth = DefaultSearchDepth;
  const bool DepthGiven = argc >= 3 && ParseDepth(argv[2], Depth);
  if (Depth < 1) return Usage();
  // One search thread, and the idle ones asleep, so that the node counts repeat exactly.
  State.UsedThreadCount = 1;
  State.UseThreadSleeping = true;
  SearchPositions(BenchFens(DepthGiven ? 3 : 2, argc, argv), Depth, "search " + std::to_string(Depth));
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
  const int64_t Milliseconds =
      SearchPositions(BenchFens(4, argc, argv), Depth, "smp " + std::to_string(Depth) + " " + std::to_string(Threads));
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
