// Labyrinth generation, the free-place test against a full labyrinth, and drawing the whole arena
// at each detail level (640 x 480).
#include <benchmark/benchmark.h>
#include <GL/glu.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "globals.h"
#include "random.h"
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
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 64, 64, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
    return name;
}

void prepareView() {
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
    glClearColor(0, 0, 0, 1);
    glShadeModel(GL_SMOOTH);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_CULL_FACE);
    glFrontFace(GL_CCW);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    const GLfloat lightPosition[4] = {200.0f, 300.0f, 400.0f, 1.0f};
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, 640.0 / 480.0, 1.0, 1000.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(0, 60, 250, 0, 0, 0, 0, 1, 0);
    glLightfv(GL_LIGHT0, GL_POSITION, lightPosition);
}

// Arg 0: detail level; arg 1: 0 intact labyrinth, 1 every block breaking up with its item shown.
void BM_RenderArena(benchmark::State& state) {
    prepareView();
    int32_t savedDetail = detailLevel;
    detailLevel = static_cast<int32_t>(state.range(0));
    World world;
    std::srand(1);
    world.buildLabyrinth(1);
    if (state.range(1) == 1)
        for (WallBlock* b = world.blocks().first(); b; b = world.blocks().next()) {
            b->setState(1);
            if (b->item() == kItemNone) b->setItem(kItemBomb);
        }
    for (auto _ : state) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        world.render();
        glFinish();
    }
    state.counters["blocks"] = world.blocks().count();
    detailLevel = savedDetail;
}
BENCHMARK(BM_RenderArena)
    ->ArgNames({"detail", "breaking"})
    ->Args({0, 0})
    ->Args({1, 0})
    ->Args({2, 0})
    ->Args({0, 1})
    ->Args({1, 1})
    ->Args({2, 1})
    ->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
