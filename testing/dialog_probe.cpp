// tocklet_probe.exe: reads the running program's dialog state from its
// windows, for the end-to-end tour, which must not judge captions and enabled
// states by OCR.
//
//   tocklet_probe.exe                      prints the state once
//   tocklet_probe.exe --wait STATE [MS]    waits (default 10 s) until the
//                                          dialog is in STATE: idle,
//                                          running or paused
//   tocklet_probe.exe --show minimize|restore
//                                          asks the dialog to be minimized or
//                                          restored, as its system menu does
// Prints "key=value" lines (text in UTF-8; control centres in screen pixels). Exit code: 0 when
// found (and in STATE), 1 when the wait ran out, 2 when there is no dialog.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>

#include "app/resource.h"

namespace {

constexpr char kCaption[] = "Tocklet Version 0.01";
constexpr DWORD kDefaultWaitMs = 10'000;
constexpr DWORD kPollMs = 50;
constexpr UINT kReplyMs = 5'000;
constexpr int kSettingFields[] = {IDC_HOUR,  IDC_MINUTE, IDC_SECOND, IDC_MSEC,
                                  IDC_COUNT, IDC_SOUND,  IDC_BROWSE};

// The Start button's caption in each state (CP932, as the dialog sets it).
struct StateCaption {
    const char* state;
    const char* caption;
    bool running;  // Stop enabled, settings disabled
};
constexpr StateCaption kStates[] = {
    {"idle", "開始(&C)", false},
    {"running", "中断(&A)", true},
    {"paused", "再開(&R)", true},
};

// Read through the "W" functions, so the probe sees what a user sees on any
// system code page; kept as UTF-8 for printing and comparing.
std::string Utf8(const wchar_t* wide) {
    char utf8[1024] = {};
    WideCharToMultiByte(CP_UTF8, 0, wide, -1, utf8, sizeof utf8, nullptr, nullptr);
    return utf8;
}

std::string Utf8FromCp932(const char* cp932) {
    wchar_t wide[512] = {};
    MultiByteToWideChar(932, 0, cp932, -1, wide, 512);
    return Utf8(wide);
}

// A hung program must not hang the probe: every read has a reply limit.
std::string ItemText(HWND dialog, int id) {
    wchar_t text[512] = {};
    DWORD_PTR length = 0;
    SendMessageTimeoutW(GetDlgItem(dialog, id), WM_GETTEXT, std::size(text),
                        reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, kReplyMs, &length);
    return Utf8(text);
}

struct DialogState {
    std::string start;
    bool startEnabled = false;
    bool stopEnabled = false;
    int settingsEnabled = 0;  // of the seven setting controls
    std::string state;        // idle, running, paused, or "other"
};

DialogState Read(HWND dialog) {
    DialogState s;
    s.start = ItemText(dialog, IDC_START);
    s.startEnabled = IsWindowEnabled(GetDlgItem(dialog, IDC_START)) != FALSE;
    s.stopEnabled = IsWindowEnabled(GetDlgItem(dialog, IDC_STOP)) != FALSE;
    for (int id : kSettingFields)
        s.settingsEnabled += IsWindowEnabled(GetDlgItem(dialog, id)) ? 1 : 0;
    s.state = "other";
    const int all = static_cast<int>(std::size(kSettingFields));
    for (const auto& candidate : kStates) {
        const bool controlsMatch = candidate.running ? s.stopEnabled && s.settingsEnabled == 0
                                                     : !s.stopEnabled && s.settingsEnabled == all;
        if (s.start == Utf8FromCp932(candidate.caption) && s.startEnabled && controlsMatch)
            s.state = candidate.state;
    }
    return s;
}

void Print(HWND dialog, const DialogState& s) {
    std::printf("state=%s\n", s.state.c_str());
    std::printf("start_caption=%s\n", s.start.c_str());
    std::printf("start_enabled=%d\n", s.startEnabled ? 1 : 0);
    std::printf("stop_enabled=%d\n", s.stopEnabled ? 1 : 0);
    std::printf("iconic=%d\n", IsIconic(dialog) ? 1 : 0);
    std::printf("settings_enabled=%d/%d\n", s.settingsEnabled,
                static_cast<int>(std::size(kSettingFields)));
    for (int id : {IDC_HOUR, IDC_MINUTE, IDC_SECOND, IDC_MSEC, IDC_COUNT})
        std::printf("field_%d=%s\n", id, ItemText(dialog, id).c_str());
    std::printf("sound=%s\n", ItemText(dialog, IDC_SOUND).c_str());
    // Screen points a person would click; the screen is the X root window.
    for (int id : {IDC_HOUR, IDC_MINUTE, IDC_SECOND, IDC_MSEC, IDC_COUNT, IDC_SOUND, IDC_BROWSE,
                   IDC_START, IDC_STOP, IDC_QUIT}) {
        RECT r = {};
        GetWindowRect(GetDlgItem(dialog, id), &r);
        std::printf("center_%d=%ld %ld\n", id, (r.left + r.right) / 2, (r.top + r.bottom) / 2);
    }
}

}  // namespace

int main(int argc, char** argv) {
    const char* want = nullptr;
    DWORD waitMs = 0;
    if (argc >= 3 && std::strcmp(argv[1], "--wait") == 0) {
        want = argv[2];
        waitMs =
            argc >= 4 ? static_cast<DWORD>(std::strtoul(argv[3], nullptr, 10)) : kDefaultWaitMs;
    }
    if (argc == 3 && std::strcmp(argv[1], "--show") == 0) {
        HWND dialog = FindWindowA(nullptr, kCaption);
        if (!dialog) return 2;
        const bool minimize = std::strcmp(argv[2], "minimize") == 0;
        // Posted: a busy dialog must not hold the probe.
        PostMessageA(dialog, WM_SYSCOMMAND, minimize ? SC_MINIMIZE : SC_RESTORE, 0);
        return 0;
    }
    const DWORD start = GetTickCount();
    for (;;) {
        HWND dialog = FindWindowA(nullptr, kCaption);
        const bool late = GetTickCount() - start >= waitMs;
        if (dialog) {
            const DialogState s = Read(dialog);
            if (!want || s.state == want || late) {
                Print(dialog, s);
                return !want || s.state == want ? 0 : 1;
            }
        } else if (late) {
            std::printf("state=none\n");
            return 2;
        }
        Sleep(kPollMs);
    }
}
