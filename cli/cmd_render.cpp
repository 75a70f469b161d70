// render: the editor's 3D view of a model, posed by a KEY, drawn with no display into a PNG, a
// PNG per frame, a contact sheet, or an animated WebP or GIF.
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>
#include <climits>
#include <cmath>
#include <csignal>
#include <cstdio>

#include "cli_common.h"
#include "cli_resources.h"
#include "edit/key_document.h"
#include "edit/model_match.h"
#include "edit/view_pick.h"
#include "image_out.h"
#include "key/key_check.h"
#include "key/u_key.h"
#include "model/graph_files.h"
#include "model/u_3dos.h"
#include "gl/offscreen.h"
#include "gl/ogl_PRender.h"
#include "settings/GlobalVars.h"
#include "support/FileOperations.h"
#include "support/misc_utils.h"

namespace vorlin::cli {

namespace {

// Ctrl+C or a kill ends the drawing between two frames, so that what was written is removed;
// the status then says which signal it was, as though it had ended the program.
volatile std::sig_atomic_t interrupted = 0;
extern "C" void OnInterrupt(int signal) {
    interrupted = signal;
}

// The size of the editor's 3D view in its default window.
constexpr int kDefaultWidth = 518, kDefaultHeight = 270;

struct TNamedView {
    const char* Name;
    double Yaw, Pitch;
};
// The camera's angles for each side: the view menu's Top is pitch -90; yaw 90 puts the camera
// on +X, the model's right.
constexpr TNamedView kViews[] = {{"front", 0, 0},  {"back", 180, 0}, {"right", 90, 0},
                                 {"left", -90, 0}, {"top", 0, -90},  {"bottom", 0, 90}};

std::pair<int, int> Pair(const QString& text, const char* what) {
    static const QRegularExpression form("^(\\d{1,6})x(\\d{1,6})$");
    const QRegularExpressionMatch m = form.match(text);
    if (!m.hasMatch()) throw UsageError{std::string(what) + " must be NxM: " + Bytes(text)};
    return {m.captured(1).toInt(), m.captured(2).toInt()};
}

double ToDouble(const QString& text, const char* what) {
    bool ok = false;
    const double v = text.toDouble(&ok);
    if (!ok || !std::isfinite(v))
        throw UsageError{std::string(what) + " must be a number: " + Bytes(text)};
    return v;
}

// The frames to draw, From, From + Step, ... (Count of them): a range, never a list, so that a
// KEY claiming two billion frames costs nothing until they are drawn, one at a time.
struct TFrames {
    int64_t From = 0, Step = 1, Count = 1;
    int At(int64_t i) const { return int(From + i * Step); }
};

// Every frame of an animation or a contact sheet, unless --frames says which, up to this many.
constexpr int64_t kMostFramesUnasked = 10000;

// The frames asked for, each checked against the KEY's. keyName is the KEY as it was given.
TFrames FramesOf(const QCommandLineParser& parser, const QCommandLineOption& frame,
                 const QCommandLineOption& frames, const TKEYFile* key, const std::string& keyName,
                 bool everyFrame) {
    if (parser.isSet(frame) && parser.isSet(frames))
        throw UsageError{"give --frame or --frames, not both"};
    const bool asked = parser.isSet(frame) || parser.isSet(frames);
    if (!asked && !everyFrame) return {};
    if (everyFrame && !key && !asked) throw Error("An animated picture needs a KEY");
    const int64_t count = key ? key->Frames : 1;
    if (key && count <= 0) throw Error(keyName + " has no frames");
    auto check = [&](int f) {
        if (f < 0 || f >= count)
            throw Error("Frame " + std::to_string(f) + " is outside 0.." +
                        std::to_string(count - 1) +
                        (key ? " (the KEY has " + std::to_string(count) + " frames)"
                             : " (without a KEY there is only the rest pose, frame 0)"));
        return f;
    };
    if (parser.isSet(frame)) return {check(ToInt(parser.value(frame), "--frame")), 1, 1};
    if (parser.isSet(frames)) {
        const QStringList parts = parser.value(frames).split(':');
        if (parts.size() < 2 || parts.size() > 3)
            throw UsageError{"--frames must be A:B or A:B:STEP"};
        const int from = check(ToInt(parts[0], "--frames"));
        const int to = check(ToInt(parts[1], "--frames"));
        const int step = parts.size() == 3 ? ToInt(parts[2], "--frames' step") : 1;
        if (step < 1) throw UsageError{"--frames' step must be at least 1"};
        if (to < from) throw UsageError{"--frames must run forwards (A <= B)"};
        return {from, step, (int64_t(to) - from) / step + 1};
    }
    if (count > kMostFramesUnasked)
        throw Error(keyName + " has " + std::to_string(count) + " frames; more than " +
                    std::to_string(kMostFramesUnasked) +
                    " are drawn only when asked for: choose a range with --frames A:B[:STEP] "
                    "(for example --frames 0:" +
                    std::to_string(kMostFramesUnasked - 1) + ")");
    return {0, 1, count};
}

} // namespace

int Render(const QStringList& args) {
    QCommandLineParser parser;
    QCommandLineOption out("out", "the picture to write", "FILE");
    QCommandLineOption frame("frame", "the frame to draw", "F");
    QCommandLineOption frames("frames", "the frames to draw", "A:B[:STEP]");
    QCommandLineOption size("size", "the picture's size (518x270, the editor's first view)", "WxH");
    QCommandLineOption view("view", "the side to look from", "SIDE");
    QCommandLineOption yaw("yaw", "the camera's azimuth in degrees", "DEG");
    QCommandLineOption pitch("pitch", "the camera's elevation in degrees", "DEG");
    QCommandLineOption zoom("zoom",
                            "the camera's distance from the centre in tenths of a unit, 1 to 500 "
                            "(larger is farther; by default the one that fits the model)",
                            "Z");
    QCommandLineOption wireframe("wireframe", "outlines instead of textures");
    QCommandLineOption node("node", "the node drawn as selected (none without it)", "NAME");
    QCommandLineOption cmp("cmp", "colour map", "CMP");
    QCommandLineOption background("background", "background colour", "RRGGBB");
    QCommandLineOption sheet("sheet", "one contact sheet of the frames in this grid", "COLSxROWS");
    const TResourceOptions resources;
    parser.addOptions({out, frame, frames, size, view, yaw, pitch, zoom, wireframe, node, cmp,
                       background, sheet});
    resources.AddTo(parser);
    const QStringList pos = Parse(parser, args, 1, 2);
    if (!parser.isSet(out)) throw UsageError{"--out FILE is required"};

    const QString outPath = parser.value(out);
    const QString ext = QFileInfo(outPath).suffix().toLower();
    const bool animated = ext == "webp" || ext == "gif";
    TImageOptions image;
    image.Path = outPath;
    std::tie(image.Width, image.Height) = std::pair(kDefaultWidth, kDefaultHeight);
    if (parser.isSet(size))
        std::tie(image.Width, image.Height) = Pair(parser.value(size), "--size");
    if (image.Width < 1 || image.Height < 1) throw UsageError{"--size must be at least 1x1"};
    if (parser.isSet(sheet)) {
        if (ext != "png") throw UsageError{"--sheet writes a .png"};
        std::tie(image.SheetCols, image.SheetRows) = Pair(parser.value(sheet), "--sheet");
        if (image.SheetCols < 1 || image.SheetRows < 1)
            throw UsageError{"--sheet must be at least 1x1"};
    }
    double viewYaw = 0, viewPitch = 0;
    if (parser.isSet(view)) {
        const auto* named = std::find_if(std::begin(kViews), std::end(kViews), [&](const auto& v) {
            return parser.value(view).compare(v.Name, Qt::CaseInsensitive) == 0;
        });
        if (named == std::end(kViews))
            throw UsageError{"--view must be front, back, left, right, top or bottom"};
        viewYaw = named->Yaw;
        viewPitch = named->Pitch;
    }
    if (parser.isSet(yaw)) viewYaw = ToDouble(parser.value(yaw), "--yaw");
    if (parser.isSet(pitch)) viewPitch = ToDouble(parser.value(pitch), "--pitch");
    std::optional<double> viewZoom;
    if (parser.isSet(zoom)) {
        viewZoom = ToDouble(parser.value(zoom), "--zoom");
        if (*viewZoom < kMinViewZoom || *viewZoom > kMaxViewZoom)
            throw UsageError{"--zoom must be between 1 and 500"};
    }
    std::array<float, 3> backgroundColour{};
    if (parser.isSet(background)) {
        static const QRegularExpression hex("^#?([0-9a-fA-F]{6})$");
        const QRegularExpressionMatch m = hex.match(parser.value(background));
        if (!m.hasMatch()) throw UsageError{"--background must be RRGGBB"};
        const uint rgb = m.captured(1).toUInt(nullptr, 16);
        for (int i = 0; i < 3; ++i)
            backgroundColour[size_t(i)] = float((rgb >> (16 - 8 * i)) & 0xFF) / 255.0f;
    }

    const std::string modelPath = GivenPath(pos[0]);
    const std::string keyPath = pos.size() > 1 ? GivenPath(pos[1]) : std::string();
    const std::string cmpPath = parser.isSet(cmp) ? GivenPath(parser.value(cmp)) : std::string();
    SetResourceSearch(parser, resources, modelPath);
    const std::unique_ptr<T3DO> loaded =
        ReadReported("model", modelPath, [&] { return std::make_unique<T3DO>(modelPath, 0); });
    T3DO& model = *loaded;
    model.FileName = modelPath;
    // A picture of nothing is no answer (a model cut short before its faces, say).
    const bool drawable = std::any_of(model.HNodes.begin(), model.HNodes.end(), [&](const auto& h) {
        return h->Mesh >= 0 && h->Mesh < model.Meshes.Count() &&
               model.Meshes[h->Mesh].Faces.Count() > 0;
    });
    if (!drawable)
        throw Error(Bytes(pos[0]) + " has no mesh to draw: no node of its hierarchy shows a mesh "
                                    "with faces");
    const double floorHeight = model.LowestPoint(); // as the editor takes it on loading
    std::unique_ptr<TKEYFile> key;
    if (pos.size() > 1) {
        key = ReadReported("KEY", keyPath, [&] { return LoadKeyReported(keyPath); });
        // As check --model counts them: the KEY's nodes that drive no model node of their name.
        std::vector<std::string> names;
        for (const auto& h : model.HNodes)
            names.push_back(h->Name);
        const int unmatched = key->Nodes.Count() - ModelMatchScore(*key, names);
        if (unmatched > 0)
            LogMessage(mtWarning, std::to_string(unmatched) + " of the KEY's " +
                                      std::to_string(key->Nodes.Count()) +
                                      " nodes do not match the model's nodes (vorlin-cli check " +
                                      "--model names them): is the KEY made for another model?");
    }
    const bool everyFrame = animated || parser.isSet(sheet);
    const TFrames list =
        FramesOf(parser, frame, frames, key.get(), Bytes(pos.size() > 1 ? pos[1] : ""), everyFrame);
    image.Frames = int(std::min<int64_t>(list.Count, INT_MAX));
    image.Series = parser.isSet(frames) && !animated && !parser.isSet(sheet);
    image.Inputs = {{"the model", modelPath}, {"the KEY", keyPath}, {"the colour map", cmpPath}};
    double fps = key ? key->FPS : 15;
    if (animated && !(fps > 0 && std::isfinite(fps))) {
        LogMessage(mtWarning,
                   "The KEY's FPS is not above 0; the picture runs at 15 frames a second");
        fps = 15;
    }
    image.SecondsPerFrame = double(list.Step) / fps;

    int selected = -1;
    if (parser.isSet(node)) {
        const std::string wanted = Bytes(parser.value(node));
        for (int j = 0; j < model.HNodes.Count() && selected < 0; ++j)
            if (SameText(model.HNodes[j].Name, wanted)) selected = j;
        if (selected < 0) throw Error("The model has no node " + wanted);
    }
    TPalette& palette = CurrentPalette();
    if (parser.isSet(cmp)) {
        CheckColourMap(cmpPath); // asked for: a picture without it would be a wrong answer
        // As Set CMP does: the palette (or the built-in one), then the light table.
        LoadCMPPalette(cmpPath, palette);
        ApplyCMPLight(cmpPath, palette);
    }

    // The editor's camera after loading the model: framed on the rest pose.
    model.TransformVertices();
    const double aspect = double(image.Width) / image.Height;
    TViewFraming camera = FirstView(model, viewPitch, viewYaw, aspect);
    if (viewZoom) camera = {*viewZoom, {0, 0, 0}};

    std::unique_ptr<TImageWriter> writer = MakeImageWriter(image);
    TOffscreenGL target(image.Width, image.Height);
    TOGLRenderer renderer(&target);
    renderer.UpdateColours();
    if (parser.isSet(background)) renderer.Background = backgroundColour;
    renderer.Options = {selected, Settings.SHOW_NODEPATH, Settings.SHOW_FLOOR, floorHeight};
    renderer.SetViewport(0, 0, image.Width, image.Height);
    renderer.RebuildLists();
    renderer.LoadTextures(model.Materials);
    renderer.PanOffset = camera.Pan;
    renderer.SetCamera(viewPitch, viewYaw, camera.Zoom * 0.1);

    const bool progress = list.Count > 1 && ErrorIsTerminal();
    // An error ends the progress line, so that its message starts a line of its own.
    struct EndLine {
        bool on;
        ~EndLine() {
            if (on) std::fputs("\r\033[K", stderr);
        }
    } endLine{progress};
    // A signal the caller has us ignore (a shell's background job and Ctrl+C) stays ignored.
    for (const int signal : {SIGINT, SIGTERM})
        if (std::signal(signal, OnInterrupt) == SIG_IGN) std::signal(signal, SIG_IGN);
    QImage picture(image.Width, image.Height, QImage::Format_RGBX8888);
    if (picture.isNull()) throw Error("Not enough memory for a picture of that size");
    for (int64_t i = 0; i < list.Count; ++i) {
        if (interrupted) throw Interrupted{interrupted, "Interrupted: no picture was written"};
        if (key) key->ApplyToModel(model, list.At(i));
        renderer.DrawScene(&model, key.get(), !parser.isSet(wireframe));
        target.ReadPixels(picture.bits());
        writer->Add(picture, list.At(i));
        if (progress) {
            std::fprintf(stderr, "\rframe %lld/%lld", (long long)i + 1, (long long)list.Count);
            std::fflush(stderr);
        }
    }
    if (interrupted) throw Interrupted{interrupted, "Interrupted: no picture was written"};
    writer->Finish();
    // Too late to take it back; the caller still learns that it asked to stop.
    if (interrupted) throw Interrupted{interrupted, "Interrupted after the picture was written"};
    return 0;
}

} // namespace vorlin::cli
