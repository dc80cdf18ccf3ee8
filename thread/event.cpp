#include "thread/event.h"

CEvent::CEvent(int manualReset) : handle(platform::CreateEventObject(manualReset != 0)) {}

CEvent::~CEvent() {
    if (signaled.load(std::memory_order_acquire) != 0) platform::ResetEventObject(handle);
    platform::CloseEventObject(handle);
}

int CEvent::Set() {
    // The flag first: whoever the signal releases already sees it.
    signaled.store(1, std::memory_order_release);
    platform::SetEventObject(handle);
    return 1;
}

int CEvent::Reset() {
    platform::ResetEventObject(handle);
    signaled.store(0, std::memory_order_release);
    return 1;
}

int CEvent::Wait(uint32_t ms) {
    return platform::WaitForEvents(&handle, 1, ms) == 0 ? 1 : 0;
}

int CEvent::TakeSignal() {
    // The OS event first: a Set landing in between leaves it signalled,
    // which costs at most one extra wake-up.
    platform::ResetEventObject(handle);
    return signaled.exchange(0, std::memory_order_acq_rel);
}

int CEvent::IsSet() {
    return signaled.load(std::memory_order_acquire);
}

platform::EventHandle CEvent::GetHandle() {
    return handle;
}
