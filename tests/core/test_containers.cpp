#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <thread>

#include "support/Containers.h"
#include "fixtures/fixtures.h"

using namespace vorlin;
using test::BuildGob;
using test::TempDir;

namespace {

std::vector<std::string> Names(const std::vector<TFileItem>& items) {
    std::vector<std::string> n;
    for (const auto& i : items)
        n.push_back(i.name);
    return n;
}

std::string ReadWhole(TFile& f) {
    std::string s(size_t(f.FileSize()), '\0');
    f.Read(s.data(), f.FileSize());
    return s;
}

} // namespace

TEST(Gob2, ListsFoldersAndFilesPerLevel) {
    TempDir dir;
    std::string path = dir.write(
        "res.gob", BuildGob({{"a.key", "K"}, {"3do\\a.3do", "MODEL"}, {"3do\\mat\\b.mat", "MAT"}}));
    TGOB2Directory gob(path);
    EXPECT_EQ(Names(gob.ListFiles()), std::vector<std::string>{"a.key"});
    EXPECT_EQ(gob.ListDirs(), std::vector<std::string>{"3do"});
    EXPECT_TRUE(gob.ChDir("3do"));
    EXPECT_EQ(Names(gob.ListFiles()), std::vector<std::string>{"a.3do"});
    EXPECT_EQ(gob.ListDirs(), std::vector<std::string>{"mat"});
    EXPECT_TRUE(gob.ChDir("3DO\\MAT")); // folders match ignoring case
    EXPECT_EQ(Names(gob.ListFiles()), std::vector<std::string>{"b.mat"});
    EXPECT_FALSE(gob.ChDir("nowhere"));
    EXPECT_EQ(gob.CurDir, "3DO\\MAT");
    EXPECT_TRUE(gob.ChDir(""));
    EXPECT_EQ(gob.GetName(), "res.gob");
    EXPECT_EQ(gob.ColumnTitle(0), "Name");
    EXPECT_EQ(gob.ColumnTitle(1), "Size");
    EXPECT_EQ(gob.FileList[1].info->GetColumn(1), "5");
    EXPECT_EQ(gob.FileList[1].info->GetColumn(0), "");
}

// A folder that holds only folders exists as well: it is listed and can be entered.
TEST(Gob2, EveryFolderOnAStoredPathIsListed) {
    TempDir dir;
    TGOB2Directory gob(dir.write(
        "m.gob", BuildGob({{"3do\\mat\\x.mat", "1"}, {"3do\\mat\\y.mat", "2"}, {"z.key", "3"}})));
    EXPECT_EQ(gob.ListDirs(), std::vector<std::string>{"3do"});
    EXPECT_TRUE(gob.ChDir("3do"));
    EXPECT_EQ(gob.ListDirs(), std::vector<std::string>{"mat"});
    EXPECT_TRUE(gob.ListFiles().empty());
    EXPECT_TRUE(gob.ChDir("3DO\\MAT"));
    EXPECT_FALSE(gob.ChDir("mat"));
    EXPECT_EQ(gob.DirList, (std::vector<std::string>{"3do", "3do\\mat"}));
}

TEST(Gob2, OpensStoredFilesIgnoringCaseAndKeepsTheAskedName) {
    TempDir dir;
    std::string path =
        dir.write("res.gob", BuildGob({{"3do\\a.3do", "MODEL"}, {"b.key", "KEYDATA"}}));
    TGOB2Directory gob(path);
    auto f = gob.OpenFile("3DO\\A.3DO");
    EXPECT_EQ(f->GetFullName(), path + ">3DO\\A.3DO");
    EXPECT_EQ(f->GetName(), "A.3DO");
    EXPECT_EQ(ReadWhole(*f), "MODEL");
    // Each sub-file reads through its own handle.
    auto g = gob.OpenFile("b.key");
    char c;
    g->Read(&c, 1);
    EXPECT_EQ(c, 'K');
    f->Seek(1);
    f->Read(&c, 1);
    EXPECT_EQ(c, 'O');
    try {
        gob.OpenFile("c.key");
        FAIL();
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "File not found: c.key");
    }
    try {
        gob.OpenFile("b.key", true);
        FAIL();
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "Cannot write file inside container: b.key");
    }
    EXPECT_NE(gob.GetFileInfo("B.KEY"), nullptr);
    EXPECT_EQ(gob.GetFileInfo("none"), nullptr);
}

