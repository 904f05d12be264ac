#include "target_arrow.h"

#include <cmath>

#include "vehicle.h"

namespace {
const double kPi = 3.141592653589793;
const double kPlanetRadius = 100.0;
const double kDesignWidth = 320.0;
const double kDesignHeight = 256.0;
const double kInset = 16.0;
// The targets-left counter sits along the top edge.
const double kTopInset = 30.0;
// The bomb icons stand in a column along the right edge, up to ten high.
const double kRightInset = 36.0;
// The energy bar and the remote-control and cloak icons fill the bottom corners: an arrow on a
// side keeps above them, an arrow on the bottom edge keeps between them.
const double kCornerTop = 70.0;
const double kBottomFrom = 36.0;
const double kBottomTo = 268.0;
// Past this fraction of the half view an opponent on screen starts to bring its arrow back.
const double kFadeFrom = 0.7;

struct Basis {
    Vector3 side, up, forward;
};

Basis basisOf(const ViewFrame& view) {
    Basis b;
    b.forward = view.target - view.eye;
    b.forward.normalize();
    b.side = b.forward.cross(view.up);
    b.side.normalize();
    b.up = b.side.cross(b.forward);
    return b;
}
} // namespace

const Vehicle* nearestOpponent(Vector3 from, List<Vehicle>& opponents) {
    const Vehicle* best = nullptr;
    double bestCosine = -2.0;
    for (Vehicle* v = opponents.first(); v; v = opponents.next()) {
        const bool hidden = v->cloak() == 1 && v->drawnWhileCloaked() == 0;
        if (v->energy() > 0 && !hidden) {
            Vector3 p = v->position();
            p.normalize();
            const double c = p.dot(from);
            if (c > bestCosine) {
                bestCosine = c;
                best = v;
            }
        }
        if (opponents.atEnd()) break;
    }
    return best;
}

bool projectPoint(const ViewFrame& view, Vector3 p, double* ndcX, double* ndcY) {
    const Basis b = basisOf(view);
    const Vector3 d = p - view.eye;
    const double depth = d.dot(b.forward);
    if (depth <= 1e-9) return false;
    const double t = std::tan(view.fovY * kPi / 360.0);
    *ndcX = d.dot(b.side) / (depth * t * view.aspect);
    *ndcY = d.dot(b.up) / (depth * t);
    return true;
}

ArrowPlacement placeArrow(const ViewFrame& view, Vector3 from, Vector3 to) {
    ArrowPlacement a;
    from.normalize();
    to.normalize();
    const Vector3 ground = to * kPlanetRadius;
    double nx = 0, ny = 0;
    // Seen from the eye, the point is on the near side of the planet when the eye stands above
    // the point's horizon.
    const bool nearSide = view.eye.dot(to) > kPlanetRadius;
    const bool inFront = projectPoint(view, ground, &nx, &ny);
    double dx, dy;
    if (nearSide && inFront) {
        const double reach = std::fmax(std::fabs(nx), std::fabs(ny));
        a.alpha = static_cast<float>(
            std::fmin(1.0, std::fmax(0.0, (reach - kFadeFrom) / (1.0 - kFadeFrom))));
        dx = nx * kDesignWidth / 2;
        dy = ny * kDesignHeight / 2;
    } else {
        a.alpha = 1.0f;
        const Basis b = basisOf(view);
        const Vector3 along = to - from * to.dot(from);
        dx = along.dot(b.side) / view.aspect * kDesignWidth / 2;
        dy = along.dot(b.up) * kDesignHeight / 2;
    }
    if (std::fabs(dx) < 1e-9 && std::fabs(dy) < 1e-9) dy = 1.0;
    a.shown = a.alpha > 0.0f;
    const double hx = kDesignWidth / 2 - (dx > 0 ? kRightInset : kInset);
    const double hy = kDesignHeight / 2 - (dy > 0 ? kTopInset : kInset);
    const double tx = std::fabs(dx) > 1e-12 ? hx / std::fabs(dx) : 1e300;
    const double ty = std::fabs(dy) > 1e-12 ? hy / std::fabs(dy) : 1e300;
    const double t = std::fmin(tx, ty);
    double x = kDesignWidth / 2 + dx * t;
    double y = kDesignHeight / 2 + dy * t;
    if (tx <= ty)
        y = std::fmax(y, kCornerTop);
    else if (dy < 0)
        x = std::fmin(std::fmax(x, kBottomFrom), kBottomTo);
    a.x = static_cast<float>(x);
    a.y = static_cast<float>(y);
    a.angle = static_cast<float>(std::atan2(dy, dx));
    return a;
}
