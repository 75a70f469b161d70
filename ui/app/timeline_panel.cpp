#include "app/timeline_panel.h"

#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <cmath>

#include "app/panel_common.h"

namespace vorlin {

namespace {

const QColor kKey(70, 70, 70);
const QColor kPicked(230, 120, 0);
const QColor kCursor(220, 0, 0);
constexpr double kClickDistance = 3;

} // namespace

TTimelinePanel::TTimelinePanel(const TKeySession& session, QWidget* parent)
    : QWidget(parent), session_(session) {
    setObjectName("TimelinePanel");
    setFocusPolicy(Qt::ClickFocus);
    setMouseTracking(false);
    setMinimumHeight(int(Layout.RowsTop() + Layout.RowHeight));
    setAutoFillBackground(true);
    setToolTip(""); // the markers' tooltips come from event()
}

int TTimelinePanel::Rows() const {
    return int(RowNames.size());
}

void TTimelinePanel::Fit() {
    const int frames = session_.KeyFile ? session_.KeyFile->Frames : 0;
    Layout.Fit(frames, width());
    Layout.FirstRow = 0;
    fitted_ = true;
    update();
}

void TTimelinePanel::FramesChanged() {
    if (fitted_) Layout.Fit(session_.KeyFile ? session_.KeyFile->Frames : 0, width());
    update();
}

int TTimelinePanel::ClampedFrame(double x) const {
    const int last = session_.KeyFile ? std::max(session_.KeyFile->Frames - 1, 0) : 0;
    return std::clamp(Layout.NearestFrame(x), 0, last);
}

// ---------------------------------------------------------------------------------------------
// Painting

void TTimelinePanel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const TKEYFile* doc = session_.KeyFile.get();
    const int frames = doc ? doc->Frames : 0;
    Layout.ClampRows(Rows(), height());
    // Frames outside the animation are shaded.
    p.fillRect(rect(), palette().base());
    const double x0 = Layout.X(-0.5), x1 = Layout.X(frames - 0.5);
    p.fillRect(QRectF(Layout.Left, 0, std::max(0.0, x0 - Layout.Left), height()),
               palette().alternateBase());
    p.fillRect(QRectF(x1, 0, std::max(0.0, width() - x1), height()), palette().alternateBase());
    const std::vector<int> rowNodes = doc ? RowNodes(*doc, Rows()) : std::vector<int>();
    PaintRows(p, rowNodes);
    PaintMarkers(p);
    PaintRuler(p, frames);
    if (doc && frame) {
        const double x = std::round(Layout.X(frame())) + 0.5;
        if (x >= Layout.Left) {
            p.setPen(QPen(kCursor, 1));
            p.drawLine(QPointF(x, 0), QPointF(x, height()));
        }
    }
    if (press_ == Press::Band) {
        p.setPen(QPen(palette().highlight().color(), 1, Qt::DashLine));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(pressAt_, bandTo_).normalized());
    }
}

void TTimelinePanel::PaintRuler(QPainter& p, int frames) {
    PaintFrameRuler(p, palette(), Layout, 0, Layout.RulerHeight, width(), frames, false);
}

void TTimelinePanel::PaintMarkers(QPainter& p) {
    const double top = Layout.RulerHeight, h = Layout.MarkerHeight;
    p.fillRect(QRectF(0, top, width(), h), palette().window());
    p.setPen(palette().windowText().color());
    p.drawText(QRectF(4, top, Layout.Left - 8, h), Qt::AlignVCenter, "markers");
    if (session_.KeyFile)
        vorlin::PaintMarkers(p, session_.KeyFile->Markers, Layout, top, h, width());
}

