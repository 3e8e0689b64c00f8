// Pieces of the move loop shared by a node's own search and the search of a split point.
#pragma once

#include <cassert>
#include <cstdint>

#include "engine/board/BitOps.h"
#include "engine/core/State.h"
#include "engine/eval/Eval.h"
#include "engine/search/MoveOrder.h"
#include "engine/search/Parallel.h"
#include "engine/search/TransTable.h"

// The search's thresholds.  Depths to go are counted in quarter plies (OnePly is 4); a name ending in Plies is
// multiplied by OnePly where it is compared with a depth, one ending in QuarterPlies is compared as it stands.  Ply
// (the distance from the root) and the iteration are whole plies.

// Razoring: a node off the principal variation, not in check and at most this deep, whose fast score
// is a queen below alpha is settled by quiescence alone when quiescence confirms it.
constexpr int32_t RazorMaxDepthPlies = 3;
constexpr int32_t RazorMarginCentipawns = PieceMaterialScores[PQueen];

// Null move: tried above this depth, searched this much shallower (but at least a ply), and a fail
// high verified by a search of the node itself, without null moves, this much shallower.
constexpr int32_t NullMoveAboveDepthPlies = 2;
constexpr int32_t NullMoveReductionPlies = 5;
constexpr int32_t NullMoveVerifyReductionPlies = 6;
constexpr int32_t NullMoveMinChildDepthPlies = 1;

// Internal iterative deepening, for a node without a move from the table: on the principal variation
// from this depth, two plies shallower; elsewhere (not in check) from this depth, at half the depth.
constexpr int32_t InternalDeepeningPVMinDepthPlies = 8;
constexpr int32_t InternalDeepeningPVReductionPlies = 2;
constexpr int32_t InternalDeepeningMinDepthPlies = 5;

// All extensions of one move together come to at most this; past this many times the iteration's
// depth in plies from the root nothing is extended.
constexpr int32_t MaxExtensionQuarterPlies = OnePly;
constexpr int32_t ExtensionsEndPastIterationTimes = 2;

// Futility: a quiet move with this much depth to go (1 to 2 3/4 plies) is skipped when the fast score
// after it, plus a margin of three pawns for each whole ply to go, stays below alpha.
constexpr int32_t FutilityMinDepthQuarterPlies = OnePly;
constexpr int32_t FutilityMaxDepthQuarterPlies = 11;
constexpr int32_t FutilityMarginPerPlyCentipawns = 3 * 100;

// Late-move reductions apply unless a depth limit below this many plies is set. A limit of 0 means none:
// the searches of games, under UCI and XBoard, reduce too.
constexpr int32_t ReductionsMinDepthLimitPlies = 5;
// Two plies off a quiet move of a node off the principal variation, further than this from the root,
// with this much depth to go after extensions (2 to 4 1/2 plies), alpha not a mate score and more than
// this many men on either side; otherwise one ply off any quiet move but the first past this depth.
constexpr int32_t DoubleReductionPastPly = 3;
constexpr int32_t DoubleReductionMinDepthQuarterPlies = 8;
constexpr int32_t DoubleReductionMaxDepthQuarterPlies = 18;
constexpr int32_t DoubleReductionMenAbove = 2;
constexpr int32_t DoubleReductionQuarterPlies = 2 * OnePly;
constexpr int32_t SingleReductionAboveDepthQuarterPlies = 8;
constexpr int32_t SingleReductionQuarterPlies = OnePly;

// Debug builds check each node as it is entered: a window inside the score bounds and not empty, a ply
// inside the stack, and a null window wherever the node is off the principal variation (quiescence nodes
// carry no node type and pass NTPV).
inline void AssertNodeEntry([[maybe_unused]] TNodeType NodeType, [[maybe_unused]] int32_t Ply,
                            [[maybe_unused]] int32_t Alpha, [[maybe_unused]] int32_t Beta) {
  assert(-InfinityScore <= Alpha && Alpha < Beta && Beta <= InfinityScore);
  assert(Ply >= 0 && Ply < MaxPly);
  assert(NodeType == NTPV || Beta == Alpha + 1);
}

// The side that just moved (the one not to move now) has a pawn on its seventh rank with the square
// ahead free: promotion is one move away.
inline bool MoverHasPawnOnSeventh(const TPosition* P) {
  const TBitboard* B = P->Bitboards;
  const TBitboard Empty = ~B[BBPOccupied];
  if (P->Side == CBlack) return (B[BBPWhite] & B[BBPPawn] & BB_RANK_7 & (Empty >> 8)) != 0;
  return (B[BBPBlack] & B[BBPPawn] & BB_RANK_2 & (Empty << 8)) != 0;
}

// The move just made on P took a pawn to its seventh rank with the square ahead free.
inline bool MovePutPawnOnSeventh(const TPosition* P, TMove Move) {
  const int To = MoveTo(Move);
  if ((P->Board[To] & 7) != PPawn) return false;
  if (P->Side == CBlack) return (To >> 3) == 6 && P->Board[To + 8] == PEmpty;
  return (To >> 3) == 1 && P->Board[To - 8] == PEmpty;
}

