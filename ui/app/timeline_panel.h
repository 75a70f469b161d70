// The timeline under the 3D view: a ruler of frames with the current frame, the markers, and
// one row per model node with a mark at the frame of each of its entries. It draws what the
// session holds and hands the mouse and keys to the window; the rules are in edit/timeline.h.
#pragma once

#include <QWidget>
#include <functional>
#include <optional>
#include <vector>

#include "edit/key_session.h"
#include "edit/timeline.h"

namespace vorlin {

class TTimelinePanel : public QWidget {
public:
    TTimelinePanel(const TKeySession& session, QWidget* parent);

    // The rows' names, in the tree's order (set when a model is loaded).
    QStringList RowNames;
    // The frame on show.
    std::function<int()> frame;
    TTimelineLayout Layout;
    // Fits the whole animation into the strip (when a document is loaded).
    void Fit();
    // FRAMES changed: a strip that showed the whole animation shows the whole of it again.
    void FramesChanged();

    // A press or drag on the ruler, at a frame of the animation; its release.
    std::function<void(int frame)> onScrub;
    std::function<void()> onScrubEnd;
    // A click on a row's name or on an empty place of a row.
    std::function<void(int row)> onRow;
    // A press on a key (shift: added to or taken from the picked keys).
    std::function<void(TKeyRef key, bool shift)> onKey;
    // A rubber band's keys (shift: added to the picked keys).
    std::function<void(const std::vector<TKeyRef>& keys, bool shift)> onBand;
    // A drag of the picked keys: its start, each step (frames from the press), its end.
    std::function<void()> onMoveBegin;
    std::function<void(int delta)> onMove;
    std::function<void()> onMoveEnd;
    // Delete with the panel focused.
    std::function<void()> onDelete;

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
    enum class Press { None, Scrub, Key, Band, Row };
    int Rows() const;
    int ClampedFrame(double x) const;
    void PaintRuler(class QPainter& p, int frames);
    void PaintMarkers(class QPainter& p);
    void PaintRows(class QPainter& p, const std::vector<int>& rowNodes);

    const TKeySession& session_;
    Press press_ = Press::None;
    QPointF pressAt_, bandTo_;
    std::optional<TKeyRef> collapseTo_; // a press on one of several picked keys, until it moves
    bool moving_ = false;
    bool fitted_ = false; // the strip shows the whole animation, also when resized
};

} // namespace vorlin
