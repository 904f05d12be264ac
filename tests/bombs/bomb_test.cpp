// Flame geometry, fuse and flame timing, numbering and the explosion sample of a single bomb.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "bomb.h"
#include "clock.h"
#include "support/fake_clock.h"
#include "platform.h"

namespace {

const double kPi = 3.141592653589793;
const double kDeg = kPi / 180.0;

int64_t& fakeNow = testclock::now;

std::vector<int> samplesPlayed;
void recordSample(int n) {
    samplesPlayed.push_back(n);
}

// Right-handed rotation of v about axis by angle, independent of the code under test.
Vector3 turn(Vector3 v, Vector3 axis, double angle) {
    axis.normalize();
    double c = std::cos(angle), s = std::sin(angle);
    return v * c + axis.cross(v) * s + axis * (axis.dot(v) * (1.0 - c));
}

// Angle of b around axis seen from a, signed right-handedly.
double angleAbout(Vector3 a, Vector3 b, Vector3 axis) {
    axis.normalize();
    Vector3 pa = a - axis * axis.dot(a);
    Vector3 pb = b - axis * axis.dot(b);
    return std::atan2(axis.dot(pa.cross(pb)), pa.dot(pb));
}

std::vector<Vector3> centres(Bomb& b, int strip) {
    std::vector<Vector3> out;
    List<Vector3>& l = b.flameCentres(strip);
    for (Vector3* c = l.first(); c; c = l.next())
        out.push_back(*c);
    return out;
}

std::vector<FlameQuad> quads(Bomb& b) {
    std::vector<FlameQuad> out;
    for (FlameQuad* q = b.flameQuads().first(); q; q = b.flameQuads().next())
        out.push_back(*q);
    return out;
}

class BombTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fakeNow = 1000000;
        setClock(testclock::read);
        samplesPlayed.clear();
        platform = PlatformHooks();
        platform.playSample = recordSample;
    }
    void TearDown() override {
        setClock(nullptr);
        platform = PlatformHooks();
    }
};

struct Placement {
    Vector3 up;      // unit position of the dropper
    Vector3 heading; // unit, perpendicular to up
};

std::vector<Placement> placements() {
    std::vector<Placement> out;
    out.push_back({Vector3(0, 0, 1), Vector3(0, 1, 0)});
    out.push_back({Vector3(0, -1, 0), Vector3(1, 0, 0)});
    out.push_back({Vector3(1, 0, 0), Vector3(0, 0, -1)});
    out.push_back({Vector3(0, 0, 1), Vector3(0, -1, 0)}); // strip axis along -Y
    Vector3 u = unit(Vector3(1, 2, 3));
    out.push_back({u, unit(u.cross(Vector3(0, 0, 1)))});
    Vector3 w = unit(Vector3(-0.3, -0.8, 0.2));
    out.push_back({w, unit(w.cross(Vector3(1, 0, 0)))});
    return out;
}

} // namespace

TEST_F(BombTest, QuadAndCentreCountsFollowTheRange) {
    for (int32_t range : {0, 3, 8}) {
        Bomb b(Vector3(0, 0, 102), Vector3(0, 1, 0), 1, range, 0);
        EXPECT_EQ(b.flameQuads().count(), 3 * range) << "range " << range;
        for (int s = 0; s < 3; ++s)
            EXPECT_EQ(b.flameCentres(s).count(), range);
    }
}

TEST_F(BombTest, StripZeroRunsAlongTheLineOfTravelAndTheOthersAtPlusMinus120Degrees) {
    for (const Placement& p : placements()) {
        Vector3 pos = p.up * 102.0;
        Bomb b(pos, p.heading, 1, 8, 0);
        Vector3 travel = unit(p.up.cross(p.heading));
        std::vector<Vector3> strip[3] = {centres(b, 0), centres(b, 1), centres(b, 2)};
        for (int s = 0; s < 3; ++s) {
            Vector3 expected = turn(travel, p.up, s * 120.0 * kDeg);
            // Each centre lies further along the strip's direction than the one before, and the
            // strip stays on the line through the bomb.
            double last = 0.0;
            for (const Vector3& c : strip[s]) {
                Vector3 d = c - pos;
                double along = d.dot(expected);
                EXPECT_GT(along, last) << "strip " << s;
                last = along;
                Vector3 side = expected.cross(p.up);
                EXPECT_NEAR(d.dot(side), 0.0, 1e-9) << "strip " << s;
            }
        }
    }
}

TEST_F(BombTest, QuadsStepThreeDegreesAboutTheStripAxisFromTheTriangleAtThreeDegrees) {
    for (const Placement& p : placements()) {
        Vector3 pos = p.up * 102.0;
        Bomb b(pos, p.heading, 1, 5, 0);
        std::vector<FlameQuad> q = quads(b);
        ASSERT_EQ(q.size(), 15u);
        for (int s = 0; s < 3; ++s) {
            Vector3 axis = turn(p.heading, p.up, s * 120.0 * kDeg);
            // The strip begins on the triangle whose corners lie 3 degrees of arc from the bomb.
            const FlameQuad& nearest = q[s * 5];
            for (int c : {0, 3}) {
                EXPECT_NEAR(std::acos(unit(nearest.corner[c]).dot(p.up)), 3.0 * kDeg, 1e-9);
            }
            std::vector<Vector3> cs = centres(b, s);
            for (int k = 0; k < 5; ++k) {
                const FlameQuad& f = q[s * 5 + k];
                EXPECT_NEAR(std::fabs(angleAbout(f.corner[0], f.corner[1], axis)), 3.0 * kDeg,
                            1e-9);
                EXPECT_NEAR(std::fabs(angleAbout(f.corner[3], f.corner[2], axis)), 3.0 * kDeg,
                            1e-9);
                if (k > 0) {
                    EXPECT_NEAR(std::fabs(angleAbout(cs[k - 1], cs[k], axis)), 3.0 * kDeg, 1e-9);
                }
                for (int c = 0; c < 4; ++c)
                    EXPECT_NEAR(f.corner[c].length(), 102.0, 1e-9);
                // The centre is the middle of the quad's diagonal.
                Vector3 mid = (f.corner[0] + f.corner[2]) * 0.5;
                EXPECT_NEAR((mid - cs[k]).length(), 0.0, 1e-9);
            }
        }
    }
}

