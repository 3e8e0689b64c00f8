// Move generation: pseudo-legal lists for the search, the legal list for everyone else.
#pragma once

#include "engine/core/Types.h"

// Each writes the moves from Moves[0] on, ends them with a 0 word and returns the address of that word.
TMove* GenerateCaptureMoves(const TPosition* Position, TMove* Moves);
TMove* GenerateQuietMoves(const TPosition* Position, TMove* Moves);
// The move word is pseudo-legal in the position.
bool IsLegal(const TPosition* Position, TMove Move);
// The legal moves, captures first and each part in generation order, written from Moves[0] on (a buffer of
// MaxGeneratedMoves words) and ended with a 0 word; answers their count.  The position is left as it was.
int GenerateLegalMoves(TPosition* Position, TMove* Moves);
