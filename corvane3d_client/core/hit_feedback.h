// What the player is shown when cars are hit: a half-second flash of a car that lost energy, red
// edges of the view for the local car, and a short explosion where a car's energy ran out.
#pragma once

#include <cstdint>

#include "list.h"
#include "vector3.h"

class Vehicle;

struct Explosion {
    Vector3 position; // unit vector of the car's place
    int64_t startMs = 0;
};

class HitFeedback {
  public:
    static constexpr int64_t kFlashMs = 500;
    static constexpr int64_t kExplosionMs = 1200;
    static constexpr int kCapacity = 16;

    // Compares the cars with the previous call at nowMs: a car whose energy dropped starts to
    // flash; an opponent that vanished with 1 energy or less, or the local car reaching 0, bursts
    // into an explosion (with the explosion sample). startTicks falling means a new game: every
    // record is forgotten first.
    void observe(const Vehicle& local, List<Vehicle>& opponents, int32_t startTicks, int64_t nowMs);
    // True in the bright phases of car id's flash (four blinks over kFlashMs).
    bool flashOn(int32_t id, int64_t nowMs) const;
    // Strength of the red edges, 1 right after the local car was hit, falling to 0 at kFlashMs.
    double edgeLevel(int64_t nowMs) const;
    // Explosions still burning at nowMs, oldest first; count returned, at most kCapacity.
    int explosions(int64_t nowMs, const Explosion** list) const;
    // Forgets every car, flash and explosion.
    void reset();

  private:
    struct Seen {
        int32_t id = 0;
        int32_t energy = 0;
        Vector3 position;
        int64_t flashStartMs = -1;
        bool present = false;
    };
    Seen* find(int32_t id);
    void track(const Vehicle& v, int64_t nowMs);
    void burst(Vector3 position, int64_t nowMs);

    Seen seen_[kCapacity];
    int seenCount_ = 0;
    int32_t localId_ = 0;
    int32_t localEnergy_ = -1;
    int64_t localHitMs_ = -1;
    int32_t lastStartTicks_ = 0;
    Explosion explosions_[kCapacity];
    int explosionCount_ = 0;
};
