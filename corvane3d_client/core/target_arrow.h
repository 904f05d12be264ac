// Where the arrow to the nearest opponent goes: the choice of opponent and its placement at the
// edge of the game view, in the 320 x 256 design space of the heads-up display.
#pragma once

#include "list.h"
#include "vector3.h"

class Vehicle;

// The camera of a frame as gluLookAt and gluPerspective see it.
struct ViewFrame {
    Vector3 eye;
    Vector3 target;
    Vector3 up{0, 1, 0};
    double fovY = 80.0; // degrees
    double aspect = 1.3;
};

struct ArrowPlacement {
    bool shown = false;
    float x = 0, y = 0; // design space, origin bottom-left
    float angle = 0;    // radians, 0 points right, counter-clockwise
    float alpha = 0;    // 1 off screen, fading to 0 as the opponent comes well inside the view
};

// The opponent nearest to from along the planet that is alive (energy above 0) and can be seen
// (not cloaked, or drawn while cloaked); nullptr when there is none.
const Vehicle* nearestOpponent(Vector3 from, List<Vehicle>& opponents);
// Normalised device coordinates of the world point p; false when p is behind the eye.
bool projectPoint(const ViewFrame& view, Vector3 p, double* ndcX, double* ndcY);
// The arrow from the centre of the view towards the car at unit position to, seen from the car
// at unit position from: on the edge of the view, inset by 16 design units (30 at the top, below
// the targets-left counter, 36 on the right, clear of the bomb icons) and clear of the bottom
// corners' icons; not shown while the opponent stands well inside the view on the near side of
// the planet.
ArrowPlacement placeArrow(const ViewFrame& view, Vector3 from, Vector3 to);
