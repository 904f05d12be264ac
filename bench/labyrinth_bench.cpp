// Time to generate one labyrinth over the planet mesh.
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "labyrinth.h"
#include "random.h"

namespace {

void BM_GeneratePlanetLabyrinth(benchmark::State& state) {
    List<proto::BlockRecord> labyrinth;
    unsigned seed = 1;
    for (auto _ : state) {
        std::srand(seed++);
        generateLabyrinth(labyrinth, planetMeshTables(), nextRandom);
        benchmark::DoNotOptimize(labyrinth.count());
    }
    state.counters["blocks"] = labyrinth.count();
}
BENCHMARK(BM_GeneratePlanetLabyrinth)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
