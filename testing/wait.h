// Test helper: poll a condition with a deadline instead of sleeping a fixed
// time, so tests stay correct on a slow, shared machine.
#pragma once

// <thread> brings std::chrono's clocks and durations. <chrono> itself is
// avoided: with MinGW g++ 12 in C++20 it holds a "\u00b5s" literal that a
// CP932 execution character set cannot encode, so it fails to compile.
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
