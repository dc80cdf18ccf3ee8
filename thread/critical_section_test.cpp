#include "thread/critical_section.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>

#include "platform/native_thread.h"
#include "testing/wait.h"

namespace {

using testing_support::WaitUntil;

TEST(CriticalSectionTest, NewLockRefusesUnlockAndGrantsTryLock) {
    CCriticalSection lock;
    EXPECT_EQ(0, lock.Unlock());
    EXPECT_EQ(0, lock.IsOwner());
    EXPECT_EQ(1, lock.TryLock());
    EXPECT_EQ(1, lock.GetDepth());
    EXPECT_EQ(1, lock.IsOwner());
    EXPECT_EQ(1, lock.Unlock());
    EXPECT_EQ(0, lock.GetDepth());
}

TEST(CriticalSectionTest, NestedUnlockForgetsTheOwnerButKeepsTheLock) {
    CCriticalSection lock;
    EXPECT_EQ(1, lock.Lock());
    EXPECT_EQ(1, lock.Lock());
    EXPECT_EQ(2, lock.GetDepth());
    EXPECT_EQ(1, lock.Unlock());
    EXPECT_EQ(1, lock.GetDepth());
    EXPECT_EQ(0, lock.IsOwner());

    // No owner is recorded, so another thread's TryLock waits for the lock.
    std::atomic<int> otherResult{-1};
    std::thread other([&] {
        otherResult = lock.TryLock();
        lock.Unlock();
    });
    platform::SleepMs(50);
    EXPECT_EQ(-1, otherResult.load());
    EXPECT_EQ(1, lock.Unlock());
    other.join();
    EXPECT_EQ(1, otherResult.load());
    EXPECT_EQ(0, lock.Unlock());  // one too many
    EXPECT_EQ(0, lock.GetDepth());
}

TEST(CriticalSectionTest, TryLockAgainstARecordedOwnerFailsAtOnce) {
    CCriticalSection lock;
    lock.Lock();
    std::atomic<int> otherResult{-1};
    std::atomic<int> otherOwner{-1};
    std::thread other([&] {
        otherResult = lock.TryLock();
        otherOwner = lock.IsOwner();
    });
    other.join();  // would hang if TryLock waited
    EXPECT_EQ(0, otherResult.load());
    EXPECT_EQ(0, otherOwner.load());
    EXPECT_EQ(1, lock.IsOwner());
    lock.Unlock();
}

TEST(CriticalSectionTest, UnlockByAThreadThatDoesNotHoldTheLockIsRefused) {
    CCriticalSection lock;
    lock.Lock();
    std::atomic<int> otherResult{-1};
    std::thread other([&] { otherResult = lock.Unlock(); });
    other.join();
    EXPECT_EQ(0, otherResult.load());
    EXPECT_EQ(1, lock.GetDepth());
    EXPECT_EQ(1, lock.Unlock());
}

TEST(CriticalSectionTest, AutoLockReleasesWhenAnExceptionLeavesTheScope) {
    CCriticalSection lock;
    try {
        CAutoLock guard(&lock);
        EXPECT_EQ(1, lock.GetDepth());
        throw std::runtime_error("leave");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(0, lock.GetDepth());
    std::atomic<int> otherResult{-1};
    std::thread other([&] {
        otherResult = lock.TryLock();
        lock.Unlock();
    });
    other.join();
    EXPECT_EQ(1, otherResult.load());
}

TEST(CriticalSectionTest, AutoLockNests) {
    CCriticalSection lock;
    {
        CAutoLock outer(&lock);
        {
            CAutoLock inner(&lock);
            EXPECT_EQ(2, lock.GetDepth());
        }
        EXPECT_EQ(1, lock.GetDepth());
    }
    EXPECT_EQ(0, lock.GetDepth());
}

TEST(CriticalSectionTest, ContendingThreadsNeverOverlap) {
    CCriticalSection lock;
    int counter = 0;  // plain: the lock alone protects it
    std::atomic<int> inside{0};
    std::atomic<bool> overlapped{false};
    constexpr int kRounds = 20'000;
    auto work = [&] {
        for (int i = 0; i < kRounds; ++i) {
            CAutoLock guard(&lock);
            if (inside.fetch_add(1) != 0) overlapped = true;
            ++counter;
            inside.fetch_sub(1);
        }
    };
    std::thread a(work);
    std::thread b(work);
    a.join();
    b.join();
    EXPECT_FALSE(overlapped.load());
    EXPECT_EQ(2 * kRounds, counter);
    EXPECT_EQ(0, lock.GetDepth());
}

TEST(CriticalSectionTest, DestroyingAHeldLockLeavesItFirst) {
    // A mutex destroyed while held is undefined behaviour; the sanitizer
    // builds report it if the destructor does not leave first.
    auto* lock = new CCriticalSection;
    lock->Lock();
    lock->Lock();
    delete lock;
    CCriticalSection fresh;
    EXPECT_EQ(1, fresh.TryLock());
    fresh.Unlock();
}

}  // namespace
