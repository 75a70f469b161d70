#include "edit/timeline.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace vorlin {

int TTimelineLayout::NearestFrame(double x) const {
    const double f = std::round(FrameAt(x));
    return int(std::clamp(f, -1e9, 1e9));
}

TTimelineArea TTimelineLayout::AreaAt(double y, int rows) const {
    if (y < RulerHeight) return TTimelineArea::Ruler;
    if (y < SummaryTop()) return TTimelineArea::Markers;
    if (y < RowsTop()) return TTimelineArea::Summary;
    return RowAt(y, rows) >= 0 ? TTimelineArea::Row : TTimelineArea::Below;
}

int TTimelineLayout::RowAt(double y, int rows) const {
    if (y < RowsTop()) return -1;
    const int row = FirstRow + int(std::floor((y - RowsTop()) / RowHeight));
    return row < rows ? row : -1;
}

void TTimelineLayout::Fit(int frames, double width) {
    const double room = std::max(1.0, width - Left);
    const int n = std::max(frames, 1);
    // A frame's width of margin while frames are at least kFitMargin wide, else kFitMargin.
    double ppf = room / (n + 1);
    if (ppf < kFitMargin && n > 1) ppf = (room - 2 * kFitMargin) / (n - 1);
    PixelsPerFrame = std::clamp(ppf, 1.0 / 64, 256.0);
    FirstFrame = -Margin() / PixelsPerFrame;
}

int FramesToFit(const TKEYFile* doc) {
    if (!doc) return 0;
    int64_t frames = doc->Frames;
    // Every entry: a damaged file's may be out of order.
    for (int n = 0; n < doc->Nodes.Count(); ++n)
        for (int i = 0; i < doc->Nodes[n].Entries.Count(); ++i)
            frames = std::max(frames, int64_t(doc->Nodes[n].Entries[i].Frame) + 1);
    return int(std::min<int64_t>(frames, std::numeric_limits<int32_t>::max()));
}

void TTimelineLayout::ZoomAround(double x, double factor) {
    const double frame = FrameAt(x);
    PixelsPerFrame = std::clamp(PixelsPerFrame * factor, 1.0 / 64, 256.0);
    FirstFrame = frame - (x - Left) / PixelsPerFrame;
}

void TTimelineLayout::ClampRows(int rows, double height) {
    const int shown = std::max(1, int((height - RowsTop()) / RowHeight));
    FirstRow = std::clamp(FirstRow, 0, std::max(0, rows - shown));
}

int RulerStep(double pixelsPerFrame, double room) {
    for (int step = 1;; step *= 10)
        for (int m : {1, 2, 5})
            if (step * m * pixelsPerFrame >= room || step * m >= 1000000000 / 5) return step * m;
}

std::vector<int> RowNodes(const TKEYFile& doc, int rows) {
    std::vector<int> nodes(size_t(std::max(rows, 0)), -1);
    for (int k = 0; k < doc.Nodes.Count(); ++k) {
        const int32_t j = doc.Joint(k);
        if (j >= 0 && j < rows) nodes[size_t(j)] = k; // a later node replaces an earlier
    }
    return nodes;
}

std::vector<TKeyRef> AllKeys(const TKEYFile& doc) {
    std::vector<TKeyRef> keys;
    for (int n = 0; n < doc.Nodes.Count(); ++n)
        for (int i = 0; i < doc.Nodes[n].Entries.Count(); ++i)
            keys.push_back({n, i});
    return keys;
}

std::vector<TKeyRef> KeysAtFrame(const TKEYFile& doc, int32_t frame) {
    std::vector<TKeyRef> keys;
    for (int n = 0; n < doc.Nodes.Count(); ++n)
        for (int i = 0; i < doc.Nodes[n].Entries.Count(); ++i)
            if (doc.Nodes[n].Entries[i].Frame == frame) keys.push_back({n, i});
    return keys;
}

std::optional<int32_t> SummaryFrameAt(const TKEYFile& doc, const TTimelineLayout& layout, double x,
                                      double radius) {
    std::optional<int32_t> best;
    double nearest = radius;
    for (const auto& node : doc.Nodes)
        for (const auto& e : node->Entries) {
            const double d = std::abs(layout.X(e->Frame) - x);
            if (d > nearest) continue;
            if (!best || d < nearest || e->Frame > *best) {
                nearest = d;
                best = e->Frame;
            }
        }
    return best;
}

std::optional<TKeyRef> KeyAt(const TKEYFile& doc, const std::vector<int>& rowNodes,
                             const TTimelineLayout& layout, double x, double y, double radius) {
    const int row = layout.RowAt(y, int(rowNodes.size()));
    if (row < 0 || rowNodes[size_t(row)] < 0) return std::nullopt;
    const int node = rowNodes[size_t(row)];
    const TKEYEntries& entries = doc.Nodes[node].Entries;
    std::optional<TKeyRef> best;
    double nearest = radius;
    // The later of two keys at one place wins: it is drawn on top.
    for (int i = 0; i < entries.Count(); ++i) {
        const double d = std::abs(layout.X(entries[i].Frame) - x);
        if (d <= nearest) {
            nearest = d;
            best = TKeyRef{node, i};
        }
    }
    return best;
}

