#include <chrono>
#include <condition_variable>
#include <mutex>

#include "platform/native_event.h"
#include "platform/native_thread.h"

namespace platform {

struct NativeEvent {
    bool manualReset;
    bool signalled;
};

namespace {

// One lock and one condition for every event: a wait for any of several
// events then needs no registration with each of them. Events change
// rarely, so the shared wake-ups cost little. Never destroyed, so waits
// racing with process exit do not touch a dead mutex.
struct EventHub {
    std::mutex mutex;
    std::condition_variable changed;
};

EventHub& Hub() {
    static EventHub* hub = new EventHub;
    return *hub;
}

bool ValidEvents(const EventHandle* events, uint32_t count) {
    if (events == nullptr || count == 0 || count > kMaxWaitEvents) return false;
    for (uint32_t i = 0; i < count; ++i) {
        if (events[i] == nullptr) return false;
    }
    return true;
}

// Index of the first signalled event, consuming an auto-reset one; -1 if none.
int TakeSignalled(const EventHandle* events, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i) {
        if (events[i]->signalled) {
            if (!events[i]->manualReset) events[i]->signalled = false;
            return static_cast<int>(i);
        }
    }
    return -1;
}

}  // namespace

EventHandle CreateEventObject(bool manualReset) {
    return new NativeEvent{manualReset, false};
}

void SetEventObject(EventHandle event) {
    if (event == nullptr) return;
    EventHub& hub = Hub();
    std::lock_guard<std::mutex> guard(hub.mutex);
    event->signalled = true;
    hub.changed.notify_all();
}

void ResetEventObject(EventHandle event) {
    if (event == nullptr) return;
    std::lock_guard<std::mutex> guard(Hub().mutex);
    event->signalled = false;
}

void CloseEventObject(EventHandle event) {
    delete event;
}

uint32_t WaitForEvents(const EventHandle* events, uint32_t count, uint32_t ms) {
    if (!ValidEvents(events, count)) return kWaitFailed;
    EventHub& hub = Hub();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    std::unique_lock<std::mutex> lock(hub.mutex);
    for (;;) {
        const int index = TakeSignalled(events, count);
        if (index >= 0) return static_cast<uint32_t>(index);
        if (ms == kInfinite) {
            hub.changed.wait(lock);
        } else if (hub.changed.wait_until(lock, deadline) == std::cv_status::timeout) {
            const int late = TakeSignalled(events, count);
            return late >= 0 ? static_cast<uint32_t>(late) : kWaitTimeout;
        }
    }
}

}  // namespace platform
