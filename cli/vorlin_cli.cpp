// vorlin-cli: batch access to the editor's core for scripts and build pipelines.
//
// Warnings go to standard error as "Warning: " lines; an error ends the command with
// "Error: " + message and status 1; a usage error exits with status 2 (check: 1 means the KEYs
// have errors, 2 that the check could not run).
#include <QCoreApplication>
#include <QGuiApplication>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <string_view>

#include "cli_common.h"

namespace vorlin::cli {

namespace {

const char* kUsage = "usage: vorlin-cli <command>\n"
                     "  key dump PATH\n"
                     "  key save IN OUT [--recalc]\n"
                     "  key mirror IN OUT [--model 3DO] [--pair A=B]...\n"
                     "  key check KEY [--model 3DO]\n"
                     "  key curves KEY (--node NAME | --index N) [--model 3DO] [--from F]\n"
                     "             [--to T] [--csv]\n"
                     "  check PATH... [--model 3DO | --models auto] [--json] [--junit FILE]\n"
                     "  render MODEL [KEY] --out FILE [--frame F | --frames A:B[:STEP]]\n"
                     "         [--size WxH] [--view front|back|left|right|top|bottom]\n"
                     "         [--yaw DEG] [--pitch DEG] [--zoom Z] [--wireframe] [--node NAME]\n"
                     "         [--cmp CMP] [--background RRGGBB] [--sheet COLSxROWS]\n"
                     "         [--project DIR] [--jk GOB] [--mots GOO]\n"
                     "  container list CONTAINER [FOLDER]\n"
                     "  cat PATH\n"
                     "  find NAME [--project DIR] [--jk GOB] [--mots GOO]\n"
                     "  model dump PATH [--geoset N]\n"
                     "  pose MODEL KEY FRAME\n"
                     "  texture MAT [--cmp CMP] --out FILE.png\n"
                     "  help\n";

const char* kHelpEnd =
    "\n"
    "PATHs may name a file inside a GOB or GOO container: \"res2.gob>3do\\key\\walk.key\".\n"
    "render writes .png (one frame; with --frames NAME_0007.png each, or one contact sheet\n"
    "with --sheet), .webp or .gif (animated, looping, at the KEY's FPS); it needs no display.\n"
    "check takes KEY files, folders (searched below) and containers; exit status 0: no\n"
    "errors, 1: errors found, 2: the check could not run.\n";

using Command = std::function<int(const QStringList&)>;

int Run(const QStringList& argv) {
    static const std::map<QString, std::pair<int, Command>> commands = {
        {"key dump", {2, KeyDump}},
        {"key save", {2, KeySave}},
        {"key mirror", {2, KeyMirror}},
        {"key check", {2, KeyCheck}},
        {"key curves", {2, KeyCurves}},
        {"check", {1, CheckMod}},
        {"render", {1, Render}},
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

bool AsksForHelp(int argc, char* argv[]) {
    if (argc != 2) return false;
    const std::string a = argv[1];
    return a == "--help" || a == "-h" || a == "help";
}

} // namespace

} // namespace vorlin::cli

int main(int argc, char* argv[]) {
    using namespace vorlin::cli;
    if (AsksForHelp(argc, argv)) {
        std::fputs(kUsage, stdout);
        std::fputs(kHelpEnd, stdout);
        return 0;
    }
    if (argc == 2 && std::string(argv[1]) == "--version") {
        std::printf("vorlin-cli %s\n", VORLIN_VERSION);
        return 0;
    }
    // Contact sheets letter their frames, which takes the fonts of a GUI application (on the
    // offscreen platform: no display). Everything else does without one, and starts faster.
    std::unique_ptr<QCoreApplication> app;
    if (argc > 1 && std::string(argv[1]) == "render" &&
        std::any_of(argv + 2, argv + argc,
                    [](const char* a) { return std::string_view(a).starts_with("--sheet"); })) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        // The platform's own notes (no XDG_RUNTIME_DIR on a server, ...) are not the user's
        // business; what the command has to say goes through the message sink.
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
            if (type == QtCriticalMsg || type == QtFatalMsg)
                std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
        });
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    QCoreApplication::setApplicationName("vorlin-cli");
    CliSink sink;
    theSink = &sink;
    vorlin::SetMessageSink(&sink);
    QStringList args = QCoreApplication::arguments().mid(1);
    int rc;
    try {
        rc = Run(args);
    } catch (const UsageError& e) {
        std::fprintf(stderr, "vorlin-cli: %s\n%s", e.message.c_str(), kUsage);
        rc = 2;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "Error: %s\n", e.what());
        rc = 1;
    }
    vorlin::SetMessageSink(nullptr);
    return rc;
}
