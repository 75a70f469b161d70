// The checker of a KEY against the game's rules and the model: one golden folder per rule,
// the sample clean, and the command line's report.
#include <gtest/gtest.h>

#include <filesystem>

#include "key/key_check.h"
#include "model/u_3dos.h"
#include "settings/GlobalVars.h"
#include "fixtures/fixtures.h"

using namespace vorlin;
namespace fs = std::filesystem;

namespace {

std::string Report(const std::vector<TFinding>& findings, const TKEYFile& doc) {
    std::string out;
    for (const TFinding& f : findings)
        out += std::string(SeverityText(f.Severity)) + "\t" + WhereText(f, doc) + "\t" + f.Message +
               "\n";
    return out;
}

} // namespace

// Every folder under tests/data/check holds input.key, perhaps model.3do, and the findings of
// the file as the game reads it and of its document (VORLIN_UPDATE_GOLDEN=1 writes them anew).
TEST(KeyCheck, GoldenCases) {
    int cases = 0;
    for (const auto& entry : fs::directory_iterator(VORLIN_TEST_DATA "/check")) {
        SCOPED_TRACE(entry.path().filename().string());
        test::RecordingSink sink;
        const std::string input = (entry.path() / "input.key").string();
        auto doc = TKEYFile::CreateFromFile(input);
        const std::string text = ReadKeyText(input);
        std::unique_ptr<T3DO> model;
        if (fs::exists(entry.path() / "model.3do"))
            model = std::make_unique<T3DO>((entry.path() / "model.3do").string());
        const std::string report = Report(CheckKey(*doc, model.get(), &text), *doc);
        const std::string expected = (entry.path() / "expected.txt").string();
        if (std::getenv("VORLIN_UPDATE_GOLDEN")) test::WriteAll(expected, report);
        EXPECT_EQ(report, test::ReadAll(expected));
        EXPECT_TRUE(sink.warnings().empty());
        ++cases;
    }
    EXPECT_GE(cases, 9);
}

TEST(KeyCheck, TheSampleIsClean) {
    test::RecordingSink sink;
    T3DO model(VORLIN_SAMPLE_DIR "/3do/sample.3do");
    for (const char* key : {"walk.key", "jump.key"}) {
        auto doc = TKEYFile::CreateFromFile(std::string(VORLIN_SAMPLE_DIR "/3do/key/") + key);
        EXPECT_EQ(Report(CheckKey(*doc, &model), *doc), "") << key;
    }
}

TEST(KeyCheck, RecalculatingFixesStaleRatesAndOnlyThem) {
    auto doc = TKEYFile::CreateFromFile(VORLIN_TEST_DATA "/check/stale_rates/input.key");
    doc->RecalcAll();
    EXPECT_EQ(Report(CheckKey(*doc), *doc), "");
    // A rate off by no more than the file's eight decimals is not stale.
    doc->Nodes[0].Entries[0].DX += 4e-9;
    EXPECT_TRUE(CheckKey(*doc).empty());
}

TEST(KeyCheck, LoadLinesAreLimited) {
    TKEYFile doc;
    std::vector<TFinding> many(23, TFinding{TSeverity::Warning, "m", -1, -1, -1});
    std::vector<std::string> lines = FindingLines(many, doc, 20);
    ASSERT_EQ(lines.size(), 21u);
    EXPECT_EQ(lines[0], "header: m");
    EXPECT_EQ(lines[20], "... and 3 more");
}

TEST(KeyCheck, CommandLineReport) {
    const std::string cli = VORLIN_CLI;
    const std::string data = VORLIN_TEST_DATA "/check/";
    auto r =
        test::RunCommand(cli + " key check " + test::ShellQuote(data + "model_match/input.key") +
                         " --model " + test::ShellQuote(data + "model_match/model.3do"));
    EXPECT_EQ(r.status, 0); // warnings only
    EXPECT_NE(r.out.find("\"severity\": \"warning\""), std::string::npos);
    EXPECT_NE(r.out.find("\"node\": 2"), std::string::npos);
    r = test::RunCommand(cli + " key check " + test::ShellQuote(data + "frame_order/input.key"));
    EXPECT_EQ(r.status, 1); // an error among them
    EXPECT_NE(r.out.find("\"entry\": 3"), std::string::npos);
    r = test::RunCommand(cli + " key check " + test::ShellQuote(data + "clean/input.key"));
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("\"findings\": [\n    ]"), std::string::npos);
    EXPECT_EQ(test::RunCommand(cli + " key check").status, 2);
}
