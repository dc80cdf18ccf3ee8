// How late each interval end is sounded, and how far successive ends drift
// from multiples of the interval, for the countdown worker and for plain
// Sleep-based loops measured in the same run.
//
// Usage: bench_lateness [repetitions=100] [interval_ms=200]
//
// An end's lateness is the moment it is sounded minus (its repetition's
// start + the interval). The worker restarts its stopwatch right after the
// previous end's beep or play has returned, so that return is taken as the
// repetition's start; the first repetition (started by thread creation) is
// left out. All times come from the multimedia clock, with the raised timer
// resolution held as the program holds it.
#include <windows.h>
// After windows.h, which it needs.
#include <mmsystem.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <memory>
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

constexpr uint32_t kPollMs = CTimeCountThread::kPollMs;
constexpr uint32_t kSoundMs = 100;

// Entry and return of each sounding, written by the one thread that sounds.
struct Soundings {
    std::vector<uint32_t> entry;
    std::vector<uint32_t> exit;
    std::atomic<std::size_t> done{0};

    explicit Soundings(std::size_t n) : entry(n), exit(n) {}
    void Begin() {
        const std::size_t i = done.load();
        if (i < entry.size()) entry[i] = bench::Now();
    }
    void End() {
        const std::size_t i = done.load();
        if (i < exit.size()) {
            exit[i] = bench::Now();
            done.store(i + 1);
        }
    }
};

Soundings* g_soundings = nullptr;

BOOL WINAPI TimedBeep(UINT type) {
    g_soundings->Begin();
    const BOOL result = MessageBeep(type);
    g_soundings->End();
    return result;
}

// winmm underneath; times each play.
class CTimedBackend : public IMCIBackend {
public:
    uint32_t SendCommand(uint32_t deviceId, uint32_t command, uint32_t flags,
                         void* params) override {
        const bool play = command == MCI_PLAY && g_soundings != nullptr;
        if (play) g_soundings->Begin();
        const uint32_t result = WinMMBackend().SendCommand(deviceId, command, flags, params);
        if (play) g_soundings->End();
        return result;
    }
    uint32_t DriveType(const char* root) override { return WinMMBackend().DriveType(root); }
};

struct Result {
    bench::Stats lateness;
    double driftPerRepetition;
    double driftTotal;
    std::size_t repetitions;
    double handlingMean;
};

// Lateness against "previous return + interval", drift of successive ends.
Result Analyse(const Soundings& s, std::size_t n, uint32_t interval) {
    std::vector<double> late;
    double handling = 0;
    for (std::size_t k = 1; k < n; ++k) {
        late.push_back(static_cast<double>(static_cast<int32_t>(s.entry[k] - s.exit[k - 1])) -
                       interval);
    }
    for (std::size_t k = 0; k < n; ++k) handling += s.exit[k] - s.entry[k];
    const double span = static_cast<double>(s.entry[n - 1] - s.entry[0]);
    const double total = span - static_cast<double>(n - 1) * interval;
    return Result{bench::Summarize(late), total / static_cast<double>(n - 1), total, n - 1,
                  handling / static_cast<double>(n)};
}

void Print(const char* name, const Result& r) {
    std::printf("%-34s lateness %s\n", name, bench::Format(r.lateness).c_str());
    std::printf(
        "%-34s drift %.1f ms after %zu repetitions, %.2f ms per repetition"
        " (sounding itself %.2f ms)\n",
        name, r.driftTotal, r.repetitions, r.driftPerRepetition, r.handlingMean);
}

Result RunWorker(uint32_t reps, uint32_t interval, CMCIMusicFile* sound, bench::CSink& sink) {
    Soundings soundings(reps);
    g_soundings = &soundings;
    TimeCount settings{};
    SetFromMilliseconds(settings, interval);
    settings.count = static_cast<int32_t>(reps);
    WorkerCalls calls = WorkerCalls::System();
    calls.beep = &TimedBeep;
    {
        // The worker takes the sound over and hands it back to the service
        // when it is destroyed, as in the program.
        CTimeCountThread worker(settings, sink.handle(), sound, calls);
        worker.Start();
        while (soundings.done.load() < reps) sink.PumpFor(50);
        sink.PumpFor(kSoundMs + 2 * kPollMs);
    }
    g_soundings = nullptr;
    return Analyse(soundings, reps, interval);
}

