// export: a model and its KEYs as glTF 2.0 (.glb or .gltf) for every other animation tool.
#include <QFileInfo>

#include "cli_common.h"
#include "cli_json.h"
#include "cli_resources.h"
#include "interop/gltf_export.h"
#include "key/key_check.h"
#include "key/u_key.h"
#include "model/graph_files.h"
#include "model/u_3dos.h"

namespace vorlin::cli {

int Export(const QStringList& args) {
    QCommandLineParser parser;
    QCommandLineOption out("out", "the glTF file to write", "FILE");
    QCommandLineOption cmp("cmp", "colour map", "CMP");
    QCommandLineOption step("step", "frames between samples", "S");
    const TResourceOptions resources;
    parser.addOptions({out, cmp, step});
    resources.AddTo(parser);
    const QStringList pos = Parse(parser, args, 1, 1000);
    if (!parser.isSet(out)) throw UsageError{"--out FILE.glb or FILE.gltf is required"};
    const QString outPath = parser.value(out);
    const QString ext = QFileInfo(outPath).suffix().toLower();
    if (ext != "glb" && ext != "gltf") throw UsageError{"--out must name a .glb or .gltf file"};
    TExportOptions options;
    if (parser.isSet(step)) {
        bool ok = false;
        options.Step = parser.value(step).toDouble(&ok);
        if (!ok || !(options.Step > 0) || options.Step > 1)
            throw UsageError{"--step must be a number above 0 and at most 1"};
    }

    const std::string modelPath = GivenPath(pos[0]);
    SetResourceSearch(parser, resources, modelPath);
    const std::unique_ptr<T3DO> model =
        ReadReported("model", modelPath, [&] { return std::make_unique<T3DO>(modelPath, 0); });
    model->FileName = modelPath;
    std::vector<std::unique_ptr<TKEYFile>> keys;
    std::vector<const TKEYFile*> list;
    for (qsizetype i = 1; i < pos.size(); ++i) {
        const std::string keyPath = GivenPath(pos[i]);
        keys.push_back(ReadReported("KEY", keyPath, [&] { return LoadKeyReported(keyPath); }));
        list.push_back(keys.back().get());
    }
    TPalette& palette = CurrentPalette();
    if (parser.isSet(cmp)) {
        // As Set CMP does: the palette (or the built-in one), then the light table.
        const std::string cmpPath = GivenPath(parser.value(cmp));
        LoadCMPPalette(cmpPath, palette);
        ApplyCMPLight(cmpPath, palette);
    }
    ExportGltf(*model, list, palette, Bytes(outPath), options);

    QJsonArray animations;
    for (const TKEYFile* k : list)
        animations.append(
            QJsonObject{{"name", Str(k->Name)}, {"frames", Int(k->Frames)}, {"fps", Num(k->FPS)}});
    QJsonObject report;
    report["file"] = outPath;
    report["nodes"] = Int(model->HNodes.Count());
    report["animations"] = animations;
    report["warnings"] = StrArray(theSink->warnings);
    Print(report);
    return 0;
}

} // namespace vorlin::cli
