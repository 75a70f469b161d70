// check: every KEY of a mod (files, folders, containers) by the game's rules, on all cores, as
// lines for people, JSON for scripts or JUnit XML for CI systems.
#include <QFileInfo>
#include <QXmlStreamWriter>
#include <cstdio>

#include "cli_common.h"
#include "cli_json.h"
#include "edit/mod_check.h"
#include "key/key_check.h"
#include "support/FileOperations.h"

namespace vorlin::cli {

namespace {

struct TCounts {
    size_t Errors = 0, Warnings = 0, FilesWithErrors = 0;
};

TCounts Count(const std::vector<TKeyReport>& reports) {
    TCounts c;
    for (const TKeyReport& r : reports) {
        for (const TPlacedFinding& f : r.Findings)
            (f.Severity == TSeverity::Error ? c.Errors : c.Warnings)++;
        if (r.HasErrors()) ++c.FilesWithErrors;
    }
    return c;
}

// "walk.key:12: error: message (node 3 (TORSO) entry 5)"; the bytes a file brings (names,
// lines it quotes) with their control characters written out, for a terminal and for XML.
std::string FindingLine(const TKeyReport& r, const TPlacedFinding& f) {
    std::string line = r.Path;
    if (f.Line > 0) line += ":" + std::to_string(f.Line);
    line += std::string(": ") + SeverityText(f.Severity) + ": " + f.Message;
    if (!f.Where.empty() && f.Where != "file" && f.Where.rfind("line ", 0) != 0)
        line += " (" + f.Where + ")";
    return ShowControls(line);
}

std::string ModelLine(const TKeyReport& r) {
    if (r.Model.empty()) return ShowControls(r.Path + ": no model matches its nodes");
    return ShowControls(r.Path + ": model " + r.Model + " (binds " + std::to_string(r.Bound) +
                        " of " + std::to_string(r.Nodes) + " nodes)");
}

void PrintHuman(const std::vector<TKeyReport>& reports, bool autoModels) {
    for (const TKeyReport& r : reports) {
        if (autoModels && r.Nodes > 0) std::printf("%s\n", ModelLine(r).c_str());
        for (const TPlacedFinding& f : r.Findings)
            std::printf("%s\n", FindingLine(r, f).c_str());
    }
    const TCounts c = Count(reports);
    std::printf("%zu file%s checked: %zu error%s, %zu warning%s; %zu file%s with errors\n",
                reports.size(), reports.size() == 1 ? "" : "s", c.Errors, c.Errors == 1 ? "" : "s",
                c.Warnings, c.Warnings == 1 ? "" : "s", c.FilesWithErrors,
                c.FilesWithErrors == 1 ? "" : "s");
}

void PrintJson(const std::vector<TKeyReport>& reports, bool autoModels) {
    QJsonArray files;
    for (const TKeyReport& r : reports) {
        QJsonObject file;
        file["path"] = Str(r.Path);
        if (autoModels) {
            file["model"] = r.Model.empty() ? QJsonValue() : Str(r.Model);
            file["bound"] = Int(r.Bound);
            file["nodes"] = Int(r.Nodes);
        }
        QJsonArray findings;
        for (const TPlacedFinding& f : r.Findings)
            findings.append(FindingJson(f));
        file["findings"] = findings;
        file["warnings"] = StrArray(r.Warnings);
        files.append(file);
    }
    const TCounts c = Count(reports);
    QJsonObject out;
    out["files"] = files;
    out["errors"] = Int(qint64(c.Errors));
    out["warnings"] = Int(qint64(c.Warnings));
    out["filesWithErrors"] = Int(qint64(c.FilesWithErrors));
    Print(out);
}

QString Q(const std::string& s) {
    return QString::fromLatin1(s.data(), qsizetype(s.size()));
}

// One test case per KEY, named by its path, in a suite per folder or container; its errors are
// one failure, its warnings the case's output.
void WriteJUnit(const QString& path, const std::vector<TKeyReport>& reports) {
    const TCounts c = Count(reports);
    QByteArray bytes;
    QXmlStreamWriter xml(&bytes);
    xml.setAutoFormatting(true);
    xml.writeStartDocument();
    xml.writeStartElement("testsuites");
    xml.writeAttribute("name", "vorlin-cli check");
    xml.writeAttribute("tests", QString::number(reports.size()));
    xml.writeAttribute("failures", QString::number(c.FilesWithErrors));
    xml.writeStartElement("testsuite");
    xml.writeAttribute("name", "KEY files");
    xml.writeAttribute("tests", QString::number(reports.size()));
    xml.writeAttribute("failures", QString::number(c.FilesWithErrors));
    xml.writeAttribute("errors", "0");
    for (const TKeyReport& r : reports) {
        const QString name = Q(ShowControls(r.Path));
        const qsizetype cut = std::max(name.lastIndexOf('>'), name.lastIndexOf('/'));
        xml.writeStartElement("testcase");
        xml.writeAttribute("classname", cut > 0 ? name.left(cut) : QString("."));
        xml.writeAttribute("name", cut > 0 ? name.mid(cut + 1) : name);
        QString errors, warnings;
        const TPlacedFinding* first = nullptr;
        for (const TPlacedFinding& f : r.Findings) {
            (f.Severity == TSeverity::Error ? errors : warnings) += Q(FindingLine(r, f)) + '\n';
            if (!first && f.Severity == TSeverity::Error) first = &f;
        }
        if (first) {
            xml.writeStartElement("failure");
            xml.writeAttribute("message", Q(ShowControls(first->Message)));
            xml.writeAttribute("type", "error");
            xml.writeCharacters(errors);
            xml.writeEndElement();
        }
        if (!r.Model.empty()) warnings.prepend(Q(ModelLine(r)) + '\n');
        if (!warnings.isEmpty()) xml.writeTextElement("system-out", warnings);
        xml.writeEndElement();
    }
    xml.writeEndElement();
    xml.writeEndElement();
    xml.writeEndDocument();
    if (xml.hasError()) throw Error("Cannot write " + Bytes(path) + ": the XML writer failed");
    ReplaceFileContents(Bytes(path), std::string_view(bytes.constData(), size_t(bytes.size())));
}

} // namespace

QJsonObject FindingJson(const TFinding& f) {
    QJsonObject where;
    if (f.Line > 0) where["line"] = Int(f.Line);
    if (f.Marker >= 0) where["marker"] = Int(f.Marker);
    if (f.Node >= 0) where["node"] = Int(f.Node);
    if (f.Entry >= 0) where["entry"] = Int(f.Entry);
    QJsonObject item;
    item["severity"] = SeverityText(f.Severity);
    item["where"] = where;
    item["message"] = Str(f.Message);
    return item;
}

int CheckMod(const QStringList& args) {
    QCommandLineParser parser;
    QCommandLineOption model("model", "check every KEY against this model", "3DO");
    QCommandLineOption models("models", "auto: each KEY against its best-matching model", "auto");
    QCommandLineOption json("json", "JSON on standard output");
    QCommandLineOption junit("junit", "JUnit XML report", "FILE");
    QCommandLineOption jobs("jobs", "how many threads check (one a core by default)", "N");
    parser.addOptions({model, models, json, junit, jobs});
    const QStringList pos = Parse(parser, args, 1, 1 << 20);
    TModCheckOptions options;
    if (parser.isSet(models)) {
        if (parser.value(models) != "auto") throw UsageError{"--models takes \"auto\""};
        if (parser.isSet(model)) throw UsageError{"give --model or --models, not both"};
        options.AutoModels = true;
    }
    if (parser.isSet(model)) options.Model = Bytes(parser.value(model));
    if (parser.isSet(jobs)) {
        const int n = ToInt(parser.value(jobs), "--jobs");
        if (n < 1) throw UsageError{"--jobs must be at least 1"};
        options.Threads = unsigned(n);
    }
    const bool terminal = ErrorIsTerminal();
    if (terminal)
        options.Progress = [](size_t done, size_t total) {
            std::fprintf(stderr, "\rchecked %zu/%zu", done, total);
            std::fflush(stderr);
        };
    std::vector<std::string> paths;
    for (const QString& p : pos)
        paths.push_back(Bytes(p));
    std::vector<TKeyReport> reports;
    try {
        // A report that cannot be written is refused before a long check, not after it.
        if (parser.isSet(junit)) TFileReplacement probe(Bytes(parser.value(junit)));
        reports = vorlin::CheckMod(paths, options);
        if (terminal) std::fputs("\r\033[K", stderr);
        if (parser.isSet(junit)) WriteJUnit(parser.value(junit), reports);
    } catch (const std::exception& e) {
        // Not a finding: the check itself could not run.
        if (terminal) std::fputs("\r\033[K", stderr);
        std::fprintf(stderr, "Error: %s\n", ShowControls(e.what()).c_str());
        return 2;
    }
    if (parser.isSet(json))
        PrintJson(reports, options.AutoModels);
    else
        PrintHuman(reports, options.AutoModels);
    return Count(reports).Errors ? 1 : 0;
}

} // namespace vorlin::cli
