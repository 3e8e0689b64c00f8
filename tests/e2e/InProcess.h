// Runs a dialogue inside the test process on a pipe, to check the engine state it leaves behind.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "engine/core/State.h"

namespace e2e {

// Feeds Input (then the end of input) to Dialogue through the input layer and returns what it wrote on
// standard output. A dialogue still running after a generous deadline is told to quit and the test fails.
std::string RunInProcess(TState* S, std::string_view Input, const std::function<void()>& Dialogue);

}  // namespace e2e
