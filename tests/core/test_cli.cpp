// The command-line tool, run as a separate process on real files.
#include <gtest/gtest.h>

#include "support/fixtures.h"

using namespace vorlin;
using test::BuildGob;
using test::RunCommand;
using test::ShellQuote;
using test::TempDir;

namespace {

test::RunResult Cli(const std::string& args) { return RunCommand(std::string(VORLIN_CLI) + " " + args); }

} // namespace

TEST(Cli, ContainerListPrintsFilesAndFolders) {
    TempDir dir;
    std::string gob = dir.write("res.gob", BuildGob({{"a.key", "12345"},
                                                      {"3do\\a.3do", "M"},
                                                      {"3do\\mat\\b.mat", "MAT"}}));
    auto r = Cli("container list " + ShellQuote(gob));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\"folder\": \"\""), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"name\": \"a.key\""), std::string::npos);
    EXPECT_NE(r.out.find("\"size\": 5"), std::string::npos);
    EXPECT_NE(r.out.find("\"3do\""), std::string::npos);

    r = Cli("container list " + ShellQuote(gob) + " 3do");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\"name\": \"a.3do\""), std::string::npos);
    EXPECT_NE(r.out.find("\"mat\""), std::string::npos);
    EXPECT_EQ(r.out.find("a.key"), std::string::npos);

    r = Cli("container list " + ShellQuote(gob) + " nowhere");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Error: Folder not found: nowhere\n");
}

TEST(Cli, CatWritesTheStoredBytes) {
    TempDir dir;
    std::string payload("bin\0ary\r\n", 9);
    std::string gob = dir.write("res.gob", BuildGob({{"x\\y.bin", payload}, {"z", "other"}}));
    auto r = Cli("cat " + ShellQuote(gob + ">X\\Y.BIN"));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, payload);
    r = Cli("cat " + ShellQuote(dir.write("plain.txt", "hello")));
    EXPECT_EQ(r.out, "hello");
    r = Cli("cat " + ShellQuote(gob + ">missing"));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Error: File not found: missing\n");
}

TEST(Cli, FindAnswersAsTheResourceSearch) {
    TempDir dir;
    std::string jk = dir.write("res2.gob", BuildGob({{"3do\\mat\\a.mat", "A"}}));
    dir.write("proj/mat/b.mat", "B");
    auto r = Cli("find a.mat --jk " + ShellQuote(jk));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, jk + ">3do\\mat\\a.mat\n");
    r = Cli("find b.mat --project " + ShellQuote(dir.file("proj")));
    EXPECT_EQ(r.out, dir.file("proj") + "/mat/b.mat\n");
    r = Cli("find c.mat --jk " + ShellQuote(jk));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Warning: Can't find file anywhere: c.mat\nError: Can't find file anywhere: c.mat\n");
}

TEST(Cli, UsageErrorsExitWithTwo) {
    EXPECT_EQ(Cli("").status, 2);
    EXPECT_EQ(Cli("frobnicate").status, 2);
    auto r = Cli("cat");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("usage: vorlin-cli"), std::string::npos);
    EXPECT_EQ(Cli("find x.mat --bogus").status, 2);
}