TEST(Gob2, SubFilePositionsAreRelativeToItsOffset) {
    TempDir dir;
    std::string padding(5000 - 16 - 136, '.');
    std::string data(100, 'd');
    // One entry whose data sits at offset 5000.
    std::string gob = BuildGob({{"x.bin", ""}});
    gob += padding;
    gob += data;
    // Patch offset and size of the entry.
    uint32_t offset = 5000, size = 100;
    std::memcpy(gob.data() + 16, &offset, 4);
    std::memcpy(gob.data() + 20, &size, 4);
    TGOB2Directory container(dir.write("o.gob", gob));
    TSubFile sub(container.Path, size, offset, "x.bin");
    EXPECT_EQ(sub.FileSize(), 100);
    EXPECT_EQ(sub.FilePos(), 0);
    sub.Seek(10);
    EXPECT_EQ(sub.FilePos(), 10);
    TDiskFile probe(container.Path);
    probe.Seek(5010);
    char a, b;
    sub.Read(&a, 1);
    probe.Read(&b, 1);
    EXPECT_EQ(a, b);
}

TEST(Gob2, RejectsOtherFiles) {
    TempDir dir;
    std::string bad = dir.write("bad.gob", std::string("GOBX") + std::string(12, '\0'));
    try {
        TGOB2Directory gob(bad);
        FAIL();
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()), bad + " is not a GOB 2.0 file");
    }
    try {
        TGOB2Directory gob(dir.file("absent.gob"));
        FAIL();
    } catch (const IOError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Cannot read " + dir.file("absent.gob") + ": there is no such file");
    }
}

TEST(Gob2, DamagedCountEndsInShortReadNotInAllocation) {
    TempDir dir;
    std::string gob = "GOB " + std::string(8, '\0');
    gob += std::string("\xFF\xFF\xFF\x7F", 4);
    gob += std::string(84, 'x'); // 100 bytes in all
    try {
        TGOB2Directory container(dir.write("huge.gob", gob));
        FAIL();
    } catch (const IOError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot read " + dir.file("huge.gob") +
                                             ": the file is cut short (it ends inside its data)");
    }
}

TEST(Gob2, NameOfExactly128CharactersHasNoTerminator) {
    TempDir dir;
    std::string longName(128, 'n');
    TGOB2Directory gob(dir.write("n.gob", BuildGob({{longName, "abc"}})));
    ASSERT_EQ(gob.FileList.size(), 1u);
    EXPECT_EQ(gob.FileList[0].name, longName);
    EXPECT_EQ(gob.FileList[0].info->Size, 3u);
}

TEST(Gob2, ChangedContainerIsReadAgainAndOldInfosAreRefused) {
    TempDir dir;
    std::string path = dir.write("c.gob", BuildGob({{"a.key", "1"}}));
    TGOB2Directory gob(path);
    auto listing = gob.ListFiles();
    ASSERT_EQ(listing.size(), 1u);
    std::shared_ptr<TFileInfo> old = listing[0].info;
    EXPECT_NO_THROW(gob.OpenFileByFI(old.get()));

    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    dir.write("c.gob", BuildGob({{"a.key", "1"}, {"b.key", "22"}}));
    try {
        gob.OpenFileByFI(old.get());
        FAIL();
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "File has be changed! reload.");
    }
    // Listing again reads the new directory; its entries open, the stale one does not.
    auto fresh = gob.ListFiles();
    ASSERT_EQ(fresh.size(), 2u);
    auto f = gob.OpenFileByFI(fresh[1].info.get());
    EXPECT_EQ(f->GetFullName(), path + ">b.key");
    try {
        gob.OpenFileByFI(old.get());
        FAIL();
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "OpenFileByFI: Cannot find file");
    }
}

TEST(Gob2, ManyEntriesAcrossReadChunks) {
    TempDir dir;
    std::vector<test::GobEntry> entries;
    for (int i = 0; i < 1500; ++i)
        entries.push_back({"mat\\m" + std::to_string(i) + ".mat", std::to_string(i)});
    TGOB2Directory gob(dir.write("big.gob", test::BuildGob(entries)));
    ASSERT_EQ(gob.FileList.size(), 1500u);
    auto f = gob.OpenFile("MAT\\M1234.MAT");
    EXPECT_EQ(ReadWhole(*f), "1234");
}
