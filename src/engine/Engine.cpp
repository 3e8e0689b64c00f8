#include "engine/Engine.h"

#include <cstdio>
#include <memory>

#include "engine/board/BitOps.h"
#include "engine/board/Hash.h"
#include "engine/board/PieceSquare.h"
#include "engine/board/Position.h"
#include "engine/board/Tables.h"
#include "engine/eval/Pawns.h"
#include "engine/platform/Memory.h"
#include "engine/platform/Timer.h"
#include "engine/search/Parallel.h"
#include "engine/search/Think.h"
#include "engine/search/TransTable.h"

void InitializeData() {
  InitCPU();
  InitHash();
  InitMasks();
  InitLineMasks();
  InitAttacks();
  InitPassedMasks();
  InitSupportMasks();
  InitAdjacentMasks();
  InitPieceSquareTable();
  InitPRNG();
}

void EngineStartup() {
  static bool Done = false;
  if (Done) return;
  Done = true;
  TimerResolutionBegin();
  HighResTimerInit();
  InitializeData();
}

void EngineShutdown() { TimerResolutionEnd(); }

static void ReportAllocationFailure(const char* Table, size_t Bytes) {
  std::fprintf(stderr, "talvarind: cannot allocate the %s (%zu bytes)\n", Table, Bytes);
}

// The default table, unless it would take more than half of a small machine's memory: then the largest
// that does not, so that the engine still starts there.
static int64_t StartupHashMegabytes() {
  const int64_t Default = DefaultHashMegabytes();
  const int64_t Half = int64_t(PhysicalMemoryBytes() >> 21);
  if (Half == 0 || Half >= Default) return Default;
  return int64_t(TranspositionTableEntriesFor(Half) * TranspositionTableItemBytes >> 20);
}

static void ReleaseTables(TState* S) {
  TranspositionTableFree(S);
  FreeMemAligned(S->PawnHashTable);
  S->PawnHashTable = nullptr;
}

void SetStateDefaults(TState* S) {
  S->InfiniteSearch = false;
  S->MaxDepth = 256;
  S->Pondering = false;
  S->MovesLeft[0] = S->MovesLeft[1] = 256;
  S->MovesPerControl = 1;
  S->MaxNodes = 0;
  S->MaxThinkTime = 0;
  S->TimeIncrement[0] = S->TimeIncrement[1] = 0;
  S->MaxTime = 0;
  S->MaxThreadCount = S->UsedThreadCount = S->ThreadCount;
  S->UseThreadSleeping = false;
  S->UseFastEval = false;
  S->AbortSearch = false;
  S->Thinking = false;
  S->StopOnPonderHit = false;
  S->PonderSearch = false;
  S->PostThinking = false;
  S->Quit = false;
  S->Mode = MNone;
  S->Hooks = nullptr;
  S->MultiPV = 1;
  S->SearchMovesCount = 0;
}

bool InitState(TState* S) {
  // Zeroed by value-initialisation, which is defined for the atomics the record holds.
  std::destroy_at(S);
  std::construct_at(S);

  const int64_t Megabytes = StartupHashMegabytes();
  if (TranspositionTableResize(S, Megabytes) != TTableSizing::Done) {
    ReportAllocationFailure("transposition table", TranspositionTableBytesFor(TranspositionTableEntriesFor(Megabytes)));
    return false;
  }
  void* Pawns = nullptr;
  GetMemAligned(Pawns, int64_t(PawnHashTableBytes), 16);
  if (!Pawns) {
    ReportAllocationFailure("pawn hash table", PawnHashTableBytes);
    ReleaseTables(S);
    return false;
  }
  S->PawnHashTable = static_cast<TPawnHashTableItem*>(Pawns);
  S->Position.State = S;

  S->HistoryPly = 0;
  S->ThreadCount = 0;
  SetStateDefaults(S);

  InitBoard(S);
  ClearSearchTables(S);
  if (!ParallelInit(S)) {
    ReleaseTables(S);
    return false;
  }
  return true;
}

void DoneState(TState* S) {
  ParallelDone(S);
  ReleaseTables(S);
}
