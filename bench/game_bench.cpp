// Game ticks (driving on a generated labyrinth; ten range-8 bombs burning on a labyrinth with a
// block on every planet triangle) and whole frames at 640 x 480 as the client draws them: camera,
// fog, world, cars, heads-up display, frame-rate text and the buffer swap (llvmpipe under Xvfb).
#include <GL/glu.h>
#include <GL/glut.h>
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "bomb.h"
#include "game.h"
#include "game_gl.h"
#include "game_render.h"
#include "globals.h"
#include "goal.h"
#include "planet_mesh.h"
#include "platform.h"
#include "support/fake_clock.h"
#include "support/full_labyrinth.h"
#include "vehicle.h"
#include "world.h"

namespace {

// A single-player game as it starts: the local car and three parked opponents on a generated
// labyrinth.
Game* startGame() {
    Game* game = new Game;
    gGame = game;
    game->setLocalPlayerId(1);
    game->lights->setUp();
    for (int id = 2; id <= 4; ++id)
        game->addOpponent(id, 0.5, 0.3, 0.2, 1);
    gameMode = 1;
    screenState = 2;
    game->start(1);
    return game;
}

void BM_TickDriving(benchmark::State& state) {
    platform = PlatformHooks();
    Game* game = startGame();
    game->turnInput = 4;
    game->moveInput = -1;
    for (auto _ : state)
        game->tick();
    state.counters["blocks"] = game->world->blocks().count();
    delete game;
    gGame = nullptr;
}
BENCHMARK(BM_TickDriving);

// Ticks while ten range-8 bombs, spread over the planet, burn on a full labyrinth: the first tick
// destroys the blocks under the flames, every later one tests the flames against what is left.
void BM_TickTenBombsBurningOnFullLabyrinth(benchmark::State& state) {
    platform = PlatformHooks();
    testclock::now = 1000000;
    setClock(testclock::read);
    Game* game = startGame();
    testworld::fillPlanet(game->world->blocks());
    game->localVehicle->setEnergy(1000000);
    for (int i = 0; i < 10; ++i) {
        Vector3 up(planetVertices[i * 47][0], planetVertices[i * 47][1], planetVertices[i * 47][2]);
        up.normalize();
        Vector3 heading = up.cross(Vector3(0.3, 0.9, 0.1));
        heading.normalize();
        Bomb* b = new Bomb(up * 102.0, heading, 1, 8, 0);
        b->explode();
        game->bombs->append(b);
    }
    game->tick();
    int intact = 0;
    for (WallBlock* b = game->world->blocks().first(); b; b = game->world->blocks().next())
        intact += b->state() == 0;
    double start = benchgoal::seconds();
    for (auto _ : state)
        game->tick();
    double ms = (benchgoal::seconds() - start) * 1e3 / static_cast<double>(state.iterations());
    state.counters["intact"] = intact;
    state.counters["bombs"] = game->bombs->count();
    benchgoal::report("tick, 10 range-8 bombs burning, full labyrinth", ms, "ms", true, 0.4);
    delete game;
    gGame = nullptr;
    setClock(nullptr);
}
BENCHMARK(BM_TickTenBombsBurningOnFullLabyrinth)->Unit(benchmark::kMicrosecond);

void openWindow() {
    static bool open = false;
    if (open) return;
    int argc = 1;
    char name[] = "bench";
    char* argv[] = {name, nullptr};
    glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
    glutInitWindowSize(640, 480);
    glutCreateWindow("corvane3D bench");
    if (chdir(CORVANE_BUILD_DIR) != 0) std::perror("chdir");
    platform = PlatformHooks();
    platform.loadPlanetTexture = loadPlanetTexture;
    platform.buildVehicleModel = buildVehicleModel;
    platform.prepareGameView = prepareGameViewGl;
    loadHudTextures();
    loadOverlayTextures();
    loadFlameTextures();
    loadArenaTextures();
    open = true;
}

// Arg 0: detail level; arg 1: 0 the generated labyrinth, 1 a block on every triangle. The game is
// past its start picture, the car stands still; the frame rate is shown, as by default.
void BM_GameFrame640x480(benchmark::State& state) {
    openWindow();
    windowWidth = 640;
    windowHeight = 480;
    glViewport(0, 0, 640, 480);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(80.0, 1.3, 1.0, 500.0);
    glMatrixMode(GL_MODELVIEW);
    std::srand(7);
    Game* game = startGame();
    const bool full = state.range(1) == 1;
    if (full) testworld::fillPlanet(game->world->blocks());
    game->startTicks = 40;
    detailLevel = static_cast<int32_t>(state.range(0));
    showFps = 1;
    gameDisplay();
    double start = benchgoal::seconds();
    for (auto _ : state)
        gameDisplay();
    glFinish();
    double ms = (benchgoal::seconds() - start) * 1e3 / static_cast<double>(state.iterations());
    state.counters["blocks"] = game->world->blocks().count();
    state.counters["fps"] = 1000.0 / ms;
    if (detailLevel == 2)
        benchgoal::report(full ? "frame 640x480 detail 2, full labyrinth (rate)"
                               : "frame 640x480 detail 2, generated labyrinth (rate)",
                          1000.0 / ms, "fps", false, full ? 150.0 : 300.0);
    delete game;
    gGame = nullptr;
}
BENCHMARK(BM_GameFrame640x480)
    ->ArgNames({"detail", "full"})
    ->ArgsProduct({{0, 1, 2}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime();

} // namespace

#include "client_main.h"
