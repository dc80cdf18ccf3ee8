#include <windows.h>

#include "platform/native_event.h"

namespace platform {

namespace {
HANDLE ToHandle(EventHandle event) {
    return reinterpret_cast<HANDLE>(event);
}
}  // namespace

EventHandle CreateEventObject(bool manualReset) {
    // No security attributes, not signalled, and an empty name: unnamed.
    return reinterpret_cast<EventHandle>(
        CreateEventA(nullptr, manualReset ? TRUE : FALSE, FALSE, ""));
}

void SetEventObject(EventHandle event) {
    if (event != nullptr) SetEvent(ToHandle(event));
}

void ResetEventObject(EventHandle event) {
    if (event != nullptr) ResetEvent(ToHandle(event));
}

void CloseEventObject(EventHandle event) {
    if (event != nullptr) CloseHandle(ToHandle(event));
}

uint32_t WaitForEvents(const EventHandle* events, uint32_t count, uint32_t ms) {
    if (events == nullptr || count == 0 || count > kMaxWaitEvents) return kWaitFailed;
    HANDLE handles[kMaxWaitEvents];
    for (uint32_t i = 0; i < count; ++i) {
        if (events[i] == nullptr) return kWaitFailed;
        handles[i] = ToHandle(events[i]);
    }
    const DWORD result = WaitForMultipleObjects(count, handles, FALSE, ms);
    if (result < WAIT_OBJECT_0 + count) return result - WAIT_OBJECT_0;
    if (result == WAIT_TIMEOUT) return kWaitTimeout;
    return kWaitFailed;
}

}  // namespace platform
