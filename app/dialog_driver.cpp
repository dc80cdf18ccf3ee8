#include "app/dialog_driver.h"

#include <climits>
#include <iterator>
#include <string>

#include "app/app_entry.h"
#include "app/resource.h"
#include "testing/window_pixels.h"

namespace app_test {

namespace {

constexpr UINT kSendTimeoutMs = 10'000;
constexpr char kDialogCaption[] = "Tocklet Version 0.01";
// The message text of a message box has this control identifier.
constexpr int kMessageBoxTextId = 0xFFFF;
// A private message the test posts to itself through the dialog's queue.
constexpr UINT kSettleProbe = WM_APP + 77;

LONG g_probeTicket = 0;
LONG g_probeTaken = 0;

// Watches the dialog thread's message retrieval for the settle probe.
LRESULT CALLBACK WatchProbe(int code, WPARAM removal, LPARAM param) {
    const auto* msg = reinterpret_cast<const MSG*>(param);
    if (code >= 0 && removal == PM_REMOVE && msg->message == kSettleProbe) {
        InterlockedExchange(&g_probeTaken, static_cast<LONG>(msg->wParam));
    }
    return CallNextHookEx(nullptr, code, removal, param);
}

// A window's text through the "A" or the "W" functions; a hung window gives
// an empty text after the send's time limit.
template <typename Char>
std::basic_string<Char> WindowText(HWND window) {
    Char text[1024] = {};
    DWORD_PTR length = 0;
    const auto param = reinterpret_cast<LPARAM>(text);
    if constexpr (sizeof(Char) == 1) {
        SendMessageTimeoutA(window, WM_GETTEXT, std::size(text), param, SMTO_NORMAL, kSendTimeoutMs,
                            &length);
    } else {
        SendMessageTimeoutW(window, WM_GETTEXT, std::size(text), param, SMTO_NORMAL, kSendTimeoutMs,
                            &length);
    }
    return text;
}

template <typename Char>
struct FindRequest {
    const std::basic_string<Char>* caption;
    HWND found;
};

template <typename Char>
BOOL CALLBACK MatchCaption(HWND window, LPARAM param) {
    auto* request = reinterpret_cast<FindRequest<Char>*>(param);
    if (*request->caption == WindowText<Char>(window) && IsWindowVisible(window)) {
        request->found = window;
        return FALSE;
    }
    return TRUE;
}

template <typename Char>
HWND FindWindowOfThread(DWORD threadId, const std::basic_string<Char>& caption) {
    if (threadId == 0) return nullptr;
    FindRequest<Char> request{&caption, nullptr};
    EnumThreadWindows(threadId, MatchCaption<Char>, reinterpret_cast<LPARAM>(&request));
    return request.found;
}

// Reads the box's text, then dismisses it.
template <typename Char>
std::basic_string<Char> TakeBox(HWND box) {
    if (box == nullptr) return {};
    std::basic_string<Char> text = WindowText<Char>(GetDlgItem(box, kMessageBoxTextId));
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    Eventually([&] { return !IsWindow(box); });
    return text;
}

}  // namespace

DialogDriver::~DialogDriver() {
    if (thread_.joinable()) {
        if (Running() && dialog_ != nullptr) PostMessageA(dialog_, WM_TC_CLOSE, 0, 0);
        // Dismiss any box left open, so the dialog can take the close.
        Eventually(
            [&] {
                if (HWND box = FindThreadWindow(std::wstring(kWideErrorCaption)))
                    PostMessageA(box, WM_COMMAND, IDOK, 0);
                return !Running();
            },
            kDeadline);
        thread_.join();
    }
    if (hook_ != nullptr) UnhookWindowsHookEx(hook_);
}

void DialogDriver::Run(DialogDriver* self) {
    self->threadId_ = GetCurrentThreadId();
    const int result = RunTocklet(GetModuleHandleA(nullptr));
    self->exitCode_ = result;
    self->done_ = true;
}

bool DialogDriver::Launch() {
    thread_ = std::thread(&DialogDriver::Run, this);
    const bool shown = Eventually([&] {
        if (threadId_ == 0) return false;
        dialog_ = FindThreadWindow(kDialogCaption);
        return dialog_ != nullptr || !Running();
    });
    if (!shown || dialog_ == nullptr) return false;
    hook_ = SetWindowsHookExA(WH_GETMESSAGE, WatchProbe, nullptr, threadId_);
    return hook_ != nullptr && Settle();
}

bool DialogDriver::Running() const {
    return !done_;
}

int DialogDriver::WaitForExit(Millis deadline) {
    if (!Eventually([&] { return !Running(); }, deadline)) return INT_MIN;
    if (thread_.joinable()) thread_.join();
    return exitCode_;
}

std::string DialogDriver::Text(int id) const {
    return WindowText<char>(Item(id));
}

std::wstring DialogDriver::WideText(HWND window) {
    return WindowText<wchar_t>(window);
}

bool DialogDriver::SetText(int id, const std::string& text) const {
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(Item(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                               SMTO_NORMAL, kSendTimeoutMs, &result) != 0;
}

bool DialogDriver::SetWideText(int id, const std::wstring& text) const {
    DWORD_PTR result = 0;
    return SendMessageTimeoutW(Item(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                               SMTO_NORMAL, kSendTimeoutMs, &result) != 0;
}

bool DialogDriver::Paste(int id, const std::string& text) const {
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(Item(id), EM_REPLACESEL, TRUE,
                               reinterpret_cast<LPARAM>(text.c_str()), SMTO_NORMAL, kSendTimeoutMs,
                               &result) != 0;
}

bool DialogDriver::Click(int id) const {
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(Item(id), BM_CLICK, 0, 0, SMTO_NORMAL, kSendTimeoutMs, &result) != 0;
}

bool DialogDriver::ClickAsync(int id) const {
    return PostMessageA(Item(id), BM_CLICK, 0, 0) != 0;
}

bool DialogDriver::Settle() const {
    // The thread's posted messages are taken in order: once a probe posted
    // now has been taken, everything posted before it has been handled.
    const LONG ticket = InterlockedIncrement(&g_probeTicket);
    if (!PostMessageA(dialog_, kSettleProbe, static_cast<WPARAM>(ticket), 0)) return false;
    return Eventually([&] { return InterlockedCompareExchange(&g_probeTaken, 0, 0) >= ticket; });
}

bool DialogDriver::PostAndSettle(UINT message, WPARAM wParam, LPARAM lParam) const {
    return PostMessageA(dialog_, message, wParam, lParam) && Settle();
}

bool DialogDriver::PressKey(int focusId, WORD key) const {
    HWND target = Item(focusId);
    return PostMessageA(target, WM_KEYDOWN, key, 1) &&
           PostMessageA(target, WM_KEYUP, key, 0xC0000001);
}

HWND DialogDriver::FindThreadWindow(const std::string& caption) const {
    return FindWindowOfThread(threadId_, caption);
}

HWND DialogDriver::FindThreadWindow(const std::wstring& caption) const {
    return FindWindowOfThread(threadId_, caption);
}

std::string DialogDriver::TakeErrorBox(Millis deadline) const {
    return TakeBox<char>(WaitForThreadWindow(std::string(kErrorCaption), deadline));
}

std::wstring DialogDriver::TakeWideErrorBox(Millis deadline) const {
    return TakeBox<wchar_t>(WaitForThreadWindow(std::wstring(kWideErrorCaption), deadline));
}

bool DialogDriver::HasIcon(HWND box) {
    // The box keeps its icon control either way; only with an icon does
    // the control hold one.
    for (HWND child = GetWindow(box, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        char cls[32] = {};
        GetClassNameA(child, cls, sizeof cls);
        if (lstrcmpiA(cls, "Static") != 0) continue;
        if ((GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) != SS_ICON) continue;
        DWORD_PTR icon = 0;
        SendMessageTimeoutA(child, STM_GETICON, 0, 0, SMTO_NORMAL, kSendTimeoutMs, &icon);
        if (icon != 0 && IsWindowVisible(child)) return true;
    }
    return false;
}

std::vector<uint32_t> DialogDriver::DisplayPixels() const {
    return testing_support::ReadClientPixels(Item(IDC_DISPLAY));
}

}  // namespace app_test
