#include "thread/event.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "testing/wait.h"

namespace {

using testing_support::WaitUntil;

TEST(EventTest, AutoResetSignalIsConsumedButTheFlagStays) {
    CEvent event(0);
    EXPECT_EQ(0, event.IsSet());
    EXPECT_EQ(1, event.Set());
    EXPECT_EQ(1, event.Wait(0));
    EXPECT_EQ(0, event.Wait(0));
    EXPECT_EQ(1, event.IsSet());  // a record of the last call, not of the state
    EXPECT_EQ(1, event.Reset());
    EXPECT_EQ(0, event.IsSet());
    EXPECT_EQ(0, event.Wait(0));
}

TEST(EventTest, ManualResetStaysSignalledUntilReset) {
    CEvent event(1);
    event.Set();
    for (int i = 0; i < 3; ++i) EXPECT_EQ(1, event.Wait(0));
    event.Reset();
    EXPECT_EQ(0, event.Wait(0));
    EXPECT_EQ(0, event.IsSet());
}

TEST(EventTest, WaitOnAnUnsignalledEventTimesOut) {
    CEvent event(0);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(0, event.Wait(50));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(40));
    EXPECT_NE(nullptr, event.GetHandle());
}

TEST(EventTest, SetOnAnotherThreadReleasesAnEndlessWait) {
    CEvent event(0);
    std::atomic<int> result{-1};
    std::atomic<bool> waiting{false};
    std::thread waiter([&] {
        waiting = true;
        result = event.Wait(kInfiniteWait);
    });
    ASSERT_TRUE(WaitUntil([&] { return waiting.load(); }));
    // Give the waiter time to block; the check below holds either way.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(-1, result.load());
    event.Set();
    waiter.join();
    EXPECT_EQ(1, result.load());
}

TEST(EventTest, TakeSignalClearsAndReportsTheFlag) {
    for (int manual : {0, 1}) {
        CEvent event(manual);
        EXPECT_EQ(0, event.TakeSignal());
        event.Set();
        EXPECT_EQ(1, event.TakeSignal());
        EXPECT_EQ(0, event.IsSet());
        EXPECT_EQ(0, event.Wait(0)) << "the OS event stayed signalled";
        EXPECT_EQ(0, event.TakeSignal());
    }
}

TEST(EventTest, AutoResetReleasesOneWaiterPerSet) {
    CEvent event(0);
    std::atomic<int> released{0};
    auto wait = [&] {
        if (event.Wait(kInfiniteWait) == 1) ++released;
    };
    std::thread a(wait);
    std::thread b(wait);
    event.Set();
    EXPECT_TRUE(WaitUntil([&] { return released.load() == 1; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(1, released.load());
    event.Set();
    a.join();
    b.join();
    EXPECT_EQ(2, released.load());
}

TEST(EventTest, FlagIsVisibleToAPollingThread) {
    CEvent event(0);
    std::atomic<bool> seen{false};
    std::thread poller([&] {
        while (event.IsSet() == 0) std::this_thread::yield();
        seen = true;
    });
    event.Set();
    poller.join();
    EXPECT_TRUE(seen.load());
}

TEST(EventTest, DestroyingASignalledEventIsClean) {
    auto* event = new CEvent(1);
    event->Set();
    delete event;
    CEvent fresh(1);
    EXPECT_EQ(0, fresh.Wait(0));
}

}  // namespace
