#include "app/vorlin_app.h"

#include "app/data_paths.h"
#include "app/file_commands.h"
#include "app/vorlinform.h"
#include "dialogs/FileDialogs.h"
#include "dialogs/about_form.h"
#include "dialogs/entry_form.h"
#include "dialogs/markers_form.h"
#include "dialogs/progress_form.h"
#include "panels/nodes/nodes_panel.h"
#include "panels/tools/document_tools.h"
#include "dialogs/summary_form.h"
#include "panels/view/paint_box.h"
#include "settings/GlobalVars.h"
#include "options/u_options.h"
#include "common/DialogSeams.h"
#include "support/FileOperations.h"
#include "common/U_msgForm.h"
#include "common/qt_strings.h"

// Resources compiled into a static library are registered by name, outside any namespace;
// once, whoever asks first (the program's icon, or a main window).
static void InitIconResources() {
    Q_INIT_RESOURCE(icons);
}

namespace vorlin {

void RegisterIcons() {
    static const bool registered = (InitIconResources(), true);
    (void)registered;
}

QIcon ApplicationIcon() {
    RegisterIcons();
    return QIcon(":/icons/vorlin.svg");
}

TVorlinApp::TVorlinApp() {
    MainForm = std::make_unique<TVorlinForm>();
    MsgForm = std::make_unique<TMsgForm>();
    sink_ = std::make_unique<QtMessageSink>(MsgForm.get());
    // The log never keeps the program running: closing the main window ends it.
    QObject::connect(MainForm.get(), &TVorlinForm::Closed, MsgForm.get(), &QWidget::hide);
    SetMessageSink(sink_.get());
    Options = std::make_unique<TOptions>(MainForm.get());
    if (FirstRun) {
        // Without a game container to offer, the bundled sample's stands in: OK opens it.
        if (!DiskFileExists(Settings.JKGOB))
            if (const QString sample = SampleDir(); !sample.isEmpty())
                Settings.JKGOB = FromQ(sample + "/sample.gob");
        // Settings that cannot be written are reported; the program goes on with them in
        // memory and asks again at the next start.
        try {
            Options->ShowOptions();
        } catch (const std::exception& e) {
            ShowMessageBox(MainForm.get(), QString::fromLocal8Bit(e.what()), "Vorlin",
                           MB_OK | MB_ICONERROR);
        }
        started_ = !Options->TerminateRequested();
    }
    FileOpen = std::make_unique<TGetFileOpen>(MainForm.get());
    About = std::make_unique<TAboutForm>(MainForm.get());
    Summary = std::make_unique<TSummaryForm>(MainForm.get());
    Markers = std::make_unique<TMarkersForm>(MainForm.get());
    Progress = std::make_unique<TProgressForm>(MainForm.get());
    EntryForm = std::make_unique<TEntryForm>(MainForm.get());
    TFileCommands& files = MainForm->Files();
    files.Options = Options.get();
    files.FileOpen = FileOpen.get();
    files.About = About.get();
    files.Summary = Summary.get();
    files.Progress = Progress.get();
    MainForm->DocumentTools().Summary = Summary.get();
    MainForm->DocumentTools().Markers = Markers.get();
    MainForm->Nodes().EntryForm = EntryForm.get();
}

TVorlinApp::~TVorlinApp() {
    // The renderer's textures belong to the view's context: the main window (its view with it)
    // goes while the program's windows still exist, after the dialogs it holds as children.
    EntryForm.reset();
    Progress.reset();
    Markers.reset();
    Summary.reset();
    About.reset();
    FileOpen.reset();
    Options.reset();
    MainForm.reset();
    SetMessageSink(nullptr);
}

void TVorlinApp::Show(const QStringList& commandLine) {
    MainForm->CommandLine = commandLine;
    MainForm->show();
}

} // namespace vorlin
