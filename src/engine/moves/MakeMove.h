// Making and taking back moves, in the search and in the game.
#pragma once

#include "engine/board/Position.h"
#include "engine/core/Types.h"

void DoMakeMove(TPosition* Position, TMove Move, TUndoMove* Undo);
void DoUndoMove(TPosition* Position, const TUndoMove* Undo);
void DoMakeNullMove(TPosition* Position, TUndoMove* Undo);
void DoUndoNullMove(TPosition* Position, const TUndoMove* Undo);

// Makes a pseudo-legal move and keeps it when the mover's king is safe; otherwise takes it back and
// answers false.
inline bool MakeLegalMove(TPosition* P, TMove Move, TUndoMove* Undo) {
  DoMakeMove(P, Move, Undo);
  if (!IsIllegal(P)) return true;
  DoUndoMove(P, Undo);
  return false;
}

// Whether a pseudo-legal move keeps the mover's king safe; the position is left as it was.
inline bool LeavesKingSafe(TPosition* P, TMove Move) {
  TUndoMove Undo;
  if (!MakeLegalMove(P, Move, &Undo)) return false;
  DoUndoMove(P, &Undo);
  return true;
}

// Game level: legality test, clocks, history.  Refuses (false, nothing changed) an illegal move and any
// move once the history is full.
bool MakeMove(TPosition* Position, TMove Move);
bool MakeUndoMove(TPosition* Position);
