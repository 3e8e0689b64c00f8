// Settings the three dialogues share.
#pragma once

#include <cstdint>

#include "engine/core/State.h"

// The search depth the program starts with, whichever dialogue it runs; the shell shows and changes it.
constexpr int32_t DefaultShellDepth = 14;

// A requested thread count: never more than the threads started, and at least one searching.
void SetThreadLimit(TState* S, int32_t Wanted);
