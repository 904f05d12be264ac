// How a car moves over the planet: steering and driving checked against the world's walls, and
// the choice of a start place. Shared by every car the local game moves.
#pragma once

#include <cstdint>

#include "vector3.h"

class Vehicle;
class World;

// The view vector (target - eye) of a camera standing straight above a car at unit position p.
Vector3 overheadView(Vector3 p);

// The heading after one tick of turning: turnInput -4 turns the car to the driver's left
// (counter-clockwise seen from above), +4 to the right, by speed x 4 / 3 degrees.
Vector3 turnedHeading(const Vehicle& car, int32_t turnInput);
// The unit position after one tick of driving: moveInput -1 forward, +1 backward, by speed / 2
// degrees of arc.
Vector3 drivenPosition(const Vehicle& car, int32_t moveInput);

// One tick of steering: turns, then drives, each only when world.isFree allows it with view.
// Recomputes the car's orientation and returns true when either input was non-zero.
bool steerVehicle(World& world, Vehicle& car, int32_t turnInput, int32_t moveInput, Vector3 view);

// True when no wall covers car where it stands and it can take two steps forward or two back.
bool canDriveAway(World& world, const Vehicle& car);

// Puts car on the start circle (y = 0), heading along it: from a random whole degree it tries the
// 360 places in turn for one at least minDegrees of arc from each of the count positions in avoid
// where it can take two steps forward; failing that, two steps backward; failing that, where no
// wall covers it; failing all, the random place. Returns true when it can drive away.
bool placeOnStartCircle(World& world, Vehicle& car, const Vector3* avoid, int count,
                        double minDegrees);
