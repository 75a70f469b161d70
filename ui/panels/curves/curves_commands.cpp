// The curves' commands: picking key points, dragging them in value or in time, and typing a
// value. Each change is one step to undo; the rules are the core's (edit/curves.h, the move of
// keys in edit/timeline.h).
#include "common/qt_strings.h"
#include "edit/key_commands.h"
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

std::vector<TCurveKey> TCurvesPanel::Picked() const {
    const int node = Node();
    if (node < 0) return {};
    // A plot not on show keeps its picks for later, out of the commands' way meanwhile.
    std::vector<TCurveKey> picked = doc_.PickedPoints(node);
    std::erase_if(picked, [this](const TCurveKey& k) {
        return !Layout.PlotShown(TCurveLayout::PlotOf(k.channel));
    });
    return picked;
}

void TCurvesPanel::SetPicked(const std::vector<TCurveKey>& points) {
    if (const int node = Node(); node >= 0) doc_.SetPickedPoints(node, points);
}

void TCurvesPanel::PressKey(TCurveKey key, bool shift) {
    TKeyDocument& s = doc_;
    std::vector<TCurveKey> picked = Picked();
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
    SetPicked(picked);
    const int shown = Node();
    // Its entry is picked as a click in the entry list picks it (the frame follows).
    if (key.entry != doc_.SelectedEntry())
        host_.RunCommand([&] { ClickEntryCommand(doc_, key.entry); });
    // Picking may change the values (Auto Copy): the drag starts from them as they are now.
    const int node = Node();
    if (node < 0 || node != shown || key.entry >= s.KeyFile->Nodes[node].Entries.Count()) {
        press_ = Press::None;
        return;
    }
    const TKEYEntries& entries = s.KeyFile->Nodes[node].Entries;
    const std::vector<TCurveKey> now = Picked();
    startValues_.clear();
    for (const TCurveKey& k : now)
        startValues_.push_back(Channel(entries[k.entry], k.channel));
    startFrame_ = entries[key.entry].Frame;
    update();
}

void TCurvesPanel::ClickKey() {
    if (unpick_) {
        std::vector<TCurveKey> picked = Picked();
        std::erase(picked, key_);
        SetPicked(picked);
    }
    unpick_ = false;
    update();
}

void TCurvesPanel::DragValue(double by, bool snap) {
    TKeyDocument& s = doc_;
    const int node = Node();
    if (node < 0) return;
    if (!doc_.Editing() && !doc_.Begin("Edit Value", {node})) {
        press_ = Press::None;
        return;
    }
    TKEYEntries& entries = s.KeyFile->Nodes[node].Entries;
    const int c = key_.channel;
    const int plot = TCurveLayout::PlotOf(c);
    const std::vector<TCurveKey> picked = Picked();
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
    doc_.Changed(chKeys, {node});
}

void TCurvesPanel::DragTime(double pointerFrame, bool snap) {
    TKeyDocument& s = doc_;
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
        if (!doc_.Begin("Move Keys", move->Nodes())) {
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
    doc_.Changed(chKeys, {node});
    if (const int frame = s.SelectedKeyFrame(); frame >= 0) doc_.SetFrame(frame);
}

void TCurvesPanel::EndDrag() {
    doc_.Commit();
    move_.reset();
    host_.ShowStatus({}, 0);
    update();
}

void TCurvesPanel::PickBand(QRectF band, bool add) {
    const int node = Node();
    if (node < 0) return;
    std::vector<TCurveKey> keys = CurveKeysIn(*doc_.KeyFile, node, Layout, band.left(), band.top(),
                                              band.right(), band.bottom());
    if (add)
        for (const TCurveKey& k : Picked())
            if (std::find(keys.begin(), keys.end(), k) == keys.end()) keys.push_back(k);
    SetPicked(keys);
    host_.ShowStatus(keys.size() == 1 ? QString("1 key point picked")
                                      : QString("%1 key points picked").arg(keys.size()),
                     3000);
}

void TCurvesPanel::TypeValue(TCurveKey key) {
    TKeyDocument& s = doc_;
    const int node = Node();
    if (node < 0 || !doc_.CanEdit() || key.entry >= s.KeyFile->Nodes[node].Entries.Count()) return;
    SetPicked({key});
    const TKEYEntry& e = s.KeyFile->Nodes[node].Entries[key.entry];
    const int plot = TCurveLayout::PlotOf(key.channel);
    field_->onEdited = nullptr;
    field_->onCancel = [this] { field_->Close(); };
    field_->onEnter = [this, key, node] {
        TKeyDocument& s = doc_;
        const std::optional<double> v = field_->Value();
        if (!v) {
            host_.ShowStatus("Type a number (\".\" as the decimal point)");
            return;
        }
        field_->Close();
        if (Node() != node || key.entry >= s.KeyFile->Nodes[node].Entries.Count()) return;
        host_.RunCommand([&] {
            s.Run("Edit Value", {node}, [&] {
                // An angle typed as the plot shows it (-25) is kept as the game turns it (335).
                SetChannel(s.KeyFile->Nodes[node].Entries[key.entry], key.channel,
                           IsAngle(key.channel) ? NormalizeAngle(*v) : *v);
                s.KeyFile->UpdateEntry(node, key.entry);
            });
        });
        Layout.KeepInView(TCurveLayout::PlotOf(key.channel),
                          PointValue(s.KeyFile->Nodes[node].Entries[key.entry], key.channel));
        s.SetFrame(s.Frame());
    };
    field_->Open(QPointF(Layout.Frames.X(e.Frame), Layout.Y(plot, PointValue(e, key.channel))),
                 QString::number(PointValue(e, key.channel), 'g', 10));
}

} // namespace vorlin
