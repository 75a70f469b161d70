// The timeline's rules without a widget: the strip's geometry, hitting keys, and moving and
// deleting keys.
#include <gtest/gtest.h>

#include "edit/key_change.h"
#include "edit/timeline.h"

using namespace vorlin;

namespace {

// Node k has entries at the given frames; values change from entry to entry, rates derived.
std::unique_ptr<TKEYFile> Doc(const std::vector<std::pair<int, std::vector<int>>>& nodes,
                              int frames = 40) {
    auto doc = std::make_unique<TKEYFile>();
    doc->Frames = frames;
    doc->Flags = 0;
    for (const auto& [number, keys] : nodes) {
        TKEYNode& node = doc->Nodes.Add();
        node.NodeNumber = number;
        for (int f : keys) {
            TKEYEntry& e = node.Entries.Add();
            e.Flags = 3;
            e.Frame = f;
            e.X = f * 0.5;
            e.Yaw = f * 3;
        }
    }
    doc->RecalcAll();
    return doc;
}

std::vector<int> Frames(const TKEYFile& doc, int node) {
    std::vector<int> frames;
    for (int i = 0; i < doc.Nodes[node].Entries.Count(); ++i)
        frames.push_back(doc.Nodes[node].Entries[i].Frame);
    return frames;
}

// Every entry's rates lead to its successor, as a full recalculation leaves them.
void ExpectRatesDerived(const TKEYFile& doc) {
    auto again = doc.Clone();
    again->RecalcAll();
    for (int n = 0; n < doc.Nodes.Count(); ++n)
        for (int i = 0; i < doc.Nodes[n].Entries.Count(); ++i)
            EXPECT_TRUE(SameEntry(doc.Nodes[n].Entries[i], again->Nodes[n].Entries[i]))
                << "node " << n << " entry " << i;
}

} // namespace

TEST(Timeline, GeometryFitsZoomsAroundThePointerAndFindsRows) {
    TTimelineLayout l;
    l.Fit(11, 110 + 1200); // frames wider than the least margin: a frame's margin each side
    EXPECT_DOUBLE_EQ(l.PixelsPerFrame, 100.0);
    EXPECT_DOUBLE_EQ(l.X(-1), l.Left);
    EXPECT_DOUBLE_EQ(l.X(11), 1310);
    l.Fit(101, 110 + 510); // narrow frames: room for a glyph and a ruler number each side
    EXPECT_DOUBLE_EQ(l.X(0), l.Left + TTimelineLayout::kFitMargin);
    EXPECT_DOUBLE_EQ(l.X(100), 620 - TTimelineLayout::kFitMargin);
    EXPECT_DOUBLE_EQ(l.FittedWidth(101), 510);
    EXPECT_NEAR(l.ScrolledBy(), 0, 1e-9);
    // A fit reaches the last key, wherever it lies (New KEY keys the frame after the last; a
    // damaged file's entries may be out of order).
    EXPECT_EQ(FramesToFit(nullptr), 0);
    EXPECT_EQ(FramesToFit(Doc({{0, {0, 10}}}).get()), 40);
    EXPECT_EQ(FramesToFit(Doc({{0, {0, 10}}, {1, {0, 40}}}).get()), 41);
    auto unsorted = Doc({{0, {0, 10}}});
    unsorted->Nodes[0].Entries[0].Frame = 55;
    EXPECT_EQ(FramesToFit(unsorted.get()), 56);
    EXPECT_EQ(l.NearestFrame(l.X(37) + 2), 37);

    const double x = 300, before = l.FrameAt(x);
    l.ZoomAround(x, 4);
    EXPECT_DOUBLE_EQ(l.PixelsPerFrame, 4 * 4.86);
    EXPECT_NEAR(l.FrameAt(x), before, 1e-9);
    l.ZoomAround(x, 1e9); // a limit, not an overflow
    EXPECT_DOUBLE_EQ(l.PixelsPerFrame, 256);

    // Ruler 18, markers 14, the summary 16, rows 16 high; the rows scrolled by 2.
    l.FirstRow = 2;
    const struct {
        double y;
        TTimelineArea area;
        int row;
    } heights[] = {{0, TTimelineArea::Ruler, -1},          {17.9, TTimelineArea::Ruler, -1},
                   {18, TTimelineArea::Markers, -1},       {32, TTimelineArea::Summary, -1},
                   {47.9, TTimelineArea::Summary, -1},     {48, TTimelineArea::Row, 2},
                   {63.9, TTimelineArea::Row, 2},          {64, TTimelineArea::Row, 3},
                   {48 + 16 * 3, TTimelineArea::Below, -1}};
    for (const auto& h : heights) {
        EXPECT_EQ(l.AreaAt(h.y, 5), h.area) << h.y;
        EXPECT_EQ(l.RowAt(h.y, 5), h.row) << h.y;
    }
    l.FirstRow = 9;
    l.ClampRows(5, 48 + 16 * 2); // two rows of room: five rows scroll to 3 at most
    EXPECT_EQ(l.FirstRow, 3);
    l.ClampRows(1, 500);
    EXPECT_EQ(l.FirstRow, 0);
}

