#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "support/Processes.h"
#include "support/TestState.h"

namespace {

TRun RunBench(const std::string& Arguments) {
  return RunCommand(std::string("'") + TALVARIND_BENCH_EXE + "' " + Arguments + " 2>/dev/null");
}

// One line "perft DEPTH LEAVES MS RATE" with these depth and leaves and integer time and rate.
::testing::AssertionResult IsPerftLine(const std::string& Output, int Depth, unsigned long long Leaves) {
  int D = -1, End = -1;
  unsigned long long N = 0, Ms = 0, Rate = 0;
  const bool Read = std::sscanf(Output.c_str(), "perft %d %llu %llu %llu\n%n", &D, &N, &Ms, &Rate, &End) == 4;
  const std::string Expected = "perft " + std::to_string(D) + " " + std::to_string(N) + " " + std::to_string(Ms) + " " +
                               std::to_string(Rate) + "\n";
  if (Read && D == Depth && N == Leaves && Output == Expected) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "output was \"" << Output << "\"";
}

TEST(BenchSmoke, PerftLine) {
  TRun R = RunBench("perft 3");
  EXPECT_EQ(R.Status, 0);
  EXPECT_TRUE(IsPerftLine(R.Output, 3, 8902));

  // The position may follow in several arguments.
  R = RunBench("perft 2 r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -");
  EXPECT_EQ(R.Status, 0);
  EXPECT_TRUE(IsPerftLine(R.Output, 2, 2039));

  // Without a command: usage on standard error only, and a failure status.
  R = RunBench("");
  EXPECT_NE(R.Status, 0);
  EXPECT_EQ(R.Output, "");
}

}  // namespace