TEST_F(BombTest, EveryQuadFacesAwayFromThePlanetAndIsCounterClockwiseFromAbove) {
    for (const Placement& p : placements()) {
        Bomb b(p.up * 102.0, p.heading, 1, 8, 0);
        for (const FlameQuad& f : quads(b)) {
            Vector3 centre = (f.corner[0] + f.corner[1] + f.corner[2] + f.corner[3]) * 0.25;
            Vector3 outward = unit(centre);
            EXPECT_NEAR(f.normal.length(), 1.0, 1e-12);
            EXPECT_GT(f.normal.dot(outward), 0.99);
            // Both triangles of the quad, as OpenGL splits it, wind counter-clockwise seen from
            // outside the planet.
            Vector3 n1 = (f.corner[1] - f.corner[0]).cross(f.corner[2] - f.corner[0]);
            Vector3 n2 = (f.corner[2] - f.corner[0]).cross(f.corner[3] - f.corner[0]);
            EXPECT_GT(n1.dot(outward), 0.0);
            EXPECT_GT(n2.dot(outward), 0.0);
        }
    }
}

TEST_F(BombTest, ExplodesAtTheFirstUpdateAtOrAfterThreeSecondsAndFinishesTwoSecondsLater) {
    Bomb b(Vector3(0, 0, 102), Vector3(0, 1, 0), 4, 3, 0);
    EXPECT_EQ(b.deadlineMs(), 1003000);
    fakeNow = 1002999;
    b.update();
    EXPECT_FALSE(b.exploded());
    EXPECT_TRUE(samplesPlayed.empty());

    fakeNow = 1003040; // the first tick after the fuse ran out
    b.update();
    EXPECT_TRUE(b.exploded());
    EXPECT_EQ(b.owner(), 4);
    EXPECT_EQ(samplesPlayed, std::vector<int>{kSampleExplode});

    fakeNow = 1005039;
    b.update();
    EXPECT_EQ(b.owner(), 4);
    fakeNow = 1005040;
    b.update();
    EXPECT_EQ(b.owner(), -4);
    // A finished bomb stays finished.
    fakeNow = 1009000;
    b.update();
    EXPECT_EQ(b.owner(), -4);
    EXPECT_EQ(samplesPlayed.size(), 1u);
}

TEST_F(BombTest, ExplodesExactlyAtTheDeadline) {
    Bomb b(Vector3(0, 0, 102), Vector3(0, 1, 0), 1, 3, 0);
    fakeNow += 3000;
    b.update();
    EXPECT_TRUE(b.exploded());
    fakeNow += 2000;
    b.update();
    EXPECT_LT(b.owner(), 0);
}

TEST_F(BombTest, RemoteBombNeverGoesOffByItsFuse) {
    Bomb b(Vector3(0, 0, 102), Vector3(0, 1, 0), 2, 3, 1);
    for (int64_t t = 0; t < 1000; ++t) {
        fakeNow += 3600 * 1000;
        b.update();
    }
    EXPECT_FALSE(b.exploded());
    EXPECT_EQ(b.owner(), 2);
    EXPECT_TRUE(samplesPlayed.empty());
}

TEST_F(BombTest, ExplodeRestartsTheFlameTimeAndPlaysTheExplosionSample) {
    Bomb b(Vector3(0, 0, 102), Vector3(0, 1, 0), 2, 3, 1);
    fakeNow += 500;
    b.explode();
    EXPECT_TRUE(b.exploded());
    EXPECT_EQ(b.deadlineMs(), fakeNow + 2000);
    fakeNow += 1500;
    b.explode();
    EXPECT_EQ(b.deadlineMs(), fakeNow + 2000);
    EXPECT_EQ(samplesPlayed, (std::vector<int>{kSampleExplode, kSampleExplode}));
    fakeNow += 1999;
    b.update();
    EXPECT_EQ(b.owner(), 2);
    fakeNow += 1;
    b.update();
    EXPECT_EQ(b.owner(), -2);
}

TEST_F(BombTest, NumbersRunFromOneToAHundredAndWrap) {
    bombCounter = 1;
    std::vector<int32_t> numbers;
    for (int i = 0; i < 102; ++i) {
        Bomb b(Vector3(0, 0, 102), Vector3(0, 1, 0), 1, 0, 0);
        numbers.push_back(b.number());
    }
    EXPECT_EQ(numbers[0], 1);
    EXPECT_EQ(numbers[99], 100);
    EXPECT_EQ(numbers[100], 1);
    EXPECT_EQ(numbers[101], 2);
    EXPECT_EQ(bombCounter, 3);
}
