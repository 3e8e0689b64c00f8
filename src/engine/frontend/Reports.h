// Progress reports of a think: the XBoard thinking line and the UCI info line.
#pragma once

#include <cstdint>

#include "engine/core/State.h"

// A mate score in moves, as the protocols report it: N > 0 mates in N, N < 0 is mated in -N, 0 is mated
// now; NoMate for any other score.
constexpr int32_t NoMate = -2147483647 - 1;
int32_t MateInMoves(int32_t Score);

void DumpState(TState* S, int32_t Score);
// The rest of an info line after "info depth D [multipv K] ", with PV's variation (S->PV when null).
void DumpUCIState(TState* S, int32_t Score, const TMove* PV = nullptr);
