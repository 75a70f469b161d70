// The curve view's rules without a widget: sampling a node as it is posed, the stale-rate
// warning, the plots' geometry and hitting key points.
#include <gtest/gtest.h>

#include "edit/curves.h"

using namespace vorlin;

namespace {

// One node with keys at 0, 10 and 20: X 0, 5, 2 and Yaw 350, 10, 30 (through 0 the short
// way), rates derived.
std::unique_ptr<TKEYFile> Doc() {
    auto doc = std::make_unique<TKEYFile>();
    doc->Frames = 30;
    doc->Flags = 0;
    TKEYNode& node = doc->Nodes.Add();
    const double x[3] = {0, 5, 2}, yaw[3] = {350, 10, 30};
    for (int i = 0; i < 3; ++i) {
        TKEYEntry& e = node.Entries.Add();
        e.Frame = i * 10;
        e.X = x[i];
        e.Yaw = yaw[i];
    }
    doc->RecalcAll();
    return doc;
}

} // namespace

TEST(Curves, SamplesAreThePoseAndStaleRatesShowAsAJump) {
    auto doc = Doc();
    TCurveSamples s;
    SampleCurves(*doc, 0, -2, 25, s);
    ASSERT_EQ(s.Count(), 28);
    for (int i = 0; i < s.Count(); ++i) {
        const TKEYPose p = doc->EvaluateNode(0, s.From + i);
        for (int c = 0; c < kChannels; ++c)
            EXPECT_EQ(s.Values[c][i], Channel(p, c)) << i;
    }
    // Entries out of frame order are searched as the pose function searches them.
    auto unordered = doc->Clone();
    unordered->Nodes[0].Entries[2].Frame = 5;
    TCurveSamples u;
    SampleCurves(*unordered, 0, -2, 25, u);
    for (int i = 0; i < u.Count(); ++i)
        EXPECT_EQ(u.Values[0][i], unordered->EvaluateNode(0, u.From + i).X) << i;
    // Continuous into the key at 10: one rate step short of it at 9, turning through 0.
    EXPECT_DOUBLE_EQ(s.Values[0][2 + 9], 4.5);
    EXPECT_DOUBLE_EQ(s.Values[4][2 + 9], 8);
    EXPECT_DOUBLE_EQ(s.Values[4][2 + 5], 0);
    for (int i = 0; i < 3; ++i)
        EXPECT_FALSE(RatesStale(*doc, 0, i)) << i;

    // A changed value leaves the entry before it with rates that miss it: a jump at frame 10.
    doc->Nodes[0].Entries[1].X = 8;
    SampleCurves(*doc, 0, 0, 10, s);
    EXPECT_DOUBLE_EQ(s.Values[0][10] - s.Values[0][9], 8 - 4.5);
    EXPECT_TRUE(RatesStale(*doc, 0, 0));
    EXPECT_TRUE(RatesStale(*doc, 0, 1)); // its own rates lead from 5, not 8, to 2
    EXPECT_FALSE(RatesStale(*doc, 0, 2));
    doc->UpdateEntry(0, 1);
    EXPECT_FALSE(RatesStale(*doc, 0, 0));
    EXPECT_FALSE(RatesStale(*doc, 0, 1));
    // Rates the flags leave out are not applied, so they cannot be stale.
    doc->Nodes[0].Entries[2].DYaw = 4;
    EXPECT_FALSE(RatesStale(*doc, 0, 2));
    doc->Nodes[0].Entries[2].Flags = 2;
    EXPECT_TRUE(RatesStale(*doc, 0, 2));

    SampleCurves(*doc, 0, 5, 4, s);
    EXPECT_EQ(s.Count(), 0);
}

