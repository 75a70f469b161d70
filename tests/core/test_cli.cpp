// The command-line tool, run as a separate process on real files.
#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <sys/wait.h>
#include <unistd.h>

#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "fixtures/fixtures.h"

using namespace vorlin;
using test::BuildGob;
using test::RunCommand;
using test::ShellQuote;
using test::TempDir;

namespace {

test::RunResult Cli(const std::string& args) {
    return RunCommand(std::string(VORLIN_CLI) + " " + args);
}

} // namespace

TEST(Cli, ContainerListPrintsFilesAndFolders) {
    TempDir dir;
    std::string gob = dir.write(
        "res.gob", BuildGob({{"a.key", "12345"}, {"3do\\a.3do", "M"}, {"3do\\mat\\b.mat", "MAT"}}));
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
    EXPECT_EQ(r.err,
              "Warning: Can't find file anywhere: c.mat\nError: Can't find file anywhere: c.mat\n");
}

TEST(Cli, UsageErrorsExitWithTwo) {
    EXPECT_EQ(Cli("").status, 2);
    EXPECT_EQ(Cli("frobnicate").status, 2);
    auto r = Cli("cat");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "vorlin-cli cat: wrong number of arguments (see vorlin-cli cat --help)\n");
    EXPECT_EQ(Cli("find x.mat --bogus").status, 2);
}

TEST(Cli, KeyDumpPrintsTheDocument) {
    TempDir dir;
    std::string path =
        dir.write("walk.key", "SECTION: HEADER\nFLAGS 0xFFFFFFFF\nTYPE 0x14\nFRAMES 20\n"
                              "SECTION: MARKERS\nMARKERS 1\n2.5 4\n"
                              "SECTION: KEYFRAME NODES\nNODES 1\nNODE 0\n"
                              "MESH NAME head\nENTRIES 1\n0: 3 0x3 0.1 2 3 4 5 6\n"
                              "0.3333333333333333 0 0 0 0 -1e-9\n");
    auto r = Cli("key dump " + ShellQuote(path));
    ASSERT_EQ(r.status, 0) << r.err;
    for (const char* part :
         {"\"name\": \"walk.key\"", "\"flags\": 4294967295", "\"type\": 20", "\"frame\": 2.5",
          "\"meshName\": \"HEAD\"", "\"x\": 0.1", "\"dx\": 0.3333333333333333", "\"droll\": -1e-09",
          "\"warnings\": [", "\"fps\": 15", "\"node\": 0"})
        EXPECT_NE(r.out.find(part), std::string::npos) << part << "\n" << r.out;
    // The header lacks FPS and JOINTS: the game refuses the file, which loading says at once.
    EXPECT_EQ(r.err, "Warning: walk.key line 5: The game cannot read \"section: markers\": it "
                     "refuses the file here (it expects \"FPS n\")\n");
}

TEST(Cli, KeySaveNamesTheOutputAndRecalculates) {
    TempDir dir;
    const std::string nodes = "SECTION: KEYFRAME NODES\nNODES 1\nNODE 0\nMESH NAME A\n"
                              "ENTRIES 2\n0: 0 0x0 0 0 0 0 0 0\n0 0 0 0 0 0\n"
                              "1: 10 0x0 5 0 0 0 0 0\n0 0 0 0 0 0\n";
    std::string out = dir.file("out.key");
    // Without JOINTS the game has no joint for NODE 0: such a file is not written.
    auto r = Cli("key save " + ShellQuote(dir.write("none.key", nodes)) + " " + ShellQuote(out));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Error: Cannot save node 0 (A): its NODE number 0 is outside the 0 joints of "
                     "JOINTS, and the game would write outside its joint table. Raise JOINTS in "
                     "the KEY Summary.\n");
    EXPECT_FALSE(std::filesystem::exists(out));
    std::string in = dir.write("in.key", "SECTION: HEADER\nJOINTS 1\n" + nodes);
    r = Cli("key save " + ShellQuote(in) + " " + ShellQuote(out) + " --recalc");
    ASSERT_EQ(r.status, 0) << r.err;
    std::string text = test::ReadAll(out);
    EXPECT_EQ(text.rfind("# KEYFRAME out.key created by Vorlin 0.6\r\n", 0), 0u);
    EXPECT_NE(text.find("   0:        0   0x0001"), std::string::npos);
    EXPECT_NE(text.find("0.50000000"), std::string::npos);
    r = Cli("key save " + ShellQuote(in) + " " + ShellQuote(dir.file("none/out.key")));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Error: Cannot write " + dir.file("none/out.key") + ": the folder " +
                         dir.file("none/") + " does not exist\n");
}

