// Replays games on the test process's own engine state, to judge the moves an engine process answers.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engine/core/State.h"

namespace e2e {

// The shared test state set to Fen (or "startpos") with Moves played; nullptr when a move is not legal
// there.
TState* Replay(const std::vector<std::string>& Moves, std::string_view Fen = "startpos");
// Whether Move, in coordinate text, is legal in the state's current position.
bool IsLegalMove(TState* S, std::string_view Move);
// The legal moves of the state's current position, as coordinate text.
std::vector<std::string> LegalMoves(TState* S);
// Moves joined by single spaces.
std::string Join(const std::vector<std::string>& Moves);

}  // namespace e2e
