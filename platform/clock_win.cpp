// windows.h first: the other system headers need its types.
#include <windows.h>

#include <mmsystem.h>

#include "platform/clock.h"

namespace platform {

uint32_t CoarseTickCount() {
    return GetTickCount();
}
uint32_t FineTickCount() {
    return timeGetTime();
}

uint32_t GetTimerCaps(TimerCaps* caps) {
    if (caps == nullptr) return kTimerNoCanDo;
    TIMECAPS native{};
    const MMRESULT result = timeGetDevCaps(&native, sizeof native);
    if (result != TIMERR_NOERROR) return result;
    caps->wPeriodMin = native.wPeriodMin;
    caps->wPeriodMax = native.wPeriodMax;
    return kTimerNoError;
}

uint32_t BeginTimerPeriod(uint32_t ms) {
    return timeBeginPeriod(ms);
}
uint32_t EndTimerPeriod(uint32_t ms) {
    return timeEndPeriod(ms);
}

}  // namespace platform
