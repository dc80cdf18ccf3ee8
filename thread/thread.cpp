#include "thread/thread.h"

#include <thread>  // std::chrono; <chrono> itself breaks under a CP932 execution charset

namespace {

// Remaining part of a time-out that started at `start`.
uint32_t Remaining(uint32_t ms, std::chrono::steady_clock::time_point start) {
    if (ms == kInfiniteWait) return ms;
    const auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(
                           std::chrono::steady_clock::now() - start)
                           .count();
    return spent >= static_cast<long long>(ms) ? 0u : ms - static_cast<uint32_t>(spent);
}

constexpr uint32_t kPauseIndex = 2;

}  // namespace

CThread::CThread() = default;

CThread::~CThread() {
    CThread::Stop();
}

bool CThread::OnOwnThread() const {
    const uint32_t runner = runnerId.load(std::memory_order_acquire);
    return runner != 0 && runner == platform::CurrentThreadId();
}

int CThread::Start() {
    // The thread cannot join itself, so it cannot restart itself either.
    if (OnOwnThread()) return 0;
    CAutoLock guard(&lock);
    Stop();
    suspended.store(0, std::memory_order_release);
    startedEvent.Reset();
    stopEvent.Reset();
    wakeEvent.Reset();
    {
        std::lock_guard<std::mutex> gate(gateMutex);
        pauseRequested.store(false, std::memory_order_release);
        parked = false;
        ended = false;
        pauseEvent.Reset();
    }
    const platform::ThreadHandle created = platform::StartThread(&CThread::ThreadEntry, this);
    // No thread: stay idle rather than wait for a handshake that never comes.
    if (created == nullptr) return 0;
    handle.store(created, std::memory_order_release);
    return startedEvent.Wait(kInfiniteWait);
}

int CThread::Register(AnyRoutine newRoutine, void* value, Mode kind) {
    if (OnOwnThread()) return 0;
    CAutoLock guard(&lock);
    if (handle.load(std::memory_order_acquire) != nullptr) return 0;
    if (newRoutine != nullptr) {
        routine = newRoutine;
        userValue = value;
        mode = kind;
    } else {
        mode = kRunMode;
    }
    return 1;
}

int CThread::SetThreadProc(ThreadProc newRoutine, void* value) {
    return Register(reinterpret_cast<AnyRoutine>(newRoutine), value, kThreadProcMode);
}

int CThread::SetCallback(ThreadCallback newRoutine, void* value) {
    return Register(reinterpret_cast<AnyRoutine>(newRoutine), value, kCallbackMode);
}

int CThread::Stop() {
    RequestStop();
    if (OnOwnThread()) return 0;
    if (handle.load(std::memory_order_acquire) == nullptr) return 1;
    if (suspended.load(std::memory_order_acquire) == 1) Resume();
    platform::ThreadHandle joined = nullptr;
    {
        CAutoLock guard(&lock);
        // Whoever takes the handle joins it; a concurrent Stop finds none.
        joined = handle.exchange(nullptr, std::memory_order_acq_rel);
        threadId.store(0, std::memory_order_release);
        if (joined != nullptr) {
            platform::WaitThread(joined, platform::kInfinite);
            runnerId.store(0, std::memory_order_release);
        }
    }
    if (joined != nullptr) platform::CloseThread(joined);
    suspended.store(0, std::memory_order_release);
    return 1;
}

int CThread::ShouldContinue() {
    ParkIfRequested();
    return stopEvent.IsSet() ? 0 : 1;
}

int CThread::RequestStop() {
    if (OnOwnThread()) {
        // A joiner may hold the lock; the thread must not wait for it.
        stopEvent.Set();
        // A Suspend waiting for a park must learn that none will come.
        std::lock_guard<std::mutex> gate(gateMutex);
        gateChanged.notify_all();
        return 1;
    }
    CAutoLock guard(&lock);
    stopEvent.Set();  // before the release, so the released thread sees it
    if (suspended.load(std::memory_order_acquire) == 1) Resume();
    {
        // A thread parked by a pause not yet recorded as suspended leaves too.
        std::lock_guard<std::mutex> gate(gateMutex);
        gateChanged.notify_all();
    }
    return 1;
}

