// Wall block geometry, the point and footprint tests, and the debris animation.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "planet_mesh.h"
#include "random.h"
#include "wall_block.h"

namespace {

const Vector3 kA0(0, 0, 100), kA1(10, 0, 100), kA2(0, 10, 100);

int always8192() {
    return 8192;
}
int drawCount = 0;
int countingSource() {
    ++drawCount;
    return 16384;
}

void expectNear(const Vector3& v, const Vector3& expected, double eps = 1e-9) {
    EXPECT_NEAR(v.x, expected.x, eps);
    EXPECT_NEAR(v.y, expected.y, eps);
    EXPECT_NEAR(v.z, expected.z, eps);
}

// An equilateral triangle of circumradius r in the plane z = 100, centred on the z axis, ordered
// so that its normal points away from the origin.
void centredTriangle(double r, Vector3 out[3]) {
    for (int i = 0; i < 3; ++i) {
        double a = i * 2.0 * M_PI / 3.0;
        out[i] = Vector3(r * std::cos(a), r * std::sin(a), 100.0);
    }
}

struct Corners {
    Vector3 c[4];
};

std::vector<Corners> snapshot(WallBlock& b) {
    std::vector<Corners> out;
    for (Fragment* f = b.fragments().first(); f; f = b.fragments().next())
        out.push_back({{f->c0, f->c1, f->c2, f->c3}});
    return out;
}

bool sameCorners(const std::vector<Corners>& a, const std::vector<Corners>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        for (int k = 0; k < 4; ++k)
            if (a[i].c[k] != b[i].c[k]) return false;
    return true;
}

class WallBlockTest : public ::testing::Test {
  protected:
    void TearDown() override { setRandomSource(nullptr); }
};

} // namespace

TEST_F(WallBlockTest, NewBlockIsIntactWithoutIdOrItem) {
    WallBlock b(kA0, kA1, kA2, 5.0);
    EXPECT_EQ(b.state(), 0);
    EXPECT_EQ(b.id(), 0);
    EXPECT_EQ(b.item(), kItemNone);
    EXPECT_EQ(b.debrisTicks(), 1);
    EXPECT_EQ(b.baseCorner(0), kA0);
    EXPECT_EQ(b.baseCorner(1), kA1);
    EXPECT_EQ(b.baseCorner(2), kA2);
}

TEST_F(WallBlockTest, RoofIsGroundShiftedByCentroidOverHeightDivisor) {
    WallBlock b(kA0, kA1, kA2, 5.0);
    Vector3 shift(10.0 / 15.0, 10.0 / 15.0, 20.0);
    expectNear(b.top().c0, kA0 + shift);
    expectNear(b.top().c1, kA1 + shift);
    expectNear(b.top().c2, kA2 + shift);
    expectNear(b.top().normal, Vector3(0, 0, 1));
    expectNear(b.base().normal, Vector3(0, 0, 1));
}

TEST_F(WallBlockTest, SideWallsJoinGroundToRoofWithInwardNormals) {
    WallBlock b(kA0, kA1, kA2, 5.0);
    const Triangle& t = b.top();
    EXPECT_EQ(b.side(0).c0, kA2);
    EXPECT_EQ(b.side(0).c1, t.c2);
    EXPECT_EQ(b.side(0).c2, kA1);
    EXPECT_EQ(b.side(0).c3, t.c1);
    EXPECT_EQ(b.side(1).c2, kA0);
    EXPECT_EQ(b.side(1).c3, t.c0);
    EXPECT_EQ(b.side(2).c2, kA2);
    EXPECT_EQ(b.side(2).c3, t.c2);

    Vector3 expected0(-200, -200, 40.0 / 3.0);
    expected0.normalize();
    expectNear(b.side(0).normal, expected0);
    Vector3 centre = (kA0 + kA1 + kA2) / 3.0;
    for (int i = 0; i < 3; ++i) {
        EXPECT_NEAR(b.side(i).normal.length(), 1.0, 1e-12);
        EXPECT_GT(b.side(i).normal.dot(centre - b.side(i).c0), 0.0) << "side " << i;
    }
}

TEST_F(WallBlockTest, ItemPatchIsTrapezoidOneUnitAboveGround) {
    WallBlock b(kA0, kA1, kA2, 5.0);
    const Quad& q = b.itemQuad();
    expectNear(q.c0, Vector3(2.5, 0, 101));
    expectNear(q.c1, Vector3(7.5, 0, 101));
    expectNear(q.c2, Vector3(5, 5, 101));
    expectNear(q.c3, Vector3(0, 5, 101));
    expectNear(q.normal, Vector3(0, 0, 1));
}

TEST_F(WallBlockTest, ThirteenFragmentsStartingWithItemPatchAndWallQuarters) {
    setRandomSource(always8192);
    WallBlock b(kA0, kA1, kA2, 5.0);
    ASSERT_EQ(b.fragments().count(), 13);
    Fragment* f0 = b.fragments().get(0);
    EXPECT_EQ(f0->c0, b.itemQuad().c0);
    EXPECT_EQ(f0->c1, b.itemQuad().c1);
    EXPECT_EQ(f0->c2, b.itemQuad().c2);
    EXPECT_EQ(f0->c3, b.itemQuad().c3);

    // Lower first quarter of the wall A0..A1, and upper second quarter of the wall A2..A0.
    Fragment* f1 = b.fragments().get(1);
    expectNear(f1->c0, kA0);
    expectNear(f1->c1, Vector3(5, 0, 100));
    expectNear(f1->c3, kA0 + (b.top().c0 - kA0) / 2.0);
    Fragment* f12 = b.fragments().get(12);
    expectNear(f12->c2, b.top().c0);
    expectNear(f12->c3, b.top().c2 + (kA0 - kA2) / 2.0);

    // A draw of 8192 gives every fragment unit speed along its own face normal.
    for (Fragment* f = b.fragments().first(); f; f = b.fragments().next()) {
        EXPECT_NEAR(f->normal.length(), 1.0, 1e-12);
        EXPECT_NEAR(f->normal.dot(f->c1 - f->c0), 0.0, 1e-9);
    }
}

