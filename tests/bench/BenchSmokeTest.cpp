#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <regex>
#include <string>

namespace {

struct TRun {
  std::string Output;
  int Status = -1;
};

TRun RunBench(const std::string& Arguments) {
  TRun Result;
  const std::string Command = std::string("'") + TALVARIND_BENCH_EXE + "' " + Arguments + " 2>/dev/null";
  FILE* Pipe = popen(Command.c_str(), "r");
  if (!Pipe) return Result;
  char Buffer[256];
  size_t N;
  while ((N = fread(Buffer, 1, sizeof Buffer, Pipe)) > 0) Result.Output.append(Buffer, N);
  const int Raw = pclose(Pipe);
  Result.Status = WIFEXITED(Raw) ? WEXITSTATUS(Raw) : -1;
  return Result;
}

TEST(BenchSmoke, PerftLine) {
  TRun R = RunBench("perft 3");
  EXPECT_EQ(R.Status, 0);
  EXPECT_TRUE(std::regex_match(R.Output, std::regex("perft 3 8902 [0-9]+ [0-9]+\n"))) << R.Output;

  // The position may follow in several arguments.
  R = RunBench("perft 2 r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -");
  EXPECT_EQ(R.Status, 0);
  EXPECT_TRUE(std::regex_match(R.Output, std::regex("perft 2 2039 [0-9]+ [0-9]+\n"))) << R.Output;

  // Without a command: usage on standard error only, and a failure status.
  R = RunBench("");
  EXPECT_NE(R.Status, 0);
  EXPECT_EQ(R.Output, "");
}

}  // namespace
