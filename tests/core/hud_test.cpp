// The heads-up pieces: choice of the opponent the arrow points to, the arrow's place on the edge,
// hit flashes and explosions, and what they put on screen under a real GL context.
#include <gtest/gtest.h>

#include <cmath>

#include "bomb.h"
#include "clock.h"
#include "game.h"
#include "globals.h"
#include "hit_feedback.h"
#include "hud_render.h"
#include "platform.h"
#include "play_timer.h"
#include "support/fake_clock.h"
#include "support/gl_context.h"
#include "target_arrow.h"
#include "vehicle.h"

namespace {

const double kPi = 3.141592653589793;

Vector3 at(double degreesX, double degreesY) {
    Vector3 p(0, 0, 1);
    p.rotateAround(degreesX * kPi / 180.0, Vector3(0, 1, 0));
    p.rotateAround(-degreesY * kPi / 180.0, Vector3(1, 0, 0));
    return p;
}

Vehicle* car(List<Vehicle>& list, int32_t id, Vector3 p, int32_t energy = 5) {
    Vehicle* v = new Vehicle;
    v->setId(id);
    v->setPosition(p);
    v->setEnergy(energy);
    list.append(v);
    return v;
}

ViewFrame overhead() {
    ViewFrame v;
    v.eye = Vector3(0, 0, 170);
    v.target = Vector3(0, 0, 100);
    return v;
}

int explosionSamples = 0;

} // namespace

TEST(TargetArrow, PointsToTheNearestVisibleLivingOpponent) {
    platform = PlatformHooks();
    List<Vehicle> opponents;
    EXPECT_EQ(nearestOpponent(Vector3(0, 0, 1), opponents), nullptr);
    Vehicle* far = car(opponents, 2, at(90, 0));
    Vehicle* dead = car(opponents, 3, at(10, 0), 0);
    Vehicle* cloaked = car(opponents, 4, at(20, 0));
    cloaked->setCloak(1);
    EXPECT_EQ(nearestOpponent(Vector3(0, 0, 1), opponents), far) << dead->id();
    cloaked->setDrawnWhileCloaked(1);
    EXPECT_EQ(nearestOpponent(Vector3(0, 0, 1), opponents), cloaked);
}

TEST(TargetArrow, SitsOnTheEdgeTowardsTheOpponentAndHidesWhenItIsInView) {
    const ViewFrame view = overhead();
    const Vector3 here(0, 0, 1);
    ArrowPlacement right = placeArrow(view, here, at(90, 0));
    EXPECT_TRUE(right.shown);
    EXPECT_FLOAT_EQ(right.x, 284) << "clear of the bomb icons";
    EXPECT_NEAR(right.y, 128, 1e-3);
    EXPECT_NEAR(right.angle, 0, 1e-6);
    ArrowPlacement down = placeArrow(view, here, at(0, -60));
    EXPECT_NEAR(down.y, 16, 1e-3);
    EXPECT_NEAR(down.x, 160, 1e-3);
    ArrowPlacement behind = placeArrow(view, here, Vector3(0.01, 0, -1));
    EXPECT_TRUE(behind.shown) << "the far side of the planet projects to the centre";
    EXPECT_FLOAT_EQ(behind.x, 284);
    EXPECT_FLOAT_EQ(behind.alpha, 1);

    EXPECT_FALSE(placeArrow(view, here, at(5, 5)).shown) << "well inside the view";
    ArrowPlacement edge = placeArrow(view, here, at(0, 33));
    EXPECT_TRUE(edge.shown);
    EXPECT_GT(edge.alpha, 0);
    EXPECT_LT(edge.alpha, 1) << "fades in near the top edge";
    EXPECT_NEAR(edge.y, 226, 1e-3) << "below the targets-left counter";

    // Towards either bottom corner the arrow keeps off the energy bar and the icons there.
    for (int degrees = 185; degrees < 360; degrees += 5) {
        const double r = degrees * kPi / 180.0;
        ArrowPlacement corner = placeArrow(view, here, at(70 * std::cos(r), 70 * std::sin(r)));
        EXPECT_TRUE(corner.shown) << degrees;
        const bool onSide = corner.x < 17 || corner.x > 283;
        EXPECT_TRUE(onSide ? corner.y >= 70 : corner.x >= 36 && corner.x <= 268)
            << degrees << ": " << corner.x << " " << corner.y;
    }
}

