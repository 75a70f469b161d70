// vorlin-cli in a pipeline: pictures drawn with no display (read back with the image libraries'
// own decoders) and a whole mod checked at once, as a CI job runs them.
#include <gtest/gtest.h>

#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QXmlStreamReader>
#include <filesystem>
#include <gif_lib.h>
#include <webp/demux.h>

#include "support/fixtures.h"

using namespace vorlin;
using test::RunCommand;
using test::ShellQuote;
using test::TempDir;

namespace {

const std::string kSample = VORLIN_SAMPLE_DIR;
const std::string kModel = kSample + "/3do/sample.3do";
const std::string kWalk = kSample + "/3do/key/walk.key"; // 32 frames at 15 a second

// With no display at all, as on a build server.
test::RunResult Cli(const std::string& args) {
    return RunCommand("env -u DISPLAY -u WAYLAND_DISPLAY " + std::string(VORLIN_CLI) + " " + args);
}

std::string Render(const std::string& out, const std::string& options = {}) {
    return "render " + ShellQuote(kModel) + " " + ShellQuote(kWalk) + " --out " + ShellQuote(out) +
           " " + options;
}

struct TAnimation {
    int Width = 0, Height = 0, Frames = 0, Loops = -1;
    int Milliseconds = 0; // the whole animation's length
};

TAnimation ReadWebP(const std::string& path) {
    const std::string bytes = test::ReadAll(path);
    WebPData data{reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()};
    WebPAnimDecoderOptions options;
    WebPAnimDecoderOptionsInit(&options);
    WebPAnimDecoder* decoder = WebPAnimDecoderNew(&data, &options);
    TAnimation a;
    if (!decoder) return a;
    WebPAnimInfo info;
    WebPAnimDecoderGetInfo(decoder, &info);
    a.Width = int(info.canvas_width);
    a.Height = int(info.canvas_height);
    a.Loops = int(info.loop_count);
    while (WebPAnimDecoderHasMoreFrames(decoder)) {
        uint8_t* pixels;
        WebPAnimDecoderGetNext(decoder, &pixels, &a.Milliseconds);
        ++a.Frames;
    }
    WebPAnimDecoderDelete(decoder);
    return a;
}

TAnimation ReadGif(const std::string& path) {
    int error = 0;
    GifFileType* gif = DGifOpenFileName(path.c_str(), &error);
    TAnimation a;
    if (!gif || DGifSlurp(gif) != GIF_OK) return a;
    a.Width = gif->SWidth;
    a.Height = gif->SHeight;
    a.Frames = gif->ImageCount;
    for (int i = 0; i < gif->ImageCount; ++i) {
        GraphicsControlBlock control;
        if (DGifSavedExtensionToGCB(gif, i, &control) == GIF_OK)
            a.Milliseconds += control.DelayTime * 10;
        const SavedImage& image = gif->SavedImages[i];
        for (int k = 0; k < image.ExtensionBlockCount; ++k)
            if (image.ExtensionBlocks[k].Function == APPLICATION_EXT_FUNC_CODE &&
                image.ExtensionBlocks[k].ByteCount == 11 &&
                std::string(reinterpret_cast<char*>(image.ExtensionBlocks[k].Bytes), 11) ==
                    "NETSCAPE2.0")
                a.Loops = image.ExtensionBlocks[k + 1].Bytes[1];
    }
    DGifCloseFile(gif, &error);
    return a;
}

} // namespace

TEST(CliRender, AnimationsHoldEveryFrameAtTheKeysRate) {
    TempDir dir;
    for (const std::string name : {"walk.webp", "walk.gif"}) {
        SCOPED_TRACE(name);
        const std::string out = dir.file(name);
        const auto r = Cli(Render(out, "--size 96x64"));
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err, ""); // not a terminal: no progress line
        const TAnimation a = name.ends_with("webp") ? ReadWebP(out) : ReadGif(out);
        EXPECT_EQ(a.Width, 96);
        EXPECT_EQ(a.Height, 64);
        EXPECT_EQ(a.Frames, 32);
        EXPECT_EQ(a.Loops, 0); // for ever
        // 32 frames at 15 a second, the rounding never adding up.
        EXPECT_NEAR(a.Milliseconds, 2133, name.ends_with("gif") ? 10 : 1);
    }
    // Every third frame shows three times as long.
    const std::string out = dir.file("step.webp");
    ASSERT_EQ(Cli(Render(out, "--size 32x32 --frames 0:29:3")).status, 0);
    const TAnimation a = ReadWebP(out);
    EXPECT_EQ(a.Frames, 10);
    EXPECT_EQ(a.Milliseconds, 2000);
}

