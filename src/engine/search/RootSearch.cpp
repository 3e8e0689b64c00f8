#include "engine/search/RootSearch.h"

#include <cstdio>
#include <utility>

#include "engine/board/Position.h"
#include "engine/moves/GameEnd.h"
#include "engine/moves/MakeMove.h"
#include "engine/moves/MoveGen.h"
#include "engine/search/MoveOrder.h"
#include "engine/search/Parallel.h"
#include "engine/search/Reports.h"
#include "engine/search/SearchCommon.h"
#include "engine/search/TimeControl.h"
#include "engine/search/TransTable.h"
#include "engine/platform/Timer.h"

namespace {

constexpr int32_t Unsearched = -2147483647;

inline int64_t NodesNow(const TState* S) { return S->TotalNodes.load(std::memory_order_relaxed); }

// The principal variation: the best move, then exact entries of this search as far as they stay legal.
void WalkPrincipalVariation(TState* S, const TPosition* Root, TMove BestMove) {
  TPosition Copy = *Root;
  for (int Index = 0; Index < 256; Index++) {
    const uint64_t Data = TranspositionTablePVProbe(&Copy);
    TMove Move = Data ? TTDataMove(Data) : 0;
    if (Index == 0) Move = BestMove;
    if (!Data || !Move || !IsLegalWithEnhancedCheck(&Copy, Move)) {
      if (Index == 0) {
        S->PV[0] = BestMove;
        S->PV[1] = 0;
      } else {
        S->PV[Index] = 0;
      }
      return;
    }
    S->PV[Index] = Move;
    TUndoMove Undo;
    DoMakeMove(&Copy, Move, &Undo);
  }
}

bool MateIsSettled(const int32_t* BestScores, int32_t Iteration) {
  bool AllLost = true, AllWon = true;
  for (int32_t I = Iteration - 4; I <= Iteration; I++) {
    if (BestScores[I] > -MateMinScore) AllLost = false;
    if (BestScores[I] < MateMinScore) AllWon = false;
  }
  return AllLost || AllWon;
}

bool TimeIsUp(const TState* S, int32_t Iteration, TMove BestMove, TMove EasyMove, int64_t FirstMoveNodes,
              int64_t IterationNodes) {
  if (S->InfiniteSearch || S->Hint || (S->MaxDepth >= 1 && S->MaxDepth <= 32) || S->MaxNodes > 0) return false;
  const int64_t Elapsed = GetMilliseconds() - S->StartTime;
  if (Iteration > 7 && BestMove == EasyMove) {
    if (FirstMoveNodes > IterationNodes * 217 / 256 && Elapsed > S->MaxThinkTime / 16) return true;
  } else if (FirstMoveNodes > IterationNodes * 250 / 256 && Elapsed > S->MaxThinkTime / 32) {
    return true;
  }
  return Elapsed >= S->MaxThinkTime;
}

// A search stopped inside its first iteration still has to answer: an interface waiting for a move would
// otherwise lose on time.  The best move searched so far, or else the first legal one.
TMove FallbackMove(TState* S, TPosition* P, TMove PartialBest, int32_t Count, const TMove* Moves) {
  TMove Move = PartialBest ? PartialBest : Count > 0 ? Moves[0] : 0;
  if (!Move) {
    TMoveBuffer All;
    GenerateQuietMoves(P, GenerateCaptureMoves(P, All));
    for (int I = 0; I < MaxGeneratedMoves && All[I] && !Move; I++)
      if (IsLegalWithEnhancedCheck(P, All[I])) Move = All[I];
  }
  if (Move && !S->PV[0]) {
    S->PV[0] = Move;
    S->PV[1] = 0;
  }
  return Move;
}

}  // namespace

bool SortRootMoves(int32_t Count, TMove* Moves, int32_t* Scores, int64_t* Nodes) {
  bool Changed = false;
  int32_t I = 0;
  while (I < Count - 1) {
    if (Scores[I] < Scores[I + 1] || (Scores[I] == Scores[I + 1] && Nodes[I] < Nodes[I + 1])) {
      std::swap(Moves[I], Moves[I + 1]);
      std::swap(Scores[I], Scores[I + 1]);
      std::swap(Nodes[I], Nodes[I + 1]);
      Changed = true;
      if (I > 0) I--;
      else I++;
    } else {
      I++;
    }
  }
  return Changed;
}

