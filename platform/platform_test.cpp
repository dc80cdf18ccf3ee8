#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <set>
#include <thread>

#include "platform/clock.h"
#include "platform/native_event.h"
#include "platform/native_mutex.h"
#include "platform/native_thread.h"
#include "platform/process_stats.h"
#include "testing/wait.h"

namespace {

using testing_support::WaitUntil;

struct EventPair {
    platform::EventHandle autoReset = platform::CreateEventObject(false);
    platform::EventHandle manual = platform::CreateEventObject(true);
    ~EventPair() {
        platform::CloseEventObject(autoReset);
        platform::CloseEventObject(manual);
    }
};

TEST(PlatformEventTest, AutoResetIsConsumedManualResetStays) {
    EventPair events;
    platform::SetEventObject(events.autoReset);
    platform::SetEventObject(events.manual);
    EXPECT_EQ(0u, platform::WaitForEvents(&events.autoReset, 1, 0));
    EXPECT_EQ(platform::kWaitTimeout, platform::WaitForEvents(&events.autoReset, 1, 0));
    for (int i = 0; i < 3; ++i) EXPECT_EQ(0u, platform::WaitForEvents(&events.manual, 1, 0));
    platform::ResetEventObject(events.manual);
    EXPECT_EQ(platform::kWaitTimeout, platform::WaitForEvents(&events.manual, 1, 0));
}

TEST(PlatformEventTest, WaitForAnyReportsTheFirstSignalledInOrder) {
    EventPair events;
    const platform::EventHandle both[] = {events.autoReset, events.manual};
    EXPECT_EQ(platform::kWaitTimeout, platform::WaitForEvents(both, 2, 20));
    platform::SetEventObject(events.manual);
    EXPECT_EQ(1u, platform::WaitForEvents(both, 2, 0));
    platform::SetEventObject(events.autoReset);
    EXPECT_EQ(0u, platform::WaitForEvents(both, 2, 0));  // consumed
    EXPECT_EQ(1u, platform::WaitForEvents(both, 2, 0));  // the manual one still stands
}

TEST(PlatformEventTest, BadArgumentsFailInsteadOfWaiting) {
    EventPair events;
    const platform::EventHandle withNull[] = {events.autoReset, nullptr};
    EXPECT_EQ(platform::kWaitFailed, platform::WaitForEvents(withNull, 2, platform::kInfinite));
    EXPECT_EQ(platform::kWaitFailed, platform::WaitForEvents(withNull, 0, 0));
    EXPECT_EQ(platform::kWaitFailed, platform::WaitForEvents(nullptr, 1, 0));
}

TEST(PlatformEventTest, SetFromAnotherThreadReleasesAnEndlessWait) {
    EventPair events;
    std::atomic<uint32_t> result{12345};
    std::thread waiter(
        [&] { result = platform::WaitForEvents(&events.autoReset, 1, platform::kInfinite); });
    platform::SleepMs(20);
    platform::SetEventObject(events.autoReset);
    waiter.join();
    EXPECT_EQ(0u, result.load());
}

void WaitEndlessly(void* event) {
    const platform::EventHandle handle = static_cast<platform::EventHandle>(event);
    platform::WaitForEvents(&handle, 1, platform::kInfinite);
}

uint32_t ReturnArgument(void* argument) {
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(argument));
}

uint32_t RecordId(void* argument) {
    static_cast<std::atomic<uint32_t>*>(argument)->store(platform::CurrentThreadId());
    return 0;
}

TEST(PlatformThreadTest, ThreadRunsAndReportsItsResult) {
    platform::ThreadHandle thread =
        platform::StartThread(&ReturnArgument, reinterpret_cast<void*>(uintptr_t{42}));
    ASSERT_NE(nullptr, thread);
    ASSERT_TRUE(platform::WaitThread(thread, platform::kInfinite));
    uint32_t code = 0;
    EXPECT_TRUE(platform::ThreadExitCode(thread, &code));
    EXPECT_EQ(42u, code);
    EXPECT_TRUE(platform::WaitThread(thread, 0));  // waiting again is fine
    platform::CloseThread(thread);
}

TEST(PlatformThreadTest, RunningThreadTimesOutAndHasNoResultYet) {
    platform::EventHandle release = platform::CreateEventObject(true);
    platform::ThreadHandle thread = platform::StartThread(
        [](void* event) -> uint32_t {
            WaitEndlessly(event);
            return 1;
        },
        release);
    ASSERT_NE(nullptr, thread);
    EXPECT_FALSE(platform::WaitThread(thread, 10));
    uint32_t code = 0;
    EXPECT_FALSE(platform::ThreadExitCode(thread, &code));
    platform::SetEventObject(release);
    EXPECT_TRUE(platform::WaitThread(thread, platform::kInfinite));
    platform::CloseThread(thread);
    platform::CloseEventObject(release);
}

