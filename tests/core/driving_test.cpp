// CAMERA: SMOOTH and HANDLING: SLIDE: the eye glides after the car without lurching or spinning
// over a pole; a car sliding along walls never ends inside one and never steps further than a
// straight move; the classic choices stay as they were.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "camera_follow.h"
#include "clock.h"
#include "game.h"
#include "globals.h"
#include "planet_mesh.h"
#include "platform.h"
#include "random.h"
#include "driving.h"
#include "vehicle.h"
#include "support/fake_clock.h"
#include "world.h"

namespace {

const double kPi = 3.141592653589793;

// The car on the great circle through (0, 0, 1) and (0, 1, 0), degrees along it.
Vector3 alongMeridian(double degrees) {
    double a = degrees * kPi / 180.0;
    return Vector3(0, std::sin(a), std::cos(a));
}

struct PoleRun {
    double worstLag = 0;     // degrees between eye direction and car
    double worstJerk = 0;    // degrees per frame the eye's step changed by
    double worstUpTwist = 0; // degrees the up direction turned against the travel direction
    double worstClassicLag = 0;
};

// Drives a car at speed 3 (1.5 degrees a tick) from rest over the north pole and stops again,
// one frame per 40 ms tick, following it with the smooth and the classic camera.
PoleRun driveOverThePole() {
    PoleRun r;
    Camera smooth, classic;
    smooth.eye = alongMeridian(0) * 170.0;
    classic.eye = smooth.eye;
    int64_t now = 5000;
    double position = 0, lastStep = 0;
    Vector3 lastEye = smooth.eye;
    double firstTwist = -1;
    for (int tick = 0; tick < 160; ++tick) {
        if (tick >= 10 && tick < 130) position += 1.5;
        Vector3 p = alongMeridian(position);
        now += 40;
        followSmoothly(&smooth.smooth, p, alongMeridian(position + 90.0), now, &smooth.eye,
                       &smooth.target, &smooth.up);
        classic.follow(p);
        r.worstLag = std::fmax(r.worstLag, degreesBetween(smooth.eye, p));
        r.worstClassicLag = std::fmax(r.worstClassicLag, degreesBetween(classic.eye, p));
        double step = degreesBetween(lastEye, smooth.eye);
        if (tick > 0) r.worstJerk = std::fmax(r.worstJerk, std::fabs(step - lastStep));
        lastStep = step;
        lastEye = smooth.eye;
        // Along the meridian, the travel direction under the eye itself.
        Vector3 travel = alongMeridian(std::atan2(smooth.eye.y, smooth.eye.z) * 180.0 / kPi + 90.0);
        double twist = degreesBetween(smooth.up, travel);
        if (firstTwist < 0) firstTwist = twist;
        r.worstUpTwist = std::fmax(r.worstUpTwist, std::fabs(twist - firstTwist));
    }
    return r;
}

} // namespace

TEST(SmoothCamera, KeepsTheCarCloseWithoutLurchingOrSpinningOverThePole) {
    PoleRun r = driveOverThePole();
    EXPECT_LT(r.worstLag, 4.0) << "the eye stays nearly over the car";
    EXPECT_GT(r.worstClassicLag, 10.0) << "where the classic camera trails by about 11 degrees";
    EXPECT_LT(r.worstJerk, 0.75) << "the eye's speed changes by small amounts from frame to frame";
    EXPECT_LT(r.worstUpTwist, 1.0) << "up is carried along, not fixed to +Y";
}

TEST(SmoothCamera, RestartsAtRestWhenTheGameSetsTheEye) {
    SmoothCamera s;
    Vector3 eye(0, 0, 170), target, up;
    followSmoothly(&s, Vector3(0, 0, 1), Vector3(), 1000, &eye, &target, &up);
    EXPECT_EQ(target, Vector3(0, 0, 100));
    EXPECT_NEAR(up.y, 1.0, 1e-12) << "a new follower starts with +Y up, as the classic view";
    followSmoothly(&s, alongMeridian(30), Vector3(), 1040, &eye, &target, &up);
    ASSERT_GT(degreesBetween(eye, Vector3(0, 0, 1)), 1.0);
    eye = Vector3(170, 0, 0); // the next game starts elsewhere
    followSmoothly(&s, Vector3(1, 0, 0), Vector3(), 1080, &eye, &target, &up);
    EXPECT_LT(degreesBetween(eye, Vector3(1, 0, 0)), 1e-9);
    followSmoothly(&s, Vector3(1, 0, 0), Vector3(), 1120, &eye, &target, &up);
    EXPECT_LT(degreesBetween(eye, Vector3(1, 0, 0)), 1e-9) << "no speed left from the last game";
}