TEST(Curves, PlotsFitTheirShownChannelsAndZoomAroundThePointer) {
    auto doc = Doc();
    TCurveSamples s;
    SampleCurves(*doc, 0, 0, 29, s);
    TCurveLayout l;
    l.Height = 220;
    l.FitValues(s, &doc->Nodes[0]);
    // Positions: X's 0..5 with a margin; Y and Z at 0 lie inside.
    EXPECT_LT(l.Low[0], 0);
    EXPECT_GT(l.High[0], 5);
    EXPECT_LT(l.High[0], 5.5);
    // Angles: Yaw swings from 350 (shown as -10) through 0 to 30: one line, not two bands.
    EXPECT_LT(l.Low[1], -10);
    EXPECT_GT(l.Low[1], -15);
    EXPECT_GT(l.High[1], 30);
    EXPECT_LT(l.High[1], 35);
    // Without Yaw, only flat Pitch and Roll remain: a small span around 0.
    l.Visible = 0x3F & ~(1u << 4);
    l.FitValues(s, &doc->Nodes[0]);
    EXPECT_NEAR(l.High[1] - l.Low[1], 10 * 1.16, 1e-9);
    EXPECT_NEAR(l.High[1] + l.Low[1], 0, 1e-9);

    EXPECT_EQ(l.PlotAt(5), -1);
    EXPECT_EQ(l.PlotAt(l.PlotTop(0) + 1), 0);
    EXPECT_EQ(l.PlotAt(l.PlotTop(1) + 1), 1);
    for (int plot = 0; plot < 2; ++plot) {
        const double y = l.PlotTop(plot) + 30;
        EXPECT_NEAR(l.Y(plot, l.ValueAt(plot, y)), y, 1e-9);
        const double before = l.ValueAt(plot, y), span = l.High[plot] - l.Low[plot];
        l.ZoomValues(plot, y, 2);
        EXPECT_NEAR(l.ValueAt(plot, y), before, 1e-9);
        EXPECT_NEAR(l.High[plot] - l.Low[plot], span / 2, 1e-9);
        l.ScrollValues(plot, l.PlotHeight());
        EXPECT_NEAR(l.ValueAt(plot, y), before + span / 2, 1e-9);
    }
}

TEST(Curves, KeyPointsAreHitOnTheirShownChannelNearestFirst) {
    auto doc = Doc();
    doc->Nodes[0].Entries[2].Roll = 370; // shown where the pose turns it: 10
    TCurveSamples s;
    SampleCurves(*doc, 0, 0, 29, s);
    TCurveLayout l;
    l.Height = 220;
    l.Frames.Fit(30, 600);
    l.FitValues(s, &doc->Nodes[0]);
    auto at = [&](int entry, int c) {
        return std::pair{l.Frames.X(doc->Nodes[0].Entries[entry].Frame),
                         l.Y(TCurveLayout::PlotOf(c), ShownValue(doc->Nodes[0].Entries[entry], c))};
    };
    struct Case {
        int entry, channel;
        double dx, dy;
        unsigned visible;
        std::optional<TCurveKey> hit;
    };
    const std::vector<Case> cases = {
        {1, 0, 0, 0, 0x3F, TCurveKey{1, 0}}, {1, 0, 3, -2, 0x3F, TCurveKey{1, 0}},
        {1, 0, 8, 0, 0x3F, std::nullopt},    // beyond the radius
        {1, 0, 0, 0, 0x3E, std::nullopt},    // X hidden
        {1, 1, 0, 0, 0x3F, TCurveKey{1, 2}}, // Y and Z at one point: Z, drawn on top
        {1, 1, 0, 0, 0x3B, TCurveKey{1, 1}}, {2, 4, 0, 0, 0x3F, TCurveKey{2, 4}},
        {2, 5, 0, 0, 0x1F, std::nullopt}, // Roll hidden
        {2, 5, 0, 0, 0x2F, TCurveKey{2, 5}},
    };
    for (const Case& c : cases) {
        l.Visible = c.visible;
        auto [x, y] = at(c.entry, c.channel);
        auto hit = CurveKeyAt(*doc, 0, l, x + c.dx, y + c.dy);
        EXPECT_EQ(hit, c.hit) << c.entry << "/" << c.channel << " visible " << c.visible;
    }
    // Points drawn one over another: the topmost one, and a picked one is drawn over the rest
    // (the last picked on top).
    l.Visible = 0x3F;
    {
        auto [x, y] = at(1, 1); // Y and Z of entry 1 at one place, Z on top
        EXPECT_EQ(CurveKeyAt(*doc, 0, l, x + 2, y + 2), (TCurveKey{1, 2}));
        EXPECT_EQ(CurveKeyAt(*doc, 0, l, x + 2, y + 2, 6, {{1, 1}}), (TCurveKey{1, 1}));
        EXPECT_EQ(CurveKeyAt(*doc, 0, l, x, y, 6, {{1, 1}, {1, 2}}), (TCurveKey{1, 2}));
        EXPECT_EQ(CurveKeyAt(*doc, 0, l, x, y, 6, {{1, 2}, {1, 1}}), (TCurveKey{1, 1}));
        EXPECT_EQ(CurveKeyAt(*doc, 0, l, x, y, 6, {{2, 4}}), (TCurveKey{1, 2})); // not there
    }
    EXPECT_EQ(CurveKeyAt(*doc, 0, l, at(0, 0).first, 3), std::nullopt); // the marker strip
    EXPECT_EQ(CurveKeyAt(*doc, 1, l, 0, 100), std::nullopt);

    // Scrolled just past the plot's bottom, a key is not drawn there, and not picked there.
    l.Visible = 0x3F;
    auto [x, y] = at(1, 0);
    const double bottom = l.PlotTop(0) + l.PlotHeight();
    l.ScrollValues(0, bottom - y + 2); // the key 2 pixels below the plot
    EXPECT_EQ(CurveKeyAt(*doc, 0, l, x, bottom - 1), std::nullopt);
    l.ScrollValues(0, -4); // 2 pixels inside
    EXPECT_EQ(CurveKeyAt(*doc, 0, l, x, bottom - 1), (TCurveKey{1, 0}));
}

