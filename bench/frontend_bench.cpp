// Front-end costs: drawing a menu page (with and without the background) and one lobby timer run.
#include <GL/glu.h>
#include <benchmark/benchmark.h>

#include "globals.h"
#include "menu.h"
#include "support/gl_context.h"
#include "support/media_files.h"

namespace {

struct MenuScene {
    MenuScene() {
        if (!dir.fromGameData("font.png"))
            testmedia::writePng(dir.file("font.png"), 256, 256, [](int, int y, uint8_t* p) {
                p[0] = p[1] = p[2] = 255;
                p[3] = y % 34 < 20 ? 255 : 0;
            });
        if (!dir.fromGameData("intro.png"))
            testmedia::writePng(dir.file("intro.png"), 256, 256, [](int x, int y, uint8_t* p) {
                p[0] = static_cast<uint8_t>(x);
                p[1] = static_cast<uint8_t>(y);
                p[2] = 90;
                p[3] = 255;
            });
        testgl::ensureContext(640, 480);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        gluPerspective(80.0, 1.3, 1.0, 500.0);
        glMatrixMode(GL_MODELVIEW);
        menu = new Menu;
        glEnable(GL_TEXTURE_2D);
    }
    ~MenuScene() { delete menu; }
    testmedia::ScratchDir dir;
    Menu* menu = nullptr;
};

void BM_MenuDrawPage(benchmark::State& state) {
    MenuScene scene;
    detailLevel = static_cast<int32_t>(state.range(0));
    for (auto _ : state) {
        glLoadIdentity();
        scene.menu->drawPage();
        glFinish();
    }
    detailLevel = 2;
}
BENCHMARK(BM_MenuDrawPage)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

void BM_LobbyTimerRunSevenPlayers(benchmark::State& state) {
    MenuScene scene;
    for (int i = 0; i < 7; ++i) {
        LobbyEntry* e = new LobbyEntry;
        e->playerId = i + 1;
        copyText(e->nick, "PLAYER", sizeof e->nick);
        copyText(e->address, "127.0.0.1", sizeof e->address);
        lobbyList.append(e);
    }
    for (auto _ : state)
        scene.menu->lobbyTimerRun();
    lobbyList.clear();
}
BENCHMARK(BM_LobbyTimerRunSevenPlayers)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
