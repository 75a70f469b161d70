// The timeline's commands: picking keys, moving, deleting, inserting, nudging, copying and
// pasting, duplicating and scaling them, and the actions that run them. Each change is one step
// to undo, named as the menus name it; the rules are the core's (edit/timeline.h,
// edit/key_edit.h, edit/key_commands.h).
#include <QCursor>
#include <QScrollBar>
#include <cmath>

#include "common/action_table.h"
#include "common/qt_strings.h"
#include "edit/key_commands.h"
#include "panels/panel_host.h"
#include "panels/timeline/timeline_panel.h"
#include "panels/value_field.h"

namespace vorlin {

namespace {

QString Signed(int delta) {
    return delta < 0 ? QString::number(delta) : "+" + QString::number(delta);
}

} // namespace

void TTimelinePanel::BuildActions(TActionTable& actions) {
    auto add = [&](const char* id, const char* caption, QList<QKeySequence> keys,
                   TActionContext context, std::function<void()> run) {
        TActionDef def;
        def.Id = id;
        def.Caption = caption;
        def.Keys = std::move(keys);
        def.Context = context;
        def.Run = std::move(run);
        return actions.Add(def);
    };
    auto status = [this](const TCommandResult& r) {
        if (!r.Status.empty()) host_.ShowStatus(ToQ(r.Status), r.Done ? 3000 : 5000);
    };
    const auto T = TActionContext::Timeline, W = TActionContext::Window;
    // A key at the playhead, from the timeline's rules; I from anywhere but a text field
    // (which takes its letters first). "K" stays with KEY Summary.
    add("InsertKey1", "Insert Ke&y", {QKeySequence(Qt::Key_I)}, W,
        [=, this] { status(InsertKeyCommand(doc_, summary_)); });
    add("NextKey1", "Next Key", {QKeySequence("Ctrl+Right")}, W, [this] { StepKey(+1); });
    add("PreviousKey1", "Previous Key", {QKeySequence("Ctrl+Left")}, W, [this] { StepKey(-1); });
    add("NudgeKeysLater1", "Move Keys a Frame Later", {QKeySequence("Alt+Right")}, W,
        [this] { NudgeKeys(+1); });
    add("NudgeKeysEarlier1", "Move Keys a Frame Earlier", {QKeySequence("Alt+Left")}, W,
        [this] { NudgeKeys(-1); });
    add("SelectAllKeys1", "Select All Keys", {QKeySequence(Qt::Key_A), QKeySequence("Ctrl+A")}, T,
        [this] { SelectAll(); });
    add("SelectNoKeys1", "Select No Keys", {QKeySequence("Alt+A")}, T, [this] { SelectNone(); });
    // Delete takes what was picked last: markers, or else keys.
    add("DeleteKeys1", "Delete Keys",
        {QKeySequence(Qt::Key_Delete), QKeySequence(Qt::Key_Backspace)}, T, [this] {
            if (doc_.PickedMarkers().empty())
                DeleteKeys();
            else
                DeleteMarkers();
        });
    add("GrabKeys1", "Grab Keys", {QKeySequence(Qt::Key_G)}, T, [this] { GrabKeys(); });
    add("PickColumns1", "Select Keys on the Same Frames", {QKeySequence(Qt::Key_K)}, T,
        [this] { PickColumns(); });
    // Ctrl+K here; Check KEY's elsewhere.
    add("PickBetweenMarkers1", "Select Keys Between Markers", {QKeySequence("Ctrl+K")}, T,
        [this] { PickBetweenMarkers(); });
    add("BoxPick1", "Box Select", {QKeySequence(Qt::Key_B)}, T, [this] { BoxPick(); });
    // From anywhere, as I: a marker can be put while the animation plays.
    add("AddMarker1", "Add Marker at &Frame", {QKeySequence(Qt::Key_M)}, W,
        [this] { AddMarker(); });
    add("SetPreviewRange1", "Set Preview Range", {QKeySequence(Qt::Key_P)}, T,
        [this] { SetRange(); });
    add("ClearPreviewRange1", "Clear Preview Range", {QKeySequence("Alt+P")}, W,
        [this] { ClearRange(); });
    add("ScaleKeys1", "Scale Keys", {QKeySequence(Qt::Key_S)}, T, [this] { ScaleKeys(); });
    add("CopyKeys1", "Copy Keys", {QKeySequence("Ctrl+C")}, T, [this] { CopyKeys(); });
    add("PasteKeys1", "Paste Keys", {QKeySequence("Ctrl+V")}, T, [this] { PasteKeys(); });
    add("DuplicateKeys1", "Duplicate Keys", {QKeySequence("Shift+D")}, T,
        [this] { DuplicateKeys(); });
    add("FitTimeline1", "Show the Whole Animation", {QKeySequence(Qt::Key_Home)}, T,
        [this] { Fit(); });
}

// ---------------------------------------------------------------------------------------------
// Picking

void TTimelinePanel::PickKey(TKeyRef key, bool add) {
    if (doc_.Editing() || !doc_.KeyFile) return;
    if (add) {
        // The selected entry is where a Shift+click starts from.
        std::vector<TKeyRef> keys = doc_.SelectedKeys();
        if (auto at = std::find(keys.begin(), keys.end(), key); at != keys.end())
            keys.erase(at);
        else
            keys.push_back(key);
        doc_.SetPickedKeys(keys);
        KeysPicked();
        return;
    }
    // The node's row, then the entry, as clicks on the tree and the list would.
    summary_ = false;
    const int joint = doc_.KeyFile->Joint(key.node);
    if (joint != doc_.SelectedNode()) doc_.PickNode(joint);
    if (doc_.KeyNodeIndex() != key.node || key.entry >= doc_.EntryCount()) return;
    host_.RunCommand([&] { ClickEntryCommand(doc_, key.entry); });
    update();
}

void TTimelinePanel::PickKeys(std::vector<TKeyRef> keys, bool add) {
    if (doc_.Editing() || !doc_.KeyFile) return;
    if (add) {
        const std::vector<TKeyRef> before = doc_.SelectedKeys();
        keys.insert(keys.end(), before.begin(), before.end());
    }
    doc_.SetPickedKeys(keys);
    KeysPicked();
}

void TTimelinePanel::PickColumn(int32_t frame, bool add) {
    if (!doc_.KeyFile) return;
    summary_ = true;
    PickKeys(KeysAtFrame(*doc_.KeyFile, frame), add);
}

void TTimelinePanel::SelectAll() {
    if (!doc_.KeyFile) return;
    PickKeys(AllKeys(*doc_.KeyFile), false);
}

void TTimelinePanel::SelectNone() {
    if (doc_.Editing()) return;
    // The selected entry stays what the commands act on; nothing else is picked.
    doc_.SetPickedKeys({});
    summary_ = false;
    KeysPicked();
}

void TTimelinePanel::KeysPicked() {
    const size_t n = doc_.SelectedKeys().size();
    host_.ShowStatus(n == 1 ? "1 key picked" : QString("%1 keys picked").arg(n), 3000);
    update();
}

void TTimelinePanel::PickColumns() {
    if (!doc_.KeyFile) return;
    PickKeys(KeysOnFramesOf(*doc_.KeyFile, doc_.SelectedKeys()), false);
}

void TTimelinePanel::PickBetweenMarkers() {
    const TCommandResult r = PickBetweenMarkersCommand(doc_);
    if (!r.Status.empty()) host_.ShowStatus(ToQ(r.Status), 4000);
    update();
}

// ---------------------------------------------------------------------------------------------
// Moving by the mouse and by the keys

void TTimelinePanel::BeginMove() {
    move_.reset();
    if (!doc_.CanEdit()) return;
    auto move = std::make_unique<TKeyMove>(*doc_.KeyFile, doc_.SelectedKeys());
    if (move->Empty() || !doc_.Begin("Move Keys", move->Nodes())) return;
    move_ = std::move(move);
}

void TTimelinePanel::MoveStep(double pointerFrame, bool snap) {
    if (!move_ || !doc_.KeyFile || !doc_.Editing()) return;
    // Ctrl: the pressed key goes to the marker nearest the pointer.
    const int wanted = snap ? SnapToMarker(*doc_.KeyFile, pointerFrame) - moveFrom_
                            : int(std::lround(std::clamp(pointerFrame - moveFrom_, -4e9, 4e9)));
    const int delta = move_->Apply(*doc_.KeyFile, wanted);
    SetReadout(QString("frame %1 (%2)").arg(moveFrom_ + delta).arg(Signed(delta)), readoutAt_);
    doc_.Changed(chKeys, move_->Nodes());
    // The frame follows the selected entry, as a click on it would show it.
    if (const int frame = doc_.SelectedKeyFrame(); frame >= 0) doc_.SetFrame(frame);
}

void TTimelinePanel::EndMove() {
    doc_.Commit();
    move_.reset();
    summaryStaying_.reset();
    SetReadout({}, {});
}

void TTimelinePanel::NudgeKeys(int dir) {
    const TCommandResult r = NudgeKeysCommand(doc_, dir);
    if (!r.Status.empty()) host_.ShowStatus(ToQ(r.Status));
}

void TTimelinePanel::StepKey(int dir) {
    if (!doc_.CanEdit()) return;
    const int node = doc_.KeyNodeIndex();
    if (node < 0) return;
    const int entry = NeighbourKey(doc_.KeyFile->Nodes[node], doc_.Frame(), dir);
    if (entry >= 0 && entry < doc_.EntryCount())
        host_.RunCommand([&] { ClickEntryCommand(doc_, entry); });
}

// ---------------------------------------------------------------------------------------------
// Deleting and inserting

void TTimelinePanel::DeleteKeys() {
    const TCommandResult r = DeleteKeysCommand(doc_);
    if (!r.Status.empty()) host_.ShowStatus(ToQ(r.Status));
}

void TTimelinePanel::InsertKey() {
    const TCommandResult r = InsertKeyCommand(doc_, summary_);
    if (!r.Status.empty()) host_.ShowStatus(ToQ(r.Status), 3000);
    update();
}

// ---------------------------------------------------------------------------------------------
// Copying, pasting, duplicating

void TTimelinePanel::CopyKeys() {
    const TCommandResult r = CopyKeysCommand(doc_);
    if (!r.Status.empty()) host_.ShowStatus(ToQ(r.Status), 3000);
}

void TTimelinePanel::PasteKeys() {
    const TCommandResult r = PasteKeysCommand(doc_);
    if (!r.Status.empty()) host_.ShowStatus(ToQ(r.Status), r.Done ? 3000 : 5000);
    update();
}

void TTimelinePanel::DuplicateKeys() {
    if (!MayTransform()) return;
    const std::vector<TKeyRef> keys = doc_.SelectedKeys();
    if (keys.empty()) return;
    duplicate_ = TKeyClipboard::Copy(*doc_.KeyFile, keys);
    duplicateFirst_ = INT32_MAX;
    for (const TKeyRef& k : keys)
        duplicateFirst_ =
            std::min(duplicateFirst_, doc_.KeyFile->Nodes[k.node].Entries[k.entry].Frame);
    const std::vector<int> nodes = NodesOf(keys);
    if (!doc_.Begin("Duplicate Keys", nodes)) return;
    duplicatePicked_ = doc_.PickedKeys();
    duplicateBase_ = std::make_unique<TNodesSnapshot>(*doc_.KeyFile, nodes);
    duplicateDelta_ = 0;
    modal_ = Modal::Duplicate;
    modalAt_ = mapFromGlobal(QCursor::pos());
    setMouseTracking(true);
    grabKeyboard();
    SetReadout("duplicate", modalAt_,
               "Duplicate: move the copies, then a click puts them (Escape gives them up)");
}

void TTimelinePanel::ApplyDuplicate(int delta) {
    if (PasteRefusal(*doc_.KeyFile, duplicate_, duplicateFirst_ + delta) != "") return;
    duplicateBase_->Restore(*doc_.KeyFile);
    duplicateDelta_ = delta;
    if (delta != 0) // on the originals themselves the copies would change nothing
        doc_.SetPickedKeys(
            vorlin::PasteKeys(*doc_.KeyFile, duplicate_, duplicateFirst_ + delta).Keys);
    SetReadout(QString("frame %1 (%2)").arg(duplicateFirst_ + delta).arg(Signed(delta)),
               readoutAt_);
    doc_.Changed(chKeys, duplicateBase_->Nodes());
}

// ---------------------------------------------------------------------------------------------
// Grabbing

bool TTimelinePanel::MayTransform() {
    if (modal_ != Modal::None) return false;
    if (doc_.KeyFile && doc_.Playing()) {
        host_.ShowStatus("Keys move in edit mode: Space stops playing");
        return false;
    }
    return doc_.CanEdit();
}

void TTimelinePanel::GrabKeys() {
    if (!MayTransform()) return;
    auto move = std::make_unique<TKeyMove>(*doc_.KeyFile, doc_.SelectedKeys());
    if (move->Empty()) {
        host_.ShowStatus("Pick the keys to move (a node's first entry stays where it is)");
        return;
    }
    if (!doc_.Begin("Move Keys", move->Nodes())) return;
    move_ = std::move(move);
    const TKeyRef first = move_->Keys().front();
    moveFrom_ = doc_.SelectedKeyFrame() >= 0
                    ? doc_.SelectedKeyFrame()
                    : doc_.KeyFile->Nodes[first.node].Entries[first.entry].Frame;
    grabFrame_ = doc_.Frame();
    grabTyped_ = false;
    modal_ = Modal::Grab;
    modalAt_ = mapFromGlobal(QCursor::pos());
    setMouseTracking(true);
    // A number typed is the offset from then on; the pointer no longer sets it.
    field_->onEdited = [this] {
        grabTyped_ = true;
        if (const auto v = field_->Value(); v && *v == std::round(*v) && std::abs(*v) < 1e9)
            ApplyGrab(int(*v));
    };
    field_->onEnter = [this] { ConfirmModal(); };
    field_->onCancel = [this] { CancelModal(); };
    field_->Open(QPointF(Layout.X(moveFrom_), 0), "0");
    SetReadout(QString("frame %1 (+0)").arg(moveFrom_), modalAt_,
               "Grab: move the pointer or type the frames (-4), then a click or Enter (Escape "
               "gives it up)");
}

void TTimelinePanel::ApplyGrab(int delta) {
    const int moved = move_->Apply(*doc_.KeyFile, delta);
    SetReadout(QString("frame %1 (%2)").arg(moveFrom_ + moved).arg(Signed(moved)), readoutAt_);
    doc_.Changed(chKeys, move_->Nodes());
    if (const int frame = doc_.SelectedKeyFrame(); frame >= 0) doc_.SetFrame(frame);
}

// ---------------------------------------------------------------------------------------------
// Scaling

void TTimelinePanel::ScaleKeys() {
    if (!MayTransform()) return;
    auto scale = std::make_unique<TKeyScale>(*doc_.KeyFile, doc_.SelectedKeys(), doc_.Frame());
    if (scale->Empty()) {
        host_.ShowStatus("Pick the keys to scale (a node's first entry stays where it is)");
        return;
    }
    if (!doc_.Begin("Scale Keys", scale->Nodes())) return;
    scale_ = std::move(scale);
    modal_ = Modal::Scale;
    modalAt_ = mapFromGlobal(QCursor::pos());
    setMouseTracking(true);
    field_->onEdited = [this] {
        if (const auto v = field_->Value()) ApplyScale(*v);
    };
    field_->onEnter = [this] { ConfirmModal(); };
    field_->onCancel = [this] { CancelModal(); };
    field_->Open(QPointF(Layout.X(scale_->About()), 0), "1");
    SetReadout(QString("scale about frame %1").arg(scale_->About()), modalAt_,
               QString("Scale about frame %1: type a factor or move the pointer, then Enter or a "
                       "click (Escape gives it up)")
                   .arg(scale_->About()));
}

void TTimelinePanel::ApplyScale(double factor) {
    const QString refusal = QString::fromStdString(scale_->Refusal(factor));
    if (!refusal.isEmpty()) {
        SetReadout(refusal, readoutAt_);
        return;
    }
    scale_->Apply(*doc_.KeyFile, factor);
    doc_.SetPickedKeys(scale_->Keys(*doc_.KeyFile));
    SetReadout(QString("scale %1 about frame %2").arg(factor, 0, 'g', 4).arg(scale_->About()),
               readoutAt_);
    doc_.Changed(chKeys, scale_->Nodes());
}

void TTimelinePanel::ModalMove(QPointF at) {
    readoutAt_ = at;
    if (modal_ == Modal::Grab) {
        if (grabTyped_) return;
        const int delta = int(
            std::lround(std::clamp((at.x() - modalAt_.x()) / Layout.PixelsPerFrame, -4e9, 4e9)));
        ApplyGrab(delta);
        field_->setText(QString::number(move_->Clamp(delta)));
        field_->selectAll(); // a number typed replaces it
        update();
        return;
    }
    if (modal_ == Modal::Duplicate) {
        const int delta = int(
            std::lround(std::clamp((at.x() - modalAt_.x()) / Layout.PixelsPerFrame, -4e9, 4e9)));
        if (delta != duplicateDelta_) ApplyDuplicate(delta);
        update();
        return;
    }
    // Scale: the pointer's distance from the playhead against where it began.
    const double about = Layout.X(scale_->About());
    const double from = modalAt_.x() - about;
    if (std::abs(from) < 1) return;
    const double factor = std::round((at.x() - about) / from * 100) / 100;
    field_->setText(QString::number(factor, 'g', 4));
    ApplyScale(factor);
    update();
}

void TTimelinePanel::ConfirmModal() {
    if (modal_ == Modal::Scale) {
        const std::optional<double> typed = field_->Value();
        const QString refusal =
            typed ? QString::fromStdString(scale_->Refusal(*typed)) : "Type a number";
        if (!refusal.isEmpty()) { // the field stays: the user types another factor
            host_.ShowStatus(refusal);
            SetReadout(refusal, readoutAt_);
            return;
        }
        scale_->Apply(*doc_.KeyFile, *typed);
        doc_.SetPickedKeys(scale_->Keys(*doc_.KeyFile));
        field_->Close();
    }
    if (modal_ == Modal::Grab) {
        const std::optional<double> typed = field_->Value();
        if (grabTyped_ && (!typed || *typed != std::round(*typed) || std::abs(*typed) >= 1e9)) {
            host_.ShowStatus("Type a whole number of frames");
            SetReadout("Type a whole number of frames", readoutAt_);
            return;
        }
        if (grabTyped_) ApplyGrab(int(*typed));
        field_->Close();
        move_.reset();
    }
    modal_ = Modal::None;
    setMouseTracking(false);
    releaseKeyboard();
    doc_.Commit();
    scale_.reset();
    duplicateBase_.reset();
    SetReadout({}, {});
}

void TTimelinePanel::CancelModal() {
    if (modal_ == Modal::Scale || modal_ == Modal::Grab) field_->Close();
    const Modal was = modal_;
    modal_ = Modal::None;
    setMouseTracking(false);
    releaseKeyboard();
    // Every key back where it was, no step; the copies' picks go back to their originals.
    doc_.Rollback();
    if (was == Modal::Duplicate) doc_.SetPickedKeys(duplicatePicked_);
    if (was == Modal::Grab) {
        move_.reset();
        doc_.SetFrame(grabFrame_);
    }
    scale_.reset();
    duplicateBase_.reset();
    SetReadout({}, {});
}

void TTimelinePanel::SetReadout(const QString& text, QPointF at, const QString& status) {
    const bool had = !readout_.isEmpty();
    readout_ = text;
    readoutAt_ = at;
    // The status bar says it too (or says more); an empty text clears it.
    if (!text.isEmpty() || had) host_.ShowStatus(status.isEmpty() ? text : status, 0);
    update();
}

} // namespace vorlin
