// The curve view's rules: a node's six channels sampled at every frame by the same evaluation
// that poses the model, where frames and values lie on the two plots (positions above, angles
// below), which key point is under the pointer, and which entries' rates miss the next key.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "edit/timeline.h"
#include "key/u_key.h"

namespace vorlin {

// X Y Z (units), then Pitch Yaw Roll (degrees).
constexpr int kChannels = 6;
inline bool IsAngle(int channel) {
    return channel >= 3;
}
// "x", "y", "z", "pitch", "yaw", "roll".
const char* ChannelName(int channel);
double Channel(const TKEYPose& pose, int channel);
double Channel(const TKEYEntry& entry, int channel);
void SetChannel(TKEYEntry& entry, int channel, double value);
// Where a value of the pose shows on its plot: an angle (0 .. 360 as the game turns it) in
// -180 .. 180, so that a swing either side of 0 is one line.
inline double ShownValue(int channel, double value) {
    return IsAngle(channel) && value > 180 ? value - 360 : value;
}
// Where a key's value shows: as the pose at its frame has it, so that the point is on its curve.
double ShownValue(const TKEYEntry& entry, int channel);

// A node's channels at frames From .. From+Count()-1.
struct TCurveSamples {
    int32_t From = 0;
    std::array<std::vector<double>, kChannels> Values;
    int Count() const { return int(Values[0].size()); }
};
// Samples node at every frame from..to (none when to < from), reusing out's memory.
void SampleCurves(const TKEYFile& doc, int node, int32_t from, int32_t to, TCurveSamples& out);

// True when the entry's stored rates, on the channels its flags let the game apply, differ
// from the rates that carry it to the next key (as Check KEY reports stale rates).
bool RatesStale(const TKEYFile& doc, int node, int entry);

// What an entry's rates do to its curves, worked out at once: bit c when the game holds channel
// c (RatesHidden), and kStaleRates when its stored rates miss the next key (RatesStale).
constexpr unsigned kStaleRates = 1u << kChannels;
unsigned RateState(const TKEYFile& doc, int node, int entry);

// True when the game holds the channel from this entry to the next although the value changes
// there: the entry's flags leave out the rates of the channel's kind (bit 1 the position, bit 2
// the orientation). Typed values on an entry with flags 0 then do not interpolate.
bool RatesHidden(const TKEYFile& doc, int node, int entry, int channel);

// A value as Ctrl snaps it while it is dragged: a position to a whole unit, an angle to 5
// degrees.
double SnapValue(int channel, double value);

// A drag of a key point goes one way, decided by its first movement past the click distance:
// along the frames when it went more sideways than up or down (or when only time is asked for,
// as with Shift held), else in value.
enum class TPointDrag { Value, Time };
TPointDrag DragDirection(double dx, double dy, bool timeOnly);

// A key point: an entry's value on one channel.
struct TCurveKey {
    int entry = 0;
    int channel = 0;
    auto operator<=>(const TCurveKey&) const = default;
};

struct TCurveLayout {
    // Left of the plots: each plot's channels (their toggles and values) and its value grid's
    // numbers.
    TTimelineLayout Frames{.Left = 150};
    double Top = 14;                                // the marker strip is above
    double Bottom = 16;                             // the frame ruler is below
    double Height = 200;                            // the whole panel
    double Gap = 6;                                 // between the two plots
    double Low[2] = {-1, -180}, High[2] = {1, 180}; // value range of each plot
    unsigned Visible = 0x3F;                        // bit c: channel c is shown
    // Two plots, or one over the whole height (OnlyPlot: 0 the positions, 1 the angles).
    int Plots = 2;
    int OnlyPlot = 0;

    static int PlotOf(int channel) { return IsAngle(channel) ? 1 : 0; }
    bool PlotShown(int plot) const { return Plots == 2 || plot == OnlyPlot; }
    // Two plots when each would be at least kMinTwoPlotHeight tall in a panel of this height,
    // else one at a time: a plot of a few pixels shows nothing that can be read or aimed at.
    static constexpr double kMinTwoPlotHeight = 80;
    int PlotsFor(double height) const;
    // A shown plot's top and the height of each (of the one, with one).
    double PlotTop(int plot) const;
    double PlotHeight() const;
    double Y(int plot, double value) const;
    double ValueAt(int plot, double y) const;
    // The shown plot at a height (-1 on the marker strip and the frame ruler).
    int PlotAt(double y) const;
    // Each plot's range to hold its shown channels' samples and keys with a margin; a flat
    // range grows to a small span around its value.
    void FitValues(const TCurveSamples& samples, const TKEYNode* node);
    // Zooms a plot's values by factor keeping the value at y where it is.
    void ZoomValues(int plot, double y, double factor);
    // Moves a plot's values by dy pixels.
    void ScrollValues(int plot, double dy);
    // Widens a plot's range, as little as it takes, so that value shows with a margin (a point
    // dragged past the plot's edge stays in view).
    void KeepInView(int plot, double value);
};

// The shown key points inside the rectangle (x0, y0)-(x1, y1), any corner order.
std::vector<TCurveKey> CurveKeysIn(const TKEYFile& doc, int node, const TCurveLayout& layout,
                                   double x0, double y0, double x1, double y1);

// The half-width of a key point's square as the curves draw it (picked points and the selected
// entry's are drawn larger).
constexpr double kKeyPointHalf = 4.5;

// The shown key point under (x, y): of the points whose square holds it, the one drawn on top
// (the picked points are drawn over the others, the last picked topmost; else the later entry,
// then the later channel); when no square holds it, the nearest within radius pixels.
std::optional<TCurveKey> CurveKeyAt(const TKEYFile& doc, int node, const TCurveLayout& layout,
                                    double x, double y, double radius = 6,
                                    const std::vector<TCurveKey>& picked = {});

} // namespace vorlin
