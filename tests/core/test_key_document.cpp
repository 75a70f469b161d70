// The editing document: loading, New KEY's layout, the recent-list and project-folder rules,
// and the entry commands, on real files.
#include <gtest/gtest.h>

#include "edit/key_change.h"
#include "edit/key_document.h"
#include "support/FileOperations.h"
#include "fixtures/fixtures.h"

using namespace vorlin;
using test::TempDir;

namespace {

const char* kModel = "SECTION: GEOMETRYDEF\nRADIUS 1\nINSERT OFFSET 0 0 0\nGEOSETS 1\nGEOSET 0\n"
                     "MESHES 1\nMESH 0\nNAME tri\nVERTICES 3\n0: -0.5 0 -1.5\n1: 0.5 0 -0.5\n"
                     "2: 0 0 2\nTEXTURE VERTICES 0\nFACES 1\n0: 0 0x0 4 3 0 0 3 0,0 1,0 2,0\n"
                     "SECTION: HIERARCHYDEF\nHIERARCHY NODES 2\n"
                     "0: 0x0 0x1 -1 -1 -1 -1 0 0 0 0 0 0 0 0 0 0 root\n"
                     "1: 0x0 0x1 0 -1 -1 -1 0 1 2 3 10 20 30 0 0 0 lone\n";

class Document : public testing::Test {
protected:
    void SetUp() override {
        AssignDefaults();
        ProjectDir.clear();
    }
    void TearDown() override {
        AssignDefaults();
        ProjectDir.clear();
        ClearContainerCache();
    }
    TempDir dir;
    TKeyDocument s;
};

} // namespace

TEST_F(Document, LoadingAModelSetsTheProjectFloorAndZoom) {
    s.LoadModel(dir.write("Game/3DO/ky.3do", kModel));
    EXPECT_EQ(ProjectDir, dir.file("Game") + "/");
    EXPECT_DOUBLE_EQ(s.FloorHeight, s.Model->LowestPoint()); // in the rest pose
    EXPECT_NE(s.FloorHeight, 0.0);
    s.Select(1, 0);
    const double zoom = s.LoadModel(dir.write("Work/ky.3do", kModel));
    EXPECT_EQ(s.SelectedNode(), 0);
    EXPECT_EQ(ProjectDir, dir.file("Work") + "/");
    EXPECT_DOUBLE_EQ(zoom, 10 * 2 + 3); // the farthest vertex lies 2 from the origin
    const T3DO* kept = s.Model.get();
    EXPECT_THROW(s.LoadModel(dir.file("gone.3do")), Error);
    EXPECT_EQ(s.Model.get(), kept);
    EXPECT_EQ(ProjectDir, dir.file("Work") + "/");
    EXPECT_EQ(TKeyDocument::ProjectDirOf("x.gob>3do\\ky.3do"), "");
    EXPECT_EQ(TKeyDocument::ProjectDirOf("ky.3do"), "");
}

TEST_F(Document, NewKeyLayout) {
    s.LoadModel(dir.write("m.3do", kModel));
    Settings.DEFAULT_NUMFRAMES = 30;
    Settings.DEFAULT_FRAMEGAP = 10;
    Settings.FLAGS_ONCE = false;
    auto doc = s.BuildNewKey();
    ASSERT_EQ(doc->Nodes.Count(), 2);
    EXPECT_EQ(doc->Joints, 2);
    EXPECT_EQ(doc->Flags, 3u);
    EXPECT_EQ(doc->KeyType, 0xFFFFu);
    EXPECT_EQ(doc->Frames, 30);
    EXPECT_EQ(doc->Nodes[1].MeshName, "LONE");
    const TKEYEntries& e = doc->Nodes[1].Entries;
    ASSERT_EQ(e.Count(), 4);
    EXPECT_EQ(e[1].Frame, 10);
    EXPECT_EQ(e[3].Frame, 29);
    EXPECT_EQ(e[2].Y, 2);
    EXPECT_EQ(e[2].Roll, 30); // the rest pose
    Settings.DEFAULT_NUMFRAMES = 4;
    Settings.DEFAULT_FRAMEGAP = 1;
    doc = s.BuildNewKey();
    ASSERT_EQ(doc->Nodes[0].Entries.Count(), 5);
    EXPECT_EQ(doc->Nodes[0].Entries[3].Frame, 3);
    EXPECT_EQ(doc->Nodes[0].Entries[4].Frame, 3); // the last two share frame 3
    Settings.DEFAULT_NUMFRAMES = 5;
    Settings.DEFAULT_FRAMEGAP = 10;
    EXPECT_EQ(s.BuildNewKey()->Nodes[0].Entries.Count(), 1);
    Settings.DEFAULT_FRAMEGAP = 0; // no division: one entry per node
    EXPECT_EQ(s.BuildNewKey()->Nodes[0].Entries.Count(), 1);
    // At most 100,000 entries a node, refused before anything is built.
    Settings.DEFAULT_FRAMEGAP = 1;
    Settings.DEFAULT_NUMFRAMES = 99999;
    EXPECT_EQ(s.BuildNewKey()->Nodes[0].Entries.Count(), 100000);
    for (int32_t frames : {100000, 2000000000}) {
        Settings.DEFAULT_NUMFRAMES = frames;
        EXPECT_THROW(s.BuildNewKey(), Error);
    }
    TKeyDocument empty;
    EXPECT_EQ(empty.BuildNewKey(), nullptr);
}

