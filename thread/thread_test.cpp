#include "thread/thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <thread>  // also std::chrono; <chrono> breaks under CP932

#include "platform/native_thread.h"
#include "platform/process_stats.h"
#include "testing/wait.h"

namespace {

using testing_support::WaitUntil;

// Works in small steps until asked to stop, counting each step.
class CountingThread : public CThread {
public:
    ~CountingThread() override { Stop(); }

    int Run() override {
        ++runs;
        while (ShouldContinue()) {
            ++steps;
            platform::SleepMs(1);
        }
        ++exits;
        return 7;
    }

    std::atomic<int> runs{0};
    std::atomic<int> steps{0};
    std::atomic<int> exits{0};
};

// Overrides Suspend and Resume the way a derived worker freezes its own
// state around the base's hold, and counts what reaches it.
class PausingThread : public CountingThread {
public:
    int Suspend() override {
        const int result = CThread::Suspend();
        if (result == 1) ++pauses;
        return result;
    }
    int Resume() override {
        if (IsSuspended() == 1) ++resumes;
        return CThread::Resume();
    }
    std::atomic<int> pauses{0};
    std::atomic<int> resumes{0};
};

bool Ended(CThread& thread) {
    return platform::WaitThread(thread.GetHandle(), 0);
}

// Steps stay still over a short spell: the thread is doing no work.
bool HoldsStill(const std::atomic<int>& steps) {
    const int before = steps.load();
    platform::SleepMs(30);
    return steps.load() == before;
}

TEST(ThreadTest, StopOnANeverStartedObjectSetsTheStopFlag) {
    CThread thread;
    EXPECT_EQ(1, thread.ShouldContinue());
    EXPECT_EQ(1, thread.Stop());
    EXPECT_EQ(0, thread.ShouldContinue());
    EXPECT_EQ(nullptr, thread.GetHandle());
    EXPECT_EQ(0u, thread.GetId());
    EXPECT_EQ(1, thread.Stop());
}

TEST(ThreadTest, StartReturnsOnlyAfterTheThreadRuns) {
    CountingThread thread;
    ASSERT_EQ(1, thread.Start());
    // The id is stored by the new thread itself before the handshake.
    EXPECT_NE(0u, thread.GetId());
    EXPECT_NE(platform::CurrentThreadId(), thread.GetId());
    EXPECT_NE(nullptr, thread.GetHandle());
    EXPECT_EQ(1, thread.ShouldContinue());
    EXPECT_TRUE(WaitUntil([&] { return thread.steps.load() > 0; }));
}

TEST(ThreadTest, StopJoinsAndIsIdempotent) {
    CountingThread thread;
    ASSERT_EQ(1, thread.Start());
    EXPECT_EQ(1, thread.Stop());
    EXPECT_EQ(1, thread.exits.load());  // the routine has returned
    EXPECT_EQ(nullptr, thread.GetHandle());
    EXPECT_EQ(0u, thread.GetId());
    EXPECT_EQ(0, thread.ShouldContinue());
    EXPECT_EQ(1, thread.Stop());
    EXPECT_EQ(1, thread.exits.load());
}

TEST(ThreadTest, StartAgainJoinsThePreviousThreadAndRestarts) {
    CountingThread thread;
    ASSERT_EQ(1, thread.Start());
    thread.Wake();
    ASSERT_EQ(1, thread.Start());
    EXPECT_EQ(1, thread.exits.load());
    EXPECT_TRUE(WaitUntil([&] { return thread.runs.load() == 2; }));
    EXPECT_NE(0u, thread.GetId());
    EXPECT_EQ(1, thread.ShouldContinue());
    EXPECT_EQ(0, thread.ConsumeWake());  // events were reset
    EXPECT_EQ(1, thread.Stop());
    EXPECT_EQ(2, thread.exits.load());
}

TEST(ThreadTest, DefaultRunEndsAtOnceWithExitCodeZero) {
    CThread thread;
    ASSERT_EQ(1, thread.Start());
    ASSERT_TRUE(platform::WaitThread(thread.GetHandle(), platform::kInfinite));
    uint32_t code = 99;
    EXPECT_TRUE(platform::ThreadExitCode(thread.GetHandle(), &code));
    EXPECT_EQ(0u, code);
    EXPECT_EQ(1, thread.Stop());
}

uint32_t ProcReturningValue(void* value) {
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(value));
}

int CallbackDoubling(void* value) {
    return 2 * static_cast<int>(reinterpret_cast<uintptr_t>(value));
}

