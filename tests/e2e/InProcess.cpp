#include "InProcess.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <future>
#include <thread>

#include "EngineProcess.h"
#include "TestSupport.h"
#include "engine/frontend/Input.h"

namespace e2e {

using namespace std::chrono_literals;

std::string RunInProcess(TState* S, std::string_view Input, const std::function<void()>& Dialogue) {
  int Fds[2];
  if (pipe(Fds) != 0) {
    ADD_FAILURE() << "pipe";
    return "";
  }
  std::thread Writer([&] {
    WriteAll(Fds[1], Input);
    close(Fds[1]);
  });
  InputAttach(Fds[0]);
  std::fflush(stdout);
  FILE* Capture = std::tmpfile();
  const int Terminal = dup(STDOUT_FILENO);
  dup2(fileno(Capture), STDOUT_FILENO);
  auto Run = std::async(std::launch::async, Dialogue);
  const bool Hung = Run.wait_for(Patience(30s)) == std::future_status::timeout;
  if (Hung) {
    S->AbortSearch = true;
    S->Quit = true;
  }
  Run.wait();
  Writer.join();
  std::fflush(stdout);
  dup2(Terminal, STDOUT_FILENO);
  close(Terminal);
  std::string Output;
  std::rewind(Capture);
  char Chunk[4096];
  size_t Count;
  while ((Count = std::fread(Chunk, 1, sizeof Chunk, Capture)) > 0) Output.append(Chunk, Count);
  std::fclose(Capture);
  ParkInput();
  close(Fds[0]);
  if (Hung) ADD_FAILURE() << "the dialogue did not return at the end of its input";
  return Output;
}

}  // namespace e2e
