#include "countdown/timer.h"

namespace {
// A device whose finest period is coarser than this keeps the default
// resolution and the coarse tick count.
constexpr uint32_t kMaxPeriodMin = 5;

// Whether the resolution is raised now. The stored period outlives a release,
// so without this a later release would give back a period never begun.
std::atomic<bool> g_timerPeriodRaised{false};
}  // namespace

std::atomic<TickSource> g_tickSource{&platform::CoarseTickCount};
std::atomic<int32_t> g_timerPeriodUsers{0};
std::atomic<uint32_t> g_timerPeriod{0};
TimerPlatform g_timerPlatform = kSystemTimerPlatform;

CTimer::CTimer() : startTick(Now()), pauseTick(0), paused(0) {}

int CTimer::Reset() {
    startTick = Now();
    pauseTick = 0;
    paused = 0;
    return 0;
}

uint32_t CTimer::GetElapsed() {
    // Unsigned subtraction: right across one wrap of the tick count.
    if (paused != 0) return pauseTick - startTick;
    return Now() - startTick;
}

uint32_t CTimer::SetElapsed(uint32_t ms) {
    startTick = Now() - ms;
    return startTick;
}

void CTimer::Pause() {
    if (paused != 0) return;
    pauseTick = Now();
    paused = 1;
}

void CTimer::Resume() {
    if (paused == 0) return;
    startTick += Now() - pauseTick;
    paused = 0;
}

int AcquireTimerPeriod(int countOnly) {
    const int32_t users = g_timerPeriodUsers.fetch_add(1, std::memory_order_acq_rel) + 1;
    if (users > 1 || countOnly != 0) return 1;
    platform::TimerCaps caps{};
    if (g_timerPlatform.getCaps(&caps) != 0) return 0;
    if (caps.wPeriodMin > kMaxPeriodMin) return 0;
    g_tickSource.store(g_timerPlatform.fineTick, std::memory_order_release);
    const uint32_t period = caps.wPeriodMin + 1;
    g_timerPeriod.store(period, std::memory_order_release);
    g_timerPlatform.beginPeriod(period);
    g_timerPeriodRaised.store(true, std::memory_order_release);
    // So that a minimized window still counts at the raised resolution; where
    // the system cannot, the resolution is raised all the same.
    g_timerPlatform.keepResolutionWhenHidden();
    return 1;
}

int ReleaseTimerPeriod() {
    const int32_t users = g_timerPeriodUsers.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (users > 0) return users;
    g_tickSource.store(g_timerPlatform.coarseTick, std::memory_order_release);
    // Give back exactly what was begun; 0 (refused, no effect) when nothing is raised.
    const uint32_t period = g_timerPeriodRaised.exchange(false, std::memory_order_acq_rel)
                                ? g_timerPeriod.load(std::memory_order_acquire)
                                : 0u;
    return static_cast<int>(g_timerPlatform.endPeriod(period));
}

CTimerPeriod::CTimerPeriod(int countOnly) {
    AcquireTimerPeriod(countOnly);
}

CTimerPeriod::~CTimerPeriod() {
    ReleaseTimerPeriod();
}
