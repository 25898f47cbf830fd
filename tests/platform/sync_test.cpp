// Interlocked counters and critical sections: the module's lock count and the class factory's
// guarded reference count rest on them.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "scratch.h"
#include "zov/win32.h"

namespace {

TEST(Sync, InterlockedOperationsReturnTheNewValue) {
  LONG volatile count = 0;
  EXPECT_EQ(InterlockedIncrement(&count), 1);
  EXPECT_EQ(InterlockedIncrement(&count), 2);
  EXPECT_EQ(InterlockedDecrement(&count), 1);
  EXPECT_EQ(InterlockedDecrement(&count), 0);
  EXPECT_EQ(InterlockedDecrement(&count), -1);
  EXPECT_EQ(InterlockedExchange(&count, 7), -1);  // the old value
  EXPECT_EQ(InterlockedCompareExchange(&count, 9, 8), 7);  // no match: unchanged
  EXPECT_EQ(count, 7);
  EXPECT_EQ(InterlockedCompareExchange(&count, 9, 7), 7);
  EXPECT_EQ(count, 9);
}

TEST(Sync, InterlockedCountingLosesNothingAcrossThreads) {
  LONG volatile count = 0;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&count] {
      for (int i = 0; i < 20000; ++i) {
        InterlockedIncrement(&count);
        InterlockedIncrement(&count);
        InterlockedDecrement(&count);
      }
    });
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(count, 4 * 20000);
}

TEST(Sync, CriticalSectionIsRecursiveAndExcludesOtherThreads) {
  CRITICAL_SECTION cs;
  InitializeCriticalSection(&cs);
  EnterCriticalSection(&cs);
  EnterCriticalSection(&cs);  // the owner may enter again
  EXPECT_TRUE(TryEnterCriticalSection(&cs));
  bool otherGotIn = true;
  std::thread([&] {
    otherGotIn = TryEnterCriticalSection(&cs) != FALSE;
    if (otherGotIn) LeaveCriticalSection(&cs);
  }).join();
  EXPECT_FALSE(otherGotIn);
  LeaveCriticalSection(&cs);
  LeaveCriticalSection(&cs);
  LeaveCriticalSection(&cs);
  std::thread([&] {
    otherGotIn = TryEnterCriticalSection(&cs) != FALSE;
    if (otherGotIn) LeaveCriticalSection(&cs);
  }).join();
  EXPECT_TRUE(otherGotIn);

  // Guarded increments from several threads.
  long guarded = 0;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&] {
      for (int i = 0; i < 10000; ++i) {
        EnterCriticalSection(&cs);
        ++guarded;
        LeaveCriticalSection(&cs);
      }
    });
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(guarded, 40000);
  DeleteCriticalSection(&cs);
}

}  // namespace
