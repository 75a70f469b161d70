// The curves of the selected node: its six channels over the frames, sampled by the pose
// evaluation the 3D view uses, with the keys as points that can be picked and dragged up and
// down. Positions are on the upper plot, angles on the lower. The rules are in edit/curves.h.
#pragma once

#include <QWidget>
#include <functional>
#include <optional>

#include "edit/curves.h"
#include "edit/key_session.h"

class QToolButton;

namespace vorlin {

class TCurvesPanel : public QWidget {
public:
    TCurvesPanel(const TKeySession& session, QWidget* parent);

    // The frame on show, and the node's name.
    std::function<int()> frame;
    std::function<QString()> nodeName;
    TCurveLayout Layout;
    // The frames of the animation and the node's values in view.
    void Fit();
    // FRAMES changed: a strip that showed the whole animation shows the whole of it again.
    void FramesChanged();
    // The channels shown (bit c: channel c), as the toggles have them.
    unsigned Channels() const { return Layout.Visible; }
    void SetChannels(unsigned mask);
    std::function<void(unsigned mask)> onChannels;

    // A press on the curves away from a key, or its drag: the frame under the pointer.
    std::function<void(int frame)> onScrub;
    std::function<void()> onScrubEnd;
    // A press on a key point: its entry is picked.
    std::function<void(int entry)> onKey;
    // A vertical drag of a key point: its start, each new value, its end.
    std::function<void(TCurveKey key)> onEditBegin;
    std::function<void(TCurveKey key, double value)> onEdit;
    std::function<void()> onEditEnd;

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    bool event(QEvent* e) override;

private:
    enum class Press { None, Scrub, Key };
    int Node() const;
    int ClampedFrame(double x) const;
    // The node's values fitted to the plots (the frames stay), without asking for a paint.
    void Refit();
    // Samples the frames on show into samples_.
    void Sample();
    void PlaceToggles();
    // The toggles' captions: each channel's value at the playhead, when they have room.
    void UpdateLegend();
    bool LegendInRows() const;
    int RowHeight() const;
    void PaintPlot(class QPainter& p, int plot);
    void PaintCurves(class QPainter& p, int plot);
    void PaintKeys(class QPainter& p, int plot);
    void PaintMarkers(class QPainter& p);

    const TKeySession& session_;
    QToolButton* toggles_[kChannels];
    TCurveSamples samples_;
    std::vector<QPointF> line_; // kept between paints
    std::vector<char> stale_;   // per entry: its rates miss the next key (entries on show)
    Press press_ = Press::None;
    QPointF pressAt_;
    TCurveKey key_;        // the key a press went down on
    double keyValue_ = 0;  // its stored value then
    bool editing_ = false; // the drag has passed the click distance
    bool framesFitted_ = true;
    int fittedNode_ = -2; // values are fitted again when another node is shown
};

} // namespace vorlin
