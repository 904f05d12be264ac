// One soak run against the real server (CORVANE_SOAK_SECONDS, default 10): relay throughput and
// the relay latency the bots observe on VehicleMove, from each move's send to its arrival.
#include <benchmark/benchmark.h>

#include <cstdio>

#include "server/soak_bots.h"

namespace {

void BM_RelaySoak(benchmark::State& state) {
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
    state.counters["sent_per_s"] = r.eventsSent / r.gameSeconds;
    state.counters["relayed_per_s"] = r.eventsDelivered / r.gameSeconds;
    state.counters["p50_ms"] = r.latencyP50Ms;
    state.counters["p99_ms"] = r.latencyP99Ms;
    state.counters["max_ms"] = r.latencyMaxMs;
    state.counters["moves"] = static_cast<double>(r.movesMeasured);
}
BENCHMARK(BM_RelaySoak)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace

BENCHMARK_MAIN();
