// Driving a car over the planet with or without sliding along the walls.
#pragma once

#include "vector3.h"

class World;

// Drives the car at unit position with heading by angle (radians of arc about the heading) when
// the world's free test allows it, and then returns true with the new place in *position and
// *heading. With slide set, a refused move is tried again turned by 15, 30, 45, 60 and 75 degrees
// to either side, shortened to the part of the motion along the new direction (cos of the turn),
// and the first free one is made; the heading is carried along with the car. Every place taken is
// free by the same test, and no step is longer than the straight one. Without slide a refused move
// leaves the car where it is.
bool driveCar(World& world, Vector3 view, bool slide, double angle, Vector3* position,
              Vector3* heading);
// Turns the heading by angle (radians) about the position when the world's free test allows
// it, and then returns true with the new heading (and place). With slide set, a refused turn is
// tried again with the car nudged by up to one degree of arc forwards, backwards or sideways, so
// a car touching a wall can still turn away from it; the place taken is free by the same test.
bool turnCar(World& world, Vector3 view, bool slide, double angle, Vector3* position,
             Vector3* heading);
