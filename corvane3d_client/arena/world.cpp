#include "world.h"

#include <cstdio>
#include <cstdlib>

#include "net.h"
#include "planet_mesh.h"
#include "platform.h"
#include "random.h"

namespace {
int32_t itemFromDraw(int m) {
    if (m <= 5) return kItemBomb;
    if (m <= 8) return kItemPower;
    if (m <= 11) return kItemRange;
    if (m <= 13) return kItemRemoteControl;
    if (m == 14) return kItemCloak;
    if (m == 15) return kItemSpeed;
    if (m == 16) return kItemSlow;
    return kItemNone;
}

Vector3 meshVertex(int32_t index) {
    const double* v = planetVertices[index];
    return Vector3(v[0], v[1], v[2]);
}
} // namespace

World::World() {
    if (platform.loadPlanetTexture) {
        planetTexture_ = platform.loadPlanetTexture();
        if (planetTexture_ == 0) {
            std::fputs("Problem loading sphere.png\n", stderr);
            std::exit(1);
        }
    }
}

void World::buildLabyrinth(uint8_t singlePlayer) {
    blocks_.clear();
    if (singlePlayer == 1)
        generateLocal();
    else
        NetFetchLabyrinth(blocks_);
}

void World::generateLocal() {
    int32_t nextId = 1;
    for (int t = 0; t < kPlanetTriangleCount; ++t) {
        Vector3 a[3] = {meshVertex(planetTriangles[t][0]), meshVertex(planetTriangles[t][1]),
                        meshVertex(planetTriangles[t][2])};
        int one = 0;
        int two = 0;
        for (WallBlock* b = blocks_.first(); b; b = blocks_.next()) {
            int s = 0;
            for (int k = 0; k < 3; ++k)
                if (a[k] == b->baseCorner(k)) ++s;
            if (s == 1)
                ++one;
            else if (s == 2)
                ++two;
        }
        double r = nextRandom() / 49150.5 + 0.2 * two - 0.2 * one;
        if (r < 0.5) continue;
        double h = (nextRandom() + 1) / 32767.0 * 5.0 + 4.0;
        int32_t item = itemFromDraw(nextRandom() % 30);
        WallBlock* block = new WallBlock(a[0], a[1], a[2], h);
        block->setId(nextId++);
        block->setItem(item);
        block->setState(0);
        blocks_.append(block);
    }
}

bool World::isFree(Vector3 position, Vector3 heading, Vector3 view) {
    for (WallBlock* b = blocks_.first(); b; b = blocks_.next()) {
        if (b->state() != 0) continue;
        if (b->blocks(position, heading, view)) return false;
    }
    return true;
}

void World::destroyBlock(int32_t id) {
    for (WallBlock* b = blocks_.first(); b; b = blocks_.next()) {
        if (b->id() == id) {
            b->setState(1);
            return;
        }
    }
}

void World::takeItem(int32_t id) {
    for (WallBlock* b = blocks_.first(); b; b = blocks_.next()) {
        if (b->id() == id) {
            b->setItem(kItemNone);
            return;
        }
    }
}

WallBlock* World::firstIntactBlockAt(const Vector3& p) {
    if (!gridBuilt_ || gridRevision_ != blocks_.revision()) {
        grid_.build(blocks_);
        gridBuilt_ = true;
        gridRevision_ = blocks_.revision();
    }
    return grid_.firstIntactContaining(p);
}
