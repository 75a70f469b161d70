// Bulk re-timing as the KEY summary does it, and the file-open dialog's name mask and folder
// listing.
#include <gtest/gtest.h>

#include "edit/retime.h"
#include "settings/GlobalVars.h"
#include "support/Containers.h"
#include "support/FileOperations.h"
#include "fixtures/fixtures.h"

using namespace vorlin;

namespace {

// A document whose nodes have entries at the given frames.
std::unique_ptr<TKEYFile> Doc(const std::vector<std::vector<int>>& nodes, int frames = 101,
                              uint32_t flags = 0) {
    auto doc = std::make_unique<TKEYFile>();
    doc->Frames = frames;
    doc->Flags = flags;
    for (const auto& frameList : nodes) {
        TKEYNode& node = doc->Nodes.Add();
        node.MeshName = "N" + std::to_string(doc->Nodes.Count() - 1);
        for (int f : frameList)
            node.Entries.Add().Frame = f;
    }
    return doc;
}

class Retime : public testing::Test {
protected:
    void SetUp() override { AssignDefaults(); }
    void TearDown() override { AssignDefaults(); }
};

} // namespace

TEST_F(Retime, FrameCellChecksAreAllMadeInOrder) {
    using P = std::vector<std::string>;
    EXPECT_EQ(CheckFrameCell("0", std::nullopt).problems, P{});
    EXPECT_EQ(CheckFrameCell("", std::nullopt).problems, P{}); // an empty cell is 0
    EXPECT_EQ(CheckFrameCell("5", std::nullopt).problems, P{"First entry must be at frame zero."});
    EXPECT_EQ(CheckFrameCell("-5", std::nullopt).problems,
              (P{"Frame number cannot be less than zero.", "First entry must be at frame zero."}));
    EXPECT_EQ(CheckFrameCell("1.5", 0).value, 1); // what the check read before failing
    EXPECT_EQ(CheckFrameCell("1.5", 0).problems, P{"Frame is not a whole number."});
    EXPECT_EQ(CheckFrameCell("3", 3).problems, P{"Frame numbers must be increasing."});
    EXPECT_EQ(CheckFrameCell("12", 10).value, 12);
}

TEST_F(Retime, FieldChecks) {
    int32_t v;
    EXPECT_EQ(CheckLastFrame("x", v), "Last frame is not a whole number.");
    EXPECT_EQ(CheckLastFrame("-1", v), "Last frame cannot be less than zero.");
    EXPECT_EQ(CheckLastFrame("100", v), std::nullopt);
    EXPECT_EQ(v, 100);
    EXPECT_EQ(CheckFrameRate("15.5", v), "Frame rate is not a whole number.");
    EXPECT_EQ(CheckFrameRate("0", v), "Frame rate cannot be less than 1.");
    EXPECT_EQ(CheckGap("a", 101, v), "Entry gap is not a whole number.");
    EXPECT_EQ(CheckGap("0", 101, v), "Entry gap cannot be less than one frame.");
    EXPECT_EQ(CheckGap("102", 101, v), "Entry gap is more than total number of frames.");
    EXPECT_EQ(CheckGap("101", 101, v), std::nullopt);
    EXPECT_EQ(CheckShift("2.5", v), "Shift value is not a whole number of frames.");
    EXPECT_EQ(CheckShift("-7", v), std::nullopt);
    EXPECT_EQ(v, -7);
}

TEST_F(Retime, TargetCountAndPlayTime) {
    EXPECT_EQ(TargetCount(100, 10, 0), 11);
    EXPECT_EQ(TargetCount(95, 10, 0), 11); // run once: one more, on the last frame
    EXPECT_EQ(TargetCount(95, 10, 3), 10);
    EXPECT_EQ(TargetCount(0, 10, 0), 1);
    EXPECT_EQ(PlayTimeText(101, 15), "Time = 6.7333 sec");
    EXPECT_EQ(PlayTimeText(30, 15), "Time = 2 sec");
    EXPECT_EQ(PlayTimeText(30, 0), "Time = 0 sec");
}

