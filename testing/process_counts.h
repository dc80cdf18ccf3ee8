// Thread and handle counts of the current process, to catch leaks.
#pragma once

#include <cstdint>
#include <optional>

namespace testing_support {

// Threads of this process; nullopt if the system cannot tell.
std::optional<uint32_t> ThreadCount();

// Kernel handles held by this process; nullopt if the system cannot tell.
std::optional<uint32_t> HandleCount();

}  // namespace testing_support
