#include "panels/curves/curves_panel.h"

#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolButton>
#include <QWheelEvent>
#include <cmath>

#include "common/action_table.h"
#include "common/qt_strings.h"
#include "edit/key_document.h"
#include "panels/panel_common.h"
#include "panels/panel_host.h"
#include "panels/value_field.h"
#include "settings/GlobalVars.h"

namespace vorlin {

namespace {

const char* const kToggleNames[kChannels] = {"BNCurveX",     "BNCurveY",   "BNCurveZ",
                                             "BNCurvePitch", "BNCurveYaw", "BNCurveRoll"};
const char* const kCaptions[kChannels] = {"X", "Y", "Z", "Pitch", "Yaw", "Roll"};
constexpr double kClickDistance = 3;

// Values at least this many pixels apart on a plot's grid: 1, 2 or 5 times a power of ten.
double GridStep(double span, double pixels, double room) {
    const double rough = span * room / std::max(pixels, 1.0);
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    for (double m : {1.0, 2.0, 5.0, 10.0})
        if (m * power >= rough) return m * power;
    return 10 * power;
}

QString ValueText(double v) {
    return QString::number(std::abs(v) < 1e-12 ? 0.0 : v, 'g', 6);
}

} // namespace

TCurvesPanel::TCurvesPanel(TKeyDocument& doc, TPanelHost& host, TActionTable& actions,
                           QWidget* parent)
    : QWidget(parent), doc_(doc), host_(host), field_(new TValueField(this)) {
    setObjectName("CurvesPanel");
    field_->setObjectName("EBCurveValue");
    setFocusPolicy(Qt::ClickFocus);
    setAutoFillBackground(true);
    setMinimumHeight(64);
    for (int c = 0; c < kChannels; ++c) {
        auto* b = new QToolButton(this);
        b->setObjectName(kToggleNames[c]);
        b->setText(kCaptions[c]);
        b->setCheckable(true);
        b->setChecked(true);
        b->setFocusPolicy(Qt::NoFocus);
        b->setAutoRaise(true);
        b->setToolTip(QString("Show %1").arg(kCaptions[c]));
        connect(b, &QToolButton::toggled, this, [this, c](bool on) {
            Layout.Visible = on ? Layout.Visible | (1u << c) : Layout.Visible & ~(1u << c);
            if (onChannels) onChannels(Layout.Visible);
            update();
        });
        toggles_[c] = b;
    }
    // With one plot at a time: the switch to the other one.
    plotToggle_ = new QToolButton(this);
    plotToggle_->setObjectName("BNCurvesPlot");
    plotToggle_->setFocusPolicy(Qt::NoFocus);
    connect(plotToggle_, &QToolButton::clicked, this, [this] {
        SetPlot(1 - Layout.OnlyPlot);
        if (onPlot) onPlot(Layout.OnlyPlot);
    });
    SetPlot(0);
    ShowColours();
    setToolTip(""); // the keys' tooltips come from event()
    actions.SetContextWidget(TActionContext::Curves, this);
    // F fits the curves while the panel has the focus; elsewhere it frames the model.
    TActionDef fit;
    fit.Id = "FitCurves1";
    fit.Caption = "Fit the Curves";
    fit.Keys = {QKeySequence(Qt::Key_F)};
    fit.Context = TActionContext::Curves;
    fit.Run = [this] { Fit(); };
    actions.Add(fit);
    // Enter with one point picked types its value.
    TActionDef type;
    type.Id = "TypeCurveValue1";
    type.Caption = "Type the Value";
    type.Keys = {QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)};
    type.Context = TActionContext::Curves;
    type.Enabled = [this] { return Picked().size() == 1; };
    type.Run = [this] { TypeValue(Picked().front()); };
    actions.Add(type);
    observer_ = doc_.Observe([this](const TDocumentChange& c) { Changed(c); });
}

TCurvesPanel::~TCurvesPanel() {
    doc_.Forget(observer_);
}

