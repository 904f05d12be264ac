// Writes the planet mesh tables (common/planet_mesh.cpp): a frequency-7 geodesic sphere of radius
// 100 on an icosahedron with a corner at (0, 100, 0), with openings around (0, 0, +-100).
//
// Numbering: the 12 icosahedron corners, then the inner points of the 30 edges (edges in order of
// first appearance while walking the faces, points from the edge's first corner on), then the
// inner points of the 20 faces row by row. Triangles are made face by face, row by row. Points
// along an edge, and along a row between its two edge points, are spaced by equal angles.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int kFrequency = 7;
constexpr int kCornerCount = 12;
constexpr int kEdgeCount = 30;
constexpr int kFaceCount = 20;
constexpr int kEdgeInner = kFrequency - 1;
constexpr int kFaceInner = (kFrequency - 1) * (kFrequency - 2) / 2;
constexpr int kFullVertexCount = kCornerCount + kEdgeCount * kEdgeInner + kFaceCount * kFaceInner;
constexpr int kFullTriangleCount = kFaceCount * kFrequency * kFrequency;
constexpr int kOpeningVertices = 3;
constexpr int kExpectedVertexCount = 486;
constexpr int kExpectedTriangleCount = 954;
constexpr double kRadius = 100.0;

struct Vec {
    double x, y, z;
};