// The worker's own rule in a bare loop: poll every 24 ms, restart after the end.
Result RunPollReference(uint32_t reps, uint32_t interval) {
    Soundings s(reps);
    for (uint32_t k = 0; k < reps; ++k) {
        const uint32_t start = bench::Now();
        while (bench::Now() - start < interval) Sleep(kPollMs);
        s.Begin();
        s.End();
    }
    return Analyse(s, reps, interval);
}

// One Sleep per interval: the scheduler's own lateness.
Result RunSleepReference(uint32_t reps, uint32_t interval) {
    Soundings s(reps);
    for (uint32_t k = 0; k < reps; ++k) {
        Sleep(interval);
        s.Begin();
        s.End();
    }
    return Analyse(s, reps, interval);
}

double Ratio(double a, double b) {
    return b > 0 ? a / b : 0;
}

}  // namespace

int main(int argc, char** argv) {
    const uint32_t reps = argc > 1 ? static_cast<uint32_t>(std::atoi(argv[1])) : 100;
    const uint32_t interval = argc > 2 ? static_cast<uint32_t>(std::atoi(argv[2])) : 200;
    if (reps < 3 || interval == 0) {
        std::fprintf(stderr, "usage: bench_lateness [repetitions>=3] [interval_ms>0]\n");
        return 2;
    }
    CTimerPeriod period(0);
    std::printf("bench_lateness: %u repetitions of %u ms, multimedia clock, timer period %u ms\n",
                reps, interval, g_timerPeriod.load());
    // An end is noticed at the first 24 ms poll at or past the interval: with
    // exact sleeps that comes this late, every time.
    const uint32_t polls = (interval + kPollMs - 1) / kPollMs;
    std::printf("poll grid: %u polls of %u ms reach the end %u ms after it (exact sleeps)\n", polls,
                kPollMs, polls * kPollMs - interval);

    bench::CSink sink;
    const Result beep = RunWorker(reps, interval, nullptr, sink);
    Print("worker, system beep:", beep);

    const std::string dir = testing_support::MakeScratchDir("bench_lateness");
    const std::string wav = dir + "tone.wav";
    std::unique_ptr<Result> played;
    {
        CTimedBackend backend;
        CMCIMusic music(nullptr, &backend);
        CMCIMusicFile* sound = nullptr;
        if (testing_support::WriteToneWav(wav, kSoundMs)) sound = music.OpenFile(wav.c_str());
        if (sound != nullptr) {
            played = std::make_unique<Result>(RunWorker(reps, interval, sound, sink));
            Print("worker, 100 ms WAV (Stop + Play):", *played);
        } else {
            std::printf("worker, 100 ms WAV: skipped, the sound could not be opened\n");
        }
    }
    testing_support::RemoveTree(dir);

    const Result poll = RunPollReference(reps, interval);
    Print("reference, Sleep(24) poll loop:", poll);
    const Result sleep = RunSleepReference(reps, interval);
    Print("reference, Sleep(interval):", sleep);

    std::printf("ratio worker(beep) / poll loop: median %.2f, p99 %.2f, drift %.2f\n",
                Ratio(beep.lateness.median, poll.lateness.median),
                Ratio(beep.lateness.p99, poll.lateness.p99),
                Ratio(beep.driftPerRepetition, poll.driftPerRepetition));
    std::printf("targets: median < 13 ms: %s, p99 < 26 ms: %s\n",
                beep.lateness.median < 13 ? "met" : "MISSED",
                beep.lateness.p99 < 26 ? "met" : "MISSED");
    return 0;
}