void TCurvesPanel::Changed(const TDocumentChange& c) {
    if (c.Has(chDocument))
        Fit(); // a new or loaded document fits the plots
    else if (c.Has(chHeader))
        FramesChanged();
    UpdateLegend();
    update();
}

void TCurvesPanel::SetPlot(int plot) {
    Layout.OnlyPlot = plot == 1 ? 1 : 0;
    plotToggle_->setText(Layout.OnlyPlot ? "Show positions" : "Show angles");
    plotToggle_->setToolTip(
        Layout.OnlyPlot ? "Too short for two plots, the panel shows the angles: click for the "
                          "positions (X, Y, Z). A taller panel shows both."
                        : "Too short for two plots, the panel shows the positions: click for the "
                          "angles (Pitch, Yaw, Roll). A taller panel shows both.");
    PlaceToggles();
    update();
}

void TCurvesPanel::ShowColours() {
    const TPanelColours colours = PanelColours(palette());
    for (int c = 0; c < kChannels; ++c) {
        QPalette pal = toggles_[c]->palette();
        pal.setColor(QPalette::ButtonText, colours.ChannelText[c]);
        toggles_[c]->setPalette(pal);
    }
}

void TCurvesPanel::SetChannels(unsigned mask) {
    for (int c = 0; c < kChannels; ++c)
        toggles_[c]->setChecked(mask & (1u << c));
}

int TCurvesPanel::Node() const {
    if (!doc_.KeyFile) return -1;
    const int node = doc_.KeyNodeIndex();
    return node >= 0 && !doc_.KeyFile->Nodes[node].Entries.Empty() ? node : -1;
}

void TCurvesPanel::Fit() {
    Layout.Frames.Fit(FramesToFit(doc_.KeyFile.get()), width());
    framesFitted_ = true;
    Refit();
    update();
}

void TCurvesPanel::Refit() {
    Layout.Height = height();
    Layout.Plots = Layout.PlotsFor(height());
    const TKEYFile* doc = doc_.KeyFile.get();
    const int node = Node();
    fittedNode_ = node;
    Sample();
    Layout.FitValues(samples_, node >= 0 ? &doc->Nodes[node] : nullptr);
}

void TCurvesPanel::FramesChanged() {
    if (framesFitted_) Layout.Frames.Fit(FramesToFit(doc_.KeyFile.get()), width());
    update();
}

int TCurvesPanel::ClampedFrame(double x) const {
    const int last = doc_.KeyFile ? std::max(doc_.KeyFile->Frames - 1, 0) : 0;
    return std::clamp(Layout.Frames.NearestFrame(x), 0, last);
}

void TCurvesPanel::Sample() {
    const int node = Node();
    if (node < 0) {
        for (auto& v : samples_.Values)
            v.clear();
        return;
    }
    // The frames the game plays that are on show, with one more each side for the lines out
    // (kept to the animation before they become whole numbers: the view may be far off it).
    const TKEYFile& doc = *doc_.KeyFile;
    const double last = double(doc.Frames) - 1;
    const double from =
        std::clamp(std::floor(Layout.Frames.FrameAt(Layout.Frames.Left)) - 1, 0.0, last + 1);
    const double to = std::clamp(std::ceil(Layout.Frames.FrameAt(width())) + 1, -1.0, last);
    if (to < from) {
        for (auto& v : samples_.Values)
            v.clear();
        return;
    }
    SampleCurves(doc, node, int32_t(from), int32_t(to), samples_);
}

namespace {

// The legend's columns left of the plots: the toggles, then the value grid's numbers.
constexpr int kToggleLeft = 2, kToggleWidth = 100;
// The letter each channel's toggle shows when its plot has no room for a row a channel.
const char* const kLetters[kChannels] = {"X", "Y", "Z", "P", "Y", "R"};

} // namespace

bool TCurvesPanel::LegendInRows() const {
    return Layout.PlotHeight() >= 3 * RowHeight();
}

