// The commands over the editing document, without a window: each is one named step that undo
// takes back to the very document, selection and picks it started from and redo makes again;
// picks follow their entries; a change that follows the mouse is one step, or none when rolled
// back, and nothing else changes the document meanwhile; observers hear once per step.
#include <gtest/gtest.h>

#include <functional>

#include "edit/key_commands.h"
#include "fixtures/fixtures.h"
#include "fixtures/sample_document.h"
#include "support/FileOperations.h"

using namespace vorlin;

namespace {

const std::string kSample = VORLIN_SAMPLE_DIR;

using Commands = test::SampleDocument;

struct TState {
    std::string text;
    int node, entry;
    bool operator==(const TState&) const = default;
};

TState StateOf(const TKeyDocument& d) {
    return {d.KeyFile->ToText(), d.SelectedNode(), d.SelectedEntry()};
}

} // namespace

TEST_F(Commands, EachIsOneStepThatUndoAndRedoTakeBackAndMakeAgain) {
    const int thigh = Joint("l_thigh"), arm = Joint("l_upper_arm");
    struct Case {
        const char* step;
        std::function<void(TKeyDocument&)> setUp;
        std::function<TCommandResult(TKeyDocument&)> run;
        // The command selects before its step (a click in the list): undo returns to that.
        bool selectsFirst = false;
    };
    auto at = [&](int joint, int entry, int frame) {
        return [=](TKeyDocument& d) {
            d.Select(joint, entry);
            d.SetFrame(frame);
        };
    };
    const Case cases[] = {
        {"Insert Key", at(thigh, 0, 12),
         [](TKeyDocument& d) { return InsertKeyCommand(d, false); }},
        {"Insert Key", at(thigh, 0, 13), [](TKeyDocument& d) { return InsertKeyCommand(d, true); }},
        {"Scale Keys",
         [&](TKeyDocument& d) {
             at(thigh, 0, 0)(d);
             d.SetPickedKeys({{d.KeyNodeIndex(), 1}, {d.KeyNodeIndex(), 2}});
         },
         [](TKeyDocument& d) { return ScaleKeysCommand(d, 1.25); }},
        {"Paste Keys",
         [&](TKeyDocument& d) {
             at(arm, 0, 0)(d);
             d.SetPickedKeys({{d.KeyNodeIndex(), 1}, {d.KeyNodeIndex(), 2}});
             CopyKeysCommand(d);
             at(Joint("r_upper_arm"), 0, 4)(d);
         },
         [](TKeyDocument& d) { return PasteKeysCommand(d); }},
        {"Move Keys", at(thigh, 2, 16), [](TKeyDocument& d) { return NudgeKeysCommand(d, 1); }},
        {"Delete Keys", at(thigh, 2, 16), [](TKeyDocument& d) { return DeleteKeysCommand(d); }},
        {"Mirror Animation", at(thigh, 1, 8),
         [](TKeyDocument& d) {
             return MirrorCommand(d, FindMirrorPairs(JointNames(*d.KeyFile, d.Model.get())));
         }},
        {"Paste Mirrored",
         [&](TKeyDocument& d) {
             at(arm, 1, 8)(d);
             CopyEntryCommand(d);
             d.SetFrame(10);
         },
         [](TKeyDocument& d) { return PasteMirroredCommand(d); }},
        {"Tween", at(thigh, 1, 8), [](TKeyDocument& d) { return TweenCommand(d, 0.25); }},
        {"Match Loop",
         [&](TKeyDocument& d) {
             at(thigh, 3, 24)(d);
             d.KeyFile->Nodes[d.KeyNodeIndex()].Entries[3].Pitch += 9; // its end misses frame 0
         },
         [](TKeyDocument& d) { return MatchLoopCommand(d); }},
        {"Add Entry", at(thigh, 1, 8), [](TKeyDocument& d) { return AddEntryCommand(d); }},
        {"Insert Entry", at(thigh, 1, 8), [](TKeyDocument& d) { return InsertEntryCommand(d); }},
        {"Delete Entry", at(thigh, 2, 16), [](TKeyDocument& d) { return DeleteEntryCommand(d); }},
        {"Cut Entry", at(thigh, 2, 16), [](TKeyDocument& d) { return CutEntryCommand(d); }},
        {"Paste Entry",
         [&](TKeyDocument& d) {
             at(thigh, 1, 8)(d);
             CopyEntryCommand(d);
             d.Select(d.SelectedNode(), 2);
         },
         [](TKeyDocument& d) { return PasteEntryCommand(d); }},
        {"Edit Entry", at(thigh, 1, 8),
         [](TKeyDocument& d) {
             TKEYEntry e = d.SelectedKeyEntry();
             e.X += 0.25;
             e.DYaw = 7; // typed rates stay as typed
             return EditEntryCommand(d, e);
         }},
        {"Auto Copy", at(thigh, 1, 8),
         [](TKeyDocument& d) {
             d.AutoCopying = true;
             const TCommandResult r = ClickEntryCommand(d, 2);
             d.AutoCopying = false;
             return r;
         },
         true},
        {"Edit Markers", at(thigh, 0, 0),
         [](TKeyDocument& d) {
             return SetMarkersCommand(d, {{5.5, 1}, {20, 2}});
         }},
        {"KEY Summary", at(thigh, 1, 8),
         [](TKeyDocument& d) {
             std::unique_ptr<TKEYFile> edited = d.KeyFile->Clone();
             edited->FPS = 20;
             edited->Frames = 40;
             return SummaryCommand(d, *edited);
         }},
        {"Recalculate Rates",
         [&](TKeyDocument& d) {
             at(thigh, 1, 8)(d);
             d.KeyFile->Nodes[d.KeyNodeIndex()].Entries[1].DX = 3; // a stale rate
         },
         [](TKeyDocument& d) { return RecalculateRatesCommand(d); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.step);
        doc.LoadKey(kSample + "/3do/key/walk.key");
        c.setUp(doc);
        const TState before = StateOf(doc);
        const size_t steps = doc.History().Count();
        const TCommandResult result = c.run(doc);
        EXPECT_TRUE(result.Done) << result.Status;
        ASSERT_EQ(doc.History().Count(), steps + 1);
        EXPECT_EQ(doc.History().UndoName(), c.step);
        const TState after = StateOf(doc);
        EXPECT_NE(after.text, before.text);
        EXPECT_TRUE(doc.Modified());
        for (int round = 0; round < 2; ++round) {
            ASSERT_TRUE(doc.Undo());
            EXPECT_EQ(doc.KeyFile->ToText(), before.text);
            if (!c.selectsFirst) {
                EXPECT_EQ(StateOf(doc), before);
            }
            // The keys the step changed are picked again, where they are now.
            const std::vector<TKeyRef> picked = doc.PickedKeys();
            for (const TKeyRef& k : picked)
                EXPECT_LT(k.entry, doc.KeyFile->Nodes[k.node].Entries.Count());
            EXPECT_FALSE(doc.Modified()); // back at the file's version
            ASSERT_TRUE(doc.Redo());
            EXPECT_EQ(StateOf(doc), after);
        }
    }
}

// Picks are held by their entries: a key inserted before them or a move of their node's keys
// leaves them on the same entries; a curve point picked on one node never shows on another.
TEST_F(Commands, PicksFollowTheirEntriesAndBelongToTheirNode) {
    doc.Select(Joint("l_thigh"), 0);
    const int thigh = doc.KeyNodeIndex();
    doc.Select(Joint("r_thigh"), 0);
    const int other = doc.KeyNodeIndex();
    const TKEYEntry* picked = &doc.KeyFile->Nodes[thigh].Entries[2];
    doc.SetPickedKeys({{thigh, 2}});
    doc.SetPickedPoints(thigh, {{1, 3}, {2, 3}});
    doc.Run("Insert Key", {thigh}, [&] { InsertKey(*doc.KeyFile, thigh, 4); });
    ASSERT_EQ(doc.PickedKeys().size(), 1u);
    const TKeyRef now = doc.PickedKeys()[0];
    EXPECT_EQ(now.entry, 3); // slid with its entry
    EXPECT_EQ(&doc.KeyFile->Nodes[now.node].Entries[now.entry], picked);
    EXPECT_EQ(doc.PickedPoints(thigh), (std::vector<TCurveKey>{{2, 3}, {3, 3}}));
    EXPECT_TRUE(doc.PickedPoints(other).empty());
    doc.SetPickedPoints(other, {{1, 4}});
    EXPECT_EQ(doc.PickedPoints(thigh).size(), 2u); // each node keeps its own
    doc.Undo();
    EXPECT_EQ(doc.PickedPoints(thigh), (std::vector<TCurveKey>{{1, 3}, {2, 3}}));
    // A deleted entry's pick goes with it, and comes back with it.
    doc.Select(Joint("l_thigh"), 2);
    doc.SetPickedKeys({{thigh, 2}});
    DeleteKeysCommand(doc);
    EXPECT_TRUE(doc.PickedKeys().empty());
    doc.Undo();
    EXPECT_EQ(doc.PickedKeys(), (std::vector<TKeyRef>{{thigh, 2}}));
}

// A change that follows the mouse: one step from Begin to Commit, nothing at all after
// Rollback; meanwhile no other step, no selection, no undo; observers hear each step once.
TEST_F(Commands, AChangeThatFollowsTheMouseIsOneStep) {
    std::vector<TDocumentChange> heard;
    const int id = doc.Observe([&](const TDocumentChange& c) { heard.push_back(c); });
    doc.Select(Joint("l_thigh"), 1);
    const int node = doc.KeyNodeIndex();
    const std::string before = doc.KeyFile->ToText();
    ASSERT_TRUE(doc.Begin("Rotate Entry", {node}));
    for (int step = 0; step < 5; ++step)
        doc.DragEntry(TAxis::X, TDragKind::Rotate, 2);
    EXPECT_FALSE(doc.Run("Insert Key", {node}, [] {}));
    EXPECT_FALSE(doc.Select(Joint("head"), 0));
    EXPECT_FALSE(doc.Undo());
    EXPECT_FALSE(InsertKeyCommand(doc, false).Done);
    doc.Rollback();
    EXPECT_EQ(doc.KeyFile->ToText(), before);
    EXPECT_EQ(doc.History().Count(), 0u);
    EXPECT_FALSE(doc.Modified());

    ASSERT_TRUE(doc.Begin("Rotate Entry", {node}));
    doc.DragEntry(TAxis::X, TDragKind::Rotate, 10);
    doc.Commit();
    EXPECT_EQ(doc.History().Count(), 1u);
    EXPECT_EQ(doc.History().UndoName(), "Rotate Entry");

    doc.SetFrame(5); // between keys on every node
    heard.clear();
    InsertKeyCommand(doc, true); // many nodes and the selection: heard once, all of it
    ASSERT_EQ(heard.size(), 1u);
    EXPECT_TRUE(heard[0].Has(chKeys | chHistory | chSelection | chPicks | chFrame));
    EXPECT_GT(heard[0].Nodes.size(), 5u);
    doc.Forget(id);
    InsertKeyCommand(doc, false);
    EXPECT_EQ(heard.size(), 1u);
}
