// The labyrinth generator: picks which triangles of a mesh carry a wall block.
#pragma once

#include <cstdint>

#include "list.h"
#include "protocol.h"

// A triangle mesh given as tables: vertices (x, y, z) and triangles (three vertex indices).
struct MeshTables {
    const double (*vertices)[3] = nullptr;
    int32_t vertexCount = 0;
    const int32_t (*triangles)[3] = nullptr;
    int32_t triangleCount = 0;
};

// The shared planet mesh (486 vertices, 954 triangles).
MeshTables planetMeshTables();

// Empties out, then appends one block per chosen triangle of mesh, in triangle order, with ids
// 1, 2, 3, ... Draws come from draw (values 0..32767): one per triangle for the choice, then, for
// a chosen triangle, one for the item kind and one for the height. Corners are copied bit for bit
// from the vertex table. Triangles naming a vertex outside the table are skipped without a draw.
void generateLabyrinth(List<proto::BlockRecord>& out, const MeshTables& mesh, int (*draw)());

// Item kind for a draw: r modulo 30 through the table of shares (6 bomb, 3 power, 3 range,
// 2 remote control, 1 cloak, 1 speed, 1 slow, 13 none).
int32_t itemKindForDraw(int r);

// Seeds std::rand with the current time in seconds and generates over the planet mesh with it.
void generatePlanetLabyrinth(List<proto::BlockRecord>& out);
