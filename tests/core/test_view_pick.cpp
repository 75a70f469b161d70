// The 3D view's camera without OpenGL: rays through pixels, picking the front-most node, and
// framing the posed model.
#include <gtest/gtest.h>

#include <cmath>

#include "edit/view_pick.h"
#include "model/u_3dos.h"

using namespace vorlin;

namespace {

// A square sheet facing the camera (-y), side 2, centred at (x, y, z), on a node of its own.
void AddSheet(T3DO& model, const char* name, double x, double y, double z) {
    T3DOMesh& mesh = model.Meshes.Add(T3DO::NewMesh());
    auto face = std::make_shared<T3DOFace>();
    for (auto [dx, dz] : {std::pair{-1, -1}, {1, -1}, {1, 1}, {-1, 1}}) {
        TVertex& v = mesh.Faces.NewVertex();
        v.x = x + dx;
        v.y = y;
        v.z = z + dz;
        face->AddVertex(&v);
    }
    mesh.Faces.Add(face);
    T3DOHNode& node = model.HNodes.Add();
    node.Name = name;
    node.Mesh = model.Meshes.Count() - 1;
}

// Looking along +y from 10 in front of the origin, as the front view does.
TViewCamera Front() {
    TViewCamera c;
    c.Pos = {0, -10, 0};
    c.Aspect = 1.5;
    return c;
}

} // namespace

TEST(ViewPick, RaysLeaveTheEyeThroughThePixel) {
    const TViewCamera c = Front();
    EXPECT_NEAR(c.ToEye({0, 0, 0})[2], -10, 1e-12); // the origin straight ahead
    const TRay middle = c.RayAt(300, 200, 600, 400);
    EXPECT_NEAR(middle.Origin[1], -10, 1e-12);
    EXPECT_NEAR(middle.Dir[0], 0, 1e-12);
    EXPECT_GT(middle.Dir[1], 0);
    EXPECT_NEAR(middle.Dir[2], 0, 1e-12);
    // The right edge and the top: right of and above the axis, by the angle of view.
    const TRay corner = c.RayAt(600, 0, 600, 400);
    const double t = std::tan(85.0 / 2 * 3.14159265358979323846 / 180);
    EXPECT_NEAR(corner.Dir[0] / corner.Dir[1], t * 1.5, 1e-12);
    EXPECT_NEAR(corner.Dir[2] / corner.Dir[1], t, 1e-12);
    // A pan moves the picture: the pixel that showed the origin now shows another point.
    TViewCamera panned = c;
    panned.Pan = {1, 0, 0};
    EXPECT_NEAR(panned.ToEye({0, 0, 0})[0], 1, 1e-12);
    const TRay shifted = panned.RayAt(300, 200, 600, 400);
    EXPECT_NEAR(shifted.Origin[0], -1, 1e-12);
}

TEST(ViewPick, TheFrontMostMeshUnderThePointerIsPicked) {
    T3DO model;
    AddSheet(model, "FAR", 0, 5, 0);
    AddSheet(model, "NEAR", 0, 2, 0);
    AddSheet(model, "ASIDE", 6, 0, 0);
    model.HNodes.Add().Name = "NO_MESH";
    model.ResetPose();
    model.TransformVertices();
    const TViewCamera c = Front();
    EXPECT_EQ(PickNode(model, c.RayAt(300, 200, 600, 400)), 1); // both in line: the nearer
    const TVec3 aside = c.ToEye({6, 0, 0});                     // where ASIDE shows
    const double t = std::tan(85.0 / 2 * 3.14159265358979323846 / 180);
    const double px = (aside[0] / -aside[2] / (t * 1.5) + 1) * 300;
    EXPECT_EQ(PickNode(model, c.RayAt(px, 200, 600, 400)), 2);
    EXPECT_EQ(PickNode(model, c.RayAt(5, 5, 600, 400)), -1); // empty space
    // Behind the eye nothing is picked.
    TViewCamera inside = c;
    inside.Pos = {0, 3, 0};
    EXPECT_EQ(PickNode(model, inside.RayAt(300, 200, 600, 400)), 0);
}

