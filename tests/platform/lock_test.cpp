#include "platform/lock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <thread>
#include <vector>

#include "platform/thread.h"

namespace zentor::platform {
namespace {

TEST(Lock, RecursionIsCountedAndCanBeLeftWhole) {
  Lock lock;
  EXPECT_FALSE(lock.IsHeldByCurrentThread());
  EXPECT_EQ(lock.LeaveAll(), 0u);
  lock.Enter();
  lock.Enter();
  EXPECT_TRUE(lock.TryEnter());
  EXPECT_EQ(lock.DepthForCurrentThread(), 3u);
  EXPECT_EQ(lock.LeaveAll(), 3u);
  EXPECT_FALSE(lock.IsHeldByCurrentThread());
  // Free now: another thread gets it at once.
  bool otherGot = false;
  std::thread([&] {
    otherGot = lock.TryEnter();
    if (otherGot) lock.Leave();
  }).join();
  EXPECT_TRUE(otherGot);
  lock.EnterTimes(2);
  EXPECT_EQ(lock.DepthForCurrentThread(), 2u);
  std::thread([&] { otherGot = lock.TryEnter(); }).join();
  EXPECT_FALSE(otherGot);
  lock.Leave();
  EXPECT_TRUE(lock.IsHeldByCurrentThread());
  lock.Leave();
  EXPECT_FALSE(lock.IsHeldByCurrentThread());
  lock.Leave();  // not held: ignored
  EXPECT_EQ(lock.DepthForCurrentThread(), 0u);
}

TEST(Lock, ExcludesOtherThreads) {
  Lock lock;
  long counter = 0;  // deliberately not atomic: only the lock protects it
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 50000; ++i) {
        LockGuard outer(lock);
        LockGuard inner(lock);
        ++counter;
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(counter, 4 * 50000);
}

TEST(Thread, IdsAreDistinctAndStable) {
  uint32_t mine = CurrentThreadId();
  EXPECT_NE(mine, 0u);
  EXPECT_EQ(CurrentThreadId(), mine);
  std::vector<uint32_t> ids(8);
  std::vector<std::thread> threads;
  std::atomic<int> ready{0};
  for (size_t i = 0; i < ids.size(); ++i) {
    threads.emplace_back([&, i] {
      ids[i] = CurrentThreadId();
      // Stay alive until all have their ids, so no id can be reused.
      ++ready;
      while (ready.load() < static_cast<int>(ids.size())) std::this_thread::yield();
    });
  }
  for (std::thread& thread : threads) thread.join();
  std::set<uint32_t> distinct(ids.begin(), ids.end());
  distinct.insert(mine);
  EXPECT_EQ(distinct.size(), ids.size() + 1);
  EXPECT_EQ(distinct.count(0u), 0u);
}

}  // namespace
}  // namespace zentor::platform
