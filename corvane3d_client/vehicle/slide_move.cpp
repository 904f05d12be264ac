#include "slide_move.h"

#include <cmath>

#include "world.h"

namespace {
const double kPi = 3.141592653589793;
const int kTurns = 5;
const double kTurnStep = 15.0 * kPi / 180.0;
const double kNudges[2] = {0.5 * kPi / 180.0, 1.0 * kPi / 180.0};
} // namespace

bool slideAlongWall(World& world, Vector3 view, double angle, Vector3* position, Vector3* heading) {
    for (int k = 1; k <= kTurns; ++k) {
        for (int side = 1; side >= -1; side -= 2) {
            const double turn = side * k * kTurnStep;
            Vector3 axis = *heading;
            axis.rotateAround(turn, *position);
            const double step = angle * std::cos(turn);
            Vector3 p = *position;
            p.rotateAround(step, axis);
            Vector3 h = *heading;
            h.rotateAround(step, axis);
            if (world.isFree(p * 100.0, h, view)) {
                *position = p;
                *heading = h;
                return true;
            }
        }
    }
    return false;
}

bool nudgeToTurn(World& world, Vector3 view, Vector3 turned, Vector3* position, Vector3* heading) {
    const Vector3 across = position->cross(turned);
    const Vector3 axes[4] = {turned, turned * -1.0, across, across * -1.0};
    for (double nudge : kNudges) {
        for (const Vector3& axis : axes) {
            Vector3 p = *position;
            p.rotateAround(nudge, axis);
            Vector3 h = turned;
            h.rotateAround(nudge, axis);
            if (world.isFree(p * 100.0, h, view)) {
                *position = p;
                *heading = h;
                return true;
            }
        }
    }
    return false;
}
