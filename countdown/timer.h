// Millisecond stopwatch, the process-wide tick source and the guard that
// raises the system timer resolution.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/clock.h"

// Returns the current tick: milliseconds, wrapping modulo 2^32.
using TickSource = uint32_t (*)();

// The tick function every stopwatch reads, one call per operation: the
// coarse tick count, or the fine clock while the raised resolution is held.
// Changed only by the first acquisition and the last release of the
// resolution (and by tests, before their threads start).
extern std::atomic<TickSource> g_tickSource;

class ITimer {
public:
    virtual ~ITimer() = default;
    virtual int Reset() = 0;
    virtual uint32_t GetElapsed() = 0;
    virtual uint32_t SetElapsed(uint32_t ms) = 0;
    virtual void Pause() = 0;
    virtual void Resume() = 0;
};

// No lock: its operations must never overlap.
class CTimer : public ITimer {
public:
    CTimer();  // running, elapsed 0

    // Back to the constructor's state, also while paused; returns 0.
    int Reset() override;
    // Frozen at pauseTick - startTick while paused, else now - startTick,
    // modulo 2^32.
    uint32_t GetElapsed() override;
    // startTick = now - ms; returns the new startTick. Pause state stays.
    uint32_t SetElapsed(uint32_t ms) override;
    void Pause() override;   // no effect when already paused
    void Resume() override;  // no effect when running; the paused span is not counted

    int IsPaused() const { return paused; }

private:
    static uint32_t Now() { return g_tickSource.load(std::memory_order_relaxed)(); }

    uint32_t startTick;
    uint32_t pauseTick;
    int32_t paused;
};

// Acquisitions not yet released.
extern std::atomic<int32_t> g_timerPeriodUsers;
// The resolution passed to the last raise; 0 until one was raised.
extern std::atomic<uint32_t> g_timerPeriod;

// 1 when only counted or the resolution was raised, 0 when the platform
// refused (no capabilities, or a minimum period above 5 ms). Counts in
// every case.
int AcquireTimerPeriod(int countOnly);
// The count left while above 0, else the result of giving the resolution back.
int ReleaseTimerPeriod();

class CTimerPeriod {
public:
    explicit CTimerPeriod(int countOnly = 0);
    ~CTimerPeriod();
    CTimerPeriod(const CTimerPeriod&) = delete;
    CTimerPeriod& operator=(const CTimerPeriod&) = delete;
};

// The OS calls the resolution guard makes; tests swap in fakes.
struct TimerPlatform {
    uint32_t (*getCaps)(platform::TimerCaps* caps);
    uint32_t (*beginPeriod)(uint32_t ms);
    uint32_t (*endPeriod)(uint32_t ms);
    TickSource coarseTick;
    TickSource fineTick;
    int (*keepResolutionWhenHidden)();
};

// The real calls.
constexpr TimerPlatform kSystemTimerPlatform = {
    &platform::GetTimerCaps,   &platform::BeginTimerPeriod,
    &platform::EndTimerPeriod, &platform::CoarseTickCount,
    &platform::FineTickCount,  &platform::KeepTimerResolutionWhenHidden,
};

// What the guard calls; kSystemTimerPlatform unless a test replaced it.
extern TimerPlatform g_timerPlatform;
