// windows.h first: the other system headers need its types.
#include <windows.h>

#include <mmsystem.h>

#include "platform/clock.h"

namespace platform {

namespace {
// Windows 11's power-throttling setting, named here: older SDK headers lack it.
constexpr int kProcessPowerThrottling = 4;  // PROCESS_INFORMATION_CLASS
constexpr ULONG kPowerThrottlingCurrentVersion = 1;
constexpr ULONG kPowerThrottlingIgnoreTimerResolution = 0x4;

struct PowerThrottlingState {
    ULONG Version;
    ULONG ControlMask;
    ULONG StateMask;
};

using SetProcessInformationFn = BOOL(WINAPI*)(HANDLE, int, LPVOID, DWORD);
}  // namespace

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

int KeepTimerResolutionWhenHidden() {
    // Looked up at run time: Windows before 8 has no SetProcessInformation.
    const auto setInformation = reinterpret_cast<SetProcessInformationFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "SetProcessInformation")));
    if (setInformation == nullptr) return 0;
    // The control bit with the state bit clear: always honour the resolution.
    PowerThrottlingState state{kPowerThrottlingCurrentVersion,
                               kPowerThrottlingIgnoreTimerResolution, 0};
    const BOOL taken =
        setInformation(GetCurrentProcess(), kProcessPowerThrottling, &state, sizeof state);
    return taken != FALSE ? 1 : 0;
}

}  // namespace platform