int TCurvesPanel::RowHeight() const {
    return fontMetrics().height() + 2;
}

void TCurvesPanel::PlaceToggles() {
    // A row a channel where the plot is tall enough; else one row of three letters at its top.
    const bool rows = LegendInRows();
    const int h = std::max(10, std::min(RowHeight(), int(Layout.PlotHeight())));
    for (int c = 0; c < kChannels; ++c) {
        // A plot that is not on show takes its toggles with it.
        toggles_[c]->setVisible(Layout.PlotShown(TCurveLayout::PlotOf(c)));
        const int top = int(Layout.PlotTop(TCurveLayout::PlotOf(c)));
        if (rows)
            toggles_[c]->setGeometry(kToggleLeft, top + (c % 3) * h, kToggleWidth, h);
        else
            toggles_[c]->setGeometry(kToggleLeft + (c % 3) * kToggleWidth / 3, top,
                                     kToggleWidth / 3, h);
    }
    // The plot's switch under its channels, left of the frame ruler, while one plot shows.
    plotToggle_->setVisible(Layout.Plots == 1);
    plotToggle_->setGeometry(kToggleLeft, int(Layout.Height - Layout.Bottom), kToggleWidth,
                             int(Layout.Bottom));
    UpdateLegend(); // the captions follow the layout
}

void TCurvesPanel::UpdateLegend() {
    // Each channel's value where the playhead is, beside its name (in the tooltip when only the
    // letter has room).
    const int node = Node();
    const int at = doc_.Frame();
    const bool rows = LegendInRows();
    std::optional<TKEYPose> pose; // a caption that does not change is not drawn again
    if (node >= 0) pose = doc_.KeyFile->EvaluateNode(node, at);
    for (int c = 0; c < kChannels; ++c) {
        QString value;
        if (pose)
            value = QString::number(ShownValue(c, Channel(*pose, c)), 'f', 2) +
                    (IsAngle(c) ? "\u00b0" : "");
        toggles_[c]->setText(
            rows ? (value.isEmpty() ? QString(kCaptions[c]) : QString(kCaptions[c]) + " " + value)
                 : QString(kLetters[c]));
        toggles_[c]->setToolTip(
            QString("Show %1").arg(kCaptions[c]) +
            (value.isEmpty() ? QString() : QString(" (%1 at frame %2)").arg(value).arg(at)));
    }
}

// ---------------------------------------------------------------------------------------------
// Painting

void TCurvesPanel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), palette().base());
    const int node = Node();
    if (node != fittedNode_) Refit(); // another node: its own values in view, same frames
    Sample();
    const TPanelColours colours = PanelColours(palette());
    for (int plot = 0; plot < 2; ++plot)
        if (Layout.PlotShown(plot)) PaintPlot(p, plot);
    PaintMarkers(p);
    if (node >= 0) {
        // Which keys' rates miss the next key, worked out once for both plots.
        const TKEYEntries& entries = doc_.KeyFile->Nodes[node].Entries;
        stale_.assign(size_t(entries.Count()), 0);
        const double left = Layout.Frames.Left - 6, right = width() + 6;
        for (int i = 0; i < entries.Count(); ++i) {
            const double x = Layout.Frames.X(entries[i].Frame);
            if (x >= left && x <= right) stale_[size_t(i)] = RateState(*doc_.KeyFile, node, i);
        }
        // Each plot's curves and keys stay inside it, however far a value is dragged or zoomed.
        for (int plot = 0; plot < 2; ++plot) {
            if (!Layout.PlotShown(plot)) continue;
            p.save();
            p.setClipRect(QRectF(Layout.Frames.Left, Layout.PlotTop(plot),
                                 width() - Layout.Frames.Left, Layout.PlotHeight()));
            PaintCurves(p, plot);
            PaintKeys(p, plot);
            p.restore();
        }
    }
    if (doc_.KeyFile) {
        const double x = std::round(Layout.Frames.X(doc_.Frame())) + 0.5;
        if (x >= Layout.Frames.Left) {
            p.setPen(QPen(colours.Playhead, 1));
            p.drawLine(QPointF(x, 0), QPointF(x, height()));
        }
    }
    const int frames = doc_.KeyFile ? doc_.KeyFile->Frames : 0;
    PaintFrameRuler(p, palette(), Layout.Frames, height() - Layout.Bottom, Layout.Bottom, width(),
                    frames, true);
    p.setPen(palette().windowText().color());
    const QString name = node >= 0 && doc_.Model && doc_.SelectedNode() < doc_.Model->HNodes.Count()
                             ? ToQ(doc_.Model->HNodes[doc_.SelectedNode()].Name).toLower()
                             : QString("No node");
    p.drawText(QRectF(4, 0, Layout.Frames.Left - 6, Layout.Top), Qt::AlignVCenter,
               p.fontMetrics().elidedText(name, Qt::ElideRight, int(Layout.Frames.Left) - 6));
    UpdateLegend();
}