TEST(SmoothCamera, UpTurnsSmoothlyAfterTheCarsForwardDirection) {
    SmoothCamera s;
    Vector3 eye(0, 0, 170), target, up;
    const Vector3 p(0, 0, 1);
    followSmoothly(&s, p, Vector3(0, 1, 0), 1000, &eye, &target, &up);
    EXPECT_LT(degreesBetween(up, Vector3(0, 1, 0)), 1e-9) << "starts with forward up the screen";
    double worstStep = 0;
    Vector3 last = up;
    for (int frame = 1; frame <= 25; ++frame) {
        followSmoothly(&s, p, Vector3(-1, 0, 0), 1000 + 40 * frame, &eye, &target, &up);
        worstStep = std::fmax(worstStep, degreesBetween(last, up));
        last = up;
    }
    EXPECT_LT(worstStep, 15.0) << "a quarter turn of the car is spread over several frames";
    EXPECT_LT(degreesBetween(up, Vector3(-1, 0, 0)), 2.0) << "and done within a second";
    EXPECT_EQ(eye, Vector3(0, 0, 170));
}

TEST(SmoothCamera, ClassicModeKeepsTheLagRuleAndUpAlongY) {
    cameraMode = 0;
    Camera cam;
    cam.up = Vector3(1, 0, 0);
    cam.follow(alongMeridian(5));
    EXPECT_EQ(cam.up, Vector3(0, 1, 0));
    EXPECT_EQ(cam.eye, Vector3(0, 0, 170)) << "inside the classic dead zone";
    cameraMode = 1;
    setClock(testclock::read);
    testclock::now = 100;
    cam.follow(alongMeridian(5));
    testclock::now = 140;
    cam.follow(alongMeridian(5));
    EXPECT_GT(cam.eye.y, 0) << "the smooth camera moves where the classic one rests";
    setClock(nullptr);
    cameraMode = 0;
}

namespace {

class SlideWorld : public ::testing::Test {
  protected:
    void SetUp() override {
        platform = PlatformHooks();
        useSeededRandom(7);
        world.buildLabyrinth(1);
    }
    void TearDown() override { setRandomSource(nullptr); }

    // A free place with heading, found from a seeded walk over the mesh vertices.
    bool freePlace(int n, Vector3* p, Vector3* h) {
        for (int i = n; i < kPlanetVertexCount; i += 7) {
            *p = Vector3(planetVertices[i][0], planetVertices[i][1], planetVertices[i][2]);
            p->normalize();
            *h = p->cross(Vector3(0.3, 0.8, 0.5));
            h->normalize();
            if (world.isFree(*p * 100.0, *h, overheadView(*p))) return true;
        }
        return false;
    }

    // Drives forward ticks times through the shared steering with the given handling, turning a
    // little every 5 ticks; counts the arc travelled and checks every place taken.
    double drive(bool slide, Vector3 p, Vector3 h, int ticks, int* refused) {
        Vehicle car;
        car.setPosition(p);
        car.setHeading(h);
        double travelled = 0;
        for (int t = 0; t < ticks; ++t) {
            const int turn = t % 5 != 0 ? 0 : t % 50 < 25 ? -4 : 4;
            const Vector3 before = car.position();
            steerVehicle(world, car, turn, -1, overheadView(car.position()), slide);
            const double moved = degreesBetween(before, car.position());
            if (moved < 1e-12) ++*refused;
            EXPECT_LE(moved, 1.5 + (turn ? 1.0 : 0.0) + 1e-9)
                << "never further than a straight step (and a turn's nudge)";
            EXPECT_TRUE(
                world.isFree(car.position() * 100.0, car.heading(), overheadView(car.position())))
                << "ends inside a block";
            EXPECT_NEAR(car.heading().dot(car.position()), 0.0, 1e-9)
                << "heading stays along the surface";
            travelled += moved;
        }
        return travelled;
    }

    World world;
};

} // namespace

TEST_F(SlideWorld, SlidingCarsGetFurtherAndNeverEndInsideABlock) {
    ASSERT_GT(world.blocks().count(), 100);
    double classicTotal = 0, slideTotal = 0;
    int classicRefused = 0, slideRefused = 0;
    for (int start = 0; start < 6; ++start) {
        Vector3 p, h;
        ASSERT_TRUE(freePlace(start * 13, &p, &h));
        classicTotal += drive(false, p, h, 150, &classicRefused);
        slideTotal += drive(true, p, h, 150, &slideRefused);
    }
    EXPECT_GT(classicRefused, 50) << "the walk meets walls";
    EXPECT_GT(slideTotal, classicTotal * 1.3) << classicRefused << " " << slideRefused;
}

TEST_F(SlideWorld, ClassicHandlingLeavesARefusedCarWhereItIs) {
    Vector3 p, h;
    ASSERT_TRUE(freePlace(0, &p, &h));
    Vehicle car;
    car.setPosition(p);
    car.setHeading(h);
    for (int i = 0; i < 400; ++i) {
        const Vector3 before = car.position(), heading = car.heading();
        steerVehicle(world, car, 0, -1, overheadView(before));
        EXPECT_EQ(car.heading(), heading) << "a classic move keeps the heading";
        if (car.position() == before) return;
    }
    FAIL() << "never met a wall";
}
