#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "labyrinth.h"
#include "random.h"

namespace {

// A scripted random source: hands out the listed draws in order, then repeats the last one.
std::vector<int> script;
size_t scriptNext = 0;
int scripted() {
    int v =
        script.empty() ? 0 : script[scriptNext < script.size() ? scriptNext : script.size() - 1];
    ++scriptNext;
    return v;
}
void setScript(std::vector<int> draws) {
    script = std::move(draws);
    scriptNext = 0;
}
int alwaysZero() {
    return 0;
}
int alwaysTop() {
    return 32767;
}

// Eight vertices on a small fan; triangles are chosen per test.
const double fanVertices[8][3] = {{0, 100, 0},  {10, 99, 0}, {0, 99, 10}, {-10, 99, 0},
                                  {0, 99, -10}, {7, 99, 7},  {-7, 99, 7}, {7, 99, -7}};

MeshTables fan(const int32_t (*triangles)[3], int32_t count) {
    MeshTables m;
    m.vertices = fanVertices;
    m.vertexCount = 8;
    m.triangles = triangles;
    m.triangleCount = count;
    return m;
}

int32_t countOf(List<proto::BlockRecord>& l) {
    return l.count();
}

} // namespace

TEST(LabyrinthItems, DrawModulo30FollowsTheShares) {
    int shares[8] = {};
    for (int r = 0; r < 30; ++r)
        ++shares[itemKindForDraw(r)];
    EXPECT_EQ(shares[0], 13);
    EXPECT_EQ(shares[1], 6);
    EXPECT_EQ(shares[2], 3);
    EXPECT_EQ(shares[3], 3);
    EXPECT_EQ(shares[4], 2);
    EXPECT_EQ(shares[5], 1);
    EXPECT_EQ(shares[6], 1);
    EXPECT_EQ(shares[7], 1);
    EXPECT_EQ(itemKindForDraw(5), 1);
    EXPECT_EQ(itemKindForDraw(6), 2);
    EXPECT_EQ(itemKindForDraw(14), 5);
    EXPECT_EQ(itemKindForDraw(16), 7);
    EXPECT_EQ(itemKindForDraw(17), 0);
    EXPECT_EQ(itemKindForDraw(30 + 12), 4);
}

TEST(LabyrinthPlanet, DrawsOfZeroBuildNothing) {
    List<proto::BlockRecord> l;
    l.append(new proto::BlockRecord); // stale content is discarded
    generateLabyrinth(l, planetMeshTables(), alwaysZero);
    EXPECT_EQ(l.count(), 0);
}

TEST(LabyrinthPlanet, TopDrawsGiveTheFirstTriangleAPowerBlock) {
    List<proto::BlockRecord> l;
    generateLabyrinth(l, planetMeshTables(), alwaysTop);
    ASSERT_GT(l.count(), 0);
    proto::BlockRecord* b = l.get(0);
    EXPECT_EQ(b->id, 1);
    EXPECT_EQ(b->item, 2);
    EXPECT_EQ(b->height, 32768.0 / 32767.0 * 5 + 4);
    MeshTables m = planetMeshTables();
    for (int j = 0; j < 3; ++j) {
        const double* v = m.vertices[m.triangles[0][j]];
        EXPECT_EQ(b->x[j], v[0]);
        EXPECT_EQ(b->y[j], v[1]);
        EXPECT_EQ(b->z[j], v[2]);
    }
}

// Finds the triangle whose corners equal the record's corners, position by position; -1 if none.
int32_t triangleOf(const MeshTables& m, const proto::BlockRecord& r, int32_t from) {
    for (int32_t t = from; t < m.triangleCount; ++t) {
        bool same = true;
        for (int j = 0; j < 3 && same; ++j) {
            const double* v = m.vertices[m.triangles[t][j]];
            same = v[0] == r.x[j] && v[1] == r.y[j] && v[2] == r.z[j];
        }
        if (same) return t;
    }
    return -1;
}

TEST(LabyrinthPlanet, IdsConsecutiveCornersExactAndInTriangleOrder) {
    MeshTables m = planetMeshTables();
    for (unsigned seed : {1u, 77u, 12345u}) {
        std::srand(seed);
        List<proto::BlockRecord> l;
        generateLabyrinth(l, m, nextRandom);
        ASSERT_GT(l.count(), 10) << seed;
        int32_t lastTriangle = -1;
        for (int32_t i = 0; i < l.count(); ++i) {
            proto::BlockRecord* r = l.get(i);
            EXPECT_EQ(r->id, i + 1);
            EXPECT_GE(r->item, 0);
            EXPECT_LE(r->item, 7);
            EXPECT_GT(r->height, 4.0);
            EXPECT_LE(r->height, 32768.0 / 32767.0 * 5 + 4);
            int32_t t = triangleOf(m, *r, lastTriangle + 1);
            ASSERT_GE(t, 0) << "record " << r->id << " is not a later mesh triangle";
            lastTriangle = t;
        }
    }
}

TEST(LabyrinthPlanet, NoBlockHasMoreOneCornerThanTwoCornerNeighboursBeforeIt) {
    std::srand(4242);
    List<proto::BlockRecord> l;
    generateLabyrinth(l, planetMeshTables(), nextRandom);
    for (int32_t i = 0; i < l.count(); ++i) {
        proto::BlockRecord r = *l.get(i);
        int c1 = 0, c2 = 0;
        for (int32_t e = 0; e < i; ++e) {
            proto::BlockRecord* o = l.get(e);
            int k = 0;
            for (int j = 0; j < 3; ++j)
                k += o->x[j] == r.x[j] && o->y[j] == r.y[j] && o->z[j] == r.z[j];
            c1 += k == 1;
            c2 += k == 2;
        }
        EXPECT_GE(c2, c1) << "block " << r.id;
    }
}