TEST(Cli, ModelDumpAndPose) {
    std::string model = VORLIN_TEST_DATA "/3do/comments_and_case/model.3do";
    auto r = Cli("model dump " + ShellQuote(model));
    ASSERT_EQ(r.status, 0) << r.err;
    for (const char* part :
         {"\"materials\": [\n        \"DFLT.MAT\"", "\"name\": \"HEAD\"", "\"extraLight\": 0.25",
          "\"lowestPoint\": -1", "\"radius\": 2.5", "\"pivotZ\": 0", "\"parent\": -1"})
        EXPECT_NE(r.out.find(part), std::string::npos) << part << "\n" << r.out;
    EXPECT_EQ(Cli("model dump " + ShellQuote(model) + " --geoset x").status, 2);

    TempDir dir;
    std::string key =
        dir.write("turn.key", "SECTION: KEYFRAME NODES\nNODES 1\nNODE 0\nMESH NAME torso\n"
                              "ENTRIES 1\n0: 0 0x3 1 0 0 0 0 0\n0.5 0 0 0 0 0\n");
    r = Cli("pose " + ShellQuote(model) + " " + ShellQuote(key) + " 4");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\"frame\": 4"), std::string::npos);
    EXPECT_NE(r.out.find("\"x\": 3"), std::string::npos) << r.out; // 1 + 4 * 0.5
    EXPECT_NE(r.out.find("\"world\""), std::string::npos);
    // Before the first entry: entry 0 carried backwards, as the game poses it.
    r = Cli("pose " + ShellQuote(model) + " " + ShellQuote(key) + " -1");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\"x\": 0.5"), std::string::npos) << r.out;
}

TEST(Cli, TextureWritesAPng) {
    TempDir dir;
    std::string pixels = {char(31), char(16), char(0), char(5)};
    std::string gob = dir.write(
        "res2.gob", test::BuildGob({{"mat\\t.mat", test::BuildTextureMat(2, 2, 8, 0, pixels)}}));
    std::string png = dir.file("t.png");
    auto r = Cli("texture t.mat --out " + ShellQuote(png) + " --cmp " +
                 ShellQuote(dir.file("none.cmp")));
    EXPECT_EQ(r.status, 1); // a bare name needs the game's container
    r = Cli("texture " + ShellQuote(gob + ">mat\\t.mat") + " --out " + ShellQuote(png));
    ASSERT_EQ(r.status, 0) << r.err;
    std::string bytes = test::ReadAll(png);
    ASSERT_GT(bytes.size(), 8u);
    EXPECT_EQ(bytes.substr(1, 3), "PNG");
    QImage image(QString::fromStdString(png));
    ASSERT_EQ(image.size(), QSize(2, 2));
    EXPECT_EQ(image.pixel(0, 0), qRgb(0, 0, 255)); // first row at the top
    EXPECT_EQ(image.pixel(1, 0), qRgb(255, 255, 255));
    EXPECT_EQ(image.pixel(1, 1), qRgb(0, 59, 0));
    EXPECT_EQ(Cli("texture x.mat").status, 2);
}

TEST(Cli, TextureOfAnEmptyPictureIsAnError) {
    TempDir dir;
    std::string mat = dir.write("e.mat", test::BuildTextureMat(0, 5, 8, 0, ""));
    auto r = Cli("texture " + ShellQuote(mat) + " --out " + ShellQuote(dir.file("e.png")));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Error: MAT picture has no pixels\n");
}

