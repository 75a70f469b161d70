#include "panels/timeline/timeline_panel.h"

#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>
#include <cmath>

#include "common/action_table.h"
#include "common/qt_strings.h"
#include "edit/key_document.h"
#include "panels/panel_common.h"
#include "panels/panel_host.h"
#include "panels/value_field.h"

namespace vorlin {

namespace {

constexpr double kClickDistance = 3;

bool Near(QPointF a, QPointF b) {
    return std::abs(a.x() - b.x()) < kClickDistance && std::abs(a.y() - b.y()) < kClickDistance;
}

} // namespace

TTimelinePanel::TTimelinePanel(TKeyDocument& doc, TPanelHost& host, TActionTable& actions,
                               QWidget* parent)
    : QWidget(parent), doc_(doc), host_(host), hbar_(new QScrollBar(Qt::Horizontal, this)),
      vbar_(new QScrollBar(Qt::Vertical, this)), field_(new TValueField(this)) {
    setObjectName("TimelinePanel");
    setFocusPolicy(Qt::ClickFocus);
    setMinimumHeight(int(Layout.RowsTop() + Layout.RowHeight));
    setAutoFillBackground(true);
    setToolTip(""); // the markers' and keys' tooltips come from event()
    hbar_->setObjectName("SBTimelineFrames");
    vbar_->setObjectName("SBTimelineRows");
    hbar_->setFocusPolicy(Qt::NoFocus);
    vbar_->setFocusPolicy(Qt::NoFocus);
    hbar_->hide();
    vbar_->hide();
    field_->setObjectName("EBScaleFactor");
    connect(hbar_, &QScrollBar::valueChanged, this, [this](int v) {
        if (syncing_) return;
        Layout.FirstFrame = (v - Layout.Margin()) / Layout.PixelsPerFrame; // back from ScrolledBy
        fitted_ = false;
        update();
    });
    connect(vbar_, &QScrollBar::valueChanged, this, [this](int v) {
        if (syncing_) return;
        Layout.FirstRow = v;
        update();
    });
    actions.SetContextWidget(TActionContext::Timeline, this);
    BuildActions(actions);
    observer_ = doc_.Observe([this](const TDocumentChange& c) { Changed(c); });
}

TTimelinePanel::~TTimelinePanel() {
    doc_.Forget(observer_);
}

int TTimelinePanel::Rows() const {
    return doc_.Model ? doc_.Model->HNodes.Count() : 0;
}

QString TTimelinePanel::RowName(int row) const {
    return doc_.Model && row >= 0 && row < doc_.Model->HNodes.Count()
               ? ToQ(doc_.Model->HNodes[row].Name).toLower()
               : QString();
}

void TTimelinePanel::Changed(const TDocumentChange& c) {
    // Keys came, went or moved: the summary row is worked out again.
    if (c.Has(chKeys | chDocument)) summaryColumns_.reset();
    if (c.Has(chDocument))
        Fit(); // a new or loaded document fits the strip
    else if (c.Has(chHeader))
        FramesChanged();
    if (c.Has(chModel)) SyncScrollBars();
    update();
}

// The bars as they are set, not as they show: on a hidden tab (a KEY made while the curves are
// on show) no child is visible, and a fit there took the room of the rows' bar for frames.
double TTimelinePanel::ContentWidth() const {
    return width() - (!vbar_->isHidden() ? vbar_->width() : 0);
}

double TTimelinePanel::ContentHeight() const {
    return height() - (!hbar_->isHidden() ? hbar_->height() : 0);
}

void TTimelinePanel::Fit() {
    Layout.Fit(FramesToFit(doc_.KeyFile.get()), ContentWidth());
    Layout.FirstRow = 0;
    fitted_ = true;
    SyncScrollBars();
    update();
}

void TTimelinePanel::FramesChanged() {
    if (fitted_) Layout.Fit(FramesToFit(doc_.KeyFile.get()), ContentWidth());
    SyncScrollBars();
    update();
}

int TTimelinePanel::ClampedFrame(double x) const {
    const int last = doc_.KeyFile ? std::max(doc_.KeyFile->Frames - 1, 0) : 0;
    return std::clamp(Layout.NearestFrame(x), 0, last);
}

void TTimelinePanel::SyncScrollBars() {
    syncing_ = true;
    // Frames: the animation and its margins, as a fit shows them; scrolled past that, the bar
    // reaches as far as the view went.
    const int frames = FramesToFit(doc_.KeyFile.get());
    const double room = std::max(1.0, ContentWidth() - Layout.Left);
    const double all = Layout.FittedWidth(frames);
    const double at = Layout.ScrolledBy();
    const bool wide = all > room + 0.5 || std::abs(at) > 0.5;
    hbar_->setVisible(wide);
    if (wide) {
        hbar_->setRange(int(std::clamp(std::min(0.0, at), -1e9, 0.0)),
                        int(std::clamp(std::max(all - room, at), 0.0, 1e9)));
        hbar_->setPageStep(int(room));
        hbar_->setSingleStep(std::max(1, int(Layout.PixelsPerFrame)));
        hbar_->setValue(int(std::clamp(at, -1e9, 1e9)));
    }
    // Rows: as many as fit, the rest scrolled to.
    Layout.ClampRows(Rows(), ContentHeight());
    const int shown = std::max(1, int((ContentHeight() - Layout.RowsTop()) / Layout.RowHeight));
    const bool tall = Rows() > shown;
    const bool wasTall = !vbar_->isHidden();
    vbar_->setVisible(tall);
    if (tall) {
        vbar_->setRange(0, Rows() - shown);
        vbar_->setPageStep(shown);
        vbar_->setValue(Layout.FirstRow);
    }
    const int sb = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    hbar_->setGeometry(0, height() - sb, width() - (tall ? sb : 0), sb);
    vbar_->setGeometry(width() - sb, int(Layout.RowsTop()), sb,
                       height() - int(Layout.RowsTop()) - (wide ? sb : 0));
    syncing_ = false;
    // A fit made before the rows' bar came (a model with more rows) or went is made again for
    // the room there is now: the last keys would lie under the bar.
    if (fitted_ && tall != wasTall) {
        Layout.Fit(frames, ContentWidth());
        SyncScrollBars();
    }
}

// ---------------------------------------------------------------------------------------------
// Painting

void TTimelinePanel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const TKEYFile* doc = doc_.KeyFile.get();
    const int frames = doc ? doc->Frames : 0;
    Layout.ClampRows(Rows(), ContentHeight());
    const double w = ContentWidth(), h = ContentHeight();
    p.setClipRect(QRectF(0, 0, w, h));
    // Frames outside the animation are shaded.
    p.fillRect(rect(), palette().base());
    const double x0 = Layout.X(-0.5), x1 = Layout.X(frames - 0.5);
    p.fillRect(QRectF(Layout.Left, 0, std::max(0.0, x0 - Layout.Left), h),
               palette().alternateBase());
    p.fillRect(QRectF(x1, 0, std::max(0.0, w - x1), h), palette().alternateBase());
    const std::vector<int> rowNodes = doc ? RowNodes(*doc, Rows()) : std::vector<int>();
    PaintRows(p, rowNodes);
    PaintSummary(p);
    PaintMarkers(p);
    PaintRuler(p, frames);
    PaintRange(p);
    if (doc) {
        const double x = std::round(Layout.X(doc_.Frame())) + 0.5;
        if (x >= Layout.Left) {
            p.setPen(QPen(PanelColours(palette()).Playhead, 1));
            p.drawLine(QPointF(x, 0), QPointF(x, h));
        }
    }
    if (press_ == Press::Band) {
        p.setPen(QPen(palette().highlight().color(), 1, Qt::DashLine));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(pressAt_, bandTo_).normalized());
    }
    PaintReadout(p);
}

