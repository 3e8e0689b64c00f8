// Quiescence and NegaScout search: methods of the search thread, on its own position and stack.
#include "engine/board/BitOps.h"
#include "engine/board/Position.h"
#include "engine/eval/Eval.h"
#include "engine/moves/GameEnd.h"
#include "engine/moves/MakeMove.h"
#include "engine/search/MoveOrder.h"
#include "engine/search/Parallel.h"
#include "engine/search/SearchCommon.h"
#include "engine/search/StallHook.h"
#include "engine/search/TimeControl.h"
#include "engine/search/TransTable.h"

namespace {

inline bool HasPieces(const TPosition* P, int Colour) {
  const TBitboard* B = P->Bitboards;
  return (B[Colour] & ~(B[BBPPawn] | B[BBPKing])) != 0;
}

inline int32_t StaticScore(const TState* S, const TPosition* P) { return S->UseFastEval ? EvalFast(P) : Eval(P); }

// Repetition: the position stood on the search path before, the root included, with the same side to
// move.  Those are two entries apart, and none lies further back than the last irreversible move.
inline bool RepeatsOnSearchPath(const TSearchStack* SS, const TSearchStack* First, const TPosition* P) {
  const ptrdiff_t Below = SS - First;
  for (int32_t K = P->ReversibleMoves, Distance = 2; K >= 2 && Distance <= Below; K -= 2, Distance += 2)
    if ((SS - Distance)->Hash == P->Hash) return true;
  return false;
}

// Razoring is considered for shallow nodes off the principal variation and not in check.
inline bool MayRazor(TNodeType NodeType, int32_t Depth, bool InCheck) {
  return Depth <= RazorMaxDepthPlies * OnePly && !InCheck && NodeType != NTPV;
}

// A null move needs depth, a node off the principal variation not in check, and a window clear of
// mate scores (the side to move must also have a piece: see HasPieces).
inline bool MayTryNullMove(TNodeType NodeType, int32_t Depth, bool InCheck, int32_t Alpha, int32_t Beta) {
  return NodeType != NTPV && Depth > NullMoveAboveDepthPlies * OnePly && !InCheck && Beta < MateScore &&
         Alpha < MateScore;
}

inline int32_t NullMoveDepth(int32_t Depth) {
  const int32_t D = Depth - NullMoveReductionPlies * OnePly;
  return D < NullMoveMinChildDepthPlies * OnePly ? NullMoveMinChildDepthPlies * OnePly : D;
}

inline int32_t NullMoveVerifyDepth(int32_t Depth) {
  const int32_t D = Depth - NullMoveVerifyReductionPlies * OnePly;
  return D < NullMoveMinChildDepthPlies * OnePly ? NullMoveMinChildDepthPlies * OnePly : D;
}

// Internal iterative deepening, when the table gave no move to try first.
inline bool WantsInternalDeepening(TNodeType NodeType, int32_t Depth, bool InCheck) {
  if (NodeType == NTPV) return Depth >= InternalDeepeningPVMinDepthPlies * OnePly;
  return !InCheck && Depth >= InternalDeepeningMinDepthPlies * OnePly;
}

inline int32_t InternalDeepeningDepth(TNodeType NodeType, int32_t Depth) {
  return NodeType == NTPV ? Depth - InternalDeepeningPVReductionPlies * OnePly : Depth / 2;
}

}  // namespace

bool TParallelThread::FlushAndCheckStop() {
  StallPoint(ThreadIndex, TStallPlace::Node);
  const int32_t Batch = PendingChecks;
  PendingChecks = 0;
  FlushNodes();
  // The same test as CheckForStop, with the calls of a whole batch counted at once.
  if (State->CheckCounter.fetch_add(Batch, std::memory_order_relaxed) + Batch < State->NodeInterval) return false;
  return CheckForStop(State, ThreadIndex == 0, true);
}

void TParallelThread::ClearSearchStack(TSearchStack* SS) {
  SS->CurrentMove = 0;
  SS->Extensions = 0;
  SS->Reductions = 0;
  SS->Hash = 0;
}

void TParallelThread::UpdateHistory(const TPosition* P, TSearchStack* SS, TMove BestMove, int32_t Depth,
                                    int32_t Score) {
  if (MoveIsCapture(BestMove) || MoveType(BestMove) == MTEnPassantCapture || MoveIsPromotion(BestMove)) return;
  State->HistoryHeuristic[P->Board[MoveFrom(BestMove)]][MoveTo(BestMove)].fetch_add(Depth, std::memory_order_relaxed);
  if (Score >= MateMinScore && SS->MateKiller1 != BestMove) {
    SS->MateKiller2 = SS->MateKiller1;
    SS->MateKiller1 = BestMove;
  }
  if (SS->Killer1 != BestMove) {
    SS->Killer2 = SS->Killer1;
    SS->Killer1 = BestMove;
  }
}

