#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "planet_mesh.h"
#include "support/media_files.h"
#include "vector3.h"

namespace {

Vector3 vertex(int i) {
    return {planetVertices[i][0], planetVertices[i][1], planetVertices[i][2]};
}

// Number of triangles using the directed edge a -> b (as consecutive corners).
int directedUse[kPlanetVertexCount][kPlanetVertexCount];

void countDirectedEdges() {
    std::memset(directedUse, 0, sizeof directedUse);
    for (const auto& t : planetTriangles)
        for (int k = 0; k < 3; ++k)
            ++directedUse[t[k]][t[(k + 1) % 3]];
}

int undirectedUse(int a, int b) {
    return directedUse[a][b] + directedUse[b][a];
}

// Runs the generator with one argument (none when arg is nullptr), its error stream discarded, and
// returns its exit status, or -1 when it did not exit normally.
int runGenerator(const char* arg) {
    pid_t pid = fork();
    if (pid == 0) {
        int devnull = open("/dev/null", O_WRONLY);
        if (devnull >= 0) dup2(devnull, 2);
        if (arg)
            execl(CORVANE_PLANET_MESH_GEN, CORVANE_PLANET_MESH_GEN, arg, (char*)nullptr);
        else
            execl(CORVANE_PLANET_MESH_GEN, CORVANE_PLANET_MESH_GEN, (char*)nullptr);
        _exit(127);
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

} // namespace

TEST(PlanetMesh, TablesHaveTheStatedSizes) {
    EXPECT_EQ(sizeof planetVertices / sizeof planetVertices[0], 486u);
    EXPECT_EQ(sizeof planetTriangles / sizeof planetTriangles[0], 954u);
}

TEST(PlanetMesh, FirstTwelveVerticesAreTheIcosahedronCorners) {
    const double corners[12][3] = {{0, 100, 0},
                                   {89.44, 44.72, 0},
                                   {27.64, 44.72, -85.07},
                                   {-72.36, 44.72, -52.57},
                                   {-72.36, 44.72, 52.57},
                                   {27.64, 44.72, 85.07},
                                   {72.36, -44.72, -52.57},
                                   {-27.64, -44.72, -85.07},
                                   {-89.44, -44.72, 0},
                                   {-27.64, -44.72, 85.07},
                                   {72.36, -44.72, 52.57},
                                   {0, -100, 0}};
    for (int i = 0; i < 12; ++i)
        for (int k = 0; k < 3; ++k)
            EXPECT_EQ(planetVertices[i][k], corners[i][k]) << "vertex " << i << " axis " << k;
}

TEST(PlanetMesh, FirstTrianglesAreInGenerationOrder) {
    const int32_t first[5][3] = {
        {0, 12, 18}, {12, 13, 188}, {12, 188, 18}, {18, 188, 19}, {13, 14, 189}};
    for (int t = 0; t < 5; ++t)
        for (int k = 0; k < 3; ++k)
            EXPECT_EQ(planetTriangles[t][k], first[t][k]) << "triangle " << t;
}

TEST(PlanetMesh, VerticesLieOnTheSphereToFourSignificantDigits) {
    for (int i = 0; i < kPlanetVertexCount; ++i) {
        EXPECT_NEAR(vertex(i).length(), 100.0, 0.007) << "vertex " << i;
        for (int k = 0; k < 3; ++k) {
            double v = planetVertices[i][k];
            char text[32];
            std::snprintf(text, sizeof text, "%.4g", v);
            EXPECT_EQ(std::strtod(text, nullptr), v) << "vertex " << i << " axis " << k;
        }
    }
}

TEST(PlanetMesh, VerticesAreDistinctAndAllUsed) {
    for (int i = 0; i < kPlanetVertexCount; ++i)
        for (int j = i + 1; j < kPlanetVertexCount; ++j)
            EXPECT_NE(vertex(i), vertex(j)) << "vertices " << i << " and " << j;
    bool used[kPlanetVertexCount] = {};
    for (const auto& t : planetTriangles)
        for (int k = 0; k < 3; ++k) {
            ASSERT_GE(t[k], 0);
            ASSERT_LT(t[k], kPlanetVertexCount);
            used[t[k]] = true;
        }
    for (int i = 0; i < kPlanetVertexCount; ++i)
        EXPECT_TRUE(used[i]) << "vertex " << i;
}

TEST(PlanetMesh, TrianglesFaceOutwardWithEdgesOfStatedLength) {
    for (int t = 0; t < kPlanetTriangleCount; ++t) {
        const int32_t* i = planetTriangles[t];
        Vector3 a = vertex(i[0]), b = vertex(i[1]), c = vertex(i[2]);
        Vector3 normal = (b - a).cross(c - a);
        Vector3 centre = (a + b + c) / 3.0;
        // Outward and roughly along the radius, not merely a grazing positive dot product.
        EXPECT_GT(normal.dot(centre), 0.9 * normal.length() * centre.length()) << "triangle " << t;
        double lengths[3] = {(b - a).length(), (c - b).length(), (a - c).length()};
        // 15.8 to 19.1 to one decimal; an icosahedron edge in sevenths is itself 15.79993.
        for (double l : lengths) {
            EXPECT_GE(l, 15.75) << "triangle " << t;
            EXPECT_LT(l, 19.15) << "triangle " << t;
        }
    }
}

TEST(PlanetMesh, SurfaceIsConsistentlyOrientedWithInteriorEdgesSharedByTwo) {
    countDirectedEdges();
    int edges = 0, boundary = 0;
    for (int a = 0; a < kPlanetVertexCount; ++a) {
        for (int b = a + 1; b < kPlanetVertexCount; ++b) {
            // A directed edge used twice means two neighbours disagree on orientation.
            EXPECT_LE(directedUse[a][b], 1) << a << "->" << b;
            EXPECT_LE(directedUse[b][a], 1) << b << "->" << a;
            int uses = undirectedUse(a, b);
            if (uses == 0) continue;
            ++edges;
            if (uses == 1) ++boundary;
        }
    }
    EXPECT_EQ(boundary, 18);
    // Euler characteristic of a sphere with two openings.
    EXPECT_EQ(kPlanetVertexCount - edges + kPlanetTriangleCount, 0);
}

TEST(PlanetMesh, OpeningsAreTwoRimsOfNineAroundThePoles) {
    countDirectedEdges();
    // Boundary edges, followed in their triangles' direction, form closed loops.
    int nextOnRim[kPlanetVertexCount];
    int rimEdgesAt[kPlanetVertexCount] = {};
    for (int v = 0; v < kPlanetVertexCount; ++v)
        nextOnRim[v] = -1;
    for (int a = 0; a < kPlanetVertexCount; ++a)
        for (int b = 0; b < kPlanetVertexCount; ++b)
            if (directedUse[a][b] == 1 && directedUse[b][a] == 0) {
                EXPECT_EQ(nextOnRim[a], -1) << "vertex " << a << " starts two rim edges";
                nextOnRim[a] = b;
                ++rimEdgesAt[a];
                ++rimEdgesAt[b];
            }
    bool visited[kPlanetVertexCount] = {};
    int loops = 0;
    bool seenNorth = false, seenSouth = false;
    for (int start = 0; start < kPlanetVertexCount; ++start) {
        if (nextOnRim[start] < 0 || visited[start]) continue;
        ++loops;
        int length = 0;
        Vector3 sum;
        int v = start;
        do {
            ASSERT_FALSE(visited[v]) << "rim passes vertex " << v << " twice";
            EXPECT_EQ(rimEdgesAt[v], 2) << "vertex " << v;
            visited[v] = true;
            sum += vertex(v);
            ++length;
            v = nextOnRim[v];
            ASSERT_GE(v, 0) << "rim does not close";
        } while (v != start);
        EXPECT_EQ(length, 9);
        // The rim lies near one pole and winds once around the z axis.
        double side = sum.z > 0 ? 1.0 : -1.0;
        if (side > 0) seenNorth = true;
        if (side < 0) seenSouth = true;
        double winding = 0.0;
        v = start;
        do {
            Vector3 a = vertex(v), b = vertex(nextOnRim[v]);
            EXPECT_GT(a.z * side, 90.0) << "rim vertex " << v;
            winding += std::atan2(a.x * b.y - a.y * b.x, a.x * b.x + a.y * b.y);
            v = nextOnRim[v];
        } while (v != start);
        EXPECT_NEAR(std::fabs(winding), 2.0 * std::acos(-1.0), 1e-9);
    }
    EXPECT_EQ(loops, 2);
    EXPECT_TRUE(seenNorth);
    EXPECT_TRUE(seenSouth);
}

TEST(PlanetMesh, NoTriangleCoversThePoles) {
    for (int t = 0; t < kPlanetTriangleCount; ++t) {
        const int32_t* i = planetTriangles[t];
        Vector3 a = vertex(i[0]), b = vertex(i[1]), c = vertex(i[2]);
        for (double z : {100.0, -100.0}) {
            Vector3 p(0, 0, z);
            bool inside =
                a.cross(b).dot(p) >= 0 && b.cross(c).dot(p) >= 0 && c.cross(a).dot(p) >= 0;
            EXPECT_FALSE(inside) << "triangle " << t << " covers z = " << z;
        }
    }
}

TEST(PlanetMeshGenerator, ReproducesTheCheckedInTablesByteForByte) {
    char path[] = "/tmp/planet_mesh_XXXXXX";
    int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);
    EXPECT_EQ(runGenerator(path), 0);
    std::string generated = testmedia::readText(path);
    std::remove(path);
    std::string checkedIn = testmedia::readText(CORVANE_SOURCE_DIR "/common/planet_mesh.cpp");
    ASSERT_FALSE(checkedIn.empty());
    EXPECT_TRUE(generated == checkedIn) << "regenerate common/planet_mesh.cpp with planet_mesh_gen";
}

TEST(PlanetMeshGenerator, FailsWithoutOutputOrWithUnwritableOutput) {
    EXPECT_EQ(runGenerator(nullptr), 1);
    EXPECT_EQ(runGenerator("/nonexistent-dir/planet_mesh.cpp"), 1);
}
