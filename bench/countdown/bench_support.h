// Shared pieces of the countdown benchmarks: the multimedia clock, order
// statistics, process CPU time and a message pump standing in for the dialog.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace bench {

// The multimedia millisecond clock (timeGetTime).
uint32_t Now();

struct Stats {
    double median;
    double p99;
    double max;
    double mean;
};
// Order statistics of a non-empty sample (nearest-rank percentiles).
Stats Summarize(std::vector<double> values);
std::string Format(const Stats& stats);

// User plus kernel time of this process, in milliseconds.
double ProcessCpuMs();

// A message-only window on the calling thread: the worker's posts go here
// and are taken off the queue without any painting.
class CSink {
public:
    CSink();
    ~CSink();
    CSink(const CSink&) = delete;
    CSink& operator=(const CSink&) = delete;
    HWND handle() const { return window_; }
    // Takes messages off the queue for `ms`, blocking while there are none.
    // `onRedraw` runs for each worker redraw request, if given.
    void PumpFor(uint32_t ms, void (*onRedraw)(void*) = nullptr, void* context = nullptr);

private:
    HWND window_ = nullptr;
};

}  // namespace bench
