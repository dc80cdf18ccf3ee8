// windows.h first: the other system headers need its types.
#include <windows.h>

#include <tlhelp32.h>

#include <cstdint>

#include "platform/process_stats.h"

namespace platform {

namespace {

// Handle values are multiples of 4 handed out lowest-free-first, so a test
// process stays far below this bound.
constexpr uintptr_t kHandleValueBound = 0x40000;
constexpr uintptr_t kHandleValueStep = 4;

// Where the handle-count query is missing (Wine answers 0 or fails): count
// the values that name a live handle.
int CountLiveHandles() {
    int count = 0;
    for (uintptr_t value = kHandleValueStep; value < kHandleValueBound; value += kHandleValueStep) {
        DWORD info = 0;
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &info)) ++count;
    }
    return count;
}

}  // namespace

int CurrentThreadCount() {
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return -1;
    const DWORD self = GetCurrentProcessId();
    int count = 0;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID == self) ++count;
        entry.dwSize = sizeof entry;
    }
    CloseHandle(snapshot);
    return count > 0 ? count : -1;
}

int CurrentHandleCount() {
    DWORD count = 0;
    if (GetProcessHandleCount(GetCurrentProcess(), &count) && count != 0) {
        return static_cast<int>(count);
    }
    const int live = CountLiveHandles();
    return live > 0 ? live : -1;
}

}  // namespace platform
