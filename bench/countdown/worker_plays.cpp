// When the countdown worker sounds each interval end, on the wall clock, so
// that bench/audible/run can set it beside the onsets heard on a sound server
// recording the same run. Not a bench_* program: alone it measures nothing.
//
// Usage: worker_plays [repetitions=50] [interval_ms=500] [sound_ms=30]
// Prints "play K ENTRY EXIT" per end: when the Play command was called and
// returned, in ms since 1970. The worker runs as in the program: the raised
// timer resolution held, Stop + Play of a WAV through the sound service.
#include <windows.h>
// After windows.h, which it needs.
#include <mmsystem.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/countdown/bench_support.h"
#include "countdown/time_count.h"
#include "countdown/time_count_thread.h"
#include "countdown/timer.h"
#include "sound/mci_backend.h"
#include "sound/mci_music.h"
#include "sound/mci_music_file.h"
#include "testing/wav_file.h"

namespace {

using PreciseTime = void(WINAPI*)(LPFILETIME);

// Sub-millisecond where the system has it (Windows 8 and later, Wine).
double WallMs() {
    static const auto precise = reinterpret_cast<PreciseTime>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetSystemTimePreciseAsFileTime")));
    FILETIME now;
    if (precise != nullptr) {
        precise(&now);
    } else {
        GetSystemTimeAsFileTime(&now);
    }
    const uint64_t ticks = (static_cast<uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    constexpr uint64_t kUnixEpoch = 116'444'736'000'000'000;  // 1601 to 1970, 100 ns units
    return static_cast<double>(ticks - kUnixEpoch) / 10'000.0;
}

struct Play {
    double entry;
    double exit;
};
std::vector<Play> g_plays;
std::atomic<std::size_t> g_done{0};

// winmm underneath; times each play.
class CTimedBackend : public IMCIBackend {
public:
    uint32_t SendCommand(uint32_t deviceId, uint32_t command, uint32_t flags,
                         void* params) override {
        const std::size_t k = g_done.load();
        const bool timed = command == MCI_PLAY && k < g_plays.size();
        if (timed) g_plays[k].entry = WallMs();
        const uint32_t result = WinMMBackend().SendCommand(deviceId, command, flags, params);
        if (timed) {
            g_plays[k].exit = WallMs();
            g_done.store(k + 1);
        }
        return result;
    }
    uint32_t DriveType(const char* root) override { return WinMMBackend().DriveType(root); }
};

}  // namespace

int main(int argc, char** argv) {
    const uint32_t reps = argc > 1 ? static_cast<uint32_t>(std::atoi(argv[1])) : 50;
    const uint32_t interval = argc > 2 ? static_cast<uint32_t>(std::atoi(argv[2])) : 500;
    const uint32_t soundMs = argc > 3 ? static_cast<uint32_t>(std::atoi(argv[3])) : 30;
    if (reps < 2 || interval == 0 || soundMs == 0) {
        std::fprintf(stderr, "usage: worker_plays [repetitions>=2] [interval_ms>0] [sound_ms>0]\n");
        return 2;
    }
    CTimerPeriod period(0);
    bench::CSink sink;
    const std::string dir = testing_support::MakeScratchDir("worker_plays");
    const std::string wav = dir + "tone.wav";
    int rc = 1;
    {
        CTimedBackend backend;
        CMCIMusic music(nullptr, &backend);
        CMCIMusicFile* sound = nullptr;
        if (testing_support::WriteToneWav(wav, soundMs, 44100, 880.0)) {
            sound = music.OpenFile(wav.c_str());
        }
        if (sound != nullptr) {
            g_plays.assign(reps, Play{});
            TimeCount settings{};
            SetFromMilliseconds(settings, interval);
            settings.count = static_cast<int32_t>(reps);
            std::printf("worker_plays: %u x %u ms, %u ms WAV, timer period %u ms\n", reps, interval,
                        soundMs, g_timerPeriod.load());
            {
                // Takes the sound over and hands it back when destroyed.
                CTimeCountThread worker(settings, sink.handle(), sound, WorkerCalls::System());
                worker.Start();
                while (g_done.load() < reps) sink.PumpFor(50);
                sink.PumpFor(soundMs + 2 * CTimeCountThread::kPollMs);
            }
            for (std::size_t k = 0; k < reps; ++k) {
                std::printf("play %zu %.3f %.3f\n", k, g_plays[k].entry, g_plays[k].exit);
            }
            rc = 0;
        } else {
            std::fprintf(stderr, "worker_plays: the sound could not be opened\n");
        }
    }
    testing_support::RemoveTree(dir);
    return rc;
}
