// The bench signature: the node total of a one-thread search of the benchmark positions to the default
// depth. It repeats exactly from run to run, so a different total means the search visits another tree.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "engine/search/Bench.h"
#include "engine/search/TransTable.h"
#include "support/PositionChecks.h"
#include "support/TestState.h"

namespace {

TEST(BenchSignature, SearchVisitsTheRecordedTree) {
  if (SanitizedRun()) GTEST_SKIP() << "the signature is checked in the plain build";
#ifndef NDEBUG
  GTEST_SKIP() << "the signature is checked in the optimised build";
#endif
  std::ifstream File(std::string(TALVARIND_SOURCE_DIR) + "/bench/signature.txt");
  long long Recorded = -1;
  ASSERT_TRUE(File >> Recorded) << "bench/signature.txt holds no number";

  const std::string Command = std::string("'") + TALVARIND_BENCH_EXE + "' search 2>/dev/null";
  FILE* Pipe = popen(Command.c_str(), "r");
  ASSERT_NE(Pipe, nullptr);
  long long Total = -1;
  char Line[256];
  while (std::fgets(Line, sizeof Line, Pipe)) std::sscanf(Line, "total %lld", &Total);
  ASSERT_EQ(pclose(Pipe), 0);
  EXPECT_EQ(Total, Recorded)
      << "the search visits another tree than the recorded one. If that is meant, write the new total, " << Total
      << ", into bench/signature.txt and give it in the commit message together with the reason.";
}

}  // namespace

// The browser build has far less memory than a desktop: its bench must count the same tree all the same.
TEST(BenchSignature, DoesNotDependOnTheEnginesTableSize) {
  TState* S = TestState();
  TStateGuard Guard(S);
  const int64_t Before = TranspositionTableMegabytes(S);
  int64_t Nodes[2] = {};
  const int64_t Sizes[2] = {16, 256};
  for (int I = 0; I < 2; ++I) {
    ASSERT_EQ(TranspositionTableResize(S, Sizes[I]), TTableSizing::Done);
    Nodes[I] = RunBench(S, 6).Nodes;
    EXPECT_EQ(TranspositionTableMegabytes(S), Sizes[I]) << "the bench gives the table back as it found it";
  }
  EXPECT_EQ(Nodes[0], Nodes[1]);
  EXPECT_EQ(TranspositionTableResize(S, Before), TTableSizing::Done);
}
