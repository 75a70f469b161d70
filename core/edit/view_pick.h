// The 3D view's camera as the renderer draws with it, without OpenGL: a point of the window
// as a ray into the scene, the model node a ray meets first, and the camera that fits the
// posed model into the view. Picking and framing work on the posed vertices the renderer
// draws, so they do not depend on the graphics driver.
#pragma once

#include <array>
#include <optional>

namespace vorlin {

class T3DO;

using TVec3 = std::array<double, 3>;

struct TRay {
    TVec3 Origin{};
    TVec3 Dir{}; // not normalised
};

struct TViewCamera {
    // As the renderer holds them: eye = Pan + Rx(-90 - Pitch) Rz(-Yaw) (world - Pos).
    double Pitch = 0, Yaw = 0;
    TVec3 Pos{}, Pan{};
    double FovY = 85; // degrees, vertical
    double Aspect = 1;

    TVec3 ToEye(const TVec3& world) const;
    // The ray from the eye through pixel (x, y) of a width x height view (y downwards).
    TRay RayAt(double x, double y, double width, double height) const;
};

// The hierarchy node whose mesh the ray meets first (its posed faces, each a fan of
// triangles, either side facing); -1 when it meets none.
int PickNode(const T3DO& model, const TRay& ray);

// The centre and radius of a sphere around the posed vertices of every shown mesh; false for a
// model without vertices.
bool PosedBounds(const T3DO& model, TVec3& centre, double& radius);

// Where a node's pivot is in the world, as the posed model has it (the point its mesh turns
// about); the origin for a node the model does not have.
TVec3 NodePivot(const T3DO& model, int node);

// The pan after a drag of (dx, dy) pixels across a view height pixels high, such that a point
// at the depth of `at` stays under the pointer (a point nearer or farther moves less or more).
TVec3 PanAtDepth(const TViewCamera& camera, const TVec3& at, double dx, double dy, double height);

// The pan that keeps centre where it was on the screen when the camera turned from `before` to
// `after` (whose pans are before's): orbiting about centre.
TVec3 OrbitPan(const TViewCamera& before, const TViewCamera& after, const TVec3& centre);

// The pan and camera distance that show a sphere whole, with a margin, from the camera's
// direction (its position's, or its Pitch and Yaw's at the origin), the sphere's centre in the
// middle of the view.
struct TFraming {
    TVec3 Pan{};
    double Distance = 0;
};
TFraming FrameSphere(const TViewCamera& camera, const TVec3& centre, double radius,
                     double margin = 1.1);

// The view's camera from its controls: elevation and azimuth in degrees and the distance from
// the origin.
TViewCamera OrbitCamera(double pitch, double yaw, double distance, const TVec3& pan, double aspect);

// The least and greatest zoom the view takes (a tenth of the zoom is the camera's distance).
constexpr double kMinViewZoom = 1, kMaxViewZoom = 500;

// Whether the posed model shows whole with the camera as it is (true for a model without
// vertices).
bool ModelFits(const T3DO& model, const TViewCamera& camera);

// View > Frame Model: the zoom and pan that fit the posed model into the view from the
// camera's direction; a distance beyond the zoom's limits is made up along the view's axis.
// Nothing for a model without vertices.
struct TViewFraming {
    double Zoom = 0;
    TVec3 Pan{};
};
std::optional<TViewFraming> FrameModel(const T3DO& model, const TViewCamera& camera);

// The zoom and pan the view has after a model is loaded, at these angles and aspect: a zoom
// of ten radii (and 3) from the origin, framed instead when the model would not show whole.
TViewFraming FirstView(const T3DO& model, double pitch, double yaw, double aspect);

} // namespace vorlin