uint32_t ExitCodeOf(CThread& thread) {
    EXPECT_TRUE(platform::WaitThread(thread.GetHandle(), platform::kInfinite));
    uint32_t code = 0;
    EXPECT_TRUE(platform::ThreadExitCode(thread.GetHandle(), &code));
    thread.Stop();
    return code;
}

TEST(ThreadTest, RegisteredRoutinesRunWithTheirValue) {
    CountingThread thread;
    ASSERT_EQ(1, thread.SetThreadProc(&ProcReturningValue, reinterpret_cast<void*>(uintptr_t{42})));
    ASSERT_EQ(1, thread.Start());
    EXPECT_EQ(42u, ExitCodeOf(thread));

    ASSERT_EQ(1, thread.SetCallback(&CallbackDoubling, reinterpret_cast<void*>(uintptr_t{21})));
    ASSERT_EQ(1, thread.Start());
    EXPECT_EQ(42u, ExitCodeOf(thread));

    // A null routine selects Run again.
    ASSERT_EQ(1, thread.SetThreadProc(nullptr, nullptr));
    ASSERT_EQ(1, thread.Start());
    EXPECT_TRUE(WaitUntil([&] { return thread.runs.load() == 1; }));
    thread.RequestStop();
    EXPECT_EQ(7u, ExitCodeOf(thread));
}

TEST(ThreadTest, RegistrationIsRefusedWhileAThreadExistsEvenAnEndedOne) {
    CThread thread;
    ASSERT_EQ(1, thread.SetThreadProc(&ProcReturningValue, reinterpret_cast<void*>(uintptr_t{5})));
    ASSERT_EQ(1, thread.Start());
    ASSERT_TRUE(platform::WaitThread(thread.GetHandle(), platform::kInfinite));
    EXPECT_EQ(0, thread.SetThreadProc(&ProcReturningValue, reinterpret_cast<void*>(uintptr_t{9})));
    EXPECT_EQ(0, thread.SetCallback(&CallbackDoubling, nullptr));
    EXPECT_EQ(1, thread.Stop());
    // The refused calls changed nothing: the first routine and value run again.
    ASSERT_EQ(1, thread.Start());
    EXPECT_EQ(5u, ExitCodeOf(thread));
}

struct SelfStopProbe {
    CThread* thread = nullptr;
    std::atomic<int> stopResult{-1};
    std::atomic<int> continueAfter{-1};
    std::atomic<int> suspendResult{-1};
    std::atomic<int> startResult{-1};
};

int StopSelf(void* raw) {
    auto* probe = static_cast<SelfStopProbe*>(raw);
    probe->suspendResult = probe->thread->Suspend();
    probe->startResult = probe->thread->Start();
    probe->stopResult = probe->thread->Stop();
    probe->continueAfter = probe->thread->ShouldContinue();
    return 0;
}

TEST(ThreadTest, ARoutineCannotStopSuspendOrRestartItsOwnThread) {
    CThread thread;
    SelfStopProbe probe;
    probe.thread = &thread;
    thread.SetCallback(&StopSelf, &probe);
    ASSERT_EQ(1, thread.Start());
    EXPECT_TRUE(WaitUntil([&] { return probe.continueAfter.load() != -1; }));
    EXPECT_EQ(0, probe.suspendResult.load());
    EXPECT_EQ(0, probe.startResult.load());
    EXPECT_EQ(0, probe.stopResult.load());
    EXPECT_EQ(0, probe.continueAfter.load());
    EXPECT_NE(nullptr, thread.GetHandle());  // the handle stays for the controller
    EXPECT_EQ(1, thread.Stop());
    EXPECT_EQ(nullptr, thread.GetHandle());
}

TEST(ThreadTest, SuspendAndResumeResultsInEveryState) {
    CountingThread thread;
    EXPECT_EQ(0, thread.Suspend());  // no thread
    EXPECT_EQ(0, thread.Resume());
    ASSERT_EQ(1, thread.Start());
    EXPECT_EQ(0, thread.Resume());  // not suspended
    EXPECT_EQ(1, thread.Suspend());
    EXPECT_EQ(1, thread.IsSuspended());
    EXPECT_EQ(0, thread.Suspend());  // already
    EXPECT_EQ(1, thread.Resume());
    EXPECT_EQ(0, thread.IsSuspended());
    EXPECT_EQ(0, thread.Resume());
    EXPECT_EQ(1, thread.ShouldContinue());  // suspending changes no flag
    EXPECT_EQ(1, thread.Stop());
    EXPECT_EQ(0, thread.IsSuspended());
    EXPECT_EQ(0, thread.Suspend());
}

