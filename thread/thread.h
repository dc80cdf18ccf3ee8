// A thread object owning at most one OS thread: start handshake, stop
// request and join, suspend and resume, wake signal.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "platform/native_thread.h"
#include "thread/critical_section.h"
#include "thread/event.h"

// The kind of routine the OS thread creation takes, and a plain function.
using ThreadProc = platform::ThreadRoutine;  // uint32_t (*)(void*)
using ThreadCallback = int (*)(void*);

class IThread {
public:
    virtual ~IThread() = default;
    virtual int Start() = 0;
    virtual int SetThreadProc(ThreadProc routine, void* userValue) = 0;
    virtual int Stop() = 0;
    virtual int ShouldContinue() = 0;
    virtual int RequestStop() = 0;
    virtual int Suspend() = 0;
    virtual int Resume() = 0;
    virtual int WaitForWake(uint32_t ms) = 0;
    virtual int Wake() = 0;
    virtual int ConsumeWake() = 0;
    virtual uint32_t GetId() = 0;
    virtual platform::ThreadHandle GetHandle() = 0;
};

// Suspension is a pause point, not an OS-level freeze: a thread frozen at an
// arbitrary instruction may hold the heap or loader lock and hang whoever
// suspended it. Suspend asks the thread to park and returns once it has
// parked in ShouldContinue or WaitForWake, or has ended; the parked thread
// does no work until Resume or a stop request. A stopping thread never parks,
// so it cannot be held. A routine that wants to be suspendable therefore
// polls ShouldContinue (or waits in WaitForWake).
class CThread : public IThread {
public:
    CThread();
    // Stops and joins the thread. A derived class whose Run uses its own
    // members calls Stop first in its own destructor.
    ~CThread() override;
    CThread(const CThread&) = delete;
    CThread& operator=(const CThread&) = delete;

    // Stops and joins any previous thread, then starts a new one and returns
    // 1 once it runs; 0 (and idle) when the thread cannot be created, or when
    // called on the object's own thread.
    int Start() override;
    // 1 stored; 0 while a thread exists (also an ended, unjoined one).
    // A null routine keeps the stored one and selects Run.
    int SetThreadProc(ThreadProc routine, void* userValue) override;
    // 1 when no thread remains (joined, or there was none); 0 on the
    // thread itself, which cannot join itself (the stop request stands).
    int Stop() override;
    // 1 while no stop was requested since the last Start. On the thread, a
    // pending Suspend parks it here first.
    int ShouldContinue() override;
    int RequestStop() override;
    // 1 when the thread is now held (parked or ended); 0 with no thread,
    // when already suspended, on the thread itself, or when it is stopping
    // (a stop was requested, also while waiting, and it has not ended).
    int Suspend() override;
    // 1 when the thread was released now; 0 with no thread or not suspended.
    int Resume() override;
    // 1 when `ms` passed with neither a wake nor a stop request, else 0.
    // Consumes the wake flag. On the thread it is a pause point.
    int WaitForWake(uint32_t ms) override;
    int Wake() override;
    // The wake flag as it was before clearing it.
    int ConsumeWake() override;
    uint32_t GetId() override;
    platform::ThreadHandle GetHandle() override;

    // The thread's work when no routine is registered; returns at once here.
    virtual int Run();
    virtual int SetCallback(ThreadCallback routine, void* userValue);
    // Runs on the new thread: records its id, ends the handshake, runs.
    virtual uint32_t ThreadMain();

    int IsSuspended() const { return suspended.load(std::memory_order_acquire); }

    // The routine handed to the OS thread creation; `self` is the object.
    static uint32_t ThreadEntry(void* self);

private:
    enum Mode : int32_t { kRunMode = 0, kThreadProcMode = 1, kCallbackMode = 2 };
    using AnyRoutine = void (*)();

    int Register(AnyRoutine routine, void* value, Mode kind);
    bool OnOwnThread() const;
    void ParkIfRequested();
    void MarkEnded();

    std::atomic<platform::ThreadHandle> handle{nullptr};
    std::atomic<uint32_t> threadId{0};
    std::atomic<int32_t> suspended{0};
    CCriticalSection lock;
    CEvent startedEvent{0};
    CEvent stopEvent{0};
    CEvent wakeEvent{0};
    AnyRoutine routine = nullptr;
    void* userValue = nullptr;
    int32_t mode = kRunMode;

    // The pause point. Signalled while a pause is requested, so that a
    // thread waiting in WaitForWake comes out to park.
    CEvent pauseEvent{1};
    std::mutex gateMutex;
    std::condition_variable gateChanged;
    std::atomic<bool> pauseRequested{false};
    // The running thread's id, kept until it is joined (threadId is cleared
    // before the join), so that calls from the thread itself are recognised.
    std::atomic<uint32_t> runnerId{0};
    bool parked = false;  // guarded by gateMutex
    bool ended = false;   // guarded by gateMutex
};
