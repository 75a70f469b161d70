// The 3D view's commands: the standard views, centring the grid, rebuilding the renderer, the
// drag controls that pan, orbit and zoom, mouse editing of the selected entry, and the keys
// that step through the frames.
#include <QAction>
#include <QLabel>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QUndoStack>
#include <QWheelEvent>
#include <cmath>

#include "app/vorlinform.h"
#include "edit/view_pick.h"
#include "render/ogl_PRender.h"
#include "support/misc_utils.h"

namespace vorlin {

void TVorlinForm::SetView(int yaw, int pitch) {
    ViewYaw = yaw;
    ViewPitch = pitch;
    UpdateView();
}

void TVorlinForm::CenterGridClick() {
    if (Renderer) Renderer->PanOffset = {0, 0, 0};
    Redraw();
}

void TVorlinForm::RebuildRenderer() {
    SetEditMode();
    if (!Pbox) return; // no 3D view on this display: nothing to rebuild, nothing to report
    Renderer.reset();
    Renderer = std::make_unique<TOGLRenderer>(Pbox);
    Renderer->Progress = Progress;
    SceneToRenderer();
    Renderer->UpdateColours();
    if (Session.Model) Renderer->LoadTextures(Session.Model->Materials);
    FormResize();
    UpdateView();
}

// ---------------------------------------------------------------------------------------------
// The drag controls

void TVorlinForm::DragPress(QPoint at) {
    Pause();
    LastX = at.x();
    LastY = at.y();
}

void TVorlinForm::PanStep(QPoint at) {
    if (Renderer) Renderer->PanView(at.x() - LastX, at.y() - LastY);
    LastX = at.x();
    LastY = at.y();
    UpdateView();
}

void TVorlinForm::RotateStep(QPoint at) {
    // One pixel is one degree: right raises the yaw, up raises the pitch; both wrap.
    ViewYaw = int(std::lround(NormalizeAngle(double(ViewYaw) + at.x() - LastX)));
    LastX = at.x();
    ViewPitch = int(std::lround(NormalizeAngle(double(ViewPitch) + LastY - at.y())));
    LastY = at.y();
    UpdateView();
}

void TVorlinForm::ZoomStep(QPoint at) {
    // 2% of the distance per pixel: right moves away, left moves closer.
    ViewZoom += (at.x() - LastX) * ViewZoom * 0.02;
    if (ViewZoom > 500) ViewZoom = 500;
    if (ViewZoom < 1) ViewZoom = 1;
    LastX = at.x();
    UpdateView();
}

// ---------------------------------------------------------------------------------------------
// Mouse editing in the view

namespace {

// A press and release this close together are a click, not a drag.
constexpr double kClickDistance = 3;

bool Near(QPointF a, QPointF b) {
    return std::abs(a.x() - b.x()) <= kClickDistance && std::abs(a.y() - b.y()) <= kClickDistance;
}

} // namespace

void TVorlinForm::ViewMouse(QMouseEvent* e) {
    const QPointF at = e->position();
    const int x = int(at.x());
    switch (e->type()) {
    case QEvent::MouseButtonPress:
        pressAt_ = at;
        dragMoved_ = false;
        LastX = x;
        LastY = int(at.y());
        if (e->button() != Qt::LeftButton) return; // the right and middle buttons steer
        if (!BNEdit->isChecked() || !Session.Model || !Session.KeyFile) return;
        // An entry that is not there (a document with fewer nodes than the model, a node
        // without entries) is reported once, and the drag is refused: not once per move.
        EndDrag();
        Command([&] {
            (void)Session.SelectedKeyEntry();
            // The whole drag, press to release, is one step to undo.
            BeginDrag({Session.KeyNodeIndex()}, {});
        });
        return;
    case QEvent::MouseMove: {
        // The camera, in edit and play mode alike; it changes nothing in the document.
        if (e->buttons() & Qt::RightButton) {
            RotateStep(at.toPoint());
            return;
        }
        if (e->buttons() & Qt::MiddleButton) {
            PanStep(at.toPoint());
            return;
        }
        if (!(e->buttons() & Qt::LeftButton)) {
            EndDrag(); // the release went elsewhere
            ShowHoveredNode(NodeAt(at));
            return;
        }
        if (!drag_) return;
        // Editing starts once the pointer has left the click distance; the steps then count
        // from the press, so the drag moves the entry as far as it ever did.
        if (!dragMoved_ && Near(at, pressAt_)) return;
        dragMoved_ = true;
        if (!BNEdit->isChecked() || Session.KeyFile.get() != dragDoc_) return;
        const int dx = x - LastX;
        LastX = x;
        const TAxis axis = BNXAxis->isChecked()   ? TAxis::X
                           : BNYAxis->isChecked() ? TAxis::Y
                           : BNZAxis->isChecked() ? TAxis::Z
                                                  : TAxis::None;
        const TDragKind kind = BNMove->isChecked() ? TDragKind::Move : TDragKind::Rotate;
        Command([&] { ShowFrame(Session.DragEntry(axis, kind, dx)); });
        return;
    }
    case QEvent::MouseButtonRelease: {
        if (e->button() != Qt::LeftButton) return;
        const bool click = !dragMoved_ && Near(at, pressAt_);
        EndDrag();
        // A click picks the node whose mesh is front-most under the pointer, as a click on
        // its row in the tree does; a click on empty space changes nothing.
        if (click && BNEdit->isChecked()) {
            const int node = NodeAt(at);
            if (node >= 0 && node < TV3DO->topLevelItemCount())
                TV3DO->setCurrentItem(TV3DO->topLevelItem(node));
        }
        return;
    }
    default:
        return;
    }
}

void TVorlinForm::ViewWheel(QWheelEvent* e) {
    // A notch is five pixels of the Z drag: forward comes closer.
    const double notches = e->angleDelta().y() / 120.0;
    ViewZoom = std::clamp(ViewZoom - notches * 5 * ViewZoom * 0.02, 1.0, 500.0);
    // Only the camera moves: the posed vertices stay as they are.
    if (Renderer) Renderer->SetCamera(ViewPitch, ViewYaw, ViewZoom * 0.1);
    Redraw();
}

namespace {

TViewCamera CameraOf(const TOGLRenderer& r) {
    TViewCamera c;
    c.Pitch = r.CameraPitch;
    c.Yaw = r.CameraYaw;
    c.Pos = r.CameraPos;
    c.Pan = r.PanOffset;
    c.Aspect = r.Aspect;
    return c;
}

} // namespace

int TVorlinForm::NodeAt(QPointF at) const {
    if (!Renderer || !Session.Model || !Pbox) return -1;
    return vorlin::PickNode(
        *Session.Model, CameraOf(*Renderer).RayAt(at.x(), at.y(), Pbox->width(), Pbox->height()));
}

void TVorlinForm::ShowHoveredNode(int node) {
    // Apart from panel 0, whose name goes with the pose values beside it: the selected node's.
    QTreeWidgetItem* row = node >= 0 && node != SelectedNode ? TV3DO->topLevelItem(node) : nullptr;
    SBarHover->setText(row ? "Pointer: " + row->text(0) : QString());
    SBarHover->setVisible(row != nullptr);
}

void TVorlinForm::FrameModel() {
    if (!Session.Model || !Renderer) return;
    TVec3 centre;
    double radius = 0;
    if (!PosedBounds(*Session.Model, centre, radius)) return;
    const TFraming f = FrameSphere(CameraOf(*Renderer), centre, radius);
    ViewZoom = std::clamp(f.Distance * 10, 1.0, 500.0);
    // A distance beyond the zoom's limits is made up by moving the picture along the axis.
    const double shortBy = f.Distance - ViewZoom * 0.1;
    Renderer->PanOffset = {f.Pan[0], f.Pan[1], f.Pan[2] - shortBy};
    UpdateView();
}

bool TVorlinForm::ModelFits() const {
    if (!Session.Model || !Renderer) return true;
    TVec3 centre;
    double radius = 0;
    if (!PosedBounds(*Session.Model, centre, radius)) return true;
    const TViewCamera camera = CameraOf(*Renderer);
    const TVec3 e = camera.ToEye(centre);
    const double depth = -e[2] - radius; // the sphere's nearest point
    const double t = std::tan(camera.FovY / 2 * 3.14159265358979323846 / 180);
    return depth > 0 && std::abs(e[1]) + radius <= t * depth &&
           std::abs(e[0]) + radius <= t * camera.Aspect * depth;
}

void TVorlinForm::BeginDrag(const std::vector<int>& nodes, const QString& text) {
    drag_ = BeginChange(nodes);
    dragDoc_ = Session.KeyFile.get();
    dragText_ = text;
    // Undo and redo wait for the release: the step is not on the stack yet.
    for (const char* name : {"Undo1", "Redo1"})
        findChild<QAction*>(name)->setEnabled(false);
}

void TVorlinForm::EndDrag() {
    if (!drag_) return;
    std::unique_ptr<TKeyChange> change = std::move(drag_);
    if (Session.KeyFile && Session.KeyFile.get() == dragDoc_)
        EndChange(std::move(change), !dragText_.isEmpty()  ? dragText_
                                     : BNMove->isChecked() ? "Move Entry"
                                                           : "Rotate Entry");
    dragDoc_ = nullptr;
    dragText_.clear();
    findChild<QAction*>("Undo1")->setEnabled(UndoStack->canUndo());
    findChild<QAction*>("Redo1")->setEnabled(UndoStack->canRedo());
}

// ---------------------------------------------------------------------------------------------
// Frame keys

void TVorlinForm::WindowKey(const char* name, const char* text, const QKeySequence& keys,
                            std::function<void()> run) {
    auto* a = new QAction(text, this);
    a->setObjectName(name);
    a->setShortcut(keys);
    a->setShortcutContext(Qt::WindowShortcut);
    connect(a, &QAction::triggered, this, [this, run] { Command(run); });
    addAction(a);
}

void TVorlinForm::BuildFrameKeys() {
    auto key = [this](const char* name, const char* text, QKeySequence keys,
                      std::function<void()> run) { WindowKey(name, text, keys, std::move(run)); };
    // Stepping is for edit mode; during playback the frame is the timer's.
    auto editing = [this] { return Session.KeyFile && !BNPlay->isChecked(); };
    key("PreviousFrame1", "Previous Frame", Qt::Key_Left, [this, editing] {
        if (editing()) StepFrame(SBFrame->value() - 1);
    });
    key("NextFrame1", "Next Frame", Qt::Key_Right, [this, editing] {
        if (editing()) StepFrame(SBFrame->value() + 1);
    });
    key("FirstFrame1", "First Frame", Qt::Key_Home, [this, editing] {
        if (editing()) StepFrame(0);
    });
    key("LastFrame1", "Last Frame", Qt::Key_End, [this, editing] {
        if (editing()) StepFrame(SBFrame->maximum());
    });
    key("PlayPause1", "Play or Stop", Qt::Key_Space, [this] {
        if (!Session.KeyFile) return;
        if (BNPlay->isChecked())
            SetEditMode();
        else
            SetPlayMode();
    });
}

void TVorlinForm::StepFrame(int to) {
    to = std::clamp(to, 0, SBFrame->maximum());
    if (to != SBFrame->value())
        SBFrame->setValue(to); // the slider's change shows the frame
    else
        ShowFrame(to);
}

} // namespace vorlin
