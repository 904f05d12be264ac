// The world: planet texture start-up, local labyrinth generation, free-place test and the
// block and item updates that arrive from the network.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "planet_mesh.h"
#include "platform.h"
#include "random.h"
#include "world.h"

namespace {

int always0() {
    return 0;
}
int always32767() {
    return 32767;
}

// A scripted draw sequence, then zeros.
const int* script = nullptr;
int scriptLength = 0;
int scriptIndex = 0;
int scripted() {
    return scriptIndex < scriptLength ? script[scriptIndex++] : 0;
}
void useScript(const int* values, int n) {
    script = values;
    scriptLength = n;
    scriptIndex = 0;
    setRandomSource(scripted);
}

unsigned planetTexture42() {
    return 42;
}
unsigned failingPlanetTexture() {
    return 0;
}

Vector3 meshCorner(int t, int k) {
    const double* v = planetVertices[planetTriangles[t][k]];
    return Vector3(v[0], v[1], v[2]);
}

// Height divisor of a block: its ground centroid's distance over the roof's rise.
double heightDivisor(const WallBlock& b) {
    Vector3 centroid = (b.base().c0 + b.base().c1 + b.base().c2) / 3.0;
    return centroid.length() / (b.top().c0 - b.base().c0).length();
}

WallBlock* centredBlock(double r, int32_t id, int32_t item) {
    Vector3 a[3];
    for (int i = 0; i < 3; ++i) {
        double angle = i * 2.0 * M_PI / 3.0;
        a[i] = Vector3(r * std::cos(angle), r * std::sin(angle), 100.0);
    }
    WallBlock* b = new WallBlock(a[0], a[1], a[2], 5.0);
    b->setId(id);
    b->setItem(item);
    return b;
}

class WorldTest : public ::testing::Test {
  protected:
    void SetUp() override { platform.loadPlanetTexture = nullptr; }
    void TearDown() override {
        setRandomSource(nullptr);
        platform.loadPlanetTexture = nullptr;
    }
};

} // namespace

TEST_F(WorldTest, WithoutLoaderPlanetHasNoTexture) {
    World w;
    EXPECT_EQ(w.planetTexture(), 0u);
    EXPECT_EQ(w.radius(), 100.0);
    EXPECT_EQ(w.slices(), 36);
    EXPECT_EQ(w.stacks(), 36);
    EXPECT_EQ(w.blocks().count(), 0);
}

TEST_F(WorldTest, KeepsTextureFromLoader) {
    platform.loadPlanetTexture = planetTexture42;
    World w;
    EXPECT_EQ(w.planetTexture(), 42u);
}

TEST(WorldDeathTest, FailedPlanetTextureEndsProgramWithStatus1) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            platform.loadPlanetTexture = failingPlanetTexture;
            World w;
        },
        ::testing::ExitedWithCode(1), "^Problem loading sphere\\.png\n$");
}

TEST_F(WorldTest, AlwaysZeroPlacesNoBlock) {
    setRandomSource(always0);
    World w;
    w.buildLabyrinth(1);
    EXPECT_EQ(w.blocks().count(), 0);
}

TEST_F(WorldTest, AlwaysMaximumGivesTallestFirstBlockHoldingPower) {
    setRandomSource(always32767);
    World w;
    w.buildLabyrinth(1);
    ASSERT_GT(w.blocks().count(), 0);
    WallBlock* first = w.blocks().get(0);
    for (int k = 0; k < 3; ++k)
        EXPECT_EQ(first->baseCorner(k), meshCorner(0, k));
    EXPECT_EQ(first->id(), 1);
    EXPECT_EQ(first->state(), 0);
    EXPECT_EQ(first->item(), kItemPower);
    EXPECT_NEAR(heightDivisor(*first), 32768.0 / 32767.0 * 5.0 + 4.0, 1e-9);
}

TEST_F(WorldTest, DrawsThresholdThenHeightThenItem) {
    const int noBlock[] = {24575};
    useScript(noBlock, 1);
    World w;
    w.buildLabyrinth(1);
    EXPECT_EQ(w.blocks().count(), 0);

    const int slow[] = {24576, 0, 16};
    useScript(slow, 3);
    w.buildLabyrinth(1);
    ASSERT_EQ(w.blocks().count(), 1);
    EXPECT_EQ(w.blocks().get(0)->item(), kItemSlow);
    EXPECT_NEAR(heightDivisor(*w.blocks().get(0)), 1.0 / 32767.0 * 5.0 + 4.0, 1e-9);

    const int none[] = {24576, 32766, 17};
    useScript(none, 3);
    w.buildLabyrinth(1);
    ASSERT_EQ(w.blocks().count(), 1);
    EXPECT_EQ(w.blocks().get(0)->item(), kItemNone);
    EXPECT_NEAR(heightDivisor(*w.blocks().get(0)), 9.0, 1e-9);
}

