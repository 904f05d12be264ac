#include <benchmark/benchmark.h>

#include "vehicle.h"

namespace {

// One place and heading change of a driving car: the tick calls this after every move.
void BM_UpdateOrientation(benchmark::State& state) {
    Vehicle v;
    Vector3 p(0.3, -0.4, 0.8);
    p.normalize();
    Vector3 h = p.cross(Vector3(1, 2, 0));
    h.normalize();
    double a = 0.0;
    for (auto _ : state) {
        Vector3 moved = p;
        moved.rotateAround(a, h);
        v.setPosition(moved);
        v.setHeading(h);
        v.updateOrientation();
        benchmark::DoNotOptimize(v.yaw());
        a += 0.001;
    }
}
BENCHMARK(BM_UpdateOrientation);

// The flame test of one flame point against one car; flames test every point against every car
// each tick.
void BM_IsHitBy(benchmark::State& state) {
    Vehicle v;
    v.updateOrientation();
    double x = -6.0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(v.isHitBy(Vector3(x, 0.7 * x, 102.0)));
        x += 0.01;
        if (x > 6.0) x = -6.0;
    }
}
BENCHMARK(BM_IsHitBy);

} // namespace

BENCHMARK_MAIN();
