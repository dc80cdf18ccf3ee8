#include "countdown/worker_test_support.h"

// After windows.h, which it needs.
#include <mmsystem.h>

#include "app/resource.h"
#include "countdown/timer.h"

namespace worker_test {

namespace {

constexpr char kWindowClass[] = "TockletWorkerTestWindow";

Event Stamp(Kind kind) {
    Event event{};
    event.kind = kind;
    event.remain = Snapshot(g_remain);
    event.tick = Now();
    return event;
}

}  // namespace

uint32_t Now() {
    return g_tickSource.load(std::memory_order_relaxed)();
}

EventLog::State& EventLog::Get() {
    static State state;
    return state;
}

void EventLog::Clear() {
    State& state = Get();
    std::lock_guard<std::mutex> guard(state.lock);
    state.events.clear();
    state.counts.clear();
    state.keep = true;
}

void EventLog::KeepEvents(bool keep) {
    State& state = Get();
    std::lock_guard<std::mutex> guard(state.lock);
    state.keep = keep;
}

void EventLog::Add(const Event& event) {
    State& state = Get();
    std::lock_guard<std::mutex> guard(state.lock);
    ++state.counts[{event.kind, event.kind == Kind::kPost ? event.message : 0}];
    if (state.keep) state.events.push_back(event);
}

std::vector<Event> EventLog::Events() {
    State& state = Get();
    std::lock_guard<std::mutex> guard(state.lock);
    return state.events;
}

std::vector<Event> EventLog::Of(Kind kind) {
    std::vector<Event> found;
    for (const Event& event : Events()) {
        if (event.kind == kind) found.push_back(event);
    }
    return found;
}

std::vector<Event> EventLog::Posts(UINT message) {
    std::vector<Event> found;
    for (const Event& event : Of(Kind::kPost)) {
        if (event.message == message) found.push_back(event);
    }
    return found;
}

std::size_t EventLog::Count(Kind kind) {
    State& state = Get();
    std::lock_guard<std::mutex> guard(state.lock);
    std::size_t count = 0;
    for (const auto& [key, n] : state.counts) {
        if (key.first == kind) count += n;
    }
    return count;
}

std::size_t EventLog::CountPosts(UINT message) {
    State& state = Get();
    std::lock_guard<std::mutex> guard(state.lock);
    const auto found = state.counts.find({Kind::kPost, message});
    return found == state.counts.end() ? 0 : found->second;
}

BOOL WINAPI RecordingPost(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Event event = Stamp(Kind::kPost);
    event.message = message;
    event.wParam = wParam;
    event.lParam = lParam;
    EventLog::Add(event);
    return PostMessageA(window, message, wParam, lParam);
}

BOOL WINAPI RecordingBeep(UINT type) {
    Event event = Stamp(Kind::kBeep);
    event.message = type;
    EventLog::Add(event);
    return TRUE;
}

WorkerCalls RecordingCalls() {
    return WorkerCalls{&RecordingPost, &RecordingBeep};
}

uint32_t CLoggingBackend::SendCommand(uint32_t deviceId, uint32_t command, uint32_t flags,
                                      void* params) {
    const uint32_t result = WinMMBackend().SendCommand(deviceId, command, flags, params);
    Kind kind;
    switch (command) {
        case MCI_PLAY:
            kind = Kind::kPlay;
            break;
        case MCI_STOP:
            kind = Kind::kStop;
            break;
        case MCI_CLOSE:
            kind = Kind::kClose;
            break;
        default:
            return result;
    }
    Event event = Stamp(kind);
    event.deviceId = deviceId;
    EventLog::Add(event);
    return result;
}

uint32_t CLoggingBackend::DriveType(const char* root) {
    return WinMMBackend().DriveType(root);
}

CMessageWindow::CMessageWindow() {
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = &CMessageWindow::WindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = kWindowClass;
    RegisterClassExA(&windowClass);  // fails harmlessly when already registered
    window_ = CreateWindowExA(0, kWindowClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                              GetModuleHandleA(nullptr), this);
}

CMessageWindow::~CMessageWindow() {
    if (window_ != nullptr) DestroyWindow(window_);
    // Drop whatever a worker posted after the window went.
    MSG message;
    while (PeekMessageA(&message, nullptr, WM_TC_CLOSE, WM_TC_REDRAW, PM_REMOVE)) {
    }
}

void CMessageWindow::Pump() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.hwnd == window_) {
            received_.push_back(Received{message.message, message.wParam, message.lParam});
        }
        DispatchMessageA(&message);
    }
}

std::size_t CMessageWindow::Count(UINT message) const {
    std::size_t count = 0;
    for (const Received& r : received_) {
        if (r.message == message) ++count;
    }
    return count;
}

void CMessageWindow::PumpFor(uint32_t spanMs) {
    WaitFor([] { return false; }, spanMs);
}

LRESULT CALLBACK CMessageWindow::WindowProc(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace worker_test
