#include "engine/moves/GameEnd.h"

#include "engine/board/Position.h"
#include "engine/core/State.h"
#include "engine/moves/MakeMove.h"
#include "engine/moves/MoveGen.h"

int32_t RepetitionCount(const TPosition* P) {
  const TState* S = P->State;
  const int H = S->HistoryPly;
  int32_t Count = 0;
  // Entries below the start of the game record hold nothing of this game.
  for (int I = 2; I < P->ReversibleMoves && H - I >= 0; I++)
    if (const_cast<TState*>(S)->SearchStack(H - I)->Hash == P->Hash) Count++;
  return Count;
}

static inline TMove* GenerateAll(const TPosition* P, TMove* Moves) {
  return GenerateQuietMoves(P, GenerateCaptureMoves(P, Moves));
}

bool IsStalemate(TPosition* P) {
  TMoveBuffer Moves;
  return GenerateLegalMoves(P, Moves) == 0;
}

bool IsCheckmate(TPosition* P) { return IsInCheck(P, P->Side) && IsStalemate(P); }

bool IsDraw(TPosition* P) {
  return P->ReversibleMoves >= 100 || P->State->HistoryPly >= 255 || RepetitionCount(P) >= 3;
}

bool IsLegalWithEnhancedCheck(TPosition* P, TMove Move) { return IsLegal(P, Move) && LeavesKingSafe(P, Move); }

uint64_t Perft(TPosition* P, int32_t Depth) {
  if (Depth <= 0) return 1;
  TMoveBuffer Moves;
  GenerateAll(P, Moves);
  uint64_t Count = 0;
  for (int I = 0; I < MaxGeneratedMoves && Moves[I]; I++) {
    TUndoMove Undo;
    if (!MakeLegalMove(P, Moves[I], &Undo)) continue;
    Count += Perft(P, Depth - 1);
    DoUndoMove(P, &Undo);
  }
  return Count;
}