void TCurvesPanel::PaintPlot(QPainter& p, int plot) {
    const double top = Layout.PlotTop(plot), h = Layout.PlotHeight();
    const QRectF area(Layout.Frames.Left, top, width() - Layout.Frames.Left, h);
    // Frames outside the animation are shaded.
    const int frames = doc_.KeyFile ? doc_.KeyFile->Frames : 0;
    p.fillRect(area, palette().alternateBase());
    const double x0 = std::max(area.left(), Layout.Frames.X(-0.5));
    const double x1 = std::min(area.right(), Layout.Frames.X(frames - 0.5));
    if (x1 > x0) p.fillRect(QRectF(x0, top, x1 - x0, h), palette().base());
    // The value grid, labelled inside the plot's left edge.
    const double span = Layout.High[plot] - Layout.Low[plot];
    const double step = GridStep(span, h, 24);
    if (!(step > 0) || !std::isfinite(step) || span / step > 100) return;
    p.setFont(font());
    const QColor grid = PanelColours(palette()).Grid;
    // Counted, not summed: far from 0 a small step would not move a sum on.
    const double first = std::ceil(Layout.Low[plot] / step) * step;
    for (int i = 0; i <= 100; ++i) {
        const double v = first + i * step;
        if (v > Layout.High[plot]) break;
        const double y = std::round(Layout.Y(plot, v)) + 0.5;
        p.setPen(QPen(grid, 1, std::abs(v) < step / 2 ? Qt::SolidLine : Qt::DotLine));
        p.drawLine(QPointF(area.left(), y), QPointF(area.right(), y));
        // Its number right of the toggles, level with the line.
        if (y >= top + 5 && y <= top + h - 4) {
            p.setPen(palette().placeholderText().color());
            const QRectF label(kToggleLeft + kToggleWidth + 2, y - 8,
                               area.left() - kToggleWidth - kToggleLeft - 5, 16);
            p.drawText(label, Qt::AlignRight | Qt::AlignVCenter,
                       p.fontMetrics().elidedText(ValueText(v) + (plot ? "\u00b0" : ""),
                                                  Qt::ElideRight, int(label.width())));
        }
    }
    p.setPen(grid);
    p.setBrush(Qt::NoBrush);
    p.drawRect(area.adjusted(0, 0, -1, -1));
}

