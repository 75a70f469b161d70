// Auto Key on the document, without a window: a drag that begins where the selected node has no
// key first puts one there, holding the pose the game shows and leaving the motion through the
// other keys as it was, and edits it; on a keyed frame it edits that key. Key and edit are the
// drag's one step: undo takes both back, a rolled-back drag leaves nothing.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "edit/key_commands.h"
#include "fixtures/sample_document.h"
#include "support/FileOperations.h"
#include "support/misc_utils.h"

using namespace vorlin;

namespace {

using AutoKey = test::SampleDocument;

bool SamePose(const TKEYPose& a, const TKEYPose& b) {
    auto near = [](double x, double y) { return std::abs(x - y) < 1e-9; };
    auto angle = [&](double x, double y) {
        const double d = std::abs(NormalizeAngle(x - y));
        return d < 1e-9 || std::abs(d - 360) < 1e-9;
    };
    return near(a.X, b.X) && near(a.Y, b.Y) && near(a.Z, b.Z) && angle(a.Pitch, b.Pitch) &&
           angle(a.Yaw, b.Yaw) && angle(a.Roll, b.Roll);
}

} // namespace

TEST_F(AutoKey, ADragKeysTheFrameWhenItHasNoKeyAndEditsTheKeyThere) {
    struct Case {
        const char* what;
        const char* joint;
        int entry; // selected before the drag
        int frame; // on show
        std::function<void(TKeyDocument&, int node)> setUp;
        bool made;   // a key was put there
        int edited;  // the entry the drag edits
        int entries; // the node's entries afterwards
    };
    const auto none = [](TKeyDocument&, int) {};
    const Case cases[] = {
        {"between keys", "l_thigh", 0, 12, none, true, 2, 5},
        {"between keys, the one after selected", "l_thigh", 3, 12, none, true, 2, 5},
        {"on a key", "l_thigh", 1, 8, none, false, 1, 4},
        {"on another key than the selected one", "l_thigh", 3, 16, none, false, 2, 4},
        {"past the last key", "l_thigh", 0, 28, none, true, 4, 5},
        {"on the last frame", "r_shin", 1, 31, none, true, 4, 5},
        {"before the first key", "l_thigh", 2, 2,
         [](TKeyDocument& d, int node) { d.KeyFile->Nodes[node].Entries[0].Frame = 4; }, true, 0,
         5},
        {"a node of one key, on it", "head", 0, 0, none, false, 0, 1},
        {"a node of one key, after it", "head", 0, 20, none, true, 1, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        doc.LoadKey(kSample + "/3do/key/walk.key");
        doc.Select(Joint(c.joint), c.entry);
        const int node = doc.KeyNodeIndex();
        ASSERT_GE(node, 0);
        c.setUp(doc, node);
        doc.SetFrame(c.frame);
        ASSERT_EQ(doc.Frame(), c.frame);
        const std::unique_ptr<TKEYFile> before = doc.KeyFile->Clone();
        const std::string text = doc.KeyFile->ToText();
        const TKEYPose shown = doc.KeyFile->EvaluateNode(node, c.frame);

        ASSERT_TRUE(doc.Begin(DragStepName(TDragKind::Move), {node}));
        const TCommandResult result = AutoKeyEntry(doc);
        EXPECT_EQ(result.Done, c.made);
        if (c.made) {
            EXPECT_EQ(result.Status, "Auto Key: a key at frame " + std::to_string(c.frame));
        }
        const TKEYEntries& entries = doc.KeyFile->Nodes[node].Entries;
        ASSERT_EQ(entries.Count(), c.entries);
        EXPECT_EQ(doc.SelectedEntry(), c.edited);
        EXPECT_EQ(doc.SelectedKeyFrame(), c.frame);
        EXPECT_EQ(doc.Frame(), c.frame);
        if (c.made) {
            EXPECT_EQ(doc.PickedKeys(), (std::vector<TKeyRef>{{node, c.edited}}));
        }
        // The key holds the pose the game showed there, and the node moves through every
        // frame as it did; the other keys keep their frames and values, other nodes all of it.
        const TKEYEntry& key = entries[c.edited];
        EXPECT_TRUE(SamePose(TKEYFile::PoseFromEntry(key, c.frame), shown));
        for (int f = 0; f < doc.KeyFile->Frames; ++f) {
            EXPECT_TRUE(SamePose(doc.KeyFile->EvaluateNode(node, f), before->EvaluateNode(node, f)))
                << "frame " << f;
        }
        for (int i = 0, j = 0; i < entries.Count(); ++i) {
            if (c.made && i == c.edited) continue;
            const TKEYEntry &now = entries[i], &was = before->Nodes[node].Entries[j++];
            EXPECT_EQ(now.Frame, was.Frame);
            EXPECT_TRUE(SamePose(TKEYFile::PoseFromEntry(now, now.Frame),
                                 TKEYFile::PoseFromEntry(was, was.Frame)));
        }
        for (int n = 0; n < doc.KeyFile->Nodes.Count(); ++n) {
            if (n == node) continue;
            for (int i = 0; i < doc.KeyFile->Nodes[n].Entries.Count(); ++i) {
                EXPECT_TRUE(
                    SameEntry(doc.KeyFile->Nodes[n].Entries[i], before->Nodes[n].Entries[i]));
            }
        }

        // The drag edits that key; the frame stays.
        const TKEYEntry at = key;
        doc.SetFrame(doc.DragEntry(TAxis::X, TDragKind::Move, 5));
        EXPECT_EQ(doc.Frame(), c.frame);
        EXPECT_NEAR(key.X, at.X + 5 * Settings.MOVE_STEP, 1e-9);
        doc.Commit();
        ASSERT_EQ(doc.History().Count(), 1u);
        EXPECT_EQ(doc.History().UndoName(), "Move Entry");
        const std::string after = doc.KeyFile->ToText();

        // One undo takes the key and the edit back, to the selection the drag began with.
        ASSERT_TRUE(doc.Undo());
        EXPECT_EQ(doc.KeyFile->ToText(), text);
        EXPECT_EQ(doc.SelectedEntry(), c.entry);
        EXPECT_FALSE(doc.History().CanUndo());
        ASSERT_TRUE(doc.Redo());
        EXPECT_EQ(doc.KeyFile->ToText(), after);
        EXPECT_EQ(doc.SelectedEntry(), c.edited);
    }
}

// A model node no KEY node drives gets one, its first key at the frame at the node's rest pose,
// as Insert Key gives it; undo takes the node away again.
TEST_F(AutoKey, AModelNodeWithoutAKeyNodeGetsOne) {
    const int head = Joint("head");
    doc.Select(head, 0);
    doc.KeyFile->Nodes.Delete(doc.KeyNodeIndex());
    doc.Select(head, 0);
    ASSERT_EQ(doc.KeyNodeIndex(), -1);
    doc.SetFrame(6);
    const std::string text = doc.KeyFile->ToText();
    const int nodes = doc.KeyFile->Nodes.Count();

    EXPECT_THROW(CheckDragEntry(doc, false), std::exception); // today's rule: refused
    EXPECT_NO_THROW(CheckDragEntry(doc, true));
    ASSERT_TRUE(doc.Begin(DragStepName(TDragKind::Rotate), {doc.KeyNodeIndex()}));
    EXPECT_TRUE(AutoKeyEntry(doc).Done);
    ASSERT_EQ(doc.KeyFile->Nodes.Count(), nodes + 1);
    const int node = doc.KeyNodeIndex();
    ASSERT_GE(node, 0);
    const TKEYEntries& entries = doc.KeyFile->Nodes[node].Entries;
    ASSERT_EQ(entries.Count(), 1);
    EXPECT_EQ(entries[0].Frame, 6);
    EXPECT_DOUBLE_EQ(entries[0].Z, doc.Model->HNodes[head].Z);
    doc.DragEntry(TAxis::Z, TDragKind::Rotate, 30);
    EXPECT_DOUBLE_EQ(entries[0].Yaw, 30);
    doc.Commit();
    EXPECT_EQ(doc.History().UndoName(), "Rotate Entry");
    ASSERT_TRUE(doc.Undo());
    EXPECT_EQ(doc.KeyFile->ToText(), text);
    EXPECT_EQ(doc.KeyNodeIndex(), -1);
}

// A drag given up (rolled back) leaves no key; outside a drag Auto Key changes nothing; what a
// drag's press refuses.
TEST_F(AutoKey, NothingStaysWithoutACommittedDrag) {
    doc.Select(Joint("l_thigh"), 0);
    const int node = doc.KeyNodeIndex();
    doc.SetFrame(12);
    const std::string text = doc.KeyFile->ToText();

    ASSERT_TRUE(doc.Begin(DragStepName(TDragKind::Move), {node}));
    ASSERT_TRUE(AutoKeyEntry(doc).Done);
    doc.DragEntry(TAxis::Y, TDragKind::Move, 9);
    doc.Rollback();
    EXPECT_EQ(doc.KeyFile->ToText(), text);
    EXPECT_EQ(doc.History().Count(), 0u);
    EXPECT_FALSE(doc.Modified());
    EXPECT_EQ(doc.SelectedEntry(), 0);

    const TCommandResult outside = AutoKeyEntry(doc);
    EXPECT_FALSE(outside.Done);
    EXPECT_EQ(doc.KeyFile->ToText(), text);
    EXPECT_FALSE(doc.SelectInDrag(1)); // the selection waits for no drag
    EXPECT_EQ(doc.SelectedEntry(), 0);

    // A KEY node without entries has nothing to key from: refused with or without Auto Key.
    doc.KeyFile->Nodes[node].Entries.Clear();
    doc.Select(Joint("l_thigh"), 0);
    EXPECT_THROW(CheckDragEntry(doc, false), std::exception);
    EXPECT_THROW(CheckDragEntry(doc, true), std::exception);
    EXPECT_EQ(DragStepName(TDragKind::Move), "Move Entry");
    EXPECT_EQ(DragStepName(TDragKind::Rotate), "Rotate Entry");
}
