// The timeline's commands: picking keys, moving, deleting, inserting, nudging, copying and
// pasting, duplicating and scaling them. Each change is one step to undo, named as the menus
// name it; the rules are the core's (edit/timeline.h, edit/key_edit.h).
#include <QScrollBar>

#include "edit/key_session.h"
#include "panels/panel_host.h"
#include "panels/timeline/timeline_panel.h"
#include "panels/value_field.h"

namespace vorlin {

namespace {

// The nodes the keys belong to, each once, in order.
std::vector<int> NodesOf(const std::vector<TKeyRef>& keys) {
    std::vector<int> nodes;
    for (const TKeyRef& k : keys)
        if (std::find(nodes.begin(), nodes.end(), k.node) == nodes.end()) nodes.push_back(k.node);
    std::sort(nodes.begin(), nodes.end());
    return nodes;
}

QString Signed(int delta) {
    return delta < 0 ? QString::number(delta) : "+" + QString::number(delta);
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Picking

void TTimelinePanel::PickKey(TKeyRef key, bool add) {
    TKeySession& s = host_.EditSession();
    if (host_.Dragging() || !s.KeyFile) return;
    if (add) {
        // The selected entry is where a Shift+click starts from.
        std::vector<TKeyRef> keys = s.SelectedKeys();
        if (auto at = std::find(keys.begin(), keys.end(), key); at != keys.end())
            keys.erase(at);
        else
            keys.push_back(key);
        s.MarkedKeys = ValidKeys(*s.KeyFile, keys);
        KeysPicked();
        return;
    }
    // The node's row, then the entry, as clicks on the tree and the list would.
    summary_ = false;
    const int joint = s.KeyFile->Joint(key.node);
    if (joint != SelectedNode) host_.PickNode(joint);
    if (s.KeyNodeIndex() != key.node || key.entry >= s.EntryCount()) return;
    host_.PickEntry(key.entry);
    update();
}

void TTimelinePanel::PickKeys(std::vector<TKeyRef> keys, bool add) {
    TKeySession& s = host_.EditSession();
    if (host_.Dragging() || !s.KeyFile) return;
    if (add) {
        const std::vector<TKeyRef> before = s.SelectedKeys();
        keys.insert(keys.end(), before.begin(), before.end());
    }
    s.MarkedKeys = ValidKeys(*s.KeyFile, std::move(keys));
    KeysPicked();
}

void TTimelinePanel::PickColumn(int32_t frame, bool add) {
    if (!Session().KeyFile) return;
    summary_ = true;
    PickKeys(KeysAtFrame(*Session().KeyFile, frame), add);
}

void TTimelinePanel::SelectAll() {
    if (!Session().KeyFile) return;
    PickKeys(AllKeys(*Session().KeyFile), false);
}

void TTimelinePanel::SelectNone() {
    TKeySession& s = host_.EditSession();
    if (host_.Dragging()) return;
    // The selected entry stays what the commands act on; nothing else is picked.
    s.MarkedKeys.clear();
    summary_ = false;
    KeysPicked();
}

void TTimelinePanel::KeysPicked() {
    const size_t n = Session().SelectedKeys().size();
    host_.ShowStatus(n == 1 ? "1 key picked" : QString("%1 keys picked").arg(n), 3000);
    host_.KeysChanged();
    update();
}

// ---------------------------------------------------------------------------------------------
// Moving by the mouse and by the keys

void TTimelinePanel::BeginMove() {
    move_.reset();
    TKeySession& s = host_.EditSession();
    if (!s.KeyFile || !host_.CanEdit()) return;
    auto move = std::make_unique<TKeyMove>(*s.KeyFile, s.SelectedKeys());
    if (move->Empty() || !host_.BeginDragStep(move->Nodes(), "Move Keys")) return;
    move_ = std::move(move);
}

void TTimelinePanel::MoveStep(double pointerFrame, bool snap) {
    TKeySession& s = host_.EditSession();
    if (!move_ || !s.KeyFile || !host_.Dragging()) return;
    // Ctrl: the pressed key goes to the marker nearest the pointer.
    const int wanted = snap ? SnapToMarker(*s.KeyFile, pointerFrame) - moveFrom_
                            : int(std::lround(std::clamp(pointerFrame - moveFrom_, -4e9, 4e9)));
    const int delta = move_->Apply(*s.KeyFile, wanted);
    SetReadout(QString("frame %1 (%2)").arg(moveFrom_ + delta).arg(Signed(delta)), readoutAt_);
    // The frame follows the selected entry, as a click on it would show it.
    host_.KeysChanged(s.SelectedKeyFrame());
}

void TTimelinePanel::EndMove() {
    host_.EndDragStep();
    move_.reset();
    summaryStaying_.reset();
    SetReadout({}, {});
}

void TTimelinePanel::NudgeKeys(int dir) {
    TKeySession& s = host_.EditSession();
    if (!s.KeyFile || !host_.CanEdit()) return;
    const TKeyMove move(*s.KeyFile, s.SelectedKeys());
    if (move.Clamp(dir) == 0) {
        host_.ShowStatus("The keys cannot move: a first entry stays at its frame, and a key does "
                         "not pass another key of its node or leave the animation");
        return;
    }
    host_.RecordStep("Move Keys", move.Nodes(), [&] { move.Apply(*s.KeyFile, dir); });
    host_.KeysChanged(s.SelectedKeyFrame());
}

void TTimelinePanel::StepKey(int dir) {
    TKeySession& s = host_.EditSession();
    if (!s.KeyFile || !host_.CanEdit()) return;
    const int node = s.KeyNodeIndex();
    if (node < 0) return;
    const int entry = NeighbourKey(s.KeyFile->Nodes[node], host_.CurrentFrame(), dir);
    if (entry >= 0 && entry < s.EntryCount()) host_.PickEntry(entry);
}

// ---------------------------------------------------------------------------------------------
// Deleting and inserting

void TTimelinePanel::DeleteKeys() {
    TKeySession& s = host_.EditSession();
    if (!s.KeyFile || !host_.CanEdit()) return;
    const std::vector<TKeyRef> keys = s.SelectedKeys();
    if (keys.empty()) return;
    int deleted = 0;
    host_.RecordStep("Delete Keys", NodesOf(keys),
                     [&] { deleted = vorlin::DeleteKeys(*s.KeyFile, keys); });
    const auto firsts =
        std::count_if(keys.begin(), keys.end(), [](const TKeyRef& k) { return k.entry == 0; });
    if (firsts > 0)
        host_.ShowStatus("A node keeps its first entry, which poses it up to its next key: " +
                         QString(firsts == 1 ? "1 first entry was"
                                             : QString("%1 first entries were").arg(firsts)) +
                         " not deleted");
    if (deleted == 0) return;
    s.MarkedKeys.clear();
    host_.KeysChanged();
}

void TTimelinePanel::InsertKey() {
    TKeySession& s = host_.EditSession();
    if (!s.KeyFile || !host_.CanEdit()) return;
    const int frame = host_.CurrentFrame();
    // On the selected node and the nodes of the picked keys; on every node from the summary.
    std::vector<int> nodes;
    if (summary_) {
        for (int n = 0; n < s.KeyFile->Nodes.Count(); ++n)
            if (!s.KeyFile->Nodes[n].Entries.Empty()) nodes.push_back(n);
    } else {
        nodes = NodesOf(s.SelectedKeys());
        const int selected = s.KeyNodeIndex();
        if (selected >= 0 && std::find(nodes.begin(), nodes.end(), selected) == nodes.end())
            nodes.push_back(selected);
    }
    const bool newNode = !summary_ && s.KeyNodeIndex() < 0 && s.Model;
    std::vector<TKeyRef> keys;
    host_.RecordStep(newNode ? "Add Node" : "Insert Key", nodes, [&] {
        // A model node no KEY node drives gets one, its first key here at its rest pose.
        if (newNode) {
            s.AddKeyNode(frame);
            nodes.push_back(s.KeyNodeIndex());
        }
        for (int node : nodes) {
            if (s.KeyFile->Nodes[node].Entries.Empty()) continue;
            keys.push_back({node, vorlin::InsertKey(*s.KeyFile, node, frame)});
        }
    });
    // The new keys are the ones picked; the selected node's is its selected entry.
    const int selected = s.KeyNodeIndex();
    for (const TKeyRef& k : keys)
        if (k.node == selected) s.SelectEntry(k.entry);
    s.MarkedKeys = ValidKeys(*s.KeyFile, keys);
    host_.KeysChanged();
    host_.ShowStatus(keys.size() == 1 ? QString("A key at frame %1").arg(frame)
                                      : QString("%1 keys at frame %2").arg(keys.size()).arg(frame),
                     3000);
    update();
}

// ---------------------------------------------------------------------------------------------
// Copying, pasting, duplicating

void TTimelinePanel::CopyKeys() {
    TKeySession& s = host_.EditSession();
    if (!s.KeyFile) return;
    s.KeyClipboard = TKeyClipboard::Copy(*s.KeyFile, s.SelectedKeys());
    const size_t n = s.KeyClipboard.Keys.size();
    host_.ShowStatus(n == 1 ? QString("1 key copied") : QString("%1 keys copied").arg(n), 3000);
}

void TTimelinePanel::PasteKeys() {
    TKeySession& s = host_.EditSession();
    if (!s.KeyFile || !host_.CanEdit() || s.KeyClipboard.Empty()) return;
    const int frame = host_.CurrentFrame();
    const QString refusal = QString::fromStdString(PasteRefusal(*s.KeyFile, s.KeyClipboard, frame));
    if (!refusal.isEmpty()) {
        host_.ShowStatus(refusal);
        return;
    }
    // Keys of one node go onto the selected node; of several, onto theirs by NODE number.
    const int onto = s.KeyClipboard.OneNode() ? s.KeyNodeIndex() : -1;
    std::vector<int> nodes;
    if (onto >= 0)
        nodes.push_back(onto);
    else
        for (const TKeyClipboard::Key& k : s.KeyClipboard.Keys)
            if (const int n = s.KeyFile->NodeOfJoint(k.Joint); n >= 0) nodes.push_back(n);
    std::sort(nodes.begin(), nodes.end());
    nodes.erase(std::unique(nodes.begin(), nodes.end()), nodes.end());
    // Onto another node, the keys carry their motion from rest pose to rest pose.
    const TRestPoses rest = s.Model ? RestPoses(*s.Model) : TRestPoses();
    TPasteResult result;
    host_.RecordStep("Paste Keys", nodes, [&] {
        result = vorlin::PasteKeys(*s.KeyFile, s.KeyClipboard, frame, onto, &rest);
    });
    s.MarkedKeys = result.Keys;
    host_.KeysChanged();
    const size_t n = result.Keys.size();
    if (result.Skipped > 0)
        host_.ShowStatus(QString("%1 keys were not pasted: no node of their NODE number is in "
                                 "this KEY")
                             .arg(result.Skipped));
    else // the word of the copy no longer stands
        host_.ShowStatus(n == 1 ? QString("1 key pasted at frame %1").arg(frame)
                                : QString("%1 keys pasted at frame %2").arg(n).arg(frame),
                         3000);
    update();
}

void TTimelinePanel::DuplicateKeys() {
    TKeySession& s = host_.EditSession();
    if (!s.KeyFile || !host_.CanEdit() || modal_ != Modal::None) return;
    const std::vector<TKeyRef> keys = s.SelectedKeys();
    if (keys.empty()) return;
    duplicate_ = TKeyClipboard::Copy(*s.KeyFile, keys);
    duplicateFirst_ = INT32_MAX;
    for (const TKeyRef& k : keys)
        duplicateFirst_ =
            std::min(duplicateFirst_, s.KeyFile->Nodes[k.node].Entries[k.entry].Frame);
    const std::vector<int> nodes = NodesOf(keys);
    if (!host_.BeginDragStep(nodes, "Duplicate Keys")) return;
    duplicateBase_ = std::make_unique<TNodesSnapshot>(*s.KeyFile, nodes);
    duplicateDelta_ = 0;
    modal_ = Modal::Duplicate;
    modalAt_ = mapFromGlobal(QCursor::pos());
    setMouseTracking(true);
    grabKeyboard();
    SetReadout("duplicate", modalAt_,
               "Duplicate: move the copies, then a click puts them (Escape gives them up)");
}

void TTimelinePanel::ApplyDuplicate(int delta) {
    TKeySession& s = host_.EditSession();
    if (PasteRefusal(*s.KeyFile, duplicate_, duplicateFirst_ + delta) != "") return;
    duplicateBase_->Restore(*s.KeyFile);
    duplicateDelta_ = delta;
    if (delta != 0) // on the originals themselves the copies would change nothing
        s.MarkedKeys = vorlin::PasteKeys(*s.KeyFile, duplicate_, duplicateFirst_ + delta).Keys;
    SetReadout(QString("frame %1 (%2)").arg(duplicateFirst_ + delta).arg(Signed(delta)),
               readoutAt_);
    host_.KeysChanged();
}

// ---------------------------------------------------------------------------------------------
// Scaling

void TTimelinePanel::ScaleKeys() {
    TKeySession& s = host_.EditSession();
    if (!s.KeyFile || !host_.CanEdit() || modal_ != Modal::None) return;
    auto scale = std::make_unique<TKeyScale>(*s.KeyFile, s.SelectedKeys(), host_.CurrentFrame());
    if (scale->Empty()) {
        host_.ShowStatus("Pick the keys to scale (a node's first entry stays where it is)");
        return;
    }
    if (!host_.BeginDragStep(scale->Nodes(), "Scale Keys")) return;
    scale_ = std::move(scale);
    modal_ = Modal::Scale;
    modalAt_ = mapFromGlobal(QCursor::pos());
    setMouseTracking(true);
    field_->onEdited = [this] {
        if (const auto v = field_->Value()) ApplyScale(*v);
    };
    field_->onEnter = [this] { ConfirmModal(); };
    field_->onCancel = [this] { CancelModal(); };
    field_->Open(QPointF(Layout.X(scale_->About()), Layout.RowsTop()), "1");
    SetReadout(QString("scale about frame %1").arg(scale_->About()), modalAt_,
               QString("Scale about frame %1: type a factor or move the pointer, then Enter or a "
                       "click (Escape gives it up)")
                   .arg(scale_->About()));
}

void TTimelinePanel::ApplyScale(double factor) {
    TKeySession& s = host_.EditSession();
    const QString refusal = QString::fromStdString(scale_->Refusal(factor));
    if (!refusal.isEmpty()) {
        SetReadout(refusal, readoutAt_);
        return;
    }
    scale_->Apply(*s.KeyFile, factor);
    s.MarkedKeys = scale_->Keys(*s.KeyFile);
    SetReadout(QString("scale %1 about frame %2").arg(factor, 0, 'g', 4).arg(scale_->About()),
               readoutAt_);
    host_.KeysChanged();
}

void TTimelinePanel::ModalMove(QPointF at) {
    readoutAt_ = at;
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
        TKeySession& s = host_.EditSession();
        const std::optional<double> typed = field_->Value();
        const QString refusal =
            typed ? QString::fromStdString(scale_->Refusal(*typed)) : "Type a number";
        if (!refusal.isEmpty()) { // the field stays: the user types another factor
            host_.ShowStatus(refusal);
            SetReadout(refusal, readoutAt_);
            return;
        }
        scale_->Apply(*s.KeyFile, *typed);
        s.MarkedKeys = scale_->Keys(*s.KeyFile);
        field_->Close();
    }
    modal_ = Modal::None;
    setMouseTracking(false);
    releaseKeyboard();
    host_.EndDragStep();
    host_.KeysChanged();
    scale_.reset();
    duplicateBase_.reset();
    SetReadout({}, {});
}

void TTimelinePanel::CancelModal() {
    TKeySession& s = host_.EditSession();
    if (modal_ == Modal::Scale) {
        scale_->Restore(*s.KeyFile);
        s.MarkedKeys = scale_->Keys(*s.KeyFile);
        field_->Close();
    } else if (modal_ == Modal::Duplicate) {
        duplicateBase_->Restore(*s.KeyFile);
    }
    modal_ = Modal::None;
    setMouseTracking(false);
    releaseKeyboard();
    host_.EndDragStep(); // nothing changed: no step
    host_.KeysChanged();
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
