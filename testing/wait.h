// Test helper: poll a condition with a deadline instead of sleeping a fixed
// time, so tests stay correct on a slow, shared machine.
#pragma once

#include <chrono>
#include <thread>

namespace testing_support {

constexpr std::chrono::milliseconds kDefaultDeadline{10'000};

template <typename Pred>
bool WaitUntil(Pred pred, std::chrono::milliseconds deadline = kDefaultDeadline,
               std::chrono::milliseconds step = std::chrono::milliseconds{2}) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (!pred()) {
        if (std::chrono::steady_clock::now() >= end) return pred();
        std::this_thread::sleep_for(step);
    }
    return true;
}

}  // namespace testing_support