TEST(HitFeedbackRules, FlashesAfterAHitAndBurstsWhereEnergyRanOut) {
    platform = PlatformHooks();
    platform.playSample = [](int n) {
        if (n == kSampleExplode) ++explosionSamples;
    };
    explosionSamples = 0;
    HitFeedback f;
    Vehicle local;
    List<Vehicle> opponents;
    List<Bomb> noBombs;
    Vehicle* target = car(opponents, 2, at(10, 0));
    car(opponents, 3, at(20, 0));
    f.observe(local, opponents, noBombs, true, 40, 1000);
    EXPECT_FALSE(f.flashOn(2, 1000));

    target->setEnergy(1);
    f.observe(local, opponents, noBombs, true, 40, 2000);
    EXPECT_TRUE(f.flashOn(2, 2000));
    EXPECT_FALSE(f.flashOn(2, 2000 + HitFeedback::kFlashMs / 5)) << "blinks";
    EXPECT_TRUE(f.flashOn(2, 2000 + 2 * HitFeedback::kFlashMs / 5));
    EXPECT_FALSE(f.flashOn(2, 2000 + HitFeedback::kFlashMs));
    EXPECT_FALSE(f.flashOn(3, 2000));
    EXPECT_EQ(f.edgeLevel(2000), 0.0) << "only the local car's hits redden the edges";

    opponents.remove(1); // id 2 runs out of energy and is removed
    opponents.remove(1); // id 3 leaves with full energy
    f.observe(local, opponents, noBombs, true, 40, 3000);
    const Explosion* list = nullptr;
    ASSERT_EQ(f.explosions(3000, &list), 1);
    EXPECT_EQ(list[0].position, at(10, 0));
    EXPECT_EQ(explosionSamples, 1);
    EXPECT_EQ(f.explosions(3000 + HitFeedback::kExplosionMs, &list), 0);

    local.setEnergy(4);
    f.observe(local, opponents, noBombs, true, 40, 4000);
    EXPECT_DOUBLE_EQ(f.edgeLevel(4000), 1.0);
    EXPECT_NEAR(f.edgeLevel(4250), 0.5, 1e-9);
    EXPECT_TRUE(f.flashOn(local.id(), 4000));
    local.setEnergy(0);
    f.observe(local, opponents, noBombs, true, 40, 5000);
    EXPECT_EQ(f.explosions(5000, &list), 1);

    // A new game: the cars of the last one are forgotten, not exploded.
    car(opponents, 4, at(30, 0), 1);
    f.observe(local, opponents, noBombs, true, 40, 6000);
    opponents.clear();
    local.setEnergy(5);
    f.observe(local, opponents, noBombs, true, 1, 7000);
    EXPECT_EQ(f.explosions(7000, &list), 0);
    EXPECT_EQ(explosionSamples, 2);
    platform = PlatformHooks();
}

namespace {

class HudPixels : public ::testing::Test {
  protected:
    void SetUp() override {
        platform = PlatformHooks();
        testclock::now = 100000;
        setClock(testclock::read);
        testgl::ensureContext(320, 256);
        windowWidth = 320;
        windowHeight = 256;
        game.camera->eye = Vector3(0, 0, 170);
        game.camera->target = Vector3(0, 0, 100);
        game.startTicks = 40;
        hitFeedback().reset();
    }
    void TearDown() override {
        setClock(nullptr);
        gameMode = 0;
    }
    std::vector<testgl::Pixel> draw() {
        glClearColor(0, 0, 0, 0);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        observeHits(&game);
        drawHudExtras(&game);
        return testgl::readPixels(320, 256);
    }
    // Lit pixels in the box [x0, x1) x [y0, y1).
    static int lit(const std::vector<testgl::Pixel>& px, int x0, int y0, int x1, int y1) {
        int n = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) {
                testgl::Pixel p = testgl::pixelAt(px, 320, x, y);
                if (p.r + p.g + p.b > 150) ++n;
            }
        return n;
    }
    Game game;
};

} // namespace

