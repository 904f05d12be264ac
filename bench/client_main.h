// The main function of benchmarks that draw or tick as the client does: the client's allocator
// settings come first, so that frames cost what they cost in the game.
#pragma once

#include <benchmark/benchmark.h>

#include "heap_tuning.h"

int main(int argc, char** argv) {
    keepRendererBuffersInHeap();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
