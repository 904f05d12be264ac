// Cost of one game tick on a full labyrinth, and of one whole frame at 640 x 480 per detail level
// (run under Xvfb: llvmpipe renders it).
#include <GL/glut.h>
#include <benchmark/benchmark.h>
#include <unistd.h>

#include "bomb.h"
#include "game.h"
#include "game_gl.h"
#include "game_render.h"
#include "globals.h"
#include "platform.h"
#include "vehicle.h"
#include "world.h"

namespace {

Game* makeGame() {
    static Game* game = nullptr;
    if (!game) {
        game = new Game;
        gGame = game;
        game->setLocalPlayerId(1);
        for (int id = 2; id <= 4; ++id)
            game->addOpponent(id, 0.5, 0.3, 0.2, 1);
        gameMode = 1;
        screenState = 2;
        game->start(1);
    }
    return game;
}

void BM_TickDrivingOnFullLabyrinth(benchmark::State& state) {
    platform = PlatformHooks();
    Game* game = makeGame();
    game->turnInput = 4;
    game->moveInput = -1;
    for (auto _ : state)
        game->tick();
    state.counters["blocks"] = game->world->blocks().count();
}
BENCHMARK(BM_TickDrivingOnFullLabyrinth);

void BM_Frame640x480(benchmark::State& state) {
    static bool window = false;
    if (!window) {
        int argc = 1;
        char name[] = "bench";
        char* argv[] = {name, nullptr};
        glutInit(&argc, argv);
        glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
        glutInitWindowSize(640, 480);
        glutCreateWindow("corvane3D bench");
        if (access(CORVANE_BUILD_DIR "/data", F_OK) == 0 && chdir(CORVANE_BUILD_DIR) == 0) {
        }
        platform.loadPlanetTexture = loadPlanetTexture;
        platform.buildVehicleModel = buildVehicleModel;
        platform.prepareGameView = prepareGameViewGl;
        loadHudTextures();
        loadOverlayTextures();
        loadFlameTextures();
        loadArenaTextures();
        window = true;
    }
    windowWidth = 640;
    windowHeight = 480;
    glViewport(0, 0, 640, 480);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(80.0, 1.3, 1.0, 500.0);
    glMatrixMode(GL_MODELVIEW);
    static Game* game = nullptr;
    if (!game) {
        game = new Game;
        gGame = game;
        game->lights->setUp();
        for (int id = 2; id <= 4; ++id)
            game->addOpponent(id, 0.5, 0.3, 0.2, 1);
        game->start(1);
        // Half the blocks broken, so debris and items are drawn too.
        int i = 0;
        for (WallBlock* b = game->world->blocks().first(); b; b = game->world->blocks().next()) {
            if (i++ % 2) b->setState(1);
            if (game->world->blocks().atEnd()) break;
        }
        game->dropBomb();
    }
    detailLevel = static_cast<int32_t>(state.range(0));
    showFps = 1;
    for (auto _ : state) {
        gameDisplay();
        glFinish();
    }
}
BENCHMARK(BM_Frame640x480)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
