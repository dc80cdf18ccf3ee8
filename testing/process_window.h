// Test helper: a top-level window of another process, found by caption.
#pragma once

#include <windows.h>

namespace testing_support {

// The visible top-level window of process `pid` with exactly this caption,
// or null.
HWND FindVisibleWindow(DWORD pid, const char* caption);

}  // namespace testing_support
