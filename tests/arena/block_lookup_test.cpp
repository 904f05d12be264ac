// Looking blocks up by position gives what testing every block in list order gives: on a full
// labyrinth, with duplicates, inward, degenerate, huge and far-off blocks, for points inside and
// outside the shell the grid covers, as blocks break and as the list changes.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "platform.h"
#include "support/full_labyrinth.h"
#include "world.h"

namespace {

WallBlock* firstByScan(List<WallBlock>& blocks, const Vector3& p) {
    for (WallBlock* b = blocks.first(); b; b = blocks.next())
        if (b->state() == 0 && b->contains(p)) return b;
    return nullptr;
}

// A small deterministic generator, so that the probes do not depend on the game's random source.
struct Probe {
    unsigned state = 12345;
    double unit() {
        state = state * 1103515245u + 12345u;
        return ((state >> 8) & 0xffffff) / double(0xffffff);
    }
    Vector3 direction() {
        Vector3 v(unit() * 2 - 1, unit() * 2 - 1, unit() * 2 - 1);
        v.normalize();
        return v;
    }
};

class BlockLookup : public ::testing::Test {
  protected:
    void SetUp() override {
        platform = PlatformHooks();
        world = new World;
        testworld::fillPlanet(world->blocks());
        WallBlock* b5 = world->blocks().get(5);
        Vector3 a0 = b5->baseCorner(0), a1 = b5->baseCorner(1), a2 = b5->baseCorner(2);
        add(a0, a1, a2);                   // a duplicate, found second
        add(a2, a1, a0);                   // inward corner order
        add(a0, a0 + (a1 - a0) * 0.5, a1); // three corners in a line
        add(Vector3(100, 0, 0), Vector3(0, 100, 0), Vector3(0, 0, 100)); // an eighth of the planet
        add(a0 * 10.0, a1 * 10.0, a2 * 10.0);                            // far out
        add(a0, a0 + Vector3(1e-7, 0, 0), a0 + Vector3(0, 1e-7, 0));     // a speck
    }
    void TearDown() override { delete world; }

    void add(Vector3 a0, Vector3 a1, Vector3 a2) {
        world->blocks().append(new WallBlock(a0, a1, a2, 6.0));
    }

    // Points near blocks' corners and edge midpoints at several radii, nudged both ways,
    // and random points at radii inside, across and outside the shell.
    std::vector<Vector3> probes() {
        std::vector<Vector3> out;
        Probe r;
        List<WallBlock>& blocks = world->blocks();
        int n = 0;
        for (WallBlock* b = blocks.first(); b; b = blocks.next()) {
            // Every seventh block of the planet, and every added one.
            if (n++ % 7 != 0 && n <= kPlanetTriangleCount) continue;
            Vector3 c[3] = {b->baseCorner(0), b->baseCorner(1), b->baseCorner(2)};
            Vector3 spots[6] = {
                c[0], c[1], c[2], (c[0] + c[1]) * 0.5, (c[1] + c[2]) * 0.5, (c[2] + c[0]) * 0.5};
            for (Vector3 s : spots) {
                Vector3 d = s;
                d.normalize();
                for (double radius : {97.0, 101.86})
                    for (double nudge : {1e-9, 0.3})
                        out.push_back(d * radius + r.direction() * nudge);
            }
        }
        for (double radius : {0.0, 50.0, 96.99, 97.0, 98.5, 100.0, 102.0, 106.0, 106.01, 130.0})
            for (int i = 0; i < 400; ++i)
                out.push_back(r.direction() * radius);
        return out;
    }

    void expectSameAsScan(const char* stage) {
        std::vector<Vector3> points = probes();
        int found = 0, differ = 0;
        for (const Vector3& p : points) {
            WallBlock* expected = firstByScan(world->blocks(), p);
            found += expected != nullptr;
            if (world->firstIntactBlockAt(p) != expected) ++differ;
        }
        EXPECT_EQ(differ, 0) << stage;
        EXPECT_GT(found, static_cast<int>(points.size()) / 4) << stage;
    }

    World* world = nullptr;
};

} // namespace

TEST_F(BlockLookup, AnswersAsTestingEveryBlockInOrder) {
    expectSameAsScan("intact");

    // Breaking blocks needs no rebuild: every third block, and the original under the duplicate.
    int i = 0;
    for (WallBlock* b = world->blocks().first(); b; b = world->blocks().next())
        if (i++ % 3 == 0) b->setState(1);
    world->blocks().get(5)->setState(1);
    expectSameAsScan("broken");

    // A changed list is indexed again, also when blocks come back at the addresses of old ones.
    world->blocks().remove(1);
    add(Vector3(0, 0, 100), Vector3(5, 0, 100), Vector3(0, 5, 100));
    expectSameAsScan("changed");
    testworld::fillPlanet(world->blocks());
    expectSameAsScan("rebuilt");
    world->blocks().clear();
    EXPECT_EQ(world->firstIntactBlockAt(Vector3(0, 0, 100)), nullptr);
}
