// Game-end tests, full legality and perft.
#pragma once

#include <cstdint>

#include "engine/core/Types.h"

int32_t RepetitionCount(const TPosition* Position);
bool IsStalemate(TPosition* Position);
bool IsCheckmate(TPosition* Position);
bool IsDraw(TPosition* Position);
bool IsLegalWithEnhancedCheck(TPosition* Position, TMove Move);
uint64_t Perft(TPosition* Position, int32_t Depth);
