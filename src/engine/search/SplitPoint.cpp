// Split points: a thread that finds others free hands them the rest of a node's moves, searches them
// alongside them and takes the result back. The threads themselves are in ThreadPool.cpp.
#include <cassert>
#include <cstring>

#include "engine/board/Position.h"
#include "engine/moves/MakeMove.h"
#include "engine/search/MoveOrder.h"
#include "engine/search/Parallel.h"
#include "engine/search/SearchCommon.h"
#include "engine/search/StallHook.h"
#include "engine/search/TransTable.h"

#ifdef TALVARIND_TEST_HOOKS
std::atomic<TStallHook> StallHook{nullptr};
#endif

namespace {

void NoteSplit(TParallelThread::TSplitRecord& R, int32_t Depth, int32_t LegalMoves, int32_t Ply) {
  const int64_t Count = R.Count.load(std::memory_order_relaxed);
  if (Count == 0 || Depth < R.MinDepth.load(std::memory_order_relaxed))
    R.MinDepth.store(Depth, std::memory_order_relaxed);
  if (Count == 0 || LegalMoves < R.MinLegalMoves.load(std::memory_order_relaxed))
    R.MinLegalMoves.store(LegalMoves, std::memory_order_relaxed);
  if (Count == 0 || Ply < R.MinPly.load(std::memory_order_relaxed)) R.MinPly.store(Ply, std::memory_order_relaxed);
  R.Count.store(Count + 1, std::memory_order_relaxed);
}

// The locks a thread may hold together, taken in this order only: the state's split lock, then a split
// point's, then its move list's. Debug builds keep the ranks each thread holds and stop at a lock taken out
// of order or given back without being held.
enum TLockRank : unsigned { LRState, LRSplitPoint, LRMoves };

#ifndef NDEBUG
thread_local unsigned HeldLockRanks = 0;
#endif

inline void LockRanked(TParallelLock* Lock, [[maybe_unused]] TLockRank Rank) {
#ifndef NDEBUG
  assert((HeldLockRanks >> Rank) == 0 && "lock taken out of order");
#endif
  ParallelLock(Lock);
#ifndef NDEBUG
  HeldLockRanks |= 1u << Rank;
#endif
}

inline void UnlockRanked(TParallelLock* Lock, [[maybe_unused]] TLockRank Rank) {
#ifndef NDEBUG
  assert((HeldLockRanks >> Rank & 1u) && "lock given back without being held");
  HeldLockRanks &= ~(1u << Rank);
#endif
  ParallelUnlock(Lock);
}

// The split point's own bookkeeping: where it sits among its master's, and who works there (the master).
void OpenSplitPoint(TSplitPoint* SP, int32_t Index, TSplitPoint* Parent, int32_t Master) {
  SP->SplitIndex = Index;
  SP->Parent = Parent;
  SP->Cutoff.store(false, std::memory_order_relaxed);
  SP->SplitResult = SRDone;
  SP->Master = Master;
  SP->Threads.store(1, std::memory_order_relaxed);
  SP->SlavesMask.store(0, std::memory_order_relaxed);
}

// What the node has found so far: handed to the split point when it opens and taken back when it closes.
void StoreProgress(TSplitPoint* SP, int32_t LegalMoves, int32_t Alpha, int32_t BestScore, TMove BestMove) {
  SP->LegalMoves.store(LegalMoves, std::memory_order_relaxed);
  SP->Alpha.store(Alpha, std::memory_order_relaxed);
  SP->BestScore.store(BestScore, std::memory_order_relaxed);
  SP->BestMove = BestMove;
}

void LoadProgress(const TSplitPoint* SP, int32_t& LegalMoves, int32_t& Alpha, int32_t& BestScore, TMove& BestMove) {
  LegalMoves = SP->LegalMoves.load(std::memory_order_relaxed);
  Alpha = SP->Alpha.load(std::memory_order_relaxed);
  BestScore = SP->BestScore.load(std::memory_order_relaxed);
  BestMove = SP->BestMove;
}

// The copied window reaches the root of the search (enough for the repetition walk), never starts below
// the thread's first stack entry, and leaves room above the node for a search to the deepest ply.
int32_t StackWindowOffset(const TPosition* P, const TSearchStack* SS, const TSearchStack* First, int32_t Ply) {
  int32_t Offset = P->ReversibleMoves < 0 ? 0 : P->ReversibleMoves;
  if (Offset > Ply + 1) Offset = Ply + 1;
  if (Offset > int32_t(SS - First) - 2) Offset = int32_t(SS - First) - 2;
  if (Offset < 0) Offset = 0;
  return Offset;
}

// Thread T's copy of the window of the master's stack around the node at SS.
void CopyStackWindow(TSplitPoint* SP, int32_t T, const TSearchStack* SS) {
  const int32_t Offset = SP->SearchStackOffset;
  std::memcpy(static_cast<void*>(SP->Stack(T, SplitStackLow)), SS - (Offset + 2),
              size_t(Offset + 4) * sizeof(TSearchStack));
}

}  // namespace

