#include "platform/Sync.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace std::chrono_literals;

TEST(ManualResetEvent, NamedEventsShareStateAndStaySetUntilReset)
{
    platform::ManualResetEvent first("TEST_EVENT_A", true);
    platform::ManualResetEvent second("TEST_EVENT_A", false);  // opens, keeps state
    EXPECT_TRUE(second.IsSet());
    first.Reset();
    EXPECT_FALSE(second.IsSet());
    EXPECT_FALSE(second.WaitFor(10ms));
    std::thread setter([&] { first.Set(); });
    second.Wait();
    setter.join();
    EXPECT_TRUE(first.WaitFor(0ms));  // manual reset: still set
}

TEST(ManualResetEvent, NameIsFreedWithTheLastHandle)
{
    {
        platform::ManualResetEvent event("TEST_EVENT_B", true);
    }
    platform::ManualResetEvent again("TEST_EVENT_B", false);
    EXPECT_FALSE(again.IsSet());
}

TEST(SemaphoreLock, ReleasedByAnotherThreadAndExcludesOthers)
{
    platform::SemaphoreLock lock;
    lock.Lock();
    EXPECT_FALSE(lock.TryLock());
    std::atomic<bool> got{false};
    std::thread waiter([&] {
        lock.Lock();
        got = true;
    });
    std::this_thread::sleep_for(20ms);
    EXPECT_FALSE(got.load());
    lock.Unlock();
    waiter.join();
    EXPECT_TRUE(got.load());
    std::thread other([&] { lock.Unlock(); });  // one-permit semaphore: any thread may release
    other.join();
    EXPECT_TRUE(lock.TryLock());
}
