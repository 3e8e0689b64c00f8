#include "engine/frontend/Settings.h"

#include <gtest/gtest.h>

#include <climits>

#include "support/TestState.h"

namespace {

// Every dialogue's thread setting goes through here: whatever is asked, between one and the threads
// started.
TEST(FrontendSettings, ThreadLimitStaysWithinTheStartedThreads) {
  TState* S = TestState();
  TStateGuard Guard(S);
  const int32_t Started = S->ThreadCount;
  ASSERT_GE(Started, 1);
  const struct {
    int32_t Wanted, Used;
  } Cases[] = {
      {INT_MIN, 1}, {-3, 1}, {0, 1}, {1, 1}, {Started, Started}, {Started + 1, Started}, {INT_MAX, Started},
  };
  for (const auto& C : Cases) {
    SetThreadLimit(S, C.Wanted);
    EXPECT_EQ(S->UsedThreadCount, C.Used) << C.Wanted;
    EXPECT_LE(S->MaxThreadCount, Started) << C.Wanted;
  }
  if (Started > 2) {
    SetThreadLimit(S, Started - 1);
    EXPECT_EQ(S->UsedThreadCount, Started - 1);
  }
}

}  // namespace