TEST(Timeline, KeysAreFoundOnTheRowOfTheModelNodeTheirNumberBinds) {
    // Node 0 drives row 2; node 1 and then node 2 claim row 0, and the later one wins.
    auto doc = Doc({{2, {0, 10, 20}}, {0, {0, 5}}, {0, {0, 30}}});
    const std::vector<int> rows = RowNodes(*doc, 4);
    EXPECT_EQ(rows, (std::vector<int>{2, -1, 0, -1}));

    TTimelineLayout l; // 8 pixels a frame from x = 110; rows from y = 32
    auto at = [&](double frame, int row) {
        return KeyAt(*doc, rows, l, l.X(frame), l.RowTop(row) + 8);
    };
    EXPECT_EQ(at(10.5, 2), (TKeyRef{0, 1}));
    EXPECT_EQ(at(30, 0), (TKeyRef{2, 1}));
    EXPECT_FALSE(at(5, 0));  // node 1's key is not on show: node 2 drives the row
    EXPECT_FALSE(at(11, 2)); // 8 pixels away
    EXPECT_FALSE(at(10, 1)); // a row no node drives
    EXPECT_FALSE(KeyAt(*doc, rows, l, l.X(10), 20)); // the ruler

    // A band over rows 0 to 2, frames 5 to 25, drawn from its bottom right corner.
    const auto band = KeysIn(*doc, rows, l, l.X(25), l.RowTop(2) + 10, l.X(5), l.RowTop(0) + 2);
    EXPECT_EQ(band, (std::vector<TKeyRef>{{0, 1}, {0, 2}}));

    const TKEYNode& node = doc->Nodes[0];
    EXPECT_EQ(NeighbourKey(node, 10, +1), 2);
    EXPECT_EQ(NeighbourKey(node, 9, +1), 1);
    EXPECT_EQ(NeighbourKey(node, 20, +1), -1);
    EXPECT_EQ(NeighbourKey(node, 10, -1), 0);
    EXPECT_EQ(NeighbourKey(node, 0, -1), -1);
}

TEST(Timeline, KeysMoveTogetherWithinTheirNeighboursAndTheAnimation) {
    const struct {
        const char* what;
        std::vector<TKeyRef> keys;
        int delta;
        int moved;
        std::vector<int> node0, node1;
    } cases[] = {
        {"one key later", {{0, 1}}, 3, 3, {0, 13, 20, 30}, {0, 15, 39}},
        {"stops before the next key", {{0, 1}}, 50, 9, {0, 19, 20, 30}, {0, 15, 39}},
        {"stops after the key before", {{0, 1}}, -50, -9, {0, 1, 20, 30}, {0, 15, 39}},
        {"the last key stops at the last frame", {{1, 2}}, 5, 0, {0, 10, 20, 30}, {0, 15, 39}},
        {"a first entry stays", {{0, 0}}, 4, 0, {0, 10, 20, 30}, {0, 15, 39}},
        {"a first entry picked with others stays; they move",
         {{0, 0}, {0, 1}},
         -4,
         -4,
         {0, 6, 20, 30},
         {0, 15, 39}},
        {"neighbours picked together move as one",
         {{0, 1}, {0, 2}},
         8,
         8,
         {0, 18, 28, 30},
         {0, 15, 39}},
        {"across nodes, cut to what every key can do",
         {{0, 3}, {1, 1}},
         30,
         9,
         {0, 10, 20, 39},
         {0, 24, 39}},
        {"keys that are not there are left out",
         {{0, 9}, {5, 1}, {1, 1}},
         -2,
         -2,
         {0, 10, 20, 30},
         {0, 13, 39}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto doc = Doc({{0, {0, 10, 20, 30}}, {1, {0, 15, 39}}});
        const TKeyMove move(*doc, c.keys);
        EXPECT_EQ(move.Apply(*doc, c.delta), c.moved);
        EXPECT_EQ(Frames(*doc, 0), c.node0);
        EXPECT_EQ(Frames(*doc, 1), c.node1);
        ExpectRatesDerived(*doc);
        // A drag counts from where the keys were: going back puts them back.
        move.Apply(*doc, 0);
        EXPECT_EQ(Frames(*doc, 0), (std::vector<int>{0, 10, 20, 30}));
    }

    // Keys already out of order stay where they are.
    auto unordered = Doc({{0, {0, 20, 10}}});
    EXPECT_EQ(TKeyMove(*unordered, {{0, 1}}).Apply(*unordered, 1), 0);
    EXPECT_EQ(TKeyMove(*unordered, {{0, 2}}).Clamp(-3), 0);
}

TEST(Timeline, DeletingKeysKeepsEachNodesFirstEntryAndDerivesRatesAround) {
    auto doc = Doc({{0, {0, 10, 20, 30}}, {1, {0, 15}}, {2, {5}}, {3, {0, 12}}});
    EXPECT_EQ(DeleteKeys(*doc, {{0, 2}, {0, 1}, {1, 0}, {1, 1}, {2, 0}, {3, 0}, {7, 0}}), 3);
    EXPECT_EQ(Frames(*doc, 0), (std::vector<int>{0, 30}));
    EXPECT_EQ(Frames(*doc, 1), (std::vector<int>{0}));
    EXPECT_EQ(Frames(*doc, 2), (std::vector<int>{5}));
    EXPECT_EQ(Frames(*doc, 3), (std::vector<int>{0, 12})); // a first entry alone stays too
    ExpectRatesDerived(*doc);
}