TEST_F(WallBlockTest, ConstructionDrawsThirteenRandomValues) {
    drawCount = 0;
    setRandomSource(countingSource);
    WallBlock b(kA0, kA1, kA2, 5.0);
    EXPECT_EQ(drawCount, 13);
}

TEST_F(WallBlockTest, ContainsCentroidButNotEdgeMidpoint) {
    WallBlock b(kA0, kA1, kA2, 5.0);
    Vector3 centroid = (kA0 + kA1 + kA2) / 3.0;
    EXPECT_TRUE(b.contains(centroid));
    EXPECT_FALSE(b.contains(Vector3(5, 0, 100)));
    EXPECT_FALSE(b.contains(Vector3(5, 5, 100)));
    EXPECT_FALSE(b.contains(Vector3(0, 5, 100)));
    EXPECT_TRUE(b.contains(centroid + b.base().normal * 100.0));
    EXPECT_FALSE(b.contains(Vector3(11, 1, 100)));
    EXPECT_FALSE(b.contains(Vector3(-1, 3, 100)));
}

TEST_F(WallBlockTest, ContainsRefusesFarSideOfPlanet) {
    Vector3 a[3];
    centredTriangle(20.0, a);
    WallBlock b(a[0], a[1], a[2], 5.0);
    EXPECT_TRUE(b.contains(Vector3(0, 0, 100)));
    EXPECT_TRUE(b.contains(Vector3(0, 0, 1)));
    EXPECT_TRUE(b.contains(Vector3(2, 1, 250)));
    EXPECT_FALSE(b.contains(Vector3(0, 0, -100)));
    EXPECT_FALSE(b.contains(Vector3(2, 1, -100)));
    EXPECT_FALSE(b.contains(Vector3(0, 0, 0)));

    for (int t = 0; t < kPlanetTriangleCount; t += 53) {
        Vector3 c[3];
        for (int k = 0; k < 3; ++k) {
            const double* v = planetVertices[planetTriangles[t][k]];
            c[k] = Vector3(v[0], v[1], v[2]);
        }
        WallBlock m(c[0], c[1], c[2], 5.0);
        Vector3 centroid = (c[0] + c[1] + c[2]) / 3.0;
        EXPECT_TRUE(m.contains(centroid)) << "triangle " << t;
        EXPECT_FALSE(m.contains(centroid * -1.0)) << "triangle " << t;
    }
}

TEST_F(WallBlockTest, BlocksVehicleUnlessViewAlongRisingDirection) {
    Vector3 a[3];
    centredTriangle(30.0, a);
    WallBlock b(a[0], a[1], a[2], 5.0);
    Vector3 onBlock(0, 0, 100);
    Vector3 heading(1, 0, 0);
    Vector3 rising = b.top().c0 - b.base().c0;

    EXPECT_FALSE(b.blocks(onBlock, heading, rising));
    EXPECT_FALSE(b.blocks(onBlock, heading, Vector3(0.1, 0, 1)));
    EXPECT_TRUE(b.blocks(onBlock, heading, rising * -1.0));
    EXPECT_TRUE(b.blocks(onBlock, heading, Vector3(1, 0, 0)));
    EXPECT_FALSE(b.blocks(Vector3(0, 100, 0), heading, Vector3(0, 0, -1)));
}

TEST_F(WallBlockTest, FootprintReachesFiveUnitsAlongHeading) {
    Vector3 a[3];
    centredTriangle(30.0, a); // the edge a1..a2 lies on x = -15
    WallBlock b(a[0], a[1], a[2], 5.0);
    Vector3 heading(1, 0, 0);
    Vector3 view(0, 0, -1);
    EXPECT_TRUE(b.blocks(Vector3(-18, 0, 100), heading, view));
    EXPECT_FALSE(b.blocks(Vector3(-21, 0, 100), heading, view));
}

TEST_F(WallBlockTest, DebrisRunsNineteenUpdatesThenStops) {
    setRandomSource(always8192);
    WallBlock b(kA0, kA1, kA2, 5.0);
    b.setState(1);
    for (int i = 1; i <= 19; ++i) {
        std::vector<Corners> before = snapshot(b);
        b.updateDebris();
        EXPECT_EQ(b.debrisTicks(), i + 1);
        EXPECT_FALSE(sameCorners(before, snapshot(b))) << "update " << i;
    }
    std::vector<Corners> settled = snapshot(b);
    for (int i = 0; i < 5; ++i)
        b.updateDebris();
    EXPECT_EQ(b.debrisTicks(), 20);
    EXPECT_TRUE(sameCorners(settled, snapshot(b)));
}

TEST_F(WallBlockTest, UpdateDebrisOnIntactBlockDoesNothing) {
    setRandomSource(always8192);
    WallBlock b(kA0, kA1, kA2, 5.0);
    std::vector<Corners> before = snapshot(b);
    for (int i = 0; i < 5; ++i)
        b.updateDebris();
    EXPECT_EQ(b.debrisTicks(), 1);
    EXPECT_TRUE(sameCorners(before, snapshot(b)));
}
