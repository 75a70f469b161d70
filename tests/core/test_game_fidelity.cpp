// KEY files as the game reads, binds and poses them. Each folder under tests/data/game holds a
// KEY, perhaps the model it animates, and what vorlin-cli must print of it: check.json (Check
// KEY, with the model when there is one), dump.json, pose-F.json (the pose at frame F), and
// what saving it must write (expected.key). VORLIN_UPDATE_GOLDEN=1 writes the outputs anew.
#include <gtest/gtest.h>

#include <filesystem>

#include "key/key_check.h"
#include "fixtures/fixtures.h"

using namespace vorlin;
namespace fs = std::filesystem;

TEST(GameFidelity, GoldenCases) {
    const bool update = std::getenv("VORLIN_UPDATE_GOLDEN") != nullptr;
    int cases = 0;
    for (const auto& folder : fs::directory_iterator(VORLIN_TEST_DATA "/game")) {
        const fs::path dir = folder.path();
        SCOPED_TRACE(dir.filename().string());
        const bool model = fs::exists(dir / "model.3do");
        // The tool runs in the folder, so the names it prints are the folder's own.
        auto run = [&](const std::string& args) {
            return test::RunCommand("cd " + test::ShellQuote(dir.string()) + " && " +
                                    test::ShellQuote(VORLIN_CLI) + " " + args)
                .out;
        };
        auto compare = [&](const fs::path& expected, const std::string& actual) {
            if (update) test::WriteAll(expected.string(), actual);
            EXPECT_EQ(actual, test::ReadAll(expected.string())) << expected.filename();
        };
        compare(dir / "check.json",
                run(std::string("key check input.key") + (model ? " --model model.3do" : "")));
        for (const auto& file : fs::directory_iterator(dir)) {
            const std::string name = file.path().filename().string();
            if (name == "dump.json") compare(file.path(), run("key dump input.key"));
            if (name.rfind("pose-", 0) == 0)
                compare(file.path(),
                        run("pose model.3do input.key " + name.substr(5, name.size() - 10)));
        }
        if (fs::exists(dir / "expected.key")) {
            test::TempDir temp;
            const std::string copy =
                temp.write("input.key", test::ReadAll((dir / "input.key").string()));
            TKEYFile::CreateFromFile(copy)->SaveToFile(copy);
            compare(dir / "expected.key", test::ReadAll(copy));
        }
        ++cases;
    }
    EXPECT_GE(cases, 5);
}
