#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "key/u_key.h"
#include "settings/GlobalVars.h"
#include "support/Containers.h"
#include "support/FileOperations.h"
#include "fixtures/fixtures.h"

using namespace vorlin;
using test::TempDir;
namespace fs = std::filesystem;

namespace {

class Key : public testing::Test {
protected:
    void SetUp() override {
        AssignDefaults();
        ProjectDir.clear();
        ClearContainerCache();
    }
    void TearDown() override { AssignDefaults(); }
    TempDir dir;
};

// A node's entries at the given frames, with X (and optionally Yaw) values.
TKEYNode& AddNode(TKEYFile& doc, const std::string& name,
                  const std::vector<std::pair<int, double>>& frameX) {
    TKEYNode& node = doc.Nodes.Add();
    node.MeshName = name;
    for (auto [frame, x] : frameX) {
        TKEYEntry& e = node.Entries.Add();
        e.Frame = frame;
        e.X = x;
    }
    return node;
}

} // namespace

// Every folder under tests/data/key holds input.key and what saving it must write.
TEST_F(Key, GoldenCases) {
    int cases = 0;
    for (const auto& entry : fs::directory_iterator(VORLIN_TEST_DATA "/key")) {
        SCOPED_TRACE(entry.path().filename().string());
        std::string input = (entry.path() / "input.key").string();
        test::RecordingSink sink;
        auto doc = TKEYFile::CreateFromFile(input);
        EXPECT_TRUE(sink.warnings().empty());
        EXPECT_EQ(doc->Name, "input.key");
        EXPECT_EQ(doc->FullName, input);
        std::string out = dir.file("input.key");
        doc->SaveToFile(out);
        EXPECT_EQ(test::ReadAll(out), test::ReadAll((entry.path() / "expected.key").string()));
        ++cases;
    }
    EXPECT_GE(cases, 7);
}

TEST_F(Key, NewDocumentSavedAtOnce) {
    Settings.DEFAULT_FRAMERATE = 24;
    TKEYFile doc;
    EXPECT_EQ(doc.FPS, 24);
    std::string path = dir.file("new.key");
    doc.SaveToFile(path);
    EXPECT_EQ(test::ReadAll(path), "# KEYFRAME Untitled.key created by Vorlin 0.6\r\n"
                                   "\r\n"
                                   "###############\r\n"
                                   "SECTION: HEADER\r\n"
                                   "\r\n"
                                   "FLAGS  0x0000\r\n"
                                   "TYPE   0xFFFF\r\n"
                                   "FRAMES 0\r\n"
                                   "FPS    24\r\n"
                                   "JOINTS 0\r\n"
                                   "\r\n"
                                   "\r\n"
                                   "###############\r\n"
                                   "SECTION: KEYFRAME NODES\r\n"
                                   "\r\n"
                                   "NODES 0\r\n"
                                   "\r\n");
}

TEST_F(Key, EntryLineLayout) {
    TKEYFile doc;
    TKEYNode& node = AddNode(doc, "A", {{10, 0.5}});
    node.Entries[0].Flags = 3;
    node.Entries[0].DX = -0.125;
    std::string text = doc.ToText();
    EXPECT_NE(text.find("\r\n   0:       10   0x0003   0.50000000   0.00000000"),
              std::string::npos);
    EXPECT_NE(text.find("\r\n" + std::string(25, ' ') + "-0.12500000   0.00000000"),
              std::string::npos);
}

TEST_F(Key, WritesTheSameBytesUnderADecimalCommaLocale) {
    std::string input = VORLIN_TEST_DATA "/key/roundtrip/input.key";
    test::CommaLocale comma;
    ASSERT_TRUE(comma.ok()) << "de_DE.UTF-8 is missing: run scripts/setup.sh";
    auto doc = TKEYFile::CreateFromFile(input);
    EXPECT_EQ(doc->Nodes[0].Entries[0].X, 0.5);
    std::string out = dir.file("input.key");
    doc->SaveToFile(out);
    EXPECT_EQ(test::ReadAll(out), test::ReadAll(input));
}

