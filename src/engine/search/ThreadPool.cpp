// The pool of search threads: starting and stopping them, the loop each one waits for work in, and the
// root hand-off to thread 0. The split points they work at are in SplitPoint.cpp.
#include <cstdio>

#include "engine/platform/Timer.h"
#include "engine/search/Parallel.h"
#include "engine/search/TimeControl.h"

namespace {

constexpr int32_t RootWatchMilliseconds = 1;

}  // namespace

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
  const uint64_t Bit = uint64_t(1) << ThreadIndex;
  // Waiting for work during a search is booked in IdleTicks when the work, the return or the end of the
  // think comes.
  THighResTime IdleSince = 0;
  int32_t Spins = 0;
  auto BookIdle = [&] {
    if (!IdleSince) return;
    IdleTicks.fetch_add(HighResTimerGetTime() - IdleSince, std::memory_order_relaxed);
    IdleSince = 0;
  };
  auto Leave = [&] {
    if (WaitSplitPoint && WaitSplitPoint->Threads.load(std::memory_order_acquire) == 0) {
      BookIdle();
      if (ThreadState.load(std::memory_order_relaxed) != ToState) ThreadState.exchange(ToState);
      return true;
    }
    return false;
  };
  while (!Terminated()) {
    switch (ThreadState.load(std::memory_order_acquire)) {
      case PTSExit: return;
      case PTSIdle:
        if (!(State->FreeThreadMask.load(std::memory_order_relaxed) & Bit))
          SetAtomicBit(&State->FreeThreadMask, ThreadIndex);
        if (!State->Thinking.load(std::memory_order_acquire)) {
          // The wait at the end of a think counts too: no work came before the search ended.
          BookIdle();
          SimpleSemaphoreWait(WaitSemaphore);
          break;
        }
        if (!IdleSince) IdleSince = HighResTimerGetTime();
        // A thread the search does not use sleeps: spinning, it would only take a processor from others.
        if (State->UseThreadSleeping.load(std::memory_order_relaxed) ||
            ThreadIndex >= State->ThinkThreadCount.load(std::memory_order_relaxed))
          SimpleSemaphoreWait(WaitSemaphore);
        else SpinPause(Spins);
        break;
      case PTSRootWork: {
        ResetAtomicBit(&State->FreeThreadMask, ThreadIndex);
        BookIdle();
        FollowPinning();
        ThreadState.exchange(PTSRootWorking);
        TParallelThreadRootRequest& R = RootRequest;
        TSplitPoint& Root = RootSplitPoint;
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
        ThreadSplitPoint = &RootSplitPoint;
        StackFirst = State->SearchStack(SearchStackLow);
        R.ResultValue =
            NegaScoutSearch(R.SearchStack, R.NodeType, R.Position, R.Depth, R.Ply, R.Alpha, R.Beta, R.NullMove);
        FlushNodes();
        ThreadState.exchange(PTSIdle);
        SimpleSemaphorePost(DoneSemaphore);
        SetAtomicBit(&State->FreeThreadMask, ThreadIndex);
        continue;
      }
      case PTSNodeWork: {
        ResetAtomicBit(&State->FreeThreadMask, ThreadIndex);
        BookIdle();
        FollowPinning();
        ThreadState.exchange(PTSNodeWorking);
        TSplitPoint* SP = ThreadSplitPoint;
        // Read before leaving the split point: its master may reuse the record at once.
        const int32_t Master = SP->Master;
        NegaScoutSplitPoint(SP, *SP->Position);
        SetAtomicBit(&State->FreeThreadMask, ThreadIndex);
        if (Master != ThreadIndex) SimpleSemaphorePost(State->Threads[Master]->WaitSemaphore);
        if (Leave()) return;
        ThreadState.exchange(PTSIdle);
        break;
      }
      default: break;
    }
    if (Leave()) return;
  }
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
