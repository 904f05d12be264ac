#include "labyrinth.h"

#include <cstdlib>
#include <ctime>

#include "planet_mesh.h"
#include "random.h"

namespace {

constexpr double kChoiceDivisor = 49150.5;
constexpr double kNeighbourWeight = 0.2;

bool triangleIsValid(const MeshTables& mesh, int32_t t) {
    for (int j = 0; j < 3; ++j) {
        int32_t v = mesh.triangles[t][j];
        if (v < 0 || v >= mesh.vertexCount) return false;
    }
    return true;
}

} // namespace

MeshTables planetMeshTables() {
    MeshTables mesh;
    mesh.vertices = planetVertices;
    mesh.vertexCount = kPlanetVertexCount;
    mesh.triangles = planetTriangles;
    mesh.triangleCount = kPlanetTriangleCount;
    return mesh;
}

int32_t itemKindForDraw(int r) {
    int k = r % 30;
    if (k < 0) k += 30;
    if (k <= 5) return 1;
    if (k <= 8) return 2;
    if (k <= 11) return 3;
    if (k <= 13) return 4;
    if (k == 14) return 5;
    if (k == 15) return 6;
    if (k == 16) return 7;
    return 0;
}

void generateLabyrinth(List<proto::BlockRecord>& out, const MeshTables& mesh, int (*draw)()) {
    out.clear();
    int32_t nextId = 1;
    for (int32_t t = 0; t < mesh.triangleCount; ++t) {
        if (!triangleIsValid(mesh, t)) continue;
        double X[3], Y[3], Z[3];
        for (int j = 0; j < 3; ++j) {
            const double* v = mesh.vertices[mesh.triangles[t][j]];
            X[j] = v[0];
            Y[j] = v[1];
            Z[j] = v[2];
        }

        int c1 = 0, c2 = 0;
        for (proto::BlockRecord* r = out.first(); r; r = out.atEnd() ? nullptr : out.next()) {
            int k = 0;
            for (int j = 0; j < 3; ++j) {
                if (X[j] == r->x[j] && Y[j] == r->y[j] && Z[j] == r->z[j]) ++k;
            }
            if (k == 1) ++c1;
            if (k == 2) ++c2;
        }

        double p = draw() / kChoiceDivisor;
        p += kNeighbourWeight * c2;
        p -= kNeighbourWeight * c1;
        if (p < 0.5) continue;

        auto* rec = new proto::BlockRecord;
        rec->id = nextId++;
        rec->item = itemKindForDraw(draw());
        rec->height = (draw() + 1) / 32767.0 * 5 + 4;
        for (int j = 0; j < 3; ++j) {
            rec->x[j] = X[j];
            rec->y[j] = Y[j];
            rec->z[j] = Z[j];
        }
        out.append(rec);
    }
}

void generatePlanetLabyrinth(List<proto::BlockRecord>& out) {
    std::srand(static_cast<unsigned>(std::time(nullptr)));
    generateLabyrinth(out, planetMeshTables(), nextRandom);
}
