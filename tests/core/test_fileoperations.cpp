#include <gtest/gtest.h>

#include <filesystem>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include "settings/GlobalVars.h"
#include "support/Containers.h"
#include "support/FileOperations.h"
#include "fixtures/fixtures.h"

using namespace vorlin;
using test::BuildGob;
using test::TempDir;

namespace {

// Each test starts with no containers and default settings.
class FileOps : public testing::Test {
protected:
    void SetUp() override {
        ClearContainerCache();
        AssignDefaults();
        ProjectDir.clear();
    }
    void TearDown() override {
        ClearContainerCache();
        AssignDefaults();
        ProjectDir.clear();
    }
    TempDir dir;
};

std::string ErrorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "";
}

} // namespace

TEST_F(FileOps, PathHelpers) {
    EXPECT_TRUE(IsContainerPath("/g/res2.gob>3do\\a.3do"));
    EXPECT_FALSE(IsContainerPath("/g/a.3do"));
    EXPECT_EQ(PathExt("/g/res2.gob>mat\\dflt.mat"), ".mat");
    EXPECT_EQ(PathExt("/g.d/name"), "");
    EXPECT_EQ(PathDir("/g/res2.gob>3do\\key\\walk.key"), "/g/res2.gob>3do\\key\\");
    EXPECT_EQ(PathDir("/g/res2.gob>walk.key"), "/g/res2.gob>");
    EXPECT_EQ(PathDir("/home/u/3do/a.3do"), "/home/u/3do/");
    EXPECT_EQ(PathDir("a.3do"), "");
    EXPECT_EQ(PathName("/g/res2.gob>3do\\key\\walk.key"), "walk.key");
    EXPECT_EQ(PathName("/g/res2.gob>walk.key"), "walk.key");
    EXPECT_EQ(PathName("c:x.key"), "c:x.key"); // ":" is an ordinary character here
    EXPECT_EQ(PathDir("a/b>c>d"), "a/b>");
}

TEST_F(FileOps, ContainerKinds) {
    EXPECT_EQ(ContainerKind(dir.file("none.gob")), ckMissing);
    EXPECT_EQ(ContainerKind(dir.write("a.gob", BuildGob({}))), ckGob2);
    EXPECT_EQ(ContainerKind(dir.write("b.GOB", "GOBX....")), ckGob1);
    EXPECT_EQ(ContainerKind(dir.write("c.gob", "GO")), ckUnknown);
    EXPECT_EQ(ContainerKind(dir.write("d.goo", "anything")), ckGoo);
    EXPECT_EQ(ContainerKind(dir.write("e.lab", "")), ckLab);
    EXPECT_EQ(ContainerKind(dir.write("f.lfd", "")), ckLfd);
    EXPECT_EQ(ContainerKind(dir.write("g.wad", "")), ckWad);
    EXPECT_EQ(ContainerKind(dir.write("h.zip", "")), ckUnknown);
}

TEST_F(FileOps, OpenFileOnDiskAndInContainers) {
    std::string gob = dir.write("res.gob", BuildGob({{"3do\\key\\walk.key", "WALK"}}));
    auto f = OpenFile(gob + ">3do\\key\\walk.key");
    EXPECT_EQ(f->FileSize(), 4);
    EXPECT_EQ(ContainerCache().size(), 1u);
    auto d = OpenFile(dir.write("loose.key", "L"));
    EXPECT_EQ(d->FileSize(), 1);

    std::string lab = dir.write("x.lab", "LABN");
    EXPECT_EQ(ErrorOf([&] { OpenFile(lab + ">a.key"); }), lab + " is not a container");
    std::string missing = dir.file("missing.gob");
    EXPECT_EQ(ErrorOf([&] { OpenFile(missing + ">a.key"); }), missing + " not found");
    EXPECT_EQ(ContainerCache().size(), 1u);
    EXPECT_EQ(ErrorOf([&] { OpenFile(gob + ">nothing.key"); }), "File not found: nothing.key");
    // The cache finds the container again ignoring the case of its path.
    EXPECT_EQ(ContainerCache().size(), 1u);
}

