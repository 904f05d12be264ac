#include "vehicle.h"

#include <algorithm>
#include <cmath>

#include "item_kind.h"
#include "net.h"
#include "platform.h"
#include "random.h"

namespace {
const double kPi = 3.141592653589793;
const double kColourDivisor = 49150.5;
const int32_t kMaxEnergy = 5;
const int32_t kMaxBombCapacity = 10;
const int32_t kMaxFlameRange = 8;
const int32_t kMaxSpeed = 5;
const int32_t kMinSpeed = 1;

uint8_t toggled(uint8_t flag) {
    return flag == 0 ? 1 : 0;
}

struct Point2 {
    double u, v;
};

// Smallest and largest of the points' projections onto the axis (au, av).
void project(const Point2* p, int n, double au, double av, double* lo, double* hi) {
    *lo = *hi = p[0].u * au + p[0].v * av;
    for (int i = 1; i < n; ++i) {
        double d = p[i].u * au + p[i].v * av;
        *lo = std::min(*lo, d);
        *hi = std::max(*hi, d);
    }
}

// True when some edge of a separates the convex polygons a and b (separating axis test).
bool separatedByAnEdgeOf(const Point2* a, int na, const Point2* b, int nb) {
    for (int i = 0; i < na; ++i) {
        const Point2& p = a[i];
        const Point2& q = a[(i + 1) % na];
        double au = q.v - p.v, av = p.u - q.u;
        if (au == 0.0 && av == 0.0) continue;
        double aLo, aHi, bLo, bHi;
        project(a, na, au, av, &aLo, &aHi);
        project(b, nb, au, av, &bLo, &bHi);
        if (aHi <= bLo || bHi <= aLo) return true;
    }
    return false;
}
} // namespace

Vehicle::Vehicle() {
    double r = nextRandom() / kColourDivisor;
    double g = nextRandom() / kColourDivisor;
    double b = nextRandom() / kColourDivisor;
    setColour(r, g, b);
    if (platform.buildVehicleModel) platform.buildVehicleModel();
}

void Vehicle::setColour(double r, double g, double b) {
    ambient_[0] = static_cast<float>(r);
    ambient_[1] = static_cast<float>(g);
    ambient_[2] = static_cast<float>(b);
    ambient_[3] = 1.0f;
    for (int i = 0; i < 3; ++i) {
        diffuse_[i] = ambient_[i] + 0.2f;
        specular_[i] = diffuse_[i] + 0.16f;
    }
    diffuse_[3] = 1.0f;
    specular_[3] = 1.0f;
}

void Vehicle::randomStart() {
    double theta = (nextRandom() % 360) * kPi / 180.0;
    position_ = Vector3(std::sin(theta), 0.0, std::cos(theta));
    position_.normalize();
}

void Vehicle::updateOrientation() {
    Vector3 p = position_;
    Vector3 h = heading_;
    // Each angle is the one whose turn brings the vector onto its axis; atan2 keeps that true
    // where a component is exactly zero (the car at the poles of Y, a heading along local X).
    longitude_ = std::atan2(p.x, p.z);
    p.rotateY(-longitude_);
    h.rotateY(-longitude_);
    latitude_ = std::atan2(p.y, p.z);
    h.rotateX(latitude_);
    // The drawing turns the model's axles (+Y) about +Z by yaw onto the heading.
    yaw_ = std::atan2(-h.x, h.y);

    Vector3 s = position_.cross(heading_);
    s.normalize();
    s *= 4.0;
    Vector3 f = heading_ * 5.0;
    footprintA_[0] = position_ + s + f;
    footprintA_[1] = position_ - s + f;
    footprintA_[2] = position_ - s - f;
    footprintB_[0] = position_ + s + f;
    footprintB_[1] = position_ - s - f;
    footprintB_[2] = position_ + s - f;
}

bool Vehicle::isHitBy(Vector3 point) const {
    if (point.dot(position_) <= 0) return false;
    if (insideMedianPlanes(footprintA_[0], footprintA_[1], footprintA_[2], point)) return true;
    return insideMedianPlanes(footprintB_[0], footprintB_[1], footprintB_[2], point);
}

bool Vehicle::isTouchedBy(const Vector3* corners, int count) const {
    const int kMaxCorners = 8;
    if (count < 3 || count > kMaxCorners) return false;
    Vector3 up = position_;
    up.normalize();
    Vector3 e1 = up.cross(heading_);
    if (e1.length() == 0.0) return false;
    e1.normalize();
    Vector3 e2 = up.cross(e1);
    Point2 polygon[kMaxCorners];
    for (int i = 0; i < count; ++i) {
        if (corners[i].dot(up) <= 0.0) return false;
        polygon[i] = {corners[i].dot(e1), corners[i].dot(e2)};
    }
    const Vector3 ring[4] = {footprintA_[0], footprintA_[1], footprintB_[1], footprintB_[2]};
    Point2 footprint[4];
    for (int i = 0; i < 4; ++i)
        footprint[i] = {ring[i].dot(e1), ring[i].dot(e2)};
    return !separatedByAnEdgeOf(footprint, 4, polygon, count) &&
           !separatedByAnEdgeOf(polygon, count, footprint, 4);
}

void Vehicle::setEnergy(int32_t value) {
    if (value == energy_) return;
    energy_ = value;
    if (energy_ > kMaxEnergy) energy_ = kMaxEnergy;
    if (energy_ < 1) {
        NetSendPlayerDead(id_);
        energy_ = 0;
    }
    playSample(kSampleWhoosh);
}

void Vehicle::pickUpItem(int32_t kind) {
    switch (kind) {
    case kItemBomb:
        ++bombCapacity_;
        ++bombsAvailable_;
        if (bombCapacity_ > kMaxBombCapacity) {
            bombCapacity_ = kMaxBombCapacity;
            --bombsAvailable_;
        }
        break;
    case kItemPower:
        setEnergy(energy_ + 1);
        break;
    case kItemRange:
        flameRange_ = std::min(flameRange_ + 1, kMaxFlameRange);
        break;
    case kItemRemoteControl:
        remoteControl_ = toggled(remoteControl_);
        break;
    case kItemCloak:
        cloak_ = toggled(cloak_);
        NetSendCloak(id_, cloak_);
        break;
    case kItemSpeed:
        speed_ = std::min(speed_ + 1, kMaxSpeed);
        break;
    case kItemSlow:
        speed_ = std::max(speed_ - 1, kMinSpeed);
        break;
    default:
        break;
    }
    playSample(kSampleItemPickup);
}

void Vehicle::setBombsAvailable(int32_t value) {
    bombsAvailable_ = value;
    if (bombsAvailable_ > bombCapacity_) bombsAvailable_ = bombCapacity_;
}