TEST_F(Key, ReadsFromContainersAndByBareName) {
    std::string text = test::ReadAll(VORLIN_TEST_DATA "/key/roundtrip/input.key");
    std::string gob = dir.write("res2.gob", test::BuildGob({{"3do\\key\\kywalk.key", text}}));
    auto doc = TKEYFile::CreateFromFile(gob + ">3do\\key\\kywalk.key");
    EXPECT_EQ(doc->Name, "kywalk.key");
    EXPECT_EQ(doc->Nodes.Count(), 3);
    Settings.JKGOB = gob;
    // Named bare, it is the file the search found: that is what Save would replace.
    auto found = TKEYFile::CreateFromFile("KYWALK.KEY");
    EXPECT_EQ(found->FullName, gob + ">3do\\key\\KYWALK.KEY");
    EXPECT_EQ(found->Name, "KYWALK.KEY");
    EXPECT_EQ(found->Nodes[1].MeshName, "KYTORSO");
    EXPECT_THROW(TKEYFile::CreateFromFile("nowhere.key"), Error);
    EXPECT_THROW(TKEYFile::CreateFromFile(dir.file("missing.key")), IOError);
}

TEST_F(Key, ShortContainerEntryEndsTheTextEarly) {
    // The directory says the stored file is longer than the container: the read fails midway.
    std::string text =
        "SECTION: HEADER\nFRAMES 7\nFPS 30\n" + std::string(9000, ' ') + "\nJOINTS 4\n";
    std::string gob = test::BuildGob({{"a.key", text}});
    gob.resize(gob.size() - 20);
    std::string path = dir.write("cut.gob", gob);
    test::RecordingSink sink;
    auto doc = TKEYFile::CreateFromFile(path + ">a.key");
    EXPECT_EQ(doc->Frames, 7);
    EXPECT_EQ(doc->FPS, 30);
    EXPECT_EQ(doc->Joints, 0);
    EXPECT_EQ(sink.warnings().size(), 0u); // a short source simply ends the text early
}

TEST_F(Key, ListsCheckTheirIndexes) {
    TKEYFile doc;
    AddNode(doc, "A", {{0, 0}});
    try {
        doc.Nodes[0].Entries[5];
        FAIL();
    } catch (const ListError& e) {
        EXPECT_STREQ(e.what(), "KEY Entry Index is out of bounds: 5");
    }
    try {
        doc.Nodes[-1];
        FAIL();
    } catch (const ListError& e) {
        EXPECT_STREQ(e.what(), "KEY Node Index is out of bounds: -1");
    }
    EXPECT_THROW(doc.Markers[0], ListError);
    // An entry removed from its node stays valid for whoever holds it.
    std::shared_ptr<TKEYEntry> held = doc.Nodes[0].Entries.Get(0);
    doc.Nodes[0].Entries.Delete(0);
    doc.Nodes.Delete(0);
    held->X = 3;
    EXPECT_EQ(held->X, 3);
}

TEST_F(Key, SaveFailsCleanlyAndKeepsTheOldFile) {
    std::string path = dir.write("locked/old.key", "old contents");
    ::chmod(path.c_str(), 0666); // the file could be written; its folder cannot
    ::chmod(dir.file("locked").c_str(), 0555);
    // And a protected file in a folder anyone may write: renaming over it would succeed, yet
    // the user may not change that file.
    std::string protectedFile = dir.write("open/ro.key", "old contents");
    ::chmod(dir.file("open").c_str(), 0777);
    ::chmod(protectedFile.c_str(), 0444);
    TKEYFile doc;
    // The refusal comes from the system's permissions, which do not bind root: run the save as
    // an ordinary user then.
    auto attemptOne = [&](const std::string& target) -> int {
        try {
            doc.SaveToFile(target);
            return 1;
        } catch (const IOError& e) {
            if (std::string(e.what()).find(": permission denied") == std::string::npos &&
                std::string(e.what()).find(": no permission to create files in ") ==
                    std::string::npos)
                return 2;
        }
        return test::ReadAll(target) == "old contents" ? 0 : 3;
    };
    auto attempt = [&]() -> int {
        int r = attemptOne(path);
        return r ? r : attemptOne(protectedFile) * 10;
    };
    if (::geteuid() != 0) {
        EXPECT_EQ(attempt(), 0);
    } else {
        pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(4);
            ::_exit(attempt());
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0); // 1 saved, 2 another message, 3 old file damaged
    }
    EXPECT_EQ(test::ReadAll(path), "old contents");
    EXPECT_EQ(test::ReadAll(protectedFile), "old contents");
    // Into a folder that does not exist.
    try {
        doc.SaveToFile(dir.file("no/such/folder/x.key"));
        FAIL();
    } catch (const IOError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot write " + dir.file("no/such/folder/x.key") +
                                             ": the folder " + dir.file("no/such/folder/") +
                                             " does not exist");
    }
    // Onto a folder.
    fs::create_directories(dir.file("adir.key"));
    EXPECT_THROW(doc.SaveToFile(dir.file("adir.key")), IOError);
    EXPECT_THROW(doc.SaveToFile(dir.file("c.gob") + ">x.key"), Error);
}

