#include "bomb.h"

#include <cmath>
#include <vector>

#include "clock.h"
#include "net.h"
#include "platform.h"

int32_t bombCounter = 1;

namespace {
const double kPi = 3.141592653589793;
const double kStripTurn = 2.0943951023931953;  // 120 degrees
const double kCornerArc = 0.05235987755982988; // 3 degrees
const int64_t kFuseMs = 3000;
const int64_t kFlameMs = 2000;

// v turned right-handedly by angle (radians) about the line through the origin along axis; a zero
// axis leaves v unchanged.
Vector3 rotated(const Vector3& v, Vector3 axis, double angle) {
    if (axis.length() == 0.0) return v;
    axis.normalize();
    double c = std::cos(angle), s = std::sin(angle);
    return v * c + axis.cross(v) * s + axis * (axis.dot(v) * (1.0 - c));
}
} // namespace

Bomb::Bomb(Vector3 position, Vector3 heading, int32_t owner, int32_t range, uint8_t remote)
    : position_(position), heading_(heading), owner_(owner), range_(range), remote_(remote) {
    buildFlames();
    deadlineMs_ = clockMs() + kFuseMs;
    number_ = bombCounter;
    bombCounter += 1;
    if (bombCounter > 100) bombCounter = 1;
}

void buildFlameGeometry(Vector3 position, Vector3 heading, int32_t range,
                        std::vector<FlameQuad>& quads) {
    Vector3 up = position;
    up.normalize();
    Vector3 axes[3] = {heading, rotated(heading, up, kStripTurn),
                       rotated(heading, up, 2.0 * kStripTurn)};
    Vector3 corners[3];
    for (int j = 0; j < 3; ++j)
        corners[j] = rotated(position, axes[j], kCornerArc);

    for (int i = 0; i < 3; ++i) {
        const Vector3 d0 = corners[(i + 1) % 3];
        const Vector3 e0 = corners[(i + 2) % 3];
        Vector3 dPrev = d0;
        Vector3 ePrev = e0;
        for (int32_t k = 1; k <= range; ++k) {
            double angle = static_cast<double>(k * (-3)) * kPi / 180.0;
            Vector3 d = rotated(d0, axes[i], angle);
            Vector3 e = rotated(e0, axes[i], angle);
            FlameQuad q;
            q.corner[0] = dPrev;
            q.corner[1] = d;
            q.corner[2] = e;
            q.corner[3] = ePrev;
            q.normal = (d - dPrev).cross(e - dPrev);
            q.normal.normalize();
            quads.push_back(q);
            dPrev = d;
            ePrev = e;
        }
    }
}

Vector3 flameQuadCentre(const FlameQuad& q) {
    return q.corner[0] + (q.corner[2] - q.corner[0]) * 0.5;
}

void Bomb::buildFlames() {
    std::vector<FlameQuad> quads;
    buildFlameGeometry(position_, heading_, range_, quads);
    for (size_t n = 0; n < quads.size(); ++n) {
        flameQuads_.append(new FlameQuad(quads[n]));
        flameCentres_[n / range_].append(new Vector3(flameQuadCentre(quads[n])));
    }
}

void Bomb::explode() {
    exploded_ = 1;
    deadlineMs_ = clockMs() + kFlameMs;
    playSample(kSampleExplode);
}

void Bomb::update() {
    if (owner_ < 0) return;
    if (clockMs() - deadlineMs_ < 0) return;
    if (exploded_) {
        owner_ = -owner_;
    } else if (!remote_) {
        explode();
        NetSendBombExploded(owner_, number_);
    }
}
