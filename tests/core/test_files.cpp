#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <sys/stat.h>
#include <sys/time.h>

#include "support/FileOperations.h"
#include "support/Files.h"
#include "fixtures/fixtures.h"

using namespace vorlin;
using test::TempDir;

namespace {

std::vector<std::string> ReadLines(const std::string& path, bool* eofAfterLast = nullptr) {
    TTextFile text(std::make_unique<TDiskFile>(path));
    std::vector<std::string> lines;
    while (!text.Eof())
        lines.push_back(text.ReadLn());
    if (eofAfterLast) *eofAfterLast = text.Eof();
    return lines;
}

} // namespace

TEST(DiskFile, ReadsSeeksAndReportsItsName) {
    TempDir dir;
    std::string path = dir.write("sub/data.bin", "0123456789");
    TDiskFile f(path);
    EXPECT_EQ(f.GetFullName(), path);
    EXPECT_EQ(f.GetName(), "data.bin");
    EXPECT_EQ(f.FileSize(), 10);
    char buf[4];
    EXPECT_EQ(f.Read(buf, 4), 4);
    EXPECT_EQ(std::string(buf, 4), "0123");
    EXPECT_EQ(f.FilePos(), 4);
    f.Seek(8);
    EXPECT_EQ(f.Read(buf, 4), 2); // a short read is not an error here
    EXPECT_THROW(ReadBlock(f, buf, 1), IOError);
    EXPECT_THROW(f.Write(buf, 1), AbstractError);
}

// Every failed file operation, on real files, gives the message the editor's boxes and the
// command line show: the file, and what happened in words.
TEST(DiskFile, EveryFailureNamesItsFileAndSaysWhatHappened) {
    TempDir dir;
    const std::string d = dir.path().string();
    dir.write("plain.txt", "abc");
    dir.write("locked.key", "x");
    ::chmod(dir.file("locked.key").c_str(), 0);
    std::filesystem::create_directories(dir.file("dir.key"));
    dir.write("ro/old.key", "old");
    ::chmod(dir.file("ro/old.key").c_str(), 0444);
    ::chmod(dir.file("ro").c_str(), 0555);
    // The ordinary user the cases run as (when the tests run as root) may pass through.
    ::chmod(d.c_str(), 0755);
    auto read = [&](const std::string& name) {
        return [path = dir.file(name)] {
            TDiskFile f(path);
            char buffer[8];
            ReadBlock(f, buffer, 8);
        };
    };
    auto write = [&](const std::string& name) {
        return [path = dir.file(name)] { ReplaceFileContents(path, "new"); };
    };
    const struct {
        std::function<void()> operation;
        std::string message;
        bool asUser; // run as an ordinary user: root may read and write anything
    } cases[] = {
        {read("missing.key"), "Cannot read " + d + "/missing.key: there is no such file", false},
        {read("dir.key"), "Cannot read " + d + "/dir.key: it is a folder", false},
        {read("plain.txt/x.key"),
         "Cannot read " + d + "/plain.txt/x.key: a part of its path is not a folder", false},
        {read("plain.txt"),
         "Cannot read " + d + "/plain.txt: the file is cut short (it ends inside its data)", false},
        {read("locked.key"), "Cannot read " + d + "/locked.key: permission denied", true},
        {read(std::string(300, 'n')),
         "Cannot read " + d + "/" + std::string(300, 'n') + ": the name is too long", false},
        {write("no/such/x.key"),
         "Cannot write " + d + "/no/such/x.key: the folder " + d + "/no/such/ does not exist",
         false},
        {write("dir.key"), "Cannot write " + d + "/dir.key: it is a folder", false},
        {write("ro/new.key"),
         "Cannot write " + d + "/ro/new.key: no permission to create files in " + d + "/ro/", true},
        {write("ro/old.key"), "Cannot write " + d + "/ro/old.key: permission denied", true},
        {[] { RaiseIOError(EIO, TFileAction::Read, "res2.gob"); },
         "Cannot read res2.gob: the device reported an input/output error", false},
        {[] { RaiseIOError(ENOSPC, TFileAction::Write, "out.png"); },
         "Cannot write out.png: no space left on the device", false},
        {[] { RaiseIOError(EXDEV, TFileAction::Write, "x.key"); },
         "Cannot write x.key: invalid cross-device link (error 18)", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        auto attempt = [&]() -> std::string {
            try {
                c.operation();
            } catch (const IOError& e) {
                return e.what();
            }
            return "no error";
        };
        EXPECT_EQ(c.asUser ? test::AsOrdinaryUser(attempt) : attempt(), c.message);
    }
    // Nothing of a failed write is left behind, and the old file is as it was.
    EXPECT_EQ(test::ReadAll(dir.file("ro/old.key")), "old");
    EXPECT_FALSE(std::filesystem::exists(dir.file("ro/new.key")));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.file("ro")), {}), 1);
    // A read-only file opens: nothing but reading is asked for.
    std::string readOnly = dir.write("ro.key", "abc");
    ::chmod(readOnly.c_str(), 0444);
    EXPECT_NO_THROW(TDiskFile f(readOnly));
    ::chmod(dir.file("ro").c_str(), 0755);
}