int CThread::Suspend() {
    if (OnOwnThread()) return 0;  // it would wait for itself to park
    CAutoLock guard(&lock);
    if (handle.load(std::memory_order_acquire) == nullptr ||
        suspended.load(std::memory_order_acquire) == 1) {
        return 0;
    }
    {
        std::unique_lock<std::mutex> gate(gateMutex);
        // A stopping thread never parks, so waiting for it would never end.
        const auto stopping = [this] { return stopEvent.IsSet() != 0; };
        if (!ended && stopping()) return 0;
        pauseRequested.store(true, std::memory_order_release);
        pauseEvent.Set();
        gateChanged.wait(gate, [&] { return parked || ended || stopping(); });
        if (!parked && !ended) {
            // Withdrawn: a standing pause would end each of its waits at once.
            pauseRequested.store(false, std::memory_order_release);
            pauseEvent.Reset();
            return 0;
        }
    }
    suspended.store(1, std::memory_order_release);
    return 1;
}

int CThread::Resume() {
    if (OnOwnThread()) return 0;
    CAutoLock guard(&lock);
    if (handle.load(std::memory_order_acquire) == nullptr ||
        suspended.load(std::memory_order_acquire) == 0) {
        return 0;
    }
    {
        std::lock_guard<std::mutex> gate(gateMutex);
        pauseRequested.store(false, std::memory_order_release);
        pauseEvent.Reset();
        gateChanged.notify_all();
    }
    suspended.store(0, std::memory_order_release);
    return 1;
}

void CThread::ParkIfRequested() {
    if (!pauseRequested.load(std::memory_order_acquire) || !OnOwnThread()) return;
    std::unique_lock<std::mutex> gate(gateMutex);
    // A stopping thread never parks: a joiner holding the lock could not
    // release it again.
    const auto released = [this] {
        return !pauseRequested.load(std::memory_order_acquire) || stopEvent.IsSet() != 0;
    };
    if (released()) return;
    parked = true;
    gateChanged.notify_all();
    gateChanged.wait(gate, released);
    parked = false;
}

void CThread::MarkEnded() {
    std::lock_guard<std::mutex> gate(gateMutex);
    ended = true;
    gateChanged.notify_all();
}

int CThread::WaitForWake(uint32_t ms) {
    // No lock is held across the wait: a stop request must get through, and
    // a joiner holds the lock while the thread may still be waiting here.
    const bool own = OnOwnThread();
    const platform::EventHandle events[] = {wakeEvent.GetHandle(), stopEvent.GetHandle(),
                                            pauseEvent.GetHandle()};
    // Only the thread itself parks; another caller ignores pause requests.
    uint32_t count = own ? 3u : 2u;
    const auto start = std::chrono::steady_clock::now();
    uint32_t result = 0;
    for (;;) {
        result = platform::WaitForEvents(events, count, Remaining(ms, start));
        if (result != kPauseIndex) break;
        ParkIfRequested();
        // A stopping thread does not park: the pause would end every wait at once.
        if (stopEvent.IsSet() != 0) count = 2;
    }
    const int woken = ConsumeWake();
    if (woken != 0 && !own && IsSuspended() == 1) Resume();
    // A wake that lands just as the time runs out still counts as a wake.
    return (result == platform::kWaitTimeout && woken == 0) ? 1 : 0;
}

int CThread::Wake() {
    return wakeEvent.Set();
}

int CThread::ConsumeWake() {
    // Lock-free: the thread calls it from WaitForWake while a joiner may
    // hold the lock.
    return wakeEvent.TakeSignal();
}

uint32_t CThread::GetId() {
    return threadId.load(std::memory_order_acquire);
}

platform::ThreadHandle CThread::GetHandle() {
    return handle.load(std::memory_order_acquire);
}

int CThread::Run() {
    return 0;
}

uint32_t CThread::ThreadMain() {
    threadId.store(platform::CurrentThreadId(), std::memory_order_release);
    startedEvent.Set();
    if (routine == nullptr) mode = kRunMode;
    switch (mode) {
        case kThreadProcMode:
            return reinterpret_cast<ThreadProc>(routine)(userValue);
        case kCallbackMode:
            return static_cast<uint32_t>(reinterpret_cast<ThreadCallback>(routine)(userValue));
        default:
            return static_cast<uint32_t>(Run());
    }
}

uint32_t CThread::ThreadEntry(void* self) {
    auto* thread = static_cast<CThread*>(self);
    thread->runnerId.store(platform::CurrentThreadId(), std::memory_order_release);
    const uint32_t code = thread->ThreadMain();
    thread->MarkEnded();  // the last touch of the object on this thread
    return code;
}