TEST(ViewPick, FramingShowsTheWholeModel) {
    T3DO model;
    AddSheet(model, "A", 4, 0, 3);
    AddSheet(model, "B", 8, 2, 5);
    model.ResetPose();
    model.TransformVertices();
    TVec3 centre;
    double radius = 0;
    ASSERT_TRUE(PosedBounds(model, centre, radius));
    EXPECT_NEAR(centre[0], 6, 1e-12);
    EXPECT_NEAR(centre[2], 4, 1e-12);
    for (double pitch : {0.0, 30.0, -60.0}) {
        TViewCamera c = Front();
        c.Pitch = pitch;
        const TFraming f = FrameSphere(c, centre, radius);
        c.Pan = f.Pan;
        const double length = std::sqrt(c.Pos[0] * c.Pos[0] + c.Pos[1] * c.Pos[1]);
        for (size_t k = 0; k < 3; ++k)
            c.Pos[k] *= f.Distance / length;
        const TVec3 e = c.ToEye(centre);
        EXPECT_NEAR(e[0], 0, 1e-9);
        EXPECT_NEAR(e[1], 0, 1e-9);
        EXPECT_NEAR(e[2], -f.Distance, 1e-9);
        // Every vertex lies inside the view, with room to spare.
        const double t = std::tan(85.0 / 2 * 3.14159265358979323846 / 180);
        for (int m = 0; m < model.Meshes.Count(); ++m)
            for (int i = 0; i < model.Meshes[m].Faces.Vertices.Count(); ++i) {
                const TVertex& v = model.Meshes[m].Faces.Vertices[i];
                const TVec3 p = c.ToEye({v.tx, v.ty, v.tz});
                EXPECT_LT(std::abs(p[1] / p[2]), t);
                EXPECT_LT(std::abs(p[0] / p[2]), t * 1.5);
            }
    }
    EXPECT_FALSE(PosedBounds(T3DO(), centre, radius));
}

// The camera after loading: ten radii (and 3) from the origin when the model shows whole from
// there, framed from the same side when it does not, at the sides render and the editor use.
TEST(ViewPick, TheFirstViewShowsTheModelWhole) {
    T3DO sheet, far;
    AddSheet(sheet, "A", 0, 0, 0); // ten radii are too close for a sheet this wide
    AddSheet(far, "B", 40, 0, 25); // its radius takes in the distance from the origin
    int framed = 0, plain = 0;
    for (T3DO* m : {&sheet, &far}) {
        m->ResetPose();
        m->TransformVertices();
        for (auto [pitch, yaw] : {std::pair{0.0, 0.0}, {0.0, 90.0}, {-90.0, 0.0}, {-45.0, -30.0}}) {
            SCOPED_TRACE(testing::Message() << m->HNodes[0].Name << " " << pitch << "/" << yaw);
            const double aspect = 518.0 / 270, zoom = 10 * m->Radius() + 3;
            const TViewFraming v = FirstView(*m, pitch, yaw, aspect);
            // Every vertex inside the view.
            const TViewCamera c = OrbitCamera(pitch, yaw, v.Zoom * 0.1, v.Pan, aspect);
            const double t = std::tan(85.0 / 2 * 3.14159265358979323846 / 180);
            for (int i = 0; i < m->Meshes[0].Faces.Vertices.Count(); ++i) {
                const TVertex& p = m->Meshes[0].Faces.Vertices[i];
                const TVec3 e = c.ToEye({p.tx, p.ty, p.tz});
                EXPECT_LT(e[2], 0);
                EXPECT_LT(std::abs(e[1] / e[2]), t);
                EXPECT_LT(std::abs(e[0] / e[2]), t * aspect);
            }
            if (ModelFits(*m, OrbitCamera(pitch, yaw, zoom * 0.1, {0, 0, 0}, aspect))) {
                ++plain;
                EXPECT_EQ(v.Zoom, zoom);
                EXPECT_EQ(v.Pan, (TVec3{0, 0, 0}));
            } else {
                ++framed;
            }
        }
    }
    EXPECT_GE(framed, 4); // both branches taken
    EXPECT_GE(plain, 1);
}
