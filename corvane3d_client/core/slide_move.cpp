#include "slide_move.h"

#include <cmath>

#include "world.h"

namespace {
const double kPi = 3.141592653589793;
const int kTurns = 5;
const double kTurnStep = 15.0 * kPi / 180.0;
} // namespace

bool driveCar(World& world, Vector3 view, bool slide, double angle, Vector3* position,
              Vector3* heading) {
    Vector3 straight = *position;
    straight.rotateAround(angle, *heading);
    if (world.isFree(straight * 100.0, *heading, view)) {
        *position = straight;
        return true;
    }
    if (!slide) return false;
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
