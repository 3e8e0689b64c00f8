// The pool of search threads: starting and stopping them, the loop each one waits for work in, and the
// root hand-off to thread 0. The split points they work at are in SplitPoint.cpp.
#include <cstdio>

#include "engine/platform/Timer.h"
#include "engine/search/Parallel.h"
#include "engine/search/TimeControl.h"

namespace {

constexpr int32_t RootWatchMilliseconds = 1;

// The fields of the root's split point that each root search starts afresh; the rest stay as the
// constructor left them.
void OpenRootSplitPoint(TSplitPoint& Root, const TParallelThreadRootRequest& R) {
  Root.Cutoff.store(false, std::memory_order_relaxed);
  Root.SplitResult = SRNone;
  Root.Position = R.Position;
  Root.NodeType = R.NodeType;
  Root.Depth = R.Depth;
  Root.Ply = R.Ply;
  Root.InCheck = R.SearchStack->InCheck;
  Root.Moves = nullptr;
  Root.LegalMoves.store(0, std::memory_order_relaxed);
  Root.LastMove = Root.FirstMoveToTry = 0;
  Root.MateThread = 0;
  Root.Alpha.store(0, std::memory_order_relaxed);
  Root.Beta = 0;
  Root.Threads.store(1, std::memory_order_relaxed);
}

}  // namespace

// Waiting for work during a search is booked in IdleTicks when the work, the return or the end of the
// think comes.
struct TParallelThread::TIdleClock {
  std::atomic<int64_t>& Ticks;
  THighResTime Since = 0;

  void Start() {
    if (!Since) Since = HighResTimerGetTime();
  }
  void Book() {
    if (!Since) return;
    Ticks.fetch_add(HighResTimerGetTime() - Since, std::memory_order_relaxed);
    Since = 0;
  }
};

// The split-point records and the root request start zeroed (value-initialised: they hold atomics).
TParallelThread::TParallelThread(TState* S, int32_t Index)
    : State(S), ThreadIndex(Index), RootSplitPoint(), RootRequest(), SplitPoints() {
  WaitSemaphore = SimpleSemaphoreCreate();
  DoneSemaphore = SimpleSemaphoreCreate();
  ThreadState.store(PTSIdle);
  SplitPointCount.store(0);
  RootSplitPoint.SplitIndex = 0;
  RootSplitPoint.Master = ThreadIndex;
  ThreadSplitPoint = &RootSplitPoint;
  StackFirst = S->SearchStack(SearchStackLow);
}

TParallelThread::~TParallelThread() {
  ThreadState.exchange(PTSExit);
  Terminate();
  SimpleSemaphorePost(WaitSemaphore);
  WaitFor();
  SimpleSemaphoreDestroy(WaitSemaphore);
  SimpleSemaphoreDestroy(DoneSemaphore);
}

// A pinned thread keeps its caches, but only an engine that uses every processor it may run on pins its
// threads: one-thread engines side by side would otherwise all search on the first processor.
void TParallelThread::FollowPinning() {
  const bool Wanted = State->ThinkThreadCount.load(std::memory_order_relaxed) >= State->CountCPUCores;
  if (Wanted == Pinned) return;
  if (Wanted) PinCurrentThread(State->CPUCores[ThreadIndex]);
  else UnpinCurrentThread();
  Pinned = Wanted;
}

void TParallelThread::Execute() {
  SetAtomicBit(&State->FreeThreadMask, ThreadIndex);
  IdleLoop(nullptr, PTSIdle);
  ResetAtomicBit(&State->FreeThreadMask, ThreadIndex);
}

void TParallelThread::IdleLoop(TSplitPoint* WaitSplitPoint, int32_t ToState) {
  TIdleClock Idle{IdleTicks};
  int32_t Spins = 0;
  while (!Terminated()) {
    switch (ThreadState.load(std::memory_order_acquire)) {
      case PTSExit: return;
      case PTSIdle: WaitForWork(Idle, Spins); break;
      case PTSRootWork:
        BeginWork(Idle, PTSRootWorking);
        RunRootRequest();
        continue;
      case PTSNodeWork:
        BeginWork(Idle, PTSNodeWorking);
        HelpAtSplitPoint();
        if (LeaveWhenSplitDone(WaitSplitPoint, ToState, Idle)) return;
        ThreadState.exchange(PTSIdle);
        break;
      default: break;
    }
    if (LeaveWhenSplitDone(WaitSplitPoint, ToState, Idle)) return;
  }
}

void TParallelThread::WaitForWork(TIdleClock& Idle, int32_t& Spins) {
  if (!(State->FreeThreadMask.load(std::memory_order_relaxed) & (uint64_t(1) << ThreadIndex)))
    SetAtomicBit(&State->FreeThreadMask, ThreadIndex);
  if (!State->Thinking.load(std::memory_order_acquire)) {
    // The wait at the end of a think counts too: no work came before the search ended.
    Idle.Book();
    SimpleSemaphoreWait(WaitSemaphore);
    return;
  }
  Idle.Start();
  // A thread the search does not use sleeps: spinning, it would only take a processor from others.
  if (State->UseThreadSleeping.load(std::memory_order_relaxed) ||
      ThreadIndex >= State->ThinkThreadCount.load(std::memory_order_relaxed))
    SimpleSemaphoreWait(WaitSemaphore);
  else SpinPause(Spins);
}

