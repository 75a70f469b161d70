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

#include "cli_test.h"

using namespace vorlin;
using namespace vorlin::test;

namespace {

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
                              kDrawingSanitizer + " " + VORLIN_CLI +
                              " render sample.3do key/walk.key --size 20x10 --out " +
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

namespace {

// The pixels of the selected colour (and of the Z axis, which shares it).
std::vector<QPoint> RedPixels(const std::string& path) {
    const QImage image(QString::fromStdString(path));
    std::vector<QPoint> red;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y) == QColor(255, 0, 0)) red.push_back({x, y});
    return red;
}

// The walk with one header line changed.
std::string WalkWith(const std::string& line, const std::string& by) {
    std::string walk = test::ReadAll(kWalk);
    walk.replace(walk.find(line), line.size(), by);
    return walk;
}

} // namespace

// What render draws is what it was asked for, and what it cannot draw rightly is an error or a
// warning, never a quiet picture of something else.
TEST(CliRender, DrawsWhatWasAskedOrSaysWhyNot) {
    TempDir dir;
    const std::string size = " --size 160x120";
    // No node: nothing highlighted; a leaf, its own outline; the root, the whole model.
    for (const char* node : {"", "head", "root"}) {
        const auto r =
            Cli(Render(dir.file(std::string("n") + node + ".png"),
                       "--frame 4" + size + (*node ? std::string(" --node ") + node : "")));
        ASSERT_EQ(r.status, 0) << r.err << r.out;
    }
    const auto none = RedPixels(dir.file("n.png")), head = RedPixels(dir.file("nhead.png")),
               root = RedPixels(dir.file("nroot.png"));
    EXPECT_LT(none.size(), head.size());
    EXPECT_LT(head.size(), root.size());
    for (const QPoint& p : none) // the axis, in every picture
        EXPECT_NE(std::find(head.begin(), head.end(), p), head.end());

    // A contact sheet takes every frame when not told: the last cell holds frame 31.
    ASSERT_EQ(Cli(Render(dir.file("sheet.png"), "--sheet 8x4 --size 40x30")).status, 0);
    const QImage sheet(QString::fromStdString(dir.file("sheet.png")));
    EXPECT_EQ(sheet.size(), QSize(320, 120));
    EXPECT_NE(sheet.pixelColor(7 * 40 + 20, 3 * 30 + 5), QColor(40, 40, 40)) << "an empty cell";

    // A container path with "/" is the same file as with "\": the same picture.
    const std::string gob = kSample + "/sample.gob";
    ASSERT_EQ(Cli("render " + ShellQuote(gob + ">3do/sample.3do") + " " +
                  ShellQuote(gob + ">3do/key/walk.key") + " --frame 4" + size + " --out " +
                  ShellQuote(dir.file("gob.png")))
                  .status,
              0);
    EXPECT_EQ(QImage(QString::fromStdString(dir.file("gob.png"))),
              QImage(QString::fromStdString(dir.file("n.png"))));

    // 60 frames a second: every GIF delay 2 hundredths (browsers show 1 as 10).
    const std::string fast = dir.write("fast.key", WalkWith("FPS    15", "FPS    60"));
    ASSERT_EQ(Cli("render " + ShellQuote(kModel) + " " + ShellQuote(fast) + " --out " +
                  ShellQuote(dir.file("fast.gif")) + " --size 16x16")
                  .status,
              0);
    const TAnimation gif = ReadGif(dir.file("fast.gif"));
    EXPECT_EQ(gif.Frames, 32);
    EXPECT_EQ(gif.Milliseconds, 32 * 20);

    // What cannot be drawn rightly: an error, and no file; or a warning.
    const std::string huge = dir.write("huge.key", WalkWith("FRAMES 32", "FRAMES 2147483647"));
    const std::string empty = dir.write("empty.key", WalkWith("FRAMES 32", "FRAMES 0"));
    const std::string other = dir.write("other.key", WalkWith("MESH NAME TORSO", "MESH NAME GUT"));
    const std::string model = test::ReadAll(kModel);
    // Cut after the third of the first mesh's vertices.
    const std::string cut =
        dir.write("cut.3do", model.substr(0, model.find("     3:", model.find("VERTICES 8"))));
    const std::string shortCmp = dir.write("short.cmp", "CMP " + std::string(96, '\0'));
    dir.write("out/keep", "");
    const std::string out = " --out " + ShellQuote(dir.file("out/x.gif")) + size;
    auto with = [&](const std::string& key, const std::string& options = "") {
        return "render " + ShellQuote(kModel) + " " + ShellQuote(key) + out + " " + options;
    };
    const struct {
        std::string args;
        int status;
        std::string err; // the whole of standard error, or with "..." a part of it
    } cases[] = {
        {with(huge), 1,
         "Error: " + huge +
             " has 2147483647 frames; more than 10000 are drawn only when asked "
             "for: choose a range with --frames A:B[:STEP] (for example --frames "
             "0:9999)\n"},
        {with(huge, "--frames 0:3"), 0, ""},
        {with(empty), 1, "Error: " + empty + " has no frames\n"},
        {"render " + ShellQuote(kModel) + " " + ShellQuote(empty) + " --out " +
             ShellQuote(dir.file("out/e.webp")),
         1, "Error: " + empty + " has no frames\n"},
        {with(kWalk, "--cmp " + ShellQuote(dir.file("none.cmp"))), 1,
         "Error: Cannot read " + dir.file("none.cmp") + ": there is no such file\n"},
        {with(kWalk, "--cmp " + ShellQuote(shortCmp)), 1,
         "Error: " + shortCmp +
             " is cut short: a colour map holds at least 17216 bytes, it has "
             "100\n"},
        {with(kWalk, "--cmp " + ShellQuote(kWalk)), 1,
         "Error: " + kWalk + " is not a colour map (a CMP file begins with \"CMP \")\n"},
        {"render " + ShellQuote(cut) + out, 1,
         "Warning: cut.3do is cut short: it ends inside the vertices of mesh TORSO (3 of 8 "
         "read)\nError: " +
             cut + " has no mesh to draw: no node of its hierarchy shows a mesh with faces\n"},
        {with(other, "--frames 0:1"), 0,
         "Warning: 1 of the KEY's 11 nodes do not match the model's nodes (vorlin-cli check "
         "--model names them): is the KEY made for another model?\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        const auto r = Cli(c.args);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.err, c.err);
        std::filesystem::remove(dir.file("out/x.gif"));
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.file("out")), {}), 1)
            << "a file was left behind";
    }
}

