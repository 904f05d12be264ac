#include "camera_follow.h"

#include <cmath>

namespace {
const double kLongestStep = 0.1; // seconds; a stalled frame does not fling the eye

// v without its component along unit n, scaled to unit length; fallback when nothing is left.
Vector3 tangent(Vector3 v, const Vector3& n, Vector3 fallback) {
    v -= n * v.dot(n);
    if (v.length() < 1e-9) {
        v = fallback - n * fallback.dot(n);
        if (v.length() < 1e-9) v = Vector3(n.z, n.x, n.y) - n * Vector3(n.z, n.x, n.y).dot(n);
    }
    v.normalize();
    return v;
}
} // namespace

void followSmoothly(SmoothCamera* s, Vector3 p, Vector3 forward, int64_t nowMs, Vector3* eye,
                    Vector3* target, Vector3* up) {
    const bool steered = forward.length() > 1e-9;
    p.normalize();
    *target = p * 100.0;
    if (!s->running || *eye != s->lastEye) {
        s->direction = *eye;
        s->direction.normalize();
        if (s->direction.length() == 0.0) s->direction = p;
        s->velocity = Vector3();
        s->lastMs = nowMs;
        s->running = true;
        *up = tangent(steered ? forward : Vector3(0, 1, 0), s->direction, Vector3(0, 0, 1));
    }
    double dt = static_cast<double>(nowMs - s->lastMs) / 1000.0;
    s->lastMs = nowMs;
    if (dt < 0) dt = 0;
    if (dt > kLongestStep) dt = kLongestStep;

    const double omega = 2.0 / SmoothCamera::kSmoothTime;
    const double x = omega * dt;
    const double decay = 1.0 / (1.0 + x + 0.48 * x * x + 0.235 * x * x * x);
    const Vector3 gap = s->direction - p;
    const Vector3 pull = (s->velocity + gap * omega) * dt;
    s->velocity = (s->velocity - pull * omega) * decay;
    Vector3 d = p + (gap + pull) * decay;
    d.normalize();
    if (d.length() == 0.0) d = p;
    s->velocity -= d * s->velocity.dot(d);

    *up = tangent(*up, d, s->direction);
    if (steered) {
        const Vector3 ahead = tangent(forward, d, *up);
        Vector3 turned = *up + (ahead - *up) * (1.0 - std::exp(-dt / SmoothCamera::kTurnTime));
        // Half-way round, the blend would pass through zero: turn by a right angle first.
        if (turned.length() < 1e-3) turned = d.cross(*up);
        *up = tangent(turned, d, *up);
    }
    s->direction = d;
    *eye = d * SmoothCamera::kEyeHeight;
    s->lastEye = *eye;
}