TEST_F(HudPixels, ArrowAppearsOnTheEdgeFacingTheTarget) {
    Vehicle* target = car(*game.opponents, 2, at(-100, 0));
    target->setColour(0.6, 0.6, 0.6);
    auto px = draw();
    EXPECT_GT(lit(px, 0, 100, 40, 156), 30) << "arrow on the left edge";
    EXPECT_EQ(lit(px, 280, 0, 320, 256), 0);
    EXPECT_EQ(lit(px, 60, 60, 260, 200), 0) << "nothing in the middle of the view";

    target->setPosition(at(0, 2));
    px = draw();
    EXPECT_EQ(lit(px, 0, 100, 40, 156), 0) << "the target is in view: no arrow";
    EXPECT_GT(lit(px, 140, 128, 180, 160), 20) << "its energy pips above it";
}

TEST_F(HudPixels, TargetsLeftCounterAndRedEdgesAfterAHit) {
    gameMode = 1;
    car(*game.opponents, 2, at(0, 3));
    auto px = draw();
    EXPECT_GT(lit(px, 100, 230, 220, 256), 40) << "TARGETS LEFT at the top";
    EXPECT_EQ(testgl::pixelAt(px, 320, 1, 128).r, 0);

    int yellow = 0;
    car(*game.opponents, 3, at(0, 30)); // near the top edge, its pips right under the counter
    px = draw();
    for (int y = 228; y < 256; ++y)
        for (int x = 0; x < 320; ++x) {
            const testgl::Pixel p = testgl::pixelAt(px, 320, x, y);
            if (p.r > 200 && p.g > 150 && p.b < 80) ++yellow;
        }
    EXPECT_EQ(yellow, 0) << "energy pips stay clear of the counter";
    EXPECT_GT(lit(px, 140, 200, 180, 228), 20) << "they sit just below it";
    game.opponents->remove(2);

    game.localVehicle->setEnergy(4);
    px = draw();
    testgl::Pixel edge = testgl::pixelAt(px, 320, 1, 128);
    EXPECT_GT(edge.r, 120);
    EXPECT_LT(edge.g, 20);
    EXPECT_EQ(testgl::pixelAt(px, 320, 100, 100).r, 0) << "the middle stays clear";
    testclock::now += HitFeedback::kFlashMs;
    px = draw();
    EXPECT_EQ(testgl::pixelAt(px, 320, 1, 128).r, 0) << "gone after half a second";
}

TEST(HitFeedbackRules, OpponentsEnergyIsEstimatedFromTheFlamesWhereItIsNotKnown) {
    platform = PlatformHooks();
    setClock(testclock::read);
    testclock::now = 0;
    HitFeedback f;
    Vehicle local;
    local.setId(1);
    List<Vehicle> opponents;
    List<Bomb> bombs;
    Vehicle* other = car(opponents, 7, Vector3(0, 0, 1));
    other->updateOrientation();
    f.observe(local, opponents, bombs, false, 40, 1000);
    EXPECT_EQ(f.energyOf(7), 5);
    for (int i = 0; i < 6; ++i) {
        Bomb* b = new Bomb(Vector3(0, 0, 102), Vector3(0, 1, 0), 9, 3, 0);
        bombs.append(b);
        f.observe(local, opponents, bombs, false, 40, 2000 + i);
        EXPECT_EQ(f.energyOf(7), std::max(1, 5 - i)) << "a bomb counts once it has gone off";
        b->explode();
        f.observe(local, opponents, bombs, false, 40, 2000 + i);
        f.observe(local, opponents, bombs, false, 40, 2100 + i);
    }
    EXPECT_EQ(f.energyOf(7), 1) << "an opponent still playing keeps one unit";
    EXPECT_TRUE(f.flashOn(7, 2005));
    opponents.clear();
    f.observe(local, opponents, bombs, false, 40, 3000);
    const Explosion* list = nullptr;
    EXPECT_EQ(f.explosions(3000, &list), 1) << "gone after its estimate ran down: it burst";
    EXPECT_EQ(f.energyOf(7), -1);
    setClock(nullptr);
}

