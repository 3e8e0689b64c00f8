// The search threads: one per usable processor and the root hand-off to thread 0 (ThreadPool.cpp), and
// split points (SplitPoint.cpp).
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "engine/core/State.h"
#include "engine/core/Types.h"
#include "engine/platform/Sync.h"
#include "engine/platform/Threads.h"

struct TGeneratedMoves;

constexpr int32_t PTINone = 0, PTSExit = 1, PTSIdle = 2, PTSRootWork = 4, PTSRootWorking = 5, PTSNodeWork = 6,
                  PTSNodeWorking = 7;
constexpr int32_t SRNone = 0, SRDone = 1, SRAlpha = 2, SRBeta = 3, SRStop = 4;
// A node is split among threads only with at least this much depth to go.
constexpr int32_t SplitMinDepthPlies = 6;

// Per-thread stack of a split point: indices -2 .. 256.
constexpr int SplitStackLow = -2;
constexpr int SplitStackEntries = 259;

struct TSplitPoint {
  TSplitPoint* Parent;
  std::atomic<int32_t> Cutoff;
  TPosition* Position;
  TGeneratedMoves* Moves;
  std::atomic<int32_t> LegalMoves;
  int32_t NodeType;
  TMove LastMove;
  TMove FirstMoveToTry;
  int32_t InCheck;
  int32_t MateThread;
  int32_t Depth;
  std::atomic<int32_t> Alpha;
  int32_t Beta;
  int32_t NullMove;
  std::atomic<int32_t> BestScore;
  TMove BestMove;
  int32_t Ply;
  int32_t SplitIndex;
  int32_t SplitResult;
  int32_t Master;
  std::atomic<int32_t> Threads;
  int32_t SearchStackOffset;
  std::atomic<uint64_t> SlavesMask;
  TParallelLock Lock;
  TSearchStack SearchStack[MaxCPUCores][SplitStackEntries];

  // Entry I (from -2) of thread T's stack.
  TSearchStack* Stack(int T, int I) { return &SearchStack[T][I - SplitStackLow]; }
};

struct TParallelThreadRootRequest {
  TSearchStack* SearchStack;
  int32_t NodeType;
  TPosition* Position;
  int32_t Depth;
  int32_t Ply;
  int32_t Alpha;
  int32_t Beta;
  bool NullMove;
  int32_t ResultValue;
};

class TParallelThread : public TThread {
 public:
  TParallelThread(TState* S, int32_t Index);
  ~TParallelThread() override;

  TState* State;
  int32_t ThreadIndex;
  std::atomic<int32_t> ThreadState;
  TSplitPoint* ThreadSplitPoint;
  TSplitPoint RootSplitPoint;
  TSimpleSemaphore WaitSemaphore;
  TSimpleSemaphore DoneSemaphore;
  TParallelThreadRootRequest RootRequest;
  std::atomic<int32_t> SplitPointCount;
  TSplitPoint SplitPoints[MaxSplitPointsPerThread];

  void IdleLoop(TSplitPoint* WaitSplitPoint, int32_t ToState);
  bool ShouldStop(const TSplitPoint* SplitPoint) const;

  int32_t QuiescenceSearch(TSearchStack* SS, TPosition* Position, int32_t Depth, int32_t Ply, int32_t Alpha,
                           int32_t Beta);
  int32_t NegaScoutSearch(TSearchStack* SS, TNodeType NodeType, TPosition* Position, int32_t Depth, int32_t Ply,
                          int32_t Alpha, int32_t Beta, bool NullMove);
  static void ClearSearchStack(TSearchStack* SS);
  void UpdateHistory(const TPosition* Position, TSearchStack* SS, TMove BestMove, int32_t Depth, int32_t Score);

