// Labyrinth generation, the free-place test against a generated labyrinth, and drawing the arena
// (blocks and planet) at each detail level at 640 x 480 from the game's camera.
#include <benchmark/benchmark.h>
#include <GL/glu.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "game.h"
#include "game_gl.h"
#include "globals.h"
#include "random.h"
#include "support/full_labyrinth.h"
#include "support/gl_context.h"
#include "world.h"

namespace {

void BM_GenerateLabyrinth(benchmark::State& state) {
    World world;
    for (auto _ : state) {
        std::srand(1);
        world.buildLabyrinth(1);
        benchmark::DoNotOptimize(world.blocks().count());
    }
    state.counters["blocks"] = world.blocks().count();
}
BENCHMARK(BM_GenerateLabyrinth)->Unit(benchmark::kMillisecond);

void BM_IsFree(benchmark::State& state) {
    World world;
    std::srand(1);
    world.buildLabyrinth(1);
    struct Probe {
        Vector3 position, heading, view;
    };
    std::vector<Probe> probes;
    for (int i = 0; i < 256; ++i) {
        Vector3 p(std::rand() - 16384.0, std::rand() - 16384.0, std::rand() - 16384.0);
        p.normalize();
        Vector3 h = p.cross(Vector3(0.3, 0.9, 0.1));
        h.normalize();
        probes.push_back({p * 100.0, h, p * -1.0});
    }
    size_t i = 0;
    int64_t free = 0;
    for (auto _ : state) {
        const Probe& q = probes[i++ % probes.size()];
        free += world.isFree(q.position, q.heading, q.view);
    }
    benchmark::DoNotOptimize(free);
    state.counters["blocks"] = world.blocks().count();
}
BENCHMARK(BM_IsFree);

// A 64 x 64 checker texture standing in for a picture that is not there.
GLuint standInTexture() {
    std::vector<GLubyte> texels(64 * 64 * 4);
    for (int i = 0; i < 64 * 64; ++i) {
        GLubyte v = ((i % 64) / 8 + (i / 64) / 8) % 2 ? 220 : 90;
        texels[4 * i] = texels[4 * i + 1] = texels[4 * i + 2] = v;
        texels[4 * i + 3] = (i % 3) ? 255 : 0;
    }
    return testgl::makeTexture(64, 64, texels, GL_LINEAR);
}

// The game's view over the car at unit position p: projection, camera 70 units above the surface,
// light 0 and, at detail 2, fog.
void prepareView(Lights* lights, Camera* camera, Vector3 p) {
    testgl::ensureContext(640, 480);
    static bool texturesLoaded = false;
    if (!texturesLoaded) {
        char saved[4096];
        if (getcwd(saved, sizeof saved) && chdir(CORVANE_BUILD_DIR) == 0) {
            loadArenaTextures();
            if (chdir(saved) != 0) std::perror("chdir");
        }
        for (int i = 1; i <= 9; ++i)
            if (itemTextures[i] == 0) itemTextures[i] = standInTexture();
        texturesLoaded = true;
    }
    prepareGameViewGl();
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(80.0, 1.3, 1.0, 500.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    lights->setUp();
    camera->setEye(p * 170.0);
    camera->apply(p);
    lights->follow(p);
}

// Arg 0: detail level; arg 1: 0 the generated labyrinth, 1 a block on every planet triangle; arg 2:
// 0 intact, 1 every block in its first tick of breaking up with an item showing. The arena alone,
// seen from the game's camera with its light and fog, without cars, heads-up display or swap.
void BM_DrawArenaFromGameCamera(benchmark::State& state) {
    int32_t savedDetail = detailLevel;
    detailLevel = static_cast<int32_t>(state.range(0));
    Lights lights;
    Camera camera;
    Vector3 p(0.3, 0.5, 0.8);
    p.normalize();
    prepareView(&lights, &camera, p);
    World world;
    std::srand(1);
    world.buildLabyrinth(1);
    if (state.range(1) == 1) testworld::fillPlanet(world.blocks());
    if (state.range(2) == 1)
        for (WallBlock* b = world.blocks().first(); b; b = world.blocks().next()) {
            b->setState(1);
            if (b->item() == kItemNone) b->setItem(kItemBomb);
        }
    // The first frame compiles the renderer's shaders for these states.
    world.render();
    glFinish();
    for (auto _ : state) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        world.render();
        glFinish();
    }
    state.counters["blocks"] = world.blocks().count();
    detailLevel = savedDetail;
    glDisable(GL_FOG);
}
BENCHMARK(BM_DrawArenaFromGameCamera)
    ->ArgNames({"detail", "full", "breaking"})
    ->ArgsProduct({{0, 1, 2}, {0, 1}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime();

} // namespace

#include "client_main.h"
