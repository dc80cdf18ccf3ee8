#include <time.h>

#include "platform/clock.h"

namespace platform {

namespace {
// There is no system timer resolution to raise here; report a fine one so
// that the raising logic runs the same way as on Windows.
constexpr TimerCaps kCaps = {1, 1'000'000};

uint32_t MonotonicMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const uint64_t ms =
        static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1'000'000u;
    return static_cast<uint32_t>(ms);  // modulo 2^32, as the Windows counts wrap
}
}  // namespace

uint32_t CoarseTickCount() {
    return MonotonicMilliseconds();
}
uint32_t FineTickCount() {
    return MonotonicMilliseconds();
}

uint32_t GetTimerCaps(TimerCaps* caps) {
    if (caps == nullptr) return kTimerNoCanDo;
    *caps = kCaps;
    return kTimerNoError;
}

uint32_t BeginTimerPeriod(uint32_t ms) {
    return ms == 0 ? kTimerNoCanDo : kTimerNoError;
}
uint32_t EndTimerPeriod(uint32_t ms) {
    return ms == 0 ? kTimerNoCanDo : kTimerNoError;
}

int KeepTimerResolutionWhenHidden() {
    return 0;  // nothing throttles the resolution here
}

}  // namespace platform
