// The danger zones computer opponents plan with, against the real bombs: the places their flame
// quads cover, every hit the game deals, and the times a fused, burning or remote bomb can burn.
#include <gtest/gtest.h>

#include <cmath>

#include "bomb.h"
#include "clock.h"
#include "danger_map.h"
#include "game.h"
#include "globals.h"
#include "platform.h"
#include "support/fake_clock.h"
#include "vehicle.h"

namespace {

uint32_t lcg = 1;
double draw() {
    lcg = lcg * 1103515245u + 12345u;
    return ((lcg >> 8) & 0xffff) / 65536.0;
}

Vector3 unitPoint() {
    double u = draw() * 2.0 - 1.0, a = draw() * 2.0 * M_PI, r = std::sqrt(1.0 - u * u);
    return Vector3(r * std::cos(a), r * std::sin(a), u);
}

// A unit vector tangent to the sphere at p, in a drawn direction.
Vector3 tangentAt(const Vector3& p) {
    Vector3 t = p.cross(unitPoint());
    return t.normalize();
}

// p moved over the surface by arc units (world units at radius 100) in a drawn direction.
Vector3 near(const Vector3& p, double arc) {
    Vector3 q = p;
    q.rotateAround(arc / 100.0, tangentAt(p));
    return q;
}

class DangerMapTest : public ::testing::Test {
  protected:
    void SetUp() override {
        platform = PlatformHooks();
        testclock::now = 5000000;
        setClock(testclock::read);
        lcg = 11;
    }
    void TearDown() override { setClock(nullptr); }
};

} // namespace

TEST_F(DangerMapTest, ZonesCoverTheBombsFlameQuadsAndNothingFarBeyond) {
    for (int i = 0; i < 60; ++i) {
        Vector3 p = unitPoint();
        Vector3 h = tangentAt(p);
        int range = 1 + i % 8;
        Bomb bomb(p * 102.0, h, 2, range, 0);
        DangerMap map;
        const FlameZone& zone = map.zone(map.addZone(p, h, range, 0, 2, testclock::now));
        ASSERT_EQ(zone.rects.size(), static_cast<size_t>(3 * range));
        for (int s = 0; s < 3; ++s) {
            List<Vector3>& centres = bomb.flameCentres(s);
            for (Vector3* c = centres.first(); c; c = centres.next())
                EXPECT_LT(DangerMap::distance(zone, *c), 1e-6);
        }
        for (FlameQuad* q = bomb.flameQuads().first(); q; q = bomb.flameQuads().next())
            for (const Vector3& corner : q->corner)
                EXPECT_LT(DangerMap::distance(zone, corner), 0.2);
        // Beyond the end of each strip and between the strips there is no flame.
        for (int s = 0; s < 3; ++s) {
            Vector3 beyond = p, between = p;
            Vector3 axis = h;
            axis.rotateAround(s * 2.0 * M_PI / 3.0, p);
            beyond.rotateAround(-(3.0 * range + 6.0) * M_PI / 180.0, axis);
            EXPECT_GT(DangerMap::distance(zone, beyond), 4.0);
            Vector3 gap = axis;
            gap.rotateAround(M_PI / 3.0, p);
            between.rotateAround(-(3.0 * range) * M_PI / 180.0, gap);
            if (range >= 3) {
                EXPECT_GT(DangerMap::distance(zone, between), 5.0);
            }
        }
        EXPECT_GT(DangerMap::distance(zone, p * -1.0), 100.0);
    }
}

TEST_F(DangerMapTest, ZonesBurnFromTheFuseToTheEndOfTheFlamesAndRemoteOnesWait) {
    List<Bomb> bombs;
    Vector3 p(0, 0.6, 0.8), h(1, 0, 0);
    const int64_t dropped = testclock::now;
    bombs.append(new Bomb(p * 102.0, h, 2, 3, 0));
    bombs.append(new Bomb(near(p, 60.0) * 102.0, h, 3, 3, 1));
    DangerMap map;
    map.rebuild(bombs, testclock::now);
    ASSERT_EQ(map.count(), 2);
    EXPECT_EQ(map.zone(0).start, dropped + 3000);
    EXPECT_EQ(map.zone(0).end, dropped + 5040);
    EXPECT_FALSE(map.zone(0).waiting);
    EXPECT_TRUE(map.zone(1).waiting);
    EXPECT_EQ(map.zone(1).end, DangerMap::kForever);

    EXPECT_FALSE(map.burning(p, 7.0, testclock::now, dropped + 2999));
    EXPECT_TRUE(map.burning(p, 7.0, dropped + 2999, dropped + 3001));
    EXPECT_EQ(map.lastBurn(p, 7.0), dropped + 5040);
    // A judge that ignores the first zone sees no flame there.
    std::vector<int8_t> judge = {-1, 0};
    EXPECT_EQ(map.lastBurn(p, 7.0, &judge), -1);

    testclock::now += 3200;
    bombs.first()->update();
    ASSERT_TRUE(bombs.first()->exploded());
    map.rebuild(bombs, testclock::now);
    EXPECT_EQ(map.zone(0).start, testclock::now);
    EXPECT_EQ(map.zone(0).end, testclock::now + 2000);
    EXPECT_EQ(map.zone(0).seenAt, dropped) << "a zone keeps the time it was first seen";

    // Flames that have hurt a car hurt nobody else: their zone is gone.
    bombs.first()->setHitDone(1);
    map.rebuild(bombs, testclock::now);
    ASSERT_EQ(map.count(), 1);
    EXPECT_EQ(map.zone(0).owner, 3);
}

TEST_F(DangerMapTest, EveryHitTheGameDealsFallsWithinTheCarsReach) {
    Game game;
    gameMode = 1;
    game.setLocalPlayerId(1);
    game.addOpponent(2, 0.5, 0.5, 0.5, 1);
    Vehicle* target = game.opponents->first();
    game.localVehicle->setEnergy(0);
    int hits = 0;
    for (int i = 0; i < 400; ++i) {
        Vector3 p = unitPoint();
        Vector3 h = tangentAt(p);
        int range = 1 + i % 8;
        Vector3 at = near(p, draw() * (range * 5.4 + 14.0));
        target->setPosition(at);
        target->setHeading(tangentAt(at));
        target->updateOrientation();
        target->setEnergy(5);
        game.bombs->clear();
        Bomb* bomb = new Bomb(p * 102.0, h, 1, range, 0);
        game.bombs->append(bomb);
        bomb->explode();
        DangerMap map;
        map.rebuild(*game.bombs, testclock::now);
        ASSERT_EQ(map.count(), 1);
        double d = DangerMap::distance(map.zone(0), at);
        game.applyFlameEffects();
        if (target->energy() < 5) {
            ++hits;
            EXPECT_LT(d, DangerMap::kCarReach) << "bomb " << i;
        }
    }
    EXPECT_GT(hits, 40);
    game.bombs->clear();
    gameMode = 0;
}
