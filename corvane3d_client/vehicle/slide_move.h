// HANDLING: SLIDE: what a car does when a wall refuses its move or its turn.
#pragma once

#include "vector3.h"

class World;

// A car at unit position with heading was refused a straight move by angle (radians of arc about
// the heading): tries the move turned by 15, 30, 45, 60 and 75 degrees to either side, shortened
// to the part of the motion along the new direction (cos of the turn), and makes the first one
// the world's free test allows, carrying the heading along; false (nothing changed) when none is
// free. No step is longer than the straight one.
bool slideAlongWall(World& world, Vector3 view, double angle, Vector3* position, Vector3* heading);
// A car at unit position was refused the turn to heading turned: tries the turn with the car
// nudged by half a degree, then a degree of arc forwards, backwards or to either side, and makes
// the first one the world's free test allows; false (nothing changed) when none is free.
bool nudgeToTurn(World& world, Vector3 view, Vector3 turned, Vector3* position, Vector3* heading);