struct TMoveDepth {
  int32_t Extensions;
  int32_t Reductions;
  bool Futile;  // not worth searching: the move is taken back and skipped
};

// Extensions, futility and late-move reductions for a move that has just been made on P.
inline TMoveDepth AdjustMoveDepth(const TState* S, const TPosition* P, const TSearchStack* SS, TMove Move,
                                  int32_t Stage, TNodeType NodeType, int32_t Depth, int32_t Ply, int32_t Alpha,
                                  int32_t LegalMoves, bool InCheck, bool MateThreat, bool LastMoveWasPromotion) {
  TMoveDepth Result{0, 0, false};
  const bool PawnOnSeventh = MoverHasPawnOnSeventh(P);
  if (InCheck) Result.Extensions += OnePly;
  if (MateThreat) Result.Extensions += OnePly;
  // Only the push to the seventh is extended: extending every move of a side whose pawn merely stands
  // there doubles that side's depth, and the tree grows a hundredfold from one iteration to the next.
  if (LastMoveWasPromotion || MovePutPawnOnSeventh(P, Move)) Result.Extensions += OnePly;
  if (Result.Extensions > MaxExtensionQuarterPlies) Result.Extensions = MaxExtensionQuarterPlies;
  // Pawns waiting on both seventh ranks would extend every ply for ever: past twice the nominal depth
  // nothing is extended any more.
  if (Ply > ExtensionsEndPastIterationTimes * S->IterativeDepth.load(std::memory_order_relaxed)) Result.Extensions = 0;

  if (Stage < MGSQuiet || Result.Extensions != 0 || InCheck || MoveIsCapture(Move) || MoveIsPromotion(Move) ||
      (Move & 0xFFF) == (SS->Killer1 & 0xFFF) || (Move & 0xFFF) == (SS->Killer2 & 0xFFF) || PawnOnSeventh)
    return Result;
  // Futility.
  if (Depth >= FutilityMinDepthQuarterPlies && Depth <= FutilityMaxDepthQuarterPlies &&
      -EvalFast(P) + (Depth / OnePly) * FutilityMarginPerPlyCentipawns < Alpha) {
    Result.Futile = true;
    return Result;
  }
  // Late-move reductions.
  if (S->MaxDepth == 0 || S->MaxDepth >= ReductionsMinDepthLimitPlies) {
    const int32_t N = Depth + Result.Extensions;
    const TBitboard* B = P->Bitboards;
    if (NodeType != NTPV && Ply > DoubleReductionPastPly && N >= DoubleReductionMinDepthQuarterPlies &&
        N <= DoubleReductionMaxDepthQuarterPlies && Alpha < MateScore &&
        (CountBits(B[BBPWhite]) > DoubleReductionMenAbove || CountBits(B[BBPBlack]) > DoubleReductionMenAbove))
      Result.Reductions = -DoubleReductionQuarterPlies;
    else if (LegalMoves > 1 && N > SingleReductionAboveDepthQuarterPlies)
      Result.Reductions = -SingleReductionQuarterPlies;
  }
  return Result;
}

// Searches a move already made on P.  Probe: a later move of a PV node, tried with a null window first.
// A reduced search that beats alpha is repeated at full depth.  AlphaNow reads the node's lower bound,
// which other threads may raise at a split point.
template <typename TAlphaNow>
inline int32_t SearchMadeMove(TParallelThread* Thread, TSearchStack* SS, TPosition* P, TNodeType NodeType, bool Probe,
                              int32_t Depth, const TMoveDepth& Adjust, int32_t Ply, int32_t Beta, bool NullMove,
                              TAlphaNow AlphaNow) {
  SS->Extensions = Adjust.Extensions;
  SS->Reductions = Adjust.Reductions;
  const int32_t ChildDepth = Depth + Adjust.Extensions + Adjust.Reductions - OnePly;
  int32_t Alpha = AlphaNow();
  int32_t Score;
  TNodeType ChildType;
  if (Probe) {
    ChildType = NTCut;
    Score = -Thread->NegaScoutSearch(SS + 1, NTCut, P, ChildDepth, Ply + 1, -Alpha - 1, -Alpha, NullMove);
    Alpha = AlphaNow();
    if (Score > Alpha) {
      ChildType = NTPV;
      Score = -Thread->NegaScoutSearch(SS + 1, NTPV, P, ChildDepth, Ply + 1, -Beta, -Alpha, NullMove);
    }
  } else {
    ChildType = NodeType == NTAll ? NTCut : NodeType == NTCut ? NTAll : NTPV;
    Score = -Thread->NegaScoutSearch(SS + 1, ChildType, P, ChildDepth, Ply + 1, -Beta, -Alpha, NullMove);
  }
  if (Adjust.Reductions < 0) {
    Alpha = AlphaNow();
    if (Score > Alpha) {
      SS->Reductions = 0;
      Score = -Thread->NegaScoutSearch(SS + 1, ChildType, P, Depth + Adjust.Extensions - OnePly, Ply + 1, -Beta, -Alpha,
                                       NullMove);
    }
  }
  return Score;
}
