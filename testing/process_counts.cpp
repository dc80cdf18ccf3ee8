#include "testing/process_counts.h"

#include "platform/process_stats.h"

namespace testing_support {

namespace {
std::optional<uint32_t> Known(int count) {
    if (count <= 0) return std::nullopt;
    return static_cast<uint32_t>(count);
}
}  // namespace

std::optional<uint32_t> ThreadCount() {
    return Known(platform::CurrentThreadCount());
}

std::optional<uint32_t> HandleCount() {
    return Known(platform::CurrentHandleCount());
}

}  // namespace testing_support
