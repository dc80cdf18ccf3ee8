#include "testing/process_counts.h"

#include <windows.h>
// After windows.h, which it needs.
#include <tlhelp32.h>

namespace testing_support {

std::optional<uint32_t> ThreadCount() {
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return std::nullopt;
    const DWORD self = GetCurrentProcessId();
    uint32_t count = 0;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID == self) ++count;
        entry.dwSize = sizeof(entry);
    }
    CloseHandle(snapshot);
    if (count == 0) return std::nullopt;
    return count;
}

namespace {

// Handle values are multiples of 4 handed out lowest-free-first, so a test
// process stays far below this bound.
constexpr uintptr_t kHandleValueBound = 0x40000;
constexpr uintptr_t kHandleValueStep = 4;

// For systems without the handle-count query (Wine): count the live values.
uint32_t CountLiveHandles() {
    uint32_t count = 0;
    for (uintptr_t value = kHandleValueStep; value < kHandleValueBound; value += kHandleValueStep) {
        DWORD info = 0;
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &info)) ++count;
    }
    return count;
}

}  // namespace

std::optional<uint32_t> HandleCount() {
    DWORD count = 0;
    if (GetProcessHandleCount(GetCurrentProcess(), &count) && count != 0) return count;
    count = CountLiveHandles();
    if (count == 0) return std::nullopt;
    return count;
}

}  // namespace testing_support
