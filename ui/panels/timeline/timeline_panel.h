// The timeline under the 3D view: a ruler of frames with the current frame, the markers, a
// summary row of every frame holding a key, and one row per model node with a mark at the
// frame of each of its entries. The panel draws what the document holds, brings itself up to
// date when the document changes, and registers the commands that act through it
// (timeline_commands.cpp): picking keys, moving, scaling, copying, pasting, inserting and
// deleting them, each one step to undo. The rules are in edit/timeline.h, edit/key_edit.h and
// edit/key_commands.h.
#pragma once

#include <QWidget>
#include <memory>
#include <optional>
#include <vector>

#include "edit/key_edit.h"
#include "edit/marker_edit.h"
#include "edit/timeline.h"
#include "panels/panel_common.h"

class QScrollBar;

namespace vorlin {

class TActionTable;
class TKeyDocument;
class TPanelHost;
class TValueField;
struct TDocumentChange;

class TTimelinePanel : public QWidget {
public:
    TTimelinePanel(TKeyDocument& doc, TPanelHost& host, TActionTable& actions, QWidget* parent);
    ~TTimelinePanel() override;

    TTimelineLayout Layout;
    // Fits the whole animation into the strip (Home, and when a document is loaded).
    void Fit();
    // FRAMES changed: a strip that showed the whole animation shows the whole of it again.
    void FramesChanged();
    // The summary row was picked last: Insert Key then keys every node.
    bool SummaryActive() const { return summary_; }

    // ---- commands (timeline_commands.cpp) ----
    // A key picked as a click in the entry list picks an entry, or with add put into (or taken
    // out of) the picked keys.
    void PickKey(TKeyRef key, bool add);
    // Keys picked at once (a band, a column, all): with add, besides those picked already.
    void PickKeys(std::vector<TKeyRef> keys, bool add);
    // Every key at a frame (a click on the ruler with Alt, a mark of the summary row).
    void PickColumn(int32_t frame, bool add);
    void SelectAll();
    void SelectNone();
    // The picked keys deleted, one step; a node keeps its first entry, and the status bar says
    // so when that left one out.
    void DeleteKeys();
    // Edit > Insert Key (I): a key at the playhead on the selected node and the nodes of the
    // picked keys, or on every node while the summary row is picked, one step.
    void InsertKey();
    // Ctrl+Right / Ctrl+Left: the selected node's next or previous key.
    void StepKey(int dir);
    // Alt+Right / Alt+Left: the picked keys a frame later or earlier, one step each.
    void NudgeKeys(int dir);
    void CopyKeys();
    // The copied keys at the playhead, one step.
    void PasteKeys();
    // Shift+D: copies of the picked keys that follow the pointer until a click puts them.
    void DuplicateKeys();
    // S: the picked keys scaled about the playhead by a factor typed in a small field or set by
    // moving the pointer; Enter or a click applies it, Escape cancels.
    void ScaleKeys();
    // G: the picked keys follow the pointer by whole frames until a click puts them; a number
    // typed meanwhile is the offset (Enter puts them), Escape or a right click gives it up.
    void GrabKeys();
    // K: every key on the frames of the picked keys. Ctrl+K: every key between the two picked
    // markers.
    void PickColumns();
    void PickBetweenMarkers();
    // B: the next drag on the strip picks the keys in its box, whatever it starts on.
    void BoxPick();
    // M: a marker at the playhead, of the type chosen last. Delete removes the picked markers.
    void AddMarker();
    void DeleteMarkers();
    // The game's marker types, to add one at a frame or to give a marker another type.
    void MarkerMenu(QPoint global, std::optional<int> marker, double frame);
    // P: the next drag on the strip sets the preview range; Alt+P clears it.
    void SetRange();
    void ClearRange();

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    bool event(QEvent* e) override;

private:
    void BuildActions(TActionTable& actions);
    void Changed(const TDocumentChange& change);
    // The rows' names: the model's nodes in the tree's order, lower case.
    QString RowName(int row) const;
    // A press or drag on the ruler: the frame shown, playback waiting until the release.
    enum class Press { None, Scrub, Key, Band, Row, Marker, Range };
    // A transform that follows the pointer after a key, until a click or Enter puts it.
    enum class Modal { None, Scale, Duplicate, Grab };
    // What the next drag does after B or P, whatever it starts on.
    enum class Arm { None, Box, Range };
    int Rows() const;
    // The room for frames and rows, the scroll bars left out.
    double ContentWidth() const;
    double ContentHeight() const;
    int ClampedFrame(double x) const;
    void SyncScrollBars();
    void PaintRuler(class QPainter& p, int frames);
    void PaintMarkers(class QPainter& p);
    void PaintSummary(class QPainter& p);
    void PaintRows(class QPainter& p, const std::vector<int>& rowNodes);
    void PaintReadout(class QPainter& p);
    // Frames outside the preview range (or the one being dragged) shaded.
    void PaintRange(class QPainter& p);
    // ---- the markers' row and the preview range (timeline_markers.cpp) ----
    void PressMarkers(QMouseEvent* e);
    // A right click on the markers row: the types' menu.
    void MarkersMenuAt(QMouseEvent* e);
    void MarkerStep(double pointerFrame, bool snap);
    void EndMarkerMove();
    void RangeStep(double x);
    void EndRange();
    void Disarm();
    // ---- commands' parts (timeline_commands.cpp) ----
    // A drag of the picked keys: its start, each step (the frame the pressed key is dragged
    // to; with snap, the marker nearest it), its end.
    void BeginMove();
    void MoveStep(double pointerFrame, bool snap);
    void EndMove();
    void ModalMove(QPointF at);
    void ConfirmModal();
    void CancelModal();
    void ApplyScale(double factor);
    void ApplyDuplicate(int delta);
    void ApplyGrab(int delta);
    // Whether a transform may begin; during playback the status bar says how to stop it.
    bool MayTransform();
    // The readout beside the pointer and in the status bar ("frame 14 (+4)"), or there a
    // longer word.
    void SetReadout(const QString& text, QPointF at, const QString& status = {});
    void KeysPicked();

