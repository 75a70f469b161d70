#include "panels/view/view_panel.h"

#include <QMouseEvent>
#include <QWheelEvent>
#include <cmath>

#include "edit/view_pick.h"
#include "panels/panel_host.h"
#include "panels/view/paint_box.h"
#include "support/misc_utils.h"

namespace vorlin {

namespace {

// A press and release this close together are a click, not a drag.
constexpr double kClickDistance = 3;

bool Near(QPointF a, QPointF b) {
    return std::abs(a.x() - b.x()) <= kClickDistance && std::abs(a.y() - b.y()) <= kClickDistance;
}

} // namespace

TViewPanel::TViewPanel(TPanelHost& host, TPaintBox* box,
                       const std::unique_ptr<TOGLRenderer>& renderer)
    : host_(host), box_(box), renderer_(renderer) {}

TViewCamera TViewPanel::Camera() const {
    const TOGLRenderer& r = *renderer_;
    TViewCamera c;
    c.Pitch = r.CameraPitch;
    c.Yaw = r.CameraYaw;
    c.Pos = r.CameraPos;
    c.Pan = r.PanOffset;
    c.Aspect = r.Aspect;
    return c;
}

void TViewPanel::UpdateView() {
    TKeySession& s = host_.EditSession();
    if (!s.Model) return;
    s.Model->TransformVertices();
    if (renderer_) renderer_->SetCamera(ViewPitch, ViewYaw, ViewZoom * 0.1);
    host_.Redraw();
}

void TViewPanel::SetView(int yaw, int pitch) {
    ViewYaw = yaw;
    ViewPitch = pitch;
    UpdateView();
}

void TViewPanel::CenterGrid() {
    if (renderer_) renderer_->PanOffset = {0, 0, 0};
    host_.Redraw();
}

// ---------------------------------------------------------------------------------------------
// The toolbar's letters

void TViewPanel::DragPress(QPoint at) {
    LastX = at.x();
    LastY = at.y();
}

void TViewPanel::PanStep(QPoint at) {
    if (renderer_) renderer_->PanView(at.x() - LastX, at.y() - LastY);
    LastX = at.x();
    LastY = at.y();
    UpdateView();
}

void TViewPanel::RotateStep(QPoint at) {
    // One pixel is one degree: right raises the yaw, up raises the pitch; both wrap.
    ViewYaw = int(std::lround(NormalizeAngle(double(ViewYaw) + at.x() - LastX)));
    LastX = at.x();
    ViewPitch = int(std::lround(NormalizeAngle(double(ViewPitch) + LastY - at.y())));
    LastY = at.y();
    UpdateView();
}

void TViewPanel::ZoomStep(QPoint at) {
    // 2% of the distance per pixel: right moves away, left moves closer.
    ViewZoom += (at.x() - LastX) * ViewZoom * 0.02;
    if (ViewZoom > 500) ViewZoom = 500;
    if (ViewZoom < 1) ViewZoom = 1;
    LastX = at.x();
    UpdateView();
}

// ---------------------------------------------------------------------------------------------
// The mouse in the view

void TViewPanel::Orbit(QPoint at) {
    TKeySession& s = host_.EditSession();
    if (!Settings.ORBIT_SELECTION || !renderer_ || !s.Model || SelectedNode < 0 ||
        SelectedNode >= s.Model->HNodes.Count()) {
        RotateStep(at);
        return;
    }
    // The selected node's pivot stays where it is on the screen while the camera turns.
    const TVec3 pivot = NodePivot(*s.Model, SelectedNode);
    const TViewCamera before = Camera();
    ViewYaw = int(std::lround(NormalizeAngle(double(ViewYaw) + at.x() - LastX)));
    ViewPitch = int(std::lround(NormalizeAngle(double(ViewPitch) + LastY - at.y())));
    LastX = at.x();
    LastY = at.y();
    renderer_->SetCamera(ViewPitch, ViewYaw, ViewZoom * 0.1);
    renderer_->PanOffset = OrbitPan(before, Camera(), pivot);
    UpdateView();
}

void TViewPanel::PanAtModel(QPoint at) {
    TKeySession& s = host_.EditSession();
    TVec3 centre;
    double radius = 0;
    if (!renderer_ || !box_ || !s.Model || !PosedBounds(*s.Model, centre, radius)) {
        PanStep(at);
        return;
    }
    renderer_->PanOffset =
        PanAtDepth(Camera(), centre, at.x() - LastX, at.y() - LastY, box_->height());
    LastX = at.x();
    LastY = at.y();
    host_.Redraw();
}

void TViewPanel::Mouse(QMouseEvent* e) {
    TKeySession& s = host_.EditSession();
    const QPointF at = e->position();
    const int x = int(at.x());
    switch (e->type()) {
    case QEvent::MouseButtonPress:
        pressAt_ = at;
        dragMoved_ = false;
        LastX = x;
        LastY = int(at.y());
        if (e->button() != Qt::LeftButton) return; // the right and middle buttons steer
        if (!host_.CanEdit() || !s.Model) return;
        // An entry that is not there (a document with fewer nodes than the model, a node
        // without entries) is reported once, and the drag is refused: not once per move.
        host_.RunCommand([&] {
            (void)s.SelectedKeyEntry();
            // The whole drag, press to release, is one step to undo.
            dragging_ = host_.BeginDragStep({s.KeyNodeIndex()}, kind && kind() == TDragKind::Move
                                                                    ? "Move Entry"
                                                                    : "Rotate Entry");
        });
        return;
    case QEvent::MouseMove: {
        // The camera, in edit and play mode alike; it changes nothing in the document.
        if (e->buttons() & Qt::RightButton) {
            Orbit(at.toPoint());
            return;
        }
        if (e->buttons() & Qt::MiddleButton) {
            PanAtModel(at.toPoint());
            return;
        }
        if (!(e->buttons() & Qt::LeftButton)) {
            if (dragging_) { // the release went elsewhere
                dragging_ = false;
                host_.EndDragStep();
            }
            if (onHover) onHover(NodeAt(at));
            return;
        }
        if (!dragging_ || !host_.Dragging()) return;
        // Editing starts once the pointer has left the click distance; the steps then count
        // from the press, so the drag moves the entry as far as it ever did.
        if (!dragMoved_ && Near(at, pressAt_)) return;
        dragMoved_ = true;
        const int dx = x - LastX;
        LastX = x;
        const TAxis a = axis ? axis() : TAxis::None;
        const TDragKind k = kind ? kind() : TDragKind::Rotate;
        host_.RunCommand([&] { host_.GoToFrame(s.DragEntry(a, k, dx)); });
        return;
    }
    case QEvent::MouseButtonRelease: {
        if (e->button() != Qt::LeftButton) return;
        const bool click = !dragMoved_ && Near(at, pressAt_);
        if (dragging_) {
            dragging_ = false;
            host_.EndDragStep();
        }
        // A click picks the node whose mesh is front-most under the pointer, as a click on
        // its row in the tree does; a click on empty space changes nothing.
        if (click && s.KeyFile && host_.CanEdit()) {
            const int node = NodeAt(at);
            if (node >= 0) host_.PickNode(node);
        }
        return;
    }
    default:
        return;
    }
}

void TViewPanel::Wheel(QWheelEvent* e) {
    // A notch is five pixels of the Z drag: forward comes closer.
    const double notches = e->angleDelta().y() / 120.0;
    ViewZoom = std::clamp(ViewZoom - notches * 5 * ViewZoom * 0.02, 1.0, 500.0);
    // Only the camera moves: the posed vertices stay as they are.
    if (renderer_) renderer_->SetCamera(ViewPitch, ViewYaw, ViewZoom * 0.1);
    host_.Redraw();
}

int TViewPanel::NodeAt(QPointF at) const {
    const TKeySession& s = host_.EditSession();
    if (!renderer_ || !s.Model || !box_) return -1;
    return PickNode(*s.Model, Camera().RayAt(at.x(), at.y(), box_->width(), box_->height()));
}

void TViewPanel::FrameModel() {
    TKeySession& s = host_.EditSession();
    if (!s.Model || !renderer_) return;
    const std::optional<TViewFraming> f = vorlin::FrameModel(*s.Model, Camera());
    if (!f) return;
    ViewZoom = f->Zoom;
    renderer_->PanOffset = f->Pan;
    UpdateView();
}

bool TViewPanel::ModelFits() const {
    const TKeySession& s = host_.EditSession();
    if (!s.Model || !renderer_) return true;
    return vorlin::ModelFits(*s.Model, Camera());
}

} // namespace vorlin