TEST_F(FileOps, CacheEvictsTheFirstUnpinnedContainer) {
    std::vector<std::string> paths;
    for (int i = 0; i < 12; ++i)
        paths.push_back(dir.write("c" + std::to_string(i) + ".gob", BuildGob({{"a.key", "A"}})));
    std::string pinned = dir.write("pinned.gob", BuildGob({{"mat\\a.mat", "M"}}));
    OpenPinnedContainer(pinned);
    for (int i = 0; i < 12; ++i)
        OpenFile(paths[i] + ">a.key");
    // 13 opened in all: the pinned one stays, the first unpinned ones made room.
    const auto& cache = ContainerCache();
    EXPECT_EQ(cache.size(), 11u);
    EXPECT_EQ(cache[0].path, pinned);
    EXPECT_EQ(cache[1].path, paths[2]);
    EXPECT_EQ(cache.back().path, paths[11]);
    // A missing container while the cache is full changes nothing.
    EXPECT_THROW(OpenFile(dir.file("gone.gob") + ">a.key"), Error);
    EXPECT_EQ(cache.size(), 11u);
    EXPECT_EQ(cache[1].path, paths[2]);
}

TEST_F(FileOps, TwelveUnpinnedContainersLeaveEleven) {
    std::vector<std::string> paths;
    for (int i = 0; i < 12; ++i) {
        paths.push_back(dir.write("c" + std::to_string(i) + ".gob", BuildGob({{"a.key", "A"}})));
        OpenFile(paths.back() + ">a.key");
    }
    EXPECT_EQ(ContainerCache().size(), 11u);
    EXPECT_EQ(ContainerCache().front().path, paths[1]);
}

TEST_F(FileOps, ContainerHasNeverRaisesAndPins) {
    std::string gob = dir.write("res.gob", BuildGob({{"mat\\a.mat", "M"}}));
    EXPECT_FALSE(ContainerHas("", "mat\\a.mat"));
    EXPECT_FALSE(ContainerHas(dir.file("none.gob"), "mat\\a.mat"));
    EXPECT_FALSE(ContainerHas(dir.write("t.txt", "text"), "mat\\a.mat"));
    OpenFile(gob + ">mat\\a.mat");
    EXPECT_FALSE(ContainerCache()[0].container->Pinned);
    EXPECT_TRUE(ContainerHas(gob, "MAT\\A.MAT"));
    EXPECT_TRUE(ContainerCache()[0].container->Pinned);
    EXPECT_FALSE(ContainerHas(gob, "mat\\b.mat"));
}

TEST_F(FileOps, FindResourceSearchOrder) {
    std::string jk = dir.write("jk/res2.gob", BuildGob({{"3do\\key\\walk.key", "K"},
                                                        {"mat\\both.mat", "JK"},
                                                        {"misc\\cmp\\dflt.cmp", "C"}}));
    std::string mots = dir.write(
        "mots/jkmres.goo",
        BuildGob({{"3do\\mat\\only.mat", "M"}, {"mat\\both.mat", "MOTS"}, {"3do\\ship.3do", "S"}}));
    Settings.JKGOB = jk;
    Settings.MOTSGOB = mots;
    ProjectDir = dir.file("proj") + "/";
    dir.write("proj/mat/local.mat", "P");
    dir.write("proj/here.mat", "H");

    EXPECT_EQ(FindResource("local.mat")->GetFullName(), ProjectDir + "mat/local.mat");
    EXPECT_EQ(FindResource("here.mat")->GetFullName(), ProjectDir + "here.mat");
    EXPECT_EQ(FindResource("both.mat")->GetFullName(), jk + ">mat\\both.mat");
    EXPECT_EQ(FindResource("only.mat")->GetFullName(), mots + ">3do\\mat\\only.mat");
    EXPECT_EQ(FindResource("walk.key")->GetFullName(), jk + ">3do\\key\\walk.key");
    EXPECT_EQ(FindResource("dflt.cmp")->GetFullName(), jk + ">misc\\cmp\\dflt.cmp");

    // Models come from the project or the game, never from the expansion.
    test::RecordingSink sink;
    EXPECT_EQ(ErrorOf([] { FindResource("ship.3do"); }), "Can't find file anywhere: ship.3do");
    ASSERT_EQ(sink.warnings().size(), 1u);
    EXPECT_EQ(sink.warnings()[0], "Can't find file anywhere: ship.3do");
    EXPECT_EQ(ErrorOf([] { FindResource("step.wav"); }), "Can't find file anywhere: step.wav");
}

