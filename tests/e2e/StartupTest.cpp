// Start-up when memory is short: one clear line and a failing exit status, never a crash or a half start.
// Leaving right after start-up: at once, whatever the table's fault-in is doing.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "support/Processes.h"
#include "support/TestState.h"

// ctest label: timed (it measures start-up)
TEST(EngineStartup, TableThatCannotBeAllocatedEndsTheProgramCleanly) {
  // Sanitizer runtimes reserve terabytes of address space and cannot run under a small limit.
  if (SanitizedRun()) GTEST_SKIP() << "an address-space limit does not mix with sanitizer runtimes";
  const std::string Command =
      std::string("ulimit -v 600000 && echo quit | '") + TALVARIND_EXE + "' uci 2>&1 >/dev/null";
  FILE* Pipe = popen(Command.c_str(), "r");
  ASSERT_NE(Pipe, nullptr);
  std::string Errors;
  std::array<char, 512> Buffer{};
  while (fgets(Buffer.data(), int(Buffer.size()), Pipe)) Errors += Buffer.data();
  const int Status = pclose(Pipe);
  ASSERT_TRUE(WIFEXITED(Status)) << "the engine must exit, not die by a signal";
  EXPECT_NE(WEXITSTATUS(Status), 0);
  EXPECT_EQ(Errors, "talvarind: cannot allocate the transposition table (1073741888 bytes)\n");
}

TEST(EngineStartup, QuitsAtOnceWhileTheTableIsStillBeingFaultedIn) {
  // Interfaces start an engine to read its options and quit it at once, and kill one that lingers. Here
  // the table's fault-in takes seconds after an idle spell; leaving stops it. About 20 ms on a quiet
  // machine; the bound is for a real fault only.
  using namespace std::chrono_literals;
  const struct {
    const char* Name;
    std::vector<std::string> Arguments;
    const char* Greeting;  // sent (nullptr: nothing), then Wanted awaited
    const char* Wanted;
    const char* Leave;  // nullptr: the end of input
  } Cases[] = {
      {"uci, quit", {"uci"}, "uci", "uciok\n", "quit"},
      {"uci, end of input", {"uci"}, "uci", "uciok\n", nullptr},
      {"xboard, quit", {"xboard"}, "ping 1", "pong 1\n", "quit"},
      {"shell, quit", {}, nullptr, ">", "quit"},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    TEngineProcess Engine;
    ASSERT_TRUE(Engine.Start(TALVARIND_EXE, Case.Arguments));
    if (Case.Greeting) Engine.Send(Case.Greeting);
    std::string Seen;
    ASSERT_TRUE(Engine.ReadUntilText(Case.Wanted, Seen, Patience(10s))) << Seen;
    const auto Left = std::chrono::steady_clock::now();
    if (Case.Leave) Engine.Send(Case.Leave);
    else Engine.CloseInput();
    const TExit Exit = Engine.Wait(Patience(10s));
    const auto Ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - Left);
    EXPECT_TRUE(Exit.Clean()) << "code " << Exit.Code << " signal " << Exit.Signal;
    EXPECT_LE(Ms.count(), Patience(1000ms).count()) << "to the end of the process";
    std::printf("[          ] %s: %lld ms to the end of the process\n", Case.Name, (long long)Ms.count());
  }
}
