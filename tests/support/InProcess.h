// Dialogues and thinks run inside the test process with the input layer on a pipe, to check the engine
// state they leave behind.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "engine/core/State.h"
#include "engine/frontend/Input.h"
#include "support/Processes.h"
#include "support/TestState.h"

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

// The input layer on a pipe of our own. The writer stays open until Close, so a search that polls sees
// nothing waiting rather than the end of input (which would end the dialogue).
class TInputPipe {
 public:
  TInputPipe() {
    if (pipe(Fds) != 0) ADD_FAILURE() << "pipe failed";
    InputAttach(Fds[0]);
  }
  ~TInputPipe() {
    ParkInput();
    Close();
    if (Fds[0] >= 0) close(Fds[0]);
  }
  void Send(std::string_view Text) { WriteAll(Fds[1], Text); }
  void Close() {
    if (Fds[1] >= 0) close(Fds[1]);
    Fds[1] = -1;
  }
  // The two ends, for tests of the input layer itself; the writer is -1 once closed.
  int Reader() const { return Fds[0]; }
  int Writer() const { return Fds[1]; }

 private:
  int Fds[2] = {-1, -1};
};