// The curves are the pose: every node of the sample's model, at frames across both animations
// (before the first key, between keys, on keys, the last frame), as `pose` shows the model.
TEST(Cli, KeyCurvesAgreeWithThePoseFrameByFrame) {
    const std::string model = ShellQuote(VORLIN_SAMPLE_DIR "/3do/sample.3do");
    auto json = [](const test::RunResult& r) {
        EXPECT_EQ(r.status, 0) << r.err;
        return QJsonDocument::fromJson(QByteArray::fromStdString(r.out)).object();
    };
    for (const char* anim : {"walk", "jump"}) {
        const std::string key =
            ShellQuote(std::string(VORLIN_SAMPLE_DIR "/3do/key/") + anim + ".key");
        for (int frame : {-3, 0, 5, 13, 31}) {
            const QJsonArray nodes =
                json(Cli("pose " + model + " " + key + " " + std::to_string(frame)))["nodes"]
                    .toArray();
            ASSERT_FALSE(nodes.isEmpty());
            int driven = 0;
            for (const QJsonValue& n : nodes) {
                const std::string name = n["name"].toString().toStdString();
                auto r =
                    Cli("key curves " + key + " --model " + model + " --node " + ShellQuote(name) +
                        " --from " + std::to_string(frame) + " --to " + std::to_string(frame + 1));
                if (r.status != 0) {
                    EXPECT_EQ(r.err, "Error: No KEY node drives model node " + name + "\n");
                    continue;
                }
                ++driven;
                const QJsonObject curves = json(r);
                EXPECT_EQ(curves["frames"].toArray().first().toInt(), frame);
                for (const char* c : {"x", "y", "z", "pitch", "yaw", "roll"})
                    EXPECT_EQ(curves[c].toArray().first().toDouble(), n[c].toDouble())
                        << anim << " frame " << frame << " " << name << " " << c;
            }
            EXPECT_EQ(driven, nodes.size());
        }
    }

    // CSV: a header, a line a frame with the keys marked; the node by its place.
    const std::string walk = ShellQuote(VORLIN_SAMPLE_DIR "/3do/key/walk.key");
    auto r = Cli("key curves " + walk + " --index 1 --to 1 --csv");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "frame,x,y,z,pitch,yaw,roll,key\n0,0,0,0,0,4,0,1\n1,0,0,0,0,3.5,0,0\n");
    for (const char* bad : {" --index 1 --node TORSO", "", " --index 1 --from 4 --to 2"})
        EXPECT_EQ(Cli("key curves " + walk + bad).status, 2) << bad;
    r = Cli("key curves " + walk + " --index 99");
    EXPECT_EQ(r.err, "Error: The KEY has no node 99 (it has 11)\n");

    // Frames past the ends are posed as the game goes on, said once; no frames at all is said.
    r = Cli("key curves " + walk + " --index 1 --from -2 --to 40");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "Warning: Frames outside the animation's 0..31 are posed as the game carries "
                     "the entries on past its ends\n");
    TempDir dir;
    const std::string none = dir.write(
        "none.key", "SECTION: HEADER\nFLAGS 0\nTYPE 0xFFFF\nFRAMES 0\nFPS 15\nJOINTS 1\n"
                    "SECTION: KEYFRAME NODES\nNODES 1\n"
                    "NODE 0\nMESH NAME A\nENTRIES 1\n0: 0 0x0 0 0 0 0 0 0\n0 0 0 0 0 0\n");
    r = Cli("key curves " + ShellQuote(none) + " --index 0");
    EXPECT_EQ(r.err,
              "Error: The KEY has no frames (FRAMES 0): give --to for the frames to sample\n");
}