TEST_F(Retime, GapsWithAndWithoutFitting) {
    // Gap 10 with Add/Remove Entries and last frame 100 on a node of 3 entries.
    auto doc = Doc({{0, 3, 20}});
    FitNode(*doc, 0, TargetCount(100, 10, doc->Flags));
    Respace(*doc, 0, 0, 10);
    doc->Nodes[0].Entries.Last().Frame = 100;
    EXPECT_EQ(test::EntryFrames(*doc, 0),
              (std::vector<int>{0, 10, 20, 30, 40, 50, 60, 70, 80, 90, 100}));
    // Re-spacing keeps the entries up to k and moves the rest.
    doc = Doc({{0, 3, 20, 21}});
    Respace(*doc, 0, 1, 5);
    EXPECT_EQ(test::EntryFrames(*doc, 0), (std::vector<int>{0, 3, 8, 13}));
    // Run once at last frame 95: 0, 10, ..., 90, 95; looping: 0, 10, ..., 80, 95.
    for (uint32_t flags : {0u, 3u}) {
        doc = Doc({{0, 50}}, 96, flags);
        FitNode(*doc, 0, TargetCount(95, 10, flags));
        Respace(*doc, 0, 0, 10);
        doc->Nodes[0].Entries.Last().Frame = 95;
        std::vector<int> want{0, 10, 20, 30, 40, 50, 60, 70, 80};
        if (flags == 0) want.push_back(90);
        want.push_back(95);
        EXPECT_EQ(test::EntryFrames(*doc, 0), want) << "flags " << flags;
    }
    // Fitting down deletes from the end, and never below one entry.
    doc = Doc({{0, 10, 20}});
    FitNode(*doc, 0, 0);
    EXPECT_EQ(test::EntryFrames(*doc, 0), (std::vector<int>{0}));
}

TEST_F(Retime, Shifts) {
    auto doc = Doc({{0, 3, 20}, {0, 10}});
    ShiftRow(*doc, 0, 1, -5);
    EXPECT_EQ(test::EntryFrames(*doc, 0), (std::vector<int>{0, 0, 15})); // clamped at 0
    EXPECT_EQ(CheckFrameCell("0", 0).problems,
              std::vector<std::string>{"Frame numbers must be increasing."}); // as OK then says
    doc = Doc({{0, 3, 20}, {0, 10}});
    for (int n = 0; n < 2; ++n)
        ShiftRow(*doc, n, 0, 10);
    EXPECT_EQ(test::EntryFrames(*doc, 0), (std::vector<int>{0, 13, 30})); // first entries stay at 0
    EXPECT_EQ(test::EntryFrames(*doc, 1), (std::vector<int>{0, 20}));
    ShiftRow(*doc, 1, 5, 10); // past the last entry: nothing
    ShiftRow(*doc, 1, 0, 0);  // no shift: nothing
    EXPECT_EQ(test::EntryFrames(*doc, 1), (std::vector<int>{0, 20}));
    doc = Doc({{0, INT32_MAX - 1}});
    ShiftRow(*doc, 0, 1, 10);
    EXPECT_EQ(test::EntryFrames(*doc, 0), (std::vector<int>{0, INT32_MAX}));
}

TEST_F(Retime, ApplyFrameAcrossNodes) {
    auto doc = Doc({{0, 10, 20}, {0, 12, 25}, {0, 7, 30}});
    ApplyFrameToEntry(*doc, 1, 15);
    for (int n = 0; n < 3; ++n)
        EXPECT_EQ(doc->Nodes[n].Entries[1].Frame, 15);
    // A node without that entry ends it; the nodes before it are changed.
    doc = Doc({{0, 10, 20}, {0}, {0, 7, 30}});
    try {
        ApplyFrameToEntry(*doc, 2, 40);
        FAIL();
    } catch (const ListError& e) {
        EXPECT_STREQ(e.what(), "KEY Entry Index is out of bounds: 2");
    }
    EXPECT_EQ(test::EntryFrames(*doc, 0), (std::vector<int>{0, 10, 40}));
    EXPECT_EQ(test::EntryFrames(*doc, 2), (std::vector<int>{0, 7, 30}));
}

TEST_F(Retime, EndingEntriesAndTheHighestFrame) {
    Settings.DEFAULT_FRAMEGAP = 10;
    auto doc = Doc({{0, 50}, {0, 100}, {0, 95}}, 101);
    AddEndingEntries(*doc);
    EXPECT_EQ(test::EntryFrames(*doc, 0), (std::vector<int>{0, 50, 100}));
    EXPECT_EQ(test::EntryFrames(*doc, 1), (std::vector<int>{0, 100}));
    EXPECT_EQ(test::EntryFrames(*doc, 2), (std::vector<int>{0, 95, 100}));
    EXPECT_EQ(doc->Frames, 106); // raised by the append; "Last" sets it again later
    doc->Frames = 101;
    DeleteEndingEntries(*doc);
    EXPECT_EQ(test::EntryFrames(*doc, 0), (std::vector<int>{0, 50}));
    EXPECT_EQ(test::EntryFrames(*doc, 2), (std::vector<int>{0, 95}));
    // Only entries exactly on the last frame go, one per node, and a node keeps one.
    doc = Doc({{0, 99}, {100}}, 101);
    DeleteEndingEntries(*doc);
    EXPECT_EQ(test::EntryFrames(*doc, 0), (std::vector<int>{0, 99}));
    EXPECT_EQ(test::EntryFrames(*doc, 1), (std::vector<int>{100}));
    EXPECT_EQ(HighestFrame(*doc), 100);
    EXPECT_EQ(HighestFrame(*Doc({{}, {}})), 0);
}

