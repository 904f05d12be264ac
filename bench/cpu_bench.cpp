// Thinking time of the computer opponents: three hard minds playing a single-player match on a
// freshly generated labyrinth (every block standing at the start) against a player who stands
// still, measured per 40 ms tick, with their steering through the world's free test included.
#include <benchmark/benchmark.h>

#include <ctime>

#include "bomb.h"
#include "clock.h"
#include "cpu_players.h"
#include "game.h"
#include "globals.h"
#include "goal.h"
#include "lobby_entry.h"
#include "platform.h"
#include "random.h"
#include "vehicle.h"
#include "world.h"

namespace {

// CPU time of this thread in seconds: the machine's other load does not count.
double threadSeconds() {
    timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec + ts.tv_nsec * 1e-9;
}

int64_t gameClock = 0;
int64_t readClock() {
    return gameClock;
}

Game* startMatch(uint32_t seed) {
    platform = PlatformHooks();
    useSeededRandom(seed);
    setClock(readClock);
    gameClock = 1000000;
    Game* game = new Game;
    gGame = game;
    game->setLocalPlayerId(1);
    opponentLevel = kCpuHard;
    lobbyList.clear();
    for (int32_t id = 2; id <= 4; ++id) {
        LobbyEntry* e = new LobbyEntry;
        e->playerId = id;
        lobbyList.append(e);
    }
    game->enter(1);
    lobbyList.clear();
    return game;
}

void BM_ThreeHardOpponentsPerTick(benchmark::State& state) {
    Game* game = startMatch(17);
    uint32_t seed = 17;
    int64_t ticks = 0;
    double total = 0.0;
    for (auto _ : state) {
        gameClock += 40;
        double begin = threadSeconds();
        game->computer->tick(*game);
        double seconds = threadSeconds() - begin;
        state.SetIterationTime(seconds);
        total += seconds;
        ++ticks;
        game->updateBombs();
        game->pickUpItems(game->localVehicle);
        game->applyFlameEffects();
        // A match over, or five minutes long: the next one on a new labyrinth.
        if (game->opponents->count() == 0 || ticks % 7500 == 0) {
            game->end();
            delete game;
            game = startMatch(++seed);
        }
    }
    if (ticks > 0)
        benchgoal::report("three hard computer opponents per 40 ms tick", total / ticks * 1000.0,
                          "ms", true, 0.2);
    game->end();
    delete game;
    gGame = nullptr;
    setClock(nullptr);
    setRandomSource(nullptr);
}
BENCHMARK(BM_ThreeHardOpponentsPerTick)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(20000);

} // namespace

BENCHMARK_MAIN();
