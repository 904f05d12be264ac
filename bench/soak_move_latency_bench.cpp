// The move latency protocol bots see in a soak game against the real server (CORVANE_SOAK_SECONDS,
// default 10): from each VehicleMove's send to its arrival at every other bot, while players join,
// leave and drop around the game and one stops reading. The rates beside it are those the bots'
// schedule sets (25 ticks a second), not what the server could carry.
#include <benchmark/benchmark.h>

#include <cstdio>

#include "goal.h"
#include "server/soak_bots.h"

namespace {

void BM_SoakMoveLatencyWithChurn(benchmark::State& state) {
    soak::Config config = soak::configFromEnvironment(10.0);
    soak::Report r;
    for (auto _ : state)
        r = soak::SoakRun(config).run();
    if (!r.serverStarted || r.gameSeconds <= 0) {
        state.SkipWithError("the soak did not run");
        return;
    }
    for (const std::string& p : r.problems)
        std::fprintf(stderr, "soak fault: %s\n", p.c_str());
    state.counters["faults"] = r.problemCount;
    state.counters["bots_sent_per_s"] = r.eventsSent / r.gameSeconds;
    state.counters["bots_received_per_s"] = r.eventsDelivered / r.gameSeconds;
    state.counters["move_p50_ms"] = r.latencyP50Ms;
    state.counters["move_p99_ms"] = r.latencyP99Ms;
    state.counters["move_max_ms"] = r.latencyMaxMs;
    state.counters["moves"] = static_cast<double>(r.movesMeasured);
    benchgoal::report("soak faults (views that disagree, lost or stray messages)", r.problemCount,
                      "", true, 0);
}
BENCHMARK(BM_SoakMoveLatencyWithChurn)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace

BENCHMARK_MAIN();
