#include "countdown/timer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <vector>

#include "platform/native_thread.h"

namespace {

// A tick source the test moves by hand, counting how often it is read.
std::atomic<uint32_t> g_fakeNow{0};
std::atomic<int> g_fakeReads{0};
uint32_t FakeTick() {
    ++g_fakeReads;
    return g_fakeNow.load();
}

class StopwatchTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved = g_tickSource.load();
        g_tickSource = &FakeTick;
        g_fakeNow = 1000;
        g_fakeReads = 0;
    }
    void TearDown() override { g_tickSource = saved; }
    static void Advance(uint32_t ms) { g_fakeNow += ms; }

    TickSource saved = nullptr;
};

TEST_F(StopwatchTest, NewStopwatchRunsFromZero) {
    CTimer timer;
    EXPECT_EQ(0u, timer.GetElapsed());
    Advance(10);
    EXPECT_EQ(10u, timer.GetElapsed());
    EXPECT_EQ(0, timer.IsPaused());
}

TEST_F(StopwatchTest, ElapsedIsRightAcrossTheWrap) {
    g_fakeNow = 0xFFFFFFFFu - 255;  // 2^32 - 256
    CTimer timer;
    g_fakeNow = 256;
    EXPECT_EQ(512u, timer.GetElapsed());
}

TEST_F(StopwatchTest, PauseFreezesAndResumeLosesNothing) {
    CTimer timer;
    Advance(300);
    timer.Pause();
    Advance(5000);
    EXPECT_EQ(300u, timer.GetElapsed());
    Advance(5000);
    EXPECT_EQ(300u, timer.GetElapsed());
    timer.Pause();  // a second pause keeps the first pause tick
    Advance(100);
    timer.Resume();
    EXPECT_EQ(300u, timer.GetElapsed());
    Advance(50);
    EXPECT_EQ(350u, timer.GetElapsed());
    timer.Resume();  // running: nothing changes
    EXPECT_EQ(350u, timer.GetElapsed());
}

TEST_F(StopwatchTest, PauseAndResumeAcrossTheWrap) {
    g_fakeNow = 0xFFFFFFFFu - 99;
    CTimer timer;
    Advance(50);
    timer.Pause();
    Advance(1000);  // wraps while paused
    timer.Resume();
    Advance(25);
    EXPECT_EQ(75u, timer.GetElapsed());
}

TEST_F(StopwatchTest, ResetWhilePausedRunsAgainFromZero) {
    CTimer timer;
    Advance(40);
    timer.Pause();
    Advance(40);
    EXPECT_EQ(0, timer.Reset());
    EXPECT_EQ(0, timer.IsPaused());
    EXPECT_EQ(0u, timer.GetElapsed());
    Advance(7);
    EXPECT_EQ(7u, timer.GetElapsed());
}

TEST_F(StopwatchTest, SetElapsedMovesTheStart) {
    CTimer timer;
    Advance(123);
    EXPECT_EQ(g_fakeNow.load() - 1000u, timer.SetElapsed(1000));
    EXPECT_EQ(1000u, timer.GetElapsed());
    Advance(20);
    EXPECT_EQ(1020u, timer.GetElapsed());
    EXPECT_EQ(g_fakeNow.load(), timer.SetElapsed(0));
    EXPECT_EQ(0u, timer.GetElapsed());
}

TEST_F(StopwatchTest, SetElapsedWhilePausedMovesOnlyTheStart) {
    CTimer timer;
    Advance(100);
    timer.Pause();  // pauseTick = 1100
    Advance(50);
    timer.SetElapsed(10);  // startTick = 1150 - 10
    EXPECT_EQ(1, timer.IsPaused());
    EXPECT_EQ(uint32_t(1100 - 1140), timer.GetElapsed());  // frozen reading, modulo 2^32
}

TEST_F(StopwatchTest, EachOperationReadsTheTickAtMostOnce) {
    CTimer timer;
    EXPECT_EQ(1, g_fakeReads.load());
    timer.GetElapsed();
    EXPECT_EQ(2, g_fakeReads.load());
    timer.Pause();
    EXPECT_EQ(3, g_fakeReads.load());
    timer.GetElapsed();  // paused: no read
    timer.Pause();
    EXPECT_EQ(3, g_fakeReads.load());
    timer.Resume();
    timer.SetElapsed(5);
    timer.Reset();
    EXPECT_EQ(6, g_fakeReads.load());
}

TEST_F(StopwatchTest, ReadsTheSourceAnewAtEachOperation) {
    CTimer timer;
    Advance(10);
    g_tickSource = +[]() -> uint32_t { return g_fakeNow.load() + 5; };
    EXPECT_EQ(15u, timer.GetElapsed());
    g_tickSource = &FakeTick;
}

