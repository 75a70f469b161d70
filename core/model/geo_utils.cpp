#include "model/geo_utils.h"

#include <cmath>
#include <cstring>
#include <numbers>

namespace vorlin {

void SetVec(TVector& v, double x, double y, double z) {
    v.x = x;
    v.y = y;
    v.z = z;
}

void AxisMatrix(TMatrix& m, int axis, double angle) {
    if (axis < 0 || axis > 2) return;
    long double theta =
        static_cast<long double>(angle) * (1.0L / 180.0L) * std::numbers::pi_v<long double>;
    double c = static_cast<double>(std::cos(theta));
    double s = static_cast<double>(std::sin(theta));
    switch (axis) {
    case 0: {
        const TMatrix r = {{1, 0, 0}, {0, c, s}, {0, -s, c}};
        std::memcpy(m, r, sizeof r);
        break;
    }
    case 1: {
        const TMatrix r = {{c, 0, -s}, {0, 1, 0}, {s, 0, c}};
        std::memcpy(m, r, sizeof r);
        break;
    }
    default: {
        const TMatrix r = {{c, s, 0}, {-s, c, 0}, {0, 0, 1}};
        std::memcpy(m, r, sizeof r);
        break;
    }
    }
}

void MatMultiply(TMatrix& a, const TMatrix& b) {
    TMatrix t;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            double sum = 0;
            for (int k = 0; k < 3; ++k)
                sum += a[i][k] * b[k][j];
            t[i][j] = sum;
        }
    std::memcpy(a, t, sizeof t);
}

void RotationMatrix(TMatrix& m, double pitch, double yaw, double roll) {
    TMatrix f;
    AxisMatrix(m, 2, -yaw);
    AxisMatrix(f, 0, -pitch);
    MatMultiply(m, f);
    AxisMatrix(f, 1, -roll);
    MatMultiply(m, f);
}

void ApplyMatrix(const TMatrix& m, double& x, double& y, double& z) {
    const double w[3] = {x, y, z};
    double r[3];
    for (int i = 0; i < 3; ++i) {
        double sum = 0;
        for (int k = 0; k < 3; ++k)
            sum += m[i][k] * w[k];
        r[i] = sum;
    }
    x = r[0];
    y = r[1];
    z = r[2];
}

void RotateVector(TVector& v, double pitch, double yaw, double roll) {
    TMatrix m;
    RotationMatrix(m, pitch, yaw, roll);
    ApplyMatrix(m, v.x, v.y, v.z);
}

} // namespace vorlin
