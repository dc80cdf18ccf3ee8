// CPU and memory of the program while it counts down: the real dialog runs
// in this process (as tocklet.exe runs it) with a long endless interval, and
// the display repaints every 24 ms.
//   bench_counting [seconds]   (default 60)
#include <windows.h>
// After windows.h, which it needs.
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "app/dialog_driver.h"
#include "app/main_dialog.h"
#include "app/resource.h"
#include "base/smart_ptr.h"
#include "countdown/time_count_thread.h"

namespace {

double FileTimeMs(const FILETIME& t) {
    ULARGE_INTEGER v;
    v.LowPart = t.dwLowDateTime;
    v.HighPart = t.dwHighDateTime;
    return static_cast<double>(v.QuadPart) / 10'000.0;
}

double CpuMs() {
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    return FileTimeMs(kernel) + FileTimeMs(user);
}

double ThreadCpuMs(DWORD id) {
    HANDLE thread = OpenThread(THREAD_QUERY_INFORMATION, FALSE, id);
    if (thread == nullptr) return -1;
    FILETIME created, exited, kernel, user;
    const BOOL ok = GetThreadTimes(thread, &created, &exited, &kernel, &user);
    CloseHandle(thread);
    return ok ? FileTimeMs(kernel) + FileTimeMs(user) : -1;
}

// Committed private memory, summed over the address space (what Windows
// reports as private bytes; Wine leaves PrivateUsage at 0).
double PrivateCommittedMiB() {
    double bytes = 0;
    MEMORY_BASIC_INFORMATION info;
    for (const char* p = nullptr; VirtualQuery(p, &info, sizeof info) == sizeof info;
         p = static_cast<const char*>(info.BaseAddress) + info.RegionSize) {
        if (info.State == MEM_COMMIT && info.Type == MEM_PRIVATE) bytes += info.RegionSize;
        if (static_cast<const char*>(info.BaseAddress) + info.RegionSize < p) break;
    }
    return bytes / 1048576.0;
}

struct Usage {
    double process, dialog, worker;
    ULONGLONG wall;
};

}  // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 60;

    // Wine's own share of a process, before any of the program runs.
    const double basePrivate = PrivateCommittedMiB();
    app_test::DialogDriver driver;
    if (!driver.Launch()) {
        std::printf("the dialog did not open\n");
        return 1;
    }
    // The idle dialog first, for comparison.
    const DWORD dialogThread = driver.dialogThreadId();
    const double idleStart = CpuMs();
    const ULONGLONG idleWall = GetTickCount64();
    Sleep(5000);
    const double idle = CpuMs() - idleStart;
    std::printf("idle dialog for 5 s: CPU %.1f ms = %.2f %% of one core\n", idle,
                100.0 * idle / static_cast<double>(GetTickCount64() - idleWall));

    driver.SetText(IDC_HOUR, "1");  // 1:00:00.000, endless
    driver.SetText(IDC_COUNT, "0");
    driver.Click(IDC_START);
    driver.Settle();
    const DWORD worker = (*g_worker)->GetId();

    const Usage before{CpuMs(), ThreadCpuMs(dialogThread), ThreadCpuMs(worker), GetTickCount64()};
    Sleep(static_cast<DWORD>(seconds) * 1000);
    const Usage after{CpuMs(), ThreadCpuMs(dialogThread), ThreadCpuMs(worker), GetTickCount64()};
    const double wall = static_cast<double>(after.wall - before.wall);
    auto percent = [&](double a, double b) { return 100.0 * (b - a) / wall; };

    PROCESS_MEMORY_COUNTERS memory = {};
    memory.cb = sizeof memory;
    GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);

    std::printf("counting for %d s: CPU %.1f ms = %.2f %% of one core\n", seconds,
                after.process - before.process, percent(before.process, after.process));
    if (before.dialog >= 0 && before.worker >= 0) {
        std::printf("  dialog thread (repaints) %.2f %%, worker thread %.2f %%\n",
                    percent(before.dialog, after.dialog), percent(before.worker, after.worker));
    }
    std::printf("peak working set: %.2f MiB\n", memory.PeakWorkingSetSize / 1048576.0);
    const double privateNow = PrivateCommittedMiB();
    std::printf(
        "private bytes (committed private memory): %.2f MiB, of which %.2f MiB "
        "before the dialog opened\n",
        privateNow, basePrivate);
    std::printf("still counting: %s\n",
                driver.Text(IDC_START) == app_test::kPauseCaption ? "yes" : "no");

    driver.Click(IDC_QUIT);
    const int exitCode = driver.WaitForExit();
    std::printf("exit code: %d\n", exitCode);
    return exitCode == 0 ? 0 : 1;
}
