#include "edit/view_pick.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "model/geo_utils.h"
#include "model/u_3dos.h"

namespace vorlin {

namespace {

constexpr double kDegree = 3.14159265358979323846 / 180;

TVec3 Sub(const TVec3& a, const TVec3& b) {
    return {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
}
TVec3 Cross(const TVec3& a, const TVec3& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
double Dot(const TVec3& a, const TVec3& b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}
// Rotations by degrees about x and z, counter-clockwise, as glRotated makes them.
TVec3 RotX(const TVec3& v, double degrees) {
    const double c = std::cos(degrees * kDegree), s = std::sin(degrees * kDegree);
    return {v[0], c * v[1] - s * v[2], s * v[1] + c * v[2]};
}
TVec3 RotZ(const TVec3& v, double degrees) {
    const double c = std::cos(degrees * kDegree), s = std::sin(degrees * kDegree);
    return {c * v[0] - s * v[1], s * v[0] + c * v[1], v[2]};
}

// The distance along the ray to triangle abc (Moller-Trumbore), or a negative number.
double HitTriangle(const TRay& ray, const TVec3& a, const TVec3& b, const TVec3& c) {
    const TVec3 e1 = Sub(b, a), e2 = Sub(c, a);
    const TVec3 p = Cross(ray.Dir, e2);
    const double det = Dot(e1, p);
    if (std::abs(det) < 1e-15) return -1;
    const TVec3 t = Sub(ray.Origin, a);
    const double u = Dot(t, p) / det;
    if (u < 0 || u > 1) return -1;
    const TVec3 q = Cross(t, e1);
    const double v = Dot(ray.Dir, q) / det;
    if (v < 0 || u + v > 1) return -1;
    return Dot(e2, q) / det;
}

TVec3 Posed(const TVertex& v) {
    return {v.tx, v.ty, v.tz};
}

const T3DOMesh* MeshOf(const T3DO& model, int node) {
    const int mesh = model.HNodes[node].Mesh;
    return mesh >= 0 && mesh < model.Meshes.Count() ? &model.Meshes[mesh] : nullptr;
}

} // namespace

TVec3 TViewCamera::ToEye(const TVec3& world) const {
    const TVec3 r = RotX(RotZ(Sub(world, Pos), -Yaw), -90 - Pitch);
    return {r[0] + Pan[0], r[1] + Pan[1], r[2] + Pan[2]};
}

TRay TViewCamera::RayAt(double x, double y, double width, double height) const {
    const double t = std::tan(FovY / 2 * kDegree);
    const double nx = width > 0 ? 2 * x / width - 1 : 0;
    const double ny = height > 0 ? 1 - 2 * y / height : 0;
    // Back from the eye's frame: world = Pos + Rz(Yaw) Rx(90 + Pitch) (eye - Pan).
    auto toWorld = [this](const TVec3& eye, bool point) {
        const TVec3 e = point ? Sub(eye, Pan) : eye;
        const TVec3 w = RotZ(RotX(e, 90 + Pitch), Yaw);
        return point ? TVec3{w[0] + Pos[0], w[1] + Pos[1], w[2] + Pos[2]} : w;
    };
    return {toWorld({0, 0, 0}, true), toWorld({nx * t * Aspect, ny * t, -1}, false)};
}

TVec3 NodePivot(const T3DO& model, int node) {
    if (node < 0 || node >= model.HNodes.Count()) return {0, 0, 0};
    // The node's position carried through its parents' turns and positions, as the hierarchy
    // transform carries its vertices.
    const T3DOHNode& n = model.HNodes[node];
    double t[3] = {n.CurX, n.CurY, n.CurZ};
    int a = n.Parent;
    for (int steps = 0; a >= 0 && a < model.HNodes.Count() && steps < model.HNodes.Count();
         ++steps) {
        const T3DOHNode& p = model.HNodes[a];
        TMatrix r;
        RotationMatrix(r, p.CurPitch, p.CurYaw, p.CurRoll);
        ApplyMatrix(r, t[0], t[1], t[2]);
        t[0] += p.CurX;
        t[1] += p.CurY;
        t[2] += p.CurZ;
        a = p.Parent;
    }
    return {t[0], t[1], t[2]};
}

TVec3 PanAtDepth(const TViewCamera& camera, const TVec3& at, double dx, double dy, double height) {
    // A pixel is as wide at that depth as the view's height there over its pixels.
    const double depth = std::max(-camera.ToEye(at)[2], 1e-6);
    const double perPixel = 2 * depth * std::tan(camera.FovY / 2 * kDegree) / std::max(height, 1.0);
    return {camera.Pan[0] + dx * perPixel, camera.Pan[1] - dy * perPixel, camera.Pan[2]};
}

TVec3 OrbitPan(const TViewCamera& before, const TViewCamera& after, const TVec3& centre) {
    const TVec3 was = before.ToEye(centre), now = after.ToEye(centre);
    return {after.Pan[0] + was[0] - now[0], after.Pan[1] + was[1] - now[1],
            after.Pan[2] + was[2] - now[2]};
}

int PickNode(const T3DO& model, const TRay& ray) {
    double nearest = std::numeric_limits<double>::infinity();
    int picked = -1;
    for (int node = 0; node < model.HNodes.Count(); ++node) {
        const T3DOMesh* mesh = MeshOf(model, node);
        if (!mesh) continue;
        for (const auto& face : mesh->Faces) {
            const int n = face->Vertices.Count();
            if (n < 3) continue;
            const TVec3 a = Posed(face->Vertices[0]);
            for (int k = 1; k + 1 < n; ++k) {
                const double d =
                    HitTriangle(ray, a, Posed(face->Vertices[k]), Posed(face->Vertices[k + 1]));
                if (d > 0 && d < nearest) {
                    nearest = d;
                    picked = node;
                }
            }
        }
    }
    return picked;
}

bool PosedBounds(const T3DO& model, TVec3& centre, double& radius) {
    TVec3 lo{}, hi{};
    bool any = false;
    for (int node = 0; node < model.HNodes.Count(); ++node) {
        const T3DOMesh* mesh = MeshOf(model, node);
        if (!mesh) continue;
        for (int i = 0; i < mesh->Faces.Vertices.Count(); ++i) {
            const TVec3 p = Posed(mesh->Faces.Vertices[i]);
            for (size_t k = 0; k < 3; ++k) {
                lo[k] = any ? std::min(lo[k], p[k]) : p[k];
                hi[k] = any ? std::max(hi[k], p[k]) : p[k];
            }
            any = true;
        }
    }
    if (!any) return false;
    centre = {(lo[0] + hi[0]) / 2, (lo[1] + hi[1]) / 2, (lo[2] + hi[2]) / 2};
    radius = std::sqrt(Dot(Sub(hi, centre), Sub(hi, centre)));
    return true;
}

TFraming FrameSphere(const TViewCamera& camera, const TVec3& centre, double radius, double margin) {
    // Far enough that the sphere fits the narrower of the two angles of view.
    const double half = std::atan(std::tan(camera.FovY / 2 * kDegree) *
                                  std::min(1.0, camera.Aspect > 0 ? camera.Aspect : 1.0));
    TFraming f;
    f.Distance = std::max(radius, 1e-6) * margin / std::sin(half);
    // The camera sits at that distance from the origin along its direction; the pan then
    // brings the sphere's centre onto the axis of view, that far in front of the eye.
    TViewCamera at = camera;
    at.Pan = {0, 0, 0};
    // Along the camera's own direction from the origin (the way back from the eye's frame).
    const double length = std::sqrt(Dot(camera.Pos, camera.Pos));
    const TVec3 dir =
        length > 0 ? TVec3{camera.Pos[0] / length, camera.Pos[1] / length, camera.Pos[2] / length}
                   : RotZ(RotX({0, 0, 1}, 90 + camera.Pitch), camera.Yaw);
    at.Pos = {dir[0] * f.Distance, dir[1] * f.Distance, dir[2] * f.Distance};
    const TVec3 e = at.ToEye(centre);
    f.Pan = {-e[0], -e[1], -f.Distance - e[2]};
    return f;
}

TViewCamera OrbitCamera(double pitch, double yaw, double distance, const TVec3& pan,
                        double aspect) {
    TViewCamera c;
    c.Pitch = pitch;
    c.Yaw = 180 - yaw;
    TVector v;
    SetVec(v, 0, distance, 0);
    RotateVector(v, -pitch, 0, 0);
    RotateVector(v, 0, -yaw, 0);
    c.Pos = {v.x, v.y, v.z};
    c.Pan = pan;
    c.Aspect = aspect;
    return c;
}

bool ModelFits(const T3DO& model, const TViewCamera& camera) {
    TVec3 centre;
    double radius = 0;
    if (!PosedBounds(model, centre, radius)) return true;
    const TVec3 e = camera.ToEye(centre);
    const double depth = -e[2] - radius; // the sphere's nearest point
    const double t = std::tan(camera.FovY / 2 * kDegree);
    return depth > 0 && std::abs(e[1]) + radius <= t * depth &&
           std::abs(e[0]) + radius <= t * camera.Aspect * depth;
}

std::optional<TViewFraming> FrameModel(const T3DO& model, const TViewCamera& camera) {
    TVec3 centre;
    double radius = 0;
    if (!PosedBounds(model, centre, radius)) return std::nullopt;
    const TFraming f = FrameSphere(camera, centre, radius);
    TViewFraming out;
    out.Zoom = std::clamp(f.Distance * 10, kMinViewZoom, kMaxViewZoom);
    const double shortBy = f.Distance - out.Zoom * 0.1;
    out.Pan = {f.Pan[0], f.Pan[1], f.Pan[2] - shortBy};
    return out;
}

TViewFraming FirstView(const T3DO& model, double pitch, double yaw, double aspect) {
    TViewFraming view;
    view.Zoom = 10 * model.Radius() + 3;
    const TViewCamera camera = OrbitCamera(pitch, yaw, view.Zoom * 0.1, view.Pan, aspect);
    if (ModelFits(model, camera)) return view;
    // Framing keeps the camera's direction; its distance comes from the sphere.
    return FrameModel(model, camera).value_or(view);
}

} // namespace vorlin
