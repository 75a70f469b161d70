// Recovery files without a window: the snapshot autosave writes from, and the folder's rules
// for naming, listing, removing and setting files aside.
#include <gtest/gtest.h>

#include <filesystem>

#include "edit/recovery.h"
#include "support/errors.h"
#include "fixtures/fixtures.h"

using namespace vorlin;

TEST(Recovery, ASnapshotWritesTheSameTextAsTheDocument) {
    // NODE numbers out of place, a fractional frame rate, markers: what the writer keeps.
    for (const char* kase : {"game/numbered_nodes", "game/fractional_fps", "key/roundtrip"}) {
        SCOPED_TRACE(kase);
        auto doc =
            TKEYFile::CreateFromFile(std::string(VORLIN_TEST_DATA) + "/" + kase + "/input.key");
        const TKeySnapshot snapshot = TKeySnapshot::Of(*doc);
        const std::string text = doc->ToText();
        doc->Nodes[0].Entries[0].X += 1; // the snapshot is a copy
        auto again = snapshot.Document();
        EXPECT_EQ(again->ToText(), text);
        EXPECT_EQ(again->FullName, doc->FullName);
    }
}

TEST(Recovery, TheFolderListsRemovesAndSetsAsideSessions) {
    test::TempDir dir;
    const TRecoveryFolder folder(dir.file("state/recovery"));
    EXPECT_TRUE(folder.Sessions().empty()); // no folder yet
    const std::string a = TRecoveryFolder::NewSession(41, 1000);
    const std::string b = TRecoveryFolder::NewSession(42, 1000);
    EXPECT_NE(a, b);
    const std::string good =
        test::ReadAll(std::string(VORLIN_TEST_DATA) + "/key/roundtrip/expected.key");
    folder.Write(a, good, "{}");
    folder.Write(b, "broken", "{}");
    folder.Write(b, "still broken", "{\"document\": \"\"}"); // replaced whole
    dir.write("state/recovery/" + b + ".lock", "42");
    dir.write("state/recovery/orphan.key", "x"); // a document whose record never came
    EXPECT_EQ(folder.Sessions(), (std::vector<std::string>{"orphan", a, b}));
    EXPECT_EQ(test::ReadAll(folder.KeyPath(b)), "still broken");

    EXPECT_EQ(
        folder.ReadKey(a)->Nodes.Count(),
        TKEYFile::CreateFromFile(std::string(VORLIN_TEST_DATA) + "/key/roundtrip/expected.key")
            ->Nodes.Count());
    EXPECT_THROW(folder.ReadKey(b), Error); // damaged: it reads with a warning

    const std::string moved = folder.SetAside(b);
    EXPECT_EQ(moved, dir.file("state/recovery/unreadable/" + b + ".key"));
    EXPECT_EQ(test::ReadAll(moved), "still broken");
    EXPECT_TRUE(std::filesystem::exists(dir.file("state/recovery/unreadable/" + b + ".json")));
    folder.Remove(a);
    EXPECT_EQ(folder.Sessions(), (std::vector<std::string>{"orphan"}));
    EXPECT_TRUE(std::filesystem::exists(folder.LockPath(b))); // a lock is its owner's
}

// A recovery file cut short anywhere is damaged, never recovered as the half it holds; one that
// lost only its closing blank line holds everything.
TEST(Recovery, ACutShortFileIsDamaged) {
    test::TempDir dir;
    const TRecoveryFolder folder(dir.file("recovery"));
    const std::string text =
        TKEYFile::CreateFromFile(std::string(VORLIN_SAMPLE_DIR) + "/3do/key/walk.key")->ToText();
    const size_t lastNode = text.rfind("NODE ");
    const size_t lastRates = text.rfind("\r\n", text.size() - 5) + 2;
    const struct {
        size_t size;
        bool whole;
    } cuts[] = {
        {text.size(), true},
        {text.size() - 2, true},
        {text.size() - 3, false},
        {lastRates, false},
        {lastNode, false},
        {text.size() / 2, false},
        {text.find("SECTION: KEYFRAME"), false},
    };
    for (const auto& cut : cuts) {
        SCOPED_TRACE(cut.size);
        folder.Write("s", text.substr(0, cut.size), "{}");
        if (cut.whole)
            EXPECT_EQ(folder.ReadKey("s")->Nodes.Count(), 11);
        else
            EXPECT_THROW(folder.ReadKey("s"), Error);
    }
}
