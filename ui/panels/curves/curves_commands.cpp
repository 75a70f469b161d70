// The curves' commands: picking key points, dragging them in value or in time, and typing a
// value. Each change is one step to undo; the rules are the core's (edit/curves.h, the move of
// keys in edit/timeline.h).
#include "edit/key_edit.h"
#include "edit/key_session.h"
#include "panels/curves/curves_panel.h"
#include "panels/panel_host.h"
#include "panels/value_field.h"
#include "support/misc_utils.h"

namespace vorlin {

namespace {

// A point's value as the plot shows it (an angle in -180 .. 180), and as the entry keeps it.
double PointValue(const TKEYEntry& e, int channel) {
    return ShownValue(e, channel);
}

QString Number(double v) {
    return QString::number(std::abs(v) < 1e-12 ? 0.0 : v, 'f', 4);
}

} // namespace

const std::vector<TCurveKey>& TCurvesPanel::Picked() const {
    static const std::vector<TCurveKey> none;
    const auto at = picks_.find(Node());
    return at == picks_.end() ? none : at->second;
}

std::vector<TCurveKey>& TCurvesPanel::Picks() {
    return picks_[Node()];
}

void TCurvesPanel::DocumentChanged() {
    picks_.clear();
}

void TCurvesPanel::PressKey(TCurveKey key, bool shift) {
    TKeySession& s = host_.EditSession();
    std::vector<TCurveKey>& picked = Picks();
    const bool was = std::find(picked.begin(), picked.end(), key) != picked.end();
    // Shift on a picked point keeps the picks for a drag (locked to time) and leaves its entry
    // selected as it is: only a click without a drag takes the point out.
    unpick_ = shift && was;
    if (unpick_) {
        startValues_.clear();
        for (const TCurveKey& k : picked)
            startValues_.push_back(Channel(s.KeyFile->Nodes[Node()].Entries[k.entry], k.channel));
        startFrame_ = s.KeyFile->Nodes[Node()].Entries[key.entry].Frame;
        update();
        return;
    }
    if (shift)
        picked.push_back(key);
    else if (!was)
        picked = {key};
    const int shown = Node();
    // Its entry is picked as a click in the entry list picks it (the frame follows).
    if (key.entry != SelectedEntry) host_.PickEntry(key.entry);
    // Picking may change the values (Auto Copy): the drag starts from them as they are now.
    const int node = Node();
    if (node < 0 || node != shown || key.entry >= s.KeyFile->Nodes[node].Entries.Count()) {
        press_ = Press::None;
        return;
    }
    const TKEYEntries& entries = s.KeyFile->Nodes[node].Entries;
    std::vector<TCurveKey>& now = Picks();
    std::erase_if(now, [&](const TCurveKey& k) { return k.entry >= entries.Count(); });
    startValues_.clear();
    for (const TCurveKey& k : now)
        startValues_.push_back(Channel(entries[k.entry], k.channel));
    startFrame_ = entries[key.entry].Frame;
    update();
}

void TCurvesPanel::ClickKey() {
    if (unpick_) std::erase(Picks(), key_);
    unpick_ = false;
    update();
}

void TCurvesPanel::DragValue(double by, bool snap) {
    TKeySession& s = host_.EditSession();
    const int node = Node();
    if (node < 0) return;
    if (!host_.Dragging() && !host_.BeginDragStep({node}, "Edit Value")) {
        press_ = Press::None;
        return;
    }
    TKEYEntries& entries = s.KeyFile->Nodes[node].Entries;
    const int c = key_.channel;
    const int plot = TCurveLayout::PlotOf(c);
    const std::vector<TCurveKey>& picked = Picked();
    const auto pressed = std::find(picked.begin(), picked.end(), key_);
    if (pressed == picked.end() || startValues_.size() != picked.size()) return;
    // The pressed point moves as far as the pointer (Ctrl: to whole units or 5 degrees, as the
    // plot shows it); the other picked points of its plot move as far.
    const double start = startValues_[size_t(pressed - picked.begin())];
    const double shownStart = ShownValue(c, IsAngle(c) ? NormalizeAngle(start) : start);
    if (snap) by = SnapValue(c, shownStart + by) - shownStart;
    for (size_t k = 0; k < picked.size(); ++k)
        if (TCurveLayout::PlotOf(picked[k].channel) == plot)
            SetChannel(entries[picked[k].entry], picked[k].channel, startValues_[k] + by);
    for (const TCurveKey& k : picked) // the rates into and out of each, as the commands do
        s.KeyFile->UpdateEntry(node, k.entry);
    // The plot widens to keep the dragged point in view.
    Layout.KeepInView(plot, PointValue(entries[key_.entry], c));
    host_.ShowStatus(QString("%1 %2").arg(ChannelName(c)).arg(Number(start + by)), 0);
    host_.KeysChanged();
}

void TCurvesPanel::DragTime(double pointerFrame, bool snap) {
    TKeySession& s = host_.EditSession();
    const int node = Node();
    if (node < 0) return;
    if (!move_) {
        std::vector<TKeyRef> keys;
        for (const TCurveKey& k : Picked())
            keys.push_back({node, k.entry});
        auto move = std::make_unique<TKeyMove>(*s.KeyFile, keys);
        if (move->Empty()) {
            host_.ShowStatus("A node's first entry stays at its frame");
            press_ = Press::None;
            return;
        }
        if (!host_.BeginDragStep(move->Nodes(), "Move Keys")) {
            press_ = Press::None;
            return;
        }
        move_ = std::move(move);
    }
    const int wanted = snap ? SnapToMarker(*s.KeyFile, pointerFrame) - startFrame_
                            : int(std::lround(std::clamp(pointerFrame - startFrame_, -4e9, 4e9)));
    const int delta = move_->Apply(*s.KeyFile, wanted);
    host_.ShowStatus(
        QString("frame %1 (%2%3)").arg(startFrame_ + delta).arg(delta < 0 ? "" : "+").arg(delta),
        0);
    host_.KeysChanged(s.SelectedKeyFrame());
}

void TCurvesPanel::EndDrag() {
    host_.EndDragStep();
    move_.reset();
    host_.ShowStatus({}, 0);
    update();
}

void TCurvesPanel::PickBand(QRectF band, bool add) {
    const int node = Node();
    if (node < 0) return;
    std::vector<TCurveKey> keys = CurveKeysIn(*Session().KeyFile, node, Layout, band.left(),
                                              band.top(), band.right(), band.bottom());
    std::vector<TCurveKey>& picked = Picks();
    if (add)
        for (const TCurveKey& k : picked)
            if (std::find(keys.begin(), keys.end(), k) == keys.end()) keys.push_back(k);
    picked = std::move(keys);
    host_.ShowStatus(picked.size() == 1 ? QString("1 key point picked")
                                        : QString("%1 key points picked").arg(picked.size()),
                     3000);
}

void TCurvesPanel::TypeValue(TCurveKey key) {
    TKeySession& s = host_.EditSession();
    const int node = Node();
    if (node < 0 || !host_.CanEdit() || key.entry >= s.KeyFile->Nodes[node].Entries.Count()) return;
    Picks() = {key};
    const TKEYEntry& e = s.KeyFile->Nodes[node].Entries[key.entry];
    const int plot = TCurveLayout::PlotOf(key.channel);
    field_->onEdited = nullptr;
    field_->onCancel = [this] { field_->Close(); };
    field_->onEnter = [this, key, node] {
        TKeySession& s = host_.EditSession();
        const std::optional<double> v = field_->Value();
        if (!v) {
            host_.ShowStatus("Type a number (\".\" as the decimal point)");
            return;
        }
        field_->Close();
        if (Node() != node || key.entry >= s.KeyFile->Nodes[node].Entries.Count()) return;
        host_.RecordStep("Edit Value", {node}, [&] {
            // An angle typed as the plot shows it (-25) is kept as the game turns it (335).
            SetChannel(s.KeyFile->Nodes[node].Entries[key.entry], key.channel,
                       IsAngle(key.channel) ? NormalizeAngle(*v) : *v);
            s.KeyFile->UpdateEntry(node, key.entry);
        });
        Layout.KeepInView(TCurveLayout::PlotOf(key.channel),
                          PointValue(s.KeyFile->Nodes[node].Entries[key.entry], key.channel));
        host_.KeysChanged();
    };
    field_->Open(QPointF(Layout.Frames.X(e.Frame), Layout.Y(plot, PointValue(e, key.channel))),
                 QString::number(PointValue(e, key.channel), 'g', 10));
}

} // namespace vorlin
