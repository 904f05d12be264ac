// Frame drawing under a real GL context: heads-up display, overlay precedence, light and fog,
// and the camera's follow rule.
#include <gtest/gtest.h>

#include <cmath>

#include "game.h"
#include "game_render.h"
#include "globals.h"
#include "platform.h"
#include "support/gl_context.h"
#include "vehicle.h"

namespace {

unsigned solidTexture(uint8_t r, uint8_t g, uint8_t b) {
    uint8_t px[4 * 4 * 4];
    for (int i = 0; i < 16; ++i) {
        px[i * 4 + 0] = r;
        px[i * 4 + 1] = g;
        px[i * 4 + 2] = b;
        px[i * 4 + 3] = 255;
    }
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 4, 4, 0, GL_RGBA, GL_UNSIGNED_BYTE, px);
    return name;
}

struct Box {
    int x0 = 1 << 30, y0 = 1 << 30, x1 = -1, y1 = -1; // inclusive pixel bounds
    int count = 0;
};

Box boxOf(const std::vector<testgl::Pixel>& px, int w, int h, uint8_t r, uint8_t g, uint8_t b) {
    Box box;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            testgl::Pixel p = testgl::pixelAt(px, w, x, y);
            if (p.r == r && p.g == g && p.b == b) {
                box.x0 = std::min(box.x0, x);
                box.y0 = std::min(box.y0, y);
                box.x1 = std::max(box.x1, x);
                box.y1 = std::max(box.y1, y);
                ++box.count;
            }
        }
    return box;
}

class FrameTest : public ::testing::Test {
  protected:
    void SetUp() override {
        platform = PlatformHooks();
        testgl::ensureContext(640, 512);
        energyTexture = solidTexture(0, 255, 0);
        bombIconTexture = solidTexture(255, 0, 0);
        remoteIconTexture = solidTexture(0, 0, 255);
        cloakIconTexture = solidTexture(255, 0, 255);
        gameOverTexture = solidTexture(255, 255, 0);
        gameWonTexture = solidTexture(0, 255, 255);
        goTexture = solidTexture(255, 128, 0);
    }
    std::vector<testgl::Pixel> drawHudAt(int w, int h, const Vehicle& car) {
        testgl::ensureContext(w, h);
        windowWidth = w;
        windowHeight = h;
        glClearColor(0, 0, 0, 0);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        drawHud(&car);
        return testgl::readPixels(w, h);
    }
};

} // namespace

TEST_F(FrameTest, HeadsUpDisplayScalesExactlyWithTheWindow) {
    Vehicle car;
    car.setBombCapacity(10);
    car.setBombsAvailable(10);
    car.setRemoteControl(1);
    car.setCloak(1);
    auto small = drawHudAt(320, 256, car);
    Box energy = boxOf(small, 320, 256, 0, 255, 0);
    Box bombs = boxOf(small, 320, 256, 255, 0, 0);
    Box remote = boxOf(small, 320, 256, 0, 0, 255);
    Box cloak = boxOf(small, 320, 256, 255, 0, 255);
    EXPECT_EQ(energy.x0, 5);
    EXPECT_EQ(energy.y0, 5);
    EXPECT_EQ(energy.x1, 20);
    EXPECT_EQ(energy.y1, 54);
    EXPECT_EQ(bombs.x0, 304);
    EXPECT_EQ(bombs.x1, 319);
    EXPECT_EQ(bombs.y0, 5);
    EXPECT_EQ(bombs.y1, 164) << "ten bomb icons reach y = 165";
    EXPECT_EQ(remote.x0, 286);
    EXPECT_EQ(remote.y0, 5);
    EXPECT_EQ(cloak.x0, 286);
    EXPECT_EQ(cloak.y0, 21);
    EXPECT_EQ(cloak.y1, 36);

    auto large = drawHudAt(640, 512, car);
    Box energy2 = boxOf(large, 640, 512, 0, 255, 0);
    Box bombs2 = boxOf(large, 640, 512, 255, 0, 0);
    Box cloak2 = boxOf(large, 640, 512, 255, 0, 255);
    EXPECT_EQ(energy2.x0, 2 * energy.x0);
    EXPECT_EQ(energy2.y0, 2 * energy.y0);
    EXPECT_EQ(energy2.x1 + 1, 2 * (energy.x1 + 1));
    EXPECT_EQ(energy2.y1 + 1, 2 * (energy.y1 + 1));
    EXPECT_EQ(bombs2.x0, 2 * bombs.x0);
    EXPECT_EQ(bombs2.y1 + 1, 2 * (bombs.y1 + 1));
    EXPECT_EQ(cloak2.y0, 2 * cloak.y0);
    EXPECT_EQ(energy2.count, 4 * energy.count);
}

TEST_F(FrameTest, NoBombsNoFlagsDrawOnlyTheGauge) {
    Vehicle car;
    car.setBombsAvailable(0);
    auto px = drawHudAt(320, 256, car);
    EXPECT_EQ(boxOf(px, 320, 256, 255, 0, 0).count, 0);
    EXPECT_EQ(boxOf(px, 320, 256, 0, 0, 255).count, 0);
    EXPECT_EQ(boxOf(px, 320, 256, 255, 0, 255).count, 0);
    EXPECT_EQ(boxOf(px, 320, 256, 0, 255, 0).count, 16 * 50);
}

