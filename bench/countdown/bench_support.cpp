#include "bench/countdown/bench_support.h"

// After windows.h, which it needs.
#include <mmsystem.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numeric>

#include "app/resource.h"

namespace bench {

namespace {
constexpr char kSinkClass[] = "TockletBenchSink";

double Nearest(const std::vector<double>& sorted, double fraction) {
    const auto rank = static_cast<std::size_t>(std::ceil(fraction * sorted.size()));
    return sorted[std::clamp<std::size_t>(rank, 1, sorted.size()) - 1];
}

double FileTimeMs(const FILETIME& time) {
    const uint64_t ticks = (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    return static_cast<double>(ticks) / 10'000.0;  // 100 ns units
}
}  // namespace

uint32_t Now() {
    return timeGetTime();
}

Stats Summarize(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const double sum = std::accumulate(values.begin(), values.end(), 0.0);
    return Stats{Nearest(values, 0.5), Nearest(values, 0.99), values.back(),
                 sum / static_cast<double>(values.size())};
}

std::string Format(const Stats& stats) {
    char text[160];
    std::snprintf(text, sizeof(text), "median %.1f ms, p99 %.1f ms, max %.1f ms, mean %.2f ms",
                  stats.median, stats.p99, stats.max, stats.mean);
    return text;
}

double ProcessCpuMs() {
    FILETIME creation, exit, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &creation, &exit, &kernel, &user)) return 0;
    return FileTimeMs(kernel) + FileTimeMs(user);
}

CSink::CSink() {
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = &DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = kSinkClass;
    RegisterClassExA(&windowClass);
    window_ = CreateWindowExA(0, kSinkClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                              GetModuleHandleA(nullptr), nullptr);
}

CSink::~CSink() {
    if (window_ != nullptr) DestroyWindow(window_);
}

void CSink::PumpFor(uint32_t ms, void (*onRedraw)(void*), void* context) {
    const uint32_t start = Now();
    for (;;) {
        const uint32_t passed = Now() - start;
        if (passed >= ms) return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, ms - passed, QS_ALLINPUT);
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_TC_REDRAW && onRedraw != nullptr) onRedraw(context);
            DispatchMessageA(&message);
        }
    }
}

}  // namespace bench
