// Iterative deepening over the legal root moves.
#pragma once

#include <cstdint>

#include "engine/core/State.h"

using TRootMoveScores = int32_t[256];

TMove SearchRoot(TState* S, TPosition* Position);
// Gnome sort by score, then by nodes, both descending; true when anything moved.
bool SortRootMoves(int32_t Count, TMove* Moves, int32_t* Scores, int64_t* Nodes);