void TTimelinePanel::PaintRuler(QPainter& p, int frames) {
    PaintFrameRuler(p, palette(), Layout, 0, Layout.RulerHeight, ContentWidth(), frames, false);
}

void TTimelinePanel::PaintMarkers(QPainter& p) {
    const double top = Layout.RulerHeight, h = Layout.MarkerHeight;
    p.fillRect(QRectF(0, top, ContentWidth(), h), palette().window());
    p.setPen(palette().windowText().color());
    p.drawText(QRectF(4, top, Layout.Left - 8, h), Qt::AlignVCenter, "markers");
    if (!doc_.KeyFile) return;
    const TPanelColours colours = PanelColours(palette());
    vorlin::PaintMarkers(p, doc_.KeyFile->Markers, Layout, top, h, ContentWidth(), colours.Marker);
    // The picked ones in the picked keys' colour, so that Delete, a drag and Ctrl+K show what
    // they act on.
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(palette().text().color(), 1));
    p.setBrush(colours.PickedKey);
    for (int m : doc_.PickedMarkers()) {
        const double x = Layout.X(doc_.KeyFile->Markers[m].Frame);
        const QPointF tri[3] = {{x - 5, top + 1}, {x + 5, top + 1}, {x, top + h - 1}};
        p.drawPolygon(tri, 3);
    }
    p.restore();
}

