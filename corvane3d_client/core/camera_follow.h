// The smooth camera: the eye glides after the car on a critically damped spring, so its angular
// speed never jumps, and the up direction is carried along with the eye instead of being fixed to
// +Y, so the view does not spin over the poles.
#pragma once

#include <cstdint>

#include "vector3.h"

struct SmoothCamera {
    static constexpr double kEyeHeight = 170.0;
    // Time for the eye to close most of a sudden gap, in seconds; at a steady speed the eye trails
    // the car by about speed x kSmoothTime.
    static constexpr double kSmoothTime = 0.08;

    Vector3 direction; // unit direction of the eye from the planet centre
    Vector3 velocity;  // rate of change of direction, per second
    Vector3 lastEye;   // the eye this follower set last; any other eye restarts it
    int64_t lastMs = 0;
    bool running = false;
};

// Moves the eye (at height kEyeHeight) a step after the car at unit position p for the time since
// the last call, carries up along with it and aims the target at the surface under the car. An eye
// set by someone else since the last call (a game start) restarts the follower there at rest, with
// up taken from +Y.
void followSmoothly(SmoothCamera* state, Vector3 p, int64_t nowMs, Vector3* eye, Vector3* target,
                    Vector3* up);
