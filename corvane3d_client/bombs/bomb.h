// A dropped bomb: its fuse, its explosion and the three strips of flame it throws over the planet.
#pragma once

#include <cstdint>
#include <vector>

#include "list.h"
#include "vector3.h"

struct FlameQuad {
    Vector3 corner[4]; // counter-clockwise seen from above the planet
    Vector3 normal;    // unit, pointing away from the planet centre
};

class Bomb {
  public:
    // Builds the flame geometry from position (102 x the dropper's unit position), the dropper's
    // heading and range; the fuse runs 3 s from now; takes the next bomb number.
    Bomb(Vector3 position, Vector3 heading, int32_t owner, int32_t range, uint8_t remote);
    Bomb(const Bomb&) = delete;
    Bomb& operator=(const Bomb&) = delete;

    // Sets the flames burning for 2 s from now and plays the explosion sample.
    void explode();
    // Once per tick: an expired fuse sets off a non-remote bomb (announcing it), expired flames
    // finish the bomb (owner becomes negative).
    void update();
    // Draws the bomb (a sphere before, animated flame quads after the explosion); nothing once
    // finished.
    void draw();

    Vector3 position() const { return position_; }
    Vector3 heading() const { return heading_; }
    int32_t owner() const { return owner_; }
    int32_t number() const { return number_; }
    void setNumber(int32_t n) { number_ = n; }
    int32_t range() const { return range_; }
    uint8_t remote() const { return remote_; }
    uint8_t exploded() const { return exploded_; }
    uint8_t hitDone() const { return hitDone_; }
    void setHitDone(uint8_t v) { hitDone_ = v; }
    int64_t deadlineMs() const { return deadlineMs_; }
    int32_t frame() const { return frame_; }
    List<FlameQuad>& flameQuads() { return flameQuads_; }
    // Centre points of strip 0, 1 or 2, nearest first.
    List<Vector3>& flameCentres(int strip) { return flameCentres_[strip]; }

  private:
    void buildFlames();

    Vector3 position_;
    Vector3 heading_;
    List<FlameQuad> flameQuads_;
    List<Vector3> flameCentres_[3];
    int64_t deadlineMs_ = 0;
    int32_t owner_ = 0;
    int32_t range_ = 0;
    int32_t number_ = 0;
    int32_t frame_ = 0;
    uint8_t remote_ = 0;
    uint8_t exploded_ = 0;
    uint8_t hitDone_ = 0;
};

// Appends the 3 x range flame quads of a bomb lying at position (102 x a unit position) dropped
// with heading: strip 0 first (along the dropper's line of travel), nearest quad first.
void buildFlameGeometry(Vector3 position, Vector3 heading, int32_t range,
                        std::vector<FlameQuad>& quads);
// The centre point of a flame quad (the midpoint of its diagonal from corner 0 to corner 2).
Vector3 flameQuadCentre(const FlameQuad& q);

// The next bomb number, 1..100, wrapping.
extern int32_t bombCounter;
// Flame animation textures, one per frame; slot 0 non-zero means loaded.
extern unsigned flameTextures[32];
// Loads data/flame00.png .. data/flame31.png once; failures stay 0 silently.
void loadFlameTextures();
