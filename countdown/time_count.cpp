#include "countdown/time_count.h"

#include <atomic>

TimeCount g_setting = {};
TimeCount g_remain = {};

namespace {
constexpr uint32_t kMsPerSecond = 1000;
constexpr uint32_t kMsPerMinute = 60 * kMsPerSecond;
constexpr uint32_t kMsPerHour = 60 * kMsPerMinute;
}  // namespace

int32_t LoadField(const int32_t& field) {
    // atomic_ref needs a mutable referent; the load itself writes nothing.
    return std::atomic_ref<int32_t>(const_cast<int32_t&>(field)).load(std::memory_order_relaxed);
}

void StoreField(int32_t& field, int32_t value) {
    std::atomic_ref<int32_t>(field).store(value, std::memory_order_relaxed);
}

uint32_t ToMilliseconds(const TimeCount& t) {
    // 32-bit unsigned arithmetic throughout, as the record's users expect.
    const uint32_t h = static_cast<uint32_t>(LoadField(t.hour));
    const uint32_t m = static_cast<uint32_t>(LoadField(t.minute));
    const uint32_t s = static_cast<uint32_t>(LoadField(t.second));
    const uint32_t ms = static_cast<uint32_t>(LoadField(t.millisecond));
    return ((h * 60 + m) * 60 + s) * kMsPerSecond + ms;
}

void SetFromMilliseconds(TimeCount& t, uint32_t ms) {
    StoreField(t.hour, static_cast<int32_t>(ms / kMsPerHour));
    StoreField(t.minute, static_cast<int32_t>((ms / kMsPerMinute) % 60));
    StoreField(t.second, static_cast<int32_t>((ms / kMsPerSecond) % 60));
    StoreField(t.millisecond, static_cast<int32_t>(ms % kMsPerSecond));
}

TimeCount Snapshot(const TimeCount& t) {
    return TimeCount{LoadField(t.hour), LoadField(t.minute), LoadField(t.second),
                     LoadField(t.millisecond), LoadField(t.count)};
}

void ClearTime(TimeCount& t) {
    SetFromMilliseconds(t, 0);
}

void ClearAll(TimeCount& t) {
    ClearTime(t);
    StoreField(t.count, 0);
}
