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
#include "app/resource.h"

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

}  // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 60;

    app_test::DialogDriver driver;
    if (!driver.Launch()) {
        std::printf("the dialog did not open\n");
        return 1;
    }
    driver.SetText(IDC_HOUR, "1");  // 1:00:00.000, endless
    driver.SetText(IDC_COUNT, "0");
    driver.Click(IDC_START);

    const double cpuBefore = CpuMs();
    const ULONGLONG wallBefore = GetTickCount64();
    Sleep(static_cast<DWORD>(seconds) * 1000);
    const double cpu = CpuMs() - cpuBefore;
    const double wall = static_cast<double>(GetTickCount64() - wallBefore);

    PROCESS_MEMORY_COUNTERS_EX memory = {};
    memory.cb = sizeof memory;
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory),
                         sizeof memory);

    std::printf("counting for %d s: CPU %.1f ms = %.2f %% of one core\n", seconds, cpu,
                100.0 * cpu / wall);
    std::printf("peak working set: %.2f MiB\n", memory.PeakWorkingSetSize / 1048576.0);
    std::printf("private bytes: %.2f MiB\n", memory.PrivateUsage / 1048576.0);
    std::printf("still counting: %s\n",
                driver.Text(IDC_START) == app_test::kPauseCaption ? "yes" : "no");

    driver.Click(IDC_QUIT);
    const int exitCode = driver.WaitForExit();
    std::printf("exit code: %d\n", exitCode);
    return exitCode == 0 ? 0 : 1;
}
