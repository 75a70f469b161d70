// The editor's windows, created once each in their start-up order.
#pragma once

#include <QIcon>
#include <QStringList>
#include <memory>

namespace vorlin {

class QtMessageSink;
class TAboutForm;
class TEntryForm;
class TMarkersForm;
class TGetFileOpen;
class TSummaryForm;
class TMsgForm;
class TOptions;
class TProgressForm;
class TVorlinForm;

// The program's icon (the desktop entry's as well).
// Makes the compiled-in icons available (once is enough; again is harmless).
void RegisterIcons();
QIcon ApplicationIcon();

class TVorlinApp {
public:
    // Creates the windows in their start-up order: the main window, the message log, the
    // options dialog (which opens at once when no settings exist yet), the file-open dialog,
    // the about box, the KEY summary, the markers editor, the progress window and the entry
    // edit dialog.
    TVorlinApp();
    ~TVorlinApp();

    // False when the user cancelled the first-run options: the program ends at once.
    bool Started() const { return started_; }
    // Shows the main window; the files of the command line load once it is on screen.
    void Show(const QStringList& commandLine);

    std::unique_ptr<TVorlinForm> MainForm;
    std::unique_ptr<TMsgForm> MsgForm;
    std::unique_ptr<TOptions> Options;
    std::unique_ptr<TGetFileOpen> FileOpen;
    std::unique_ptr<TAboutForm> About;
    std::unique_ptr<TSummaryForm> Summary;
    std::unique_ptr<TMarkersForm> Markers;
    std::unique_ptr<TProgressForm> Progress;
    std::unique_ptr<TEntryForm> EntryForm;

private:
    std::unique_ptr<QtMessageSink> sink_;
    bool started_ = true;
};

} // namespace vorlin