TEST_F(Key, ReplacedFileKeepsItsPermissionsAndLinks) {
    std::string path = dir.write("perm.key", "old");
    ::chmod(path.c_str(), 0640);
    TKEYFile doc;
    doc.SaveToFile(path);
    struct stat st;
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_NE(test::ReadAll(path), "old");

    std::string target = dir.write("real.key", "old");
    fs::create_symlink(target, dir.file("link.key"));
    doc.SaveToFile(dir.file("link.key"));
    EXPECT_TRUE(fs::is_symlink(dir.file("link.key")));
    EXPECT_EQ(test::ReadAll(target), doc.ToText());
    // No temporary files are left behind.
    int files = 0;
    for (const auto& e : fs::directory_iterator(dir.path())) {
        (void)e;
        ++files;
    }
    EXPECT_EQ(files, 3);
}

TEST_F(Key, HugeCountsAreReadInTheTimeTheirBytesTake) {
    std::string path =
        dir.write("huge.key", "SECTION: MARKERS\nMARKERS 2000000000\n1 1\n"
                              "SECTION: KEYFRAME NODES\nNODES 1\nNODE 0\n"
                              "MESH NAME X\nENTRIES 2000000000\n0: 1 0x0 1 1 1 1 1 1\n");
    auto doc = TKEYFile::CreateFromFile(path);
    // The markers run swallowed the following lines as markers, as the format has it.
    EXPECT_EQ(doc->Markers.Count(), 7);
    EXPECT_EQ(doc->Nodes.Count(), 0);
}

// ---- rates ----

TEST_F(Key, RatesTowardsTheNextEntry) {
    TKEYFile doc;
    AddNode(doc, "A", {{0, 0}, {10, 5}});
    doc.UpdateEntry(0, 1);
    EXPECT_EQ(doc.Nodes[0].Entries[0].DX, 0.5);
    EXPECT_EQ(doc.Nodes[0].Entries[0].Flags, 1);
}

TEST_F(Key, LoopingAndPlayOnceYaw) {
    for (uint32_t flags : {3u, 0u}) {
        TKEYFile doc;
        doc.Flags = flags;
        doc.Frames = 20;
        TKEYNode& node = AddNode(doc, "A", {{0, 0}, {10, 0}});
        node.Entries[0].Yaw = 350;
        node.Entries[1].Yaw = 10;
        node.Entries[1].Flags = 7;
        doc.UpdateEntry(0, 0);
        doc.UpdateEntry(0, 1);
        EXPECT_EQ(node.Entries[0].DYaw, 2);
        EXPECT_EQ(node.Entries[0].Flags, 2);
        if (flags) {
            EXPECT_EQ(node.Entries[1].DYaw, -2);
            EXPECT_EQ(node.Entries[1].Flags, 2);
        } else {
            EXPECT_EQ(node.Entries[1].DYaw, 0);
            EXPECT_EQ(node.Entries[1].Flags, 7); // no successor: flags as they were
        }
    }
}

TEST_F(Key, EqualFramesAndSingleEntries) {
    TKEYFile doc;
    AddNode(doc, "A", {{5, 0}, {5, 3}});
    doc.ComputeRates(0, 0);
    EXPECT_EQ(doc.Nodes[0].Entries[0].DX, 0);
    EXPECT_EQ(doc.Nodes[0].Entries[0].Flags, 0);

    TKEYFile loop;
    loop.Flags = 3;
    loop.Frames = 30;
    TKEYNode& one = AddNode(loop, "B", {{0, 4}});
    one.Entries[0].Flags = 3;
    loop.RecalcAll();
    EXPECT_EQ(one.Entries[0].DX, 0);
    EXPECT_EQ(one.Entries[0].Flags, 0);
}

TEST_F(Key, ValuesAreRoundedButRatesAreNot) {
    TKEYFile doc;
    TKEYNode& node = AddNode(doc, "A", {{0, 0.123456789}, {3, 1.123456789}});
    doc.ComputeRates(0, 0);
    EXPECT_EQ(node.Entries[0].X, 0.12345679);
    EXPECT_DOUBLE_EQ(node.Entries[0].DX, 1.0 / 3.0);
    EXPECT_EQ(node.Entries[1].X, 1.123456789); // not touched
}