TEST(Curves, ShortPanelsShowOnePlotOverTheirHeightWhoseKeysAloneArePicked) {
    TCurveLayout l; // marker strip 14, ruler 16, gap 6: 36 pixels that are no plot
    const struct {
        double height;
        int plots;
    } heights[] = {{0, 1}, {85, 1}, {195, 1}, {196, 2}, {400, 2}};
    for (auto [height, plots] : heights)
        EXPECT_EQ(l.PlotsFor(height), plots) << height;

    auto doc = Doc();
    TCurveSamples s;
    SampleCurves(*doc, 0, 0, 29, s);
    l.Height = 120;
    l.Plots = 1;
    l.Frames.Fit(30, 600);
    l.FitValues(s, &doc->Nodes[0]);
    const TKEYEntry& key = doc->Nodes[0].Entries[1]; // X 5, Yaw 10
    const double x = l.Frames.X(key.Frame);
    for (int only = 0; only < 2; ++only) {
        l.OnlyPlot = only;
        // The one plot spans the panel between the marker strip and the ruler.
        EXPECT_EQ(l.PlotTop(only), 14);
        EXPECT_EQ(l.PlotHeight(), 120 - 14 - 16);
        EXPECT_EQ(l.PlotAt(15), only);
        EXPECT_EQ(l.PlotAt(120 - 17), only);
        EXPECT_EQ(l.PlotAt(120 - 15), -1);
        EXPECT_TRUE(l.PlotShown(only));
        EXPECT_FALSE(l.PlotShown(1 - only));
        // Only the shown plot's keys are there to hit or to take in a band.
        const int shown = only ? 4 : 0;
        EXPECT_EQ(CurveKeyAt(*doc, 0, l, x, l.Y(only, ShownValue(key, shown))),
                  (TCurveKey{1, shown}));
        for (const TCurveKey& k : CurveKeysIn(*doc, 0, l, 0, 0, 600, 120))
            EXPECT_EQ(TCurveLayout::PlotOf(k.channel), only) << k.entry << "/" << k.channel;
        EXPECT_FALSE(CurveKeysIn(*doc, 0, l, 0, 0, 600, 120).empty());
    }
    // Two plots again: each its own half, as before.
    l.Plots = 2;
    EXPECT_EQ(l.PlotHeight(), (120 - 14 - 16 - 6) / 2.0);
    EXPECT_EQ(l.PlotAt(l.PlotTop(1) + 1), 1);
}
