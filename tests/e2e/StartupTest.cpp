// Start-up when memory is short: one clear line and a failing exit status, never a crash or a half start.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <string>

#include "EngineProcess.h"

TEST(EngineStartup, TableThatCannotBeAllocatedEndsTheProgramCleanly) {
  // Sanitizer runtimes reserve terabytes of address space and cannot run under a small limit.
  if (e2e::Sanitized()) GTEST_SKIP() << "an address-space limit does not mix with sanitizer runtimes";
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
