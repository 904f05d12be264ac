// One line per measured figure and its goal, gathered by tools/run_benchmarks.sh into the summary
// table that ends `make bench`.
#pragma once

#include <cstdio>

namespace benchgoal {

// Prints "GOAL|name|value|unit|<= or >=|target|met" on standard output; atMost says whether the
// figure must stay at or below the target (a cost) or reach at least the target (a rate).
inline void report(const char* name, double value, const char* unit, bool atMost, double target) {
    const bool met = atMost ? value <= target : value >= target;
    std::printf("GOAL|%s|%.4g|%s|%s|%.4g|%s\n", name, value, unit, atMost ? "<=" : ">=", target,
                met ? "met" : "NOT MET");
    std::fflush(stdout);
}

} // namespace benchgoal