TEST(LabyrinthPlanet, SameSeedSameLabyrinth) {
    List<proto::BlockRecord> a, b;
    std::srand(99);
    generateLabyrinth(a, planetMeshTables(), nextRandom);
    std::srand(99);
    generateLabyrinth(b, planetMeshTables(), nextRandom);
    ASSERT_EQ(a.count(), b.count());
    for (int32_t i = 0; i < a.count(); ++i) {
        proto::BlockRecord ra = *a.get(i);
        proto::BlockRecord* rb = b.get(i);
        EXPECT_EQ(ra.item, rb->item);
        EXPECT_EQ(ra.height, rb->height);
        EXPECT_EQ(ra.x[1], rb->x[1]);
    }
}

TEST(LabyrinthThresholds, NoNeighbourNeeds24576) {
    static const int32_t tris[1][3] = {{0, 1, 2}};
    List<proto::BlockRecord> l;
    setScript({24575});
    generateLabyrinth(l, fan(tris, 1), scripted);
    EXPECT_EQ(countOf(l), 0);
    EXPECT_EQ(scriptNext, 1u);
    setScript({24576, 20, 0});
    generateLabyrinth(l, fan(tris, 1), scripted);
    ASSERT_EQ(countOf(l), 1);
    EXPECT_EQ(scriptNext, 3u);
    EXPECT_EQ(l.get(0)->item, 0);
    EXPECT_EQ(l.get(0)->height, 1.0 / 32767.0 * 5 + 4);
}

TEST(LabyrinthThresholds, TwoCornerNeighboursLowerTheBar) {
    // Triangles 1..3 share corner positions 0 and 1 with every triangle before them.
    static const int32_t tris[4][3] = {{0, 1, 2}, {0, 1, 3}, {0, 1, 4}, {0, 1, 5}};
    const int top = 32767;
    List<proto::BlockRecord> l;

    setScript({top, 0, 0, 14745});
    generateLabyrinth(l, fan(tris, 2), scripted);
    EXPECT_EQ(countOf(l), 1);
    setScript({top, 0, 0, 14746, 0, 0});
    generateLabyrinth(l, fan(tris, 2), scripted);
    EXPECT_EQ(countOf(l), 2);

    setScript({top, 0, 0, top, 0, 0, 4915});
    generateLabyrinth(l, fan(tris, 3), scripted);
    EXPECT_EQ(countOf(l), 2);
    setScript({top, 0, 0, top, 0, 0, 4916, 0, 0});
    generateLabyrinth(l, fan(tris, 3), scripted);
    EXPECT_EQ(countOf(l), 3);

    setScript({top, 0, 0, top, 0, 0, top, 0, 0, 0, 0, 0});
    generateLabyrinth(l, fan(tris, 4), scripted);
    ASSERT_EQ(countOf(l), 4);
    for (int32_t i = 0; i < 4; ++i)
        EXPECT_EQ(l.get(i)->id, i + 1);
}

TEST(LabyrinthThresholds, AOneCornerNeighbourBlocksEvenTheTopDraw) {
    // Triangle 1 shares only position 0 with triangle 0.
    static const int32_t tris[2][3] = {{0, 1, 2}, {0, 3, 4}};
    List<proto::BlockRecord> l;
    generateLabyrinth(l, fan(tris, 2), alwaysTop);
    EXPECT_EQ(countOf(l), 1);

    // A shared vertex at another corner position does not count.
    static const int32_t crossed[2][3] = {{0, 1, 2}, {1, 5, 6}};
    setScript({32767, 0, 0, 24576, 0, 0});
    generateLabyrinth(l, fan(crossed, 2), scripted);
    EXPECT_EQ(countOf(l), 2);

    // A repeated triangle (k = 3) counts neither way.
    static const int32_t repeated[2][3] = {{0, 1, 2}, {0, 1, 2}};
    setScript({32767, 0, 0, 24575});
    generateLabyrinth(l, fan(repeated, 2), scripted);
    EXPECT_EQ(countOf(l), 1);
}

TEST(LabyrinthThresholds, OneCornerCancelsOneTwoCornerNeighbour) {
    // Triangle 2 shares two positions with triangle 0 and one with triangle 1: p = r/49150.5.
    static const int32_t tris[3][3] = {{0, 1, 2}, {0, 1, 3}, {0, 4, 2}};
    List<proto::BlockRecord> l;
    // Triangle 2 vs 0: positions 0 and 2 (k 2); vs 1: position 0 (k 1).
    setScript({32767, 0, 0, 32767, 0, 0, 24575});
    generateLabyrinth(l, fan(tris, 3), scripted);
    EXPECT_EQ(countOf(l), 2);
    setScript({32767, 0, 0, 32767, 0, 0, 24576, 0, 0});
    generateLabyrinth(l, fan(tris, 3), scripted);
    EXPECT_EQ(countOf(l), 3);
}

TEST(LabyrinthInput, TrianglesNamingMissingVerticesAreSkipped) {
    static const int32_t tris[3][3] = {{0, 1, 8}, {-1, 1, 2}, {5, 6, 7}};
    List<proto::BlockRecord> l;
    setScript({32767, 9, 100});
    generateLabyrinth(l, fan(tris, 3), scripted);
    ASSERT_EQ(countOf(l), 1);
    EXPECT_EQ(l.get(0)->id, 1);
    EXPECT_EQ(l.get(0)->x[0], 7.0);
    EXPECT_EQ(l.get(0)->item, 3);
    EXPECT_EQ(l.get(0)->height, 101.0 / 32767.0 * 5 + 4);
    EXPECT_EQ(scriptNext, 3u);
}
