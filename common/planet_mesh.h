// The planet mesh: a static geodesic sphere of radius 100 shared by client and server.
#pragma once
#include <cstdint>
constexpr int kPlanetVertexCount = 486;
constexpr int kPlanetTriangleCount = 954;
// Vertices of the planet mesh on the sphere of radius 100, to four significant digits.
extern const double planetVertices[kPlanetVertexCount][3];
// Triangles as vertex indices, each ordered so that (A1 - A0) x (A2 - A0) points outward.
extern const int32_t planetTriangles[kPlanetTriangleCount][3];
