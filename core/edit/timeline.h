// The timeline's rules: where frames and rows are on the strip, which key is under a point
// or inside a rectangle, and how keys move and go. The panel only draws and forwards input.
//
// The strip has a ruler, a row of markers, a summary row (a mark at every frame where any node
// has a key), then one row per model node in the tree's order. A row shows the entries of the
// KEY node bound to that model node (as the game binds it).
#pragma once

#include <algorithm>
#include <compare>
#include <cstdint>
#include <optional>
#include <vector>

#include "key/u_key.h"

namespace vorlin {

// An entry of a KEY node (by the node's place in the document).
struct TKeyRef {
    int node = 0;
    int entry = 0;
    auto operator<=>(const TKeyRef&) const = default;
};

// Frames First to Last, both in.
struct TFrameRange {
    int First = 0;
    int Last = 0;
    bool operator==(const TFrameRange&) const = default;
    bool Contains(int frame) const { return frame >= First && frame <= Last; }
};
// The range between two frames in either order, kept within 0 .. last; none when it holds a
// single frame (a click, not a drag) or no frame of the animation.
std::optional<TFrameRange> RangeBetween(int a, int b, int last);
// The frame playback shows after frame: the next, and after the range's last its first again
// (also from outside the range).
int NextPlayFrame(int frame, const TFrameRange& range);

// What lies at a height of the strip.
enum class TTimelineArea { Ruler, Markers, Summary, Row, Below };

struct TTimelineLayout {
    double Left = 110;         // where frames start (the node names are to its left)
    double FirstFrame = 0;     // the frame at Left (scrolled)
    double PixelsPerFrame = 8; // zoom
    double RulerHeight = 18;
    double MarkerHeight = 14;
    double SummaryHeight = 16;
    double RowHeight = 16;
    int FirstRow = 0; // the model row at the top of the rows (scrolled)

    double X(double frame) const { return Left + (frame - FirstFrame) * PixelsPerFrame; }
    double FrameAt(double x) const { return FirstFrame + (x - Left) / PixelsPerFrame; }
    // The whole frame nearest to x.
    int NearestFrame(double x) const;
    double SummaryTop() const { return RulerHeight + MarkerHeight; }
    double RowsTop() const { return SummaryTop() + SummaryHeight; }
    double RowTop(int row) const { return RowsTop() + (row - FirstRow) * RowHeight; }
    TTimelineArea AreaAt(double y, int rows) const;
    // The model row at a height; -1 above the rows or below the last.
    int RowAt(double y, int rows) const;
    // Frames 0 .. frames-1 across the room right of Left, with a margin each side of a frame's
    // width or kFitMargin pixels, whichever is more: room for a key's glyph and a ruler number.
    void Fit(int frames, double width);
    static constexpr double kFitMargin = 12;
    double Margin() const { return std::max(PixelsPerFrame, kFitMargin); }
    // The width a fit of frames takes, and how far the view is scrolled from that fit.
    double FittedWidth(int frames) const {
        return (std::max(frames, 1) - 1) * PixelsPerFrame + 2 * Margin();
    }
    double ScrolledBy() const { return FirstFrame * PixelsPerFrame + Margin(); }
    // Zooms by factor keeping the frame under x where it is; 1/64 to 256 pixels a frame.
    void ZoomAround(double x, double factor);
    // Scrolls the rows so that at most `rows` rows exist and the last ones fill the room.
    void ClampRows(int rows, double height);
};

// Frames between numbered ticks on a ruler, so numbers are at least room pixels apart: 1, 2, 5,
// 10, 20, 50 ... frames.
int RulerStep(double pixelsPerFrame, double room);

// The frames a fit shows: the animation's, and as far as its last key (a KEY may key the frame
// after its last, as New KEY does).
int FramesToFit(const TKEYFile* doc);

// The KEY node each model row shows (-1: none drives it).
std::vector<int> RowNodes(const TKEYFile& doc, int rows);

// Every key of the document, and every key at one frame (a mark of the summary row).
std::vector<TKeyRef> AllKeys(const TKEYFile& doc);
std::vector<TKeyRef> KeysAtFrame(const TKEYFile& doc, int32_t frame);
// The frame of the summary row's mark nearest to x within radius pixels: a frame where some
// node has a key. None when there is none.
std::optional<int32_t> SummaryFrameAt(const TKEYFile& doc, const TTimelineLayout& layout, double x,
                                      double radius = 5);

// The key nearest to x in the row at y, within radius pixels; none when there is none.
std::optional<TKeyRef> KeyAt(const TKEYFile& doc, const std::vector<int>& rowNodes,
                             const TTimelineLayout& layout, double x, double y, double radius = 5);
// The keys whose marks lie in the rectangle (x0, y0)-(x1, y1), any corner order.
std::vector<TKeyRef> KeysIn(const TKEYFile& doc, const std::vector<int>& rowNodes,
                            const TTimelineLayout& layout, double x0, double y0, double x1,
                            double y1);
// The entry of a node at the nearest frame after (dir > 0) or before (dir < 0) frame; -1 when
// there is none.
int NeighbourKey(const TKEYNode& node, int frame, int dir);

// A move of keys by whole frames. A node's first entry never moves, no key passes another key of
// its node, and every key stays within 0 .. FRAMES-1. The keys move together: the move is cut
// to what all of them can do.
class TKeyMove {
public:
    // Keys that are not in the document and first entries are left out.
    TKeyMove(const TKEYFile& doc, std::vector<TKeyRef> keys);
    // The move closest to delta that keeps the rules (0 when none does).
    int Clamp(int delta) const;
    // Puts every key delta frames (cut by Clamp) from where it was when the move began; the
    // rates of each moved entry and of the entry before it are derived again. Returns the
    // frames moved.
    int Apply(TKEYFile& doc, int delta) const;
    // The KEY nodes the move changes.
    std::vector<int> Nodes() const;
    bool Empty() const { return keys_.empty(); }
    // The keys that move (first entries left out), sorted.
    const std::vector<TKeyRef>& Keys() const { return keys_; }

private:
    std::vector<TKeyRef> keys_;
    std::vector<int32_t> from_; // each key's frame when the move began
    int lo_ = 0, hi_ = 0;       // the moves every key can make
};

// Deletes keys, one node's at a time from its last; a node's first entry stays (it poses the
// node up to its next key). The rates of the entries around each gap are derived again.
// Returns how many went.
int DeleteKeys(TKEYFile& doc, std::vector<TKeyRef> keys);

// The keys that exist in the document, sorted, each once.
std::vector<TKeyRef> ValidKeys(const TKEYFile& doc, std::vector<TKeyRef> keys);

} // namespace vorlin
