#include "engine/search/RootSearch.h"

#include <cstdio>
#include <utility>

#include "engine/board/Position.h"
#include "engine/moves/GameEnd.h"
#include "engine/moves/MakeMove.h"
#include "engine/moves/MoveGen.h"
#include "engine/search/Hooks.h"
#include "engine/search/MoveOrder.h"
#include "engine/search/Parallel.h"
#include "engine/search/SearchCommon.h"
#include "engine/search/TimeControl.h"
#include "engine/search/TransTable.h"

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

namespace {

constexpr int32_t Unsearched = -2147483647;

inline int64_t NodesNow(const TState* S) { return S->TotalNodes.load(std::memory_order_relaxed); }

// Whether the position the walk has reached ends the game by the fifty-move rule or by its third
// occurrence, counting the game's positions since the last irreversible move and those of the walk
// (Walked[0..Count), the last one being this position's).
bool WalkReachedDraw(const TState* S, const TPosition* P, const uint64_t* Walked, int Count) {
  if (P->ReversibleMoves >= 100) return true;
  int Seen = 0;
  for (int I = 0; I < Count; I++) Seen += Walked[I] == P->Hash;
  const int H = S->HistoryPly;
  for (int I = 1; I <= P->ReversibleMoves - Count + 1 && H - I >= 0; I++)
    Seen += S->HistoryStack[H - I].Hash == P->Hash;
  return Seen >= 3;
}

// The principal variation: the best move, then exact entries of this search as far as they stay legal
// and the game goes on (the table's entries may lead round a repetition for ever).
// PV holds Capacity moves and ends at its first 0 word, if it is shorter.
void WalkPrincipalVariation(const TState* S, const TPosition* Root, TMove BestMove, TMove* PV, int Capacity) {
  TPosition Copy = *Root;
  uint64_t Walked[257];
  Walked[0] = Root->Hash;
  for (int Index = 0; Index < Capacity; Index++) {
    const uint64_t Data = TranspositionTablePVProbe(&Copy);
    TMove Move = Data ? TTDataMove(Data) : 0;
    if (Index == 0) Move = BestMove;
    if (!Data || !Move || !IsLegalWithEnhancedCheck(&Copy, Move)) {
      if (Index == 0) {
        PV[0] = BestMove;
        PV[1] = 0;
      } else {
        PV[Index] = 0;
      }
      return;
    }
    PV[Index] = Move;
    TUndoMove Undo;
    DoMakeMove(&Copy, Move, &Undo);
    Walked[Index + 1] = Copy.Hash;
    if (Index + 1 < Capacity && WalkReachedDraw(S, &Copy, Walked, Index + 2)) {
      PV[Index + 1] = 0;
      return;
    }
  }
}

// A search stopped inside its first iteration still has to answer: an interface waiting for a move would
// otherwise lose on time.  The best move searched so far, or else the first legal one.
TMove FallbackMove(TState* S, TPosition* P, TMove PartialBest, int32_t Count, const TMove* Moves) {
  TMove Move = PartialBest ? PartialBest : Count > 0 ? Moves[0] : 0;
  if (!Move) {
    TMoveBuffer All;
    if (GenerateLegalMoves(P, All) > 0) Move = All[0];
  }
  if (Move && !S->PV[0]) {
    S->PV[0] = Move;
    S->PV[1] = 0;
  }
  return Move;
}

// The legal root moves, fixed by the first iteration and re-sorted before each later one, with each
// move's score and nodes from the last iteration that reached it.
struct TRootMoves {
  TMove Moves[256];
  int32_t Scores[256];
  int64_t Nodes[256];
  int32_t Count = 0;
};

// One iteration's running result.
struct TIteration {
  int32_t BestScore = -InfinityScore;
  int32_t Alpha = -InfinityScore;
  TMove BestMove = 0;
  int32_t TableKind = TTKNone;
  int64_t Nodes = 0;
};

// A later root move of an iteration is probed with a null window around the best score so far and
// searched again with the full window above it when it beats it; the first gets the full window.
int32_t SearchLaterIterationMove(TSearchStack* Child, TPosition* P, int32_t Depth, int32_t BestScore) {
  if (BestScore == -InfinityScore) return -Search(Child, NTPV, P, Depth, 1, -InfinityScore, InfinityScore, true);
  const int32_t Score = -Search(Child, NTPV, P, Depth, 1, -BestScore - 1, -BestScore, true);
  if (Score <= BestScore) return Score;
  return -Search(Child, NTPV, P, Depth, 1, -InfinityScore, -BestScore, true);
}

// The number of lines a think reports, within the list's count (at least one).
int32_t LinesWanted(const TState* S, int32_t Count) {
  const int32_t Wanted = S->MultiPV < 1 ? 1 : S->MultiPV > MaxMultiPV ? MaxMultiPV : S->MultiPV;
  return Count < Wanted ? (Count < 1 ? 1 : Count) : Wanted;
}

// The root moves a think may play: all, or those "go searchmoves" named.
bool MayPlay(const TState* S, TMove Move) {
  if (S->SearchMovesCount == 0) return true;
  for (int32_t I = 0; I < S->SearchMovesCount; I++)
    if (S->SearchMoves[I] == Move) return true;
  return false;
}

// A settled iteration: stored at the root, its variations walked and reported, best first.
void PublishIteration(TState* S, TPosition* P, int32_t Iteration, const TIteration& It, const TRootMoves& List) {
  if (It.TableKind != TTKNone) TranspositionTableStore(P, It.BestMove, It.Alpha, Iteration, It.TableKind, 0);
  WalkPrincipalVariation(S, P, It.BestMove, S->PV, 256);
  // Without a legal move the game is over: lost when in check, else drawn.
  const int32_t Score = It.Alpha > -InfinityScore ? It.Alpha : IsInCheck(P, P->Side) ? -MateScore : 0;
  TSearchLine Lines[MaxMultiPV];
  Lines[0] = {Score, S->PV};
  const int32_t Count = LinesWanted(S, List.Count);
  if (Count > 1) {
    // The best Count moves by score, the earlier in the list first among equals: the first is the best
    // move, whose line is already walked. Their scores are exact (see Bound).
    int32_t Order[256];
    for (int32_t I = 0; I < List.Count; I++) {
      int32_t J = I;
      for (; J > 0 && List.Scores[Order[J - 1]] < List.Scores[I]; J--) Order[J] = Order[J - 1];
      Order[J] = I;
    }
    int32_t Line = 1;
    for (int32_t I = 0; I < List.Count && Line < Count; I++) {
      const TMove Move = List.Moves[Order[I]];
      if (Move == It.BestMove) continue;
      TMove* PV = S->LinePVs[Line - 1];
      PV[MaxLinePV - 1] = 0;
      WalkPrincipalVariation(S, P, Move, PV, MaxLinePV - 1);
      Lines[Line++] = {List.Scores[Order[I]], PV};
    }
  }
  HookIterationDone(S, Iteration, Lines, Count);
}

// One root search: the root's set-up, the list of root moves and the running iteration.
struct TRootSearch {
  TState* S;
  TPosition* P;
  TSearchStack* Root;
  TSearchStack* Child;
  TGeneratedMoves FirstMoves;
  TRootMoves List;
  TIteration It;
  int32_t BestScores[256] = {};
  TMove EasyMove = 0;
  // From the second iteration on, every root move gets a ply more: the root in check, the side not to
  // move stalemated, or a promotion just played.
  bool ExtendAll = false;
  bool RulesSaidStop = false;
  // Every legal root move, also those "go searchmoves" leaves out: one alone ends deepening early.
  int32_t LegalMoves = 0;

