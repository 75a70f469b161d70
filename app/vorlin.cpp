// The editor's program entry.
#include <QAbstractButton>
#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QLibraryInfo>
#include <QPalette>
#include <QStyleFactory>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include "app/data_paths.h"
#include "app/file_commands.h"
#include "app/termination.h"
#include "app/vorlin_app.h"
#include "app/vorlinform.h"
#include "common/DialogSeams.h"
#include "options/u_options.h"
#include "panels/panel_common.h"
#include "settings/GlobalVars.h"
#include "support/misc_utils.h"

using namespace vorlin;

namespace {

struct TProgramOptions {
    QCommandLineOption screenshot{"screenshot",
                                  "Load the files, paint the first frame, save a PNG of the main "
                                  "window to FILE and exit.",
                                  "FILE"};
    QCommandLineOption wireframe{"wireframe", "With --screenshot: draw the model as wireframe."};
    QCommandLineOption part{"part",
                            "With --screenshot: save only the control of that name "
                            "(TimelinePanel, CurvesPanel).",
                            "NAME"};
    QCommandLineOption node{"node", "With --screenshot: select the model node of that name.",
                            "NAME"};
    QCommandLineOption paths{"paths", "Print where the help page and the sample are, and exit."};
    QCommandLineOption dark{"dark", "Use the Fusion style with a dark palette, as a dark desktop "
                                    "theme does where Qt does not follow the desktop's."};
};

void BuildParser(QCommandLineParser& parser, const TProgramOptions& o) {
    parser.setApplicationDescription("Vorlin, a keyframe editor for the game's KEY animations.");
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOptions({o.screenshot, o.wireframe, o.part, o.node, o.paths, o.dark});
    parser.addPositionalArgument("model", "A 3DO model to open (disk or container path).",
                                 "[MODEL]");
    parser.addPositionalArgument("keys", "KEY animations to open, in order.", "[KEY...]");
}

void PrintPaths() {
    std::printf("help: %s\nsample: %s\n", qPrintable(HelpPagePath()), qPrintable(SampleDir()));
}

void SetNames() {
    QCoreApplication::setApplicationName("Vorlin");
    QCoreApplication::setApplicationVersion(VORLIN_VERSION);
}

bool XAnswers() {
    if (qEnvironmentVariableIsEmpty("DISPLAY")) return false;
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    const bool failed = xcb_connection_has_error(c) != 0;
    xcb_disconnect(c);
    return !failed;
}

// Whether a Wayland compositor listens where WAYLAND_DISPLAY says (a name in
// XDG_RUNTIME_DIR, or a path).
bool WaylandAnswers() {
    const QString display = qEnvironmentVariable("WAYLAND_DISPLAY");
    if (display.isEmpty()) return false;
    const QString path =
        display.startsWith('/') ? display : qEnvironmentVariable("XDG_RUNTIME_DIR") + "/" + display;
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    const QByteArray bytes = path.toLocal8Bit();
    if (size_t(bytes.size()) >= sizeof address.sun_path) return false;
    std::memcpy(address.sun_path, bytes.constData(), size_t(bytes.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return ok;
}

bool WaylandPluginInstalled() {
    const QDir platforms(QLibraryInfo::path(QLibraryInfo::PluginsPath) + "/platforms");
    return !platforms.entryList({"libqwayland-*.so"}, QDir::Files).isEmpty();
}

// Why no window can be shown, or empty when a display answers. Qt aborts the program when its
// platform cannot connect, so the displays are asked first; a Wayland desktop without an X
// server gets Qt's Wayland platform.
std::string NoDisplay() {
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) return {}; // chosen by the caller
    if (XAnswers()) return {};
    const bool wayland = WaylandAnswers();
    if (wayland && WaylandPluginInstalled()) {
        qputenv("QT_QPA_PLATFORM", "wayland");
        return {};
    }
    std::string x = qEnvironmentVariableIsEmpty("DISPLAY")
                        ? "DISPLAY is not set"
                        : "the X server at " + qEnvironmentVariable("DISPLAY").toStdString() +
                              " does not answer";
    std::string w;
    if (wayland)
        w = "the Wayland display answers, but Qt's Wayland platform (qt6-wayland) is not "
            "installed";
    else if (qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        w = "WAYLAND_DISPLAY is not set";
    else
        w = "the Wayland display " + qEnvironmentVariable("WAYLAND_DISPLAY").toStdString() +
            " does not answer";
    return x + ", " + w;
}

// The options that print and end (help, version, the paths) never need a display.
bool OnlyPrints(int argc, char* argv[]) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view a = argv[i];
        if (a == "--help" || a == "-h" || a == "-?" || a == "--help-all" || a == "--version" ||
            a == "-v" || a == "--paths")
            return true;
    }
    return false;
}

// With no display the options that print still work; starting the editor says why it cannot.
int RunWithoutDisplay(int argc, char* argv[], const std::string& why) {
    QCoreApplication app(argc, argv);
    SetNames();
    QCommandLineParser parser;
    TProgramOptions o;
    BuildParser(parser, o);
    parser.process(app);
    if (parser.isSet(o.paths)) {
        PrintPaths();
        return 0;
    }
    std::fprintf(stderr,
                 "vorlin: the editor needs a graphical session (%s); vorlin-cli works without "
                 "one\n",
                 why.c_str());
    return 1;
}

} // namespace

