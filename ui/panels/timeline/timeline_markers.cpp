// The timeline's markers row and preview range: markers picked, dragged by whole frames (Ctrl
// to the nearest key), added at the playhead or where the markers row is right-clicked, given
// another type from a menu of the game's types, deleted; and the preview range dragged after P
// (or with Ctrl on the ruler), shaded outside, cleared with Alt+P, remembered for the file.
// Each change of the markers is one step to undo; the rules are edit/marker_edit.h's.
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>

#include "common/qt_strings.h"
#include "edit/key_document.h"
#include "edit/markers.h"
#include "panels/panel_host.h"
#include "panels/timeline/timeline_panel.h"
#include "support/misc_utils.h"

namespace vorlin {

namespace {

QString FrameText(double frame) {
    return ToQ(GeneralFloat(frame));
}

} // namespace

// ---------------------------------------------------------------------------------------------
// The markers row

void TTimelinePanel::PressMarkers(QMouseEvent* e) {
    const TKEYMarkers& markers = doc_.KeyFile->Markers;
    const QPointF at = e->position();
    const std::optional<int> m =
        at.x() >= Layout.Left ? MarkerAt(markers, Layout, at.x()) : std::nullopt;
    std::vector<int> picked = doc_.PickedMarkers();
    const bool shift = e->modifiers() & Qt::ShiftModifier;
    if (!m) { // an empty place: no marker picked
        if (!shift) doc_.SetPickedMarkers({});
        update();
        return;
    }
    const bool was = std::binary_search(picked.begin(), picked.end(), *m);
    if (shift) {
        if (was)
            std::erase(picked, *m);
        else
            picked.push_back(*m);
        doc_.SetPickedMarkers(picked);
    } else if (!was) {
        doc_.SetPickedMarkers({*m});
    }
    const std::vector<int> now = doc_.PickedMarkers();
    host_.ShowStatus(
        now.size() == 1
            ? QString("Marker %1 at frame %2 (a drag moves it, Delete removes it, a "
                      "double-click changes its type)")
                  .arg(ToQ(MarkerTypeName(markers[now[0]].MarkerType)))
                  .arg(FrameText(markers[now[0]].Frame))
            : QString("%1 markers picked (Ctrl+K picks the keys between two)").arg(now.size()),
        4000);
    update();
    if (shift) return;
    press_ = Press::Marker;
    pressedMarker_ = *m;
    markerFrom_ = markers[*m].Frame;
}

void TTimelinePanel::MarkerStep(double pointerFrame, bool snap) {
    if (!doc_.KeyFile) return;
    if (!markerMove_) {
        if (!doc_.CanEdit()) return;
        auto move = std::make_unique<TMarkerMove>(*doc_.KeyFile, doc_.PickedMarkers());
        if (move->Empty() ||
            !doc_.Begin(move->Markers().size() == 1 ? "Move Marker" : "Move Markers", {}))
            return;
        markerMove_ = std::move(move);
    }
    if (!doc_.Editing()) return;
    // Ctrl: the pressed marker goes to the key nearest the pointer.
    double to = pointerFrame;
    if (snap)
        if (const std::optional<int32_t> key = NearestKeyFrame(*doc_.KeyFile, pointerFrame))
            to = *key;
    const int delta = markerMove_->Apply(*doc_.KeyFile,
                                         int(std::lround(std::clamp(to - markerFrom_, -2e9, 2e9))));
    SetReadout(QString("frame %1 (%2%3)")
                   .arg(FrameText(markerFrom_ + delta))
                   .arg(delta < 0 ? "" : "+")
                   .arg(delta),
               readoutAt_);
    doc_.Changed(chMarkers);
}

void TTimelinePanel::EndMarkerMove() {
    if (markerMove_) {
        doc_.Commit();
        markerMove_.reset();
        SetReadout({}, {});
    } else if (pressedMarker_ && doc_.PickedMarkers().size() > 1) {
        // A click on one of several picked markers picks it alone.
        doc_.SetPickedMarkers({*pressedMarker_});
    }
    pressedMarker_.reset();
    update();
}

void TTimelinePanel::mouseDoubleClickEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton && doc_.KeyFile && modal_ == Modal::None &&
        arm_ == Arm::None && e->position().x() >= Layout.Left &&
        Layout.AreaAt(e->position().y(), Rows()) == TTimelineArea::Markers) {
        if (const auto m = MarkerAt(doc_.KeyFile->Markers, Layout, e->position().x())) {
            press_ = Press::None;
            MarkerMenu(e->globalPosition().toPoint(), *m, doc_.KeyFile->Markers[*m].Frame);
            return;
        }
    }
    QWidget::mouseDoubleClickEvent(e);
}

void TTimelinePanel::MarkersMenuAt(QMouseEvent* e) {
    const QPointF at = e->position();
    if (!doc_.KeyFile || at.x() < Layout.Left || at.x() >= ContentWidth() ||
        Layout.AreaAt(at.y(), Rows()) != TTimelineArea::Markers)
        return;
    const std::optional<int> m = MarkerAt(doc_.KeyFile->Markers, Layout, at.x());
    MarkerMenu(e->globalPosition().toPoint(), m,
               m ? doc_.KeyFile->Markers[*m].Frame : ClampedFrame(at.x()));
}