TEST_F(Document, RecentListsAndAbsolutePaths) {
    std::array<std::string, kRecentCount> list;
    for (const char* p : {"a", "b", "a", "A", "c", "d", "e"})
        TKeyDocument::AddRecent(list, p);
    EXPECT_EQ(list, (std::array<std::string, kRecentCount>{"e", "d", "c", "A", "a"}));
    EXPECT_EQ(TKeyDocument::AbsolutePath("walk.key"), "walk.key"); // a name to search for
    const std::string cwd = std::filesystem::current_path().string();
    EXPECT_EQ(TKeyDocument::AbsolutePath("sub/../3do/m.3do"), cwd + "/3do/m.3do");
    EXPECT_EQ(TKeyDocument::AbsolutePath("res.gob>3do\\key\\w.key"),
              cwd + "/res.gob>3do\\key\\w.key");
    EXPECT_EQ(TKeyDocument::AbsolutePath("/g/res.gob>mat\\a.mat"), "/g/res.gob>mat\\a.mat");
}

// ---- entry commands ----

namespace {

// A session whose document has one node (and a second) with entries at the given frames and
// X values 0, 10, 20, ...
void Entries(TKeyDocument& s, const std::vector<int>& frames, uint32_t flags, int total = 40) {
    auto doc = std::make_unique<TKEYFile>();
    doc->Frames = total;
    doc->Flags = flags;
    for (int n = 0; n < 2; ++n) {
        TKEYNode& node = doc->Nodes.Add();
        node.MeshName = n == 0 ? "ARM" : "LEG";
        for (size_t i = 0; i < frames.size(); ++i) {
            TKEYEntry& e = node.Entries.Add();
            e.Frame = frames[i];
            e.X = 10.0 * double(i);
            e.Yaw = 5.0 * double(i);
            e.Roll = 1.0 * double(i);
        }
    }
    doc->RecalcAll();
    s.SetKey(std::move(doc));
}

TKEYEntry& E(TKeyDocument& s, int i, int node = 0) {
    return s.KeyFile->Nodes[node].Entries[i];
}

} // namespace

TEST_F(Document, DeletingKeepsRatesAndOneEntry) {
    for (uint32_t flags : {0u, 3u}) {
        Entries(s, {0, 10, 20, 30, 35}, flags);
        s.Select(s.SelectedNode(), 4); // the last of five
        ASSERT_TRUE(s.DeleteEntry());
        EXPECT_EQ(s.SelectedEntry(), 3);
        EXPECT_EQ(s.EntryCount(), 4);
        // The new last entry leads to nothing (play once) or back to the first (looping).
        EXPECT_DOUBLE_EQ(E(s, 3).DX, flags ? (0 - 30.0) / (40 - 30 + 0) : 0.0);
        s.Select(s.SelectedNode(), 1); // a middle one: the entry before it now leads past it
        ASSERT_TRUE(s.DeleteEntry());
        EXPECT_EQ(s.SelectedEntry(), 1);
        EXPECT_DOUBLE_EQ(E(s, 0).DX, 20.0 / 20);
        s.Select(s.SelectedNode(), 0);
        ASSERT_TRUE(s.DeleteEntry());
        ASSERT_TRUE(s.DeleteEntry());
        EXPECT_FALSE(s.DeleteEntry()); // a node keeps one entry
        EXPECT_EQ(s.EntryCount(), 1);
    }
}

