// What the player is shown when cars are hit: a half-second flash of a car that lost energy, red
// edges of the view for the local car, and a short explosion where a car's energy ran out.
#pragma once

#include <cstdint>

#include "list.h"
#include "vector3.h"

class Vehicle;
class Bomb;

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
    // record is forgotten first. When the opponents' energies are not known here (multi player,
    // where each client keeps its own car's), they are estimated instead: one unit less for every
    // bomb whose flames touch an opponent, as its own client counts it, but never below 1 while it
    // plays on.
    void observe(const Vehicle& local, List<Vehicle>& opponents, List<Bomb>& bombs,
                 bool energiesKnown, int32_t startTicks, int64_t nowMs);
    // The energy shown for opponent id: its own, or the estimate; -1 for a car not seen.
    int32_t energyOf(int32_t id) const;
    // True in the bright phases of car id's flash (three bright blinks over kFlashMs, bright
    // first).
    bool flashOn(int32_t id, int64_t nowMs) const;
    // Strength of the red edges, 1 right after the local car was hit, falling to 0 at kFlashMs.
    double edgeLevel(int64_t nowMs) const;
    // Explosions still burning at nowMs, oldest first; count returned, at most kCapacity.
    int explosions(int64_t nowMs, const Explosion** list) const;
    // Forgets every car, flash and explosion.
    void reset();

  private:
    static constexpr int kBombMemory = 16;
    struct Seen {
        int32_t id = 0;
        int32_t energy = 0;
        Vector3 position;
        int64_t flashStartMs = -1;
        bool present = false;
        int32_t bombsFelt[kBombMemory] = {}; // owner x 1000 + number of the bombs counted
        int bombsFeltNext = 0;
    };
    Seen* find(int32_t id);
    void track(const Vehicle& v, List<Bomb>& bombs, bool energyKnown, int64_t nowMs);
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
