// Start-up of tocklet.exe: from process creation to its dialog being
// visible, over several runs; and the size of the program file.
//   bench_startup [path\to\tocklet.exe] [runs]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "testing/process_window.h"

namespace {

constexpr char kDialogCaption[] = "Tocklet Version 0.01";
constexpr DWORD kDeadlineMs = 30'000;

std::string DefaultExePath() {
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, sizeof self);
    std::string dir(self);
    dir.resize(dir.find_last_of("\\/") + 1);
    // build/<preset>/bench/app/ -> build/<preset>/app/
    return dir + "..\\..\\app\\" TOCKLET_EXE_NAME;
}

// Milliseconds to the visible dialog, or a negative value on failure.
double MeasureOnce(const std::string& exe, DWORD* exitCode) {
    LARGE_INTEGER frequency, start, now;
    QueryPerformanceFrequency(&frequency);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    std::string commandLine = "\"" + exe + "\"";
    QueryPerformanceCounter(&start);
    if (!CreateProcessA(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &process)) {
        std::printf("cannot start %s (error %lu)\n", exe.c_str(), GetLastError());
        return -1;
    }
    double elapsed = -1;
    HWND found = nullptr;
    for (;;) {
        found = testing_support::FindVisibleWindow(process.dwProcessId, kDialogCaption);
        QueryPerformanceCounter(&now);
        const double ms = 1000.0 * static_cast<double>(now.QuadPart - start.QuadPart) /
                          static_cast<double>(frequency.QuadPart);
        if (found != nullptr) {
            elapsed = ms;
            break;
        }
        if (ms > kDeadlineMs || WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0) break;
        Sleep(1);
    }
    if (found != nullptr) PostMessageA(found, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process.hProcess, kDeadlineMs) != WAIT_OBJECT_0) {
        TerminateProcess(process.hProcess, 1);
        WaitForSingleObject(process.hProcess, kDeadlineMs);
    }
    GetExitCodeProcess(process.hProcess, exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return elapsed;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string exe = argc > 1 ? argv[1] : DefaultExePath();
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 10;

    WIN32_FILE_ATTRIBUTE_DATA attributes = {};
    if (GetFileAttributesExA(exe.c_str(), GetFileExInfoStandard, &attributes)) {
        std::printf("tocklet.exe size: %lu bytes (%.1f KiB)\n", attributes.nFileSizeLow,
                    attributes.nFileSizeLow / 1024.0);
    }

    // One unmeasured run warms the Wine prefix and the file cache.
    DWORD exitCode = 0;
    MeasureOnce(exe, &exitCode);

    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const double ms = MeasureOnce(exe, &exitCode);
        if (ms < 0) {
            std::printf("run %d: the dialog did not appear\n", i + 1);
            return 1;
        }
        if (exitCode != 0) std::printf("run %d: exit code %lu\n", i + 1, exitCode);
        times.push_back(ms);
    }
    std::sort(times.begin(), times.end());
    const double median = times.size() % 2
                              ? times[times.size() / 2]
                              : (times[times.size() / 2 - 1] + times[times.size() / 2]) / 2;
    std::printf("start-up to visible dialog: median %.1f ms, min %.1f ms, max %.1f ms (%d runs)\n",
                median, times.front(), times.back(), runs);
    return 0;
}
