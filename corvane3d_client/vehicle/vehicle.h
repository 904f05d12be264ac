// One player's car on the planet: counters, item flags, place, heading, drawing angles and the hit
// footprint.
#pragma once

#include <cstdint>

#include "vector3.h"

class Vehicle {
  public:
    // Default counters and place, a random colour, and the model's display lists (through the
    // platform hook).
    Vehicle();
    Vehicle(const Vehicle&) = delete;
    Vehicle& operator=(const Vehicle&) = delete;

    // ambient = (r, g, b, 1); diffuse = ambient + 0.2; specular = diffuse + 0.16; no clamping.
    void setColour(double r, double g, double b);
    // Places the car on the great circle y = 0 at a random whole-degree angle; heading unchanged.
    void randomStart();
    // Recomputes latitude, longitude, yaw and both footprint triangles from position and heading.
    void updateOrientation();
    // True when point lies over the footprint, on the car's side of the planet centre.
    bool isHitBy(Vector3 point) const;
    // True when the convex polygon of count corners (in order), seen straight down onto the
    // surface under the car, overlaps the footprint by more than a touching edge; false when any
    // corner lies on the far side of the planet centre.
    bool isTouchedBy(const Vector3* corners, int count) const;
    // Sets energy (at most 5; below 1 becomes 0 and announces PlayerDead); a changed request plays
    // the energy sample.
    void setEnergy(int32_t value);
    // Applies an item's effect, then plays the pick-up sample.
    void pickUpItem(int32_t kind);
    // Stores value, lowered to the bomb capacity when above it.
    void setBombsAvailable(int32_t value);

    Vector3 position() const { return position_; }
    Vector3 heading() const { return heading_; }
    void setPosition(Vector3 p) { position_ = p; }
    void setHeading(Vector3 h) { heading_ = h; }

    int32_t id() const { return id_; }
    void setId(int32_t id) { id_ = id; }
    int32_t bombsAvailable() const { return bombsAvailable_; }
    int32_t bombCapacity() const { return bombCapacity_; }
    void setBombCapacity(int32_t v) { bombCapacity_ = v; }
    int32_t flameRange() const { return flameRange_; }
    void setFlameRange(int32_t v) { flameRange_ = v; }
    int32_t energy() const { return energy_; }
    int32_t speed() const { return speed_; }
    void setSpeed(int32_t v) { speed_ = v; }
    uint8_t remoteControl() const { return remoteControl_; }
    void setRemoteControl(uint8_t v) { remoteControl_ = v; }
    uint8_t cloak() const { return cloak_; }
    void setCloak(uint8_t v) { cloak_ = v; }
    uint8_t drawnWhileCloaked() const { return drawnWhileCloaked_; }
    void setDrawnWhileCloaked(uint8_t v) { drawnWhileCloaked_ = v; }

    double latitude() const { return latitude_; }
    double longitude() const { return longitude_; }
    double yaw() const { return yaw_; }
    const Vector3* footprintA() const { return footprintA_; }
    const Vector3* footprintB() const { return footprintB_; }
    const float* ambient() const { return ambient_; }
    const float* diffuse() const { return diffuse_; }
    const float* specular() const { return specular_; }

    // Draws the car on the planet surface, turned to its heading; a cloaked car not drawn while
    // cloaked draws nothing.
    void draw() const;

  private:
    float ambient_[4] = {0, 0, 0, 1};
    float diffuse_[4] = {0, 0, 0, 1};
    float specular_[4] = {0, 0, 0, 1};
    uint8_t remoteControl_ = 0;
    uint8_t cloak_ = 0;
    uint8_t drawnWhileCloaked_ = 0;
    int32_t bombCapacity_ = 3;
    int32_t bombsAvailable_ = 3;
    int32_t id_ = 1;
    int32_t flameRange_ = 3;
    int32_t energy_ = 5;
    int32_t speed_ = 3;
    Vector3 position_{0, 0, 1};
    Vector3 heading_{0, 1, 0};
    double latitude_ = 0;
    double longitude_ = 0;
    double yaw_ = 0;
    Vector3 footprintA_[3];
    Vector3 footprintB_[3];
};

// Compiles the car model into display lists 1 to 6.
void buildVehicleModel();
