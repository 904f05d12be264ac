// Whole game frames with the real pictures: a bomb lying on the planet, its flames breaking a wall,
// and the game-won picture. With CORVANE_SHOT_DIR set, the frames are also written as PNG files.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "bomb.h"
#include "clock.h"
#include "support/fake_clock.h"
#include "game.h"
#include "game_gl.h"
#include "game_render.h"
#include "globals.h"
#include "planet_mesh.h"
#include "platform.h"
#include "support/gl_context.h"
#include "support/media_files.h"
#include "vehicle.h"
#include "world.h"

namespace {

const int kW = 640, kH = 480;
using testclock::now;

int countFlamePixels(const std::vector<testgl::Pixel>& px) {
    int n = 0;
    for (const testgl::Pixel& p : px)
        if (p.r > 180 && p.r - p.b > 100 && p.g < p.r) ++n;
    return n;
}

void shoot(const char* name, const std::vector<testgl::Pixel>& px) {
    const char* dir = std::getenv("CORVANE_SHOT_DIR");
    if (!dir) return;
    testmedia::writePng(std::string(dir) + "/" + name, kW, kH, [&](int x, int y, uint8_t* rgba) {
        testgl::Pixel p = testgl::pixelAt(px, kW, x, kH - 1 - y);
        rgba[0] = p.r;
        rgba[1] = p.g;
        rgba[2] = p.b;
        rgba[3] = 255;
    });
}

class Scene : public ::testing::Test {
  protected:
    void SetUp() override {
        if (access(CORVANE_BUILD_DIR "/data/flame00.png", F_OK) != 0) GTEST_SKIP() << "no data";
        ASSERT_EQ(chdir(CORVANE_BUILD_DIR), 0);
        testgl::ensureContext(kW, kH);
        windowWidth = kW;
        windowHeight = kH;
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        gluPerspective(80.0, 1.3, 1.0, 500.0);
        glMatrixMode(GL_MODELVIEW);
        platform = PlatformHooks();
        platform.loadPlanetTexture = loadPlanetTexture;
        platform.buildVehicleModel = buildVehicleModel;
        platform.prepareGameView = prepareGameViewGl;
        // Other tests of this program may have put stand-in pictures in these slots.
        bombIconTexture = remoteIconTexture = cloakIconTexture = energyTexture = 0;
        goTexture = gameOverTexture = gameWonTexture = 0;
        loadHudTextures();
        loadOverlayTextures();
        loadFlameTextures();
        loadArenaTextures();
        now = 50000000;
        setClock(testclock::read);
        detailLevel = 2;
        showFps = 0;
        gameMode = 1;
        game = new Game;
        gGame = game;
        game->lights->setUp();
        game->setLocalPlayerId(1);
        game->addOpponent(2, 0.6, 0.1, 0.1, 1);
        game->start(1);
        game->world->blocks().clear();
        game->startTicks = 40;
    }
    void TearDown() override {
        delete game;
        gGame = nullptr;
        setClock(nullptr);
        platform = PlatformHooks();
    }
    std::vector<testgl::Pixel> frame() {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glLoadIdentity();
        game->render();
        return testgl::readPixels(kW, kH);
    }
    void tickFor(int ms) {
        for (int t = 0; t < ms; t += 40) {
            now += 40;
            game->tick();
        }
    }
    Game* game = nullptr;
};

Vector3 centreOf(int t) {
    Vector3 c;
    for (int i = 0; i < 3; ++i)
        c += Vector3(planetVertices[planetTriangles[t][i]][0],
                     planetVertices[planetTriangles[t][i]][1],
                     planetVertices[planetTriangles[t][i]][2]);
    c.normalize();
    return c;
}

} // namespace

TEST_F(Scene, BombThenFlamesBreakingAWall) {
    // The car stands on triangle 500 facing along its line of travel; a wall stands two triangles
    // ahead where the first flame strip runs.
    Vehicle* car = game->localVehicle;
    Vector3 p = centreOf(500);
    Vector3 heading = p.cross(Vector3(0, 0, 1));
    heading.normalize();
    car->setPosition(p);
    car->setHeading(heading);
    car->updateOrientation();
    game->camera->setEye(p * 170.0);
    game->dropBomb();
    ASSERT_EQ(game->bombs->count(), 1);
    Bomb* bomb = game->bombs->first();
    Vector3 flame = *bomb->flameCentres(0).get(1);
    for (int t = 0; t < kPlanetTriangleCount; ++t) {
        Vector3 a(planetVertices[planetTriangles[t][0]][0],
                  planetVertices[planetTriangles[t][0]][1],
                  planetVertices[planetTriangles[t][0]][2]);
        Vector3 b(planetVertices[planetTriangles[t][1]][0],
                  planetVertices[planetTriangles[t][1]][1],
                  planetVertices[planetTriangles[t][1]][2]);
        Vector3 c(planetVertices[planetTriangles[t][2]][0],
                  planetVertices[planetTriangles[t][2]][1],
                  planetVertices[planetTriangles[t][2]][2]);
        WallBlock* w = new WallBlock(a, b, c, 6.0);
        if (w->contains(flame)) {
            w->setId(1);
            w->setItem(kItemRange);
            game->world->blocks().append(w);
            break;
        }
        delete w;
    }
    ASSERT_EQ(game->world->blocks().count(), 1);
    // Back away from the bomb.
    game->moveInput = 1;
    tickFor(480);
    game->moveInput = 0;
    auto lying = frame();
    shoot("bomb_lying.png", lying);
    int before = countFlamePixels(lying); // the cars may share the flames' colours

    tickFor(2600); // past the 3 s fuse
    ASSERT_TRUE(bomb->exploded());
    tickFor(200);
    WallBlock* wall = game->world->blocks().first();
    EXPECT_EQ(wall->state(), 1);
    EXPECT_GT(wall->debrisTicks(), 1);
    EXPECT_LT(wall->debrisTicks(), 20);
    frame();
    auto flames = frame();
    shoot("flames_breaking_wall.png", flames);
    EXPECT_GT(countFlamePixels(flames) - before, 1000) << "the flames do not show from above";
}

TEST_F(Scene, GameWonPicture) {
    game->opponents->clear();
    auto px = frame();
    shoot("game_won.png", px);
    // The picture pulses from full brightness: its yellow letters fill the middle.
    int bright = 0;
    for (int y = kH / 2 - 60; y < kH / 2 + 60; ++y)
        for (int x = kW / 2 - 120; x < kW / 2 + 120; ++x) {
            testgl::Pixel p = testgl::pixelAt(px, kW, x, y);
            if (p.r > 200 && p.g > 150 && p.b < 120) ++bright;
        }
    EXPECT_GT(bright, 2000);
}
