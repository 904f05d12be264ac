// Three-double value type for points, directions and velocities, with the game's rotations.
#pragma once

class Vector3 {
  public:
    double x = 0.0, y = 0.0, z = 0.0;

    Vector3() = default;
    Vector3(double x_, double y_, double z_) : x(x_), y(y_), z(z_) {}

    // Euclidean length.
    double length() const;
    // Exact component-wise equality (no tolerance: shared mesh corners compare equal).
    bool operator==(const Vector3& o) const { return x == o.x && y == o.y && z == o.z; }
    bool operator!=(const Vector3& o) const { return !(*this == o); }

    Vector3& operator+=(const Vector3& o) {
        x += o.x;
        y += o.y;
        z += o.z;
        return *this;
    }
    Vector3& operator-=(const Vector3& o) {
        x -= o.x;
        y -= o.y;
        z -= o.z;
        return *this;
    }
    Vector3& operator*=(double s) {
        x *= s;
        y *= s;
        z *= s;
        return *this;
    }
    // Divides each component; no check for zero.
    Vector3& operator/=(double s) {
        x /= s;
        y /= s;
        z /= s;
        return *this;
    }
    Vector3 operator+(const Vector3& o) const { return {x + o.x, y + o.y, z + o.z}; }
    Vector3 operator-(const Vector3& o) const { return {x - o.x, y - o.y, z - o.z}; }
    Vector3 operator*(double s) const { return {x * s, y * s, z * s}; }
    Vector3 operator/(double s) const { return {x / s, y / s, z / s}; }

    double dot(const Vector3& o) const { return x * o.x + y * o.y + z * o.z; }
    // Right-handed cross product this × o.
    Vector3 cross(const Vector3& o) const {
        return {y * o.z - o.y * z, z * o.x - o.z * x, x * o.y - o.x * y};
    }

    // Scales to unit length in place; a zero vector stays zero.
    Vector3& normalize();
    // Right-handed rotations about the axes in place (radians); an angle of exactly 0 does nothing.
    Vector3& rotateX(double a);
    Vector3& rotateY(double a);
    Vector3& rotateZ(double a);
    // Right-handed rotation by a about the direction axis, keeping this vector's length. An axis
    // along -Y or a zero axis rotates about +Y.
    Vector3& rotateAround(double a, Vector3 axis);

    // Signed angle of the XY projection from +Y, negative for x < 0; π/2 when y is exactly 0.
    double angleXY() const;
    // Signed angle of the XZ projection from +Z, negative for x < 0; π/2 when z is exactly 0.
    double angleXZ() const;
    // Signed angle of the YZ projection from +Z, negative for y < 0; π/2 when z is exactly 0.
    double angleYZ() const;
};

// True when p lies on every corner's side of the plane through the midpoint of the opposite edge,
// perpendicular to the median (strictly: a point on a plane is outside). Ignores height along the
// triangle's normal, so it describes a prism through the triangle; the caller decides which side
// of the planet centre counts.
bool insideMedianPlanes(const Vector3& a0, const Vector3& a1, const Vector3& a2, const Vector3& p);

// v scaled to unit length; a zero vector stays zero.
Vector3 unit(Vector3 v);
// The angle between a and b in degrees, 0 to 180 (for places on the planet: degrees of arc).
double degreesBetween(const Vector3& a, const Vector3& b);
