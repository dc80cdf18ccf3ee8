#include "testing/process_window.h"

#include <cstring>

namespace testing_support {

namespace {

struct Search {
    DWORD pid;
    const char* caption;
    HWND found;
};

BOOL CALLBACK Match(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<Search*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != search->pid || !IsWindowVisible(window)) return TRUE;
    char title[64] = {};
    GetWindowTextA(window, title, sizeof title);
    if (std::strcmp(title, search->caption) != 0) return TRUE;
    search->found = window;
    return FALSE;
}

}  // namespace

HWND FindVisibleWindow(DWORD pid, const char* caption) {
    Search search{pid, caption, nullptr};
    EnumWindows(Match, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

}  // namespace testing_support
