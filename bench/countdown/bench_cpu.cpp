// Process CPU time (user + kernel) per minute while an endless countdown runs:
// with the redraw requests taken off the queue unpainted, and with a window
// that repaints the time display on each of them as the dialog does. A bare
// thread that polls and posts every 24 ms, measured in the same run, is the
// reference; an idle phase shows what the process costs doing nothing.
//
// Usage: bench_cpu [seconds_per_phase=15]
// Each phase runs that long; figures are scaled to one minute.
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "app/resource.h"
#include "bench/countdown/bench_support.h"
#include "countdown/time_count.h"
#include "countdown/time_count_thread.h"
#include "countdown/timer.h"
#include "display/time_display.h"

namespace {

// Long enough that no interval ends during a phase: pure counting.
constexpr uint32_t kIntervalMs = 3'600'000;
constexpr int kDisplayWidth = 400;
constexpr int kDisplayHeight = 80;
constexpr char kWindowClass[] = "TockletBenchDialog";

struct Phase {
    double cpuMs;
    uint32_t wallMs;
};

double PerMinute(const Phase& p) {
    return p.cpuMs * 60'000.0 / p.wallMs;
}
double PercentOfCore(const Phase& p) {
    return 100.0 * p.cpuMs / p.wallMs;
}

template <typename Body>
Phase Measure(Body body) {
    const double cpu0 = bench::ProcessCpuMs();
    const uint32_t wall0 = bench::Now();
    body();
    return Phase{bench::ProcessCpuMs() - cpu0, bench::Now() - wall0};
}

void Print(const char* name, const Phase& p) {
    std::printf("%-40s %8.1f ms CPU per minute, %.3f %% of one core\n", name, PerMinute(p),
                PercentOfCore(p));
}

TimeCount Endless() {
    TimeCount settings{};
    SetFromMilliseconds(settings, kIntervalMs);
    settings.count = 0;
    return settings;
}

Phase RunWorker(HWND target, uint32_t ms, bench::CSink& sink, void (*onRedraw)(void*),
                void* context) {
    CTimeCountThread worker(Endless(), target, nullptr);
    worker.Start();
    sink.PumpFor(200);  // past thread creation
    const Phase phase = Measure([&] { sink.PumpFor(ms, onRedraw, context); });
    return phase;
}

// The worker's poll without the worker: tick read, Sleep(24), publish and,
// if `post`, post.
Phase RunReference(HWND target, uint32_t ms, bench::CSink& sink, bool post) {
    std::atomic<bool> stop{false};
    std::thread poller([&] {
        CTimer timer;
        while (!stop.load(std::memory_order_relaxed)) {
            const uint32_t elapsed = timer.GetElapsed();
            Sleep(CTimeCountThread::kPollMs);
            SetFromMilliseconds(g_remain, kIntervalMs - elapsed);
            if (post) PostMessageA(target, WM_TC_REDRAW, 1, 0);
        }
    });
    sink.PumpFor(200);
    const Phase phase = Measure([&] { sink.PumpFor(ms); });
    stop = true;
    poller.join();
    return phase;
}

// The dialog's part of a repaint: invalidate the display control; its
// owner-draw then draws g_remain.
struct Dialog {
    HWND window = nullptr;
    HWND control = nullptr;
    CTimeDisplay* display = nullptr;
};
Dialog* g_dialog = nullptr;

LRESULT CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DRAWITEM && g_dialog != nullptr && g_dialog->display != nullptr) {
        g_dialog->display->Draw();
        return TRUE;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void Invalidate(void* context) {
    auto* dialog = static_cast<Dialog*>(context);
    InvalidateRect(dialog->control, nullptr, FALSE);
}

}  // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 15;
    if (seconds <= 0) {
        std::fprintf(stderr, "usage: bench_cpu [seconds_per_phase>0]\n");
        return 2;
    }
    const uint32_t ms = static_cast<uint32_t>(seconds) * 1000;
    CTimerPeriod period(0);
    std::printf("bench_cpu: %d s per phase, scaled to one minute; endless countdown, poll %lu ms\n",
                seconds, static_cast<unsigned long>(CTimeCountThread::kPollMs));

    bench::CSink sink;
    const Phase idle = Measure([&] { sink.PumpFor(ms); });
    Print("idle (message pump only):", idle);
    const Phase sleeping = RunReference(sink.handle(), ms, sink, false);
    Print("reference, bare Sleep(24) poll:", sleeping);
    const Phase reference = RunReference(sink.handle(), ms, sink, true);
    Print("reference, bare Sleep(24) poll + post:", reference);
    const Phase worker = RunWorker(sink.handle(), ms, sink, nullptr, nullptr);
    Print("worker, no repaint:", worker);

    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = &DialogProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kWindowClass;
    RegisterClassExA(&windowClass);
    Dialog dialog;
    dialog.window = CreateWindowExA(0, kWindowClass, "bench", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0,
                                    0, kDisplayWidth + 40, kDisplayHeight + 80, nullptr, nullptr,
                                    GetModuleHandleA(nullptr), nullptr);
    dialog.control = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE | SS_OWNERDRAW, 10, 10,
                                     kDisplayWidth, kDisplayHeight, dialog.window,
                                     reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_DISPLAY)),
                                     GetModuleHandleA(nullptr), nullptr);
    CTimeDisplay display(dialog.window);
    if (dialog.control != nullptr && display.CreateSurface(kDisplayWidth, kDisplayHeight) == 1) {
        dialog.display = &display;
        g_dialog = &dialog;
        const Phase painted = RunWorker(dialog.window, ms, sink, &Invalidate, &dialog);
        Print("worker, display repainting:", painted);
        g_dialog = nullptr;
        display.ReleaseSurface();
    } else {
        std::printf("worker, display repainting: skipped, no display surface\n");
    }
    if (dialog.window != nullptr) DestroyWindow(dialog.window);

    std::printf("ratio worker / reference (no repaint): %.2f\n",
                reference.cpuMs > 0 ? worker.cpuMs / reference.cpuMs : 0.0);
    std::printf("target < 0.5 %% of one core without repaint: %s\n",
                PercentOfCore(worker) < 0.5 ? "met" : "MISSED");
    return 0;
}