TEST(CliRender, PngsASeriesAndAContactSheet) {
    TempDir dir;
    ASSERT_EQ(Cli(Render(dir.file("one.png"), "--frame 5 --size 64x40 --view right")).status, 0);
    EXPECT_EQ(QImage(QString::fromStdString(dir.file("one.png"))).size(), QSize(64, 40));

    // Names relative to the current folder, the model's materials found beside it.
    const auto r = RunCommand("cd " + ShellQuote(kSample + "/3do") + " && env -u DISPLAY " +
                              VORLIN_CLI + " render sample.3do key/walk.key --size 20x10 --out " +
                              ShellQuote(dir.file("here.png")));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    ASSERT_EQ(Cli(Render(dir.file("f.png"), "--frames 0:6:3 --size 20x10")).status, 0);
    for (const char* name : {"f_0000.png", "f_0003.png", "f_0006.png"})
        EXPECT_TRUE(std::filesystem::exists(dir.file(name))) << name;
    EXPECT_FALSE(std::filesystem::exists(dir.file("f.png")));

    ASSERT_EQ(Cli(Render(dir.file("sheet.png"), "--frames 0:31:4 --sheet 4x2 --size 50x40")).status,
              0);
    const QImage sheet(QString::fromStdString(dir.file("sheet.png")));
    EXPECT_EQ(sheet.size(), QSize(200, 80));

    // The background asked for, and a view from the side differs from one from the front.
    ASSERT_EQ(Cli(Render(dir.file("bg.png"), "--size 40x30 --background 336699")).status, 0);
    EXPECT_EQ(QImage(QString::fromStdString(dir.file("bg.png"))).pixelColor(0, 0),
              QColor(0x33, 0x66, 0x99));
    ASSERT_EQ(Cli(Render(dir.file("front.png"), "--frame 5 --size 64x40")).status, 0);
    EXPECT_NE(QImage(QString::fromStdString(dir.file("front.png"))),
              QImage(QString::fromStdString(dir.file("one.png"))));
}

TEST(CliRender, FailuresNameWhatFailedAndLeaveNoFile) {
    TempDir dir;
    const std::string out = dir.file("out.gif");
    const struct {
        std::string args;
        int status;
        std::string message;
    } cases[] = {
        {Render(out, "--frame 32"), 1,
         "Error: Frame 32 is outside 0..31 (the KEY has 32 frames)\n"},
        {"render " + ShellQuote(dir.file("none.3do")) + " --out " + ShellQuote(out), 1,
         "Error: Cannot read " + dir.file("none.3do") + ": there is no such file\n"},
        {"render none.3do --out " + ShellQuote(out), 1,
         "Error: Cannot read the model none.3do: Can't find file anywhere: none.3do\n"},
        {Render(dir.file("no/such/folder/x.gif")), 1, "Error: Cannot write "},
        {Render(dir.file("x.bmp")), 1, "the name must end in .png, .webp or .gif"},
        {Render(dir.file("s.png"), "--frames 0:9 --sheet 3x3"), 1,
         "Error: The contact sheet holds 9 frames; there are 10 to show (choose them with "
         "--frames A:B[:STEP], or a larger --sheet)\n"},
        {Render(out, "--node nobody"), 1, "Error: The model has no node nobody\n"},
        {Render(out, "--size 100000x10"), 1, "OpenGL draws pictures of 1 to "},
        {Render(out, "--frames 9:2"), 2, "--frames must run forwards"},
        {"render " + ShellQuote(kModel) + " --out " + ShellQuote(out), 1,
         "Error: An animated picture needs a KEY\n"},
        // EGL without a driver for the surfaceless platform.
        {"__EGL_VENDOR_LIBRARY_FILENAMES=/nonexistent.json " + std::string(VORLIN_CLI) + " " +
             Render(out),
         1, "install the package libegl-mesa0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        const auto r = c.args.starts_with("__EGL") ? RunCommand(c.args) : Cli(c.args);
        EXPECT_EQ(r.status, c.status);
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        if (c.status == 1) {
            EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        }
        EXPECT_TRUE(std::filesystem::is_empty(dir.path())) << "a file was left behind";
    }
}

TEST(CliHelp, HelpAndVersionExitZeroAndUnknownCommandsDoNot) {
    for (const char* words : {"--help", "-h", "help"}) {
        const auto r = Cli(words);
        EXPECT_EQ(r.status, 0) << words;
        EXPECT_NE(r.out.find("usage: vorlin-cli"), std::string::npos) << words;
        EXPECT_NE(r.out.find("render MODEL [KEY]"), std::string::npos);
    }
    EXPECT_EQ(Cli("--version").out.rfind("vorlin-cli ", 0), 0u);
    const auto r = Cli("--frobnicate");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("unknown command: --frobnicate"), std::string::npos);
}

