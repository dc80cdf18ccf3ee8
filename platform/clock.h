// Millisecond tick counts and the system timer resolution.
#pragma once

#include <cstdint>

namespace platform {

// Both counts are milliseconds since an arbitrary origin and wrap modulo
// 2^32; callers take differences in unsigned 32-bit arithmetic.
uint32_t CoarseTickCount();  // the system's coarse tick count
uint32_t FineTickCount();    // the multimedia millisecond clock

struct TimerCaps {
    uint32_t wPeriodMin;
    uint32_t wPeriodMax;
};

constexpr uint32_t kTimerNoError = 0;
constexpr uint32_t kTimerNoCanDo = 97;

// 0 and a filled record on success, non-zero on failure.
uint32_t GetTimerCaps(TimerCaps* caps);
// Raise and give back the system timer resolution; 0 on success.
uint32_t BeginTimerPeriod(uint32_t ms);
uint32_t EndTimerPeriod(uint32_t ms);

// Asks the system to honour a raised resolution also while the process's
// windows are minimized or hidden, which Windows 11 otherwise ignores to save
// power. 1 when the system took it; 0 where it has no such setting or refuses.
int KeepTimerResolutionWhenHidden();

}  // namespace platform
