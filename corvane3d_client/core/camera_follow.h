// The smooth camera: the eye glides after the car on a critically damped spring, so its angular
// speed never jumps, and the up direction is carried along with the car instead of being fixed to
// +Y, turning after the car's forward direction, so the view never spins over the poles and the
// up arrow always drives up the screen.
#pragma once

#include <cstdint>

#include "vector3.h"

struct SmoothCamera {
    static constexpr double kEyeHeight = 170.0;
    // Time for the eye to close most of a sudden gap, in seconds; at a steady speed the eye trails
    // the car by about speed x kSmoothTime.
    static constexpr double kSmoothTime = 0.08;
    // Time for up to close most of the turn towards the car's forward direction, in seconds.
    static constexpr double kTurnTime = 0.25;

    Vector3 direction; // unit direction of the eye from the planet centre
    Vector3 velocity;  // rate of change of direction, per second
    Vector3 lastEye;   // the eye this follower set last; any other eye restarts it
    int64_t lastMs = 0;
    bool running = false;
};

// Moves the eye (at height kEyeHeight) a step after the car at unit position p for the time since
// the last call, carries up along with it, turning it towards forward (the car's direction of
// travel; a zero vector keeps up as carried) and aims the target at the surface under the car. An
// eye set by someone else since the last call (a game start) restarts the follower there at rest,
// with up along forward (or +Y without one).
void followSmoothly(SmoothCamera* state, Vector3 p, Vector3 forward, int64_t nowMs, Vector3* eye,
                    Vector3* target, Vector3* up);
