// The editing session: loading, New KEY's layout, the recent-list and project-folder rules,
// and the entry commands, on real files.
#include <gtest/gtest.h>

#include "edit/key_session.h"
#include "support/FileOperations.h"
#include "support/fixtures.h"

using namespace vorlin;
using test::TempDir;

namespace {

const char* kModel = "SECTION: GEOMETRYDEF\nRADIUS 1\nINSERT OFFSET 0 0 0\nGEOSETS 1\nGEOSET 0\n"
                     "MESHES 1\nMESH 0\nNAME tri\nVERTICES 3\n0: -0.5 0 -1.5\n1: 0.5 0 -0.5\n"
                     "2: 0 0 2\nTEXTURE VERTICES 0\nFACES 1\n0: 0 0x0 4 3 0 0 3 0,0 1,0 2,0\n"
                     "SECTION: HIERARCHYDEF\nHIERARCHY NODES 2\n"
                     "0: 0x0 0x1 -1 -1 -1 -1 0 0 0 0 0 0 0 0 0 0 root\n"
                     "1: 0x0 0x1 0 -1 -1 -1 0 1 2 3 10 20 30 0 0 0 lone\n";

class Session : public testing::Test {
protected:
    void SetUp() override {
        AssignDefaults();
        ProjectDir.clear();
        SelectedNode = SelectedEntry = 0;
    }
    void TearDown() override {
        AssignDefaults();
        ProjectDir.clear();
        ClearContainerCache();
    }
    TempDir dir;
    TKeySession s;
};

} // namespace

TEST_F(Session, LoadingAModelSetsTheProjectFloorAndZoom) {
    s.LoadModel(dir.write("Game/3DO/ky.3do", kModel));
    EXPECT_EQ(ProjectDir, dir.file("Game") + "/");
    EXPECT_DOUBLE_EQ(FloorHeight, s.Model->LowestPoint()); // in the rest pose
    EXPECT_NE(FloorHeight, 0.0);
    SelectedNode = 1;
    const double zoom = s.LoadModel(dir.write("Work/ky.3do", kModel));
    EXPECT_EQ(SelectedNode, 0);
    EXPECT_EQ(ProjectDir, dir.file("Work") + "/");
    EXPECT_DOUBLE_EQ(zoom, 10 * 2 + 3); // the farthest vertex lies 2 from the origin
    const T3DO* kept = s.Model.get();
    EXPECT_THROW(s.LoadModel(dir.file("gone.3do")), Error);
    EXPECT_EQ(s.Model.get(), kept);
    EXPECT_EQ(ProjectDir, dir.file("Work") + "/");
    EXPECT_EQ(TKeySession::ProjectDirOf("x.gob>3do\\ky.3do"), "");
    EXPECT_EQ(TKeySession::ProjectDirOf("ky.3do"), "");
}

TEST_F(Session, NewKeyLayout) {
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
    TKeySession empty;
    EXPECT_EQ(empty.BuildNewKey(), nullptr);
}

TEST_F(Session, RecentListsAndAbsolutePaths) {
    std::array<std::string, kRecentCount> list;
    for (const char* p : {"a", "b", "a", "A", "c", "d", "e"})
        TKeySession::AddRecent(list, p);
    EXPECT_EQ(list, (std::array<std::string, kRecentCount>{"e", "d", "c", "A", "a"}));
    EXPECT_EQ(TKeySession::AbsolutePath("walk.key"), "walk.key"); // a name to search for
    const std::string cwd = std::filesystem::current_path().string();
    EXPECT_EQ(TKeySession::AbsolutePath("sub/../3do/m.3do"), cwd + "/3do/m.3do");
    EXPECT_EQ(TKeySession::AbsolutePath("res.gob>3do\\key\\w.key"),
              cwd + "/res.gob>3do\\key\\w.key");
    EXPECT_EQ(TKeySession::AbsolutePath("/g/res.gob>mat\\a.mat"), "/g/res.gob>mat\\a.mat");
}
