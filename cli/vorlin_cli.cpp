// vorlin-cli: batch access to the editor's core for scripts and build pipelines.
//
// Warnings go to standard error as "Warning: " lines; an error ends the command with
// "Error: " + message and status 1; a usage error is one line with a hint to --help, status 2
// (check: 1 means the KEYs have errors, 2 that the check could not run); a command stopped by a
// signal ends with 128 + its number.
#include <QCoreApplication>
#include <QGuiApplication>
#include <algorithm>
#include <cstdio>
#include <string_view>

#include "cli_common.h"

namespace vorlin::cli {

namespace {

// Every command: its words, its arguments (continued lines begin with a blank), what it does
// and its function. The usage, each command's --help and the dispatch all come from here.
const TCommandInfo kCommands[] = {
    {"key dump", "PATH", "Prints a KEY animation as JSON.", KeyDump},
    {"key save", "IN OUT [--recalc]", "Reads a KEY animation and saves it as OUT.", KeySave},
    {"key mirror", "IN OUT [--model 3DO] [--pair A=B]...",
     "Mirrors an animation across X = 0 (left and right nodes paired by name) and saves it.",
     KeyMirror},
    {"key check", "KEY [--model 3DO]",
     "Checks a KEY as the game reads it; status 1 when it has errors.", KeyCheck},
    {"key curves", "KEY (--node NAME | --index N) [--model 3DO] [--from F]\n [--to T] [--csv]",
     "Prints a node's six channels at every frame, as the game poses it.", KeyCurves},
    {"check", "PATH... [--model 3DO | --models auto] [--json] [--junit FILE]\n [--jobs N]",
     "Checks every KEY of files, folders and containers; status 0 without errors, 1 with\n"
     "errors, 2 when the check could not run.",
     CheckMod},
    {"render",
     "MODEL [KEY] --out FILE [--frame F | --frames A:B[:STEP]]\n"
     " [--size WxH] [--view front|back|left|right|top|bottom]\n"
     " [--yaw DEG] [--pitch DEG] [--zoom Z] [--wireframe] [--node NAME]\n"
     " [--cmp CMP] [--background RRGGBB] [--sheet COLSxROWS]\n"
     " [--project DIR] [--jk GOB] [--mots GOO]",
     "Draws the editor's 3D view with no display: .png one frame (with --frames\n"
     "NAME_0007.png each, with --sheet one contact sheet), .webp or .gif an animation at the\n"
     "KEY's speed, looping (every frame unless --frames says which; more than 10000 only when\n"
     "asked for). --zoom is the camera's distance, in tenths of a unit (larger is farther).",
     Render},
    {"container list", "CONTAINER [FOLDER]", "Lists one folder of a GOB or GOO container.",
     ContainerList},
    {"cat", "PATH", "Writes a file's bytes to standard output.", Cat},
    {"find", "NAME [--project DIR] [--jk GOB] [--mots GOO]",
     "Finds a resource as the editor does and prints where.", Find},
    {"model dump", "PATH [--geoset N]", "Prints a 3DO model as JSON.", ModelDump},
    {"pose", "MODEL KEY FRAME", "Poses the model at FRAME and prints the pose.", Pose},
    {"texture", "MAT [--cmp CMP] --out FILE.png",
     "Writes a material as the 3D view shows it, as PNG.", Texture},
    {"export", "MODEL [KEY...] --out FILE.glb|FILE.gltf [--cmp CMP] [--step S]",
     "Writes the model and its animations as glTF 2.0 (+Y up: a game point x, y, z is\n"
     "x, z, -y), each KEY sampled at every frame.",
     Export},
    {"import",
     "MOTION --model 3DO --out OUT.key [--anim NAME] [--source-model 3DO]\n"
     " [--map FILE] [--fps F] [--from S] [--to S] [--tolerance DEG[,UNITS]]\n"
     " [--root keep|inplace|none] [--scale K]",
     "Puts BVH, FBX, glTF/GLB or Collada motion (or a KEY with --source-model) onto the\n"
     "model's skeleton by direction, keeping the fewest keys within the tolerance (0.5\n"
     "degrees, 0.002 units).",
     Import},
};

const char* kHelpEnd =
    "\n"
    "PATHs may name a file inside a GOB or GOO container: \"res2.gob>3do\\key\\walk.key\".\n"
    "Exit status: 0 done; 1 an error (key check, check: errors found); 2 a wrong command line\n"
    "(check: the check could not run); 130 and 143 stopped by Ctrl+C or SIGTERM.\n";

// The usage's line of a command: its words, then its arguments, continued lines aligned.
std::string UsageLine(const TCommandInfo& c, const std::string& indent) {
    std::string line = indent + c.Words + " ";
    const std::string pad(line.size(), ' ');
    for (const char ch : std::string_view(c.Usage))
        line += ch == '\n' ? "\n" + pad.substr(1) : std::string(1, ch);
    return line + "\n";
}

void PrintUsage() {
    std::string text = "usage: vorlin-cli COMMAND [ARGUMENTS]   (vorlin-cli COMMAND --help for "
                       "one command)\n";
    for (const TCommandInfo& c : kCommands)
        text += UsageLine(c, "  ");
    text += "  help [COMMAND], --help, -h\n  --version\n";
    std::fputs((text + kHelpEnd).c_str(), stdout);
}

// The command whose words begin argv; none for a word that begins none.
const TCommandInfo* CommandOf(const QStringList& argv) {
    for (const TCommandInfo& c : kCommands) {
        const QStringList words = QString(c.Words).split(' ');
        if (argv.size() >= words.size() && argv.mid(0, words.size()) == words) return &c;
    }
    return nullptr;
}

int Run(QStringList argv) {
    if (!argv.isEmpty() && argv[0] == "help") {
        argv.removeFirst(); // "help render": render's help
        argv.append("--help");
    }
    theCommand = CommandOf(argv);
    const bool group =
        !argv.isEmpty() &&
        std::any_of(std::begin(kCommands), std::end(kCommands), [&](const TCommandInfo& c) {
            return QString(c.Words).section(' ', 0, 0) == argv[0];
        });
    if (!theCommand && group && (argv.contains("--help") || argv.contains("-h"))) {
        PrintUsage(); // "key --help": the commands there are
        return 0;
    }
    if (!theCommand)
        throw UsageError{argv.isEmpty() ? "no command"
                                        : "unknown command: " + Bytes(argv.join(' '))};
    return theCommand->Run(argv.mid(QString(theCommand->Words).count(' ') + 1));
}

bool AsksForHelp(int argc, char* argv[]) {
    if (argc != 2) return false;
    const std::string a = argv[1];
    return a == "--help" || a == "-h" || a == "help";
}

} // namespace

std::string CommandUsage(const TCommandInfo& c) {
    return "usage: " + UsageLine(c, "vorlin-cli ");
}

} // namespace vorlin::cli

int main(int argc, char* argv[]) {
    using namespace vorlin::cli;
    if (AsksForHelp(argc, argv)) {
        PrintUsage();
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
    } catch (const HelpAsked& e) {
        std::fputs(e.Text.c_str(), stdout);
        rc = 0;
    } catch (const UsageError& e) {
        // One line, and where the whole usage is.
        const std::string who =
            theCommand ? std::string("vorlin-cli ") + theCommand->Words : std::string("vorlin-cli");
        std::fprintf(stderr, "%s: %s (see %s --help)\n", who.c_str(),
                     vorlin::ShowControls(e.message).c_str(), who.c_str());
        rc = 2;
    } catch (const Interrupted& e) {
        std::fprintf(stderr, "%s\n", e.Message.c_str());
        rc = 128 + e.Signal;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "Error: %s\n", vorlin::ShowControls(e.what()).c_str());
        rc = 1;
    }
    vorlin::SetMessageSink(nullptr);
    return rc;
}
