#include "vector3.h"

#include <cmath>

namespace {
const double kHalfPi = 1.5707963267948966;

// Angle of (a, b) measured from the b axis, signed by a; π/2 when b is exactly 0.
double planeAngle(double a, double b) {
    if (b == 0.0) return kHalfPi;
    double r = std::sqrt(a * a + b * b);
    if (r == 0.0) return 0.0;
    double c = b / r;
    if (c > 1.0) c = 1.0;
    if (c < -1.0) c = -1.0;
    double angle = std::acos(c);
    if (angle != 0.0 && a < 0.0) angle = -angle;
    return angle;
}
} // namespace

double Vector3::length() const {
    return std::sqrt(x * x + y * y + z * z);
}

Vector3& Vector3::normalize() {
    double l = length();
    if (l != 0.0) {
        x /= l;
        y /= l;
        z /= l;
    }
    return *this;
}

Vector3& Vector3::rotateX(double a) {
    if (a == 0.0) return *this;
    double c = std::cos(a), s = std::sin(a);
    double ny = y * c - z * s;
    double nz = y * s + z * c;
    y = ny;
    z = nz;
    return *this;
}

Vector3& Vector3::rotateY(double a) {
    if (a == 0.0) return *this;
    double c = std::cos(a), s = std::sin(a);
    double nx = x * c + z * s;
    double nz = z * c - x * s;
    x = nx;
    z = nz;
    return *this;
}

Vector3& Vector3::rotateZ(double a) {
    if (a == 0.0) return *this;
    double c = std::cos(a), s = std::sin(a);
    double nx = x * c - y * s;
    double ny = x * s + y * c;
    x = nx;
    y = ny;
    return *this;
}

Vector3& Vector3::rotateAround(double a, Vector3 axis) {
    double ownLength = length();
    Vector3 t = *this;
    double p = axis.angleXZ();
    axis.rotateY(-p);
    t.rotateY(-p);
    double q = axis.angleYZ();
    t.rotateX(q);
    t.rotateZ(a);
    t.rotateX(-q);
    t.rotateY(p);
    t.normalize();
    t *= ownLength;
    *this = t;
    return *this;
}

double Vector3::angleXY() const {
    return planeAngle(x, y);
}
double Vector3::angleXZ() const {
    return planeAngle(x, z);
}
double Vector3::angleYZ() const {
    return planeAngle(y, z);
}

bool insideMedianPlanes(const Vector3& a0, const Vector3& a1, const Vector3& a2, const Vector3& p) {
    Vector3 m02 = (a0 + a2) * 0.5;
    if ((a1 - m02).dot(p - m02) <= 0.0) return false;
    Vector3 m01 = (a0 + a1) * 0.5;
    if ((a2 - m01).dot(p - m01) <= 0.0) return false;
    Vector3 m12 = (a1 + a2) * 0.5;
    return (a0 - m12).dot(p - m12) > 0.0;
}

double degreesBetween(const Vector3& a, const Vector3& b) {
    double c = a.dot(b) / (a.length() * b.length());
    return std::acos(std::fmax(-1.0, std::fmin(1.0, c))) * 180.0 / 3.141592653589793;
}

Vector3 unit(Vector3 v) {
    return v.normalize();
}
