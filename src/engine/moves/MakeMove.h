// Making and taking back moves, in the search and in the game.
#pragma once

#include "engine/core/Types.h"

void DoMakeMove(TPosition* Position, TMove Move, TUndoMove* Undo);
void DoUndoMove(TPosition* Position, const TUndoMove* Undo);
void DoMakeNullMove(TPosition* Position, TUndoMove* Undo);
void DoUndoNullMove(TPosition* Position, const TUndoMove* Undo);

// Game level: legality test, clocks, history.  Refuses (false, nothing changed) an illegal move and any
// move once the history is full.
bool MakeMove(TPosition* Position, TMove Move);
bool MakeUndoMove(TPosition* Position);
