// Cost of building a bomb's flame geometry, and of one pass of flame effects over a labyrinth with
// a block on every planet triangle.
#include <benchmark/benchmark.h>

#include "bomb.h"
#include "game.h"
#include "globals.h"
#include "platform.h"
#include "support/full_labyrinth.h"
#include "vehicle.h"
#include "wall_block.h"
#include "world.h"

namespace {

void BM_BombConstruction(benchmark::State& state) {
    int32_t range = static_cast<int32_t>(state.range(0));
    Vector3 up(0.3, 0.5, 0.8);
    up.normalize();
    Vector3 heading = up.cross(Vector3(0, 0, 1));
    heading.normalize();
    for (auto _ : state) {
        Bomb b(up * 102.0, heading, 1, range, 0);
        benchmark::DoNotOptimize(b.flameQuads().count());
    }
}
BENCHMARK(BM_BombConstruction)->Arg(3)->Arg(8);

void BM_FlameEffectsFullPlanet(benchmark::State& state) {
    platform = PlatformHooks();
    gameMode = 1;
    Game game;
    testworld::fillPlanet(game.world->blocks());
    int bombs = static_cast<int>(state.range(0));
    for (int i = 0; i < bombs; ++i) {
        Vector3 up(0.1 * i, 0.4, 0.9);
        up.normalize();
        Vector3 heading = up.cross(Vector3(1, 0, 0));
        heading.normalize();
        Bomb* b = new Bomb(up * 102.0, heading, 1, 8, 0);
        b->explode();
        game.bombs->append(b);
    }
    game.localVehicle->setPosition(Vector3(0, 0, -1));
    game.localVehicle->updateOrientation();
    for (auto _ : state)
        game.applyFlameEffects();
    state.counters["blocks"] = game.world->blocks().count();
}
BENCHMARK(BM_FlameEffectsFullPlanet)->Arg(1)->Arg(8);

} // namespace

BENCHMARK_MAIN();