// One odd byte in one KEY of a mod: the lines and the JUnit report write it out, the report is
// written, and the run ends 1 for the KEY's error. A KEY named twice is checked once.
TEST(CliCheck, OddBytesAreWrittenOutAndAKeyNamedTwiceIsCheckedOnce) {
    TempDir dir;
    dir.write("mod/r.key", WalkWith("FRAMES 32", "FRAMES\x1b 32"));
    const std::string clean =
        dir.write("mod/sub/jump.key", test::ReadAll(kSample + "/3do/key/jump.key"));
    const std::string report = dir.file("r.xml");
    const std::string args = ShellQuote(dir.file("mod")) + " " + ShellQuote(clean) + " " +
                             ShellQuote(dir.file("mod/sub/../r.key"));
    auto r = Cli("check " + args + " --junit " + ShellQuote(report));
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_NE(r.out.find("r.key:8: error: The game cannot read \"frames\\x1b 32\""),
              std::string::npos)
        << r.out;
    EXPECT_EQ(r.out.find('\x1b'), std::string::npos);
    EXPECT_NE(r.out.find("2 files checked"), std::string::npos) << r.out;

    QXmlStreamReader xml(QByteArray::fromStdString(test::ReadAll(report)));
    int cases = 0;
    QString failure;
    while (!xml.atEnd())
        if (xml.readNext() == QXmlStreamReader::StartElement) {
            cases += xml.name() == u"testcase";
            if (xml.name() == u"failure" && failure.isEmpty())
                failure = xml.attributes().value("message").toString();
        }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    EXPECT_EQ(cases, 2);
    EXPECT_TRUE(failure.contains("\"frames\\x1b 32\"")) << failure.toStdString();

    // JSON carries the byte itself, escaped as JSON escapes it.
    r = Cli("check " + args + " --json");
    EXPECT_NE(r.out.find("frames\\u001b 32"), std::string::npos) << r.out;
}