TEST_F(Key, AppendAndInsert) {
    TKEYFile doc;
    doc.Frames = 101;
    AddNode(doc, "A", {{100, 2}});
    doc.AppendEntry(0);
    EXPECT_EQ(doc.Nodes[0].Entries[1].Frame, 110);
    EXPECT_EQ(doc.Nodes[0].Entries[1].X, 2);
    EXPECT_EQ(doc.Frames, 111);

    TKEYFile ins;
    ins.Frames = 21;
    AddNode(ins, "A", {{0, 1}, {10, 2}, {20, 3}});
    ins.InsertEntry(0, 0);
    const TKEYEntries& e = ins.Nodes[0].Entries;
    ASSERT_EQ(e.Count(), 4);
    std::vector<int> frames;
    std::vector<double> xs;
    for (const auto& p : e) {
        frames.push_back(p->Frame);
        xs.push_back(p->X);
    }
    EXPECT_EQ(frames, (std::vector<int>{0, 10, 20, 30}));
    EXPECT_EQ(xs, (std::vector<double>{1, 1, 2, 3}));
    EXPECT_EQ(e[0].DX, 0);
    EXPECT_EQ(e[1].DX, 0.1);
    EXPECT_EQ(ins.Frames, 31);

    TKEYFile empty;
    AddNode(empty, "A", {});
    try {
        empty.AppendEntry(0);
        FAIL();
    } catch (const ListError& err) {
        EXPECT_STREQ(err.what(), "KEY Entry Index is out of bounds: -1");
    }
}

TEST_F(Key, IsModified) {
    TKEYFile fresh;
    EXPECT_TRUE(fresh.IsModified());
    std::string path =
        dir.write("m.key", test::ReadAll(VORLIN_TEST_DATA "/key/roundtrip/input.key"));
    auto doc = TKEYFile::CreateFromFile(path);
    // The file's first line names input.key, yet the document compares with its own file.
    EXPECT_FALSE(doc->IsModified());
    doc->Nodes[0].Entries[1].Yaw = 1;
    EXPECT_TRUE(doc->IsModified());
    doc->Nodes[0].Entries[1].Yaw = 0;
    doc->Markers[0].MarkerType = 9;
    EXPECT_TRUE(doc->IsModified());
    fs::remove(path);
    EXPECT_THROW(doc->IsModified(), IOError);
}

// ---- extreme numbers and damaged names ----

TEST_F(Key, FramesFarApartAreMeasuredWithoutOverflow) {
    TKEYFile doc;
    TKEYNode& node = AddNode(doc, "A", {{INT32_MIN, 0}});
    node.Entries[0].DX = 1;
    node.Entries[0].Flags = 1;
    EXPECT_DOUBLE_EQ(doc.EvaluateNode(0, 100).X, 100.0 + 2147483648.0);
    // Appending near the last frame there is: the new entry stops on it; after an entry on it
    // no entry can come (it would share that frame), and the document stays as it was.
    doc.Frames = INT32_MAX;
    node.Entries[0].Frame = INT32_MAX - 3;
    doc.AppendEntry(0);
    EXPECT_EQ(node.Entries[1].Frame, INT32_MAX);
    EXPECT_EQ(doc.Frames, INT32_MAX);
    const std::string before = doc.ToText();
    EXPECT_THROW(doc.InsertEntry(0, 1), Error);
    EXPECT_THROW(doc.AppendEntry(0), Error);
    EXPECT_EQ(node.Entries.Count(), 2);
    EXPECT_EQ(doc.ToText(), before);
}

TEST_F(Key, ANameEndsAtItsFirstControlCharacter) {
    // A zero byte makes the line run on into the following lines; the name must not.
    std::string text = "SECTION: KEYFRAME NODES\nNODES 2\nNODE 0\nMESH NAME ARM";
    text += '\0';
    text += "\nENTRIES 1\n0: 0 0x0 1 0 0 0 0 0\n0 0 0 0 0 0\nNODE 1\nMESH NAME LEG\nENTRIES 0\n";
    std::string path = dir.write("zero.key", text);
    auto doc = TKEYFile::CreateFromFile(path);
    ASSERT_GE(doc->Nodes.Count(), 1);
    EXPECT_EQ(doc->Nodes[0].MeshName, "ARM");
    for (const auto& node : doc->Nodes)
        for (char c : node->MeshName)
            EXPECT_GE(static_cast<unsigned char>(c), 0x20);
    // What is saved reads back as the document.
    std::string saved = dir.file("saved.key");
    doc->Joints = 2;
    doc->Name = "saved.key";
    doc->FullName = saved;
    doc->SaveToFile(saved);
    EXPECT_FALSE(doc->IsModified());
}