TEST_F(Document, CopyCutAndPasteAreByReference) {
    Entries(s, {0, 10, 20}, 3);
    s.Select(s.SelectedNode(), 2);
    s.CopyEntry();
    E(s, 2).X = 99; // moved after copying: the paste carries the moved values
    s.Select(1, 0);
    s.Select(s.SelectedNode(), 1);
    ASSERT_TRUE(s.PasteEntry());
    EXPECT_EQ(E(s, 1, 1).X, 99);
    EXPECT_EQ(E(s, 1, 1).Frame, 10);            // frame, flags and rates are its own
    EXPECT_DOUBLE_EQ(E(s, 0, 1).DX, 99.0 / 10); // the entry before leads to it
    // Cut the middle entry: it leaves its node and stays the copy source.
    s.Select(0, 0);
    s.Select(s.SelectedNode(), 1);
    E(s, 1).Y = 7;
    s.CutEntry();
    EXPECT_EQ(s.EntryCount(), 2);
    s.Select(s.SelectedNode(), 0);
    s.PasteEntry();
    EXPECT_EQ(E(s, 0).Y, 7);
    // ... also after another document replaced this one.
    Entries(s, {0, 5}, 0);
    s.Select(s.SelectedNode(), 1);
    s.PasteEntry();
    EXPECT_EQ(E(s, 1).Y, 7);
    // Cutting a node's only entry only copies it.
    auto one = std::make_unique<TKEYFile>();
    one->Nodes.Add().Entries.Add().X = 3;
    s.SetKey(std::move(one));
    s.Select(0, 0);
    s.CutEntry();
    EXPECT_EQ(s.EntryCount(), 1);
    EXPECT_EQ(s.CopiedEntry->X, 3);
    TKeyDocument fresh;
    EXPECT_FALSE(fresh.PasteEntry());
}

TEST_F(Document, AddAndInsert) {
    Settings.DEFAULT_FRAMEGAP = 10;
    Entries(s, {0, 10, 29}, 0, 30);
    s.AddEntry(0);
    EXPECT_EQ(s.EntryCount(), 4);
    EXPECT_EQ(E(s, 3).Frame, 39);
    EXPECT_EQ(s.KeyFile->Frames, 40);
    EXPECT_EQ(E(s, 3).X, 20);
    s.Select(s.SelectedNode(), 0);
    s.InsertEntry(); // entry 0's values go into the slot after it; frames stay in their slots
    EXPECT_EQ(E(s, 1).X, 0);
    EXPECT_EQ(E(s, 2).X, 10);
    EXPECT_EQ(E(s, 4).Frame, 49);
}

TEST_F(Document, AutoCopyCarriesTheChosenChannels) {
    Entries(s, {0, 10, 20, 30}, 0);
    // "Roll" carries the yaw and "Yaw" the roll.
    Settings.AUTOCOPY_X = Settings.AUTOCOPY_Y = Settings.AUTOCOPY_Z = false;
    Settings.AUTOCOPY_PCH = Settings.AUTOCOPY_YAW = false;
    Settings.AUTOCOPY_ROL = true;
    Settings.AUTOCOPY_FWD = false;
    s.Select(s.SelectedNode(), 2);
    s.AutoCopy(1);
    EXPECT_EQ(E(s, 2).Yaw, 5);  // entry 1's yaw
    EXPECT_EQ(E(s, 2).Roll, 2); // its own roll
    EXPECT_EQ(E(s, 3).Yaw, 15);
    Settings.AUTOCOPY_ROL = false;
    Settings.AUTOCOPY_YAW = true;
    s.AutoCopy(1);
    EXPECT_EQ(E(s, 2).Roll, 1);
    // X forward: entries 2 to the last take entry 1's x and nothing else; their rates follow.
    Settings.AUTOCOPY_YAW = false;
    Settings.AUTOCOPY_X = Settings.AUTOCOPY_FWD = true;
    s.AutoCopy(1);
    for (int i = 1; i < 4; ++i)
        EXPECT_EQ(E(s, i).X, 10);
    EXPECT_EQ(E(s, 3).Frame, 30);
    EXPECT_EQ(E(s, 2).DX, 0.0);
    EXPECT_EQ(E(s, 1).DX, 0.0);
    EXPECT_DOUBLE_EQ(E(s, 0).DX, 1.0);
    EXPECT_THROW(s.AutoCopy(9), ListError);
}

TEST_F(Document, DraggingAnEntry) {
    Entries(s, {0, 10}, 0);
    Settings.MOVE_STEP = 0.01;
    s.Select(s.SelectedNode(), 1);
    EXPECT_EQ(s.DragEntry(TAxis::Y, TDragKind::Move, 10), 10);
    EXPECT_NEAR(E(s, 1).Y, 0.1, 1e-12);
    EXPECT_NEAR(E(s, 0).DY, 0.01, 1e-12);
    E(s, 1).Yaw = 2;
    s.DragEntry(TAxis::Z, TDragKind::Rotate, -5);
    EXPECT_EQ(E(s, 1).Yaw, 357);
    s.DragEntry(TAxis::X, TDragKind::Rotate, 370); // one wrap at a time
    EXPECT_EQ(E(s, 1).Pitch, 10);
    s.DragEntry(TAxis::Y, TDragKind::Rotate, 30);
    EXPECT_EQ(E(s, 1).Roll, 31);
    s.DragEntry(TAxis::None, TDragKind::Move, 30);
    EXPECT_NEAR(E(s, 1).X, 10, 1e-12);
    s.Select(5, 0);
    EXPECT_THROW(s.DragEntry(TAxis::X, TDragKind::Move, 1), ListError);
}