Vec add(Vec a, Vec b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
Vec sub(Vec a, Vec b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
Vec scale(Vec a, double s) {
    return {a.x * s, a.y * s, a.z * s};
}
double dot(Vec a, Vec b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
Vec cross(Vec a, Vec b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

// Point at fraction t of the great-circle arc from unit vector a to unit vector b.
Vec slerp(Vec a, Vec b, double t) {
    double omega = std::acos(dot(a, b));
    double s = std::sin(omega);
    return add(scale(a, std::sin((1.0 - t) * omega) / s), scale(b, std::sin(t * omega) / s));
}

struct Mesh {
    Vec vertices[kFullVertexCount];
    int vertexCount = 0;
    int triangles[kFullTriangleCount][3];
    int triangleCount = 0;
    int edges[kEdgeCount][2];
    int edgeCount = 0;
};

// Unit icosahedron: top corner, upper ring, lower ring (each turning from +x towards -z), bottom.
void makeCorners(Mesh& m) {
    const double pi = std::acos(-1.0);
    const double ringY = 1.0 / std::sqrt(5.0);
    const double ringR = 2.0 / std::sqrt(5.0);
    m.vertices[0] = {0.0, 1.0, 0.0};
    for (int k = 0; k < 5; ++k) {
        double a = -72.0 * k * pi / 180.0;
        m.vertices[1 + k] = {ringR * std::cos(a), ringY, ringR * std::sin(a)};
        double b = (-36.0 - 72.0 * k) * pi / 180.0;
        m.vertices[6 + k] = {ringR * std::cos(b), -ringY, ringR * std::sin(b)};
    }
    m.vertices[11] = {0.0, -1.0, 0.0};
    m.vertexCount = kCornerCount;
}

// Icosahedron faces, each listed so that its corners turn counter-clockwise seen from outside.
void makeFaces(int faces[kFaceCount][3]) {
    int f = 0;
    for (int k = 0; k < 5; ++k) {
        int next = (k + 1) % 5;
        faces[f][0] = 0, faces[f][1] = 1 + k, faces[f][2] = 1 + next, ++f;
    }
    for (int k = 0; k < 5; ++k) {
        int next = (k + 1) % 5;
        faces[f][0] = 1 + k, faces[f][1] = 6 + k, faces[f][2] = 1 + next, ++f;
        faces[f][0] = 1 + next, faces[f][1] = 6 + k, faces[f][2] = 6 + next, ++f;
    }
    for (int k = 0; k < 5; ++k) {
        int next = (k + 1) % 5;
        faces[f][0] = 11, faces[f][1] = 6 + next, faces[f][2] = 6 + k, ++f;
    }
}

// Index of the point at step s (0..kFrequency) from corner a towards corner b; creates the edge's
// inner points when the edge is met for the first time.
int edgePoint(Mesh& m, int a, int b, int s) {
    if (s == 0) return a;
    if (s == kFrequency) return b;
    for (int e = 0; e < m.edgeCount; ++e) {
        int first = kCornerCount + e * kEdgeInner;
        if (m.edges[e][0] == a && m.edges[e][1] == b) return first + s - 1;
        if (m.edges[e][0] == b && m.edges[e][1] == a) return first + kFrequency - s - 1;
    }
    int e = m.edgeCount++;
    m.edges[e][0] = a;
    m.edges[e][1] = b;
    int first = kCornerCount + e * kEdgeInner;
    for (int i = 1; i < kFrequency; ++i)
        m.vertices[first + i - 1] = slerp(m.vertices[a], m.vertices[b], double(i) / kFrequency);
    return first + s - 1;
}

void addTriangle(Mesh& m, int a, int b, int c) {
    int* t = m.triangles[m.triangleCount++];
    t[0] = a, t[1] = b, t[2] = c;
}

// Builds the full geodesic sphere on the unit sphere.
void subdivide(Mesh& m) {
    int faces[kFaceCount][3];
    makeFaces(faces);
    for (int f = 0; f < kFaceCount; ++f) {
        int a = faces[f][0], b = faces[f][1], c = faces[f][2];
        edgePoint(m, a, b, 1);
        edgePoint(m, a, c, 1);
        edgePoint(m, b, c, 1);
    }
    int nextInner = kCornerCount + kEdgeCount * kEdgeInner;
    for (int f = 0; f < kFaceCount; ++f) {
        int a = faces[f][0], b = faces[f][1], c = faces[f][2];
        int rows[kFrequency + 1][kFrequency + 1];
        for (int i = 0; i <= kFrequency; ++i) {
            if (i == kFrequency) {
                for (int j = 0; j <= i; ++j)
                    rows[i][j] = edgePoint(m, b, c, j);
                continue;
            }
            rows[i][0] = edgePoint(m, a, b, i);
            rows[i][i] = edgePoint(m, a, c, i);
            for (int j = 1; j < i; ++j) {
                rows[i][j] = nextInner;
                m.vertices[nextInner++] =
                    slerp(m.vertices[rows[i][0]], m.vertices[rows[i][i]], double(j) / i);
            }
        }
        for (int i = 0; i < kFrequency; ++i) {
            for (int j = 0; j <= i; ++j) {
                addTriangle(m, rows[i][j], rows[i + 1][j], rows[i + 1][j + 1]);
                if (j < i) addTriangle(m, rows[i][j], rows[i + 1][j + 1], rows[i][j + 1]);
            }
        }
    }
    m.vertexCount = nextInner;
}

// True when the unit direction p lies inside or on the border of the spherical triangle t.
bool triangleHolds(const Mesh& m, const int* t, Vec p) {
    const double tolerance = 1e-12;
    for (int k = 0; k < 3; ++k) {
        Vec a = m.vertices[t[k]], b = m.vertices[t[(k + 1) % 3]];
        if (dot(cross(a, b), p) < -tolerance) return false;
    }
    return true;
}

// Marks the corners of the first triangle that holds p.
void markOpening(const Mesh& m, Vec p, bool removed[]) {
    for (int t = 0; t < m.triangleCount; ++t) {
        if (triangleHolds(m, m.triangles[t], p)) {
            for (int k = 0; k < kOpeningVertices; ++k)
                removed[m.triangles[t][k]] = true;
            return;
        }
    }
}

// Drops the marked vertices and every triangle touching them, keeping the order of the rest.
void cutOpenings(Mesh& m, const bool removed[]) {
    int newIndex[kFullVertexCount];
    int kept = 0;
    for (int v = 0; v < m.vertexCount; ++v) {
        newIndex[v] = removed[v] ? -1 : kept;
        if (!removed[v]) m.vertices[kept++] = m.vertices[v];
    }
    m.vertexCount = kept;
    int keptTriangles = 0;
    for (int t = 0; t < m.triangleCount; ++t) {
        const int* src = m.triangles[t];
        if (removed[src[0]] || removed[src[1]] || removed[src[2]]) continue;
        int* dst = m.triangles[keptTriangles++];
        int a = newIndex[src[0]], b = newIndex[src[1]], c = newIndex[src[2]];
        dst[0] = a, dst[1] = b, dst[2] = c;
    }
    m.triangleCount = keptTriangles;
}

// Shortest decimal text of v to four significant digits, with a decimal point; zero is "0.0".
void formatCoordinate(double v, char* out, size_t size) {
    if (std::fabs(v) < 1e-9) v = 0.0;
    std::snprintf(out, size, "%.4g", v);
    if (std::strcmp(out, "-0") == 0) std::snprintf(out, size, "0");
    if (!std::strpbrk(out, ".e")) std::strncat(out, ".0", size - std::strlen(out) - 1);
}

// Scales the unit sphere to the planet radius and rounds each coordinate to four digits.
void roundToRadius(Mesh& m) {
    for (int v = 0; v < m.vertexCount; ++v) {
        double* c[3] = {&m.vertices[v].x, &m.vertices[v].y, &m.vertices[v].z};
        for (double* p : c) {
            char text[32];
            formatCoordinate(*p * kRadius, text, sizeof text);
            *p = std::strtod(text, nullptr);
        }
    }
}

// True when every triangle's normal (A1 - A0) x (A2 - A0) points away from the centre.
bool allOutward(const Mesh& m) {
    for (int t = 0; t < m.triangleCount; ++t) {
        const int* i = m.triangles[t];
        Vec a = m.vertices[i[0]], b = m.vertices[i[1]], c = m.vertices[i[2]];
        Vec n = cross(sub(b, a), sub(c, a));
        if (dot(n, add(add(a, b), c)) <= 0.0) return false;
    }
    return true;
}

bool writeTables(const Mesh& m, const char* path) {
    FILE* f = std::fopen(path, "w");
    if (!f) return false;
    std::fprintf(f, "// Planet mesh tables: frequency-7 geodesic sphere of radius 100, open around "
                    "(0, 0, +-100).\n"
                    "// Generated file, do not edit. To regenerate, build the target "
                    "planet_mesh_gen and run\n"
                    "//   build/planet_mesh_gen common/planet_mesh.cpp\n"
                    "#include \"planet_mesh.h\"\n\n"
                    "// clang-format off\n");
    std::fprintf(f, "const double planetVertices[kPlanetVertexCount][3] = {\n");
    for (int v = 0; v < m.vertexCount; ++v) {
        char x[32], y[32], z[32];
        formatCoordinate(m.vertices[v].x, x, sizeof x);
        formatCoordinate(m.vertices[v].y, y, sizeof y);
        formatCoordinate(m.vertices[v].z, z, sizeof z);
        std::fprintf(f, "    {%s, %s, %s},\n", x, y, z);
    }
    std::fprintf(f, "};\n\nconst int32_t planetTriangles[kPlanetTriangleCount][3] = {\n");
    for (int t = 0; t < m.triangleCount; ++t) {
        const int* i = m.triangles[t];
        std::fprintf(f, "    {%d, %d, %d},\n", i[0], i[1], i[2]);
    }
    std::fprintf(f, "};\n// clang-format on\n");
    bool ok = !std::ferror(f);
    return std::fclose(f) == 0 && ok;
}

} // namespace

// Usage: planet_mesh_gen OUTPUT. Writes the tables to OUTPUT; exit status 0 on success, 1 on a
// usage error, an unwritable output or a mesh that fails its own checks.
int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT\n", argv[0]);
        return 1;
    }
    static Mesh mesh;
    makeCorners(mesh);
    subdivide(mesh);
    bool removed[kFullVertexCount] = {};
    markOpening(mesh, Vec{0.0, 0.0, 1.0}, removed);
    markOpening(mesh, Vec{0.0, 0.0, -1.0}, removed);
    cutOpenings(mesh, removed);
    roundToRadius(mesh);
    if (mesh.vertexCount != kExpectedVertexCount || mesh.triangleCount != kExpectedTriangleCount ||
        !allOutward(mesh)) {
        std::fprintf(stderr, "%s: mesh check failed (%d vertices, %d triangles)\n", argv[0],
                     mesh.vertexCount, mesh.triangleCount);
        return 1;
    }
    if (!writeTables(mesh, argv[1])) {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[1]);
        return 1;
    }
    return 0;
}
