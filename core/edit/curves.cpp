#include "edit/curves.h"

#include <algorithm>
#include <cmath>

#include "support/misc_utils.h"

namespace vorlin {

const char* ChannelName(int channel) {
    static const char* const names[kChannels] = {"x", "y", "z", "pitch", "yaw", "roll"};
    return names[channel];
}

double Channel(const TKEYPose& p, int channel) {
    const double values[kChannels] = {p.X, p.Y, p.Z, p.Pitch, p.Yaw, p.Roll};
    return values[channel];
}

double Channel(const TKEYEntry& e, int channel) {
    const double values[kChannels] = {e.X, e.Y, e.Z, e.Pitch, e.Yaw, e.Roll};
    return values[channel];
}

void SetChannel(TKEYEntry& e, int channel, double value) {
    double* values[kChannels] = {&e.X, &e.Y, &e.Z, &e.Pitch, &e.Yaw, &e.Roll};
    *values[channel] = value;
}

double ShownValue(const TKEYEntry& e, int channel) {
    const double v = Channel(e, channel);
    return ShownValue(channel, IsAngle(channel) ? NormalizeAngle(v) : v);
}

void SampleCurves(const TKEYFile& doc, int node, int32_t from, int32_t to, TCurveSamples& out) {
    out.From = from;
    const int64_t count = to >= from ? int64_t(to) - from + 1 : 0;
    const bool none = count == 0 || doc.Nodes[node].Entries.Empty();
    for (auto& v : out.Values)
        v.resize(none ? 0 : size_t(count));
    if (none) return;
    // The pose function's own steps, its search walked on from frame to frame.
    const TKEYEntries& entries = doc.Nodes[node].Entries;
    int entry = 0;
    for (int64_t i = 0; i < count; ++i) {
        const int frame = int(from + i);
        entry = doc.EntryForFrame(node, frame, entry);
        const TKEYPose p = TKEYFile::PoseFromEntry(entries[entry], frame);
        for (int c = 0; c < kChannels; ++c)
            out.Values[size_t(c)][size_t(i)] = Channel(p, c);
    }
}

unsigned RateState(const TKEYFile& doc, int node, int entry) {
    const TKEYEntry& e = doc.Nodes[node].Entries[entry];
    const TKEYEntry fresh = doc.RecalculatedRates(node, entry);
    const double stored[kChannels] = {e.DX, e.DY, e.DZ, e.DPitch, e.DYaw, e.DRoll};
    const double wanted[kChannels] = {fresh.DX,     fresh.DY,   fresh.DZ,
                                      fresh.DPitch, fresh.DYaw, fresh.DRoll};
    unsigned state = 0;
    for (int c = 0; c < kChannels; ++c) {
        if (!(e.Flags & (IsAngle(c) ? 2 : 1))) {
            // Rates the game does not apply: the value holds, though it changes by the next key.
            if (std::abs(wanted[c]) > 1e-8) state |= 1u << c;
        } else if (std::abs(stored[c] - wanted[c]) > 1e-8) { // past the file's 8 decimals
            state |= kStaleRates;
        }
    }
    return state;
}

bool RatesStale(const TKEYFile& doc, int node, int entry) {
    return RateState(doc, node, entry) & kStaleRates;
}

bool RatesHidden(const TKEYFile& doc, int node, int entry, int channel) {
    return RateState(doc, node, entry) & (1u << channel);
}

double SnapValue(int channel, double value) {
    const double step = IsAngle(channel) ? 5.0 : 1.0;
    return std::round(value / step) * step;
}

TPointDrag DragDirection(double dx, double dy, bool timeOnly) {
    return timeOnly || std::abs(dx) > std::abs(dy) ? TPointDrag::Time : TPointDrag::Value;
}

// ---------------------------------------------------------------------------------------------
// Layout

int TCurveLayout::PlotsFor(double height) const {
    return (height - Top - Bottom - Gap) / 2 >= kMinTwoPlotHeight ? 2 : 1;
}

double TCurveLayout::PlotHeight() const {
    if (Plots != 2) return std::max(1.0, Height - Top - Bottom);
    return std::max(1.0, (Height - Top - Bottom - Gap) / 2);
}

double TCurveLayout::PlotTop(int plot) const {
    return Plots == 2 ? Top + plot * (PlotHeight() + Gap) : Top;
}

double TCurveLayout::Y(int plot, double value) const {
    const double span = High[plot] - Low[plot];
    return PlotTop(plot) + (High[plot] - value) / span * PlotHeight();
}

double TCurveLayout::ValueAt(int plot, double y) const {
    const double span = High[plot] - Low[plot];
    return High[plot] - (y - PlotTop(plot)) / PlotHeight() * span;
}

int TCurveLayout::PlotAt(double y) const {
    if (Plots != 2) return y >= Top && y < Top + PlotHeight() ? OnlyPlot : -1;
    if (y < Top || y >= PlotTop(1) + PlotHeight()) return -1;
    return y < PlotTop(1) - Gap / 2 ? 0 : 1;
}

void TCurveLayout::FitValues(const TCurveSamples& samples, const TKEYNode* node) {
    for (int plot = 0; plot < 2; ++plot) {
        double lo = INFINITY, hi = -INFINITY;
        for (int c = plot * 3; c < plot * 3 + 3; ++c) {
            if (!(Visible & (1u << c))) continue;
            for (double v : samples.Values[size_t(c)]) {
                lo = std::min(lo, ShownValue(c, v));
                hi = std::max(hi, ShownValue(c, v));
            }
            if (node)
                for (const auto& e : node->Entries) {
                    lo = std::min(lo, ShownValue(*e, c));
                    hi = std::max(hi, ShownValue(*e, c));
                }
        }
        if (!std::isfinite(lo) || !std::isfinite(hi)) {
            Low[plot] = plot ? -180 : -1;
            High[plot] = plot ? 180 : 1;
            continue;
        }
        // A flat channel still needs room to be seen and dragged.
        const double least = plot ? 10.0 : 0.1;
        if (hi - lo < least) {
            const double mid = (lo + hi) / 2;
            lo = mid - least / 2;
            hi = mid + least / 2;
        }
        const double margin = (hi - lo) * 0.08;
        Low[plot] = lo - margin;
        High[plot] = hi + margin;
    }
}

void TCurveLayout::ZoomValues(int plot, double y, double factor) {
    const double at = ValueAt(plot, y);
    double span = (High[plot] - Low[plot]) / factor;
    span = std::clamp(span, 1e-6, 1e9);
    const double part = (y - PlotTop(plot)) / PlotHeight(); // of the span above y
    High[plot] = at + part * span;
    Low[plot] = High[plot] - span;
}

void TCurveLayout::ScrollValues(int plot, double dy) {
    const double by = dy / PlotHeight() * (High[plot] - Low[plot]);
    High[plot] += by;
    Low[plot] += by;
}

void TCurveLayout::KeepInView(int plot, double value) {
    const double margin = (High[plot] - Low[plot]) * 0.05;
    if (value > High[plot] - margin) High[plot] = value + margin;
    if (value < Low[plot] + margin) Low[plot] = value - margin;
}

namespace {

// Where a shown key point is, or false when it is hidden (its channel or its plot) or outside
// its plot (not drawn).
bool PointAt(const TCurveLayout& layout, const TKEYEntry& e, int channel, double& x, double& y) {
    const int plot = TCurveLayout::PlotOf(channel);
    if (!(layout.Visible & (1u << channel)) || !layout.PlotShown(plot)) return false;
    x = layout.Frames.X(e.Frame);
    y = layout.Y(plot, ShownValue(e, channel));
    return y >= layout.PlotTop(plot) && y <= layout.PlotTop(plot) + layout.PlotHeight();
}

} // namespace

std::vector<TCurveKey> CurveKeysIn(const TKEYFile& doc, int node, const TCurveLayout& layout,
                                   double x0, double y0, double x1, double y1) {
    if (x0 > x1) std::swap(x0, x1);
    if (y0 > y1) std::swap(y0, y1);
    std::vector<TCurveKey> keys;
    if (node < 0 || node >= doc.Nodes.Count()) return keys;
    const TKEYEntries& entries = doc.Nodes[node].Entries;
    for (int i = 0; i < entries.Count(); ++i)
        for (int c = 0; c < kChannels; ++c) {
            double x, y;
            if (PointAt(layout, entries[i], c, x, y) && x >= x0 && x <= x1 && y >= y0 && y <= y1)
                keys.push_back({i, c});
        }
    return keys;
}

std::optional<TCurveKey> CurveKeyAt(const TKEYFile& doc, int node, const TCurveLayout& layout,
                                    double x, double y, double radius,
                                    const std::vector<TCurveKey>& picked) {
    if (node < 0 || node >= doc.Nodes.Count()) return std::nullopt;
    const int plot = layout.PlotAt(y);
    if (plot < 0) return std::nullopt;
    // Its place in the order of drawing: the picked points after all others, in picking order.
    auto rank = [&](const TCurveKey& k) -> int64_t {
        const auto at = std::find(picked.begin(), picked.end(), k);
        if (at != picked.end()) return (int64_t(1) << 40) + (at - picked.begin());
        return int64_t(k.entry) * kChannels + k.channel;
    };
    std::optional<TCurveKey> best, top;
    double bestDistance = radius * radius;
    int64_t topRank = -1;
    const TKEYEntries& entries = doc.Nodes[node].Entries;
    const double reach = std::max(radius, kKeyPointHalf);
    for (int i = 0; i < entries.Count(); ++i) {
        if (std::abs(layout.Frames.X(entries[i].Frame) - x) > reach) continue;
        for (int c = plot * 3; c < plot * 3 + 3; ++c) {
            double kx, ky;
            // A key outside its plot is not drawn, so it is not there to pick.
            if (!PointAt(layout, entries[i], c, kx, ky)) continue;
            const TCurveKey key{i, c};
            if (std::abs(kx - x) <= kKeyPointHalf && std::abs(ky - y) <= kKeyPointHalf &&
                rank(key) > topRank) {
                topRank = rank(key);
                top = key;
            }
            const double d = (kx - x) * (kx - x) + (ky - y) * (ky - y);
            if (d <= bestDistance) { // the later key wins a tie, as it is drawn on top
                bestDistance = d;
                best = key;
            }
        }
    }
    return top ? top : best;
}

} // namespace vorlin
