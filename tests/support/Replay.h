// Games played on the test process's own engine state: to set a position up by its moves, and to judge
// the moves an engine process answers.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "engine/core/State.h"

// The shared test state set to Fen (or "startpos") with Moves played; nullptr when a move is not legal
// there.
TState* Replay(const std::vector<std::string>& Moves, std::string_view Fen = "startpos");
// Whether Move, in coordinate text, is legal in the state's current position.
bool IsLegalMove(TState* S, std::string_view Move);
// The legal moves of the state's current position, as coordinate text.
std::vector<std::string> LegalMoves(TState* S);
// Plays Moves, in coordinate text, on the state's current position; a failure names the move refused.
::testing::AssertionResult PlayMoves(TState* S, const std::vector<std::string>& Moves);
// The same for move words on a bare position.
::testing::AssertionResult PlayMoves(TPosition* P, const std::vector<TMove>& Moves);