void TCurvesPanel::PaintCurves(QPainter& p, int plot) {
    const int n = samples_.Count();
    if (n == 0) return;
    const TPanelColours colours = PanelColours(palette());
    // Several frames to a pixel column are drawn as the column's lowest and highest points, in
    // the order they come: the same picture, a bounded number of points.
    const bool dense = Layout.Frames.PixelsPerFrame < 1;
    for (int c = plot * 3; c < plot * 3 + 3; ++c) {
        if (!(Layout.Visible & (1u << c))) continue;
        const std::vector<double>& v = samples_.Values[size_t(c)];
        line_.clear();
        auto flush = [&] {
            if (line_.size() > 1) p.drawPolyline(line_.data(), int(line_.size()));
            line_.clear();
        };
        // The current pixel column: its x, and the first, lowest, highest and last y in it.
        double column = NAN, first = 0, low = 0, high = 0, last = 0;
        auto close = [&] {
            if (std::isnan(column)) return;
            line_.emplace_back(column, first);
            if (low != first && low != last) line_.emplace_back(column, low);
            if (high != first && high != last) line_.emplace_back(column, high);
            if (last != first) line_.emplace_back(column, last);
            column = NAN;
        };
        p.setPen(QPen(colours.Channel[c], dense ? 1.0 : 1.5));
        p.setRenderHint(QPainter::Antialiasing, !dense);
        for (int i = 0; i < n; ++i) {
            // An angle that turns past -180 or 180 wraps round: the line breaks there.
            const double shown = ShownValue(c, v[size_t(i)]);
            if (i > 0 && IsAngle(c) && std::abs(shown - ShownValue(c, v[size_t(i) - 1])) > 180) {
                close();
                flush();
            }
            const double x = Layout.Frames.X(samples_.From + i), y = Layout.Y(plot, shown);
            if (!dense) {
                line_.emplace_back(x, y);
                continue;
            }
            const double col = std::floor(x) + 0.5;
            if (col != column) {
                close();
                column = col;
                first = low = high = last = y;
            } else {
                low = std::min(low, y);
                high = std::max(high, y);
                last = y;
            }
        }
        close();
        flush();
    }
    p.setRenderHint(QPainter::Antialiasing, false);
}

void TCurvesPanel::PaintKeys(QPainter& p, int plot) {
    const TKEYFile& doc = *doc_.KeyFile;
    const int node = Node();
    const TKEYEntries& entries = doc.Nodes[node].Entries;
    const std::vector<TCurveKey> picked = Picked();
    const TPanelColours colours = PanelColours(palette());
    const double left = Layout.Frames.Left - 6, right = width() + 6;
    auto point = [&](int i, int c, bool isPicked) {
        const double x = Layout.Frames.X(entries[i].Frame);
        const bool selected = i == doc_.SelectedEntry();
        // Rates that miss the next key: the curve jumps there, and the key says so.
        const unsigned state = stale_[size_t(i)];
        const bool stale = state & kStaleRates;
        const double y = Layout.Y(TCurveLayout::PlotOf(c), ShownValue(entries[i], c));
        const double r = selected || isPicked ? kKeyPointHalf : kKeyPointHalf - 1;
        p.setPen(QPen(stale ? colours.Stale : palette().text().color(), stale ? 2 : 1));
        // A key whose flags keep the game from applying this channel's rates is hollow: the
        // game holds the value to the next key.
        if (state & (1u << c))
            p.setBrush(palette().base());
        else
            p.setBrush(isPicked ? palette().highlight().color() : colours.Channel[c]);
        if (stale) {
            const QPointF diamond[4] = {
                {x, y - r - 1}, {x + r + 1, y}, {x, y + r + 1}, {x - r - 1, y}};
            p.drawPolygon(diamond, 4);
        } else {
            p.drawRect(QRectF(x - r, y - r, 2 * r, 2 * r));
        }
        if (selected && !isPicked) { // the selected entry's points are ringed
            p.setBrush(Qt::NoBrush);
            p.drawRect(QRectF(x - r - 2, y - r - 2, 2 * r + 4, 2 * r + 4));
        }
    };
    double drawn = -INFINITY; // where the last plain key was drawn
    std::vector<char> hasPick(size_t(entries.Count()), 0);
    for (const TCurveKey& k : picked)
        if (k.entry < entries.Count()) hasPick[size_t(k.entry)] = 1;
    for (int i = 0; i < entries.Count(); ++i) {
        const double x = Layout.Frames.X(entries[i].Frame);
        if (x < left || x > right) continue;
        // Keys closer than a pixel cover each other: one of them stands for the rest.
        if (i != doc_.SelectedEntry() && !(stale_[size_t(i)] & kStaleRates) &&
            !hasPick[size_t(i)]) {
            if (x - drawn < 1) continue;
            drawn = x;
        }
        for (int c = plot * 3; c < plot * 3 + 3; ++c)
            if ((Layout.Visible & (1u << c)) &&
                std::find(picked.begin(), picked.end(), TCurveKey{i, c}) == picked.end())
                point(i, c, false);
    }
    // The picked points over the others, the last picked on top: what a click there takes.
    for (const TCurveKey& k : picked) {
        if (k.entry >= entries.Count() || TCurveLayout::PlotOf(k.channel) != plot ||
            !(Layout.Visible & (1u << k.channel)))
            continue;
        const double x = Layout.Frames.X(entries[k.entry].Frame);
        if (x >= left && x <= right) point(k.entry, k.channel, true);
    }
    if (press_ == Press::Band) {
        p.setPen(QPen(palette().highlight().color(), 1, Qt::DashLine));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(pressAt_, bandTo_).normalized());
    }
}

