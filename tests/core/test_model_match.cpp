// Files handed to the editor are told apart by what they are, and a KEY opened on its own finds
// the model it was made for: by the pair remembered, else by the names its nodes bind to.
#include <gtest/gtest.h>

#include "edit/model_match.h"
#include "model/u_3dos.h"
#include "support/errors.h"
#include "fixtures/fixtures.h"

using namespace vorlin;

namespace {

const std::string kSample = VORLIN_SAMPLE_DIR;

} // namespace

TEST(ModelMatch, FilesAreKnownByExtensionThenContent) {
    test::TempDir dir;
    const std::string walk = test::ReadAll(kSample + "/3do/key/walk.key");
    const std::string model = test::ReadAll(kSample + "/3do/sample.3do");
    const struct {
        std::string name, bytes;
        TFileKind kind;
    } cases[] = {
        {"a.KEY", "anything", TFileKind::Key},
        {"b.3do", "", TFileKind::Model},
        {"c.cmp", "", TFileKind::ColourMap},
        {"walk.txt", walk, TFileKind::Key},
        {"model", model, TFileKind::Model},
        {"lower", "section: header\nframes 3\n", TFileKind::Key},
        {"notes.txt", "SECTION is a word\n", TFileKind::Unknown},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(DetectFileKind(dir.write(c.name, c.bytes)), c.kind);
    }
    EXPECT_EQ(DetectFileKind(dir.file("missing")), TFileKind::Unknown);
    EXPECT_EQ(DetectFileKind(kSample + "/sample.gob>3do\\sample.3do"), TFileKind::Model);
    // The model reader refuses a KEY rather than showing an empty model.
    try {
        T3DO wrong(dir.write("walk.3do", walk));
        FAIL() << "a KEY was read as a model";
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()), "walk.3do is not a 3DO model: it has none of a model's "
                                         "sections (MODELRESOURCE, GEOMETRYDEF, HIERARCHYDEF)");
    }
}

// The sample's walk, kept as the game keeps it (3do/key/walk.key beside 3do/sample.3do), finds
// its model among others; a model whose names bind fewer than half the nodes is no match.
TEST(ModelMatch, AKeyFindsTheModelItsNodesBindTo) {
    test::TempDir dir;
    const std::string key =
        dir.write("game/3do/key/walk.key", test::ReadAll(kSample + "/3do/key/walk.key"));
    const std::string sample =
        dir.write("game/3do/sample.3do", test::ReadAll(kSample + "/3do/sample.3do"));
    dir.write("game/3do/other.3do", test::ReadAll(VORLIN_TEST_DATA "/3do/single_geoset/model.3do"));
    dir.write("game/3do/key/notes.txt", "x");
    auto doc = TKEYFile::CreateFromFile(key);

    const std::vector<std::string> names = ModelNodeNames(sample);
    ASSERT_EQ(names.size(), 11u);
    EXPECT_EQ(ModelMatchScore(*doc, names), 11);
    const std::vector<std::string> candidates = ModelCandidates(key, {kSample + "/sample.gob"});
    ASSERT_EQ(candidates.size(), 3u);
    EXPECT_EQ(candidates[0], dir.file("game/3do/other.3do"));
    EXPECT_EQ(candidates[2], kSample + "/sample.gob>3do\\sample.3do");
    auto best = BestModel(*doc, candidates);
    ASSERT_TRUE(best);
    EXPECT_EQ(best->Path, sample); // the folder's before the container's, at a tie
    EXPECT_EQ(best->Score, 11);

    // Half the names renamed: still the model; more than half: none.
    for (int k = 0; k < 6; ++k)
        doc->Nodes[k].MeshName = "X" + std::to_string(k);
    EXPECT_FALSE(BestModel(*doc, candidates));
    doc->Nodes[5].MeshName = names[size_t(doc->Joint(5))];
    EXPECT_TRUE(BestModel(*doc, candidates));

    std::vector<std::string> pairs;
    RememberModel(pairs, "/a.key", "/m.3do", 2);
    RememberModel(pairs, "/b.key", "/n.3do", 2);
    RememberModel(pairs, "/a.key", "/o.3do", 2);
    RememberModel(pairs, "/c.key", "/p.3do", 2);
    EXPECT_EQ(pairs, (std::vector<std::string>{"/c.key\t/p.3do", "/a.key\t/o.3do"}));
    EXPECT_EQ(RememberedModel(pairs, "/a.key"), "/o.3do");
    EXPECT_EQ(RememberedModel(pairs, "/b.key"), "");
}
