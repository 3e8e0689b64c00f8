// Pseudo-legal move generation.
#pragma once

#include "engine/core/Types.h"

// Each writes the moves from Moves[0] on, ends them with a 0 word and returns the address of that word.
TMove* GenerateCaptureMoves(const TPosition* Position, TMove* Moves);
TMove* GenerateQuietMoves(const TPosition* Position, TMove* Moves);
// The move word is pseudo-legal in the position.
bool IsLegal(const TPosition* Position, TMove Move);
