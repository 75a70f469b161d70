// Vectors, 3x3 rotation matrices and the program's one rotation convention:
// orientation = Rz(yaw) * Rx(pitch) * Ry(roll), angles in degrees; roll acts first on a point.
#pragma once

namespace vorlin {

struct TVector {
    double x = 0, y = 0, z = 0;
};

// Row-major; applied to column vectors.
using TMatrix = double[3][3];

void SetVec(TVector& v, double x, double y, double z);
// The rotation about axis 0 (X), 1 (Y) or 2 (Z) by -angle; other axes leave m alone.
void AxisMatrix(TMatrix& m, int axis, double angle);
// a := a * b.
void MatMultiply(TMatrix& a, const TMatrix& b);
void RotationMatrix(TMatrix& m, double pitch, double yaw, double roll);
// (x, y, z) := m * (x, y, z); the input is copied first.
void ApplyMatrix(const TMatrix& m, double& x, double& y, double& z);
void RotateVector(TVector& v, double pitch, double yaw, double roll);

} // namespace vorlin
