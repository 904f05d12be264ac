#include "driving.h"

#include <cmath>
#include <initializer_list>

#include "random.h"
#include "slide_move.h"
#include "vehicle.h"
#include "world.h"

namespace {
const double kPi = 3.141592653589793;
const double kEyeHeight = 170.0;
const int kStartPlaces = 360;

bool freeAt(World& world, Vector3 position, Vector3 heading) {
    return world.isFree(position * 100.0, heading, overheadView(position));
}

Vector3 circlePlace(int degrees) {
    double theta = degrees * kPi / 180.0;
    return Vector3(std::sin(theta), 0.0, std::cos(theta));
}

bool farFromAll(Vector3 p, const Vector3* avoid, int count, double minDegrees) {
    for (int i = 0; i < count; ++i)
        if (degreesBetween(p, avoid[i]) < minDegrees) return false;
    return true;
}
} // namespace

Vector3 overheadView(Vector3 p) {
    p.normalize();
    return p * 100.0 - p * kEyeHeight;
}

Vector3 turnedHeading(const Vehicle& car, int32_t turnInput) {
    return turnedHeading(car.position(), car.heading(), car.speed(), turnInput);
}

Vector3 turnedHeading(Vector3 position, Vector3 heading, int32_t speed, int32_t turnInput) {
    double angle = -speed * turnInput / 3.0;
    heading.rotateAround(angle * kPi / 180.0, position);
    return heading;
}

Vector3 drivenPosition(const Vehicle& car, int32_t moveInput) {
    return drivenPosition(car.position(), car.heading(), car.speed(), moveInput);
}

Vector3 drivenPosition(Vector3 position, Vector3 heading, int32_t speed, int32_t moveInput) {
    double angle = speed * moveInput / 2.0;
    position.rotateAround(angle * kPi / 180.0, heading);
    return position;
}

bool steerVehicle(World& world, Vehicle& car, int32_t turnInput, int32_t moveInput, Vector3 view,
                  bool slide) {
    if (turnInput != 0) {
        Vector3 heading = turnedHeading(car, turnInput);
        Vector3 position = car.position();
        if (world.isFree(position * 100.0, heading, view)) {
            car.setHeading(heading);
        } else if (slide && nudgeToTurn(world, view, heading, &position, &heading)) {
            car.setPosition(position);
            car.setHeading(heading);
        }
    }
    if (moveInput != 0) {
        Vector3 position = drivenPosition(car, moveInput);
        Vector3 heading = car.heading();
        if (world.isFree(position * 100.0, heading, view)) {
            car.setPosition(position);
        } else if (slide) {
            position = car.position();
            if (slideAlongWall(world, view, car.speed() * moveInput / 2.0 * kPi / 180.0, &position,
                               &heading)) {
                car.setPosition(position);
                car.setHeading(heading);
            }
        }
    }
    if (turnInput == 0 && moveInput == 0) return false;
    car.updateOrientation();
    return true;
}

// True when car can take two steps in direction (-1 forward, +1 backward) from where it stands.
static bool twoStepsFree(World& world, const Vehicle& car, int32_t direction) {
    const Vector3 h = car.heading();
    Vector3 p = car.position();
    for (int step = 0; step < 2; ++step) {
        p.rotateAround(car.speed() * direction / 2.0 * kPi / 180.0, h);
        if (!freeAt(world, p, h)) return false;
    }
    return true;
}

bool canDriveAway(World& world, const Vehicle& car) {
    if (!freeAt(world, car.position(), car.heading())) return false;
    return twoStepsFree(world, car, -1) || twoStepsFree(world, car, 1);
}

bool placeOnStartCircle(World& world, Vehicle& car, const Vector3* avoid, int count,
                        double minDegrees) {
    const int first = nextRandom() % kStartPlaces;
    car.setHeading(Vector3(0, 1, 0));
    // Places by preference: forward open, backward open, free, none of these.
    int best[3] = {-1, -1, -1};
    for (int k = 0; k < kStartPlaces && best[0] < 0; ++k) {
        const int degrees = (first + k) % kStartPlaces;
        car.setPosition(circlePlace(degrees));
        if (!farFromAll(car.position(), avoid, count, minDegrees) ||
            !freeAt(world, car.position(), car.heading()))
            continue;
        int kind = twoStepsFree(world, car, -1) ? 0 : twoStepsFree(world, car, 1) ? 1 : 2;
        if (best[kind] < 0) best[kind] = degrees;
    }
    int chosen = first;
    for (int kind = 2; kind >= 0; --kind)
        if (best[kind] >= 0) chosen = best[kind];
    car.setPosition(circlePlace(chosen));
    car.updateOrientation();
    return chosen == best[0] || chosen == best[1];
}