void TCurvesPanel::PaintMarkers(QPainter& p) {
    p.fillRect(QRectF(0, 0, width(), Layout.Top), palette().window());
    if (doc_.KeyFile)
        vorlin::PaintMarkers(p, doc_.KeyFile->Markers, Layout.Frames, 0, Layout.Top, width(),
                             PanelColours(palette()).Marker);
}

// ---------------------------------------------------------------------------------------------
// Mouse and keys

void TCurvesPanel::mousePressEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton || !doc_.KeyFile) return;
    const QPointF at = e->position();
    pressAt_ = bandTo_ = at;
    drag_.reset();
    if (at.x() < Layout.Frames.Left) return;
    // The ruler under the plots sets the frame, as the timeline's does.
    if (at.y() >= height() - Layout.Bottom) {
        press_ = Press::Scrub;
        scrub_.To(doc_, ClampedFrame(at.x()));
        return;
    }
    if (Layout.PlotAt(at.y()) < 0) return;
    const int node = Node();
    const std::optional<TCurveKey> key =
        node >= 0 ? CurveKeyAt(*doc_.KeyFile, node, Layout, at.x(), at.y(), 6, Picked())
                  : std::nullopt;
    if (!key) {
        // An empty place: a band of points, or (released where it was pressed) the frame.
        press_ = Press::Band;
        return;
    }
    press_ = Press::Key;
    key_ = *key;
    shiftPress_ = e->modifiers() & Qt::ShiftModifier;
    pressValue_ = Layout.ValueAt(TCurveLayout::PlotOf(key->channel), at.y());
    PressKey(*key, e->modifiers() & Qt::ShiftModifier);
}

void TCurvesPanel::mouseMoveEvent(QMouseEvent* e) {
    const QPointF at = e->position();
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
    case Press::Key: {
        const QPointF by = at - pressAt_;
        if (!drag_) {
            if (std::abs(by.x()) < kClickDistance && std::abs(by.y()) < kClickDistance) return;
            // The first movement picks the way; Shift: along the frames only.
            drag_ =
                DragDirection(by.x(), by.y(), shiftPress_ || (e->modifiers() & Qt::ShiftModifier));
        }
        const bool snap = e->modifiers() & Qt::ControlModifier;
        if (*drag_ == TPointDrag::Time)
            DragTime(startFrame_ + Layout.Frames.FrameAt(at.x()) -
                         Layout.Frames.FrameAt(pressAt_.x()),
                     snap);
        else
            DragValue(Layout.ValueAt(TCurveLayout::PlotOf(key_.channel), at.y()) - pressValue_,
                      snap);
        return;
    }
    case Press::None:
        return;
    }
}