namespace {

// Marks drawn once per pixel column: a dense node draws as a bar, not as thousands of marks on
// top of each other.
void PaintColumns(QPainter& p, const std::vector<char>& column, double mid, double pixelsPerFrame,
                  const QColor& colour) {
    const int w = int(column.size());
    const double half = std::min(4.0, std::max(1.5, pixelsPerFrame / 2 - 1));
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    // Smooth edges: on a high-DPI screen the diamonds are drawn at its pixels.
    const bool smooth = p.testRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::Antialiasing);
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
    p.setRenderHint(QPainter::Antialiasing, smooth);
}

} // namespace

void TTimelinePanel::PaintSummary(QPainter& p) {
    const double top = Layout.SummaryTop(), h = Layout.SummaryHeight;
    const int w = int(ContentWidth());
    p.fillRect(QRectF(0, top, w, h),
               summary_ ? PanelColours(palette()).Selection : palette().window().color());
    p.setPen(palette().mid().color());
    p.drawLine(QPointF(0, top + h - 0.5), QPointF(w, top + h - 0.5));
    p.setPen(palette().windowText().color());
    QFont bold = p.font();
    bold.setBold(true);
    p.save();
    p.setFont(bold);
    p.drawText(QRectF(4, top, Layout.Left - 8, h), Qt::AlignVCenter, "summary");
    p.restore();
    const TKEYFile* doc = doc_.KeyFile.get();
    if (!doc || w <= 0) return;
    const std::vector<char>& column = SummaryColumnsOf(*doc, w);
    std::vector<char> picked(static_cast<size_t>(w));
    auto columnOf = [&](int32_t frame) {
        const double x = std::round(Layout.X(frame));
        return x < Layout.Left || x >= w ? -1 : int(x);
    };
    bool any = false;
    for (const TKeyRef& k : doc_.SelectedKeys())
        if (const int x = columnOf(doc->Nodes[k.node].Entries[k.entry].Frame); x >= 0) {
            picked[size_t(x)] = 1;
            any = true;
        }
    p.save();
    p.setClipRect(QRectF(Layout.Left, top, w - Layout.Left, h));
    const double mid = top + h / 2;
    const TPanelColours colours = PanelColours(palette());
    PaintColumns(p, column, mid, Layout.PixelsPerFrame, colours.Key);
    if (any) PaintColumns(p, picked, mid, Layout.PixelsPerFrame, colours.PickedKey);
    p.restore();
}

