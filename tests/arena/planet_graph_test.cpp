// The planet graph on a real generated labyrinth: neighbours, the pole openings, the node under a
// point, blocks bound to their triangles and updated when destroyed, the car test against the
// world's free test, and shortest paths.
#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "planet_graph.h"
#include "random.h"
#include "world.h"

namespace {

// A point on the unit sphere from the test's own draws.
Vector3 somewhere() {
    double u = nextRandom() / 16383.5 - 1.0;
    double a = nextRandom() / 32768.0 * 2.0 * M_PI;
    double r = std::sqrt(1.0 - u * u);
    return Vector3(r * std::cos(a), r * std::sin(a), u);
}

Vector3 tangentAt(const Vector3& p) {
    Vector3 t = p.cross(somewhere());
    return t.normalize();
}

class PlanetGraphTest : public ::testing::Test {
  protected:
    void SetUp() override {
        useSeededRandom(2024);
        world.buildLabyrinth(1);
        graph.bind(world.blocks());
    }
    void TearDown() override { setRandomSource(nullptr); }

    World world;
    PlanetGraph graph;
};

} // namespace

TEST(PlanetGraphTopology, TrianglesMeetAcrossEdgesAndPolesCloseTheOpenings) {
    PlanetGraph g;
    int rim = 0;
    for (int n = 0; n < PlanetGraph::kNodeCount; ++n) {
        const std::vector<int>& next = g.neighbours(n);
        if (n >= kPlanetTriangleCount) {
            EXPECT_EQ(next.size(), 9u) << "pole " << n;
            continue;
        }
        ASSERT_EQ(next.size(), 3u) << "triangle " << n;
        for (int m : next) {
            const std::vector<int>& back = g.neighbours(m);
            EXPECT_NE(std::find(back.begin(), back.end(), n), back.end());
            if (m >= kPlanetTriangleCount) ++rim;
            // The gate between two triangles lies on their shared edge, as far from both centres.
            if (m < kPlanetTriangleCount) {
                Vector3 gate = g.portal(n, m);
                EXPECT_NEAR((gate - g.centre(n)).length(), (gate - g.centre(m)).length(), 0.02);
            }
        }
    }
    EXPECT_EQ(rim, 18);
    EXPECT_EQ(g.nodeAt(Vector3(0, 0, 100)), PlanetGraph::kNorthPole);
    EXPECT_EQ(g.nodeAt(Vector3(0.01, 0, -1)), PlanetGraph::kSouthPole);
}

TEST(PlanetGraphTopology, NodeAtFindsATriangleHoldingThePointFromAnyHint) {
    PlanetGraph g;
    // A block on every triangle asks the question the game asks: is the point over it?
    std::vector<WallBlock*> probes;
    auto corner = [](int v) {
        return Vector3(planetVertices[v][0], planetVertices[v][1], planetVertices[v][2]);
    };
    for (int t = 0; t < kPlanetTriangleCount; ++t)
        probes.push_back(new WallBlock(corner(planetTriangles[t][0]), corner(planetTriangles[t][1]),
                                       corner(planetTriangles[t][2]), 5.0));
    useSeededRandom(7);
    int gaps = 0;
    for (int i = 0; i < 1500; ++i) {
        Vector3 p = somewhere();
        std::set<int> holding;
        for (int t = 0; t < kPlanetTriangleCount; ++t)
            if (probes[t]->contains(p * 100.0)) holding.insert(t);
        int n = g.nodeAt(p);
        int hinted = g.nodeAt(p * 100.0, (n + 1) % kPlanetTriangleCount);
        if (holding.empty()) {
            ++gaps;
            if (n >= kPlanetTriangleCount)
                EXPECT_GT(std::fabs(p.z), 0.96) << "point " << i;
            else
                EXPECT_GT(g.centre(n).dot(p), 0.99) << "point " << i;
            continue;
        }
        EXPECT_TRUE(holding.count(n)) << "point " << i;
        EXPECT_TRUE(holding.count(hinted)) << "point " << i;
    }
    EXPECT_LT(gaps, 100);
    for (WallBlock* b : probes)
        delete b;
}

TEST_F(PlanetGraphTest, BlocksStandOnTheTrianglesOfTheirCornersAndDestroyingOneFreesIt) {
    int bound = 0;
    for (int n = 0; n < kPlanetTriangleCount; ++n) {
        WallBlock* b = graph.block(n);
        if (!b) continue;
        ++bound;
        for (int k = 0; k < 3; ++k) {
            const double* v = planetVertices[planetTriangles[n][k]];
            EXPECT_EQ(b->baseCorner(k), Vector3(v[0], v[1], v[2]));
        }
        EXPECT_TRUE(graph.blocked(n));
    }
    EXPECT_EQ(bound, world.blocks().count());
    ASSERT_GT(bound, 100);

    int victim = -1;
    for (int n = 0; n < kPlanetTriangleCount && victim < 0; ++n)
        if (graph.blocked(n) && graph.crowding(graph.around(n)[0]) > 0) victim = n;
    ASSERT_GE(victim, 0);
    int neighbour = graph.around(victim)[0];
    int crowdingBefore = graph.crowding(neighbour);
    uint32_t version = graph.version();
    EXPECT_FALSE(graph.refresh());

    world.destroyBlock(graph.block(victim)->id());
    EXPECT_TRUE(graph.refresh());
    EXPECT_FALSE(graph.blocked(victim));
    EXPECT_EQ(graph.crowding(neighbour), crowdingBefore - 1);
    EXPECT_EQ(graph.version(), version + 1);
    EXPECT_FALSE(graph.refresh());
}

TEST_F(PlanetGraphTest, CarFitsWhereAndOnlyWhereTheWorldLetsACarStand) {
    useSeededRandom(99);
    int refused = 0;
    for (int i = 0; i < 3000; ++i) {
        Vector3 p = somewhere();
        Vector3 h = tangentAt(p);
        bool world_says = world.isFree(p * 100.0, h, p * -70.0);
        ASSERT_EQ(graph.carFits(p, h), world_says) << "place " << i;
        refused += world_says ? 0 : 1;
    }
    EXPECT_GT(refused, 300);
}

TEST_F(PlanetGraphTest, ShortestPathsStepBetweenNeighboursAndGoThroughBlocksOnlyWhenAllowed) {
    int start = graph.nodeAt(Vector3(1, 0.2, 0.1));
    while (graph.blocked(start))
        start = graph.neighbours(start)[0];
    std::vector<double> distance;
    std::vector<int> previous;
    graph.shortestPaths(start, PlanetGraph::Costs(), distance, previous);

    int walled = -1;
    for (int n = 0; n < kPlanetTriangleCount; ++n) {
        if (graph.blocked(n)) {
            EXPECT_TRUE(std::isinf(distance[n]));
            if (walled < 0) walled = n;
            continue;
        }
        std::vector<int> path = PlanetGraph::pathTo(n, previous, distance);
        if (path.empty()) continue;
        EXPECT_EQ(path.front(), start);
        for (size_t k = 1; k < path.size(); ++k) {
            const std::vector<int>& next = graph.neighbours(path[k - 1]);
            EXPECT_NE(std::find(next.begin(), next.end(), path[k]), next.end());
            EXPECT_FALSE(graph.blocked(path[k]));
        }
    }
    ASSERT_GE(walled, 0);
    PlanetGraph::Costs through;
    through.blockedCost = 50.0;
    graph.shortestPaths(start, through, distance, previous);
    std::vector<int> path = PlanetGraph::pathTo(walled, previous, distance);
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(path.back(), walled);
}