bool TParallelThread::ShouldStop(const TSplitPoint* SplitPoint) const {
  if (Terminated() || State->AbortSearch.load(std::memory_order_relaxed) ||
      !State->Thinking.load(std::memory_order_relaxed))
    return true;
  for (; SplitPoint; SplitPoint = SplitPoint->Parent)
    if (SplitPoint->Cutoff.load(std::memory_order_relaxed)) return true;
  return false;
}

bool TParallelThread::IsThreadAvailableTo(int32_t Master) const {
  if (ThreadIndex == Master || ThreadState.load(std::memory_order_acquire) != PTSIdle) return false;
  const int32_t Count = SplitPointCount.load(std::memory_order_acquire);
  if (State->UsedThreadCount == 2 || Count == 0) return true;
  return (SplitPoints[Count - 1].SlavesMask.load(std::memory_order_relaxed) >> Master) & 1;
}

bool TParallelThread::HasFreeThreads() const {
  for (int32_t I = 0; I < State->UsedThreadCount; I++)
    if (State->Threads[I]->IsThreadAvailableTo(ThreadIndex)) return true;
  return false;
}

int32_t TParallelThread::Split(TSearchStack* SS, TPosition* P, int32_t Depth, int32_t Ply, int32_t& Alpha, int32_t Beta,
                               int32_t& BestScore, TMove& BestMove, int32_t& LegalMoves, TGeneratedMoves* Moves,
                               TNodeType NodeType, TMove LastMove, TMove FirstMoveToTry, bool InCheck, bool MateThreat,
                               bool NullMove) {
  LockRanked(&State->Lock, LRState);
  const int32_t Count = SplitPointCount.load(std::memory_order_relaxed);
  if (!HasFreeThreads() || Count >= MaxSplitPointsPerThread) {
    UnlockRanked(&State->Lock, LRState);
    return SRNone;
  }
  assert(Count >= 0);
  TSplitPoint* SP = &SplitPoints[Count];
  SplitPointCount.store(Count + 1, std::memory_order_release);
  NoteSplit(Splits, Depth, LegalMoves, Ply);
  LockRanked(&SP->Lock, LRSplitPoint);

  OpenSplitPoint(SP, Count, ThreadSplitPoint, ThreadIndex);
  StoreProgress(SP, LegalMoves, Alpha, BestScore, BestMove);
  SP->Position = P;
  SP->Moves = Moves;
  SP->NodeType = NodeType;
  SP->LastMove = LastMove;
  SP->FirstMoveToTry = FirstMoveToTry;
  SP->InCheck = InCheck;
  SP->MateThread = MateThreat;
  SP->Depth = Depth;
  SP->Beta = Beta;
  SP->NullMove = NullMove;
  SP->Ply = Ply;
  SP->SearchStackOffset = StackWindowOffset(P, SS, StackFirst, Ply);
  CopyStackWindow(SP, ThreadIndex, SS);

  ThreadSplitPoint = SP;
  ThreadState.exchange(PTSNodeWork);
  BookHelpers(SP, SS);
  UnlockRanked(&SP->Lock, LRSplitPoint);
  UnlockRanked(&State->Lock, LRState);

  SimpleSemaphorePost(WaitSemaphore);
  IdleLoop(SP, PTSNodeWorking);
  // Every helper has left, and the splits this thread made while it helped elsewhere are closed.
  assert(SP->Threads.load(std::memory_order_relaxed) == 0);
  assert(SP->SlavesMask.load(std::memory_order_relaxed) == 0);
  assert(SplitPointCount.load(std::memory_order_relaxed) == Count + 1);

  return CloseSplitPoint(SP, Count, Alpha, BestScore, BestMove, LegalMoves);
}

// Under both locks: each thread free to help gets its copy of the stack window and is woken at the split
// point, up to the most a split point takes.
void TParallelThread::BookHelpers(TSplitPoint* SP, const TSearchStack* SS) {
  for (int32_t I = 0; I < State->UsedThreadCount; I++) {
    TParallelThread* Slave = State->Threads[I];
    if (!Slave->IsThreadAvailableTo(ThreadIndex)) continue;
    CopyStackWindow(SP, I, SS);
    SP->SlavesMask.fetch_or(uint64_t(1) << I, std::memory_order_relaxed);
    Slave->ThreadSplitPoint = SP;
    Slave->ThreadState.exchange(PTSNodeWork);
    const int32_t Threads = SP->Threads.fetch_add(1, std::memory_order_acq_rel) + 1;
    SimpleSemaphorePost(Slave->WaitSemaphore);
    if (Threads >= MaxThreadsPerSplitPoint) break;
  }
}