int32_t TParallelThread::QuiescenceSearch(TSearchStack* SS, TPosition* P, int32_t Depth, int32_t Ply, int32_t Alpha,
                                          int32_t Beta) {
  AssertNodeEntry(NTPV, Ply, Alpha, Beta);
  ClearSearchStack(SS);
  SS->Hash = P->Hash;
  if (CountNodeAndCheckStop() || ShouldStop(ThreadSplitPoint)) return 0;

  const int32_t Static = StaticScore(State, P);
  if (Ply >= MaxPly - 1) return StaticScore(State, P);
  if (Static <= -MateMinScore) return Static;
  if (Alpha < Ply - MateScore) Alpha = Ply - MateScore;
  if (Beta > MateScore - (Ply + 1)) Beta = MateScore - (Ply + 1);
  if (Alpha >= Beta) return Alpha;

  const bool InCheck = IsInCheck(P, P->Side);
  SS->InCheck = InCheck;
  // In check there is no standing pat, but the static score still counts as the best so far.
  int32_t Best = Static;
  if (!InCheck) {
    if (Static >= Beta) return Static;
    if (Static > Alpha) Alpha = Static;
  }

  TGeneratedMoves Moves;
  InitMoves(&Moves, 0, SS, false, false);
  SS->CurrentMove = 0;
  TMove Move;
  while (GetNextBestMove(P, &Moves, Move)) {
    SS->CurrentMove = Move;
    TUndoMove Undo;
    if (!MakeLegalMove(P, Move, &Undo)) continue;
    const int32_t Value = -QuiescenceSearch(SS + 1, P, Depth - OnePly, Ply + 1, -Beta, -Alpha);
    DoUndoMove(P, &Undo);
    if (Value >= Beta) {
      // At depth 0: the quiescence depths run below zero, and the table keeps depths modulo 256, so a
      // depth of -4 would come back as 252 and pose as the deepest entry there is.
      TranspositionTableStore(P, Move, Value, 0, TTKLower, Ply);
      return Value;
    }
    if (Value > Best) {
      Best = Value;
      if (Value > Alpha) Alpha = Value;
    }
  }
  return Best;
}

