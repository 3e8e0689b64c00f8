#include "support/InProcess.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <thread>

#include "engine/frontend/Input.h"
#include "support/Processes.h"
#include "support/TestState.h"

using namespace std::chrono_literals;

namespace {

// Lines beginning "bestmove" or "move " in Text.
int AnswersIn(const std::string& Text) {
  int Answers = 0;
  for (size_t At = 0; At < Text.size();) {
    const std::string_view Line = std::string_view(Text).substr(At);
    if (Line.rfind("bestmove", 0) == 0 || Line.rfind("move ", 0) == 0) Answers++;
    const size_t End = Text.find('\n', At);
    At = End == std::string::npos ? Text.size() : End + 1;
  }
  return Answers;
}

}  // namespace

std::string RunInProcess(TState* S, std::string_view Input, const std::function<void()>& Dialogue) {
  int Fds[2];
  if (pipe(Fds) != 0) {
    ADD_FAILURE() << "pipe";
    return "";
  }
  TOutputCapture Capture;
  std::thread Writer([&] {
    std::string_view Rest = Input;
    for (int Answers = 0;; Answers++) {
      const size_t Mark = Rest.find(std::string(AwaitAnswer) + "\n");
      WriteAll(Fds[1], Rest.substr(0, Mark));
      if (Mark == std::string_view::npos) break;
      Rest.remove_prefix(Mark + AwaitAnswer.size() + 1);
      const auto Deadline = std::chrono::steady_clock::now() + Patience(30s);
      while (AnswersIn(Capture.Text()) <= Answers && std::chrono::steady_clock::now() < Deadline)
        std::this_thread::sleep_for(1ms);
    }
    close(Fds[1]);
  });
  InputAttach(Fds[0]);
  auto Run = std::async(std::launch::async, Dialogue);
  const bool Hung = Run.wait_for(Patience(30s)) == std::future_status::timeout;
  if (Hung) {
    S->AbortSearch = true;
    S->Quit = true;
  }
  Run.wait();
  Writer.join();
  const std::string Output = Capture.Finish();
  ParkInput();
  close(Fds[0]);
  if (Hung) ADD_FAILURE() << "the dialogue did not return at the end of its input";
  return Output;
}
