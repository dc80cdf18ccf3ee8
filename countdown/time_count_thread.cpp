#include "countdown/time_count_thread.h"

#include "app/resource.h"
#include "sound/mci_music.h"
#include "sound/mci_music_file.h"

namespace {

// Every message the worker posts carries these.
constexpr WPARAM kPostWParam = 1;
constexpr LPARAM kPostLParam = 0;

// An endless run counts down from here, away from 0.
constexpr int32_t kEndlessCount = -1;

}  // namespace

WorkerCalls WorkerCalls::System() {
    return WorkerCalls{&PostMessageA, &MessageBeep};
}

CTimeCountThread::CTimeCountThread(const TimeCount& settings, HWND dialog, CMCIMusicFile* sound,
                                   WorkerCalls calls)
    : dialog(dialog),
      setting(Snapshot(settings)),
      remain(&g_remain),
      sound(sound),
      calls(calls),
      timer() {}

CTimeCountThread::~CTimeCountThread() {
    Stop();
    if (sound != nullptr) {
        sound->owner()->CloseFile(sound);
        sound = nullptr;
    }
}

int CTimeCountThread::Suspend() {
    const int held = CThread::Suspend();
    // The thread is parked now, so the stopwatch is not in use.
    if (held == 1) timer.Pause();
    return held;
}

int CTimeCountThread::Resume() {
    // Running again before the thread is, so it never reads a frozen watch.
    if (IsSuspended() == 1) timer.Resume();
    return CThread::Resume();
}

int CTimeCountThread::Run() {
    StoreField(remain->hour, setting.hour);
    StoreField(remain->minute, setting.minute);
    StoreField(remain->second, setting.second);
    StoreField(remain->millisecond, setting.millisecond);
    StoreField(remain->count, setting.count);

    const uint32_t total = ToMilliseconds(setting);
    if (total == 0) {
        // A zero interval would sound without pause, endlessly when the
        // count is 0. Nothing to count: end at once, as after the last
        // repetition.
        StoreField(remain->count, 0);
        Post(WM_TC_REDRAW);
        if (ShouldContinue()) Post(WM_TC_FINISH);
        return 0;
    }

    if (LoadField(remain->count) == 0) StoreField(remain->count, kEndlessCount);

    while (LoadField(remain->count) != 0) {
        if (!ShouldContinue()) break;
        timer.SetElapsed(0);
        CountOneInterval(total);
        if (ShouldContinue()) SoundIntervalEnd();
        DecrementCount();
    }
    if (!ShouldContinue()) return 0;

    ClearTime(*remain);
    Post(WM_TC_REDRAW);
    if (sound != nullptr) WaitForPlayOut();
    if (ShouldContinue()) Post(WM_TC_FINISH);
    return 0;
}

void CTimeCountThread::CountOneInterval(uint32_t total) {
    for (;;) {
        const uint32_t elapsed = timer.GetElapsed();
        if (elapsed >= total) return;
        if (!ShouldContinue()) return;
        Sleep(kPollMs);
        // The reading from before the sleep: the display lags one poll.
        SetFromMilliseconds(*remain, total - elapsed);
        Post(WM_TC_REDRAW);
    }
}

void CTimeCountThread::SoundIntervalEnd() {
    if (sound != nullptr) {
        sound->Stop();
        sound->Play();
    } else {
        calls.beep(MB_ICONASTERISK);
    }
}

void CTimeCountThread::WaitForPlayOut() {
    // Timed from just after the last Play; a pause lengthens it by its span.
    timer.SetElapsed(0);
    const uint32_t length = sound->length();
    while (timer.GetElapsed() < length && ShouldContinue()) Sleep(kPollMs);
}

void CTimeCountThread::DecrementCount() {
    // Two's-complement wrap without signed overflow: an endless run falls
    // from -1 and would need 2^32 - 1 repetitions to come back to 0.
    const uint32_t count = static_cast<uint32_t>(LoadField(remain->count));
    StoreField(remain->count, static_cast<int32_t>(count - 1u));
}

void CTimeCountThread::Post(UINT message) {
    calls.post(dialog, message, kPostWParam, kPostLParam);
}