// Fake platform for the resolution guard.
struct FakeTimerPlatform {
    static inline uint32_t capsResult = 0;
    static inline uint32_t periodMin = 1;
    static inline std::vector<uint32_t> begun;
    static inline std::vector<uint32_t> ended;
    static inline uint32_t endResult = 0;
    static inline int keepResult = 1;
    static inline int keepAsked = 0;

    static uint32_t GetCaps(platform::TimerCaps* caps) {
        caps->wPeriodMin = periodMin;
        caps->wPeriodMax = 1'000'000;
        return capsResult;
    }
    static uint32_t Begin(uint32_t ms) {
        begun.push_back(ms);
        return 0;
    }
    static uint32_t End(uint32_t ms) {
        ended.push_back(ms);
        return ms == 0 ? platform::kTimerNoCanDo : endResult;
    }
    static int Keep() {
        ++keepAsked;
        return keepResult;
    }
    static uint32_t Coarse() { return 1; }
    static uint32_t Fine() { return 2; }
};

class TimerPeriodTest : public ::testing::Test {
protected:
    void SetUp() override {
        savedPlatform = g_timerPlatform;
        savedSource = g_tickSource.load();
        g_timerPlatform = {&FakeTimerPlatform::GetCaps, &FakeTimerPlatform::Begin,
                           &FakeTimerPlatform::End,     &FakeTimerPlatform::Coarse,
                           &FakeTimerPlatform::Fine,    &FakeTimerPlatform::Keep};
        g_tickSource = &FakeTimerPlatform::Coarse;
        FakeTimerPlatform::capsResult = 0;
        FakeTimerPlatform::periodMin = 1;
        FakeTimerPlatform::begun.clear();
        FakeTimerPlatform::ended.clear();
        FakeTimerPlatform::endResult = 0;
        FakeTimerPlatform::keepResult = 1;
        FakeTimerPlatform::keepAsked = 0;
        ASSERT_EQ(0, g_timerPeriodUsers.load());
        g_timerPeriod = 0;
    }
    void TearDown() override {
        EXPECT_EQ(0, g_timerPeriodUsers.load());
        g_timerPlatform = savedPlatform;
        g_tickSource = savedSource;
    }
    static TickSource Source() { return g_tickSource.load(); }
    static std::vector<uint32_t> List(std::initializer_list<uint32_t> values) { return values; }

    TimerPlatform savedPlatform{};
    TickSource savedSource = nullptr;
};

TEST_F(TimerPeriodTest, FinestPeriodOneRunsAtTwoMilliseconds) {
    EXPECT_EQ(1, AcquireTimerPeriod(0));
    EXPECT_EQ(List({2}), FakeTimerPlatform::begun);
    EXPECT_EQ(2u, g_timerPeriod.load());
    EXPECT_EQ(&FakeTimerPlatform::Fine, Source());
    EXPECT_EQ(1, FakeTimerPlatform::keepAsked);  // honoured while minimized too
    FakeTimerPlatform::endResult = 0;
    EXPECT_EQ(0, ReleaseTimerPeriod());
    EXPECT_EQ(List({2}), FakeTimerPlatform::ended);
    EXPECT_EQ(&FakeTimerPlatform::Coarse, Source());
    EXPECT_EQ(1, FakeTimerPlatform::keepAsked);
}

// Where the system lacks the setting or refuses it (Wine, older Windows),
// the resolution is raised and given back just the same.
TEST_F(TimerPeriodTest, RefusedKeepingWhenHiddenChangesNothing) {
    FakeTimerPlatform::keepResult = 0;
    EXPECT_EQ(1, AcquireTimerPeriod(0));
    EXPECT_EQ(1, FakeTimerPlatform::keepAsked);
    EXPECT_EQ(List({2}), FakeTimerPlatform::begun);
    EXPECT_EQ(2u, g_timerPeriod.load());
    EXPECT_EQ(&FakeTimerPlatform::Fine, Source());
    EXPECT_EQ(0, ReleaseTimerPeriod());
    EXPECT_EQ(List({2}), FakeTimerPlatform::ended);
    EXPECT_EQ(&FakeTimerPlatform::Coarse, Source());
}

TEST_F(TimerPeriodTest, FinestPeriodFiveRunsAtSix) {
    FakeTimerPlatform::periodMin = 5;
    EXPECT_EQ(1, AcquireTimerPeriod(0));
    EXPECT_EQ(List({6}), FakeTimerPlatform::begun);
    ReleaseTimerPeriod();
    EXPECT_EQ(List({6}), FakeTimerPlatform::ended);
}