int32_t TParallelThread::NegaScoutSearch(TSearchStack* SS, TNodeType NodeType, TPosition* P, int32_t Depth, int32_t Ply,
                                         int32_t Alpha, int32_t Beta, bool NullMove) {
  // The phases, in order: entry, repetition, mate-distance bounds, razoring, table probe, null move,
  // internal iterative deepening, the move loop (with splitting) and the result stored in the table.
  // Their conditions and depths are the inline functions above, so the hot path makes no extra call.

  // --- Entry ---
  AssertNodeEntry(NodeType, Ply, Alpha, Beta);
  if (ShouldStop(ThreadSplitPoint)) return 0;
  if (Depth <= 0) return QuiescenceSearch(SS, P, 0, Ply, Alpha, Beta);
  if (CountNodeAndCheckStop()) return 0;
  // Only nodes that will probe: prefetching for quiescence nodes, or for every child from the parent's
  // move loop, costs more page walks than it saves.
  TranspositionTablePrefetch(State, P->Hash);

  const TMove LastMove = (SS - 1)->CurrentMove;
  ClearSearchStack(SS);
  SS->Hash = P->Hash;
  int32_t LegalMoves = 0;
  TMove BestMove = 0;
  int32_t WorkingScore = 0;

  // --- Repetition ---
  if (RepeatsOnSearchPath(SS, StackFirst, P)) return DrawScore;

  if (Ply >= MaxPly - 1) return Eval(P);

  // --- Mate-distance bounds ---
  if (Alpha < Ply - MateScore) Alpha = Ply - MateScore;
  if (Beta > MateScore - (Ply + 1)) Beta = MateScore - (Ply + 1);
  if (Alpha >= Beta) return Alpha;

  const bool InCheck = IsInCheck(P, P->Side);
  SS->InCheck = InCheck;

  // --- Razoring ---
  if (MayRazor(NodeType, Depth, InCheck)) {
    WorkingScore = EvalFast(P);
    if (WorkingScore + RazorMarginCentipawns <= Alpha) {
      WorkingScore = QuiescenceSearch(SS, P, 0, Ply, Alpha, Beta);
      if (WorkingScore <= Alpha) return WorkingScore;
    }
  }

  // --- Table probe ---
  TMove FirstMoveToTry = 0;
  bool TryNullMove = true;
  if (const uint64_t Data = TranspositionTableProbe(P)) {
    const int32_t Kind = TTDataKind(Data);
    // An upper bound below Beta says the null move cannot fail high here: it would only waste time.
    if (Kind == TTKUpper && TTDataScoreAtPly(Data, Ply) < Beta) TryNullMove = false;
    if (TTDataDepth(Data) >= Depth) {
      const int32_t Score = TTDataScoreAtPly(Data, Ply);
      if ((Kind == TTKLower || Kind == TTKExact) && Score > Alpha) Alpha = Score;
      if ((Kind == TTKUpper || Kind == TTKExact) && Score < Beta) Beta = Score;
      if (Alpha >= Beta) return Alpha;
    }
    if ((Kind == TTKLower || Kind == TTKExact) && IsLegalWithEnhancedCheck(P, TTDataMove(Data)))
      FirstMoveToTry = TTDataMove(Data);
  }

  // --- Null move ---
  bool MateThreat = false;
  if (TryNullMove && NullMove && MayTryNullMove(NodeType, Depth, InCheck, Alpha, Beta) && HasPieces(P, P->Side)) {
    TUndoMove Undo;
    DoMakeNullMove(P, &Undo);
    SS->CurrentMove = 0;
    int32_t Score = -NegaScoutSearch(SS + 1, NTAll, P, NullMoveDepth(Depth), Ply + 1, -Beta, -Alpha, NullMove);
    DoUndoNullMove(P, &Undo);
    if (Score >= Beta && Score < MateScore) {
      Score = NegaScoutSearch(SS, NTAll, P, NullMoveVerifyDepth(Depth), Ply, Alpha, Beta, false);
      if (Score >= Beta && Score < MateScore) {
        if (!ShouldStop(ThreadSplitPoint)) TranspositionTableStore(P, 0, Beta, Depth, TTKLower, Ply);
        return Beta;
      }
    }
    if (Score < -MateMinScore) MateThreat = true;
  }

  // --- Internal iterative deepening ---
  if (!FirstMoveToTry && WantsInternalDeepening(NodeType, Depth, InCheck)) {
    NegaScoutSearch(SS, NodeType, P, InternalDeepeningDepth(NodeType, Depth), Ply, Alpha, Beta, false);
    const uint64_t Data = TranspositionTableHashMoveProbe(P);
    if (Data && (TTDataKind(Data) == TTKLower || TTDataKind(Data) == TTKExact) &&
        IsLegalWithEnhancedCheck(P, TTDataMove(Data)))
      FirstMoveToTry = TTDataMove(Data);
  }

  // --- The move loop ---
  TGeneratedMoves Moves;
  InitMoves(&Moves, FirstMoveToTry, SS, true, true);
  SS->CurrentMove = 0;
  int32_t BestScore = -InfinityScore;
  int32_t TableKind = TTKUpper;
  const bool LastMoveWasPromotion = MoveIsPromotion(LastMove);
  TMove Move;
  while (GetNextBestMove(P, &Moves, Move)) {
    SS->CurrentMove = Move;
    if (Terminated()) return 0;
    TUndoMove Undo;
    if (!MakeLegalMove(P, Move, &Undo)) continue;
    LegalMoves++;

    const TMoveDepth Adjust = AdjustMoveDepth(State, P, SS, Move, Moves.Stage, NodeType, Depth, Ply, Alpha, LegalMoves,
                                              InCheck, MateThreat, LastMoveWasPromotion);
    if (Adjust.Futile) {
      DoUndoMove(P, &Undo);
      continue;
    }
    const int32_t Score =
        SearchMadeMove(this, SS, P, NodeType, NodeType == NTPV && Move != FirstMoveToTry && LegalMoves > 1, Depth,
                       Adjust, Ply, Beta, NullMove, [Alpha] { return Alpha; });
    DoUndoMove(P, &Undo);

    if (Score > BestScore) BestScore = Score;
    if (Score >= Beta) {
      if (!ShouldStop(ThreadSplitPoint)) {
        UpdateHistory(P, SS, Move, Depth, Score);
        TranspositionTableStore(P, Move, Score, Depth, TTKLower, Ply);
      }
      return Score;
    }
    if (Score > Alpha) {
      Alpha = Score;
      BestMove = Move;
      TableKind = TTKExact;
    }

    // Splitting: idle threads take the rest of the moves.
    if (Depth >= SplitMinDepthPlies * OnePly && State->FreeThreadMask.load(std::memory_order_relaxed) != 0 &&
        !ShouldStop(ThreadSplitPoint) && HasFreeThreads()) {
      const int32_t Result = Split(SS, P, Depth, Ply, Alpha, Beta, BestScore, BestMove, LegalMoves, &Moves, NodeType,
                                   LastMove, FirstMoveToTry, InCheck, MateThreat, NullMove);
      if (Result == SRDone) break;
      if (Result == SRAlpha) {
        TableKind = TTKExact;
        break;
      }
      if (Result == SRBeta) return BestScore;
      if (Result == SRStop) return 0;
    }
  }

  // --- Result ---
  if (LegalMoves == 0) return InCheck ? Ply - MateScore : DrawScore;
  if (!ShouldStop(ThreadSplitPoint)) {
    if (TableKind == TTKExact) UpdateHistory(P, SS, BestMove, Depth, Alpha);
    TranspositionTableStore(P, BestMove, Alpha, Depth, TableKind, Ply);
  }
  return Alpha;
}