TEST(CliCheck, AModWithGoodAndBadKeysAndADamagedContainer) {
    TempDir dir;
    const std::string walk = test::ReadAll(kWalk);
    dir.write("mod/3do/sample.3do", test::ReadAll(kModel));
    dir.write("mod/3do/key/walk.key", walk);
    std::string bad = walk;
    bad.replace(bad.find("JOINTS"), bad.find('\n', bad.find("JOINTS")) - bad.find("JOINTS"),
                "JOINTS 2");
    dir.write("mod/3do/key/bad.key", bad);
    dir.write("mod/packed.gob", test::BuildGob({{"3do\\key\\packed.key", walk},
                                                {"3do\\sample.3do", test::ReadAll(kModel)}}));
    dir.write("mod/broken.goo", test::BuildGob({{"a.key", walk}}).substr(0, 40));
    const std::string mod = ShellQuote(dir.file("mod"));

    auto r =
        Cli("check " + mod + " --models auto --json --junit " + ShellQuote(dir.file("report.xml")));
    EXPECT_EQ(r.status, 1) << r.err;
    const QJsonObject out = QJsonDocument::fromJson(QByteArray::fromStdString(r.out)).object();
    const QJsonArray files = out["files"].toArray();
    ASSERT_EQ(files.size(), 4) << r.out;
    std::map<std::string, QJsonObject> byName;
    for (const auto& f : files) {
        const std::string path = f.toObject()["path"].toString().toStdString();
        byName[path.substr(path.find_last_of("/>\\\\") + 1)] = f.toObject();
    }
    const QJsonObject badKey = byName["bad.key"], broken = byName["broken.goo"];
    EXPECT_EQ(badKey["findings"].toArray()[1].toObject()["severity"], "error");
    EXPECT_EQ(badKey["findings"].toArray()[1].toObject()["where"].toObject()["line"], 25);
    EXPECT_TRUE(badKey["model"].toString().endsWith("mod/3do/sample.3do"));
    EXPECT_EQ(badKey["bound"], 11);
    // A KEY in a container is checked against the model of that container.
    EXPECT_TRUE(byName["packed.key"]["model"].toString().endsWith("packed.gob>3do\\sample.3do"))
        << r.out;
    EXPECT_EQ(byName["walk.key"]["findings"].toArray().size(), 1); // the FLAGS warning
    ASSERT_EQ(broken["findings"].toArray().size(), 1);
    EXPECT_EQ(broken["findings"].toArray()[0].toObject()["message"].toString().toStdString(),
              "Cannot read " + dir.file("mod/broken.goo") +
                  ": the file is cut short (it ends inside its data)");
    EXPECT_EQ(out["filesWithErrors"], 2);

    // JUnit: a case per file, failing where there are errors.
    QXmlStreamReader xml(QByteArray::fromStdString(test::ReadAll(dir.file("report.xml"))));
    int cases = 0, failures = 0;
    while (!xml.atEnd())
        if (xml.readNext() == QXmlStreamReader::StartElement) {
            cases += xml.name() == u"testcase";
            failures += xml.name() == u"failure";
        }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    EXPECT_EQ(cases, 4);
    EXPECT_EQ(failures, 2);

    // People read a line per finding and a count; a clean KEY passes; what cannot run is 2.
    r = Cli("check " + mod);
    EXPECT_NE(r.out.find("bad.key:25: error: NODES 11 is more than JOINTS 2"), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("4 files checked: 11 errors, 3 warnings; 2 files with errors\n"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(Cli("check " + ShellQuote(dir.file("mod/3do/key/walk.key")) + " --model " +
                  ShellQuote(kModel))
                  .status,
              0);
    r = Cli("check " + ShellQuote(dir.file("missing")));
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("No such file or folder"), std::string::npos);
    EXPECT_EQ(Cli("check " + mod + " --model " + ShellQuote(dir.file("none.3do"))).status, 2);
}
