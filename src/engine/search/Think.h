// The one way a front end makes the engine choose a move.
#pragma once

#include "engine/core/State.h"

bool DoThink(TState* S);
bool Think(TState* S);
bool ThinkHint(TState* S);
bool ThinkAndExecute(TState* S);
// A new game: the transposition table, the pawn hash, the history, the killers and the variation of the
// game before are forgotten. Whoever starts a game calls it next to InitBoard.
void ClearSearchTables(TState* S);
