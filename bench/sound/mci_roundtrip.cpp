// Cost of one media command (a length query on an open WAV) sent through the
// sound-service thread, against the same command made directly on the
// calling thread, measured side by side.
#include <windows.h>
// After windows.h, which it needs.
#include <mmsystem.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "sound/mci_music.h"
#include "sound/mci_music_file.h"
#include "testing/wav_file.h"

namespace {

constexpr int kCalls = 10'000;
constexpr int kWarmUp = 200;
constexpr uint32_t kToneMs = 500;

double TicksToMs(LONGLONG ticks) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(ticks) / static_cast<double>(frequency.QuadPart);
}

LONGLONG Now() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

struct Stats {
    double median;
    double p99;
};

Stats Summarise(std::vector<LONGLONG> samples) {
    std::sort(samples.begin(), samples.end());
    const auto at = [&](double q) {
        return TicksToMs(
            samples[static_cast<std::size_t>(q * static_cast<double>(samples.size() - 1))]);
    };
    return {at(0.5), at(0.99)};
}

uint32_t QueryThroughService(CMCIMusic& music, uint32_t device) {
    MCI_STATUS_PARMS status{};
    status.dwItem = MCI_STATUS_LENGTH;
    MCICommand command{device, MCI_STATUS, MCI_STATUS_ITEM | MCI_WAIT, &status, 0};
    return music.SendCommand(command);
}

uint32_t QueryDirectly(uint32_t device) {
    MCI_STATUS_PARMS status{};
    status.dwItem = MCI_STATUS_LENGTH;
    return mciSendCommandA(device, MCI_STATUS, MCI_STATUS_ITEM | MCI_WAIT,
                           reinterpret_cast<DWORD_PTR>(&status));
}

uint32_t OpenDirectly(const std::string& path) {
    MCI_OPEN_PARMSA open{};
    open.lpstrElementName = path.c_str();
    open.lpstrAlias = "direct";
    if (mciSendCommandA(0, MCI_OPEN, MCI_OPEN_ELEMENT | MCI_OPEN_ALIAS | MCI_WAIT,
                        reinterpret_cast<DWORD_PTR>(&open)) != 0) {
        return 0;
    }
    return open.wDeviceID;
}

}  // namespace

int main() {
    const std::string dir = testing_support::MakeScratchDir("bench-mci");
    const std::string path = dir + "tone.wav";
    if (dir.empty() || !testing_support::WriteToneWav(path, kToneMs)) {
        std::printf("cannot write the WAV fixture\n");
        return 1;
    }
    int exitCode = 0;
    {
        CMCIMusic music(nullptr);
        CMCIMusicFile* file = music.OpenFile(path.c_str());
        if (file == nullptr) {
            std::printf("cannot open %s\n", path.c_str());
            return 1;
        }
        const uint32_t device = file->deviceId();
        // The media layer ties a device to the thread that opened it, so the
        // direct calls get a device of their own on the same file.
        const uint32_t ownDevice = OpenDirectly(path);
        if (ownDevice == 0) {
            std::printf("cannot open %s on the calling thread\n", path.c_str());
            return 1;
        }
        for (int i = 0; i < kWarmUp; ++i) {
            QueryThroughService(music, device);
            QueryDirectly(ownDevice);
        }
        std::vector<LONGLONG> viaService;
        std::vector<LONGLONG> direct;
        viaService.reserve(kCalls);
        direct.reserve(kCalls);
        uint32_t failures = 0;
        // Alternate the two so that both see the same machine load.
        for (int i = 0; i < kCalls; ++i) {
            LONGLONG start = Now();
            if (QueryThroughService(music, device) != 0) ++failures;
            viaService.push_back(Now() - start);
            start = Now();
            if (QueryDirectly(ownDevice) != 0) ++failures;
            direct.push_back(Now() - start);
        }
        const Stats service = Summarise(viaService);
        const Stats plain = Summarise(direct);
        std::printf("bench_mci_roundtrip: %d status queries each, length %u ms\n", kCalls,
                    file->length());
        std::printf("service thread: median %.4f ms, p99 %.4f ms\n", service.median, service.p99);
        std::printf("direct call:    median %.4f ms, p99 %.4f ms\n", plain.median, plain.p99);
        std::printf("added by the service: median %.4f ms, p99 %.4f ms (target < 0.2 ms median)\n",
                    service.median - plain.median, service.p99 - plain.p99);
        mciSendCommandA(ownDevice, MCI_CLOSE, MCI_WAIT, 0);
        if (failures != 0) {
            std::printf("failed queries: %u\n", failures);
            exitCode = 1;
        }
    }
    testing_support::RemoveTree(dir);
    return exitCode;
}
