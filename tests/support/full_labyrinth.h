// A labyrinth with a block on every one of the planet's 954 triangles: the heaviest the game meets.
#pragma once

#include "item_kind.h"
#include "list.h"
#include "planet_mesh.h"
#include "wall_block.h"

namespace testworld {

// Empties blocks, then appends one block per planet triangle in mesh order: ids 1..954, heights
// 4..9 and items bomb..slow in turn.
inline void fillPlanet(List<WallBlock>& blocks) {
    blocks.clear();
    for (int t = 0; t < kPlanetTriangleCount; ++t) {
        Vector3 corner[3];
        for (int k = 0; k < 3; ++k) {
            const double* v = planetVertices[planetTriangles[t][k]];
            corner[k] = Vector3(v[0], v[1], v[2]);
        }
        WallBlock* b = new WallBlock(corner[0], corner[1], corner[2], 4.0 + t % 6);
        b->setId(t + 1);
        b->setItem(kItemBomb + t % 7);
        blocks.append(b);
    }
}

} // namespace testworld
