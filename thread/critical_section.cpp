#include "thread/critical_section.h"

#include "platform/native_thread.h"

CCriticalSection::CCriticalSection() : section(platform::CreateRecursiveMutex()) {}

CCriticalSection::~CCriticalSection() {
    // Leave once per outstanding Lock. Only the holder can leave an OS lock;
    // a lock still held by another thread cannot be released from here.
    if (holderId.load(std::memory_order_relaxed) == platform::CurrentThreadId()) {
        while (depth.load(std::memory_order_relaxed) > 0) {
            depth.fetch_sub(1, std::memory_order_relaxed);
            platform::LeaveMutex(section);
        }
    }
    platform::DestroyMutex(section);
}

int CCriticalSection::Lock() {
    platform::EnterMutex(section);
    const uint32_t self = platform::CurrentThreadId();
    depth.fetch_add(1, std::memory_order_relaxed);
    holderId.store(self, std::memory_order_relaxed);
    ownerId.store(self, std::memory_order_relaxed);
    return 1;
}

int CCriticalSection::Unlock() {
    if (depth.load(std::memory_order_relaxed) == 0) return 0;
    // Leaving a lock that another thread holds would corrupt it.
    if (holderId.load(std::memory_order_relaxed) != platform::CurrentThreadId()) return 0;
    // The owner record is cleared by every Unlock, also a nested one.
    ownerId.store(0, std::memory_order_relaxed);
    if (depth.fetch_sub(1, std::memory_order_relaxed) == 1) {
        holderId.store(0, std::memory_order_relaxed);
    }
    platform::LeaveMutex(section);
    return 1;
}

int CCriticalSection::TryLock() {
    const uint32_t owner = ownerId.load(std::memory_order_relaxed);
    if (owner != 0 && owner != platform::CurrentThreadId()) return 0;
    return Lock();
}

int CCriticalSection::IsOwner() {
    return ownerId.load(std::memory_order_relaxed) == platform::CurrentThreadId() ? 1 : 0;
}

CAutoLock::CAutoLock(ICriticalSection* lock) : lock(lock) {
    if (lock != nullptr) lock->Lock();
}

CAutoLock::~CAutoLock() {
    if (lock != nullptr) lock->Unlock();
}