// ---- what a change keeps for undo ----

TEST_F(Document, AChangeKeepsOnlyWhatItChanged) {
    auto doc = std::make_unique<TKEYFile>();
    doc->Frames = 20000;
    TKEYNode& node = doc->Nodes.Add();
    for (int i = 0; i < 2000; ++i)
        node.Entries.Add().Frame = i * 10;
    s.SetKey(std::move(doc));
    s.Select(s.SelectedNode(), 700);
    TKeyChange drag;
    drag.Begin(*s.KeyFile, {0});
    s.DragEntry(TAxis::X, TDragKind::Move, 40);
    drag.End(*s.KeyFile);
    EXPECT_FALSE(drag.Empty());
    EXPECT_LT(drag.Bytes(), 2048u); // two entries, not two thousand
    const double moved = E(s, 700).X;
    drag.Undo(*s.KeyFile);
    EXPECT_EQ(E(s, 700).X, 0);
    EXPECT_EQ(E(s, 699).DX, 0);
    drag.Redo(*s.KeyFile);
    EXPECT_EQ(E(s, 700).X, moved);
    // A deletion undone puts the same entry object back.
    TKeyChange del;
    del.Begin(*s.KeyFile, {0});
    std::shared_ptr<TKEYEntry> gone = s.KeyFile->Nodes[0].Entries.Get(700);
    s.DeleteEntry();
    del.End(*s.KeyFile);
    del.Undo(*s.KeyFile);
    EXPECT_EQ(s.KeyFile->Nodes[0].Entries.Get(700), gone);
    EXPECT_EQ(s.EntryCount(), 2000);
    del.Redo(*s.KeyFile);
    EXPECT_EQ(s.EntryCount(), 1999);
    // Nothing changed: nothing kept.
    TKeyChange none;
    none.Begin(*s.KeyFile, TKeyChange::AllNodes(*s.KeyFile));
    none.End(*s.KeyFile);
    EXPECT_TRUE(none.Empty());
}

// The entry commands work on the KEY node whose NODE number is the selected model node, as the
// game binds them; a model node without one gets one from Add, recorded as one change.
TEST_F(Document, CommandsActOnTheNodeBoundByNumber) {
    s.LoadModel(dir.write("m.3do", kModel));
    s.LoadKey(dir.write("one.key", "SECTION: HEADER\nFLAGS 0\nTYPE 0xFFFF\nFRAMES 10\nFPS 15\n"
                                   "JOINTS 1\nSECTION: KEYFRAME NODES\nNODES 1\nNODE 1\n"
                                   "MESH NAME LONE\nENTRIES 1\n0: 0 0x0 5 0 0 0 0 0\n"
                                   "0 0 0 0 0 0\n"));
    s.Select(1, 0);
    EXPECT_EQ(s.KeyNodeIndex(), 0);
    EXPECT_EQ(s.SelectedKeyEntry().X, 5);
    s.Select(0, 0);
    EXPECT_EQ(s.KeyNodeIndex(), -1);
    EXPECT_EQ(s.EntryCount(), 0);
    EXPECT_THROW(s.CopyEntry(), ListError);
    TKeyChange change;
    change.Begin(*s.KeyFile, {s.KeyNodeIndex()});
    s.AddEntry(12);
    change.End(*s.KeyFile);
    ASSERT_EQ(s.KeyNodeIndex(), 1);
    EXPECT_EQ(s.KeyFile->Joint(1), 0);
    EXPECT_EQ(s.SelectedKeyNode().MeshName, "ROOT");
    EXPECT_EQ(s.SelectedKeyEntry().Frame, 12);
    EXPECT_EQ(s.KeyFile->Joints, 2);  // two nodes need two joints
    EXPECT_EQ(s.KeyFile->Frames, 13); // the entry's frame is inside the animation
    change.Undo(*s.KeyFile);
    EXPECT_EQ(s.KeyFile->Nodes.Count(), 1);
    EXPECT_EQ(s.KeyFile->Joints, 1);
    change.Redo(*s.KeyFile);
    EXPECT_EQ(s.KeyNodeIndex(), 1);
    // New KEY numbers its nodes by their hierarchy index.
    auto fresh = s.BuildNewKey();
    EXPECT_EQ(fresh->Joint(0), 0);
    EXPECT_EQ(fresh->Joint(1), 1);
    EXPECT_EQ(fresh->ToText().find("NODE 1\r\nMESH NAME LONE") != std::string::npos, true);
}
