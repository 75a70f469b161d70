// The 3D view's commands: the standard views, centring the grid, rebuilding the renderer, the
// drag controls that pan, orbit and zoom, mouse editing of the selected entry, and the keys
// that step through the frames.
#include <QAction>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTimer>
#include <QToolButton>
#include <QUndoStack>
#include <cmath>

#include "app/vorlinform.h"
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

void TVorlinForm::ViewMouse(QMouseEvent* e) {
    const int x = int(e->position().x());
    switch (e->type()) {
    case QEvent::MouseButtonPress:
        if (!BNEdit->isChecked()) return;
        LastX = x;
        if (e->button() != Qt::LeftButton || !Session.Model || !Session.KeyFile) return;
        // An entry that is not there (a document with fewer nodes than the model, a node
        // without entries) is reported once, and the drag is refused: not once per move.
        EndDrag();
        Command([&] {
            (void)Session.SelectedKeyEntry();
            // The whole drag, press to release, is one step to undo.
            drag_ = BeginChange({Session.KeyNodeIndex()});
            dragDoc_ = Session.KeyFile.get();
        });
        // Undo and redo wait for the release: the step is not on the stack yet.
        if (drag_)
            for (const char* name : {"Undo1", "Redo1"})
                findChild<QAction*>(name)->setEnabled(false);
        return;
    case QEvent::MouseMove: {
        if (!drag_) return;
        if (!(e->buttons() & Qt::LeftButton)) { // the release went elsewhere
            EndDrag();
            return;
        }
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
    case QEvent::MouseButtonRelease:
        if (e->button() == Qt::LeftButton) EndDrag();
        return;
    default:
        return;
    }
}

void TVorlinForm::EndDrag() {
    if (!drag_) return;
    std::unique_ptr<TKeyChange> change = std::move(drag_);
    if (Session.KeyFile && Session.KeyFile.get() == dragDoc_)
        EndChange(std::move(change), BNMove->isChecked() ? "Move Entry" : "Rotate Entry");
    dragDoc_ = nullptr;
    findChild<QAction*>("Undo1")->setEnabled(UndoStack->canUndo());
    findChild<QAction*>("Redo1")->setEnabled(UndoStack->canRedo());
}

// ---------------------------------------------------------------------------------------------
// Frame keys

void TVorlinForm::BuildFrameKeys() {
    auto key = [this](const char* name, const char* text, QKeySequence shortcut,
                      std::function<void()> run) {
        auto* a = new QAction(text, this);
        a->setObjectName(name);
        a->setShortcut(shortcut);
        a->setShortcutContext(Qt::WindowShortcut);
        connect(a, &QAction::triggered, this, [this, run] { Command(run); });
        addAction(a);
    };
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