TEST_F(TimerPeriodTest, CoarseDeviceKeepsTheDefaultButStillCounts) {
    FakeTimerPlatform::periodMin = 6;
    EXPECT_EQ(0, AcquireTimerPeriod(0));
    EXPECT_TRUE(FakeTimerPlatform::begun.empty());
    EXPECT_EQ(&FakeTimerPlatform::Coarse, Source());
    EXPECT_EQ(1, g_timerPeriodUsers.load());
    EXPECT_EQ(0, FakeTimerPlatform::keepAsked);  // nothing raised, nothing to keep
    EXPECT_EQ(static_cast<int>(platform::kTimerNoCanDo), ReleaseTimerPeriod());
    EXPECT_EQ(List({0}), FakeTimerPlatform::ended);  // nothing was raised
}

TEST_F(TimerPeriodTest, MissingCapabilitiesRaiseNothing) {
    FakeTimerPlatform::capsResult = 1;
    EXPECT_EQ(0, AcquireTimerPeriod(0));
    EXPECT_TRUE(FakeTimerPlatform::begun.empty());
    EXPECT_EQ(0, FakeTimerPlatform::keepAsked);
    EXPECT_EQ(&FakeTimerPlatform::Coarse, Source());
    ReleaseTimerPeriod();
}

TEST_F(TimerPeriodTest, NestedUsersRaiseOnceAndRestoreOnTheLastRelease) {
    EXPECT_EQ(1, AcquireTimerPeriod(0));
    EXPECT_EQ(1, AcquireTimerPeriod(0));
    EXPECT_EQ(List({2}), FakeTimerPlatform::begun);
    EXPECT_EQ(1, FakeTimerPlatform::keepAsked);  // only by the first user
    EXPECT_EQ(1, ReleaseTimerPeriod());
    EXPECT_TRUE(FakeTimerPlatform::ended.empty());
    EXPECT_EQ(&FakeTimerPlatform::Fine, Source());
    EXPECT_EQ(0, ReleaseTimerPeriod());
    EXPECT_EQ(List({2}), FakeTimerPlatform::ended);
    EXPECT_EQ(&FakeTimerPlatform::Coarse, Source());
}

TEST_F(TimerPeriodTest, CountOnlyFirstUserRaisesNothing) {
    g_tickSource = &FakeTimerPlatform::Fine;  // to see the release set it back
    EXPECT_EQ(1, AcquireTimerPeriod(1));
    EXPECT_TRUE(FakeTimerPlatform::begun.empty());
    EXPECT_EQ(0, FakeTimerPlatform::keepAsked);
    EXPECT_EQ(&FakeTimerPlatform::Fine, Source());  // unchanged
    ReleaseTimerPeriod();
    EXPECT_EQ(&FakeTimerPlatform::Coarse, Source());
    EXPECT_EQ(List({0}), FakeTimerPlatform::ended);  // the stored value: none raised
}

TEST_F(TimerPeriodTest, APeriodIsGivenBackOnlyOnceAfterItWasBegun) {
    EXPECT_EQ(1, AcquireTimerPeriod(0));
    ReleaseTimerPeriod();
    // The stored period outlives the release, but a later count-only user
    // must not give it back a second time.
    EXPECT_EQ(1, AcquireTimerPeriod(1));
    ReleaseTimerPeriod();
    EXPECT_EQ(List({2}), FakeTimerPlatform::begun);
    EXPECT_EQ(List({2, 0}), FakeTimerPlatform::ended);
    EXPECT_EQ(2u, g_timerPeriod.load());
}

TEST_F(TimerPeriodTest, GuardsCountTheirUsers) {
    {
        CTimerPeriod outer(0);
        {
            CTimerPeriod inner(0);
            EXPECT_EQ(2, g_timerPeriodUsers.load());
        }
        EXPECT_TRUE(FakeTimerPlatform::ended.empty());
        EXPECT_EQ(&FakeTimerPlatform::Fine, Source());
    }
    EXPECT_EQ(List({2}), FakeTimerPlatform::begun);
    EXPECT_EQ(List({2}), FakeTimerPlatform::ended);
    EXPECT_EQ(&FakeTimerPlatform::Coarse, Source());
    FakeTimerPlatform::periodMin = 9;
    { CTimerPeriod refused(0); }  // refused, yet released exactly once
    EXPECT_EQ(0, g_timerPeriodUsers.load());
}

TEST(TimerPeriodRealTest, RaisedResolutionAndStopwatchOnThisSystem) {
    const TickSource before = g_tickSource.load();
    ASSERT_EQ(&platform::CoarseTickCount, before);
    {
        CTimerPeriod guard(0);
        if (g_timerPeriod.load() == 0) {
            GTEST_SKIP() << "this system refuses a fine timer resolution";
        }
        EXPECT_EQ(&platform::FineTickCount, g_tickSource.load());
        CTimer timer;
        platform::SleepMs(40);
        EXPECT_GE(timer.GetElapsed(), 30u);
    }
    EXPECT_EQ(&platform::CoarseTickCount, g_tickSource.load());
}

}  // namespace
