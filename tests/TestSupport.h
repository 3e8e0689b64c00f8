// Shared set-up for the engine tests: the engine is started once per test process and all tests share
// the one engine state (it holds a 1 GiB table, so it is never built twice).
#pragma once

#include <string_view>

#include "engine/core/State.h"

// The started engine's state, reset to a new game of the initial position (cheap reset; the hash tables
// are kept).
TState* TestState();
// TestState() with the position set from FEN text (or "startpos") and an empty game record.
TState* TestStateWith(std::string_view Fen);

// Writes all of Text to a file descriptor (a failure is reported to the running test).
void WriteAll(int Fd, std::string_view Text);
// Leaves the input layer on an empty pipe whose writer is gone, so that nothing later waits on it.
void ParkInput();
