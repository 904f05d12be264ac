// One line per measured figure and its goal, gathered by tools/run_benchmarks.sh into the summary
// table that ends `make bench`.
#pragma once

#include <chrono>
#include <cstdio>

namespace benchgoal {

// Prints "GOAL|name|value|unit|<= or >=|target|met" on standard output; atMost says whether the
// figure must stay at or below the target (a cost) or reach at least the target (a rate). A
// benchmark runs several times while it settles on an iteration count: the summary keeps the last
// line of each name.
inline void report(const char* name, double value, const char* unit, bool atMost, double target) {
    const bool met = atMost ? value <= target : value >= target;
    std::printf("GOAL|%s|%.4g|%s|%s|%.4g|%s\n", name, value, unit, atMost ? "<=" : ">=", target,
                met ? "met" : "NOT MET");
    std::fflush(stdout);
}

// Seconds of a monotonic clock: read before and after a benchmark loop to report its wall time.
inline double seconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace benchgoal