TEST(TextFile, EmptyFileIsAtEndAtOnce) {
    TempDir dir;
    TTextFile text(std::make_unique<TDiskFile>(dir.write("empty.txt", "")));
    EXPECT_TRUE(text.Eof());
    EXPECT_EQ(text.ReadLn(), "");
}

TEST(TextFile, LineEndsAndEof) {
    TempDir dir;
    bool eof = false;
    EXPECT_EQ(ReadLines(dir.write("a.txt", "A\r\nB"), &eof), (std::vector<std::string>{"A", "B"}));
    EXPECT_TRUE(eof);
    EXPECT_EQ(ReadLines(dir.write("b.txt", "A\n")), (std::vector<std::string>{"A"}));
    // A lone carriage return is ordinary text; blank lines are lines.
    EXPECT_EQ(ReadLines(dir.write("c.txt", "a\rb\n\nc\r\n")),
              (std::vector<std::string>{"a\rb", "", "c"}));
}

TEST(TextFile, LongLinesAreCutAndTheRestDiscarded) {
    TempDir dir;
    std::string longLine(5000, 'x');
    auto lines = ReadLines(dir.write("long.txt", longLine + "\nnext\n"));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], std::string(4096, 'x'));
    EXPECT_EQ(lines[1], "next");
}

TEST(TextFile, LinesStraddlingTheBufferBoundary) {
    TempDir dir;
    // The CR sits at the last byte of the first chunk, the LF at the first of the second.
    std::string first(8089, 'a');
    std::string data = first + "\nbcdef\r\nafter\n";
    ASSERT_EQ(data.find('\r'), 8095u);
    auto lines = ReadLines(dir.write("edge.txt", data));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1], "bcdef");
    EXPECT_EQ(lines[2], "after");

    // A line that starts in one chunk and ends in the next comes back whole.
    std::string pad(8000, 'p');
    std::string straddle = "0123456789" + std::string(200, 's');
    lines = ReadLines(dir.write("straddle.txt", pad + "\n" + straddle + "\r\nend"));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1], straddle);
    EXPECT_EQ(lines[2], "end");

    // A long line crossing the boundary is cut at 4096 in total.
    std::string head(6000, 'h');
    std::string crossing(5000, 'c');
    lines = ReadLines(dir.write("cut.txt", head + "\n" + crossing + "\nz\n"));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], std::string(4096, 'h'));
    EXPECT_EQ(lines[1], std::string(4096, 'c'));
    EXPECT_EQ(lines[2], "z");
}

TEST(TextFile, ManyChunksWithoutLineEnd) {
    TempDir dir;
    std::string huge(30000, 'q');
    auto lines = ReadLines(dir.write("huge.txt", huge + "\nlast"));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].size(), 4096u);
    EXPECT_EQ(lines[1], "last");
}

TEST(TextFile, AZeroByteEndsItsLineOnly) {
    TempDir dir;
    // As the game reads a line into a C string: up to the zero byte, then the next line.
    std::string data = std::string("ab\0cd\nef\n", 9) + std::string(9000, 'z') + "\ntail\0x";
    auto lines = ReadLines(dir.write("nul.bin", data));
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "ab");
    EXPECT_EQ(lines[1], "ef");
    EXPECT_EQ(lines[2], std::string(4096, 'z'));
    EXPECT_EQ(lines[3], "tail");
}

TEST(FileChangeControl, NoticesRewritesAndDeletion) {
    TempDir dir;
    std::string path = dir.write("c.gob", "12345");
    TFileChangeControl cc;
    cc.SetFile(path);
    EXPECT_FALSE(cc.Changed());
    dir.write("c.gob", "123456");
    EXPECT_TRUE(cc.Changed());
    EXPECT_TRUE(cc.Changed()); // the snapshot is not renewed by asking
    cc.SetFile(path);
    EXPECT_FALSE(cc.Changed());
    // Same size, other time.
    struct timeval times[2] = {{1000000, 0}, {1000000, 0}};
    ::utimes(path.c_str(), times);
    EXPECT_TRUE(cc.Changed());
    cc.SetFile(path);
    std::filesystem::remove(path);
    EXPECT_TRUE(cc.Changed());
}