  TRootSearch(TState* State, TPosition* Position) : S(State), P(Position) {
    S->Generation = (S->Generation + 1) & 255;
    const TMove LastMove = S->HistoryPly > 0 ? S->HistoryStack[S->HistoryPly - 1].Move : 0;
    TMove FirstMoveToTry = 0;
    if (const uint64_t Data = TranspositionTableHashMoveProbe(P)) {
      if ((TTDataKind(Data) == TTKLower || TTDataKind(Data) == TTKExact) &&
          IsLegalWithEnhancedCheck(P, TTDataMove(Data)))
        FirstMoveToTry = TTDataMove(Data);
    }
    Root = S->SearchStack(S->HistoryPly);
    Child = Root + 1;
    InitMoves(&FirstMoves, FirstMoveToTry, Root, true, true);
    S->StopOnPonderHit = false;
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
    ExtendAll = RootInCheck || Stalemate || MoveIsPromotion(LastMove);
  }

  // Books a searched root move (already taken back); true when the search must stop.
  bool Record(int32_t Index, int32_t Score, int64_t Spent) {
    List.Scores[Index] = Score;
    List.Nodes[Index] = Spent;
    S->Nodes += Spent;
    It.Nodes += Spent;
    if (Score > It.BestScore) It.BestScore = Score;
    if (Score > It.Alpha) {
      It.Alpha = Score;
      It.BestMove = List.Moves[Index];
      It.TableKind = TTKExact;
    }
    if (CheckForStop(S, true, true)) return true;
    P->FirstRootMove = false;
    return false;
  }