const std::vector<char>& TTimelinePanel::SummaryColumnsOf(const TKEYFile& doc, int width) {
    size_t keys = 0;
    for (const auto& node : doc.Nodes)
        keys += size_t(node->Entries.Count());
    auto columnOf = [&](int32_t frame) {
        const double x = std::round(Layout.X(frame));
        return x < Layout.Left || x >= width ? -1 : int(x);
    };
    // Keys move under a drag: the ones that stay are counted once; the ones that move are
    // added at each paint.
    const std::vector<TKeyRef> none;
    const std::vector<TKeyRef>& moving = move_ ? move_->Keys() : none;
    std::optional<SummaryColumns>& cache = moving.empty() ? summaryColumns_ : summaryStaying_;
    const bool fresh = cache && cache->doc == &doc && cache->keys == keys &&
                       cache->firstFrame == Layout.FirstFrame &&
                       cache->pixelsPerFrame == Layout.PixelsPerFrame &&
                       cache->left == Layout.Left && cache->width == width;
    if (!fresh) {
        std::vector<char> columns(static_cast<size_t>(width));
        for (int n = 0; n < doc.Nodes.Count(); ++n) {
            const TKEYEntries& entries = doc.Nodes[n].Entries;
            for (int i = 0; i < entries.Count(); ++i)
                if (const int x = columnOf(entries[i].Frame);
                    x >= 0 && (moving.empty() ||
                               !std::binary_search(moving.begin(), moving.end(), TKeyRef{n, i})))
                    columns[size_t(x)] = 1;
        }
        cache = SummaryColumns{&doc,        keys,  Layout.FirstFrame, Layout.PixelsPerFrame,
                               Layout.Left, width, std::move(columns)};
    }
    if (moving.empty()) return cache->columns;
    movingColumns_ = cache->columns;
    for (const TKeyRef& k : moving)
        if (const int x = columnOf(doc.Nodes[k.node].Entries[k.entry].Frame); x >= 0)
            movingColumns_[size_t(x)] = 1;
    return movingColumns_;
}

void TTimelinePanel::PaintRows(QPainter& p, const std::vector<int>& rowNodes) {
    const TKEYFile* doc = doc_.KeyFile.get();
    const double rh = Layout.RowHeight;
    const int rows = Rows();
    const int w = int(ContentWidth());
    const double bottom = ContentHeight();
    const TPanelColours colours = PanelColours(palette());
    std::vector<char> column(size_t(std::max(w, 0)));
    auto columnOf = [&](int32_t frame) {
        const double x = std::round(Layout.X(frame));
        return x < Layout.Left || x >= w ? -1 : int(x);
    };
    // The picked keys, by row.
    const std::vector<TKeyRef> picked = doc_.SelectedKeys();
    std::vector<int> nodeRow(size_t(doc ? doc->Nodes.Count() : 0), -1);
    for (int r = 0; r < int(rowNodes.size()); ++r)
        if (rowNodes[size_t(r)] >= 0) nodeRow[size_t(rowNodes[size_t(r)])] = r;
    const int keyNode = doc_.KeyNodeIndex();
    for (int row = Layout.FirstRow; row < rows; ++row) {
        const double top = Layout.RowTop(row);
        if (top >= bottom) break;
        const QRectF band(0, top, w, rh);
        if (row == doc_.SelectedNode() && !summary_)
            p.fillRect(band, colours.Selection);
        else if (row % 2)
            p.fillRect(QRectF(0, top, Layout.Left, rh), palette().alternateBase());
        p.setPen(colours.Grid);
        p.drawLine(QPointF(Layout.Left - 0.5, top), QPointF(Layout.Left - 0.5, top + rh));
        p.setPen(palette().text().color());
        p.drawText(QRectF(4, top, Layout.Left - 8, rh), Qt::AlignVCenter,
                   p.fontMetrics().elidedText(RowName(row), Qt::ElideRight, int(Layout.Left) - 8));
        const int node = row < int(rowNodes.size()) ? rowNodes[size_t(row)] : -1;
        if (node < 0) continue;
        const double mid = top + rh / 2;
        p.save();
        p.setClipRect(QRectF(Layout.Left, top, w - Layout.Left, std::min(rh, bottom - top)));
        std::fill(column.begin(), column.end(), 0);
        const TKEYEntries& entries = doc->Nodes[node].Entries;
        for (int i = 0; i < entries.Count(); ++i)
            if (const int x = columnOf(entries[i].Frame); x >= 0) column[size_t(x)] = 1;
        PaintColumns(p, column, mid, Layout.PixelsPerFrame, colours.Key);
        std::fill(column.begin(), column.end(), 0);
        bool any = false;
        for (const TKeyRef& k : picked)
            if (nodeRow[size_t(k.node)] == row)
                if (const int x = columnOf(entries[k.entry].Frame); x >= 0) {
                    column[size_t(x)] = 1;
                    any = true;
                }
        if (any) PaintColumns(p, column, mid, Layout.PixelsPerFrame, colours.PickedKey);
        // The selected entry is ringed.
        if (const int selected = doc_.SelectedEntry();
            node == keyNode && selected >= 0 && selected < entries.Count())
            if (const int x = columnOf(entries[selected].Frame); x >= 0) {
                p.setPen(QPen(palette().text().color(), 1));
                p.setBrush(Qt::NoBrush);
                p.drawRect(QRectF(x - 4.5, mid - 5.5, 10, 10));
            }
        p.restore();
    }
}