namespace {

// Runs the tool as a child of its own (signals at their defaults, as from a terminal); once the
// file `started` exists, sends it the signal and returns the exit status, or -1.
int StatusAfterSignal(const std::vector<std::string>& args, const std::string& started,
                      int signal) {
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        ::unsetenv("DISPLAY");
        // Drawing, and so not leak-checked in a sanitized build (see cli_test.h).
        ::setenv("ASAN_OPTIONS", "detect_leaks=0:abort_on_error=0:halt_on_error=1", 1);
        const int quiet = ::open("/dev/null", O_WRONLY);
        ::dup2(quiet, STDERR_FILENO);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    for (int i = 0; i < 600 && !std::filesystem::exists(started); ++i)
        ::usleep(50'000);
    ::kill(child, signal);
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

// The conventions a script relies on: each command's own help, a usage error in one line with
// where the usage is, and Ctrl+C or a kill ending with 128 + the signal and nothing left.
TEST(Cli, CommandLineConventions) {
    auto r = Cli("--help");
    ASSERT_EQ(r.status, 0);
    for (const char* words :
         {"key dump", "key save", "key mirror", "key check", "key curves", "check", "render",
          "container list", "cat", "find", "model dump", "pose", "texture"}) {
        SCOPED_TRACE(words);
        EXPECT_NE(r.out.find(std::string("\n  ") + words + " "), std::string::npos);
        for (const std::string& ask : {std::string(words) + " --help", std::string(words) + " -h",
                                       "help " + std::string(words)}) {
            const auto help = Cli(ask);
            EXPECT_EQ(help.status, 0) << ask;
            EXPECT_EQ(help.out.rfind(std::string("usage: vorlin-cli ") + words + " ", 0), 0u)
                << help.out;
            EXPECT_NE(help.out.find("-h, --help"), std::string::npos) << help.out;
        }
    }
    for (const char* listed : {"--jobs N", "--version", "--zoom Z", "130 and 143"})
        EXPECT_NE(r.out.find(listed), std::string::npos) << listed;
    EXPECT_NE(Cli("render --help").out.find("larger is farther"), std::string::npos);

    const struct {
        std::string args, err;
    } usage[] = {
        {"", "vorlin-cli: no command (see vorlin-cli --help)"},
        {"key", "vorlin-cli: unknown command: key (see vorlin-cli --help)"},
        {"render m.3do",
         "vorlin-cli render: --out FILE is required (see vorlin-cli render --help)"},
        {"render m.3do --out x.png --size 3",
         "vorlin-cli render: --size must be NxM: 3 (see vorlin-cli render --help)"},
        {"check --jobs 0 x", "vorlin-cli check: --jobs must be at least 1 (see vorlin-cli check "
                             "--help)"},
        {"key dump a b", "vorlin-cli key dump: wrong number of arguments (see vorlin-cli key dump "
                         "--help)"},
        {"texture --bogus m.mat",
         "vorlin-cli texture: Unknown option 'bogus'. (see vorlin-cli texture --help)"},
    };
    for (const auto& u : usage) {
        SCOPED_TRACE(u.args);
        r = Cli(u.args);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.err, u.err + "\n");
        EXPECT_EQ(r.out, "");
    }

    // Stopped while a series is drawn: 130 for Ctrl+C, 143 for a kill; its frames are gone.
    TempDir dir;
    const std::string sample = VORLIN_SAMPLE_DIR;
    std::string key = test::ReadAll(sample + "/3do/key/walk.key");
    key.replace(key.find("FRAMES 32"), 9, "FRAMES 5000");
    dir.write("long.key", key);
    for (const auto& [signal, status] : {std::pair{SIGINT, 130}, std::pair{SIGTERM, 143}}) {
        SCOPED_TRACE(signal);
        EXPECT_EQ(StatusAfterSignal({VORLIN_CLI, "render", sample + "/3do/sample.3do",
                                     dir.file("long.key"), "--frames", "0:4999", "--size", "64x48",
                                     "--out", dir.file("f.png")},
                                    dir.file("f_0000.png"), signal),
                  status);
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1)
            << "frames were left behind";
    }
}