std::vector<TKeyRef> KeysIn(const TKEYFile& doc, const std::vector<int>& rowNodes,
                            const TTimelineLayout& layout, double x0, double y0, double x1,
                            double y1) {
    if (x0 > x1) std::swap(x0, x1);
    if (y0 > y1) std::swap(y0, y1);
    std::vector<TKeyRef> keys;
    const int rows = int(rowNodes.size());
    for (int row = std::max(layout.FirstRow, 0); row < rows; ++row) {
        const double mid = layout.RowTop(row) + layout.RowHeight / 2;
        if (mid < y0) continue;
        if (mid > y1) break;
        const int node = rowNodes[size_t(row)];
        if (node < 0) continue;
        const TKEYEntries& entries = doc.Nodes[node].Entries;
        for (int i = 0; i < entries.Count(); ++i) {
            const double x = layout.X(entries[i].Frame);
            if (x >= x0 && x <= x1) keys.push_back({node, i});
        }
    }
    return keys;
}

int NeighbourKey(const TKEYNode& node, int frame, int dir) {
    int best = -1;
    for (int i = 0; i < node.Entries.Count(); ++i) {
        const int32_t f = node.Entries[i].Frame;
        if (dir > 0 ? f <= frame : f >= frame) continue;
        if (best < 0 || (dir > 0 ? f < node.Entries[best].Frame : f > node.Entries[best].Frame))
            best = i;
    }
    return best;
}

std::vector<TKeyRef> ValidKeys(const TKEYFile& doc, std::vector<TKeyRef> keys) {
    std::erase_if(keys, [&](const TKeyRef& k) {
        return k.node < 0 || k.node >= doc.Nodes.Count() || k.entry < 0 ||
               k.entry >= doc.Nodes[k.node].Entries.Count();
    });
    // Picked keys are mostly kept sorted already: sorting 50,000 again at every paint shows.
    if (std::adjacent_find(keys.begin(), keys.end(), [](const TKeyRef& a, const TKeyRef& b) {
            return !(a < b);
        }) != keys.end()) {
        std::sort(keys.begin(), keys.end());
        keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
    }
    return keys;
}

TKeyMove::TKeyMove(const TKEYFile& doc, std::vector<TKeyRef> keys) {
    keys_ = ValidKeys(doc, std::move(keys));
    std::erase_if(keys_, [](const TKeyRef& k) { return k.entry == 0; });
    int64_t lo = std::numeric_limits<int32_t>::min(), hi = std::numeric_limits<int32_t>::max();
    const int64_t last = int64_t(doc.Frames) - 1;
    from_.reserve(keys_.size());
    for (const TKeyRef& k : keys_)
        from_.push_back(doc.Nodes[k.node].Entries[k.entry].Frame);
    // The keys are sorted: each run of neighbouring entries of a node moves between the keys
    // that stay on either side of it (entry 0 never moves, so one is always before it).
    for (size_t a = 0; a < keys_.size();) {
        size_t b = a;
        while (b + 1 < keys_.size() && keys_[b + 1].node == keys_[a].node &&
               keys_[b + 1].entry == keys_[b].entry + 1)
            ++b;
        const TKEYEntries& entries = doc.Nodes[keys_[a].node].Entries;
        const int before = keys_[a].entry - 1, after = keys_[b].entry + 1;
        for (size_t k = a; k <= b; ++k) {
            const int64_t f = from_[k];
            lo = std::max(lo, int64_t(entries[before].Frame) + 1 - f);
            lo = std::max(lo, -f);
            hi = std::min(hi,
                          (after < entries.Count() ? int64_t(entries[after].Frame) - 1 : last) - f);
        }
        a = b + 1;
    }
    // Keys already out of order, or outside the animation, do not move at all.
    if (keys_.empty() || lo > 0 || hi < 0) {
        lo_ = hi_ = 0;
        return;
    }
    lo_ = int(lo);
    hi_ = int(hi);
}

int TKeyMove::Clamp(int delta) const {
    return std::clamp(delta, lo_, hi_);
}

int TKeyMove::Apply(TKEYFile& doc, int delta) const {
    delta = Clamp(delta);
    for (size_t k = 0; k < keys_.size(); ++k)
        doc.Nodes[keys_[k].node].Entries[keys_[k].entry].Frame = from_[k] + delta;
    // The rates of each moved entry and of the one before it, each entry once (neighbouring
    // keys share one: with every key picked that halves the work).
    TKeyRef done{-1, -1};
    for (const TKeyRef& k : keys_)
        for (const TKeyRef r : {TKeyRef{k.node, k.entry - 1}, k})
            if (done < r) {
                doc.ComputeRates(r.node, r.entry);
                done = r;
            }
    return delta;
}

std::vector<int> TKeyMove::Nodes() const {
    std::vector<int> nodes;
    for (const TKeyRef& k : keys_)
        if (nodes.empty() || nodes.back() != k.node) nodes.push_back(k.node);
    return nodes;
}

int DeleteKeys(TKEYFile& doc, std::vector<TKeyRef> keys) {
    keys = ValidKeys(doc, std::move(keys));
    int deleted = 0;
    // From the last, so the places of the keys still to go stay as they are.
    for (auto k = keys.rbegin(); k != keys.rend(); ++k) {
        TKEYEntries& entries = doc.Nodes[k->node].Entries;
        if (k->entry == 0) continue; // the entry that poses the node from its first frame
        entries.Delete(k->entry);
        doc.UpdateEntry(k->node, std::min(k->entry, entries.Count() - 1));
        ++deleted;
    }
    return deleted;
}

std::optional<TFrameRange> RangeBetween(int a, int b, int last) {
    if (a > b) std::swap(a, b);
    a = std::max(a, 0);
    b = std::min(b, last);
    if (a >= b) return std::nullopt;
    return TFrameRange{a, b};
}

int NextPlayFrame(int frame, const TFrameRange& range) {
    return frame < range.First || frame >= range.Last ? range.First : frame + 1;
}

} // namespace vorlin
