// The one engine state record, which every layer reads: limits, options, the position and game record,
// the tables and the search threads' shared fields.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "engine/core/SearchHooks.h"
#include "engine/core/Types.h"

struct TSplitPoint;
struct TTranspositionTableItem;
class TParallelThread;
class TMultipleReaderSingleWriterLock;
struct TPawnHashTableItem;
struct TSimpleSemaphoreCell;
using TSimpleSemaphore = TSimpleSemaphoreCell*;

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

struct TOpeningBookLine {
  TMove Moves[MaxOpeningBookMoves];
  int32_t MovesCount;
};

struct TOpeningBookHashMapItem {
  TOpeningBookHashMapItem* Next;
  uint64_t Hash;
  uint32_t Line;
  int32_t Score;
};

// Size of the pawn hash table: 2^18 entries of 16 bytes.
constexpr size_t PawnHashTableBytes = (size_t(1) << 18) * 16;

// The transposition table holds a power of two of entries of two words (search/TransTable.h), plus four:
// the last window starts at the highest masked index and runs past the mask. Its size is set at run
// time (the Hash option); here because a new game wipes the table from the board layer.
constexpr size_t TranspositionTableItemBytes = 16;
constexpr uint64_t TranspositionTableSpareItems = 4;
constexpr size_t TranspositionTableBytesFor(uint64_t Entries) {
  return size_t(Entries + TranspositionTableSpareItems) * TranspositionTableItemBytes;
}

// The root search stack runs from index -2 to the last game entry plus a full search path above it.
// The most lines a think reports, and the moves kept of each line's variation after the first.
constexpr int MaxMultiPV = 256;
constexpr int MaxLinePV = 64;

constexpr int SearchStackLow = -2;
constexpr int SearchStackHigh = MaxGameMoves + MaxPly + 2;
constexpr int SearchStackEntries = SearchStackHigh - SearchStackLow + 1;

struct TState {
  // What the search threads write while they search (the split lock, the counters they add to, the mask
  // of free threads) gets a cache line of its own, so that their updates do not evict the table pointers,
  // limits and flags that every node reads.
  std::atomic<int32_t> Lock;
  std::atomic<int32_t> IterativeDepth;
  alignas(64) std::atomic<int32_t> CheckCounter;
  alignas(64) std::atomic<uint64_t> FreeThreadMask;
  alignas(64) TTranspositionTableItem* TranspositionTable;
  // Entries - 1; the entries are a power of two.
  uint64_t TranspositionTableMask;
  size_t TranspositionTableBytes;
  TMultipleReaderSingleWriterLock* TranspositionTablesLock;
  TPawnHashTableItem* PawnHashTable;
  // Set by the first store after the table was last zeroed, so that a new game on a clean table skips
  // wiping a whole gigabyte again.
  std::atomic<bool> TranspositionTableDirty;
  TMove BestMove;
  int32_t MaxDepth;
  uint32_t Generation;
  // Moves to the next time control (1: the whole game on one clock).
  int32_t MovesPerControl;
  int32_t MaxNodes;
  int32_t Hint;
  int32_t InfiniteSearch;
  // The think's budget in ms; atomic because a ponder hit sets it anew while the search runs.
  std::atomic<int64_t> MaxThinkTime;
  int64_t TimeIncrement[2];
  int64_t TimeLeft[2];
  int32_t MovesLeft[2];
  TMove PV[256];
  // The root moves a think may choose from (none: all of them), and how many best lines it reports,
  // each after the first with its variation in LinePVs.
  int32_t SearchMovesCount;
  TMove SearchMoves[256];
  int32_t MultiPV;
  TMove LinePVs[MaxMultiPV - 1][MaxLinePV];
  int64_t MaxTime;
  // Zeroed by the root search and never read: kept for the record's documented layout.
  int64_t ExtraTime;
  int64_t LastPollTime;
  int64_t StartTime;
  // When a ponder search became the real think (0: it did not), from which its budget counts instead of
  // from StartTime. Written by whichever thread reads the input.
  std::atomic<int64_t> PonderHitTime;
  int64_t StopTime;
  int32_t Pondering;
  // Set false at start-up and never read: kept for the record's documented layout.
  int32_t DoStopSearchAtMates;
  // 64-bit: a 32-bit count turns negative within minutes of analysis.
  alignas(64) std::atomic<int64_t> TotalNodes;
  alignas(64) int32_t NodeInterval;
  int64_t Nodes;
  // Set false at start-up and never read: kept for the record's documented layout.
  int32_t Threaded;
  int32_t ThreadCount;
  int32_t MaxThreadCount;
  int32_t UsedThreadCount;
  // UsedThreadCount as the current think started: what idle threads read while the front end may
  // already change the setting for the next one.
  std::atomic<int32_t> ThinkThreadCount{MaxCPUCores};
  std::atomic<int32_t> UseThreadSleeping;
  int32_t UseFastEval;
  std::atomic<int32_t> AbortSearch;
  std::atomic<int32_t> Thinking;
  // Raised when the deepening rules would end a ponder search, so that its ponder hit ends it at once.
  std::atomic<int32_t> StopOnPonderHit;
  std::atomic<int32_t> PonderSearch;
  std::atomic<int32_t> Quit;
  int32_t Mode;
  // The active dialogue's side of a think (core/SearchHooks.h); null: a think reports nothing.
  const TSearchHooks* Hooks;
  // The side to move at the root of the running think: the position itself has root moves made on it
  // while the search polls for input.
  int32_t RootSide;
  THistoryStack HistoryStack;
  // Whether a think posts its thinking lines (XBoard's post and nopost), and whether the running
  // iteration's line is out already.
  int32_t PostThinking;
  int32_t Dumped;
  TPosition Position;
  std::atomic<int32_t> HistoryHeuristic[16][64];
  int32_t HistoryPly;
  // The opening book, which the think asks before each search; nothing fills it, so it answers nothing.
  TOpeningBookLine* OpeningBookLines;
  int32_t OpeningBookLinesLength;
  int32_t* OpeningBookIndices;
  int32_t OpeningBookIndicesLength;
  int32_t OpeningBookIndicesCount;
  TOpeningBookHashMapItem* OpeningBookHashMap[65536];
  // Never used (root requests go to Threads[0]): kept for the record's documented layout.
  TParallelThread* RootThread;
  TSearchStack SearchStackStorage[SearchStackEntries];
  TParallelThread* Threads[MaxCPUCores];
  TSimpleSemaphore DoneSemaphore;
  int32_t CPUCores[MaxCPUCores];
  int32_t CountCPUCores;
  // Cleared by the think before each search and never read: kept for the record's documented layout.
  TMove PVStack[256];

  // Entry i of the root search stack, for i in SearchStackLow..SearchStackHigh.
  TSearchStack* SearchStack(int i) { return &SearchStackStorage[i - SearchStackLow]; }
};

extern TState State;
