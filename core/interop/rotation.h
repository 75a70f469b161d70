// Small linear algebra for moving poses between programs: 3-vectors, 3x3 matrices, rigid
// transforms, quaternions, the game's pitch/yaw/roll and best-fit rotations between sets of
// directions.
#pragma once

#include <array>
#include <vector>

#include "key/u_key.h"

namespace vorlin {

struct TVec3 {
    double x = 0, y = 0, z = 0;
};
TVec3 operator+(const TVec3& a, const TVec3& b);
TVec3 operator-(const TVec3& a, const TVec3& b);
TVec3 operator*(double s, const TVec3& a);
double Dot(const TVec3& a, const TVec3& b);
TVec3 Cross(const TVec3& a, const TVec3& b);
double Length(const TVec3& a);
// The unit vector along a; the zero vector for one too short to have a direction.
TVec3 Unit(const TVec3& a);

// Row-major; applied to column vectors.
struct TMat3 {
    std::array<std::array<double, 3>, 3> m{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};
    static TMat3 Identity() { return {}; }
};
TMat3 operator*(const TMat3& a, const TMat3& b);
TVec3 operator*(const TMat3& a, const TVec3& v);
TMat3 Transposed(const TMat3& a);
// The rotation nearest a linear map that may carry a scale (its columns made orthonormal).
TMat3 Orthonormal(const TMat3& a);
// The rotation about a unit axis by an angle in degrees, counter-clockwise looking down it.
TMat3 AxisAngle(const TVec3& axis, double degrees);
// The angle in degrees of the rotation that takes a to b.
double RotationAngle(const TMat3& a, const TMat3& b);

// p' = L p + T: a node's place in its parent, L a rotation that may carry a scale.
struct TXform {
    TMat3 L;
    TVec3 T;
};
TXform operator*(const TXform& a, const TXform& b);

struct TQuat {
    double w = 1, x = 0, y = 0, z = 0;
};
TMat3 QuatMatrix(const TQuat& q);
TQuat MatrixQuat(const TMat3& r);
// The short way between two unit quaternions at a fraction t.
TQuat Slerp(TQuat a, const TQuat& b, double t);

// The game's orientation of a node: Rz(yaw) * Rx(pitch) * Ry(roll), degrees.
TMat3 GameMatrix(double pitch, double yaw, double roll);
TMat3 GameMatrix(const TKEYPose& pose);

struct TGameAngles {
    double Pitch = 0, Yaw = 0, Roll = 0;
};
// The game's angles of a rotation. Without a previous value they lie in [0, 360); with one,
// of the two triples that give the rotation (pitch p or 180 - p) and every turn of 360 degrees
// added to each angle, the one nearest the previous: a motion turned into angles frame by frame
// stays continuous. At pitch +-90 only yaw + roll (or yaw - roll) is set by the rotation; the
// previous yaw is kept there.
TGameAngles GameAngles(const TMat3& r, const TGameAngles* previous = nullptr);

// The rotation that best takes each direction from[i] to to[i] (unit vectors or zero, which
// count for nothing). One direction gives the shortest turn that takes it to its target; more
// give the least-squares fit, nearest no turn where they leave a turn open. With a primary
// direction, that one is met exactly and the others only settle the turn about it.
TMat3 BestRotation(const std::vector<TVec3>& from, const std::vector<TVec3>& to, int primary = -1);

} // namespace vorlin