// The master, every helper gone: the node takes back what was found at the split point, and the split
// point's record is free again.
int32_t TParallelThread::CloseSplitPoint(TSplitPoint* SP, int32_t Count, int32_t& Alpha, int32_t& BestScore,
                                         TMove& BestMove, int32_t& LegalMoves) {
  LockRanked(&State->Lock, LRState);
  LockRanked(&SP->Lock, LRSplitPoint);
  ResetAtomicBit(&State->FreeThreadMask, ThreadIndex);
  LoadProgress(SP, LegalMoves, Alpha, BestScore, BestMove);
  int32_t Result = SP->SplitResult;
  SplitPointCount.store(Count, std::memory_order_release);
  ThreadSplitPoint = SP->Parent;
  if (ShouldStop(ThreadSplitPoint)) Result = SRStop;
  Splits.LastResult.store(Result, std::memory_order_relaxed);
  UnlockRanked(&SP->Lock, LRSplitPoint);
  UnlockRanked(&State->Lock, LRState);
  return Result;
}

void TParallelThread::NegaScoutSplitPoint(TSplitPoint* SP, TPosition Position) {
  TPosition* P = &Position;
  TSearchStack* const SavedFirst = StackFirst;
  StackFirst = SP->Stack(ThreadIndex, SplitStackLow);
  TSearchStack* SS = SP->Stack(ThreadIndex, SP->SearchStackOffset);
  const int32_t Depth = SP->Depth, Ply = SP->Ply, Beta = SP->Beta;
  const TNodeType NodeType = SP->NodeType;
  const bool InCheck = SP->InCheck, NullMove = SP->NullMove;
  const TMove LastMove = SP->LastMove, FirstMoveToTry = SP->FirstMoveToTry;
  const bool LastMoveWasPromotion = MoveIsPromotion(LastMove);
  bool HoldingLock = false;
  if (SP->Master != ThreadIndex) StallPoint(ThreadIndex, TStallPlace::SplitWork);

  while (!ShouldStop(SP)) {
    TMove Move;
    LockRanked(&SP->Moves->Lock, LRMoves);
    StallPoint(ThreadIndex, TStallPlace::SplitLock);
    const bool Got = GetNextBestMove(P, SP->Moves, Move);
    const int32_t Stage = SP->Moves->Stage;
    UnlockRanked(&SP->Moves->Lock, LRMoves);
    if (!Got) break;
    SS->CurrentMove = Move;

    TUndoMove Undo;
    if (!MakeLegalMove(P, Move, &Undo)) continue;
    const int32_t LegalMoves = SP->LegalMoves.fetch_add(1, std::memory_order_relaxed) + 1;

    const TMoveDepth Adjust =
        AdjustMoveDepth(State, P, SS, Move, Stage, NodeType, Depth, Ply, SP->Alpha.load(std::memory_order_relaxed),
                        LegalMoves, InCheck, SP->MateThread, LastMoveWasPromotion);
    if (Adjust.Futile) {
      DoUndoMove(P, &Undo);
      continue;
    }
    const int32_t Score =
        SearchMadeMove(this, SS, P, NodeType, NodeType == NTPV && Move != FirstMoveToTry && LegalMoves > 1, Depth,
                       Adjust, Ply, Beta, NullMove, [SP] { return SP->Alpha.load(std::memory_order_relaxed); });
    DoUndoMove(P, &Undo);

    if (Score > SP->BestScore.load(std::memory_order_relaxed)) {
      LockRanked(&SP->Lock, LRSplitPoint);
      if (Score > SP->BestScore.load(std::memory_order_relaxed)) {
        SP->BestScore.store(Score, std::memory_order_relaxed);
        if (Score > SP->Alpha.load(std::memory_order_relaxed)) {
          SP->BestMove = Move;
          if (Score >= Beta) {
            SP->SplitResult = SRBeta;
            SP->Cutoff.store(true, std::memory_order_relaxed);
            if (!ShouldStop(SP->Parent)) {
              UpdateHistory(P, SS, Move, Depth, Score);
              TranspositionTableStore(P, Move, Score, Depth, TTKLower, Ply);
            }
            HoldingLock = true;
            break;
          }
          SP->Alpha.store(Score, std::memory_order_relaxed);
          SP->SplitResult = SRAlpha;
        }
      }
      UnlockRanked(&SP->Lock, LRSplitPoint);
    }
  }

  FlushNodes();
  if (!HoldingLock) LockRanked(&SP->Lock, LRSplitPoint);
  SP->SlavesMask.fetch_and(~(uint64_t(1) << ThreadIndex), std::memory_order_relaxed);
  StackFirst = SavedFirst;
  SP->Threads.fetch_sub(1, std::memory_order_acq_rel);
  UnlockRanked(&SP->Lock, LRSplitPoint);
}