TEST_F(Key, ValuesThatCannotBeReadBackAreNotSaved) {
    TKEYFile doc;
    doc.Joints = 2;
    AddNode(doc, "A", {{0, 1}});
    AddNode(doc, "TORSO", {{0, 1}, {5, 2}});
    const std::string path = dir.write("keep.key", "the old file");
    doc.Nodes[1].Entries[1].Yaw = 1e90;
    try {
        doc.SaveToFile(path);
        FAIL() << "a value of 1e90 was written";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "Cannot save entry 1 of node 1 (TORSO): its Yaw 1e+90 cannot be "
                               "written as a number that reads back");
    }
    EXPECT_EQ(test::ReadAll(path), "the old file");
    doc.Nodes[1].Entries[1].Yaw = 1e80; // long, but within the reader's word
    doc.Nodes[0].Entries[0].DX = std::numeric_limits<double>::infinity();
    EXPECT_THROW(doc.SaveToFile(path), Error);
    doc.Nodes[0].Entries[0].DX = 0;
    doc.Markers.Add().Frame = -1e95;
    EXPECT_THROW(doc.SaveToFile(path), Error);
    doc.Markers.Clear();
    // Names the game would not read as one word, and a frame rate that is not a number.
    const std::pair<std::string, std::string> names[] = {
        {"", "Cannot save node 0: its mesh name is empty, and the game refuses a node without one"},
        {"L ARM", "Cannot save node 0 (L ARM): its mesh name holds a blank, where the game's "
                  "reading of the name ends"},
        {"L\tARM", "Cannot save node 0 (L\tARM): its mesh name holds a blank, where the game's "
                   "reading of the name ends"}};
    for (const auto& [name, message] : names) {
        doc.Nodes[0].MeshName = name;
        try {
            doc.SaveToFile(path);
            ADD_FAILURE() << "saved the name '" << name << "'";
        } catch (const Error& e) {
            EXPECT_EQ(e.what(), message);
        }
    }
    doc.Nodes[0].MeshName = "A";
    doc.FPS = std::numeric_limits<double>::quiet_NaN();
    EXPECT_THROW(doc.SaveToFile(path), Error);
    EXPECT_EQ(test::ReadAll(path), "the old file");
    doc.FPS = 15;
    doc.Name = "keep.key";
    doc.FullName = path;
    doc.SaveToFile(path);
    EXPECT_EQ(TKEYFile::CreateFromFile(path)->Nodes[1].Entries[1].Yaw, 1e80);
}

// What opens as a KEY: a text with a markers or nodes section, or a header giving one of its
// values (whatever the first section is called, as the game reads it). Anything else (a model,
// random bytes, an empty file, another program's .key) is refused, saying so, rather than
// opened as an empty document that Save would write over the file.
TEST_F(Key, OnlyAKeyOpensAsOne) {
    std::string random(4096, '\0');
    uint32_t x = 88172645u;
    for (char& c : random) {
        x ^= x << 13, x ^= x >> 17, x ^= x << 5;
        c = char(x);
    }
    const struct {
        const char* name;
        std::string text;
        bool key;
    } cases[] = {
        {"empty", "", false},
        {"random bytes", random, false},
        {"a model", test::ReadAll(std::string(VORLIN_SAMPLE_DIR) + "/3do/sample.3do"), false},
        {"a PGP key", "-----BEGIN PGP PUBLIC KEY BLOCK-----\nmQINBF\n", false},
        {"a model's header alone", "SECTION: HEADER\n3DO 2.1\n", false},
        {"unknown sections", "SECTION: COLORMAPS\nX 1\nSECTION: FOO\n", false},
        {"a header", "SECTION: HEADER\nFRAMES 30\n", true},
        {"a misnamed header", "SECTION: HEADR\nFPS 15\n", true},
        {"markers only", "SECTION: MARKERS\nMARKERS 0\n", true},
        {"nodes only", "SECTION: KEYFRAME NODES\nNODES 0\n", true},
        {"cut short in the nodes", "SECTION: KEYFRAME NODES\nNODES 3\nNODE 0\n", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.write("x.key", c.text);
        if (c.key) {
            EXPECT_NO_THROW(TKEYFile::CreateFromFile(path));
            continue;
        }
        try {
            TKEYFile::CreateFromFile(path);
            ADD_FAILURE() << "opened as a KEY";
        } catch (const Error& e) {
            EXPECT_EQ(std::string(e.what()).rfind("x.key is not a KEY animation", 0), 0u)
                << e.what();
        }
    }
}