TEST_F(FrameTest, EnergyPicksItsStripOfTheGauge) {
    float s0, s1;
    energyStrip(5, &s0, &s1);
    EXPECT_FLOAT_EQ(s0, 0.0f);
    EXPECT_FLOAT_EQ(s1, 0.1484375f);
    energyStrip(0, &s0, &s1);
    EXPECT_FLOAT_EQ(s0, 0.7421875f);
    EXPECT_FLOAT_EQ(s1, 0.875f);
    energyStrip(-3, &s0, &s1);
    EXPECT_FLOAT_EQ(s0, 0.7421875f);
}

TEST_F(FrameTest, GameOverWinsOverGameWonAndPulses) {
    Game game;
    testgl::ensureContext(320, 256);
    windowWidth = 320;
    windowHeight = 256;
    game.localVehicle->setEnergy(0);
    ASSERT_EQ(game.opponents->count(), 0);
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT);
    game.endTicks = 0;
    drawOverlay(&game);
    auto px = testgl::readPixels(320, 256);
    testgl::Pixel centre = testgl::pixelAt(px, 320, 160, 128);
    EXPECT_NEAR(centre.r, 0.9 * 255, 2) << "row 1 of the pulse";
    EXPECT_NEAR(centre.g, 0.9 * 255, 2);
    EXPECT_EQ(centre.b, 0) << "game-over picture expected";
    EXPECT_EQ(game.endTicks, 1);
    Box over = boxOf(px, 320, 256, centre.r, centre.g, centre.b);
    EXPECT_EQ(over.x1 - over.x0 + 1, 160);
    EXPECT_EQ(over.y1 - over.y0 + 1, 120);

    game.endTicks = 7; // the next frame is row 8: alpha 0, the picture blinks out
    glClear(GL_COLOR_BUFFER_BIT);
    drawOverlay(&game);
    px = testgl::readPixels(320, 256);
    centre = testgl::pixelAt(px, 320, 160, 128);
    EXPECT_EQ(centre.r, 0);
    EXPECT_EQ(centre.g, 0);
}

TEST_F(FrameTest, GoPictureCoversEightyPixelsAtDesignSize) {
    Game game;
    testgl::ensureContext(320, 256);
    windowWidth = 320;
    windowHeight = 256;
    game.addOpponent(2, 0, 0, 0, 1);
    game.startTicks = 0;
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT);
    drawOverlay(&game);
    auto px = testgl::readPixels(320, 256);
    Box go = boxOf(px, 320, 256, 255, 128, 0);
    EXPECT_EQ(go.x1 - go.x0 + 1, 80);
    EXPECT_EQ(go.y1 - go.y0 + 1, 80);
    EXPECT_EQ(game.endTicks, 0);
}

TEST_F(FrameTest, LightStandsAboveTheCarAndFogFollowsDetail) {
    testgl::ensureContext(320, 256);
    Lights lights;
    lights.setUp();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    detailLevel = 1;
    lights.follow(Vector3(0, 0, 1));
    GLfloat pos[4];
    glGetLightfv(GL_LIGHT0, GL_POSITION, pos);
    EXPECT_FLOAT_EQ(pos[0], 0);
    EXPECT_FLOAT_EQ(pos[1], 0);
    EXPECT_FLOAT_EQ(pos[2], 200);
    EXPECT_FLOAT_EQ(pos[3], 1);
    EXPECT_FALSE(glIsEnabled(GL_FOG));
    detailLevel = 2;
    lights.follow(Vector3(0, 0, 1));
    EXPECT_TRUE(glIsEnabled(GL_FOG));
    GLfloat start = 0, end = 0;
    glGetFloatv(GL_FOG_START, &start);
    glGetFloatv(GL_FOG_END, &end);
    EXPECT_FLOAT_EQ(start, 50);
    EXPECT_FLOAT_EQ(end, 120);
    detailLevel = 0;
    lights.follow(Vector3(0, 0, 1));
    EXPECT_FALSE(glIsEnabled(GL_FOG));
    detailLevel = 2;
}

TEST(CameraFollow, TrailsWithHysteresis) {
    Camera cam;
    cam.follow(Vector3(0, 0, 1));
    EXPECT_EQ(cam.following, 0);
    EXPECT_EQ(cam.eye, Vector3(0, 0, 170));
    EXPECT_EQ(cam.target, Vector3(0, 0, 100));

    // 5 degrees away: inside the dead zone, the eye rests.
    double a = 5 * 3.141592653589793 / 180;
    cam.follow(Vector3(std::sin(a), 0, std::cos(a)));
    EXPECT_EQ(cam.following, 0);
    EXPECT_EQ(cam.eye, Vector3(0, 0, 170));

    // 20 degrees: the eye starts to follow, a fifth of the gap per frame, at height 170.
    double b = 20 * 3.141592653589793 / 180;
    Vector3 p(std::sin(b), 0, std::cos(b));
    cam.follow(p);
    EXPECT_EQ(cam.following, 1);
    EXPECT_NEAR(cam.eye.length(), 170.0, 1e-9);
    EXPECT_GT(cam.eye.x, 0);
    int frames = 1;
    while (cam.following && frames < 100) {
        cam.follow(p);
        ++frames;
    }
    EXPECT_LT(frames, 100);
    double cosine = cam.eye.dot(p * 170.0) / (170.0 * 170.0);
    EXPECT_GT(cosine, 0.999);
}