void TParallelThread::BeginWork(TIdleClock& Idle, int32_t WorkingState) {
  ResetAtomicBit(&State->FreeThreadMask, ThreadIndex);
  Idle.Book();
  FollowPinning();
  ThreadState.exchange(WorkingState);
}

void TParallelThread::RunRootRequest() {
  TParallelThreadRootRequest& R = RootRequest;
  OpenRootSplitPoint(RootSplitPoint, R);
  ThreadSplitPoint = &RootSplitPoint;
  StackFirst = State->SearchStack(SearchStackLow);
  R.ResultValue = NegaScoutSearch(R.SearchStack, R.NodeType, R.Position, R.Depth, R.Ply, R.Alpha, R.Beta, R.NullMove);
  FlushNodes();
  ThreadState.exchange(PTSIdle);
  SimpleSemaphorePost(DoneSemaphore);
  SetAtomicBit(&State->FreeThreadMask, ThreadIndex);
}

void TParallelThread::HelpAtSplitPoint() {
  TSplitPoint* SP = ThreadSplitPoint;
  // Read before leaving the split point: its master may reuse the record at once.
  const int32_t Master = SP->Master;
  NegaScoutSplitPoint(SP, *SP->Position);
  SetAtomicBit(&State->FreeThreadMask, ThreadIndex);
  if (Master != ThreadIndex) SimpleSemaphorePost(State->Threads[Master]->WaitSemaphore);
}

// A master waits at its own split point until every thread there has left it.
bool TParallelThread::LeaveWhenSplitDone(TSplitPoint* WaitSplitPoint, int32_t ToState, TIdleClock& Idle) {
  if (!WaitSplitPoint || WaitSplitPoint->Threads.load(std::memory_order_acquire) != 0) return false;
  Idle.Book();
  if (ThreadState.load(std::memory_order_relaxed) != ToState) ThreadState.exchange(ToState);
  return true;
}

bool ParallelInit(TState* S, int32_t Threads, size_t StackSize) {
  S->Lock.store(0);
  for (auto& Core : S->CPUCores) Core = 0;
  S->DoneSemaphore = SimpleSemaphoreCreate();
  const std::vector<int32_t> Usable = UsableProcessors();
  int32_t Count = 0;
  for (int32_t Processor : Usable) {
    if (Count >= MaxCPUCores) break;
    S->CPUCores[Count++] = Processor;
  }
  if (Count == 0) {
    Count = 1;
    S->CPUCores[0] = 0;
  }
  for (int32_t I = Count; I < MaxCPUCores; I++) S->CPUCores[I] = S->CPUCores[Count - 1];
  S->CountCPUCores = Count;
  if (Threads > 0) {
    // More threads than processors share them round robin.
    if (Threads > MaxCPUCores) Threads = MaxCPUCores;
    for (int32_t I = Count; I < Threads; I++) S->CPUCores[I] = S->CPUCores[I % Count];
    Count = Threads;
  }
  S->ThreadCount = S->MaxThreadCount = S->UsedThreadCount = Count;
  S->FreeThreadMask.store(0);
  for (int32_t I = 0; I < S->ThreadCount; I++) {
    S->Threads[I] = new TParallelThread(S, I);
    // A missing thread would be booked all the same and its search waited for without end.
    if (!S->Threads[I]->Start(StackSize)) {
      std::fprintf(stderr, "talvarind: cannot start search thread %d of %d\n", I + 1, S->ThreadCount);
      S->ThreadCount = I + 1;
      ParallelDone(S);
      S->ThreadCount = S->MaxThreadCount = S->UsedThreadCount = 0;
      return false;
    }
  }
  return true;
}

void ParallelDone(TState* S) {
  for (int32_t I = 0; I < S->ThreadCount; I++) {
    delete S->Threads[I];
    S->Threads[I] = nullptr;
  }
  SimpleSemaphoreDestroy(S->DoneSemaphore);
}

int32_t Search(TSearchStack* SS, TNodeType NodeType, TPosition* Position, int32_t Depth, int32_t Ply, int32_t Alpha,
               int32_t Beta, bool NullMove) {
  TParallelThread* Thread = Position->State->Threads[0];
  TParallelThreadRootRequest& R = Thread->RootRequest;
  R.SearchStack = SS;
  R.NodeType = NodeType;
  R.Position = Position;
  R.Depth = Depth;
  R.Ply = Ply;
  R.Alpha = Alpha;
  R.Beta = Beta;
  R.NullMove = NullMove;
  Thread->ThreadState.exchange(PTSRootWork);
  SimpleSemaphorePost(Thread->WaitSemaphore);
  // The deadline is watched from here as well: the search threads see it only when they count nodes,
  // and a thread that is not running (an overloaded machine) counts none.
  while (!SimpleSemaphoreWaitFor(Thread->DoneSemaphore, RootWatchMilliseconds))
    CheckLimitsWhileWaiting(Position->State);
  return R.ResultValue;
}
