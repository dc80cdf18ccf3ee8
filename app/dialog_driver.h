// Test support: runs the real program (RunTocklet: holders, modal dialog
// from the real template) on a thread of its own and drives it from the
// test's thread as a person would, with a deadline on every wait.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

namespace app_test {

// Milliseconds. <chrono> is kept out: its literals do not convert to the
// CP932 execution character set.
using Millis = DWORD;
inline constexpr Millis kDeadline = 20'000;

// Code page 932 texts the tests look for.
inline constexpr char kErrorCaption[] = "エラー";
inline constexpr wchar_t kWideErrorCaption[] = L"エラー";
inline constexpr char kStartCaption[] = "開始(&C)";
inline constexpr char kPauseCaption[] = "中断(&A)";
inline constexpr char kResumeCaption[] = "再開(&R)";

// True when pred() holds before the deadline (polled).
template <typename Pred>
bool Eventually(Pred pred, Millis deadline = kDeadline) {
    const ULONGLONG start = GetTickCount64();
    while (!pred()) {
        if (GetTickCount64() - start >= deadline) return pred();
        Sleep(5);
    }
    return true;
}

class DialogDriver {
public:
    DialogDriver() = default;
    // Ends a dialog still open (Quit) and joins its thread.
    ~DialogDriver();
    DialogDriver(const DialogDriver&) = delete;
    DialogDriver& operator=(const DialogDriver&) = delete;

    // Starts the program's run; true once the dialog is shown and idle.
    bool Launch();
    // Waits for the run to end: its exit code, or INT_MIN on time-out.
    int WaitForExit(Millis deadline = kDeadline);
    bool Running() const;

    HWND dialog() const { return dialog_; }
    HWND Item(int id) const { return GetDlgItem(dialog_, id); }
    DWORD dialogThreadId() const { return threadId_; }

    // WM_GETTEXT / WM_SETTEXT sent to the control; a set edit text is
    // reported to the dialog, which validates it before this returns.
    std::string Text(int id) const;
    bool SetText(int id, const std::string& text) const;
    // The same through the "W" functions: what a user sees, whatever the
    // system code page (the "A" ones convert through it).
    std::wstring WideText(int id) const { return WideText(Item(id)); }
    static std::wstring WideText(HWND window);
    bool SetWideText(int id, const std::wstring& text) const;
    // Replaces the selection with `text`, as a paste does.
    bool Paste(int id, const std::string& text) const;
    bool Enabled(int id) const { return IsWindowEnabled(Item(id)) != FALSE; }

    // Clicks a button and returns once the dialog handled the click.
    bool Click(int id) const;
    // Clicks without waiting (the click opens a modal box).
    bool ClickAsync(int id) const;
    // Posts a message and waits until the dialog has taken its queue (a
    // second posted message comes back).
    bool PostAndSettle(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
    // Waits until everything posted to the dialog so far has been handled.
    bool Settle() const;
    // Presses and releases a key on the control with the focus.
    bool PressKey(int focusId, WORD key) const;

    // A top-level window of the dialog thread with this caption, or null.
    HWND FindThreadWindow(const std::string& caption) const;
    HWND FindThreadWindow(const std::wstring& caption) const;
    template <typename Text>
    HWND WaitForThreadWindow(const Text& caption, Millis deadline = kDeadline) const {
        HWND found = nullptr;
        Eventually([&] { return (found = FindThreadWindow(caption)) != nullptr; }, deadline);
        return found;
    }

    // The error box: its text, then it is dismissed. Empty when none came.
    std::string TakeErrorBox(Millis deadline = kDeadline) const;
    // The same, found by its caption and read through the "W" functions.
    std::wstring TakeWideErrorBox(Millis deadline = kDeadline) const;
    // Whether an error box carries an icon.
    static bool HasIcon(HWND box);

    // The display control's pixels (read back through its device context).
    std::vector<uint32_t> DisplayPixels() const;

private:
    static void Run(DialogDriver* self);

    std::thread thread_;
    HWND dialog_ = nullptr;
    HHOOK hook_ = nullptr;
    std::atomic<DWORD> threadId_{0};
    std::atomic<int> exitCode_{0};
    std::atomic<bool> done_{false};
};

}  // namespace app_test
