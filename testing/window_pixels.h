// Test helper: what a window shows, read back through its own device context.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

namespace testing_support {

// The client area's pixels as 0x00RRGGBB, row by row from the top; empty
// when the window has no area.
std::vector<uint32_t> ReadClientPixels(HWND window);

}  // namespace testing_support
