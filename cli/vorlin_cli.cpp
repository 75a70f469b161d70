// vorlin-cli: batch access to the editor's core for scripts.
//
// Warnings go to standard error as "Warning: " lines; an error ends the command with
// "Error: " + message and status 1; a usage error exits with status 2.
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QImage>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>

#include "cli_json.h"
#include "edit/curves.h"
#include "key/key_check.h"
#include "key/u_key.h"
#include "model/graph_files.h"
#include "model/u_3dos.h"
#include "settings/GlobalVars.h"
#include "support/Containers.h"
#include "support/FileOperations.h"
#include "support/misc_utils.h"
#include <unordered_map>

namespace vorlin::cli {

namespace {

const char* kUsage = "usage: vorlin-cli <command>\n"
                     "  key dump PATH\n"
                     "  key save IN OUT [--recalc]\n"
                     "  key check KEY [--model 3DO]\n"
                     "  key curves KEY (--node NAME | --index N) [--model 3DO] [--from F]\n"
                     "             [--to T] [--csv]\n"
                     "  container list CONTAINER [FOLDER]\n"
                     "  cat PATH\n"
                     "  find NAME [--project DIR] [--jk GOB] [--mots GOO]\n"
                     "  model dump PATH [--geoset N]\n"
                     "  pose MODEL KEY FRAME\n"
                     "  texture MAT [--cmp CMP] --out FILE.png\n";

struct UsageError {
    std::string message;
};

// Standard error for warnings, and a record of them for the "warnings" arrays.
class CliSink : public MessageSink {
public:
    void Log(TMsgType kind, const std::string& text) override {
        if (kind == mtWarning) warnings.push_back(text);
        stderrSink_.Log(kind, text);
    }
    int Ask(const std::string& text, const std::string& caption, unsigned flags) override {
        return stderrSink_.Ask(text, caption, flags);
    }
    std::vector<std::string> warnings;

private:
    StderrMessageSink stderrSink_;
};

CliSink* theSink = nullptr;

// Parses the arguments after the command words; returns the positional ones.
QStringList Parse(QCommandLineParser& parser, const QStringList& args, int minPositional,
                  int maxPositional) {
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    // A negative number (a frame before zero) is an argument or an option's value, not an
    // option.
    QStringList list = args;
    for (int i = 0; i < list.size(); ++i)
        if (list[i].size() > 1 && list[i][0] == '-' && list[i][1].isDigit()) {
            if (i > 0 && list[i - 1].startsWith("--") && !list[i - 1].contains('=')) continue;
            list.insert(i, "--");
            break;
        }
    if (!parser.parse(QStringList{"vorlin-cli"} + list))
        throw UsageError{parser.errorText().toStdString()};
    QStringList pos = parser.positionalArguments();
    if (pos.size() < minPositional || pos.size() > maxPositional)
        throw UsageError{"wrong number of arguments"};
    return pos;
}

std::string Bytes(const QString& s) {
    return s.toLocal8Bit().toStdString();
}

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
        if (got <= 0) throw IOError("Read beyond end of file", 100);
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

QJsonObject KeyJson(const TKEYFile& doc) {
    QJsonObject out;
    out["name"] = Str(doc.Name);
    out["fullName"] = Str(doc.FullName);
    out["frames"] = Int(doc.Frames);
    out["flags"] = Int(doc.Flags);
    out["fps"] = Num(doc.FPS);
    out["type"] = Int(doc.KeyType);
    out["joints"] = Int(doc.Joints);
    QJsonArray markers;
    for (const auto& m : doc.Markers)
        markers.append(QJsonObject{{"frame", Num(m->Frame)}, {"type", Int(m->MarkerType)}});
    out["markers"] = markers;
    QJsonArray nodes;
    for (int k = 0; k < doc.Nodes.Count(); ++k) {
        const TKEYNode* n = &doc.Nodes[k];
        QJsonArray entries;
        for (const auto& e : n->Entries)
            entries.append(QJsonObject{{"frame", Int(e->Frame)},
                                       {"flags", Int(e->Flags)},
                                       {"x", Num(e->X)},
                                       {"y", Num(e->Y)},
                                       {"z", Num(e->Z)},
                                       {"pitch", Num(e->Pitch)},
                                       {"yaw", Num(e->Yaw)},
                                       {"roll", Num(e->Roll)},
                                       {"dx", Num(e->DX)},
                                       {"dy", Num(e->DY)},
                                       {"dz", Num(e->DZ)},
                                       {"dpitch", Num(e->DPitch)},
                                       {"dyaw", Num(e->DYaw)},
                                       {"droll", Num(e->DRoll)}});
        nodes.append(QJsonObject{
            {"node", Int(doc.Joint(k))}, {"meshName", Str(n->MeshName)}, {"entries", entries}});
    }
    out["nodes"] = nodes;
    out["warnings"] = StrArray(theSink->warnings);
    return out;
}

int KeyDump(const QStringList& args) {
    QCommandLineParser parser;
    QStringList pos = Parse(parser, args, 1, 1);
    Print(KeyJson(*LoadKeyReported(Bytes(pos[0]))));
    return 0;
}

int KeySave(const QStringList& args) {
    QCommandLineParser parser;
    QCommandLineOption recalc("recalc", "recompute every entry's rates");
    parser.addOption(recalc);
    QStringList pos = Parse(parser, args, 2, 2);
    std::unique_ptr<TKEYFile> doc = TKEYFile::CreateFromFile(Bytes(pos[0]));
    if (parser.isSet(recalc)) doc->RecalcAll();
    std::string out = Bytes(pos[1]);
    doc->Name = PathName(out);
    doc->FullName = out;
    doc->SaveToFile(out);
    return 0;
}

// The findings of the checker; the status tells whether one of them is an error.
int KeyCheck(const QStringList& args) {
    QCommandLineParser parser;
    QCommandLineOption model("model", "the model the KEY animates", "3DO");
    parser.addOption(model);
    QStringList pos = Parse(parser, args, 1, 1);
    std::unique_ptr<TKEYFile> doc = TKEYFile::CreateFromFile(Bytes(pos[0]));
    const std::string text = ReadKeyText(Bytes(pos[0]));
    std::unique_ptr<T3DO> m;
    if (parser.isSet(model)) m = std::make_unique<T3DO>(Bytes(parser.value(model)), 0);
    const std::vector<TFinding> findings = CheckKey(*doc, m.get(), &text);
    QJsonArray list;
    bool error = false;
    for (const TFinding& f : findings) {
        QJsonObject where;
        if (f.Line > 0) where["line"] = Int(f.Line);
        if (f.Marker >= 0) where["marker"] = Int(f.Marker);
        if (f.Node >= 0) where["node"] = Int(f.Node);
        if (f.Entry >= 0) where["entry"] = Int(f.Entry);
        QJsonObject item;
        item["severity"] = SeverityText(f.Severity);
        item["where"] = where;
        item["message"] = Str(f.Message);
        list.append(item);
        error = error || f.Severity == TSeverity::Error;
    }
    QJsonObject out;
    out["findings"] = list;
    out["warnings"] = StrArray(theSink->warnings);
    Print(out);
    return error ? 1 : 0;
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

int ToInt(const QString& text, const char* what) {
    bool ok = false;
    int v = text.toInt(&ok);
    if (!ok) throw UsageError{std::string(what) + " must be an integer: " + text.toStdString()};
    return v;
}

// The node a curves command names: by its place, by its mesh name, or (with a model) by the
// model node it drives, as the game binds it.
int CurvesNode(const TKEYFile& doc, const T3DO* model, QCommandLineParser& parser,
               const QCommandLineOption& node, const QCommandLineOption& index, std::string& name) {
    if (parser.isSet(node) == parser.isSet(index))
        throw UsageError{"give one of --node and --index"};
    if (parser.isSet(index)) {
        const int k = ToInt(parser.value(index), "--index");
        if (k < 0 || k >= doc.Nodes.Count())
            throw Error("The KEY has no node " + std::to_string(k) + " (it has " +
                        std::to_string(doc.Nodes.Count()) + ")");
        const int32_t joint = doc.Joint(k);
        name = model && joint >= 0 && joint < model->HNodes.Count() ? model->HNodes[joint].Name
                                                                    : doc.Nodes[k].MeshName;
        return k;
    }
    const std::string wanted = Bytes(parser.value(node));
    if (model) {
        for (int j = 0; j < model->HNodes.Count(); ++j)
            if (SameText(model->HNodes[j].Name, wanted)) {
                const int k = doc.NodeOfJoint(j);
                if (k < 0) throw Error("No KEY node drives model node " + wanted);
                name = model->HNodes[j].Name;
                return k;
            }
        throw Error("The model has no node " + wanted);
    }
    for (int k = 0; k < doc.Nodes.Count(); ++k)
        if (SameText(doc.Nodes[k].MeshName, wanted)) {
            name = doc.Nodes[k].MeshName;
            return k;
        }
    throw Error("The KEY has no node named " + wanted);
}

std::string CsvNumber(double v) {
    char buf[32];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

int KeyCurves(const QStringList& args) {
    QCommandLineParser parser;
    QCommandLineOption node("node", "the node by name", "NAME");
    QCommandLineOption index("index", "the node by its place in the KEY", "N");
    QCommandLineOption modelPath("model", "the model whose node names --node takes", "3DO");
    QCommandLineOption from("from", "first frame", "F");
    QCommandLineOption to("to", "last frame", "T");
    QCommandLineOption csv("csv", "comma-separated values instead of JSON");
    parser.addOptions({node, index, modelPath, from, to, csv});
    QStringList pos = Parse(parser, args, 1, 1);
    std::unique_ptr<TKEYFile> doc = LoadKeyReported(Bytes(pos[0]));
    std::unique_ptr<T3DO> model;
    if (parser.isSet(modelPath)) model = std::make_unique<T3DO>(Bytes(parser.value(modelPath)));
    std::string name;
    const int k = CurvesNode(*doc, model.get(), parser, node, index, name);
    if (doc->Nodes[k].Entries.Empty()) throw Error("Node " + name + " has no entries");
    if (doc->Frames <= 0 && !parser.isSet(to))
        throw Error("The KEY has no frames (FRAMES " + std::to_string(doc->Frames) +
                    "): give --to for the frames to sample");
    const int first = parser.isSet(from) ? ToInt(parser.value(from), "--from") : 0;
    const int last = parser.isSet(to) ? ToInt(parser.value(to), "--to") : doc->Frames - 1;
    if (last < first) throw UsageError{"--to comes before --from"};
    if (int64_t(last) - first >= 1000000) throw UsageError{"at most a million frames"};
    if (first < 0 || last >= doc->Frames)
        LogMessage(mtWarning, "Frames outside the animation's 0.." +
                                  std::to_string(std::max(doc->Frames - 1, 0)) +
                                  " are posed as the game carries the entries on past its ends");
    TCurveSamples samples;
    SampleCurves(*doc, k, first, last, samples);
    const TKEYEntries& entries = doc->Nodes[k].Entries;

    if (parser.isSet(csv)) {
        std::string text = "frame,x,y,z,pitch,yaw,roll,key\n";
        size_t e = 0;
        for (int i = 0; i < samples.Count(); ++i) {
            const int frame = first + i;
            text += std::to_string(frame);
            for (int c = 0; c < kChannels; ++c)
                text += "," + CsvNumber(samples.Values[c][i]);
            while (e < size_t(entries.Count()) && entries[int(e)].Frame < frame)
                ++e;
            const bool key = e < size_t(entries.Count()) && entries[int(e)].Frame == frame;
            text += key ? ",1\n" : ",0\n";
        }
        std::fwrite(text.data(), 1, text.size(), stdout);
        return 0;
    }
    QJsonObject out;
    out["node"] = Str(name);
    out["index"] = Int(k);
    out["joint"] = Int(doc->Joint(k));
    QJsonArray frames;
    for (int i = 0; i < samples.Count(); ++i)
        frames.append(Int(first + i));
    out["frames"] = frames;
    for (int c = 0; c < kChannels; ++c) {
        QJsonArray values;
        for (double v : samples.Values[c])
            values.append(Num(v));
        out[ChannelName(c)] = values;
    }
    QJsonArray keys;
    for (const auto& e : entries)
        keys.append(Int(e->Frame));
    out["keys"] = keys;
    out["warnings"] = StrArray(theSink->warnings);
    Print(out);
    return 0;
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
    if (!image.save(parser.value(out), "PNG"))
        throw Error("Cannot write " + Bytes(parser.value(out)));
    return 0;
}

using Command = std::function<int(const QStringList&)>;

int Run(const QStringList& argv) {
    static const std::map<QString, std::pair<int, Command>> commands = {
        {"key dump", {2, KeyDump}},
        {"key save", {2, KeySave}},
        {"key check", {2, KeyCheck}},
        {"key curves", {2, KeyCurves}},
        {"container list", {2, ContainerList}},
        {"model dump", {2, ModelDump}},
        {"pose", {1, Pose}},
        {"texture", {1, Texture}},
        {"cat", {1, Cat}},
        {"find", {1, Find}},
    };
    for (const auto& [name, entry] : commands) {
        QStringList words = name.split(' ');
        if (argv.size() >= words.size() && argv.mid(0, words.size()) == words)
            return entry.second(argv.mid(entry.first));
    }
    throw UsageError{argv.isEmpty() ? "no command"
                                    : "unknown command: " + argv.join(' ').toStdString()};
}

} // namespace

} // namespace vorlin::cli

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("vorlin-cli");
    vorlin::cli::CliSink sink;
    vorlin::cli::theSink = &sink;
    vorlin::SetMessageSink(&sink);
    QStringList args = QCoreApplication::arguments().mid(1);
    int rc;
    try {
        rc = vorlin::cli::Run(args);
    } catch (const vorlin::cli::UsageError& e) {
        std::fprintf(stderr, "vorlin-cli: %s\n%s", e.message.c_str(), vorlin::cli::kUsage);
        rc = 2;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "Error: %s\n", e.what());
        rc = 1;
    }
    vorlin::SetMessageSink(nullptr);
    return rc;
}
