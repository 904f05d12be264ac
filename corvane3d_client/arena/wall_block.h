// A triangular prism of wall standing on one planet-mesh triangle, with its hidden item and the
// debris it breaks into.
#pragma once

#include <cstdint>

#include "item_kind.h"
#include "list.h"
#include "vector3.h"

struct Quad {
    Vector3 c0, c1, c2, c3;
    Vector3 normal; // for a fragment: its velocity in world units per tick
};

struct Triangle {
    Vector3 c0, c1, c2;
    Vector3 normal;
};

using Fragment = Quad;

class DrawState;

class WallBlock {
  public:
    // Builds base, top, sides, item patch and 13 fragments over ground corners a0, a1, a2 (mesh
    // order, outward) with height divisor h; draws 13 random values for the fragment speeds.
    WallBlock(Vector3 a0, Vector3 a1, Vector3 a2, double h);
    WallBlock(const WallBlock&) = delete;
    WallBlock& operator=(const WallBlock&) = delete;

    uint8_t state() const { return state_; }
    void setState(uint8_t s) { state_ = s; }
    int32_t id() const { return id_; }
    void setId(int32_t id) { id_ = id; }
    int32_t item() const { return item_; }
    void setItem(int32_t item) { item_ = item; }
    int32_t debrisTicks() const { return debrisTicks_; }

    const Vector3& baseCorner(int i) const;
    const Triangle& base() const { return base_; }
    const Triangle& top() const { return top_; }
    const Quad& side(int i) const { return sides_[i]; }
    const Quad& itemQuad() const { return itemQuad_; }
    List<Fragment>& fragments() { return fragments_; }

    // True when p lies over the ground triangle, on the triangle's own side of the planet centre.
    bool contains(const Vector3& p) const;
    // True when a vehicle at position (radius 100) with heading would overlap this block; a block
    // rising along the view vector never blocks.
    bool blocks(Vector3 position, Vector3 heading, Vector3 view) const;
    // Advances the debris of a destroyed block by one tick, 19 times at most.
    void updateDebris();
    // Draws the block at the current detail level.
    void render();
    // The same drawing with its state changes requested through state, which the caller applies
    // once done: blocks drawn in a row then switch state only where they differ.
    void render(DrawState& state);

  private:
    uint8_t state_ = 0;
    int32_t id_ = 0;
    int32_t item_ = 0;
    int32_t debrisTicks_ = 1;
    Quad sides_[3];
    Quad itemQuad_;
    Triangle base_;
    Triangle top_;
    List<Fragment> fragments_;
};