void TTimelinePanel::PaintRows(QPainter& p, const std::vector<int>& rowNodes) {
    const TKEYFile* doc = session_.KeyFile.get();
    const double rh = Layout.RowHeight;
    const int rows = Rows();
    const int w = width();
    // Marks are drawn once per pixel column: a dense node draws as a bar, not as thousands of
    // marks on top of each other.
    std::vector<char> column(size_t(std::max(w, 0)));
    auto columnOf = [&](int32_t frame) {
        const double x = std::round(Layout.X(frame));
        return x < Layout.Left || x >= w ? -1 : int(x);
    };
    auto drawColumns = [&](double mid, const QColor& colour) {
        const double half = std::min(4.0, std::max(1.5, Layout.PixelsPerFrame / 2 - 1));
        p.setPen(Qt::NoPen);
        p.setBrush(colour);
        for (int x = 0; x < w; ++x) {
            if (!column[size_t(x)]) continue;
            if (half >= 3) { // room for a diamond
                const QPointF d[4] = {{x + 0.5, mid - half},
                                      {x + 0.5 + half, mid},
                                      {x + 0.5, mid + half},
                                      {x + 0.5 - half, mid}};
                p.drawConvexPolygon(d, 4);
                continue;
            }
            int end = x;
            while (end + 1 < w && column[size_t(end + 1)])
                ++end;
            p.fillRect(QRectF(x - 1, mid - 4, end - x + 3, 8), colour);
            x = end;
        }
    };
    // The picked keys, by row.
    const std::vector<TKeyRef> picked = session_.SelectedKeys();
    std::vector<int> nodeRow(size_t(doc ? doc->Nodes.Count() : 0), -1);
    for (int r = 0; r < int(rowNodes.size()); ++r)
        if (rowNodes[size_t(r)] >= 0) nodeRow[size_t(rowNodes[size_t(r)])] = r;

    for (int row = Layout.FirstRow; row < rows; ++row) {
        const double top = Layout.RowTop(row);
        if (top >= height()) break;
        const QRectF band(0, top, w, rh);
        if (row == SelectedNode)
            p.fillRect(band, palette().highlight().color().lighter(170));
        else if (row % 2)
            p.fillRect(QRectF(0, top, Layout.Left, rh), palette().alternateBase());
        p.setPen(palette().mid().color());
        p.drawLine(QPointF(Layout.Left - 0.5, top), QPointF(Layout.Left - 0.5, top + rh));
        p.setPen(palette().text().color());
        p.drawText(QRectF(4, top, Layout.Left - 8, rh), Qt::AlignVCenter,
                   p.fontMetrics().elidedText(RowNames[row], Qt::ElideRight, int(Layout.Left) - 8));
        const int node = row < int(rowNodes.size()) ? rowNodes[size_t(row)] : -1;
        if (node < 0) continue;
        const double mid = top + rh / 2;
        p.save();
        p.setClipRect(QRectF(Layout.Left, top, w - Layout.Left, rh));
        std::fill(column.begin(), column.end(), 0);
        const TKEYEntries& entries = doc->Nodes[node].Entries;
        for (int i = 0; i < entries.Count(); ++i)
            if (const int x = columnOf(entries[i].Frame); x >= 0) column[size_t(x)] = 1;
        drawColumns(mid, kKey);
        std::fill(column.begin(), column.end(), 0);
        bool any = false;
        for (const TKeyRef& k : picked)
            if (nodeRow[size_t(k.node)] == row)
                if (const int x = columnOf(entries[k.entry].Frame); x >= 0) {
                    column[size_t(x)] = 1;
                    any = true;
                }
        if (any) drawColumns(mid, kPicked);
        // The selected entry is ringed.
        if (node == session_.KeyNodeIndex() && SelectedEntry >= 0 &&
            SelectedEntry < entries.Count())
            if (const int x = columnOf(entries[SelectedEntry].Frame); x >= 0) {
                p.setPen(QPen(palette().text().color(), 1));
                p.setBrush(Qt::NoBrush);
                p.drawRect(QRectF(x - 4.5, mid - 5.5, 10, 10));
            }
        p.restore();
    }
}

// ---------------------------------------------------------------------------------------------
// Mouse and keys

void TTimelinePanel::mousePressEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton || !session_.KeyFile) return;
    const QPointF at = e->position();
    pressAt_ = bandTo_ = at;
    collapseTo_.reset();
    moving_ = false;
    const bool shift = e->modifiers() & Qt::ShiftModifier;
    switch (Layout.AreaAt(at.y(), Rows())) {
    case TTimelineArea::Ruler:
        if (at.x() < Layout.Left) return;
        press_ = Press::Scrub;
        if (onScrub) onScrub(ClampedFrame(at.x()));
        return;
    case TTimelineArea::Markers:
        return;
    case TTimelineArea::Row:
    case TTimelineArea::Below:
        break;
    }
    const std::vector<int> rowNodes = RowNodes(*session_.KeyFile, Rows());
    const std::optional<TKeyRef> key =
        at.x() >= Layout.Left ? KeyAt(*session_.KeyFile, rowNodes, Layout, at.x(), at.y())
                              : std::nullopt;
    if (!key) {
        // An empty place: a band, or (released where it was pressed) the row's node.
        press_ = at.x() >= Layout.Left ? Press::Band : Press::Row;
        return;
    }
    if (shift) {
        press_ = Press::None;
        if (onKey) onKey(*key, true);
        return;
    }
    press_ = Press::Key;
    const std::vector<TKeyRef> picked = session_.SelectedKeys();
    // A press on one of several picked keys keeps them all, to drag them together.
    if (picked.size() > 1 && std::binary_search(picked.begin(), picked.end(), *key))
        collapseTo_ = key;
    else if (onKey)
        onKey(*key, false);
}

