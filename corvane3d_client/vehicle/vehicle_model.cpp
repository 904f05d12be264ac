#include "vehicle_model.h"

#include <cmath>

namespace {
// Body parts, symmetric about the plane x = 9.49469; the nose (the end the car drives towards)
// lies at y = -29.91, the rear at y = -14.24.
const float kRearDeckVertices[][3] = {{3.50969f, -21.61f, 5.33f},
                                      {15.47969f, -21.61f, 5.33f},
                                      {13.87969f, -15.3f, 4.3f},
                                      {5.10969f, -15.3f, 4.3f},
                                      {9.49469f, -14.24f, 0.0f}};
const int kRearDeckTriangles[][3] = {{0, 4, 1}, {0, 3, 4}, {1, 4, 2},
                                     {2, 4, 3}, {0, 1, 2}, {0, 2, 3}};
const float kRearGlassVertices[][3] = {{3.50969f, -21.61f, 7.24f},
                                       {15.47969f, -21.61f, 7.24f},
                                       {9.49469f, -16.76f, 4.9f},
                                       {9.49469f, -20.5f, 0.64f}};
const int kRearGlassTriangles[][3] = {{0, 1, 2}, {0, 3, 1}, {0, 2, 3}, {1, 3, 2}};
const float kRoofVertices[][3] = {{3.50969f, -21.61f, 7.82f},
                                  {15.47969f, -21.61f, 7.82f},
                                  {9.49469f, -26.81f, 5.3f},
                                  {9.49469f, -22.2f, 0.64f}};
const int kRoofTriangles[][3] = {{0, 2, 1}, {0, 1, 3}, {0, 3, 2}, {1, 2, 3}};
const float kNoseVertices[][3] = {{3.50969f, -21.61f, 6.24f},
                                  {15.47969f, -21.61f, 6.24f},
                                  {13.77969f, -28.6f, 4.5f},
                                  {5.20969f, -28.6f, 4.5f},
                                  {9.49469f, -29.91f, 0.64f}};
const int kNoseTriangles[][3] = {{0, 1, 4}, {0, 4, 3}, {1, 2, 4}, {2, 3, 4}, {0, 2, 1}, {0, 3, 2}};

// Wheel: a disc of 47 facets around the X axis, each rim ring closed by repeating its first
// vertex, with a slightly domed hub on both faces.
const int kWheelSegments = 47;
const int kWheelRing = kWheelSegments + 1;
const int kWheelVertexCount = 2 * kWheelRing + 2;
const int kWheelTriangleCount = 4 * kWheelSegments;
const double kWheelCentre[3] = {-3.485, -26.725, 1.09};
const double kWheelRadius = 2.615;
const double kWheelHalfWidth = 0.68;
const double kWheelHubHalfWidth = 0.765;

float wheelVertices[kWheelVertexCount][3];
int wheelTriangles[kWheelTriangleCount][3];

void buildWheelTables() {
    const double pi = 3.141592653589793;
    int outer = 0;          // ring at x = centre - half width (outer ring index base)
    int inner = kWheelRing; // ring at x = centre + half width
    int hubLow = 2 * kWheelRing;
    int hubHigh = hubLow + 1;
    for (int i = 0; i < kWheelRing; ++i) {
        double a = 2.0 * pi * (i % kWheelSegments) / kWheelSegments;
        float y = static_cast<float>(kWheelCentre[1] + kWheelRadius * std::cos(a));
        float z = static_cast<float>(kWheelCentre[2] + kWheelRadius * std::sin(a));
        float* lo = wheelVertices[outer + i];
        float* hi = wheelVertices[inner + i];
        lo[0] = static_cast<float>(kWheelCentre[0] - kWheelHalfWidth);
        hi[0] = static_cast<float>(kWheelCentre[0] + kWheelHalfWidth);
        lo[1] = hi[1] = y;
        lo[2] = hi[2] = z;
    }
    float* hl = wheelVertices[hubLow];
    float* hh = wheelVertices[hubHigh];
    hl[0] = static_cast<float>(kWheelCentre[0] - kWheelHubHalfWidth);
    hh[0] = static_cast<float>(kWheelCentre[0] + kWheelHubHalfWidth);
    hl[1] = hh[1] = static_cast<float>(kWheelCentre[1]);
    hl[2] = hh[2] = static_cast<float>(kWheelCentre[2]);

    // The angle turns from +Y towards +Z, that is anticlockwise seen from +X.
    int t = 0;
    for (int i = 0; i < kWheelSegments; ++i) {
        int lo0 = outer + i, lo1 = outer + i + 1, hi0 = inner + i, hi1 = inner + i + 1;
        int tread[2][3] = {{lo0, lo1, hi1}, {lo0, hi1, hi0}};
        int sideHigh[3] = {hubHigh, hi0, hi1};
        int sideLow[3] = {hubLow, lo1, lo0};
        for (int k = 0; k < 3; ++k) {
            wheelTriangles[t][k] = tread[0][k];
            wheelTriangles[t + 1][k] = tread[1][k];
            wheelTriangles[t + 2][k] = sideHigh[k];
            wheelTriangles[t + 3][k] = sideLow[k];
        }
        t += 4;
    }
}

ModelMesh makeMesh(const float (*v)[3], int vn, const int (*t)[3], int tn) {
    ModelMesh m;
    m.vertices = v;
    m.vertexCount = vn;
    m.triangles = t;
    m.triangleCount = tn;
    return m;
}

template <int VN, int TN> ModelMesh makeMesh(const float (&v)[VN][3], const int (&t)[TN][3]) {
    return makeMesh(v, VN, t, TN);
}
} // namespace

const ModelMesh& vehicleModelMesh(int listId) {
    static const ModelMesh empty = makeMesh(nullptr, 0, nullptr, 0);
    static const ModelMesh rearDeck = makeMesh(kRearDeckVertices, kRearDeckTriangles);
    static const ModelMesh rearGlass = makeMesh(kRearGlassVertices, kRearGlassTriangles);
    static const ModelMesh roof = makeMesh(kRoofVertices, kRoofTriangles);
    static const ModelMesh nose = makeMesh(kNoseVertices, kNoseTriangles);
    static const ModelMesh wheel = [] {
        buildWheelTables();
        return makeMesh(wheelVertices, wheelTriangles);
    }();
    switch (listId) {
    case kListRearDeck:
        return rearDeck;
    case kListRearGlass:
        return rearGlass;
    case kListRoof:
        return roof;
    case kListNose:
        return nose;
    case kListWheel:
        return wheel;
    default:
        return empty;
    }
}
