// vorlin-cli on a bad day for files: a disk that fills up under it, an output named like one of
// its inputs, files and folders that are not what they seem. Real processes on real file
// systems (a small tmpfs in a mount namespace of its own for the full disk).
#include <gtest/gtest.h>

#include <filesystem>

#include "cli_test.h"

using namespace vorlin;
using namespace vorlin::test;

namespace {

size_t Lines(const std::string& text) {
    return size_t(std::count(text.begin(), text.end(), '\n'));
}

// Runs the command with FOLDER standing for a fresh tmpfs of the size given, of which all but
// `room` bytes are taken by a file "filler"; the output ends with what the folder then holds.
struct TFullRun {
    int Status = -1;
    std::string Err, Left;
};
TFullRun OnFullDisk(const std::string& folder, const std::string& command, int room) {
    const std::string script = "mount -t tmpfs -o size=256k tmpfs " + ShellQuote(folder) +
                               " || exit 99; cat /dev/zero > " + ShellQuote(folder + "/filler") +
                               " 2>/dev/null; truncate -s -" + std::to_string(room) + " " +
                               ShellQuote(folder + "/filler") + "; " + command +
                               "; echo \"status $?\"; ls -A " + ShellQuote(folder);
    const auto r = RunCommand("unshare -rm sh -c " + ShellQuote(script));
    TFullRun run;
    run.Err = r.err;
    const size_t at = r.out.rfind("status ");
    if (r.status == 99 || at == std::string::npos) return run;
    run.Status = std::stoi(r.out.substr(at + 7));
    run.Left = r.out.substr(r.out.find('\n', at) + 1);
    return run;
}

} // namespace

// Every write and the final commit are checked: on a disk that fills up, one line names the
// file, the status is 1 (2 for check, whose report could not be written), and nothing
// half-written is left, not even the frames of a series written before the disk ran out.
TEST(CliFiles, AFullDiskIsAnErrorNamingTheFileAndLeavesNothing) {
    TempDir dir;
    const std::string full = dir.file("full");
    std::filesystem::create_directories(full);
    const std::string render = kCliDrawing + " render " + ShellQuote(kModel) + " " +
                               ShellQuote(kWalk) + " --size 400x300 --out " + full + "/";
    const struct {
        std::string command;
        int room; // bytes left free before the command starts
        int status;
        std::string file; // the file the message names
    } cases[] = {
        {render + "one.png", 0, 1, "one.png"},
        {render + "walk.webp", 0, 1, "walk.webp"},
        {render + "walk.gif", 0, 1, "walk.gif"},
        {render + "sheet.png --frames 0:31 --sheet 8x4", 0, 1, "sheet.png"},
        // Room for a few frames: those written go again.
        {render + "s.png --frames 0:31", 40000, 1, "s_00"},
        {render + "walk.gif", 40000, 1, "walk.gif"},
        {kCli + " key save " + ShellQuote(kWalk) + " " + full + "/walk.key", 0, 1, "walk.key"},
        {kCli + " key mirror " + ShellQuote(kWalk) + " " + full + "/mirror.key", 0, 1,
         "mirror.key"},
        {kCli + " texture " + ShellQuote(kSample + "/3do/mat/skin.mat") + " --out " + full +
             "/skin.png",
         0, 1, "skin.png"},
        {kCli + " check " + ShellQuote(kSample) + " --junit " + full + "/r.xml", 0, 2, "r.xml"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        const TFullRun run = OnFullDisk(full, c.command + " >/dev/null", c.room);
        if (run.Status < 0) GTEST_SKIP() << "no mount namespace here: " << run.Err;
        EXPECT_EQ(run.Status, c.status);
        EXPECT_EQ(Lines(run.Err), 1u) << run.Err;
        EXPECT_EQ(run.Err.rfind("Error: Cannot write " + full + "/" + c.file, 0), 0u) << run.Err;
        EXPECT_TRUE(run.Err.ends_with(": no space left on the device\n")) << run.Err;
        EXPECT_EQ(run.Left, "filler\n") << "left behind";
    }
}

// An output that is one of the inputs (the same file, under any name) is refused before a
// frame is drawn; and the commands pass on the core's messages, which name the file and say what
// happened (their wording is tested with the core).
TEST(CliFiles, AnOutputThatIsAnInputIsRefusedAndFailuresNameTheirFile) {
    TempDir dir;
    const std::string model = dir.write("model.png", test::ReadAll(kModel));
    const std::string key = dir.write("walk_0003.png", test::ReadAll(kWalk));
    std::filesystem::create_hard_link(model, dir.file("link.gif"));
    std::filesystem::create_directories(dir.file("dir.key"));
    const std::string d = dir.path().string();
    const std::string q = ShellQuote(d) + "/";
    const std::string jk = " --jk " + ShellQuote(kSample + "/sample.gob"); // the materials
    const struct {
        std::string args;
        int status;
        std::string message;
    } cases[] = {
        {"render " + q + "model.png --out " + q + "model.png", 1,
         "Cannot write " + d +
             "/model.png: it is the model being drawn (--out must name another "
             "file)"},
        {"render " + q + "model.png " + q + "walk_0003.png --out " + q + "../" +
             dir.path().filename().string() + "/link.gif",
         1, "/link.gif: it is the model being drawn"},
        // A series refuses the frame's file that is the KEY; the frames before it go again.
        {"render " + q + "model.png " + q + "walk_0003.png --frames 0:5 --out " + q + "walk.png" +
             jk,
         1, "Cannot write " + d + "/walk_0003.png: it is the KEY being drawn"},
        {"check " + ShellQuote(kWalk) + " --model /no/such.3do", 2,
         "Cannot read /no/such.3do: there is no such file"},
        {"key mirror " + ShellQuote(kWalk) + " " + q + "no/out.key", 1,
         "Cannot write " + d + "/no/out.key: the folder " + d + "/no/ does not exist"},
        {"render " + q + "dir.key --out " + q + "x.png", 1,
         "Cannot read " + d + "/dir.key: it is a folder"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        const auto r = Cli(c.args);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(Lines(r.err), 1u) << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    }
    // The inputs are as they were, and nothing was written beside them.
    EXPECT_EQ(test::ReadAll(model), test::ReadAll(kModel));
    EXPECT_EQ(test::ReadAll(key), test::ReadAll(kWalk));
    std::vector<std::string> left;
    for (const auto& e : std::filesystem::directory_iterator(dir.path()))
        left.push_back(e.path().filename().string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left,
              (std::vector<std::string>{"dir.key", "link.gif", "model.png", "walk_0003.png"}));
}