TEST_F(FileOps, DiskPlacesMatchNamesIgnoringCase) {
    ProjectDir = dir.file("Proj") + "/";
    dir.write("Proj/Mat/kybody.mat", "X");
    dir.write("Proj/3DO/KEY/Walk.Key", "K");
    EXPECT_EQ(FindResource("KYBODY.MAT")->GetFullName(), ProjectDir + "Mat/kybody.mat");
    EXPECT_EQ(FindResource("walk.key")->GetFullName(), ProjectDir + "3DO/KEY/Walk.Key");
    EXPECT_EQ(FindDiskPath(dir.file("PROJ/mat/KYBODY.mat")), ProjectDir + "Mat/kybody.mat");
    EXPECT_EQ(FindDiskPath(dir.file("proj/none.mat")), "");
    auto pf = ProjectFile("MAT/KyBody.mat");
    ASSERT_NE(pf, nullptr);
    EXPECT_EQ(ProjectFile("mat/none.mat"), nullptr);
}

TEST_F(FileOps, FolderListingsFollowChangesOnDisk) {
    // A settled project folder, whose listing is kept between lookups.
    dir.write("Old/Mat/a.mat", "A");
    struct timeval hourAgo[2] = {{::time(nullptr) - 3600, 0}, {::time(nullptr) - 3600, 0}};
    for (const char* folder : {"Old", "Old/Mat"})
        ::utimes(dir.file(folder).c_str(), hourAgo);
    EXPECT_EQ(FindDiskPath(dir.file("old/mat/A.MAT")), dir.file("Old/Mat/a.mat"));
    EXPECT_EQ(FindDiskPath(dir.file("old/mat/B.MAT")), "");
    // A file added since is found at once, and one removed is no longer found.
    dir.write("Old/Mat/b.mat", "B");
    EXPECT_EQ(FindDiskPath(dir.file("old/mat/B.MAT")), dir.file("Old/Mat/b.mat"));
    std::filesystem::remove(dir.file("Old/Mat/a.mat"));
    EXPECT_EQ(FindDiskPath(dir.file("old/mat/A.MAT")), "");
    // Of two names that differ only in case, the first in name order is taken.
    dir.write("Old/Mat/B.MAT", "b");
    EXPECT_EQ(FindDiskPath(dir.file("old/mat/b.Mat")), dir.file("Old/Mat/B.MAT"));
}

// A write killed in the middle leaves its temporary file (as large as the document) beside the
// target; the next write into that folder removes those of processes no longer running, and
// keeps a running writer's and other programs' files.
TEST_F(FileOps, AWriteRemovesTheTemporaryFilesOfDeadWriters) {
    const pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    ASSERT_GT(child, 0);
    ::waitpid(child, nullptr, 0); // its number now names no process
    const std::string dead = std::to_string(child);
    const std::string stale[] = {".big.key." + dead + "-42", ".session-1-2.json." + dead + "-7"};
    const std::string kept[] = {".big.key.1-42",              // process 1 runs
                                ".notes.txt." + dead + "-42", // not a file this program writes
                                ".big.key." + dead,           // not the form of one
                                "big.key." + dead + "-42"};
    for (const std::string& f : stale)
        dir.write(f, "half");
    for (const std::string& f : kept)
        dir.write(f, "theirs");
    ReplaceFileContents(dir.file("other.key"), "whole");
    for (const std::string& f : stale)
        EXPECT_FALSE(std::filesystem::exists(dir.file(f))) << f;
    for (const std::string& f : kept)
        EXPECT_TRUE(std::filesystem::exists(dir.file(f))) << f;
    EXPECT_EQ(test::ReadAll(dir.file("other.key")), "whole");
}
