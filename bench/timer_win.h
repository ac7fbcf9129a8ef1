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
#include <functional>
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
template <typename Op> long callsFor(const Op& op, double target) {
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

// Seconds per call of several operations timed in turn, a batch of about
// `batchSeconds` of each after the other, so that whatever else the machine
// does slows them alike; the medians over `rounds` batches of each.
inline std::vector<double> alternatingAll(const std::vector<std::function<void()>>& ops,
                                          int rounds = 9, double batchSeconds = 0.04) {
    std::vector<long> calls;
    for (const auto& op : ops) {
        calls.push_back(callsFor(op, batchSeconds));
    }
    std::vector<std::vector<double>> times(ops.size());
    for (int i = 0; i < rounds; ++i) {
        for (size_t n = 0; n < ops.size(); ++n) {
            const double start = seconds();
            for (long k = 0; k < calls[n]; ++k) {
                ops[n]();
            }
            times[n].push_back((seconds() - start) / static_cast<double>(calls[n]));
        }
    }
    std::vector<double> medians;
    for (std::vector<double>& t : times) {
        std::sort(t.begin(), t.end());
        medians.push_back(t[t.size() / 2]);
    }
    return medians;
}

// The same for two operations.
struct PairTiming {
    double first = 0, second = 0;
};
template <typename A, typename B>
PairTiming alternating(A&& a, B&& b, int pairs = 9, double batchSeconds = 0.04) {
    const std::vector<double> t = alternatingAll({a, b}, pairs, batchSeconds);
    return PairTiming{t[0], t[1]};
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