void TTimelinePanel::MarkerMenu(QPoint global, std::optional<int> marker, double frame) {
    auto* menu = new QMenu(this);
    menu->setObjectName("MarkerMenu");
    menu->setAttribute(Qt::WA_DeleteOnClose);
    const int type = marker ? doc_.KeyFile->Markers[*marker].MarkerType : -1;
    if (marker) doc_.SetPickedMarkers({*marker});
    menu->addSection(marker ? QString("Marker at frame %1").arg(FrameText(frame))
                            : QString("Add a marker at frame %1").arg(FrameText(frame)));
    for (int t = 1; t < kMarkerTypeCount; ++t) {
        QAction* a = menu->addAction(ToQ(MarkerTypeItem(t)));
        a->setObjectName(QString("MarkerType%1").arg(t));
        a->setCheckable(marker.has_value());
        a->setChecked(t == type);
        connect(a, &QAction::triggered, this, [this, marker, frame, t] {
            Settings.MARKER_TYPE = t; // M gives the type chosen last
            const TCommandResult r =
                marker ? SetMarkerTypeCommand(doc_, *marker, t) : AddMarkerCommand(doc_, frame, t);
            if (!r.Status.empty()) host_.ShowStatus(ToQ(r.Status), r.Done ? 3000 : 6000);
            update();
        });
    }
    if (marker) {
        menu->addSeparator();
        QAction* del = menu->addAction("Delete Marker");
        del->setObjectName("DeleteMarker");
        connect(del, &QAction::triggered, this, [this] { DeleteMarkers(); });
    }
    menu->popup(global);
}

void TTimelinePanel::AddMarker() {
    if (!doc_.KeyFile) return;
    const int type = MarkerTypeToAdd(Settings.MARKER_TYPE);
    const TCommandResult r = AddMarkerCommand(doc_, doc_.Frame(), type);
    if (!r.Status.empty()) host_.ShowStatus(ToQ(r.Status), r.Done ? 3000 : 6000);
    update();
}

void TTimelinePanel::DeleteMarkers() {
    const TCommandResult r = DeleteMarkersCommand(doc_);
    if (!r.Status.empty()) host_.ShowStatus(ToQ(r.Status), 3000);
    update();
}

// ---------------------------------------------------------------------------------------------
// The preview range

void TTimelinePanel::SetRange() {
    if (!doc_.KeyFile || modal_ != Modal::None) return;
    arm_ = Arm::Range;
    host_.ShowStatus("Preview range: drag across its frames (Escape gives it up)", 0);
}

void TTimelinePanel::ClearRange() {
    if (!doc_.KeyFile || !doc_.PreviewRange()) return;
    doc_.SetPreviewRange(std::nullopt);
    StorePreviewRange(Settings.PREVIEW_RANGES, TKeyDocument::AbsolutePath(doc_.KeyFile->FullName),
                      std::nullopt, kPreviewRangeCount);
    host_.ShowStatus("Preview range cleared: playback runs through the whole animation", 3000);
    update();
}

void TTimelinePanel::BoxPick() {
    if (!doc_.KeyFile || modal_ != Modal::None) return;
    arm_ = Arm::Box;
    host_.ShowStatus("Box pick: drag across the keys, Shift adds them (Escape gives it up)", 0);
}

void TTimelinePanel::Disarm() {
    arm_ = Arm::None;
    host_.ShowStatus(QString(), 1);
}

void TTimelinePanel::RangeStep(double x) {
    rangeDrag_ = RangeBetween(ClampedFrame(pressAt_.x()), ClampedFrame(x), doc_.LastFrame());
    readoutAt_ = QPointF(x, pressAt_.y());
    SetReadout(rangeDrag_ ? QString("frames %1 to %2").arg(rangeDrag_->First).arg(rangeDrag_->Last)
                          : QString("frame %1").arg(ClampedFrame(x)),
               readoutAt_);
}

void TTimelinePanel::EndRange() {
    const std::optional<TFrameRange> range = std::exchange(rangeDrag_, std::nullopt);
    SetReadout({}, {});
    if (!range || !doc_.KeyFile) {
        host_.ShowStatus("Preview range unchanged: drag across two frames or more", 4000);
        update();
        return;
    }
    doc_.SetPreviewRange(range);
    // Kept for the file (a new document has none to keep it for): opened again, it plays there.
    if (!doc_.KeyFile->FullName.empty())
        StorePreviewRange(Settings.PREVIEW_RANGES,
                          TKeyDocument::AbsolutePath(doc_.KeyFile->FullName), range,
                          kPreviewRangeCount);
    host_.ShowStatus(QString("Preview range: frames %1 to %2 (Alt+P clears it)")
                         .arg(range->First)
                         .arg(range->Last),
                     4000);
    update();
}

void TTimelinePanel::PaintRange(QPainter& p) {
    const std::optional<TFrameRange> range = rangeDrag_ ? rangeDrag_ : doc_.PreviewRange();
    if (!range || !doc_.KeyFile) return;
    const double w = ContentWidth(), h = ContentHeight();
    const double x0 = std::clamp(Layout.X(range->First - 0.5), Layout.Left, w);
    const double x1 = std::clamp(Layout.X(range->Last + 0.5), Layout.Left, w);
    // Darker on the ruler, lighter over the rows: the keys stay readable under it.
    QColor shade = palette().shadow().color();
    p.save();
    for (auto [top, height, alpha] :
         {std::tuple{0.0, Layout.RulerHeight, 110}, std::tuple{Layout.RulerHeight, h, 45}}) {
        shade.setAlpha(alpha);
        p.fillRect(QRectF(Layout.Left, top, x0 - Layout.Left, height), shade);
        p.fillRect(QRectF(x1, top, w - x1, height), shade);
    }
    p.setPen(QPen(palette().highlight().color(), 2));
    for (double x : {x0, x1})
        if (x > Layout.Left && x < w) p.drawLine(QPointF(x, 0), QPointF(x, Layout.RulerHeight));
    p.restore();
}

} // namespace vorlin
