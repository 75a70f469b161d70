// vorlin-cli: batch access to the editor's core for scripts.
//
// Warnings go to standard error as "Warning: " lines; an error ends the command with
// "Error: " + message and status 1; a usage error exits with status 2.
#include <QCommandLineParser>
#include <QCoreApplication>
#include <cstdio>
#include <functional>
#include <map>

#include "cli_json.h"
#include "key/u_key.h"
#include "settings/GlobalVars.h"
#include "support/Containers.h"
#include "support/FileOperations.h"
#include "support/misc_utils.h"

namespace vorlin::cli {

namespace {

const char* kUsage =
    "usage: vorlin-cli <command>\n"
    "  key dump PATH\n"
    "  key save IN OUT [--recalc]\n"
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
    if (!parser.parse(QStringList{"vorlin-cli"} + args))
        throw UsageError{parser.errorText().toStdString()};
    QStringList pos = parser.positionalArguments();
    if (pos.size() < minPositional || pos.size() > maxPositional)
        throw UsageError{"wrong number of arguments"};
    return pos;
}

std::string Bytes(const QString& s) { return s.toLocal8Bit().toStdString(); }

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
    out["fps"] = Int(doc.FPS);
    out["type"] = Int(doc.KeyType);
    out["joints"] = Int(doc.Joints);
    QJsonArray markers;
    for (const auto& m : doc.Markers)
        markers.append(QJsonObject{{"frame", Num(m->Frame)}, {"type", Int(m->MarkerType)}});
    out["markers"] = markers;
    QJsonArray nodes;
    for (const auto& n : doc.Nodes) {
        QJsonArray entries;
        for (const auto& e : n->Entries)
            entries.append(QJsonObject{
                {"frame", Int(e->Frame)}, {"flags", Int(e->Flags)}, {"x", Num(e->X)},
                {"y", Num(e->Y)}, {"z", Num(e->Z)}, {"pitch", Num(e->Pitch)},
                {"yaw", Num(e->Yaw)}, {"roll", Num(e->Roll)}, {"dx", Num(e->DX)},
                {"dy", Num(e->DY)}, {"dz", Num(e->DZ)}, {"dpitch", Num(e->DPitch)},
                {"dyaw", Num(e->DYaw)}, {"droll", Num(e->DRoll)}});
        nodes.append(QJsonObject{{"meshName", Str(n->MeshName)}, {"entries", entries}});
    }
    out["nodes"] = nodes;
    out["warnings"] = StrArray(theSink->warnings);
    return out;
}

int KeyDump(const QStringList& args) {
    QCommandLineParser parser;
    QStringList pos = Parse(parser, args, 1, 1);
    Print(KeyJson(*TKEYFile::CreateFromFile(Bytes(pos[0]))));
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

using Command = std::function<int(const QStringList&)>;

int Run(const QStringList& argv) {
    static const std::map<QString, std::pair<int, Command>> commands = {
        {"key dump", {2, KeyDump}},
        {"key save", {2, KeySave}},
        {"container list", {2, ContainerList}},
        {"cat", {1, Cat}},
        {"find", {1, Find}},
    };
    for (const auto& [name, entry] : commands) {
        QStringList words = name.split(' ');
        if (argv.size() >= words.size() && argv.mid(0, words.size()) == words)
            return entry.second(argv.mid(entry.first));
    }
    throw UsageError{argv.isEmpty() ? "no command" : "unknown command: " + argv.join(' ').toStdString()};
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