void TTimelinePanel::PaintReadout(QPainter& p) {
    if (readout_.isEmpty()) return;
    const QFontMetrics fm = p.fontMetrics();
    QRectF box(readoutAt_ + QPointF(12, -fm.height() - 4),
               QSizeF(fm.horizontalAdvance(readout_) + 8, fm.height() + 2));
    if (box.right() > ContentWidth()) box.moveRight(readoutAt_.x() - 12);
    // Inside the strip, whatever the pointer.
    if (box.left() < 0) box.moveLeft(0);
    if (box.top() < 0) box.moveTop(0);
    p.setPen(palette().toolTipText().color());
    p.setBrush(palette().toolTipBase());
    p.drawRect(box);
    p.drawText(box, Qt::AlignCenter, readout_);
}

// ---------------------------------------------------------------------------------------------
// Mouse and keys

void TTimelinePanel::mousePressEvent(QMouseEvent* e) {
    if (modal_ != Modal::None) { // a click puts the keys, the right button gives them up
        if (e->button() == Qt::LeftButton) {
            ConfirmModal();
        } else {
            CancelModal();
        }
        return;
    }
    if (arm_ != Arm::None && e->button() != Qt::LeftButton) {
        Disarm();
        return;
    }
    if (e->button() == Qt::RightButton && press_ == Press::None) {
        MarkersMenuAt(e);
        return;
    }
    if (e->button() != Qt::LeftButton || !doc_.KeyFile) return;
    const TKEYFile& doc = *doc_.KeyFile;
    const QPointF at = e->position();
    pressAt_ = bandTo_ = at;
    collapseTo_.reset();
    collapseColumn_.reset();
    moving_ = false;
    const bool shift = e->modifiers() & Qt::ShiftModifier;
    if (at.x() >= ContentWidth() || at.y() >= ContentHeight()) return;
    if (arm_ != Arm::None) { // after B or P the drag is a box or a range, wherever it starts
        press_ = arm_ == Arm::Box ? Press::Band : Press::Range;
        if (press_ == Press::Range) RangeStep(at.x());
        arm_ = Arm::None;
        update();
        return;
    }
    switch (Layout.AreaAt(at.y(), Rows())) {
    case TTimelineArea::Ruler:
        if (at.x() < Layout.Left) return;
        if (e->modifiers() & Qt::AltModifier) { // a column: every key at that frame
            PickColumn(ClampedFrame(at.x()), shift);
            return;
        }
        if (e->modifiers() & Qt::ControlModifier) { // the preview range, as after P
            press_ = Press::Range;
            RangeStep(at.x());
            return;
        }
        press_ = Press::Scrub;
        scrub_.To(doc_, ClampedFrame(at.x()));
        return;
    case TTimelineArea::Markers:
        PressMarkers(e);
        return;
    case TTimelineArea::Summary: {
        summary_ = true;
        const std::optional<int32_t> frame =
            at.x() >= Layout.Left ? SummaryFrameAt(doc, Layout, at.x()) : std::nullopt;
        if (!frame) {
            press_ = Press::Band;
            update();
            return;
        }
        // A mark of the summary row stands for every key at its frame; pressed among other
        // picked keys, it keeps them all to drag them together.
        const std::vector<TKeyRef> column = KeysAtFrame(doc, *frame);
        const std::vector<TKeyRef> picked = doc_.SelectedKeys();
        const bool all = std::includes(picked.begin(), picked.end(), column.begin(), column.end());
        moveFrom_ = *frame;
        if (shift) {
            PickColumn(*frame, true);
            return;
        }
        press_ = Press::Key;
        if (!all)
            PickColumn(*frame, false);
        else if (picked.size() > column.size())
            collapseColumn_ = *frame;
        return;
    }
    case TTimelineArea::Row:
    case TTimelineArea::Below:
        break;
    }
    summary_ = false;
    const std::vector<int> rowNodes = RowNodes(doc, Rows());
    const std::optional<TKeyRef> key =
        at.x() >= Layout.Left ? KeyAt(doc, rowNodes, Layout, at.x(), at.y()) : std::nullopt;
    if (!key) {
        // An empty place: a band, or (released where it was pressed) the row's node.
        press_ = at.x() >= Layout.Left ? Press::Band : Press::Row;
        update();
        return;
    }
    moveFrom_ = doc.Nodes[key->node].Entries[key->entry].Frame;
    if (shift) {
        press_ = Press::None;
        PickKey(*key, true);
        return;
    }
    press_ = Press::Key;
    const std::vector<TKeyRef> picked = doc_.SelectedKeys();
    // A press on one of several picked keys keeps them all, to drag them together.
    if (picked.size() > 1 && std::binary_search(picked.begin(), picked.end(), *key))
        collapseTo_ = key;
    else
        PickKey(*key, false);
}

