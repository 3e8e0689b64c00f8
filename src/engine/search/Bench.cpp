#include "engine/search/Bench.h"

#include <cstdio>

#include "engine/board/Position.h"
#include "engine/moves/Notation.h"
#include "engine/platform/Memory.h"
#include "engine/platform/Output.h"
#include "engine/platform/Timer.h"
#include "engine/search/Think.h"
#include "engine/search/TransTable.h"

TBenchTotal SearchPositions(TState* S, const std::vector<std::string>& Fens, int Depth, const std::string& Label) {
  S->Mode = MNone;
  S->MaxDepth = Depth;
  S->MaxNodes = 0;
  S->MaxTime = 0;
  TBenchTotal Total;
  for (const std::string& Fen : Fens) {
    InitStandardBoard(S);
    SetPosition(&S->Position, Fen);
    S->HistoryPly = 0;
    // A new game wipes the table and faults it in again behind the caller: not search time.
    WaitForPopulate();
    const THighResTime Start = HighResTimerGetTime();
    Think(S);
    const int64_t Milliseconds = HighResTimeToMilliseconds(HighResTimerGetTime() - Start);
    const TBenchTotal One{S->TotalNodes.load(), Milliseconds};
    Total.Nodes += One.Nodes;
    Total.Milliseconds += One.Milliseconds;
    OutputPrint("%s %lld %lld %lld %s\n", Label.c_str(), (long long)One.Nodes, (long long)One.Milliseconds,
                (long long)One.NodesPerSecond(), MoveToString(S->BestMove).c_str());
    OutputFlush();
  }
  return Total;
}

TBenchTotal RunBench(TState* S, int Depth, std::vector<std::string> Fens) {
  if (Fens.empty()) Fens.assign(std::begin(BenchPositions), std::end(BenchPositions));
  // Idle threads asleep as well, so that they never touch the table meanwhile.
  S->UsedThreadCount = 1;
  S->UseThreadSleeping = true;
  // The counts depend on the table's size, which differs between machines and builds; the bench's own
  // size is the same everywhere.
  const int64_t Megabytes = TranspositionTableMegabytes(S);
  if (Megabytes != BenchHashMegabytes) TranspositionTableResize(S, BenchHashMegabytes);
  // And nothing learnt before: a second bench in the same process counts the same tree.
  InitBoard(S);
  ClearSearchTables(S);
  const TBenchTotal Total = SearchPositions(S, Fens, Depth, "search " + std::to_string(Depth));
  if (Megabytes != BenchHashMegabytes) TranspositionTableResize(S, Megabytes);
  return Total;
}
