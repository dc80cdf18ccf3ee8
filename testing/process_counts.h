// Thread and handle counts of the current process, to catch leaks.
#pragma once

#include <cstdint>
#include <optional>

namespace testing_support {

// Threads of this process; nullopt if the system cannot tell.
std::optional<uint32_t> ThreadCount();

// Kernel handles held by this process; nullopt if the system cannot tell.
std::optional<uint32_t> HandleCount();

// Wine's audio driver now and then opens a handle of its own late, after the
// first sounds (seen: +1 over hundreds of plays). A leak in our code costs one
// per cycle or per play, far more than this over any loop that checks it.
inline constexpr uint32_t kAudioDriverHandleSlack = 2;

}  // namespace testing_support