void TTimelinePanel::mouseMoveEvent(QMouseEvent* e) {
    const QPointF at = e->position();
    if (modal_ != Modal::None) {
        ModalMove(at);
        return;
    }
    if (!(e->buttons() & Qt::LeftButton)) {
        if (press_ != Press::None) mouseReleaseEvent(e); // the release went elsewhere
        return;
    }
    switch (press_) {
    case Press::Scrub:
        scrub_.To(doc_, ClampedFrame(at.x()));
        return;
    case Press::Band:
        bandTo_ = at;
        update();
        return;
    case Press::Range:
        RangeStep(at.x());
        return;
    case Press::Marker:
        if (!markerMove_ && std::abs(at.x() - pressAt_.x()) < kClickDistance) return;
        MarkerStep(Layout.FrameAt(at.x()) - Layout.FrameAt(pressAt_.x()) + markerFrom_,
                   e->modifiers() & Qt::ControlModifier);
        readoutAt_ = at;
        return;
    case Press::Key: {
        if (!moving_ && std::abs(at.x() - pressAt_.x()) < kClickDistance) return;
        if (!moving_) {
            moving_ = true;
            collapseTo_.reset();
            collapseColumn_.reset();
            BeginMove();
        }
        MoveStep(Layout.FrameAt(at.x()) - Layout.FrameAt(pressAt_.x()) + moveFrom_,
                 e->modifiers() & Qt::ControlModifier);
        readoutAt_ = at;
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
        scrub_.End(doc_);
        break;
    case Press::Band: {
        const bool shift = e->modifiers() & Qt::ShiftModifier;
        if (Near(at, pressAt_)) {
            // A click: its row's node; with Shift nothing, the picks kept.
            const int row = Layout.RowAt(at.y(), Rows());
            if (row >= 0 && !shift) doc_.PickNode(row);
        } else if (doc_.KeyFile) {
            std::vector<TKeyRef> keys = KeysIn(*doc_.KeyFile, RowNodes(*doc_.KeyFile, Rows()),
                                               Layout, pressAt_.x(), pressAt_.y(), at.x(), at.y());
            // A band over the summary row takes every key in its frames.
            const double top = std::min(at.y(), pressAt_.y());
            if (top < Layout.RowsTop() && std::max(at.y(), pressAt_.y()) >= Layout.SummaryTop())
                for (const TKeyRef& k : AllKeys(*doc_.KeyFile)) {
                    const double x = Layout.X(doc_.KeyFile->Nodes[k.node].Entries[k.entry].Frame);
                    if (x >= std::min(at.x(), pressAt_.x()) && x <= std::max(at.x(), pressAt_.x()))
                        keys.push_back(k);
                }
            PickKeys(std::move(keys), shift);
        }
        update();
        break;
    }
    case Press::Row: {
        const int row = Layout.RowAt(at.y(), Rows());
        if (row >= 0 && row == Layout.RowAt(pressAt_.y(), Rows())) doc_.PickNode(row);
        break;
    }
    case Press::Range:
        EndRange();
        break;
    case Press::Marker:
        EndMarkerMove();
        break;
    case Press::Key:
        if (moving_) EndMove();
        if (collapseTo_) PickKey(*collapseTo_, false);
        if (collapseColumn_) PickColumn(*collapseColumn_, false);
        break;
    case Press::None:
        break;
    }
    moving_ = false;
    collapseTo_.reset();
    collapseColumn_.reset();
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
        Layout.FirstFrame -=
            notch / 120.0 * (ContentWidth() - Layout.Left) / 10 / Layout.PixelsPerFrame;
    } else {
        Layout.FirstRow -= int(std::lround(d.y() / 120.0 * 3));
    }
    e->accept();
    SyncScrollBars();
    update();
}