TEST(PlatformThreadTest, ThreadIdsAreNonZeroAndDistinct) {
    std::set<uint32_t> ids{platform::CurrentThreadId()};
    for (int i = 0; i < 4; ++i) {
        std::atomic<uint32_t> id{0};
        platform::ThreadHandle thread = platform::StartThread(&RecordId, &id);
        ASSERT_NE(nullptr, thread);
        platform::WaitThread(thread, platform::kInfinite);
        platform::CloseThread(thread);
        EXPECT_NE(0u, id.load());
        ids.insert(id.load());
    }
    EXPECT_EQ(5u, ids.size());
    EXPECT_EQ(platform::CurrentThreadId(), platform::CurrentThreadId());
}

TEST(PlatformThreadTest, NullRoutineMakesNoThread) {
    EXPECT_EQ(nullptr, platform::StartThread(nullptr, nullptr));
    EXPECT_FALSE(platform::WaitThread(nullptr, 0));
    platform::CloseThread(nullptr);  // harmless
}

TEST(PlatformThreadTest, CreationCanBeFakedAndRestored) {
    const auto failing = [](platform::ThreadRoutine, void*) -> platform::ThreadHandle {
        return nullptr;
    };
    const platform::StartThreadFunction previous = platform::SetStartThreadForTesting(failing);
    EXPECT_EQ(nullptr, platform::StartThread(&ReturnArgument, nullptr));
    platform::SetStartThreadForTesting(previous);
    platform::ThreadHandle thread = platform::StartThread(&ReturnArgument, nullptr);
    ASSERT_NE(nullptr, thread);
    platform::WaitThread(thread, platform::kInfinite);
    platform::CloseThread(thread);
}

TEST(PlatformMutexTest, RecursiveEntryExcludesOtherThreads) {
    platform::NativeMutex* mutex = platform::CreateRecursiveMutex();
    platform::EnterMutex(mutex);
    platform::EnterMutex(mutex);
    std::atomic<bool> entered{false};
    std::thread other([&] {
        platform::EnterMutex(mutex);
        entered = true;
        platform::LeaveMutex(mutex);
    });
    platform::LeaveMutex(mutex);
    platform::SleepMs(30);
    EXPECT_FALSE(entered.load());  // still held once
    platform::LeaveMutex(mutex);
    other.join();
    EXPECT_TRUE(entered.load());
    platform::DestroyMutex(mutex);
}

TEST(PlatformClockTest, TicksAdvanceAcrossASleep) {
    for (auto tick : {&platform::CoarseTickCount, &platform::FineTickCount}) {
        const uint32_t before = tick();
        platform::SleepMs(60);
        const uint32_t spent = tick() - before;  // modulo 2^32
        EXPECT_GE(spent, 30u);                   // coarse counts step in ~16 ms
        EXPECT_LT(spent, 60'000u);
    }
}

TEST(PlatformClockTest, TimerCapsAndPeriods) {
    platform::TimerCaps caps{};
    ASSERT_EQ(platform::kTimerNoError, platform::GetTimerCaps(&caps));
    EXPECT_GE(caps.wPeriodMin, 1u);
    EXPECT_LE(caps.wPeriodMin, caps.wPeriodMax);
    EXPECT_NE(platform::kTimerNoError, platform::GetTimerCaps(nullptr));
    EXPECT_EQ(platform::kTimerNoError, platform::BeginTimerPeriod(caps.wPeriodMin));
    EXPECT_EQ(platform::kTimerNoError, platform::EndTimerPeriod(caps.wPeriodMin));
    EXPECT_NE(platform::kTimerNoError, platform::EndTimerPeriod(0));
}

TEST(PlatformProcessStatsTest, ThreadCountFollowsAThreadsLife) {
    const int before = platform::CurrentThreadCount();
    if (before < 0) GTEST_SKIP() << "thread count unavailable on this platform";
    platform::EventHandle release = platform::CreateEventObject(true);
    platform::ThreadHandle thread = platform::StartThread(
        [](void* event) -> uint32_t {
            WaitEndlessly(event);
            return 0;
        },
        release);
    ASSERT_NE(nullptr, thread);
    EXPECT_TRUE(WaitUntil([&] { return platform::CurrentThreadCount() == before + 1; }));
    platform::SetEventObject(release);
    platform::WaitThread(thread, platform::kInfinite);
    platform::CloseThread(thread);
    platform::CloseEventObject(release);
    EXPECT_TRUE(WaitUntil([&] { return platform::CurrentThreadCount() == before; }));
}

}  // namespace
