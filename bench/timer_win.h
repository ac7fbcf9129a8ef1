// The timing harness of the Windows benchmarks (Google Benchmark does not
// build with MinGW): QueryPerformanceCounter around batches of calls. Each
// run repeats the operation until about 0.2 s have passed; the figure is the
// median of several runs, which shrugs off the odd run another process on
// the machine slowed down.
//
// Results go to standard output as lines "name<TAB>seconds per call", which
// bench/report.py reads.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace bench {

inline double seconds() {
    static const double frequency = [] {
        LARGE_INTEGER f{};
        QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart);
    }();
    LARGE_INTEGER t{};
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / frequency;
}

struct Timing {
    double runSeconds = 0.2; // length of one run
    int runs = 5;
};

// Seconds per call of `op`, the median over the runs. The first batches
// warm up caches and page in memory, and tell how many calls fill a run.
template <typename Op> double secondsPerCall(Op&& op, Timing timing = {}) {
    long batch = 1;
    double took = 0;
    for (;;) {
        const double start = seconds();
        for (long k = 0; k < batch; ++k) {
            op();
        }
        took = seconds() - start;
        if (took >= timing.runSeconds / 8 || batch >= (1L << 30)) {
            break;
        }
        batch *= 2;
    }
    const double perCall = took / static_cast<double>(batch);
    const long calls = std::max(1L, static_cast<long>(timing.runSeconds / std::max(perCall, 1e-9)));
    std::vector<double> samples;
    for (int run = 0; run < timing.runs; ++run) {
        const double start = seconds();
        for (long k = 0; k < calls; ++k) {
            op();
        }
        samples.push_back((seconds() - start) / static_cast<double>(calls));
    }
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

// Calls of `op` that take about `target` seconds (at least one).
template <typename Op> long callsFor(Op& op, double target) {
    long batch = 1;
    for (;;) {
        const double start = seconds();
        for (long k = 0; k < batch; ++k) {
            op();
        }
        const double took = seconds() - start;
        if (took >= target / 4 || batch >= (1L << 30)) {
            return std::max(1L, static_cast<long>(target / std::max(took / batch, 1e-9)));
        }
        batch *= 2;
    }
}

// Seconds per call of two operations timed in alternating batches of about
// `batchSeconds` each, so that whatever else the machine does slows both
// alike; the medians over `pairs` batches of each.
struct PairTiming {
    double first = 0, second = 0;
};
template <typename A, typename B>
PairTiming alternating(A&& a, B&& b, int pairs = 9, double batchSeconds = 0.04) {
    const long callsA = callsFor(a, batchSeconds);
    const long callsB = callsFor(b, batchSeconds);
    std::vector<double> timesA, timesB;
    for (int i = 0; i < pairs; ++i) {
        double start = seconds();
        for (long k = 0; k < callsA; ++k) {
            a();
        }
        timesA.push_back((seconds() - start) / static_cast<double>(callsA));
        start = seconds();
        for (long k = 0; k < callsB; ++k) {
            b();
        }
        timesB.push_back((seconds() - start) / static_cast<double>(callsB));
    }
    std::sort(timesA.begin(), timesA.end());
    std::sort(timesB.begin(), timesB.end());
    return PairTiming{timesA[timesA.size() / 2], timesB[timesB.size() / 2]};
}

inline void report(const std::string& name, double secondsPerCall) {
    std::printf("%s\t%.9g\n", name.c_str(), secondsPerCall);
    std::fflush(stdout);
}

// Keeps the compiler from dropping work whose result nobody reads.
inline void keep(const void* p) {
    asm volatile("" : : "g"(p) : "memory");
}

} // namespace bench