TEST_F(WorldTest, IdsRunFromOneInListOrderAndRestartOnRebuild) {
    World w;
    for (unsigned seed : {7u, 8u}) {
        std::srand(seed);
        w.buildLabyrinth(1);
        ASSERT_GT(w.blocks().count(), 0);
        int32_t expected = 1;
        for (WallBlock* b = w.blocks().first(); b; b = w.blocks().next()) {
            EXPECT_EQ(b->id(), expected++);
            EXPECT_EQ(b->state(), 0);
        }
    }
}

TEST_F(WorldTest, NoBlockHasOnlyOneCornerNeighbours) {
    World w;
    for (unsigned seed = 1; seed <= 12; ++seed) {
        std::srand(seed);
        w.buildLabyrinth(1);
        EXPECT_GT(w.blocks().count(), 50) << "seed " << seed;
        int32_t n = w.blocks().count();
        for (int32_t i = 0; i < n; ++i) {
            WallBlock* b = w.blocks().get(i);
            int one = 0, two = 0;
            for (int32_t j = 0; j < i; ++j) {
                WallBlock* earlier = w.blocks().get(j);
                int s = 0;
                for (int k = 0; k < 3; ++k)
                    if (b->baseCorner(k) == earlier->baseCorner(k)) ++s;
                if (s == 1) ++one;
                if (s == 2) ++two;
            }
            EXPECT_FALSE(one > 0 && two == 0) << "seed " << seed << " block " << b->id();
        }
    }
}

TEST_F(WorldTest, MultiPlayerWithoutServerLeavesPlanetEmpty) {
    setRandomSource(always32767);
    World w;
    w.buildLabyrinth(1);
    ASSERT_GT(w.blocks().count(), 0);
    w.buildLabyrinth(0);
    EXPECT_EQ(w.blocks().count(), 0);
}

TEST_F(WorldTest, IsFreeIgnoresDestroyedBlocks) {
    World w;
    w.blocks().append(centredBlock(30.0, 1, kItemNone));
    Vector3 position(0, 0, 100), heading(1, 0, 0), view(0, 0, 0);
    EXPECT_FALSE(w.isFree(position, heading, view));
    EXPECT_TRUE(w.isFree(Vector3(0, 100, 0), heading, view));
    w.destroyBlock(1);
    EXPECT_TRUE(w.isFree(position, heading, view));
}

TEST_F(WorldTest, DestroyBlockMarksOnlyFirstMatchAndIgnoresUnknownIds) {
    World w;
    w.blocks().append(centredBlock(20.0, 5, kItemBomb));
    w.blocks().append(centredBlock(20.0, 5, kItemBomb));
    w.blocks().append(centredBlock(20.0, 6, kItemBomb));
    w.destroyBlock(7);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(w.blocks().get(i)->state(), 0);
    w.destroyBlock(5);
    EXPECT_EQ(w.blocks().get(0)->state(), 1);
    EXPECT_EQ(w.blocks().get(1)->state(), 0);
    EXPECT_EQ(w.blocks().get(2)->state(), 0);
    w.destroyBlock(5);
    EXPECT_EQ(w.blocks().get(0)->state(), 1);
    EXPECT_EQ(w.blocks().get(1)->state(), 0);
}

TEST_F(WorldTest, TakeItemClearsOnlyFirstMatchAndIgnoresUnknownIds) {
    World w;
    w.blocks().append(centredBlock(20.0, 5, kItemCloak));
    w.blocks().append(centredBlock(20.0, 5, kItemSpeed));
    w.takeItem(9);
    EXPECT_EQ(w.blocks().get(0)->item(), kItemCloak);
    EXPECT_EQ(w.blocks().get(1)->item(), kItemSpeed);
    w.takeItem(5);
    EXPECT_EQ(w.blocks().get(0)->item(), kItemNone);
    EXPECT_EQ(w.blocks().get(1)->item(), kItemSpeed);
    EXPECT_EQ(w.blocks().get(0)->state(), 0);
}