void TTimelinePanel::mouseMoveEvent(QMouseEvent* e) {
    const QPointF at = e->position();
    if (!(e->buttons() & Qt::LeftButton)) {
        if (press_ != Press::None) mouseReleaseEvent(e); // the release went elsewhere
        return;
    }
    switch (press_) {
    case Press::Scrub:
        if (onScrub) onScrub(ClampedFrame(at.x()));
        return;
    case Press::Band:
        bandTo_ = at;
        update();
        return;
    case Press::Key: {
        if (!moving_ && std::abs(at.x() - pressAt_.x()) < kClickDistance) return;
        if (!moving_) {
            moving_ = true;
            collapseTo_.reset();
            if (onMoveBegin) onMoveBegin();
        }
        const int delta = int(std::round((at.x() - pressAt_.x()) / Layout.PixelsPerFrame));
        if (onMove) onMove(delta);
        return;
    }
    default:
        return;
    }
}

void TTimelinePanel::mouseReleaseEvent(QMouseEvent* e) {
    const Press press = std::exchange(press_, Press::None);
    const QPointF at = e->position();
    switch (press) {
    case Press::Scrub:
        if (onScrubEnd) onScrubEnd();
        break;
    case Press::Band: {
        const bool shift = e->modifiers() & Qt::ShiftModifier;
        if (std::abs(at.x() - pressAt_.x()) < kClickDistance &&
            std::abs(at.y() - pressAt_.y()) < kClickDistance) {
            const int row = Layout.RowAt(at.y(), Rows());
            if (row >= 0 && onRow) onRow(row);
        } else if (session_.KeyFile && onBand) {
            onBand(KeysIn(*session_.KeyFile, RowNodes(*session_.KeyFile, Rows()), Layout,
                          pressAt_.x(), pressAt_.y(), at.x(), at.y()),
                   shift);
        }
        update();
        break;
    }
    case Press::Row: {
        const int row = Layout.RowAt(at.y(), Rows());
        if (row >= 0 && row == Layout.RowAt(pressAt_.y(), Rows()) && onRow) onRow(row);
        break;
    }
    case Press::Key:
        if (moving_ && onMoveEnd) onMoveEnd();
        if (collapseTo_ && onKey) onKey(*collapseTo_, false);
        break;
    case Press::None:
        break;
    }
    moving_ = false;
    collapseTo_.reset();
}

void TTimelinePanel::wheelEvent(QWheelEvent* e) {
    const QPoint d = e->angleDelta();
    if (e->modifiers() & Qt::ControlModifier) {
        if (d.y() != 0) Layout.ZoomAround(e->position().x(), std::pow(1.25, d.y() / 120.0));
        fitted_ = false;
    } else if (d.x() != 0 || (e->modifiers() & Qt::ShiftModifier)) {
        fitted_ = false;
        // Sideways: a tenth of the strip per notch.
        const int notch = d.x() != 0 ? d.x() : d.y();
        Layout.FirstFrame -= notch / 120.0 * (width() - Layout.Left) / 10 / Layout.PixelsPerFrame;
    } else {
        Layout.FirstRow -= int(std::lround(d.y() / 120.0 * 3));
        Layout.ClampRows(Rows(), height());
    }
    e->accept();
    update();
}

void TTimelinePanel::keyPressEvent(QKeyEvent* e) {
    if ((e->key() == Qt::Key_Delete || e->key() == Qt::Key_Backspace) && onDelete) {
        onDelete();
        return;
    }
    QWidget::keyPressEvent(e);
}

void TTimelinePanel::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    if (fitted_) Layout.Fit(session_.KeyFile ? session_.KeyFile->Frames : 0, width());
    Layout.ClampRows(Rows(), height());
}

bool TTimelinePanel::event(QEvent* e) {
    if (e->type() != QEvent::ToolTip) return QWidget::event(e);
    // A marker's type, or a key's node, entry and frame.
    auto* help = static_cast<QHelpEvent*>(e);
    const QPointF at = help->pos();
    QString tip;
    if (const TKEYFile* doc = session_.KeyFile.get()) {
        if (Layout.AreaAt(at.y(), Rows()) == TTimelineArea::Markers)
            tip = MarkerTip(doc->Markers, Layout, at.x());
        else if (auto key = KeyAt(*doc, RowNodes(*doc, Rows()), Layout, at.x(), at.y())) {
            tip = QString("%1: Entry %2 (%3)")
                      .arg(RowNames.value(doc->Joint(key->node)))
                      .arg(key->entry)
                      .arg(doc->Nodes[key->node].Entries[key->entry].Frame);
        }
    }
    ShowTip(help, tip, this);
    return true;
}

} // namespace vorlin
