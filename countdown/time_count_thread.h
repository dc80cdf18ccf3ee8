// The countdown worker: counts one interval down again and again on its own
// thread, publishes the time left into g_remain for the dialog's display and
// sounds the end of each interval.
#pragma once

#include <windows.h>

#include <cstdint>

#include "countdown/time_count.h"
#include "countdown/timer.h"
#include "thread/thread.h"

class CMCIMusicFile;

// The user32 calls the worker thread makes. The worker calls them through
// these pointers only so that tests and benchmarks can watch them; the
// defaults are the real calls.
struct WorkerCalls {
    BOOL(WINAPI* post)(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    BOOL(WINAPI* beep)(UINT type);

    static WorkerCalls System();
};

class CTimeCountThread : public CThread {
public:
    // One poll: the time left is published and a redraw asked for this often.
    static constexpr DWORD kPollMs = 24;

    // Takes over `sound` (may be null): the destructor hands it back to its
    // service's CloseFile. Nothing runs until Start.
    CTimeCountThread(const TimeCount& settings, HWND dialog, CMCIMusicFile* sound,
                     WorkerCalls calls = WorkerCalls::System());
    // Stops and joins the thread before the sound is closed, since the
    // thread uses the sound until its last step.
    ~CTimeCountThread() override;

    CTimeCountThread(const CTimeCountThread&) = delete;
    CTimeCountThread& operator=(const CTimeCountThread&) = delete;

    // Holds the thread, then freezes the stopwatch; the base's result.
    int Suspend() override;
    // Restarts the stopwatch, then releases the thread; the base's result.
    int Resume() override;
    // The countdown itself, on the worker thread; always 0.
    int Run() override;

private:
    // Polls one repetition until its end or a stop request.
    void CountOneInterval(uint32_t total);
    // The sound's Stop and Play, or the system beep.
    void SoundIntervalEnd();
    // Waits, on the stopwatch, until the last play has had time to finish.
    void WaitForPlayOut();
    void DecrementCount();
    void Post(UINT message);

    HWND dialog;
    TimeCount setting;
    TimeCount* remain;
    CMCIMusicFile* sound;
    WorkerCalls calls;
    // Last: starts running when the other members are in place.
    CTimer timer;
};
