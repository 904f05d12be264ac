// Vector3 rotations and List walks: the operations the renderer and the collision tests repeat
// thousands of times per frame.
#include <benchmark/benchmark.h>

#include "list.h"
#include "vector3.h"

namespace {

void BM_RotateAround(benchmark::State& state) {
    Vector3 v(0.3, 0.5, 0.8);
    Vector3 axis(0.6, -0.2, 0.77);
    for (auto _ : state) {
        v.rotateAround(0.05235987755982988, axis);
        benchmark::DoNotOptimize(v);
    }
}
BENCHMARK(BM_RotateAround);

struct Item {
    int value;
};

List<Item>& thousand() {
    static List<Item> list;
    if (list.count() == 0)
        for (int i = 0; i < 1000; ++i) list.append(new Item{i});
    return list;
}

void BM_ListWalkFrontToBack(benchmark::State& state) {
    List<Item>& list = thousand();
    for (auto _ : state) {
        long sum = 0;
        for (Item* it = list.first(); it; it = list.next()) {
            sum += it->value;
            if (list.atEnd()) break;
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(BM_ListWalkFrontToBack);

void BM_ListIndexedWalk(benchmark::State& state) {
    List<Item>& list = thousand();
    for (auto _ : state) {
        long sum = 0;
        for (int i = 0; i < list.count(); ++i) sum += list.get(i)->value;
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(BM_ListIndexedWalk);

} // namespace

BENCHMARK_MAIN();
