// Markers, columns of keys and the preview range on the editing document, without a window:
// each marker change is one named step that undo takes back to the very text; a ninth marker is
// refused; moves keep markers on the animation's frames; the preview range is the editor's and
// never the file's.
#include <gtest/gtest.h>

#include <set>

#include "edit/marker_edit.h"
#include "fixtures/sample_document.h"

using namespace vorlin;

namespace {

const std::string kSample = VORLIN_SAMPLE_DIR; // walk.key: 32 frames, markers at 2 and 18

class MarkerEdit : public test::SampleDocument {
protected:
    std::vector<std::pair<double, int>> Markers() const {
        std::vector<std::pair<double, int>> out;
        for (const auto& m : doc.KeyFile->Markers)
            out.emplace_back(m->Frame, m->MarkerType);
        return out;
    }
};

using TMarkerList = std::vector<std::pair<double, int>>;

} // namespace

TEST_F(MarkerEdit, EachChangeIsOneNamedStepAndUndoGivesBackTheText) {
    struct Case {
        const char* step;
        std::function<void(TKeyDocument&)> setUp;
        std::function<TCommandResult(TKeyDocument&)> run;
        TMarkerList after;
        std::vector<int> pickedAfter;
    };
    const std::vector<Case> cases = {
        // In frame order: between the two there are.
        {"Add Marker",
         nullptr,
         [](TKeyDocument& d) { return AddMarkerCommand(d, 10, 9); },
         {{2, 1}, {10, 9}, {18, 2}},
         {1}},
        {"Add Marker",
         nullptr,
         [](TKeyDocument& d) { return AddMarkerCommand(d, 0, 4); },
         {{0, 4}, {2, 1}, {18, 2}},
         {0}},
        {"Delete Marker",
         [](TKeyDocument& d) { d.SetPickedMarkers({1}); },
         [](TKeyDocument& d) { return DeleteMarkersCommand(d); },
         {{2, 1}},
         {}},
        {"Delete Markers",
         [](TKeyDocument& d) {
             d.SetPickedMarkers({1, 0, 7});
         },
         [](TKeyDocument& d) { return DeleteMarkersCommand(d); },
         {},
         {}},
        {"Change Marker Type",
         nullptr,
         [](TKeyDocument& d) { return SetMarkerTypeCommand(d, 1, 8); },
         {{2, 1}, {18, 8}},
         {1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.step);
        SetUp();
        if (c.setUp) c.setUp(doc);
        const std::string before = doc.KeyFile->ToText();
        const TCommandResult r = c.run(doc);
        EXPECT_TRUE(r.Done);
        EXPECT_FALSE(r.Status.empty());
        EXPECT_EQ(Markers(), c.after);
        EXPECT_EQ(doc.PickedMarkers(), c.pickedAfter);
        ASSERT_EQ(doc.History().Count(), 1);
        EXPECT_EQ(doc.History().UndoName(), c.step);
        const std::string after = doc.KeyFile->ToText();
        ASSERT_TRUE(doc.Undo());
        EXPECT_EQ(doc.KeyFile->ToText(), before);
        ASSERT_TRUE(doc.Redo());
        EXPECT_EQ(doc.KeyFile->ToText(), after);
    }
}

TEST_F(MarkerEdit, NothingToDoIsNoStepAndANinthMarkerIsRefused) {
    EXPECT_FALSE(DeleteMarkersCommand(doc).Done);       // none picked
    EXPECT_FALSE(SetMarkerTypeCommand(doc, 0, 1).Done); // it has that type
    EXPECT_FALSE(SetMarkerTypeCommand(doc, 2, 1).Done); // no such marker
    EXPECT_EQ(doc.History().Count(), 0);

    for (int f = 3; f < 9; ++f)
        ASSERT_TRUE(AddMarkerCommand(doc, f, 1).Done);
    ASSERT_EQ(doc.KeyFile->Markers.Count(), 8);
    const std::string full = doc.KeyFile->ToText();
    const TCommandResult r = AddMarkerCommand(doc, 20, 1);
    EXPECT_FALSE(r.Done);
    EXPECT_EQ(r.Status, MarkerLimitText());
    EXPECT_NE(r.Status.find('8'), std::string::npos);
    EXPECT_EQ(doc.KeyFile->ToText(), full);
    EXPECT_EQ(doc.History().Count(), 6);
}

TEST_F(MarkerEdit, PicksFollowTheListAndGoWhenKeysArePicked) {
    doc.SetPickedMarkers({1, 1, 0});
    EXPECT_EQ(doc.PickedMarkers(), (std::vector<int>{0, 1}));
    doc.SetPickedKeys({}); // nothing picked: the markers stay
    EXPECT_EQ(doc.PickedMarkers(), (std::vector<int>{0, 1}));
    doc.SetPickedKeys({{0, 1}});
    EXPECT_TRUE(doc.PickedMarkers().empty());
    doc.SetPickedMarkers({1});
    doc.Select(0, 2);
    EXPECT_TRUE(doc.PickedMarkers().empty());
    // A pick whose marker an undo took away is no pick.
    ASSERT_TRUE(AddMarkerCommand(doc, 30, 1).Done);
    EXPECT_EQ(doc.PickedMarkers(), (std::vector<int>{2}));
    ASSERT_TRUE(doc.Undo());
    EXPECT_TRUE(doc.PickedMarkers().empty());
}

TEST(MarkerMove, StaysOnTheAnimationsFramesAndMovesTogether) {
    struct Case {
        std::vector<int> markers;
        int delta, moved;
        std::vector<double> frames;
    };
    const std::vector<Case> cases = {
        {{0}, 5, 5, {7, 10.5, 25}},
        {{0}, -9, -2, {0, 10.5, 25}},
        {{1}, 100, 8, {2, 18.5, 25}}, // its fraction kept, 18.5 within frame 19
        {{0, 1}, -4, -2, {0, 8.5, 25}},
        {{2}, -6, -6, {2, 10.5, 19}}, // back into the animation
        {{2}, 3, 0, {2, 10.5, 25}},   // never further out
        {{1, 2}, -3, -3, {2, 7.5, 22}},
        {{1, 9}, 1, 1, {2, 11.5, 25}}, // a marker not in the list is left out
    };
    for (const Case& c : cases) {
        TKEYFile d;
        d.Frames = 20;
        for (double f : {2.0, 10.5, 25.0}) // the last lies past the animation's end
            d.Markers.Add(std::make_shared<TKEYMarker>(TKEYMarker{f, 1}));
        const TMarkerMove move(d, c.markers);
        EXPECT_EQ(move.Apply(d, c.delta), c.moved) << c.delta;
        std::vector<double> frames;
        for (const auto& m : d.Markers)
            frames.push_back(m->Frame);
        EXPECT_EQ(frames, c.frames) << c.delta;
    }
}

TEST_F(MarkerEdit, ColumnsAndMarkersPickTheKeysOnTheirFrames) {
    const TKEYFile& d = *doc.KeyFile;
    auto framesOf = [&](const std::vector<TKeyRef>& keys) {
        std::set<int32_t> frames;
        for (const TKeyRef& k : keys)
            frames.insert(d.Nodes[k.node].Entries[k.entry].Frame);
        return frames;
    };
    // K: from one key at 8 and one at 16, every key at 8 and 16 on every node.
    const std::vector<TKeyRef> columns = KeysOnFramesOf(d, {{0, 1}, {0, 2}});
    EXPECT_EQ(framesOf(columns), (std::set<int32_t>{8, 16}));
    std::vector<TKeyRef> expected = KeysAtFrame(d, 8), at16 = KeysAtFrame(d, 16);
    expected.insert(expected.end(), at16.begin(), at16.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(columns, expected);
    // Ctrl+K between the markers at 2 and 18: the keys at 4 to 16 (those at 0 and 24 not).
    EXPECT_FALSE(PickBetweenMarkersCommand(doc).Status.empty()); // none picked: it says how
    doc.SetPickedMarkers({0, 1});
    const TCommandResult r = PickBetweenMarkersCommand(doc);
    EXPECT_FALSE(r.Done);
    EXPECT_EQ(framesOf(doc.PickedKeys()), (std::set<int32_t>{4, 8, 10, 16}));
    EXPECT_EQ(doc.History().Count(), 0);
}

TEST_F(MarkerEdit, ThePreviewRangeKeepsToTheFramesAndIsNeverTheFiles) {
    EXPECT_EQ(RangeBetween(12, 4, 31), (TFrameRange{4, 12}));
    EXPECT_EQ(RangeBetween(-5, 40, 31), (TFrameRange{0, 31}));
    EXPECT_EQ(RangeBetween(7, 7, 31), std::nullopt); // a click, not a drag
    EXPECT_EQ(RangeBetween(35, 40, 31), std::nullopt);
    const TFrameRange r{4, 12};
    EXPECT_EQ(NextPlayFrame(4, r), 5);
    EXPECT_EQ(NextPlayFrame(11, r), 12);
    EXPECT_EQ(NextPlayFrame(12, r), 4);
    EXPECT_EQ(NextPlayFrame(20, r), 4);
    EXPECT_EQ(NextPlayFrame(0, r), 4);

    const std::string text = doc.KeyFile->ToText();
    unsigned told = 0;
    doc.Observe([&](const TDocumentChange& c) { told |= c.What; });
    doc.SetPreviewRange(TFrameRange{40, 10});
    EXPECT_EQ(doc.PreviewRange(), (TFrameRange{10, 31}));
    EXPECT_TRUE(told & chRange);
    EXPECT_EQ(doc.PlayRange(), (TFrameRange{10, 31}));
    EXPECT_EQ(doc.KeyFile->ToText(), text);
    EXPECT_EQ(doc.History().Count(), 0);
    EXPECT_FALSE(doc.Modified());
    // FRAMES cut under it: playback keeps to what is left.
    doc.Run("Frames", {}, [&] { doc.KeyFile->Frames = 20; });
    EXPECT_EQ(doc.PlayRange(), (TFrameRange{10, 19}));
    doc.Run("Frames", {}, [&] { doc.KeyFile->Frames = 8; });
    EXPECT_EQ(doc.PlayRange(), (TFrameRange{0, 7}));
    doc.SetPreviewRange(std::nullopt);
    EXPECT_EQ(doc.PlayRange(), (TFrameRange{0, 7}));
    doc.SetPreviewRange(TFrameRange{2, 5});
    doc.LoadKey(kSample + "/3do/key/walk.key"); // another document: the whole of it
    EXPECT_EQ(doc.PreviewRange(), std::nullopt);
}

TEST(PreviewRangeStore, KeepsOnePerFileMostRecentFirstAndSkipsWhatIsNotARange) {
    std::vector<std::string> list = {"/k/b.key\t3\t9", "/k/a.key\t1\t5", "/k/c.key\tx\t9",
                                     "/k/d.key\t5\t5", "/k/e.key\t2\t7 "};
    EXPECT_EQ(StoredPreviewRange(list, "/k/a.key"), (TFrameRange{1, 5}));
    EXPECT_EQ(StoredPreviewRange(list, "/k/a.ke"), std::nullopt); // a path, not a prefix
    for (const char* bad : {"/k/c.key", "/k/d.key", "/k/e.key", "/k/none.key"})
        EXPECT_EQ(StoredPreviewRange(list, bad), std::nullopt) << bad;
    StorePreviewRange(list, "/k/a.key", TFrameRange{4, 8}, 3);
    EXPECT_EQ(list,
              (std::vector<std::string>{"/k/a.key\t4\t8", "/k/b.key\t3\t9", "/k/c.key\tx\t9"}));
    StorePreviewRange(list, "/k/b.key", std::nullopt, 3);
    EXPECT_EQ(list, (std::vector<std::string>{"/k/a.key\t4\t8", "/k/c.key\tx\t9"}));
    StorePreviewRange(list, "", TFrameRange{1, 2}, 3); // a document without a file keeps none
    EXPECT_EQ(list.size(), 2u);
}
