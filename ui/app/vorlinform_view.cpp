// The 3D view's renderer (View > Refresh), the node under the pointer in the status bar, the
// record of a change a drag makes (any panel's drag: one step from press to release), and the
// keys that step through the frames. The view's camera and mouse are in panels/view/.
#include <QAction>
#include <QLabel>
#include <QScrollBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QUndoStack>

#include "app/vorlinform.h"
#include "dialogs/progress_form.h"
#include "panels/view/view_panel.h"
#include "panels/view/paint_box.h"

namespace vorlin {

void TVorlinForm::RebuildRenderer() {
    SetEditMode();
    if (!Pbox) return; // no 3D view on this display: nothing to rebuild, nothing to report
    Renderer.reset();
    Renderer = std::make_unique<TOGLRenderer>(Pbox);
    Renderer->Progress = TProgressForm::Reporter(Progress);
    SceneToRenderer();
    Renderer->UpdateColours();
    if (Session.Model) Renderer->LoadTextures(Session.Model->Materials);
    FormResize();
    view_->UpdateView();
}

void TVorlinForm::ShowHoveredNode(int node) {
    // Apart from panel 0, whose name goes with the pose values beside it: the selected node's.
    QTreeWidgetItem* row = node >= 0 && node != SelectedNode ? TV3DO->topLevelItem(node) : nullptr;
    SBarHover->setText(row ? "Pointer: " + row->text(0) : QString());
    SBarHover->setVisible(row != nullptr);
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
        EndChange(std::move(change), dragText_);
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
