// The planet and its labyrinth of wall blocks for the current game.
#pragma once

#include <cstdint>

#include "block_grid.h"
#include "list.h"
#include "vector3.h"
#include "wall_block.h"

class World {
  public:
    // Loads the planet texture through the platform; when a loader is installed and fails, prints
    // "Problem loading sphere.png" and ends the program with status 1.
    World();
    World(const World&) = delete;
    World& operator=(const World&) = delete;

    // Discards every block, then generates a labyrinth locally (singlePlayer 1) or fetches the
    // server's (otherwise; stays empty when that fails).
    void buildLabyrinth(uint8_t singlePlayer);
    // False when an intact block would overlap a vehicle at position with heading.
    bool isFree(Vector3 position, Vector3 heading, Vector3 view);
    // Marks the first block with that id destroyed; unknown ids change nothing.
    void destroyBlock(int32_t id);
    // Clears the item of the first block with that id; unknown ids change nothing.
    void takeItem(int32_t id);
    // The first intact block in list order that contains p, or nullptr: what testing every block
    // in order answers, looked up by position.
    WallBlock* firstIntactBlockAt(const Vector3& p);
    // Draws every block, then the planet.
    void render();

    List<WallBlock>& blocks() { return blocks_; }
    unsigned planetTexture() const { return planetTexture_; }
    double radius() const { return radius_; }
    int32_t slices() const { return slices_; }
    int32_t stacks() const { return stacks_; }

  private:
    void generateLocal();

    double radius_ = 100.0;
    int32_t slices_ = 36;
    int32_t stacks_ = 36;
    List<WallBlock> blocks_;
    BlockGrid grid_;
    bool gridBuilt_ = false;
    uint32_t gridRevision_ = 0;
    unsigned planetTexture_ = 0;
};

// Item, smoke and wall textures, indexed 1..9 (index 0 unused).
extern unsigned itemTextures[10];
// Loads the nine arena pictures once; a second call loads nothing.
void loadArenaTextures();
// Loads data/sphere.png as the planet texture and returns its name, 0 when it cannot be loaded.
unsigned loadPlanetTexture();