TMove SearchRoot(TState* S, TPosition* P) {
  TMove Moves[256];
  int32_t Scores[256];
  int64_t Nodes[256];
  int32_t BestScores[256] = {};
  int32_t Count = 0;

  S->Generation = (S->Generation + 1) & 255;
  const TMove LastMove = S->HistoryPly > 0 ? S->HistoryStack[S->HistoryPly - 1].Move : 0;
  TMove FirstMoveToTry = 0;
  if (const uint64_t Data = TranspositionTableHashMoveProbe(P)) {
    if ((TTDataKind(Data) == TTKLower || TTDataKind(Data) == TTKExact) && IsLegalWithEnhancedCheck(P, TTDataMove(Data)))
      FirstMoveToTry = TTDataMove(Data);
  }
  TSearchStack* Root = S->SearchStack(S->HistoryPly);
  TSearchStack* Child = Root + 1;
  TGeneratedMoves List;
  InitMoves(P, &List, FirstMoveToTry, Root, true, true);

  TMove Result = 0, EasyMove = 0, BestMove = 0;
  int32_t Alpha = -InfinityScore;
  S->StopOnPonderHit = false;
  S->ExtraTime = 0;
  P->FirstRootMove = false;

  // The en-passant square belongs to the side to move: the other side cannot take there.
  const int32_t EnPassant = P->EnPassant;
  P->EnPassant = -1;
  P->Side ^= 8;
  const bool Stalemate = IsStalemate(P);
  P->Side ^= 8;
  P->EnPassant = EnPassant;
  const bool RootInCheck = IsInCheck(P, P->Side);
  Root->InCheck = RootInCheck;
  bool RulesSaidStop = false;

  for (int32_t Iteration = 1;; Iteration++) {
    S->IterativeDepth = Iteration;
    S->CheckCounter.store(0, std::memory_order_relaxed);
    P->FirstRootMove = false;
    if (Iteration < 5) S->ExtraTime = 0;
    if (CheckForStop(S, true, true)) break;
    int32_t TableKind = TTKNone;
    BestMove = 0;
    Alpha = -InfinityScore;
    int64_t IterationNodes = 0;
    if (S->Mode == MUCI) {
      std::printf("info depth %d ", Iteration);
      std::fflush(stdout);
    }
    Root->Hash = P->Hash;
    int32_t BestScore = -InfinityScore;
    S->Dumped = false;
    P->FirstRootMove = true;

    if (Iteration == 1) {
      TMove Move;
      while (GetNextBestMove(P, &List, Move)) {
        Root->CurrentMove = Move;
        TUndoMove Undo;
        DoMakeMove(P, Move, &Undo);
        if (IsIllegal(P)) {
          DoUndoMove(P, &Undo);
          continue;
        }
        const int64_t Before = NodesNow(S);
        Moves[Count] = Move;
        const int32_t Score = -Search(Child, NTPV, P, OnePly, 1, -InfinityScore, InfinityScore, true);
        const int64_t Spent = NodesNow(S) - Before;
        Scores[Count] = Score;
        Nodes[Count] = Spent;
        Count++;
        S->Nodes += Spent;
        IterationNodes += Spent;
        DoUndoMove(P, &Undo);
        if (Score > BestScore) BestScore = Score;
        if (Score > Alpha) {
          Alpha = Score;
          BestMove = Move;
          TableKind = TTKExact;
        }
        if (CheckForStop(S, true, true)) break;
        P->FirstRootMove = false;
        if (Count >= 256) break;
      }
    } else {
      SortRootMoves(Count, Moves, Scores, Nodes);
      if (Iteration == 2) {
        EasyMove = Count > 0 ? Moves[0] : 0;
        for (int32_t I = 1; I < Count; I++)
          if (Scores[I] >= Scores[0] - 200) EasyMove = 0;
      }
      for (int32_t I = 0; I < Count; I++) {
        P->FirstRootMove = I == 0;
        Scores[I] = Unsearched;
        Nodes[I] = Unsearched;
        Root->CurrentMove = Moves[I];
        TUndoMove Undo;
        DoMakeMove(P, Moves[I], &Undo);
        int32_t Depth = (Iteration - 1) * OnePly;
        if (RootInCheck || Stalemate || MoveIsPromotion(LastMove) || MoverHasPawnOnSeventh(P)) Depth += OnePly;
        const int64_t Before = NodesNow(S);
        int32_t Score;
        if (BestScore == -InfinityScore) {
          Score = -Search(Child, NTPV, P, Depth, 1, -InfinityScore, InfinityScore, true);
        } else {
          Score = -Search(Child, NTPV, P, Depth, 1, -BestScore - 1, -BestScore, true);
          if (Score > BestScore) Score = -Search(Child, NTPV, P, Depth, 1, -InfinityScore, -BestScore, true);
        }
        DoUndoMove(P, &Undo);
        const int64_t Spent = NodesNow(S) - Before;
        Scores[I] = Score;
        Nodes[I] = Spent;
        S->Nodes += Spent;
        IterationNodes += Spent;
        if (Score > BestScore) BestScore = Score;
        if (Score > Alpha) {
          Alpha = Score;
          BestMove = Moves[I];
          TableKind = TTKExact;
        }
        if (CheckForStop(S, true, true)) break;
        P->FirstRootMove = false;
      }
      if (EasyMove != BestMove) EasyMove = 0;
    }

    if (S->AbortSearch.load(std::memory_order_relaxed)) {
      if (S->Mode == MUCI) {
        std::fputc('\n', stdout);
        std::fflush(stdout);
      }
      break;
    }
    if (TableKind != TTKNone) TranspositionTableStore(P, BestMove, Alpha, Iteration, TableKind, 0);
    if (BestMove) Result = BestMove;
    WalkPrincipalVariation(S, P, BestMove);
    if (S->Mode == MUCI) {
      DumpUCIState(S, Alpha);
      std::fflush(stdout);
    } else if (!S->Dumped) {
      DumpState(S, Alpha);
    }
    BestScores[Iteration] = Alpha;

    if (!RulesSaidStop) {
      RulesSaidStop = (Iteration > 2 && Count == 1) || (Iteration > 6 && MateIsSettled(BestScores, Iteration)) ||
                      TimeIsUp(S, Iteration, BestMove, EasyMove, Count > 0 ? Nodes[0] : 0, IterationNodes);
    }
    if (RulesSaidStop) {
      if (!S->PonderSearch.load(std::memory_order_relaxed)) break;
      S->StopOnPonderHit = true;
    }
    if ((S->MaxDepth != 0 && Iteration + 1 > S->MaxDepth) || Iteration + 1 >= 256) break;
  }
  P->FirstRootMove = false;
  if (!Result) Result = FallbackMove(S, P, BestMove, Count, Moves);
  return Result;
}
