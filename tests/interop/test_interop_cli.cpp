// vorlin-cli export and import run as processes: their reports, and bad input as one line with
// status 1 and no file written.
#include <gtest/gtest.h>

#include <filesystem>

#include "interop_helpers.h"
#include "fixtures/fixtures.h"

namespace vorlin {
namespace {

using test::ShellQuote;

test::RunResult Cli(const std::string& args) {
    return test::RunCommand(std::string(VORLIN_CLI) + " " + args);
}

TEST(InteropCli, ExportThenImportBack) {
    test::TempDir dir;
    const std::string model = ShellQuote(test::SamplePath("3do/sample.3do"));
    const std::string glb = dir.file("sample.glb");
    auto r = Cli("export " + model + " " + ShellQuote(test::SamplePath("3do/key/walk.key")) + " " +
                 ShellQuote(test::SamplePath("3do/key/jump.key")) + " --out " + ShellQuote(glb));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\"animations\""), std::string::npos);
    EXPECT_TRUE(std::filesystem::file_size(glb) > 1000);
    // The same from inside the container, as a .gltf with its data inside.
    const std::string gob = test::SamplePath("sample.gob");
    r = Cli("export " + ShellQuote(gob + ">3do\\sample.3do") + " " +
            ShellQuote(gob + ">3do\\key\\walk.key") + " --out " + ShellQuote(dir.file("s.gltf")));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");

    const std::string key = dir.file("walk_back.key");
    r = Cli("import " + ShellQuote(glb) + " --anim walk --model " + model + " --out " +
            ShellQuote(key));
    ASSERT_EQ(r.status, 0) << r.err;
    for (const char* field :
         {"\"keys\"", "\"largestError\"", "\"pairs\"", "\"unmappedNodes\": [", "\"unusedBones\""})
        EXPECT_NE(r.out.find(field), std::string::npos) << field;
    r = Cli("key check " + ShellQuote(key) + " --model " + model);
    EXPECT_EQ(r.status, 0) << r.out;
    // Another character's KEY, with a map that leaves the head at rest.
    const std::string map = dir.write("map.json", "{\"head\": null}");
    r = Cli("import " + ShellQuote(test::SamplePath("3do/key/jump.key")) + " --source-model " +
            model + " --model " + model + " --map " + ShellQuote(map) +
            " --root inplace --fps 10 --out " + ShellQuote(dir.file("jump10.key")));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\"unmappedNodes\": [\n        \"HEAD\""), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"fps\": 10"), std::string::npos);
}

TEST(InteropCli, BadInputIsOneLineStatusOneAndNoFile) {
    test::TempDir dir;
    const std::string model = ShellQuote(test::SamplePath("3do/sample.3do"));
    const std::string words = dir.write("words.bvh", "not a capture\n");
    const std::string strange =
        dir.write("strange.bvh", test::BvhText({{"Foo", -1, 0, 0, 0}, {"", 0, 0, 1, 0, true}},
                                               {{0, 0, 0, 0, 0, 0}}, 0.1));
    const std::string noNodes = dir.write("empty.3do", "SECTION: MODELRESOURCE\nMATERIALS 0\n");
    const std::string still = dir.file("still.glb");
    ASSERT_EQ(Cli("export " + model + " --out " + ShellQuote(still)).status, 0);
    const std::string badMap = dir.write("bad.json", "[1, 2]");
    const std::string zeroFps = dir.write("zero.key", "SECTION: HEADER\nFLAGS 0\nTYPE 0\n"
                                                      "FRAMES 10\nFPS 0\nJOINTS 1\n");
    struct Case {
        const char* name;
        std::string args;
        std::string message;
        int status = 1;
    };
    const std::string out = dir.file("out.key");
    const Case cases[] = {
        {"not motion", "import " + ShellQuote(words) + " --model " + model,
         words + " is not a motion file that can be read"},
        {"no animation", "import " + ShellQuote(still) + " --model " + model,
         still + " has no animation"},
        {"nothing mapped", "import " + ShellQuote(strange) + " --model " + model,
         "No bone of " + strange},
        {"no nodes", "import " + ShellQuote(strange) + " --model " + ShellQuote(noNodes),
         "has no hierarchy nodes to move"},
        {"bad map",
         "import " + ShellQuote(strange) + " --model " + model + " --map " + ShellQuote(badMap),
         "is not a JSON object of model node names to bone names"},
        {"map names",
         "import " + ShellQuote(strange) + " --model " + model + " --map " +
             ShellQuote(dir.write("wing.json", "{\"wing\": \"Foo\"}")),
         "The model has no node wing"},
        {"key without model", "import " + ShellQuote(zeroFps) + " --model " + model,
         "needs --source-model", 2},
        {"key without fps",
         "import " + ShellQuote(zeroFps) + " --source-model " + model + " --model " + model,
         "the KEY's FPS is not above 0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto r = Cli(c.args + " --out " + ShellQuote(out));
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        if (c.status == 1) {
            // One error line, the last (warnings about what was read may come before it).
            const size_t at = r.err.find("Error: ");
            EXPECT_NE(at, std::string::npos) << r.err;
            EXPECT_TRUE(at == 0 || r.err[at - 1] == '\n') << r.err;
            EXPECT_EQ(r.err.find('\n', at), r.err.size() - 1) << r.err;
        }
        EXPECT_FALSE(std::filesystem::exists(out));
    }
    // Export: a KEY without FPS, an output that cannot be written.
    const std::string glb = dir.file("x.glb");
    auto r = Cli("export " + model + " " + ShellQuote(zeroFps) + " --out " + ShellQuote(glb));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("cannot be exported: its FPS is not above 0"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(glb));
    r = Cli("export " + model + " --out " + ShellQuote(dir.file("no/such/folder/x.glb")));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.rfind("Error: ", 0), 0u) << r.err;
}

} // namespace
} // namespace vorlin
