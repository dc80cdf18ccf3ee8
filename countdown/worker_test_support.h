// Observation points for the countdown worker's tests: a log of what the
// worker posts, beeps and plays (with g_remain as it stood at that moment),
// a media back end that forwards to winmm and logs plays and stops, and a
// hidden window on the test thread that receives the posted messages.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <utility>
#include <vector>

#include "countdown/time_count.h"
#include "countdown/time_count_thread.h"
#include "sound/mci_backend.h"

namespace worker_test {

enum class Kind { kPost, kBeep, kPlay, kStop, kClose };

struct Event {
    Kind kind;
    UINT message;  // posts
    WPARAM wParam;
    LPARAM lParam;
    uint32_t deviceId;  // plays, stops, closes
    TimeCount remain;   // g_remain when it happened
    uint32_t tick;      // the stopwatch's tick source, after the call
};

// Process-wide, since the seams are plain function pointers. Counts are kept
// always; the events themselves only while keeping is on (the default), so
// a long run can count without growing.
class EventLog {
public:
    static void Clear();  // and keep events again
    static void KeepEvents(bool keep);
    static void Add(const Event& event);
    static std::vector<Event> Events();
    static std::vector<Event> Of(Kind kind);
    static std::vector<Event> Posts(UINT message);
    static std::size_t Count(Kind kind);
    static std::size_t CountPosts(UINT message);

private:
    struct State {
        std::mutex lock;
        std::vector<Event> events;
        bool keep = true;
        std::map<std::pair<Kind, UINT>, std::size_t> counts;
    };
    static State& Get();
};

uint32_t Now();

// Log, then the real PostMessageA.
BOOL WINAPI RecordingPost(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Log only: tests do not need the asterisk sound.
BOOL WINAPI RecordingBeep(UINT type);
WorkerCalls RecordingCalls();

// winmm underneath; logs plays, stops and closes after they return.
class CLoggingBackend : public IMCIBackend {
public:
    uint32_t SendCommand(uint32_t deviceId, uint32_t command, uint32_t flags,
                         void* params) override;
    uint32_t DriveType(const char* root) override;
};

// A message-only window owned by the creating thread, which must pump it.
class CMessageWindow {
public:
    CMessageWindow();
    ~CMessageWindow();
    CMessageWindow(const CMessageWindow&) = delete;
    CMessageWindow& operator=(const CMessageWindow&) = delete;

    HWND handle() const { return window_; }
    // Dispatches what is queued for this thread.
    void Pump();
    // Messages taken so far, in order: (message, wParam, lParam).
    struct Received {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    };
    const std::vector<Received>& received() const { return received_; }
    std::size_t Count(UINT message) const;
    // Drops what was recorded (a long run would otherwise grow the record).
    void ForgetReceived() { received_.clear(); }

    // Pumps while waiting; true if `pred` held before `deadlineMs` passed.
    template <typename Pred>
    bool WaitFor(Pred pred, uint32_t deadlineMs) {
        const ULONGLONG start = GetTickCount64();
        for (;;) {
            Pump();
            if (pred()) return true;
            if (GetTickCount64() - start >= deadlineMs) return false;
            Sleep(2);
        }
    }
    // Pumps for a fixed span (to show that nothing more arrives).
    void PumpFor(uint32_t spanMs);

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    HWND window_ = nullptr;
    std::vector<Received> received_;
};

}  // namespace worker_test