TEST_F(HudPixels, AHitCarGlowsWhileItsFlashIsBright) {
    buildVehicleModel();
    Vehicle* target = car(*game.opponents, 2, Vector3(0, 0, 1));
    target->setColour(0.1, 0.1, 0.4);
    target->updateOrientation();
    auto redOfCar = [&]() {
        glClearColor(0, 0, 0, 0);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        testgl::lookFromAbove(80.0, 1.3);
        glEnable(GL_LIGHTING);
        glEnable(GL_LIGHT0);
        glEnable(GL_DEPTH_TEST);
        observeHits(&game);
        drawFlashing(target);
        auto px = testgl::readPixels(320, 256);
        long glowing = 0;
        for (const testgl::Pixel& p : px)
            if (p.r > p.b + 60) ++glowing;
        return glowing;
    };
    const long calm = redOfCar();
    target->setEnergy(4);
    const long hit = redOfCar();
    EXPECT_GT(hit, calm + 300) << "the bluish car glows red";
    testclock::now += HitFeedback::kFlashMs / 5;
    EXPECT_LT(redOfCar(), hit) << "dark phase of the blink";
    testclock::now += HitFeedback::kFlashMs;
    EXPECT_EQ(redOfCar(), calm) << "back to its own colour";
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
}

TEST(PlayTimerRules, RunsFromTheStartUntilDecidedAndRestartsWithANewGame) {
    PlayTimer t;
    EXPECT_EQ(t.elapsedMs(5000), 0);
    t.observe(0, false, 1000);
    t.observe(40, false, 60000);
    EXPECT_EQ(t.elapsedMs(61000), 60000);
    t.observe(40, true, 83000);
    t.observe(40, true, 90000);
    EXPECT_TRUE(t.stopped());
    EXPECT_EQ(t.elapsedMs(200000), 82000) << "the clock stops once the game is decided";
    t.observe(1, false, 300000);
    EXPECT_FALSE(t.stopped());
    EXPECT_EQ(t.elapsedMs(301500), 1500) << "a new game starts the clock again";
    EXPECT_EQ(minutesSeconds(82999), "1:22");
    EXPECT_EQ(minutesSeconds(0), "0:00");
    EXPECT_EQ(minutesSeconds(3600000 + 5000), "60:05");
    EXPECT_EQ(minutesSeconds(-20), "0:00");
}

TEST_F(HudPixels, AWinSaysHowLongClearingTheTargetsTook) {
    gameMode = 1;
    game.startTicks = 1;
    game.addOpponent(2, 0.6, 0.6, 0.6, 1);
    auto px = draw();
    EXPECT_EQ(lit(px, 76, 230, 100, 256), 0) << "TARGETS LEFT: 1 is narrower";
    game.startTicks = 40;
    testclock::now += 83000;
    game.removeOpponent(2);
    px = draw();
    EXPECT_GT(lit(px, 76, 230, 100, 256), 10) << "ALL TARGETS DOWN IN 1:23 reaches further left";
    const int won = lit(px, 0, 230, 320, 256);
    testclock::now += 10000;
    EXPECT_EQ(lit(draw(), 0, 230, 320, 256), won) << "the time stands still after the win";
    gameMode = 0;
}
