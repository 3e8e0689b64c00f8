#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>

#include "engine/platform/Sync.h"

namespace {

using namespace std::chrono_literals;

// Waits (generously) for a flag another thread sets.
bool WaitForFlag(const std::atomic<bool>& Flag, std::chrono::milliseconds Limit = 10s) {
  const auto Deadline = std::chrono::steady_clock::now() + Limit;
  while (!Flag.load(std::memory_order_acquire)) {
    if (std::chrono::steady_clock::now() > Deadline) return false;
    std::this_thread::sleep_for(1ms);
  }
  return true;
}

TEST(SimpleSemaphoreTest, PostsDoNotAddUp) {
  TSimpleSemaphore Semaphore = SimpleSemaphoreCreate();
  ASSERT_NE(Semaphore, nullptr);
  SimpleSemaphorePost(Semaphore);
  SimpleSemaphorePost(Semaphore);

  std::atomic<bool> FirstPassed{false}, SecondPassed{false};
  std::thread Waiter([&] {
    SimpleSemaphoreWait(Semaphore);
    FirstPassed.store(true, std::memory_order_release);
    SimpleSemaphoreWait(Semaphore);
    SecondPassed.store(true, std::memory_order_release);
  });
  EXPECT_TRUE(WaitForFlag(FirstPassed));
  // The second wait must still be blocked after a while.
  EXPECT_FALSE(WaitForFlag(SecondPassed, 100ms));
  SimpleSemaphorePost(Semaphore);
  EXPECT_TRUE(WaitForFlag(SecondPassed));
  Waiter.join();
  SimpleSemaphoreDestroy(Semaphore);
  EXPECT_EQ(Semaphore, nullptr);
}

TEST(SimpleSemaphoreTest, PostWakesABlockedWaiter) {
  TSimpleSemaphore Semaphore = SimpleSemaphoreCreate();
  ASSERT_NE(Semaphore, nullptr);
  // Ping-pong many times: a lost wake-up would hang here.
  TSimpleSemaphore Reply = SimpleSemaphoreCreate();
  ASSERT_NE(Reply, nullptr);
  std::thread Echo([&] {
    for (int I = 0; I < 1000; ++I) {
      SimpleSemaphoreWait(Semaphore);
      SimpleSemaphorePost(Reply);
    }
  });
  for (int I = 0; I < 1000; ++I) {
    SimpleSemaphorePost(Semaphore);
    SimpleSemaphoreWait(Reply);
  }
  Echo.join();
  SimpleSemaphoreDestroy(Semaphore);
  SimpleSemaphoreDestroy(Reply);
}

TEST(SimpleSemaphoreTest, NilSemaphoreOperationsReturnAtOnce) {
  TSimpleSemaphore Semaphore = nullptr;
  SimpleSemaphoreWait(Semaphore);
  SimpleSemaphorePost(Semaphore);
  SimpleSemaphoreDestroy(Semaphore);
  EXPECT_EQ(Semaphore, nullptr);
}

TEST(ParallelLockTest, ContendingThreadsLoseNoIncrement) {
  TParallelLock Lock{0};
  int64_t Counter = 0;  // deliberately not atomic: only the lock protects it
  constexpr int Increments = 200000;
  auto Hammer = [&] {
    for (int I = 0; I < Increments; ++I) {
      ParallelLock(&Lock);
      Counter = Counter + 1;
      ParallelUnlock(&Lock);
    }
  };
  std::thread First(Hammer), Second(Hammer);
  First.join();
  Second.join();
  EXPECT_EQ(Counter, 2 * Increments);
  EXPECT_EQ(Lock.load(), 0);
}

TEST(AtomicBitTest, ConcurrentSetAndResetBothStick) {
  std::atomic<uint64_t> Mask{0};
  std::atomic<int> Round{0};
  std::atomic<int> Done{0};
  constexpr int Rounds = 2000;
  auto Worker = [&](bool Setter) {
    for (int R = 1; R <= Rounds; ++R) {
      while (Round.load(std::memory_order_acquire) < R) std::this_thread::yield();
      if (Setter) SetAtomicBit(&Mask, 63);
      else ResetAtomicBit(&Mask, 0);
      Done.fetch_add(1, std::memory_order_acq_rel);
    }
  };
  std::thread Setter(Worker, true), Resetter(Worker, false);
  int Failures = 0;
  for (int R = 1; R <= Rounds; ++R) {
    Mask.store(0x00F0000000000F01ull, std::memory_order_relaxed);
    Round.store(R, std::memory_order_release);
    while (Done.load(std::memory_order_acquire) < 2 * R) std::this_thread::yield();
    if (Mask.load(std::memory_order_relaxed) != 0x80F0000000000F00ull) ++Failures;
  }
  Setter.join();
  Resetter.join();
  EXPECT_EQ(Failures, 0);
}

}  // namespace
