#include <gtest/gtest.h>

#include <pthread.h>
#include <sched.h>

#include <atomic>
#include <thread>

#include "engine/platform/Threads.h"

namespace {

class TProbeThread : public TThread {
 public:
  ~TProbeThread() override { WaitFor(); }

  std::atomic<bool> Ran{false};
  std::atomic<bool> SawTerminate{false};
  std::atomic<size_t> StackSize{0};
  std::atomic<bool> Proceed{false};

 protected:
  void Execute() override {
    pthread_attr_t Attributes;
    if (pthread_getattr_np(pthread_self(), &Attributes) == 0) {
      size_t Size = 0;
      pthread_attr_getstacksize(&Attributes, &Size);
      StackSize.store(Size);
      pthread_attr_destroy(&Attributes);
    }
    Ran.store(true);
    while (!Terminated()) std::this_thread::yield();
    SawTerminate.store(true);
  }
};

TEST(ThreadTest, BodyRunsWithItsStackAndSeesTerminate) {
  constexpr size_t StackSize = size_t(4) << 20;
  TProbeThread Thread;
  ASSERT_TRUE(Thread.Start(StackSize));
  EXPECT_FALSE(Thread.Start(StackSize));  // already running
  Thread.Terminate();
  EXPECT_TRUE(Thread.Terminated());
  Thread.WaitFor();
  EXPECT_TRUE(Thread.Ran.load());
  EXPECT_TRUE(Thread.SawTerminate.load());
  EXPECT_GE(Thread.StackSize.load(), StackSize);
  Thread.WaitFor();  // joining twice is harmless
}

TEST(ThreadTest, WaitForOnAThreadNeverStartedReturns) {
  TProbeThread Thread;
  Thread.WaitFor();
  EXPECT_FALSE(Thread.Ran.load());
}

TEST(ThreadTest, UsableProcessorsAreListedLowestFirst) {
  const std::vector<int32_t> Processors = UsableProcessors();
  ASSERT_FALSE(Processors.empty());
  EXPECT_LE(Processors.size(), 32u);
  EXPECT_GE(Processors.front(), 0);
  for (size_t I = 1; I < Processors.size(); ++I) EXPECT_LT(Processors[I - 1], Processors[I]);
}

TEST(ThreadTest, PinningMovesTheThreadAndBadProcessorsAreRefused) {
  const std::vector<int32_t> Processors = UsableProcessors();
  ASSERT_FALSE(Processors.empty());
  // Pinned on a thread of its own so the test runner's thread keeps its affinity.
  std::thread Pinned([&] {
    for (int32_t Processor : {Processors.back(), Processors.front()}) {
      EXPECT_TRUE(TThread::PinCurrentThread(Processor));
      EXPECT_EQ(sched_getcpu(), Processor);
    }
    // Pinning a thread does not shrink what the process may use.
    EXPECT_EQ(UsableProcessors(), Processors);
    EXPECT_FALSE(TThread::PinCurrentThread(-1));
    EXPECT_FALSE(TThread::PinCurrentThread(60000));
    EXPECT_FALSE(TThread::PinCurrentThread(INT32_MAX));
  });
  Pinned.join();
}

}  // namespace