void TCurvesPanel::mouseReleaseEvent(QMouseEvent* e) {
    const Press press = std::exchange(press_, Press::None);
    const QPointF at = e->position();
    switch (press) {
    case Press::Scrub:
        scrub_.End(doc_);
        break;
    case Press::Band:
        if (std::abs(at.x() - pressAt_.x()) < kClickDistance &&
            std::abs(at.y() - pressAt_.y()) < kClickDistance) {
            // A click off the keys: the frame there.
            scrub_.To(doc_, ClampedFrame(at.x()));
            scrub_.End(doc_);
        } else {
            PickBand(QRectF(pressAt_, at).normalized(), e->modifiers() & Qt::ShiftModifier);
        }
        update();
        break;
    case Press::Key:
        if (drag_)
            EndDrag();
        else
            ClickKey();
        break;
    case Press::None:
        break;
    }
    drag_.reset();
}

void TCurvesPanel::mouseDoubleClickEvent(QMouseEvent* e) {
    const int node = Node();
    if (e->button() != Qt::LeftButton || node < 0) return;
    if (auto key = CurveKeyAt(*doc_.KeyFile, node, Layout, e->position().x(), e->position().y(), 6,
                              Picked()))
        TypeValue(*key);
}

void TCurvesPanel::wheelEvent(QWheelEvent* e) {
    const QPoint d = e->angleDelta();
    const double notches = (d.y() != 0 ? d.y() : d.x()) / 120.0;
    const QPointF at = e->position();
    if (e->modifiers() & Qt::ControlModifier) {
        Layout.Frames.ZoomAround(at.x(), std::pow(1.25, notches));
        framesFitted_ = false;
    } else if (d.x() != 0 || (e->modifiers() & Qt::ShiftModifier)) {
        // Sideways: a tenth of the plot per notch.
        Layout.Frames.FirstFrame -=
            notches * (width() - Layout.Frames.Left) / 10 / Layout.Frames.PixelsPerFrame;
        framesFitted_ = false;
    } else if (const int plot = Layout.PlotAt(at.y()); plot >= 0) {
        Layout.ZoomValues(plot, at.y(), std::pow(1.25, notches));
    }
    e->accept();
    update();
}

void TCurvesPanel::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    Layout.Height = height();
    Layout.Plots = Layout.PlotsFor(height());
    if (framesFitted_) Layout.Frames.Fit(FramesToFit(doc_.KeyFile.get()), width());
    PlaceToggles();
}

bool TCurvesPanel::event(QEvent* e) {
    if (e->type() == QEvent::PaletteChange) ShowColours(); // a desktop theme changed
    if (e->type() != QEvent::ToolTip) return QWidget::event(e);
    auto* help = static_cast<QHelpEvent*>(e);
    QString tip;
    const int node = Node();
    if (doc_.KeyFile && help->pos().y() < Layout.Top)
        tip = MarkerTip(doc_.KeyFile->Markers, Layout.Frames, help->pos().x());
    else if (node >= 0)
        if (auto key = CurveKeyAt(*doc_.KeyFile, node, Layout, help->pos().x(), help->pos().y(), 6,
                                  Picked())) {
            const TKEYEntry& entry = doc_.KeyFile->Nodes[node].Entries[key->entry];
            tip = QString("Entry %1 (%2): %3 %4")
                      .arg(key->entry)
                      .arg(entry.Frame)
                      .arg(kCaptions[key->channel])
                      .arg(ValueText(ShownValue(entry, key->channel)));
            if (RatesStale(*doc_.KeyFile, node, key->entry))
                tip += "\nIts rates do not reach the next key: the pose jumps there "
                       "(recalculate the rates)";
            if (RatesHidden(*doc_.KeyFile, node, key->entry, key->channel))
                tip += QString("\nIts flags (0x%1) leave out the %2 rates: the game holds "
                               "%3 until the next key")
                           .arg(entry.Flags, 4, 16, QChar('0'))
                           .arg(IsAngle(key->channel) ? "rotation" : "position")
                           .arg(IsAngle(key->channel) ? "Pitch, Yaw and Roll" : "X, Y and Z");
        }
    ShowTip(help, tip, this);
    return true;
}

} // namespace vorlin
