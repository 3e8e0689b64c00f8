// Runs a dialogue inside the test process on a pipe, to check the engine state it leaves behind.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "TestSupport.h"
#include "engine/core/State.h"

namespace e2e {

// A line of Input holding only this is not sent: the lines after the k-th such line are sent once the
// dialogue has answered k searches (lines beginning "bestmove" or "move "), so that they cannot be taken
// for input arriving during a search.
inline constexpr std::string_view AwaitAnswer = "<await answer>";

// Feeds Input (then the end of input) to Dialogue through the input layer and returns what it wrote on
// standard output. A dialogue still running after a generous deadline is told to quit and the test fails.
std::string RunInProcess(TState* S, std::string_view Input, const std::function<void()>& Dialogue);

// A fixture for a dialogue run in this process: the shared state, guarded for the test, and the input
// layer parked after it.
class TInProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    S = TestState();
    Guard = std::make_unique<TStateGuard>(S);
  }
  void TearDown() override {
    Guard.reset();
    ParkInput();
    TestState();
  }

  TState* S = nullptr;

 private:
  std::unique_ptr<TStateGuard> Guard;
};

}  // namespace e2e