TEST_F(Retime, TakingTheRetimedCopyKeepsTheNodesOwnEntries) {
    auto doc = Doc({{0, 10, 20}, {0, 5}});
    const std::shared_ptr<TKEYEntry> copied = doc->Nodes[0].Entries.Items()[1];
    auto copy = doc->Clone();
    copy->Frames = 61;
    Respace(*copy, 0, 0, 30);
    FitNode(*copy, 1, 1);
    FitNode(*copy, 0, 3);
    AddEndingEntries(*copy);
    ASSERT_TRUE(TakeRetimed(*doc, *copy));
    // The remembered entry is still node 0's entry 1, now at its new frame.
    EXPECT_EQ(doc->Nodes[0].Entries.Items()[1], copied);
    EXPECT_EQ(copied->Frame, 30);
    std::vector<int> frames;
    for (const auto& n : doc->Nodes)
        for (const auto& e : n->Entries)
            frames.push_back(e->Frame);
    EXPECT_EQ(frames, (std::vector<int>{0, 30, 60, 0, 60}));
    // A copy with other nodes is refused and changes nothing.
    copy->Nodes[1].MeshName = "other";
    EXPECT_FALSE(TakeRetimed(*doc, *copy));
}

TEST(FileMask, FirstStarRule) {
    EXPECT_TRUE(MaskMatches("", "anything"));
    EXPECT_TRUE(MaskMatches("ky", "kyhit.key"));
    EXPECT_FALSE(MaskMatches("ky", "akyhit.key"));
    EXPECT_TRUE(MaskMatches("*.key", "walk.key"));
    EXPECT_TRUE(MaskMatches("*.key", "walk.keyframes.3do")); // contains .key
    EXPECT_FALSE(MaskMatches("*.key", "walk.3do"));
    EXPECT_TRUE(MaskMatches("k*.3do", "kyle.3do"));
    EXPECT_TRUE(MaskMatches("k*.3do", "k.3do"));
    EXPECT_FALSE(MaskMatches("*.*", "walk.key")); // the second star is a character
    EXPECT_TRUE(MaskMatches("*.*", "odd.*name"));
    EXPECT_FALSE(MaskMatches("w?lk", "walk"));
}

TEST(FileMask, ListingOfAContainerFolder) {
    test::TempDir dir;
    std::string gob = dir.write("r.gob", test::BuildGob({{"3do\\key\\Walk.KEY", "a"},
                                                         {"3do\\key\\run.key", "b"},
                                                         {"3do\\key\\note.txt", "c"},
                                                         {"3do\\key\\old\\x.key", "d"},
                                                         {"3do\\m.3do", "e"}}));
    TGOB2Directory c(gob);
    ASSERT_TRUE(c.ChDir("3do\\key"));
    auto texts = [](const std::vector<TListedName>& rows) {
        std::vector<std::string> out;
        for (const auto& r : rows)
            out.push_back(r.text);
        return out;
    };
    EXPECT_EQ(texts(MaskedListing(c, "")),
              (std::vector<std::string>{"[..]", "[old]", "Walk.KEY", "run.key", "note.txt"}));
    // The mask picks files; the way up and the folders stay.
    EXPECT_EQ(texts(MaskedListing(c, "*.KEY")),
              (std::vector<std::string>{"[..]", "[old]", "Walk.KEY", "run.key"}));
    EXPECT_EQ(texts(MaskedListing(c, "zzz")), (std::vector<std::string>{"[..]", "[old]"}));
    EXPECT_TRUE(MaskedListing(c, "").front().IsFolder());
    EXPECT_FALSE(MaskedListing(c, "").back().IsFolder());
    EXPECT_EQ(ParentFolder("3do\\key"), "3do");
    EXPECT_EQ(ParentFolder("3do"), "");
    ASSERT_TRUE(c.ChDir(""));
    EXPECT_EQ(texts(MaskedListing(c, "")), (std::vector<std::string>{"[3do]"}));
}
