// The curves of the selected node: its six channels over the frames, sampled by the pose
// evaluation the 3D view uses, with the keys as points that can be picked, dragged in value or
// in time, and typed in. Positions are on the upper plot, angles on the lower, a frame ruler
// under them; a panel too short for two plots shows one, switched by a toggle. The panel draws and
// runs the commands that act through it (curves_commands.cpp); the rules are in edit/curves.h.
#pragma once

#include <QWidget>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "edit/curves.h"
#include "panels/panel_common.h"

class QToolButton;

namespace vorlin {

class TActionTable;
class TKeyDocument;
class TKeyMove;
class TPanelHost;
class TValueField;
struct TDocumentChange;

class TCurvesPanel : public QWidget {
public:
    TCurvesPanel(TKeyDocument& doc, TPanelHost& host, TActionTable& actions, QWidget* parent);
    ~TCurvesPanel() override;

    TCurveLayout Layout;
    // The frames of the animation and the node's values in view.
    void Fit();
    // FRAMES changed: a plot that showed the whole animation shows the whole of it again.
    void FramesChanged();
    // The channels shown (bit c: channel c), as the toggles have them.
    unsigned Channels() const { return Layout.Visible; }
    void SetChannels(unsigned mask);
    std::function<void(unsigned mask)> onChannels;
    // The plot shown while the panel is too short for both (0 the positions, 1 the angles), as
    // the toggle beside the channels' has it.
    int Plot() const { return Layout.OnlyPlot; }
    void SetPlot(int plot);
    std::function<void(int plot)> onPlot;
    // The key points picked on the node shown, on the plots on show: each node keeps its own in
    // the document, so picks never pass to another node by their entry numbers.
    std::vector<TCurveKey> Picked() const;

    // ---- commands (curves_commands.cpp) ----
    // A key point's value typed in a small field (a double-click on it, or Enter with one
    // picked); Enter sets it, one step.
    void TypeValue(TCurveKey key);

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    bool event(QEvent* e) override;

private:
    enum class Press { None, Scrub, Key, Band };
    void Changed(const TDocumentChange& change);
    // A press or drag on a plot's empty place or the ruler: the frame shown, playback waiting
    // until the release.
    int Node() const;
    int ClampedFrame(double x) const;
    // The node's values fitted to the plots (the frames stay), without asking for a paint.
    void Refit();
    // Samples the frames on show into samples_.
    void Sample();
    void PlaceToggles();
    // The channels' toggles in their curves' colours.
    void ShowColours();
    // The toggles' captions: each channel's value at the playhead, when they have room.
    void UpdateLegend();
    bool LegendInRows() const;
    int RowHeight() const;
    void PaintPlot(class QPainter& p, int plot);
    void PaintCurves(class QPainter& p, int plot);
    void PaintKeys(class QPainter& p, int plot);
    void PaintMarkers(class QPainter& p);
    // ---- commands' parts (curves_commands.cpp) ----
    // The shown node's picks replaced.
    void SetPicked(const std::vector<TCurveKey>& points);
    // A press on a key point: picks it (and its entry) unless it is picked already. With Shift
    // it joins the picks; one picked already leaves them only when the press ends without a
    // drag (ClickKey), so a Shift-drag moves all of them.
    void PressKey(TCurveKey key, bool shift);
    void ClickKey();
    // The drag of the picked points: in value (each by the same amount on its plot's scale,
    // Ctrl snapping the pressed one) or in time (their entries by whole frames, Ctrl snapping
    // to markers); its end.
    void DragValue(double by, bool snap);
    void DragTime(double pointerFrame, bool snap);
    void EndDrag();
    // The points in a band picked (add: besides those picked).
    void PickBand(QRectF band, bool add);

    TKeyDocument& doc_;
    TPanelHost& host_;
    int observer_ = 0;
    TScrub scrub_;
    QToolButton* toggles_[kChannels];
    QToolButton* plotToggle_;
    TValueField* field_;
    TCurveSamples samples_;
    std::vector<QPointF> line_;   // kept between paints
    std::vector<unsigned> stale_; // per entry on show: its RateState
    Press press_ = Press::None;
    QPointF pressAt_, bandTo_;
    TCurveKey key_;                   // the point a press went down on
    bool unpick_ = false;             // a Shift-press on a picked point: a click unpicks it
    bool shiftPress_ = false;         // Shift was held at the press: the drag goes in time
    std::vector<double> startValues_; // the picked points' values when the press went down
    int32_t startFrame_ = 0;          // the pressed point's frame then
    double pressValue_ = 0;           // the value under the pointer then
    std::optional<TPointDrag> drag_;  // the drag has passed the click distance, this way
    std::unique_ptr<TKeyMove> move_;  // a drag in time
    bool framesFitted_ = true;
    int fittedNode_ = -2; // values are fitted again when another node is shown
};

} // namespace vorlin