  bool IsThreadAvailableTo(int32_t Master) const;
  bool HasFreeThreads() const;
  int32_t Split(TSearchStack* SS, TPosition* Position, int32_t Depth, int32_t Ply, int32_t& Alpha, int32_t Beta,
                int32_t& BestScore, TMove& BestMove, int32_t& LegalMoves, TGeneratedMoves* Moves, TNodeType NodeType,
                TMove LastMove, TMove FirstMoveToTry, bool InCheck, bool MateThreat, bool NullMove);
  void NegaScoutSplitPoint(TSplitPoint* SplitPoint, TPosition Position);

  // What this thread's splits looked like, for tests and benchmarks: how many it made, the shallowest
  // depth and the fewest moves searched before one, and the shallowest ply split at and the result of the latest split
  // to end.
  struct TSplitRecord {
    std::atomic<int64_t> Count{0};
    std::atomic<int32_t> MinDepth{0}, MinLegalMoves{0}, MinPly{0}, LastResult{SRNone};
    void Reset() {
      Count.store(0, std::memory_order_relaxed);
      MinDepth.store(0, std::memory_order_relaxed);
      MinLegalMoves.store(0, std::memory_order_relaxed);
      MinPly.store(0, std::memory_order_relaxed);
      LastResult.store(SRNone, std::memory_order_relaxed);
    }
  } Splits;
  // High-resolution ticks spent waiting for work during searches (benchmarks reset and read it).
  std::atomic<int64_t> IdleTicks{0};

  // First entry of the stack the thread is searching on; the repetition walk never goes below it.
  TSearchStack* StackFirst;

  // Counts a node and makes the per-node stop check.  Both shared counters are updated in batches:
  // one atomic add per node from every thread would keep their cache line bouncing between processors.
  bool CountNodeAndCheckStop() {
    PendingNodes++;
    if (State->AbortSearch.load(std::memory_order_relaxed)) return true;
    if (++PendingChecks < CheckBatch()) return false;
    return FlushAndCheckStop();
  }
  // Publishes the nodes counted so far (before anyone reads the total).
  void FlushNodes() {
    if (PendingNodes) State->TotalNodes.fetch_add(PendingNodes, std::memory_order_relaxed);
    PendingNodes = 0;
  }

 protected:
  void Execute() override;

 private:
  int32_t CheckBatch() const {
    return State->NodeInterval < 64 ? (State->NodeInterval > 0 ? State->NodeInterval : 1) : 64;
  }
  bool FlushAndCheckStop();
  void FollowPinning();

  // The idle loop's steps (ThreadPool.cpp).
  struct TIdleClock;
  void WaitForWork(TIdleClock& Idle, int32_t& Spins);
  void BeginWork(TIdleClock& Idle, int32_t WorkingState);
  void RunRootRequest();
  void HelpAtSplitPoint();
  bool LeaveWhenSplitDone(TSplitPoint* WaitSplitPoint, int32_t ToState, TIdleClock& Idle);
  // The split's steps (SplitPoint.cpp).
  void BookHelpers(TSplitPoint* SP, const TSearchStack* SS);
  int32_t CloseSplitPoint(TSplitPoint* SP, int32_t Count, int32_t& Alpha, int32_t& BestScore, TMove& BestMove,
                          int32_t& LegalMoves);
  bool Pinned = false;
  int64_t PendingNodes = 0;
  int32_t PendingChecks = 0;
};

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
// Sanitizer frames are several times larger than plain ones.
constexpr size_t ThreadStackSize = size_t(32) << 20;
#else
// Every ply of a search path keeps a move list of about 12 KiB on this stack.
constexpr size_t ThreadStackSize = size_t(8) << 20;
#endif

// One thread per usable processor, or Threads threads (tests and benchmarks of oversubscription). False,
// after one line on standard error and with no thread left running, when a thread cannot be started.
bool ParallelInit(TState* S, int32_t Threads = 0, size_t StackSize = ThreadStackSize);
void ParallelDone(TState* S);
// Has thread 0 search one root move and waits for its result.
int32_t Search(TSearchStack* SS, TNodeType NodeType, TPosition* Position, int32_t Depth, int32_t Ply, int32_t Alpha,
               int32_t Beta, bool NullMove);