void TTimelinePanel::keyPressEvent(QKeyEvent* e) {
    // While copies or a scale follow the pointer (the panel holds the keyboard): Enter puts
    // them, Escape gives them up. The panel's other keys are its actions'.
    if (modal_ != Modal::None) {
        if (e->key() == Qt::Key_Escape) CancelModal();
        if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) ConfirmModal();
        return;
    }
    if (arm_ != Arm::None && e->key() == Qt::Key_Escape) {
        Disarm();
        return;
    }
    QWidget::keyPressEvent(e);
}

void TTimelinePanel::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    if (fitted_) Layout.Fit(FramesToFit(doc_.KeyFile.get()), ContentWidth());
    SyncScrollBars();
}

bool TTimelinePanel::event(QEvent* e) {
    if (e->type() == QEvent::ShortcutOverride && modal_ != Modal::None) {
        e->accept(); // every key goes to the copies or the scale under way
        return true;
    }
    if (e->type() == QEvent::ShortcutOverride && arm_ != Arm::None &&
        static_cast<QKeyEvent*>(e)->key() == Qt::Key_Escape) {
        e->accept(); // Escape gives up the box or range to come
        return true;
    }
    if (e->type() != QEvent::ToolTip) return QWidget::event(e);
    // A marker's type, or a key's node, entry and frame.
    auto* help = static_cast<QHelpEvent*>(e);
    const QPointF at = help->pos();
    QString tip;
    if (const TKEYFile* doc = doc_.KeyFile.get()) {
        const TTimelineArea area = Layout.AreaAt(at.y(), Rows());
        if (area == TTimelineArea::Markers)
            tip = MarkerTip(doc->Markers, Layout, at.x());
        else if (area == TTimelineArea::Summary) {
            if (auto frame = SummaryFrameAt(*doc, Layout, at.x()))
                tip = QString("Frame %1: %2 keys (a click picks them all)")
                          .arg(*frame)
                          .arg(KeysAtFrame(*doc, *frame).size());
        } else if (auto key = KeyAt(*doc, RowNodes(*doc, Rows()), Layout, at.x(), at.y())) {
            tip = QString("%1: Entry %2 (%3)")
                      .arg(RowName(doc->Joint(key->node)))
                      .arg(key->entry)
                      .arg(doc->Nodes[key->node].Entries[key->entry].Frame);
        }
    }
    ShowTip(help, tip, this);
    return true;
}

} // namespace vorlin
