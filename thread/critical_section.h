// Recursive lock that records its owner and nesting depth, and a scoped lock.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/native_mutex.h"

class ICriticalSection {
public:
    virtual ~ICriticalSection() = default;
    virtual int Lock() = 0;
    virtual int Unlock() = 0;
    virtual int TryLock() = 0;
    virtual int IsOwner() = 0;
};

class CCriticalSection : public ICriticalSection {
public:
    CCriticalSection();
    ~CCriticalSection() override;
    CCriticalSection(const CCriticalSection&) = delete;
    CCriticalSection& operator=(const CCriticalSection&) = delete;

    // 1 once entered; waits without limit.
    int Lock() override;
    // 1 when the caller held the lock and left it once, else 0.
    int Unlock() override;
    // 0 at once when another thread is the recorded owner, else Lock().
    int TryLock() override;
    // 1 when the caller is the recorded owner. The record is cleared by
    // every Unlock, also a nested one.
    int IsOwner() override;

    int32_t GetDepth() const { return depth.load(std::memory_order_relaxed); }

private:
    platform::NativeMutex* section;
    // Read without holding the section (TryLock, IsOwner, Unlock), hence atomic.
    std::atomic<uint32_t> ownerId{0};
    std::atomic<int32_t> depth{0};
    // The thread that really holds the section, kept until the last Unlock:
    // only it may leave the section.
    std::atomic<uint32_t> holderId{0};
};

class CAutoLock {
public:
    explicit CAutoLock(ICriticalSection* lock);
    ~CAutoLock();
    CAutoLock(const CAutoLock&) = delete;
    CAutoLock& operator=(const CAutoLock&) = delete;

private:
    ICriticalSection* lock;
};