TEST(ThreadTest, ASuspendedThreadDoesNoWorkUntilResumed) {
    CountingThread thread;
    ASSERT_EQ(1, thread.Start());
    ASSERT_TRUE(WaitUntil([&] { return thread.steps.load() > 0; }));
    ASSERT_EQ(1, thread.Suspend());
    EXPECT_TRUE(HoldsStill(thread.steps));
    EXPECT_TRUE(HoldsStill(thread.steps));
    const int frozen = thread.steps.load();
    ASSERT_EQ(1, thread.Resume());
    EXPECT_TRUE(WaitUntil([&] { return thread.steps.load() > frozen; }));
}

TEST(ThreadTest, SuspendHoldsTheThreadEveryTimeItReturns) {
    CountingThread thread;
    ASSERT_EQ(1, thread.Start());
    for (int i = 0; i < 50; ++i) {
        ASSERT_EQ(1, thread.Suspend());
        const int before = thread.steps.load();
        platform::SleepMs(2);
        ASSERT_EQ(before, thread.steps.load()) << "round " << i;
        ASSERT_EQ(1, thread.Resume());
    }
}

TEST(ThreadTest, RequestStopReleasesASuspendedThreadWhichThenEnds) {
    PausingThread thread;
    ASSERT_EQ(1, thread.Start());
    ASSERT_EQ(1, thread.Suspend());
    EXPECT_EQ(1, thread.RequestStop());
    EXPECT_EQ(0, thread.IsSuspended());
    EXPECT_EQ(1, thread.resumes.load());  // through the virtual Resume
    EXPECT_EQ(0, thread.ShouldContinue());
    EXPECT_TRUE(WaitUntil([&] { return thread.exits.load() == 1; }));
    EXPECT_EQ(1, thread.Stop());
}

TEST(ThreadTest, StopOnASuspendedThreadResumesThroughTheOverride) {
    PausingThread thread;
    ASSERT_EQ(1, thread.Start());
    ASSERT_EQ(1, thread.Suspend());
    EXPECT_EQ(1, thread.pauses.load());
    EXPECT_EQ(1, thread.Stop());
    EXPECT_EQ(1, thread.resumes.load());
    EXPECT_EQ(1, thread.exits.load());
}

// Reports its end to a counter that outlives the object.
class ReportingThread : public CountingThread {
public:
    explicit ReportingThread(std::atomic<int>& ended) : ended(ended) {}
    ~ReportingThread() override { Stop(); }  // Run uses this class's members
    int Run() override {
        const int result = CountingThread::Run();
        ++ended;
        return result;
    }

private:
    std::atomic<int>& ended;
};

TEST(ThreadTest, DestroyingASuspendedRunningThreadJoinsIt) {
    std::atomic<int> ended{0};
    CThread* thread = new ReportingThread(ended);
    ASSERT_EQ(1, thread->Start());
    ASSERT_EQ(1, thread->Suspend());
    delete thread;  // must not hang: requests the stop, releases and joins
    EXPECT_EQ(1, ended.load());
}

TEST(ThreadTest, SuspendingAThreadThatEndedByItselfIsHarmless) {
    CThread thread;  // default Run ends at once
    ASSERT_EQ(1, thread.Start());
    ASSERT_TRUE(WaitUntil([&] { return Ended(thread); }));
    EXPECT_EQ(1, thread.Suspend());  // returns, does not wait for a park
    EXPECT_EQ(1, thread.IsSuspended());
    EXPECT_EQ(0, thread.SetThreadProc(&ProcReturningValue, nullptr));
    EXPECT_EQ(1, thread.Resume());
    EXPECT_EQ(1, thread.Suspend());
    EXPECT_EQ(1, thread.Stop());
    EXPECT_EQ(0, thread.IsSuspended());
}

// Counts the waits that a wake ended, waiting in 1 ms slices.
class SliceWaitingThread : public CThread {
public:
    ~SliceWaitingThread() override { Stop(); }
    int Run() override {
        while (ShouldContinue()) {
            if (WaitForWake(1) == 0 && ShouldContinue()) ++wakes;
        }
        return 0;
    }
    std::atomic<int> wakes{0};
};