  // Builds the list: every legal move, one ply deep, with the full window.
  void FirstIteration() {
    TMove Move;
    while (GetNextBestMove(P, &FirstMoves, Move)) {
      Root->CurrentMove = Move;
      TUndoMove Undo;
      if (!MakeLegalMove(P, Move, &Undo)) continue;
      LegalMoves++;
      if (!MayPlay(S, Move)) {
        DoUndoMove(P, &Undo);
        continue;
      }
      const int32_t Index = List.Count++;
      List.Moves[Index] = Move;
      const int64_t Before = NodesNow(S);
      const int32_t Score = -Search(Child, NTPV, P, OnePly, 1, -InfinityScore, InfinityScore, true);
      DoUndoMove(P, &Undo);
      if (Record(Index, Score, NodesNow(S) - Before) || List.Count >= 256) break;
    }
  }

  // The score a later move must beat to be among the lines reported: the best so far, or with several
  // lines the worst of the best ones so far. A move that beats it is searched again with the window
  // above it, so every reported score is exact; one that does not is not reported.
  int32_t Bound(int32_t Searched) const {
    const int32_t Lines = LinesWanted(S, List.Count);
    if (Lines == 1) return It.BestScore;
    if (Searched < Lines) return -InfinityScore;
    int32_t Best[MaxMultiPV];
    int32_t Kept = 0;
    for (int32_t I = 0; I < Searched; I++) {
      int32_t J = Kept < Lines ? Kept++ : Lines;
      for (; J > 0 && Best[J - 1] < List.Scores[I]; J--)
        if (J < Lines) Best[J] = Best[J - 1];
      if (J < Lines) Best[J] = List.Scores[I];
    }
    return Best[Lines - 1];
  }

  void LaterIteration(int32_t Iteration) {
    SortRootMoves(List.Count, List.Moves, List.Scores, List.Nodes);
    if (Iteration == 2) {
      EasyMove = List.Count > 0 ? List.Moves[0] : 0;
      for (int32_t I = 1; I < List.Count; I++)
        if (List.Scores[I] >= List.Scores[0] - 200) EasyMove = 0;
    }
    for (int32_t I = 0; I < List.Count; I++) {
      P->FirstRootMove = I == 0;
      List.Scores[I] = Unsearched;
      List.Nodes[I] = Unsearched;
      Root->CurrentMove = List.Moves[I];
      TUndoMove Undo;
      DoMakeMove(P, List.Moves[I], &Undo);
      // In quarter plies, for the position after the root move: iteration N is N plies deep with the root
      // move as the first, so N - 1 plies remain (the first iteration, which builds the list, searched a
      // ply after each move too, as deep as the second); one more when every root move is extended or
      // when the side that just moved has a pawn on its seventh rank with the square ahead free.
      const int32_t Depth = (Iteration - 1) * OnePly + (ExtendAll || MoverHasPawnOnSeventh(P) ? OnePly : 0);
      const int64_t Before = NodesNow(S);
      const int32_t Score = SearchLaterIterationMove(Child, P, Depth, Bound(I));
      DoUndoMove(P, &Undo);
      if (Record(I, Score, NodesNow(S) - Before)) break;
    }
    if (EasyMove != It.BestMove) EasyMove = 0;
  }

  // After a completed iteration: whether to search another.
  bool Deepen(int32_t Iteration) {
    BestScores[Iteration] = It.Alpha;
    if (!RulesSaidStop) {
      const TIterationFacts Facts{
          Iteration, LegalMoves, BestScores, It.BestMove, EasyMove, List.Count > 0 ? List.Nodes[0] : 0, It.Nodes};
      RulesSaidStop = DeepeningShouldEnd(S, Facts);
    }
    if (RulesSaidStop) {
      if (!S->PonderSearch.load(std::memory_order_relaxed)) return false;
      S->StopOnPonderHit = true;
    }
    return !((S->MaxDepth != 0 && Iteration + 1 > S->MaxDepth) || Iteration + 1 >= 256);
  }
};

}  // namespace

TMove SearchRoot(TState* S, TPosition* P) {
  TRootSearch R(S, P);
  TMove Result = 0;
  for (int32_t Iteration = 1;; Iteration++) {
    S->IterativeDepth = Iteration;
    S->CheckCounter.store(0, std::memory_order_relaxed);
    P->FirstRootMove = false;
    if (CheckForStop(S, true, true)) break;
    R.It = TIteration();
    HookIterationStarted(S, Iteration);
    R.Root->Hash = P->Hash;
    P->FirstRootMove = true;
    if (Iteration == 1) R.FirstIteration();
    else R.LaterIteration(Iteration);

    // A stopped iteration counts for nothing.
    if (S->AbortSearch.load(std::memory_order_relaxed)) {
      HookIterationStopped(S, Iteration);
      break;
    }
    if (R.It.BestMove) Result = R.It.BestMove;
    PublishIteration(S, P, Iteration, R.It, R.List);
    if (!R.Deepen(Iteration)) break;
  }
  P->FirstRootMove = false;
  if (!Result) Result = FallbackMove(S, P, R.It.BestMove, R.List.Count, R.List.Moves);
  return Result;
}
