// "talvarind bench [DEPTH]", the word engine-testing frameworks run: its last two lines, its node count
// against the bench tool's, and its refusals.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "support/Processes.h"
#include "support/TestState.h"
#include "support/Text.h"

namespace {

TRun RunProgram(const std::string& Program, const std::string& Arguments) {
  return RunCommand("'" + Program + "' " + Arguments + " 2>/dev/null");
}

TEST(BenchCommand, EndsWithTheFrameworkLinesAndTheToolsNodeCount) {
  const TRun Bench = RunProgram(TALVARIND_EXE, "bench 5");
  ASSERT_EQ(Bench.Status, 0);
  const std::vector<std::string> Out = Lines(Bench.Output);
  ASSERT_GE(Out.size(), 2u) << Bench.Output;
  long long Nodes = -1, Rate = -1;
  int End = -1;
  EXPECT_EQ(std::sscanf(Out[Out.size() - 2].c_str(), "Nodes searched: %lld%n", &Nodes, &End), 1) << Bench.Output;
  EXPECT_EQ(size_t(End), Out[Out.size() - 2].size());
  End = -1;
  EXPECT_EQ(std::sscanf(Out.back().c_str(), "Nodes/second: %lld%n", &Rate, &End), 1) << Bench.Output;
  EXPECT_EQ(size_t(End), Out.back().size());
  EXPECT_GT(Rate, 0);

  // The same search as the bench tool's, so the default depth gives the recorded signature.
  const TRun Tool = RunProgram(TALVARIND_BENCH_EXE, "search 5");
  ASSERT_EQ(Tool.Status, 0);
  long long Total = -2;
  for (const std::string& Line : Lines(Tool.Output)) std::sscanf(Line.c_str(), "total %lld", &Total);
  EXPECT_EQ(Nodes, Total);
}

TEST(BenchCommand, RefusesABadDepth) {
  for (const char* Arguments : {"bench 0", "bench 65", "bench x", "bench 3x", "bench ''", "bench 3 4"}) {
    const TRun Run = RunProgram(TALVARIND_EXE, Arguments);
    EXPECT_EQ(Run.Status, 2) << Arguments;
    EXPECT_EQ(Run.Output, "") << Arguments;
  }
}

}  // namespace
