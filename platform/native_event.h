// Auto- and manual-reset events with waits that time out.
#pragma once

#include <cstdint>

namespace platform {

struct NativeEvent;
using EventHandle = NativeEvent*;  // null: creation failed

constexpr uint32_t kWaitTimeout = 0x102;
constexpr uint32_t kWaitFailed = 0xFFFFFFFFu;
constexpr uint32_t kMaxWaitEvents = 8;

// Starts unsignalled. An auto-reset event is cleared by the wait it satisfies.
EventHandle CreateEventObject(bool manualReset);
void SetEventObject(EventHandle event);
void ResetEventObject(EventHandle event);
void CloseEventObject(EventHandle event);

// Waits until any of `count` events is signalled (the first in array order
// wins) or `ms` passes (kInfinite: no limit). Returns that event's index,
// kWaitTimeout, or kWaitFailed for a null event or a bad count.
uint32_t WaitForEvents(const EventHandle* events, uint32_t count, uint32_t ms);

}  // namespace platform
