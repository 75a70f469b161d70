// The commands that read containers, models and materials.
#include <QImage>
#include <cstdio>
#include <cstring>
#include <unordered_map>

#include "cli_common.h"
#include "cli_json.h"
#include "image_out.h"
#include "key/u_key.h"
#include "model/graph_files.h"
#include "model/u_3dos.h"
#include "settings/GlobalVars.h"
#include "support/Containers.h"
#include "support/FileOperations.h"

namespace vorlin::cli {

int ContainerList(const QStringList& args) {
    QCommandLineParser parser;
    QStringList pos = Parse(parser, args, 1, 2);
    std::unique_ptr<TContainerFile> container = OpenContainerFile(Bytes(pos[0]));
    if (pos.size() > 1) {
        std::string folder = Bytes(pos[1]);
        for (char& c : folder)
            if (c == '/') c = '\\';
        if (!folder.empty() && folder.back() == '\\') folder.pop_back();
        if (!container->ChDir(folder)) throw Error("Folder not found: " + Bytes(pos[1]));
    }
    QJsonArray files;
    for (const TFileItem& item : container->ListFiles()) {
        QJsonObject f;
        f["name"] = Str(item.name);
        f["size"] = Int(item.info->Size);
        files.append(f);
    }
    QJsonObject out;
    out["path"] = Str(container->Path);
    out["folder"] = Str(container->CurDir);
    out["files"] = files;
    out["dirs"] = StrArray(container->ListDirs());
    Print(out);
    return 0;
}

int Cat(const QStringList& args) {
    QCommandLineParser parser;
    QStringList pos = Parse(parser, args, 1, 1);
    std::unique_ptr<TFile> file = OpenFile(Bytes(pos[0]));
    int64_t left = file->FileSize();
    std::vector<char> buffer(1 << 16);
    while (left > 0) {
        int64_t want = left < int64_t(buffer.size()) ? left : int64_t(buffer.size());
        int64_t got = file->Read(buffer.data(), want);
        if (got <= 0) throw CutShortError(file->GetFullName());
        std::fwrite(buffer.data(), 1, size_t(got), stdout);
        left -= got;
    }
    std::fflush(stdout);
    return 0;
}

int Find(const QStringList& args) {
    QCommandLineParser parser;
    QCommandLineOption project("project", "project folder", "DIR");
    QCommandLineOption jk("jk", "the game's container", "GOB");
    QCommandLineOption mots("mots", "the expansion's container", "GOO");
    parser.addOptions({project, jk, mots});
    QStringList pos = Parse(parser, args, 1, 1);
    ProjectDir = Bytes(parser.value(project));
    if (!ProjectDir.empty() && ProjectDir.back() != '/') ProjectDir += '/';
    Settings.JKGOB = Bytes(parser.value(jk));
    Settings.MOTSGOB = Bytes(parser.value(mots));
    std::unique_ptr<TFile> file = FindResource(Bytes(pos[0]));
    std::string line = file->GetFullName() + "\n";
    std::fwrite(line.data(), 1, line.size(), stdout);
    return 0;
}

QJsonArray Point(double x, double y, double z) {
    return QJsonArray{Num(x), Num(y), Num(z)};
}

QJsonObject ModelJson(T3DO& model) {
    QJsonObject out;
    out["materials"] = StrArray(model.Materials);
    QJsonArray meshes;
    for (const auto& mesh : model.Meshes) {
        std::unordered_map<const TVertex*, int> index;
        QJsonArray vertices;
        for (const TVertex* v : mesh->Faces.Vertices) {
            index.emplace(v, int(index.size()));
            vertices.append(Point(v->x, v->y, v->z));
        }
        QJsonArray faces;
        for (const auto& f : mesh->Faces) {
            QJsonArray corners;
            for (int k = 0; k < f->Vertices.Count(); ++k)
                corners.append(QJsonArray{Int(index.at(&f->Vertices[k])), Num(f->TXVertices[k].u),
                                          Num(f->TXVertices[k].v)});
            faces.append(QJsonObject{{"material", Int(f->Material)},
                                     {"type", Int(f->FaceType)},
                                     {"geo", Int(f->Geo)},
                                     {"light", Int(f->Light)},
                                     {"tex", Int(f->Tex)},
                                     {"extraLight", Num(f->ExtraLight)},
                                     {"corners", corners}});
        }
        meshes.append(
            QJsonObject{{"name", Str(mesh->Name)}, {"vertices", vertices}, {"faces", faces}});
    }
    out["meshes"] = meshes;
    QJsonArray nodes;
    for (const auto& n : model.HNodes)
        nodes.append(QJsonObject{{"name", Str(n->Name)},
                                 {"mesh", Int(n->Mesh)},
                                 {"parent", Int(n->Parent)},
                                 {"child", Int(n->Child)},
                                 {"sibling", Int(n->Sibling)},
                                 {"x", Num(n->X)},
                                 {"y", Num(n->Y)},
                                 {"z", Num(n->Z)},
                                 {"pitch", Num(n->Pitch)},
                                 {"yaw", Num(n->Yaw)},
                                 {"roll", Num(n->Roll)},
                                 {"pivotX", Num(n->PivotX)},
                                 {"pivotY", Num(n->PivotY)},
                                 {"pivotZ", Num(n->PivotZ)}});
    out["nodes"] = nodes;
    out["radius"] = Num(model.Radius());
    out["lowestPoint"] = Num(model.LowestPoint());
    out["warnings"] = StrArray(theSink->warnings);
    return out;
}

int ModelDump(const QStringList& args) {
    QCommandLineParser parser;
    QCommandLineOption geoset("geoset", "geometry set to read", "N", "0");
    parser.addOption(geoset);
    QStringList pos = Parse(parser, args, 1, 1);
    T3DO model(Bytes(pos[0]), ToInt(parser.value(geoset), "--geoset"));
    Print(ModelJson(model));
    return 0;
}

int Pose(const QStringList& args) {
    QCommandLineParser parser;
    QStringList pos = Parse(parser, args, 3, 3);
    int frame = ToInt(pos[2], "FRAME");
    T3DO model(Bytes(pos[0]));
    std::unique_ptr<TKEYFile> key = TKEYFile::CreateFromFile(Bytes(pos[1]));
    key->ApplyToModel(model, frame);
    QJsonArray nodes;
    for (const auto& n : model.HNodes)
        nodes.append(QJsonObject{{"name", Str(n->Name)},
                                 {"x", Num(n->CurX)},
                                 {"y", Num(n->CurY)},
                                 {"z", Num(n->CurZ)},
                                 {"pitch", Num(n->CurPitch)},
                                 {"yaw", Num(n->CurYaw)},
                                 {"roll", Num(n->CurRoll)}});
    QJsonArray meshes;
    for (const auto& mesh : model.Meshes) {
        QJsonArray world;
        for (const TVertex* v : mesh->Faces.Vertices)
            world.append(Point(v->tx, v->ty, v->tz));
        meshes.append(QJsonObject{{"name", Str(mesh->Name)}, {"world", world}});
    }
    QJsonObject out;
    out["frame"] = Int(frame);
    out["nodes"] = nodes;
    out["meshes"] = meshes;
    out["warnings"] = StrArray(theSink->warnings);
    Print(out);
    return 0;
}

int Texture(const QStringList& args) {
    QCommandLineParser parser;
    QCommandLineOption cmp("cmp", "colour map to apply", "CMP");
    QCommandLineOption out("out", "PNG file to write", "FILE");
    parser.addOptions({cmp, out});
    QStringList pos = Parse(parser, args, 1, 1);
    if (!parser.isSet(out)) throw UsageError{"--out is required"};
    TPalette& palette = CurrentPalette();
    if (parser.isSet(cmp)) {
        CheckColourMap(Bytes(parser.value(cmp))); // asked for: not to be left out quietly
        // As "Set CMP" does: the palette (or the built-in one), then the light table.
        LoadCMPPalette(Bytes(parser.value(cmp)), palette);
        ApplyCMPLight(Bytes(parser.value(cmp)), palette);
    }
    std::string name = Bytes(pos[0]);
    TMAT mat(PathDir(name).empty() ? FindResource(name) : OpenFile(name));
    std::vector<uint8_t> rgb = ImageToRGB(mat, palette);
    const int w = mat.Info.width, h = mat.Info.height;
    if (w == 0 || h == 0) throw Error("MAT picture has no pixels");
    QImage image(w, h, QImage::Format_RGB888);
    if (image.isNull()) throw Error("MAT picture is too large");
    for (int y = 0; y < h; ++y)
        std::memcpy(image.scanLine(y), rgb.data() + size_t(y) * size_t(w) * 3, size_t(w) * 3);
    WritePng(parser.value(out), image);
    return 0;
}

} // namespace vorlin::cli
