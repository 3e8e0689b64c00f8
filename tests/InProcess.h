// Runs a dialogue inside the test process on a pipe, to check the engine state it leaves behind.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "engine/core/State.h"

namespace e2e {

// A line of Input holding only this is not sent: the lines after the k-th such line are sent once the
// dialogue has answered k searches (lines beginning "bestmove" or "move "), so that they cannot be taken
// for input arriving during a search.
inline constexpr std::string_view AwaitAnswer = "<await answer>";

// Feeds Input (then the end of input) to Dialogue through the input layer and returns what it wrote on
// standard output. A dialogue still running after a generous deadline is told to quit and the test fails.
std::string RunInProcess(TState* S, std::string_view Input, const std::function<void()>& Dialogue);

}  // namespace e2e