    TKeyDocument& doc_;
    TPanelHost& host_;
    int observer_ = 0;
    TScrub scrub_;
    QScrollBar* hbar_;
    QScrollBar* vbar_;
    TValueField* field_;
    Press press_ = Press::None;
    QPointF pressAt_, bandTo_;
    std::optional<TKeyRef> collapseTo_;     // a press on one of several picked keys, until it moves
    std::optional<int32_t> collapseColumn_; // likewise, a press on a mark of the summary row
    bool moving_ = false;
    bool fitted_ = false;  // the strip shows the whole animation, also when resized
    bool summary_ = false; // the summary row was picked last
    bool syncing_ = false; // the scroll bars are being set from the layout
    // A drag of keys: the keys, the pressed key's frame when it began.
    std::unique_ptr<TKeyMove> move_;
    int32_t moveFrom_ = 0;
    // A transform following the pointer: where it began, and what it works from.
    Modal modal_ = Modal::None;
    QPointF modalAt_;
    std::unique_ptr<TKeyScale> scale_;
    TKeyClipboard duplicate_;
    std::unique_ptr<TNodesSnapshot> duplicateBase_;
    std::vector<TKeyRef> duplicatePicked_; // the keys picked before the copies
    int32_t duplicateFirst_ = 0;
    int duplicateDelta_ = 0;
    bool grabTyped_ = false; // an offset was typed: the pointer no longer sets it
    int grabFrame_ = 0;      // the frame on show when the grab began
    // A drag of markers: what moves, the pressed marker and its frame when it began.
    Arm arm_ = Arm::None;
    std::unique_ptr<TMarkerMove> markerMove_;
    std::optional<int> pressedMarker_;
    double markerFrom_ = 0;
    // A preview range being dragged: its frames so far.
    std::optional<TFrameRange> rangeDrag_;
    int rangeFrom_ = 0;
    QString readout_;
    QPointF readoutAt_;
    // The summary row's pixel columns that hold a key: worked out again when keys changed, the
    // strip was zoomed, scrolled or resized, or the document (or its number of keys) is another.
    struct SummaryColumns {
        const TKEYFile* doc;
        size_t keys;
        double firstFrame, pixelsPerFrame, left;
        int width;
        std::vector<char> columns;
    };
    std::optional<SummaryColumns> summaryColumns_;
    // While keys are dragged: the columns of the keys that stay, worked out once, to which each
    // paint adds those of the keys that move.
    std::optional<SummaryColumns> summaryStaying_;
    std::vector<char> movingColumns_;
    const std::vector<char>& SummaryColumnsOf(const TKEYFile& doc, int width);
};

} // namespace vorlin
