// The one engine state record, which every layer reads: limits, options, the position and game record,
// the tables and the search threads' shared fields. Each group of fields says which layer writes it.
//
// The record points at types of higher layers that it only declares: the table entries (search/TransTable.h,
// eval/Pawns.h) and the threads with their split points (search/Parallel.h). tools/layers sees includes, so
// it cannot see these dependencies of core on search and eval: core holds the pointers and nothing else
// of them, and only the layers that define those types touch what they point at.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "engine/core/SearchHooks.h"
#include "engine/core/Types.h"
#include "engine/platform/Sync.h"

struct TSplitPoint;
struct TTranspositionTableItem;
class TParallelThread;
struct TPawnHashTableItem;

// Written by the search only.
struct TSearchStack {
  TSplitPoint* SplitPoint;
  TMove CurrentMove;
  int32_t Extensions;
  int32_t Reductions;
  int32_t InCheck;
  TMove MateKiller1;
  TMove MateKiller2;
  TMove Killer1;
  TMove Killer2;
  uint64_t Hash;
};
using PSearchStack = TSearchStack*;

// The most lines a think reports, and the moves kept of each line's variation after the first.
constexpr int MaxMultiPV = 256;
constexpr int MaxLinePV = 64;

// The root search stack runs from index -2 to the last game entry plus a full search path above it.
constexpr int SearchStackLow = -2;
constexpr int SearchStackHigh = MaxGameMoves + MaxPly + 2;
constexpr int SearchStackEntries = SearchStackHigh - SearchStackLow + 1;

struct TState {
  // Search: what the search threads write while they search (the split lock, the counters they add to,
  // the mask of free threads) gets a cache line of its own, so that their updates do not evict the table
  // pointers, limits and flags that every node reads.
  std::atomic<int32_t> Lock;
  std::atomic<int32_t> IterativeDepth;
  alignas(64) std::atomic<int32_t> CheckCounter;
  alignas(64) std::atomic<uint64_t> FreeThreadMask;
  // The tables: search/TransTable sizes and fills the transposition table; the entry layer allocates the
  // pawn hash and eval fills it; the search's ClearSearchTables empties both for a new game.
  alignas(64) TTranspositionTableItem* TranspositionTable;
  // Entries - 1; the entries are a power of two.
  uint64_t TranspositionTableMask;
  size_t TranspositionTableBytes;
  TPawnHashTableItem* PawnHashTable;
  // Set by the first store after the table was last zeroed, so that a new game on a clean table skips
  // wiping a whole gigabyte again.
  std::atomic<bool> TranspositionTableDirty;
  // Search: the think's answer.
  TMove BestMove;
  // Front end: the depth limit.
  int32_t MaxDepth;
  // Search: the table's age, one step per root search.
  uint32_t Generation;
  // Front end: moves to the next time control (1: the whole game on one clock), and the node limit.
  int32_t MovesPerControl;
  int32_t MaxNodes;
  // The think (search/Think), and the XBoard dialogue around its ponder and hint searches.
  int32_t Hint;
  int32_t InfiniteSearch;
  // The think's budget in ms; atomic because a ponder hit sets it anew while the search runs.
  std::atomic<int64_t> MaxThinkTime;
  // The clocks: the front end sets them, InitBoard resets them, search/TimeControl runs them down.
  int64_t TimeIncrement[2];
  int64_t TimeLeft[2];
  int32_t MovesLeft[2];
  // Search: the principal variation of the last think.
  TMove PV[256];
  // Front end: the root moves a think may choose from (none: all of them), and how many best lines it
  // reports. Search: each line after the first with its variation in LinePVs.
  int32_t SearchMovesCount;
  TMove SearchMoves[256];
  int32_t MultiPV;
  TMove LinePVs[MaxMultiPV - 1][MaxLinePV];
  // Front end: the time per control.
  int64_t MaxTime;
  // The think and search/TimeControl: when it polled for input last, and when it started.
  int64_t LastPollTime;
  int64_t StartTime;
  // When a ponder search became the real think (0: it did not), from which its budget counts instead of
  // from StartTime. Written by whichever thread reads the input.
  std::atomic<int64_t> PonderHitTime;
  // The think: when it ended.
  int64_t StopTime;
  // Front end: the Ponder option.
  int32_t Pondering;
  // Search: the node counts (64-bit: a 32-bit count turns negative within minutes of analysis), and how
  // many nodes lie between two stop checks (the think sets it).
  alignas(64) std::atomic<int64_t> TotalNodes;
  alignas(64) int32_t NodeInterval;
  int64_t Nodes;
  // Search (search/Parallel): the threads it has; the front end sets how many of them a think uses.
  int32_t ThreadCount;
  int32_t MaxThreadCount;
  int32_t UsedThreadCount;
  // UsedThreadCount as the current think started: what idle threads read while the front end may
  // already change the setting for the next one.
  std::atomic<int32_t> ThinkThreadCount{MaxCPUCores};
  // Front end: the options for sleeping idle threads and the fast evaluation.
  std::atomic<int32_t> UseThreadSleeping;
  int32_t UseFastEval;
  // The think's flags: the front end raises the stops and the quit from its input, the search a stop
  // from its limits; Thinking and StopOnPonderHit are the think's own.
  std::atomic<int32_t> AbortSearch;
  std::atomic<int32_t> Thinking;
  // Raised when the deepening rules would end a ponder search, so that its ponder hit ends it at once.
  std::atomic<int32_t> StopOnPonderHit;
  std::atomic<int32_t> PonderSearch;
  std::atomic<int32_t> Quit;
  // Front end: the dialogue that runs.
  int32_t Mode;
  // The active dialogue's side of a think (core/SearchHooks.h); null: a think reports nothing.
  const TSearchHooks* Hooks;
  // The think: the side to move at the root of the running think, since the position itself has root
  // moves made on it while the search polls for input.
  int32_t RootSide;
  // Moves (MakeMove): the game record.
  THistoryStack HistoryStack;
  // Front end: whether a think posts its thinking lines (XBoard's post and nopost), and whether the
  // running iteration's line is out already.
  int32_t PostThinking;
  int32_t Dumped;
  // Board and moves: the position, and how many game moves lead to it.
  TPosition Position;
  int32_t HistoryPly;
  // Search: the history counts of quiet moves.
  std::atomic<int32_t> HistoryHeuristic[16][64];
  // Search: the root search stack and the threads (search/Parallel).
  TSearchStack SearchStackStorage[SearchStackEntries];
  TParallelThread* Threads[MaxCPUCores];
  TSimpleSemaphore DoneSemaphore;
  int32_t CPUCores[MaxCPUCores];
  int32_t CountCPUCores;

  // Entry i of the root search stack, for i in SearchStackLow..SearchStackHigh.
  TSearchStack* SearchStack(int i) { return &SearchStackStorage[i - SearchStackLow]; }
};

extern TState State;
