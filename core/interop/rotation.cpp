#include "interop/rotation.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "model/geo_utils.h"

namespace vorlin {

namespace {

constexpr double kDeg = 180.0 / std::numbers::pi;

// The angle equivalent to a (a whole number of turns away) that is nearest to near.
double Nearest(double a, double near) {
    return a + 360.0 * std::round((near - a) / 360.0);
}

double Wrap360(double a) {
    double r = std::fmod(a, 360.0);
    if (r < 0) r += 360.0;
    return r >= 360.0 ? 0.0 : r;
}

// The shortest turn that takes unit vector a to unit vector b.
TMat3 Swing(const TVec3& a, const TVec3& b) {
    const TVec3 axis = Cross(a, b);
    const double s = Length(axis), c = Dot(a, b);
    if (s < 1e-12) {
        if (c > 0) return TMat3::Identity();
        // Opposite: half a turn about any line square to a.
        const TVec3 other = std::abs(a.x) < 0.9 ? TVec3{1, 0, 0} : TVec3{0, 1, 0};
        return AxisAngle(Unit(Cross(a, other)), 180.0);
    }
    return AxisAngle((1.0 / s) * axis, std::atan2(s, c) * kDeg);
}

// The eigenvalues and eigenvectors (columns of v) of a symmetric 4x4 matrix, by Jacobi's
// rotations; eigenvalues in a's diagonal.
void Jacobi4(double a[4][4], double v[4][4]) {
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            v[i][j] = i == j ? 1 : 0;
    for (int sweep = 0; sweep < 50; ++sweep) {
        double off = 0;
        for (int p = 0; p < 4; ++p)
            for (int q = p + 1; q < 4; ++q)
                off += a[p][q] * a[p][q];
        if (off < 1e-30) return;
        for (int p = 0; p < 4; ++p)
            for (int q = p + 1; q < 4; ++q) {
                if (std::abs(a[p][q]) < 1e-300) continue;
                const double theta = (a[q][q] - a[p][p]) / (2 * a[p][q]);
                const double t =
                    (theta >= 0 ? 1 : -1) / (std::abs(theta) + std::sqrt(theta * theta + 1));
                const double c = 1 / std::sqrt(t * t + 1), s = t * c;
                for (int k = 0; k < 4; ++k) {
                    const double akp = a[k][p], akq = a[k][q];
                    a[k][p] = c * akp - s * akq;
                    a[k][q] = s * akp + c * akq;
                }
                for (int k = 0; k < 4; ++k) {
                    const double apk = a[p][k], aqk = a[q][k];
                    a[p][k] = c * apk - s * aqk;
                    a[q][k] = s * apk + c * aqk;
                }
                for (int k = 0; k < 4; ++k) {
                    const double vkp = v[k][p], vkq = v[k][q];
                    v[k][p] = c * vkp - s * vkq;
                    v[k][q] = s * vkp + c * vkq;
                }
            }
    }
}

} // namespace

TVec3 operator+(const TVec3& a, const TVec3& b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
TVec3 operator-(const TVec3& a, const TVec3& b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
TVec3 operator*(double s, const TVec3& a) {
    return {s * a.x, s * a.y, s * a.z};
}
double Dot(const TVec3& a, const TVec3& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
TVec3 Cross(const TVec3& a, const TVec3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
double Length(const TVec3& a) {
    return std::sqrt(Dot(a, a));
}
TVec3 Unit(const TVec3& a) {
    const double l = Length(a);
    return l > 1e-12 ? (1.0 / l) * a : TVec3{};
}

TMat3 operator*(const TMat3& a, const TMat3& b) {
    TMat3 r;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            r.m[i][j] = a.m[i][0] * b.m[0][j] + a.m[i][1] * b.m[1][j] + a.m[i][2] * b.m[2][j];
    return r;
}

TVec3 operator*(const TMat3& a, const TVec3& v) {
    return {a.m[0][0] * v.x + a.m[0][1] * v.y + a.m[0][2] * v.z,
            a.m[1][0] * v.x + a.m[1][1] * v.y + a.m[1][2] * v.z,
            a.m[2][0] * v.x + a.m[2][1] * v.y + a.m[2][2] * v.z};
}

TMat3 Transposed(const TMat3& a) {
    TMat3 r;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            r.m[i][j] = a.m[j][i];
    return r;
}

TMat3 Orthonormal(const TMat3& a) {
    const TVec3 c0 = Unit({a.m[0][0], a.m[1][0], a.m[2][0]});
    TVec3 c1{a.m[0][1], a.m[1][1], a.m[2][1]};
    c1 = Unit(c1 - Dot(c1, c0) * c0);
    const TVec3 c2 = Cross(c0, c1);
    TMat3 r;
    const TVec3 cols[3] = {c0, c1, c2};
    for (int j = 0; j < 3; ++j) {
        r.m[0][j] = cols[j].x;
        r.m[1][j] = cols[j].y;
        r.m[2][j] = cols[j].z;
    }
    return r;
}

TMat3 AxisAngle(const TVec3& axis, double degrees) {
    const double a = degrees / kDeg, c = std::cos(a), s = std::sin(a), t = 1 - c;
    const double x = axis.x, y = axis.y, z = axis.z;
    TMat3 r;
    r.m = {{{t * x * x + c, t * x * y - s * z, t * x * z + s * y},
            {t * x * y + s * z, t * y * y + c, t * y * z - s * x},
            {t * x * z - s * y, t * y * z + s * x, t * z * z + c}}};
    return r;
}

double RotationAngle(const TMat3& a, const TMat3& b) {
    // From the quaternion: the arc cosine of the trace loses half the digits at small angles.
    const TQuat q = MatrixQuat(Transposed(a) * b);
    return 2 * std::atan2(std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z), std::abs(q.w)) * kDeg;
}

TXform operator*(const TXform& a, const TXform& b) {
    return {a.L * b.L, a.L * b.T + a.T};
}

TMat3 QuatMatrix(const TQuat& q) {
    const double w = q.w, x = q.x, y = q.y, z = q.z;
    TMat3 r;
    r.m = {{{1 - 2 * (y * y + z * z), 2 * (x * y - w * z), 2 * (x * z + w * y)},
            {2 * (x * y + w * z), 1 - 2 * (x * x + z * z), 2 * (y * z - w * x)},
            {2 * (x * z - w * y), 2 * (y * z + w * x), 1 - 2 * (x * x + y * y)}}};
    return r;
}

TQuat MatrixQuat(const TMat3& r) {
    const auto& m = r.m;
    const double trace = m[0][0] + m[1][1] + m[2][2];
    TQuat q;
    if (trace > 0) {
        const double s = 2 * std::sqrt(trace + 1);
        q = {s / 4, (m[2][1] - m[1][2]) / s, (m[0][2] - m[2][0]) / s, (m[1][0] - m[0][1]) / s};
    } else if (m[0][0] > m[1][1] && m[0][0] > m[2][2]) {
        const double s = 2 * std::sqrt(1 + m[0][0] - m[1][1] - m[2][2]);
        q = {(m[2][1] - m[1][2]) / s, s / 4, (m[0][1] + m[1][0]) / s, (m[0][2] + m[2][0]) / s};
    } else if (m[1][1] > m[2][2]) {
        const double s = 2 * std::sqrt(1 + m[1][1] - m[0][0] - m[2][2]);
        q = {(m[0][2] - m[2][0]) / s, (m[0][1] + m[1][0]) / s, s / 4, (m[1][2] + m[2][1]) / s};
    } else {
        const double s = 2 * std::sqrt(1 + m[2][2] - m[0][0] - m[1][1]);
        q = {(m[1][0] - m[0][1]) / s, (m[0][2] + m[2][0]) / s, (m[1][2] + m[2][1]) / s, s / 4};
    }
    const double n = std::sqrt(q.w * q.w + q.x * q.x + q.y * q.y + q.z * q.z);
    // One sign for one rotation, so that neighbouring samples compare alike.
    const double sign = q.w < 0 ? -1 : 1;
    return {sign * q.w / n, sign * q.x / n, sign * q.y / n, sign * q.z / n};
}

TQuat Slerp(TQuat a, const TQuat& b, double t) {
    double c = a.w * b.w + a.x * b.x + a.y * b.y + a.z * b.z;
    if (c < 0) {
        a = {-a.w, -a.x, -a.y, -a.z};
        c = -c;
    }
    double ka = 1 - t, kb = t;
    if (c < 0.9995) {
        const double theta = std::acos(c), s = std::sin(theta);
        ka = std::sin((1 - t) * theta) / s;
        kb = std::sin(t * theta) / s;
    }
    TQuat q{ka * a.w + kb * b.w, ka * a.x + kb * b.x, ka * a.y + kb * b.y, ka * a.z + kb * b.z};
    const double n = std::sqrt(q.w * q.w + q.x * q.x + q.y * q.y + q.z * q.z);
    return {q.w / n, q.x / n, q.y / n, q.z / n};
}

TMat3 GameMatrix(double pitch, double yaw, double roll) {
    TMatrix g;
    RotationMatrix(g, pitch, yaw, roll); // the model's own, so both pose alike
    TMat3 r;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            r.m[i][j] = g[i][j];
    return r;
}

TMat3 GameMatrix(const TKEYPose& pose) {
    return GameMatrix(pose.Pitch, pose.Yaw, pose.Roll);
}

TGameAngles GameAngles(const TMat3& r, const TGameAngles* previous) {
    const auto& m = r.m;
    // Rz(y) Rx(p) Ry(r) has sin p at [2][1], -sin y cos p at [0][1], cos y cos p at [1][1],
    // -cos p sin r at [2][0] and cos p cos r at [2][2].
    const double sp = std::clamp(m[2][1], -1.0, 1.0);
    const double cp = std::hypot(m[0][1], m[1][1]);
    TGameAngles a;
    if (cp > 1e-9) {
        a.Pitch = std::atan2(sp, cp) * kDeg;
        a.Yaw = std::atan2(-m[0][1], m[1][1]) * kDeg;
        a.Roll = std::atan2(-m[2][0], m[2][2]) * kDeg;
    } else {
        // Straight up or down: [0][0] and [1][0] hold the cosine and sine of yaw + roll (pitch
        // 90) or yaw - roll (pitch -90).
        a.Pitch = sp > 0 ? 90 : -90;
        a.Yaw = previous ? previous->Yaw : 0;
        const double sum = std::atan2(m[1][0], m[0][0]) * kDeg;
        a.Roll = sp > 0 ? sum - a.Yaw : a.Yaw - sum;
    }
    if (!previous) return {Wrap360(a.Pitch), Wrap360(a.Yaw), Wrap360(a.Roll)};
    auto near = [previous](TGameAngles c) {
        c.Pitch = Nearest(c.Pitch, previous->Pitch);
        c.Yaw = Nearest(c.Yaw, previous->Yaw);
        c.Roll = Nearest(c.Roll, previous->Roll);
        return c;
    };
    auto distance = [previous](const TGameAngles& c) {
        return std::abs(c.Pitch - previous->Pitch) + std::abs(c.Yaw - previous->Yaw) +
               std::abs(c.Roll - previous->Roll);
    };
    const TGameAngles first = near(a);
    const TGameAngles second = near({180 - a.Pitch, a.Yaw + 180, a.Roll + 180});
    return distance(second) < distance(first) ? second : first;
}

TMat3 BestRotation(const std::vector<TVec3>& from, const std::vector<TVec3>& to, int primary) {
    const size_t given = std::min(from.size(), to.size());
    if (primary >= 0 && size_t(primary) < given && Length(from[size_t(primary)]) > 0.5 &&
        Length(to[size_t(primary)]) > 0.5) {
        const TVec3 axis = to[size_t(primary)];
        const TMat3 swing = Swing(from[size_t(primary)], axis);
        // The turn about the primary direction that best lays the others on theirs.
        double across = 0, along = 0;
        for (size_t i = 0; i < given; ++i) {
            if (int(i) == primary || Length(from[i]) < 0.5 || Length(to[i]) < 0.5) continue;
            TVec3 f = swing * from[i], t = to[i];
            f = f - Dot(f, axis) * axis;
            t = t - Dot(t, axis) * axis;
            across += Dot(Cross(f, t), axis);
            along += Dot(f, t);
        }
        if (std::abs(across) + std::abs(along) < 1e-12) return swing;
        return AxisAngle(axis, std::atan2(across, along) * kDeg) * swing;
    }
    double s[3][3] = {};
    int used = -1, count = 0;
    bool same = true;
    for (size_t i = 0; i < from.size() && i < to.size(); ++i) {
        const TVec3 &a = from[i], &b = to[i];
        if (Length(a) < 0.5 || Length(b) < 0.5) continue; // no direction
        if (used < 0) used = int(i);
        ++count;
        same = same && Length(a - b) < 1e-10;
        const double av[3] = {a.x, a.y, a.z}, bv[3] = {b.x, b.y, b.z};
        for (int j = 0; j < 3; ++j)
            for (int k = 0; k < 3; ++k)
                s[j][k] += av[j] * bv[k];
    }
    if (used < 0 || same) return TMat3::Identity();
    const TMat3 swing = Swing(from[size_t(used)], to[size_t(used)]);
    if (count == 1) return swing;
    // A faint pull towards no turn at all settles what the directions leave open (the turn
    // about the line of two opposite directions, a pelvis's two thighs) and moves a fit that
    // they settle by nothing that shows.
    const double pull = 1e-9 * count;
    for (int j = 0; j < 3; ++j)
        s[j][j] += pull;
    // Horn's quaternion: the eigenvector of the largest eigenvalue of N.
    const double xx = s[0][0], xy = s[0][1], xz = s[0][2], yx = s[1][0], yy = s[1][1], yz = s[1][2],
                 zx = s[2][0], zy = s[2][1], zz = s[2][2];
    double n[4][4] = {{xx + yy + zz, yz - zy, zx - xz, xy - yx},
                      {yz - zy, xx - yy - zz, xy + yx, zx + xz},
                      {zx - xz, xy + yx, -xx + yy - zz, yz + zy},
                      {xy - yx, zx + xz, yz + zy, -xx - yy + zz}};
    double v[4][4];
    Jacobi4(n, v);
    int best = 0, second = -1;
    for (int i = 1; i < 4; ++i)
        if (n[i][i] > n[best][best]) best = i;
    for (int i = 0; i < 4; ++i)
        if (i != best && (second < 0 || n[i][i] > n[second][second])) second = i;
    if (n[best][best] - n[second][second] < 1e-13 * count) return swing;
    return QuatMatrix({v[0][best], v[1][best], v[2][best], v[3][best]});
}

} // namespace vorlin
