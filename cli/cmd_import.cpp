// import: motion from another program (BVH, FBX, glTF, Collada) or another character's KEY,
// retargeted onto a model's skeleton and saved as a KEY the game plays.
#include <QFile>
#include <QJsonDocument>
#include <cmath>

#include "cli_common.h"
#include "cli_json.h"
#include "cli_resources.h"
#include "interop/motion_import.h"
#include "key/key_check.h"
#include "key/u_key.h"
#include "model/u_3dos.h"
#include "support/FileOperations.h"

namespace vorlin::cli {

namespace {

double Number(const QString& text, const char* what) {
    bool ok = false;
    const double v = text.toDouble(&ok);
    if (!ok || !std::isfinite(v))
        throw UsageError{std::string(what) + " must be a number: " + Bytes(text)};
    return v;
}

// A map file: a JSON object of model node names to bone names (null or "" for none).
std::vector<std::pair<std::string, std::string>> ReadMap(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Error("Cannot open the map " + Bytes(path) + ": " + Bytes(file.errorString()));
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(file.read(16 << 20), &error);
    if (!doc.isObject())
        throw Error("The map " + Bytes(path) +
                    " is not a JSON object of model node names to bone names" +
                    (error.error != QJsonParseError::NoError
                         ? " (" + Bytes(error.errorString()) + " at byte " +
                               std::to_string(error.offset) + ")"
                         : ""));
    std::vector<std::pair<std::string, std::string>> changes;
    const QJsonObject map = doc.object();
    for (auto it = map.begin(); it != map.end(); ++it) {
        if (!it.value().isString() && !it.value().isNull())
            throw Error("The map " + Bytes(path) + " gives " + Bytes(it.key()) +
                        " something other than a bone name");
        changes.push_back({Bytes(it.key()), Bytes(it.value().toString())});
    }
    return changes;
}

} // namespace

int Import(const QStringList& args) {
    QCommandLineParser parser;
    QCommandLineOption model("model", "the model the KEY is for", "3DO");
    QCommandLineOption out("out", "the KEY to write", "FILE");
    QCommandLineOption anim("anim", "the animation to take", "NAME");
    QCommandLineOption sourceModel("source-model", "the model a KEY source plays on", "3DO");
    QCommandLineOption map("map", "model node to bone pairs", "FILE");
    QCommandLineOption fps("fps", "frames a second", "F");
    QCommandLineOption from("from", "start, seconds", "S");
    QCommandLineOption to("to", "end, seconds", "S");
    QCommandLineOption tolerance("tolerance", "degrees[,units]", "T");
    QCommandLineOption root("root", "keep, inplace or none", "MODE");
    QCommandLineOption scale("scale", "root path scale", "K");
    const TResourceOptions resources;
    parser.addOptions({model, out, anim, sourceModel, map, fps, from, to, tolerance, root, scale});
    resources.AddTo(parser);
    const QStringList pos = Parse(parser, args, 1, 1);
    if (!parser.isSet(model)) throw UsageError{"--model 3DO is required"};
    if (!parser.isSet(out)) throw UsageError{"--out FILE.key is required"};

    TImportOptions options;
    TRetargetOptions& r = options.Retarget;
    if (parser.isSet(fps)) {
        r.Fps = Number(parser.value(fps), "--fps");
        if (!(r.Fps > 0) || r.Fps > 1000)
            throw UsageError{"--fps must be above 0 and at most 1000"};
    }
    if (parser.isSet(from)) r.From = Number(parser.value(from), "--from");
    if (parser.isSet(to)) r.To = Number(parser.value(to), "--to");
    if (r.From < 0) throw UsageError{"--from must not be negative"};
    if (parser.isSet(tolerance)) {
        const QStringList parts = parser.value(tolerance).split(',');
        if (parts.size() > 2) throw UsageError{"--tolerance must be DEGREES or DEGREES,UNITS"};
        options.Tolerance.Angle = Number(parts[0], "--tolerance");
        if (parts.size() == 2) options.Tolerance.Position = Number(parts[1], "--tolerance");
        if (options.Tolerance.Angle < 0 || options.Tolerance.Position < 0)
            throw UsageError{"--tolerance must not be negative"};
    }
    if (parser.isSet(root)) {
        const QString mode = parser.value(root);
        if (mode == "keep")
            r.Root = TRootMotion::Keep;
        else if (mode == "inplace")
            r.Root = TRootMotion::InPlace;
        else if (mode == "none")
            r.Root = TRootMotion::None;
        else
            throw UsageError{"--root must be keep, inplace or none"};
    }
    if (parser.isSet(scale)) {
        r.Scale = Number(parser.value(scale), "--scale");
        if (!(*r.Scale > 0)) throw UsageError{"--scale must be above 0"};
    }
    if (parser.isSet(map)) options.Map = ReadMap(parser.value(map));

    const std::string modelPath = GivenPath(parser.value(model));
    SetResourceSearch(parser, resources, modelPath);
    const std::unique_ptr<T3DO> target =
        ReadReported("model", modelPath, [&] { return std::make_unique<T3DO>(modelPath, 0); });
    target->FileName = modelPath;

    const std::string motionPath = GivenPath(pos[0]);
    std::unique_ptr<TMotion> motion;
    std::unique_ptr<T3DO> source;
    if (parser.isSet(sourceModel) || SameText(PathExt(motionPath), ".key")) {
        if (!parser.isSet(sourceModel))
            throw UsageError{"a KEY as the motion needs --source-model, the model it plays on"};
        const std::string sourcePath = GivenPath(parser.value(sourceModel));
        source = ReadReported("model", sourcePath,
                              [&] { return std::make_unique<T3DO>(sourcePath, 0); });
        source->FileName = sourcePath;
        const std::unique_ptr<TKEYFile> key =
            ReadReported("KEY", motionPath, [&] { return LoadKeyReported(motionPath); });
        motion = KeyMotion(*source, *key);
    } else {
        motion = ReadMotion(motionPath, Bytes(parser.value(anim)));
    }
    const TImportResult result = ImportMotion(*target, *motion, options);
    // A KEY the game would refuse is not written.
    for (const TFinding& f : CheckKey(*result.Key, target.get()))
        if (f.Severity == TSeverity::Error)
            throw Error("The KEY made would not play: " + f.Message);
    const std::string outPath = Bytes(parser.value(out));
    result.Key->Name = PathName(outPath);
    result.Key->FullName = outPath;
    result.Key->SaveToFile(outPath);

    QJsonArray pairs;
    for (int n = 0; n < target->HNodes.Count(); ++n)
        if (const int b = result.Map.Source[size_t(n)]; b >= 0)
            pairs.append(QJsonObject{{"node", Str(target->HNodes[n].Name)},
                                     {"bone", Str(motion->Names[size_t(b)])}});
    QJsonObject report;
    report["file"] = parser.value(out);
    report["animation"] = Str(motion->Animation);
    report["frames"] = Int(result.Frames);
    report["fps"] = Num(result.Fps);
    report["keys"] = Int(result.Keys);
    report["scale"] = Num(result.Scale);
    report["largestError"] = QJsonObject{{"units", Num(result.Error.Position)},
                                         {"degrees", Num(result.Error.Angle)},
                                         {"frame", Int(result.Error.Frame)},
                                         {"node", Str(target->HNodes[result.Error.Node].Name)}};
    report["pairs"] = pairs;
    report["unmappedNodes"] = StrArray(result.UnmappedNodes);
    report["unusedBones"] = StrArray(result.UnusedBones);
    report["warnings"] = StrArray(theSink->warnings);
    Print(report);
    return 0;
}

} // namespace vorlin::cli