TEST(ThreadTest, EveryWakeEndsAWaitEvenAsTheWaitTimesOut) {
    SliceWaitingThread thread;
    ASSERT_EQ(1, thread.Start());
    constexpr int kRounds = 1500;
    int lost = 0;
    for (int i = 0; i < kRounds; ++i) {
        const int before = thread.wakes.load();
        // Land the wake at a different point of the thread's 1 ms cycle.
        std::this_thread::sleep_for(std::chrono::microseconds((i * 37) % 1500));
        thread.Wake();
        if (!WaitUntil([&] { return thread.wakes.load() != before; },
                       std::chrono::milliseconds(2'000))) {
            ++lost;
        }
    }
    EXPECT_EQ(0, lost) << "wakes that never ended a wait, of " << kRounds;
}

TEST(ThreadTest, StopGetsThroughASuspendFromAnotherThread) {
    // A pause requested by a second controller between Stop's request and
    // its join must not park the stopping thread.
    for (int round = 0; round < 300; ++round) {
        CountingThread thread;
        ASSERT_EQ(1, thread.Start());
        std::atomic<bool> done{false};
        std::thread pauser([&] {
            while (!done.load()) {
                if (thread.Suspend() == 1) thread.Resume();
            }
        });
        std::atomic<bool> stopped{false};
        std::thread stopper([&] {
            thread.Stop();
            stopped = true;
        });
        if (!WaitUntil([&] { return stopped.load(); }, std::chrono::seconds(30))) {
            ADD_FAILURE() << "Stop hung in round " << round;
            std::abort();  // the joined threads would hang the test program too
        }
        done = true;
        pauser.join();
        stopper.join();
        EXPECT_EQ(1, thread.exits.load());
    }
}

TEST(ThreadTest, WaitForWakeTimesOutWithNothingSignalled) {
    CThread thread;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(1, thread.WaitForWake(100));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(80));
}

TEST(ThreadTest, WakeEndsTheWaitAndIsConsumedByIt) {
    CThread thread;
    EXPECT_EQ(1, thread.Wake());
    // A long time-out: the test fails slowly rather than passes wrongly.
    EXPECT_EQ(0, thread.WaitForWake(60'000));
    EXPECT_EQ(0, thread.ConsumeWake());
    thread.Wake();
    EXPECT_EQ(1, thread.ConsumeWake());
    EXPECT_EQ(0, thread.ConsumeWake());
}

TEST(ThreadTest, AStopRequestEndsOneWaitButStaysVisible) {
    CThread thread;
    thread.RequestStop();
    EXPECT_EQ(0, thread.WaitForWake(60'000));  // consumes the stop signal
    EXPECT_EQ(1, thread.WaitForWake(100));     // the next waits in full
    EXPECT_EQ(0, thread.ShouldContinue());
}

// Waits for wakes without limit, counting them, until stopped.
class WakeCountingThread : public CThread {
public:
    ~WakeCountingThread() override { Stop(); }
    int Run() override {
        while (ShouldContinue()) {
            waiting = true;
            if (WaitForWake(kInfiniteWait) == 0 && ShouldContinue()) ++wakes;
        }
        return 0;
    }
    std::atomic<bool> waiting{false};
    std::atomic<int> wakes{0};
};

TEST(ThreadTest, AThreadWaitingForWakeIsWokenSuspendedAndStopped) {
    WakeCountingThread thread;
    ASSERT_EQ(1, thread.Start());
    ASSERT_TRUE(WaitUntil([&] { return thread.waiting.load(); }));
    thread.Wake();
    ASSERT_TRUE(WaitUntil([&] { return thread.wakes.load() == 1; }));

    // The endless wait is a pause point: Suspend returns, and a wake given
    // while suspended takes effect only after Resume.
    ASSERT_EQ(1, thread.Suspend());
    thread.Wake();
    EXPECT_TRUE(HoldsStill(thread.wakes));
    EXPECT_EQ(1, thread.wakes.load());
    ASSERT_EQ(1, thread.Resume());
    EXPECT_TRUE(WaitUntil([&] { return thread.wakes.load() == 2; }));

    // Stop gets through the endless wait and joins.
    EXPECT_EQ(1, thread.Stop());
    EXPECT_EQ(nullptr, thread.GetHandle());
}

// Winds down through a timed wait after the stop request, whose signal an
// earlier wait has already used up, then stays until released.
class WindingDownThread : public CThread {
public:
    static constexpr uint32_t kWindDownMs = 200;

    explicit WindingDownThread(bool stopsItself) : stopsItself(stopsItself) {}
    ~WindingDownThread() override {
        release = true;
        Stop();
    }
    int Run() override {
        if (stopsItself) {
            // No pause point meanwhile, so a Suspend is left waiting for one.
            while (!go.load()) platform::SleepMs(1);
            RequestStop();
        }
        do {
            WaitForWake(kInfiniteWait);
        } while (ShouldContinue());
        const auto start = std::chrono::steady_clock::now();
        windDown = WaitForWake(kWindDownMs);
        windDownTook = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                            std::chrono::steady_clock::now() - start)
                                            .count());
        while (!release.load()) platform::SleepMs(1);
        return 0;
    }
    const bool stopsItself;
    std::atomic<bool> go{false};
    std::atomic<bool> release{false};
    std::atomic<int> windDown{-1};
    std::atomic<int> windDownTook{-1};
};

TEST(ThreadTest, SuspendOnAStoppingThreadReturnsAndItsWaitsStillTimeOut) {
    // Stopped by the controller, and by itself while a Suspend waits.
    for (const bool stopsItself : {false, true}) {
        SCOPED_TRACE(stopsItself ? "stops itself" : "stopped by the controller");
        WindingDownThread thread(stopsItself);
        ASSERT_EQ(1, thread.Start());
        if (!stopsItself) thread.RequestStop();
        std::atomic<int> suspendResult{-1};
        std::thread pauser([&] { suspendResult = thread.Suspend(); });
        // Best effort only: lets the Suspend start waiting first.
        platform::SleepMs(50);
        thread.go = true;
        if (!WaitUntil([&] { return suspendResult.load() != -1; })) {
            ADD_FAILURE() << "Suspend hung on a stopping thread";
            std::abort();  // it holds the lock, so Stop and the destructor would hang
        }
        pauser.join();
        // A stopping thread never parks, so it is not held.
        EXPECT_EQ(0, suspendResult.load());
        EXPECT_EQ(0, thread.IsSuspended());
        EXPECT_TRUE(WaitUntil([&] { return thread.windDown.load() != -1; }));
        EXPECT_EQ(1, thread.windDown.load());
        // In full: not cut short by the pause request.
        EXPECT_GE(thread.windDownTook.load(),
                  static_cast<int>(WindingDownThread::kWindDownMs) - 50);
        thread.release = true;
        EXPECT_EQ(1, thread.Stop());
    }
}

platform::ThreadHandle FailToStart(platform::ThreadRoutine, void*) {
    return nullptr;
}

TEST(ThreadTest, FailedCreationLeavesTheObjectIdle) {
    CountingThread thread;
    const platform::StartThreadFunction real = platform::SetStartThreadForTesting(&FailToStart);
    const int result = thread.Start();  // must return, not wait for a handshake
    platform::SetStartThreadForTesting(real);
    EXPECT_EQ(0, result);
    EXPECT_EQ(nullptr, thread.GetHandle());
    EXPECT_EQ(0u, thread.GetId());
    EXPECT_EQ(0, thread.IsSuspended());
    EXPECT_EQ(0, thread.ConsumeWake());
    EXPECT_EQ(0, thread.Suspend());
    EXPECT_EQ(0, thread.Resume());
    EXPECT_EQ(1, thread.SetThreadProc(nullptr, nullptr));
    EXPECT_EQ(1, thread.Stop());
    EXPECT_EQ(0, thread.runs.load());
    ASSERT_EQ(1, thread.Start());  // a later Start works
    EXPECT_TRUE(WaitUntil([&] { return thread.steps.load() > 0; }));
    EXPECT_EQ(1, thread.Stop());
}

void RunManyCycles() {
    {
        CountingThread thread;
        for (int i = 0; i < 60; ++i) {
            ASSERT_EQ(1, thread.Start());
            if (i % 3 == 0) {
                ASSERT_EQ(1, thread.Suspend());
            }
            ASSERT_EQ(1, thread.Stop());
        }
        EXPECT_EQ(60, thread.exits.load());
    }
    for (int i = 0; i < 30; ++i) {
        CountingThread thread;  // destroyed while running
        ASSERT_EQ(1, thread.Start());
    }
}

TEST(ThreadTest, ManyStartStopCyclesLeaveNoThreadBehind) {
    const int before = platform::CurrentThreadCount();
    if (before < 0) {
        GTEST_SKIP() << "no thread count on this platform";
    }
    RunManyCycles();
    EXPECT_TRUE(WaitUntil([&] { return platform::CurrentThreadCount() == before; }))
        << platform::CurrentThreadCount() << " threads, " << before << " before";
}

TEST(ThreadTest, ManyStartStopCyclesLeaveNoHandleBehind) {
    {
        // The process's first thread may leave handles of its own for good.
        CountingThread warmUp;
        ASSERT_EQ(1, warmUp.Start());
        ASSERT_EQ(1, warmUp.Stop());
    }
    const int before = platform::CurrentHandleCount();
    if (before <= 0) {
        GTEST_SKIP() << "the platform reports no handle count";
    }
    RunManyCycles();
    EXPECT_TRUE(WaitUntil([&] { return platform::CurrentHandleCount() <= before; }))
        << platform::CurrentHandleCount() << " handles, " << before << " before";
}

}  // namespace