int main(int argc, char* argv[]) {
    if (OnlyPrints(argc, argv)) return RunWithoutDisplay(argc, argv, {});
    if (const std::string why = NoDisplay(); !why.empty())
        return RunWithoutDisplay(argc, argv, why);
    QApplication app(argc, argv);
    SetNames();
    // The desktop finds the program's entry (vorlin.desktop) and icon by this name.
    QGuiApplication::setDesktopFileName("vorlin");
    QApplication::setWindowIcon(ApplicationIcon());

    QCommandLineParser parser;
    TProgramOptions o;
    BuildParser(parser, o);
    const QCommandLineOption &screenshot = o.screenshot, &wireframe = o.wireframe, &part = o.part,
                             &node = o.node, &paths = o.paths;
    parser.process(app);
    if (parser.isSet(paths)) {
        PrintPaths();
        return 0;
    }
    if (parser.isSet(o.dark)) {
        QApplication::setStyle(QStyleFactory::create("Fusion"));
        QApplication::setPalette(DarkPalette());
    }

    const bool shooting = parser.isSet(screenshot);
    if (shooting) {
        // Nobody is there to answer: messages go to standard error.
        SetMessageBoxHandler([](const QString& text, const QString& caption, unsigned) {
            std::fprintf(stderr, "%s: %s\n", qPrintable(caption), qPrintable(text));
            return IDOK;
        });
    }

    try {
        LoadSettings();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "Error: %s\n", e.what());
    }
    if (shooting) FirstRun = false; // a picture for the help pages asks nothing
    TVorlinApp windows;
    if (!windows.Started()) return 0;

    int rc = 0;
    if (shooting) {
        windows.MainForm->AfterShow = [&] {
            if (parser.isSet(wireframe)) {
                if (auto* b = windows.MainForm->findChild<QAbstractButton*>("BNWireframe"))
                    b->click();
            }
            TVorlinForm& form = *windows.MainForm;
            if (parser.isSet(node)) {
                auto* tree = form.findChild<QTreeWidget*>("TV3DO");
                const auto items = tree->findItems(parser.value(node), Qt::MatchFixedString);
                if (!items.isEmpty()) tree->setCurrentItem(items.first());
            }
            auto* w = parser.isSet(part) ? form.findChild<QWidget*>(parser.value(part)) : nullptr;
            // A panel in a tab is shown first.
            for (auto* tabs : form.findChildren<QTabWidget*>())
                if (w && tabs->indexOf(w) >= 0) tabs->setCurrentWidget(w);
            QApplication::processEvents();
            QImage image = windows.MainForm->Screenshot();
            if (parser.isSet(part)) {
                if (w) {
                    // The picture has the screen's pixels, two to a point at a scale of 2.
                    const qreal ratio = image.devicePixelRatio();
                    const QRect area(w->mapTo(windows.MainForm.get(), QPoint(0, 0)), w->size());
                    image = image.copy(
                        QRectF(QPointF(area.topLeft()) * ratio, QSizeF(area.size()) * ratio)
                            .toAlignedRect());
                }
            }
            if (!image.save(parser.value(screenshot), "PNG")) {
                std::fprintf(stderr, "Error: cannot write %s\n",
                             qPrintable(parser.value(screenshot)));
                rc = 1;
            }
            QTimer::singleShot(0, &app, [] { QApplication::exit(); });
        };
    }
    windows.MainForm->RecoverAtStart = !shooting;
    windows.Show(parser.positionalArguments());
    // A logout, a kill or the display going away keeps the unsaved edits for the next start.
    const TTermination ending([&] {
        windows.MainForm->Files().KeepForRecovery();
        if (shooting) return;
        try {
            SaveExitSettings();
        } catch (const std::exception&) {
            // The settings are what the last start had; the work is what matters here.
        }
    });
    int loop = QApplication::exec();
    if (!shooting) {
        try {
            SaveExitSettings();
        } catch (const std::exception& e) {
            std::fprintf(stderr, "Error: %s\n", e.what());
        }
    }
    return rc ? rc : loop;
}
