#include "app/file_commands.h"

#include <QDir>
#include <QFileInfo>
#include <QMenu>

#include "app/autosave.h"
#include "app/data_paths.h"
#include "common/DialogSeams.h"
#include "common/action_table.h"
#include "common/qt_strings.h"
#include "dialogs/FileDialogs.h"
#include "dialogs/about_form.h"
#include "dialogs/progress_form.h"
#include "dialogs/summary_form.h"
#include "edit/key_commands.h"
#include "edit/marker_edit.h"
#include "edit/model_match.h"
#include "key/key_check.h"
#include "model/graph_files.h"
#include "options/u_options.h"
#include "panels/panel_host.h"
#include "panels/view/view_panel.h"
#include "support/FileOperations.h"

#include "support/misc_utils.h"

namespace vorlin {

TFileCommands::TFileCommands(TKeyDocument& doc, TPanelHost& host, TActionTable& actions,
                             TViewPanel& view)
    : QObject(host.Window()), doc_(doc), host_(host), actions_(actions), view_(view),
      reopen3DO_(new QMenu("&Reopen 3DO", host.Window())),
      reopenKEY_(new QMenu("Reopen KE&Y", host.Window())) {
    reopen3DO_->setObjectName("Reopen3DO1");
    reopenKEY_->setObjectName("ReopenKEY1");
    BuildActions(actions);
    BuildAutosave();
    BuildReopenMenus();
    view_.progress = [this](int done, int total) {
        if (Progress) TProgressForm::Reporter(Progress)(done, total);
    };
    observer_ = doc_.Observe([this](const TDocumentChange& c) { Changed(c); });
}

TFileCommands::~TFileCommands() {
    doc_.Forget(observer_);
}

void TFileCommands::BuildActions(TActionTable& actions) {
    auto add = [&](const char* id, const char* caption, QList<QKeySequence> keys,
                   std::function<void()> run, std::function<bool()> enabled = {}) {
        TActionDef def;
        def.Id = id;
        def.Caption = caption;
        def.Keys = std::move(keys);
        def.Run = std::move(run);
        def.Enabled = std::move(enabled);
        actions.Add(def);
    };
    auto model = [this] { return doc_.Model != nullptr; };
    auto key = [this] { return doc_.KeyFile != nullptr; };
    add("Open3DO1", "&Open 3DO...", {QKeySequence("Ctrl+Shift+O")}, [this] { Open3DOClick(); });
    add("SetCMP1", "Set &CMP...", {}, [this] { SetCMPClick(); }, model);
    add("NewKEY1", "&New KEY", {QKeySequence("Ctrl+N")}, [this] { NewKEYClick(); }, model);
    add("OpenKEY1", "Open &KEY...", {QKeySequence("Ctrl+O")}, [this] { OpenKEYClick(); }, model);
    add("SaveKEY1", "&Save KEY", {QKeySequence("Ctrl+S")}, [this] { SaveKEY(); }, key);
    add("SaveAsKEY1", "Sa&ve As KEY...", {QKeySequence("Ctrl+Shift+S")}, [this] { SaveAsKEY(); },
        key);
    add("Options1", "&Options", {}, [this] { OptionsClick(); });
    add("Contents1", "&Contents", {QKeySequence("F1")}, [this] { HelpClick(); });
    add("BrennickWebSite1", "Brennick &Web Site", {}, [] { OpenUrl(kMakerWebPage); });
    add("OrrinWebSite1", "&Orrin Web Site", {}, [] { OpenUrl(kCommunityWebPage); });
    add("About1", "&About", {}, [this] { AboutClick(); });
}

void TFileCommands::Changed(const TDocumentChange& c) {
    if (c.Has(chModel | chDocument)) reopenKEY_->setEnabled(!reopenKEY_->isEmpty() && doc_.Model);
    KeepUp(c);
}

// ---------------------------------------------------------------------------------------------
// Recent lists

void TFileCommands::FillReopenMenu(QMenu* menu,
                                   const std::array<std::string, kRecentCount>& list,
                                   void (TFileCommands::*load)(const QString&)) {
    menu->clear();
    for (const std::string& path : list) {
        if (path.empty()) continue;
        const QString name = ToQ(path);
        // The caption is the path itself: no accelerator may be taken from it.
        QAction* item = menu->addAction(QString(name).replace('&', "&&"));
        connect(item, &QAction::triggered, this, [this, name, load] {
            host_.RunCommand([this, name, load] { (this->*load)(name); });
        });
    }
}

void TFileCommands::BuildReopenMenus() {
    FillReopenMenu(reopen3DO_, Settings.RECENT_3DO, &TFileCommands::Load3DO);
    FillReopenMenu(reopenKEY_, Settings.RECENT_KEY, &TFileCommands::LoadKEY);
    reopen3DO_->setEnabled(!reopen3DO_->isEmpty());
    reopenKEY_->setEnabled(!reopenKEY_->isEmpty() && doc_.Model);
}

// ---------------------------------------------------------------------------------------------
// Files given to the program

void TFileCommands::OpenArguments(const QStringList& args) {
    QString model;
    QStringList keys, maps;
    for (int i = 0; i < args.size(); ++i) {
        if (args[i].isEmpty()) continue;
        const QString a = ToQ(GivenPath(FromQ(args[i])));
        switch (DetectFileKind(FromQ(a))) {
        case TFileKind::Model:
            if (model.isEmpty()) model = a;
            break;
        case TFileKind::Key:
            keys << a;
            break;
        case TFileKind::ColourMap:
            maps << a;
            break;
        case TFileKind::Unknown: // what cannot be told apart keeps its place: a model first
            if (i == 0 && model.isEmpty())
                model = a;
            else
                keys << a;
            break;
        }
    }
    QString how;
    if (model.isEmpty() && !keys.isEmpty()) {
        model = ModelForKey(keys.last(), how);
        if (model.isEmpty()) {
            host_.ShowStatus(
                ToQ(PathName(FromQ(keys.last()))) +
                    " was not opened: a KEY is shown on a model (File > Open 3DO, then Open KEY)",
                15000);
            return;
        }
    }
    // Only the last KEY stays loaded: the document on show is asked about once, not for each.
    if (!keys.isEmpty() && !DocumentMayGo()) return;
    try {
        if (!model.isEmpty()) Load3DO(model);
    } catch (const std::exception&) {
        // The model's error is reported as ever; the KEYs given with it are not lost in silence.
        if (!keys.isEmpty())
            host_.ShowStatus(ToQ(PathName(FromQ(keys.last()))) +
                                 " was not opened: its model could not be read",
                             15000);
        throw;
    }
    for (const QString& map : maps)
        LoadCMP(map);
    for (const QString& key : keys)
        LoadKEY(key);
    if (!how.isEmpty())
        host_.ShowStatus(ToQ(PathName(FromQ(keys.last()))) + " opened with " +
                             ToQ(PathName(FromQ(model))) + ": " + how,
                         15000);
}

QString TFileCommands::ModelForKey(const QString& key, QString& how) {
    const std::string path = TKeyDocument::AbsolutePath(FromQ(key));
    const TModelChoice choice =
        ChooseModel(path, Settings.KEY_MODELS, {Settings.JKGOB, Settings.MOTSGOB});
    switch (choice.By) {
    case TModelChoice::Remembered:
        how = "the model it was last used with";
        return ToQ(choice.Path);
    case TModelChoice::Matched:
        how =
            QString("its node names match %1 of the KEY's %2").arg(choice.Score).arg(choice.Nodes);
        return ToQ(choice.Path);
    case TModelChoice::None:
        break;
    }
    // None found: the user says which.
    std::optional<QString> picked = PickFile(qPrintable("Open 3DO File for " + ToQ(PathName(path))),
                                             "&Get Other 3DO", "3DO", QString());
    if (!picked) return {};
    how = "the model picked for it";
    return *picked;
}

void TFileCommands::RememberPair() {
    if (!doc_.Model || !doc_.KeyFile || doc_.KeyFile->FullName.empty()) return;
    RememberModel(Settings.KEY_MODELS, TKeyDocument::AbsolutePath(doc_.KeyFile->FullName),
                  doc_.Model->FileName, kKeyModelCount);
}

void TFileCommands::ReportModelMatch() {
    if (!doc_.Model || !doc_.KeyFile) return;
    const TKEYFile& doc = *doc_.KeyFile;
    for (const std::string& line : FindingLines(CheckKeyAgainstModel(doc, *doc_.Model), doc))
        LogMessage(mtWarning, doc.Name + " " + line);
}

// ---------------------------------------------------------------------------------------------
// Loading

void TFileCommands::Load3DO(const QString& name) {
    if (name.isEmpty()) return;
    doc_.SetPlaying(false);
    // A model that cannot be read leaves the one on show in place.
    doc_.LoadModel(TKeyDocument::AbsolutePath(FromQ(name)));
    ReportModelMatch();
    // Where it was read from, absolute: the recent list opens it again from any folder.
    TKeyDocument::AddRecent(Settings.RECENT_3DO, doc_.Model->FileName);
    BuildReopenMenus();
    RememberPair();
}

void TFileCommands::LoadKEY(const QString& name) {
    if (name.isEmpty() || !DocumentMayGo()) return;
    // A document that cannot be opened leaves the one on show in place.
    std::unique_ptr<TKEYFile> doc = LoadKeyReported(TKeyDocument::AbsolutePath(FromQ(name)));
    // Where it was really read from (a bare name is found by the search): the recent list and
    // the remembered pairs open that file again.
    const std::string full = TKeyDocument::AbsolutePath(doc->FullName);
    doc->FullName = full;
    released_ = nullptr;
    toldDisk_.reset();
    doc_.SetKey(std::move(doc), TKeyDocument::TOrigin::File);
    // The preview range it was last played in comes back with it.
    doc_.SetPreviewRange(StoredPreviewRange(Settings.PREVIEW_RANGES, full));
    ReportModelMatch();
    TKeyDocument::AddRecent(Settings.RECENT_KEY, full);
    BuildReopenMenus();
    RememberPair();
}

void TFileCommands::LoadCMP(const QString& name) {
    TPalette& palette = CurrentPalette();
    LoadCMPPalette(FromQ(name), palette);
    ApplyCMPLight(FromQ(name), palette);
    view_.ReloadTextures();
    colourMap_ = ToQ(PathName(FromQ(name)));
    if (onColourMap) onColourMap(colourMap_);
}

void TFileCommands::CreateNewKEY() {
    if (!doc_.Model) return;
    doc_.SetPlaying(false);
    doc_.Select(doc_.SelectedNode(), 0);
    std::unique_ptr<TKEYFile> doc = doc_.BuildNewKey();
    if (!Summary) Summary = new TSummaryForm(host_.Window());
    Summary->ShowSummary(*doc);
    doc_.Hold();
    const bool ok = Summary->exec() == QDialog::Accepted;
    doc_.Release();
    if (ok) TakeNewDocument(Summary->SummaryDocument()); // else the document on show stays
}

void TFileCommands::TakeNewDocument(std::unique_ptr<TKEYFile> doc) {
    doc->RecalcAll();
    released_ = nullptr;
    toldDisk_.reset();
    doc_.SetKey(std::move(doc), TKeyDocument::TOrigin::New);
}

// ---------------------------------------------------------------------------------------------
// Saving and the question before the document goes

bool TFileCommands::DocumentMayGo() {
    const TKEYFile* doc = doc_.KeyFile.get();
    if (!doc || doc == released_ || !doc_.Modified()) return true;
    doc_.Hold();
    const int answer = ShowMessageBox(host_.Window(), "Save changes to " + ToQ(doc->Name) + "?",
                                      "Confirm", MB_YESNOCANCEL | MB_ICONQUESTION);
    bool go = answer == IDNO;
    if (answer == IDYES) {
        // Only a save that happened lets the document go: a cancelled Save As, a No to
        // replacing a changed file or a failed write keep it, unsaved, and end the command.
        try {
            go = SaveKEY();
        } catch (const std::exception& e) {
            ShowMessageBox(host_.Window(), QString::fromLocal8Bit(e.what()), "Vorlin",
                           MB_OK | MB_ICONERROR);
        }
    }
    doc_.Release();
    if (go) released_ = doc;
    return go;
}

void TFileCommands::CommandEnded() {
    released_ = nullptr;
}

bool TFileCommands::SaveKEY() {
    TKEYFile* doc = doc_.KeyFile.get();
    if (!doc) return false;
    const std::string& full = doc->FullName;
    if (full.empty() || IsContainerPath(full) || PathName(full) != doc->Name) return SaveAsKEY();
    if (!CheckDiskChange(true)) return false; // never over a newer file without asking
    doc->SaveToFile(full);
    AfterSave();
    return true;
}

void TFileCommands::AfterSave() {
    toldDisk_.reset();
    doc_.Saved();
    Autosave->Drop(); // the file holds the work now
}

bool TFileCommands::SaveAsKEY() {
    TKEYFile* doc = doc_.KeyFile.get();
    if (!doc) return false;
    FileDialogRequest request;
    request.kind = FileDialogRequest::Save;
    request.caption = "Save As KEY File";
    request.filter = "KEY animations (*.key)";
    request.defaultSuffix = "key";
    const std::string& full = doc->FullName;
    if (!full.empty() && !IsContainerPath(full))
        request.initialPath = ToQ(full);
    else
        request.initialPath = ToQ(SaveFolder() + doc->Name);
    doc_.Hold();
    const std::optional<QString> chosen = AskFileName(host_.Window(), request);
    doc_.Release();
    if (!chosen) return false;
    const std::string path = TKeyDocument::AbsolutePath(FromQ(*chosen));
    doc->FullName = path;
    doc->Name = PathName(path);
    // Another file now: what the old one held says nothing of it, until the write succeeds.
    doc_.SetStamp(std::nullopt);
    doc_.LeftFile();
    doc->SaveToFile(path);
    AfterSave();
    TKeyDocument::AddRecent(Settings.RECENT_KEY, path);
    BuildReopenMenus();
    RememberPair();
    return true;
}

std::string TFileCommands::SaveFolder() const {
    // Where the user keeps KEY files on disk: the last one opened or saved there, else the
    // model's folder (a model inside a container: the container's), else home.
    for (const std::string& recent : Settings.RECENT_KEY)
        if (!recent.empty() && !IsContainerPath(recent) && QFileInfo(ToQ(PathDir(recent))).isDir())
            return PathDir(recent);
    if (doc_.Model) {
        std::string model = doc_.Model->FileName;
        if (IsContainerPath(model)) model = model.substr(0, model.find('>'));
        if (!PathDir(model).empty()) return PathDir(model);
    }
    return FromQ(QDir::homePath()) + "/";
}

void TFileCommands::Closing() {
    Autosave->Drop(); // saved, or given up after the question
    doc_.SetPlaying(false);
}

// ---------------------------------------------------------------------------------------------
// The menus' commands

std::optional<QString> TFileCommands::PickFile(const char* caption, const char* getCaption,
                                               const char* kind, const QString& initial) {
    if (!FileOpen) FileOpen = new TGetFileOpen(host_.Window());
    FileOpen->setWindowTitle(caption);
    FileOpen->SetGetCaption(getCaption);
    FileOpen->SetFileKind(kind);
    doc_.Hold();
    const bool chosen = FileOpen->ExecuteOpen(initial);
    doc_.Release();
    if (!chosen) return std::nullopt;
    return FileOpen->ChosenPath();
}

void TFileCommands::Open3DOClick() {
    auto chosen =
        PickFile("Open 3DO File", "&Get Other 3DO", "3DO",
                 doc_.Model ? ToQ(PathName(doc_.Model->FileName)) : QString());
    if (!chosen) return;
    host_.Window()->repaint(); // the area under the dialog is clean during the load
    Load3DO(*chosen);
}

void TFileCommands::OpenKEYClick() {
    if (!doc_.Model || !DocumentMayGo()) return;
    auto chosen = PickFile("Open KEY File", "&Get Other KEY", "KEY",
                           doc_.KeyFile ? ToQ(doc_.KeyFile->Name) : QString());
    if (!chosen) return;
    host_.Window()->repaint();
    LoadKEY(*chosen);
}

void TFileCommands::SetCMPClick() {
    if (!doc_.Model) return;
    auto chosen = PickFile("Open CMP File", "&Get Other CMP", "CMP", colourMap_);
    if (!chosen) return;
    host_.Window()->repaint();
    LoadCMP(*chosen);
}

void TFileCommands::NewKEYClick() {
    if (!doc_.Model || !DocumentMayGo()) return;
    CreateNewKEY();
}

void TFileCommands::OptionsClick() {
    doc_.Hold();
    struct Release {
        TKeyDocument& doc;
        ~Release() { doc.Release(); }
    } release{doc_};
    if (!Options) Options = new TOptions(host_.Window());
    Options->ShowOptions();
    view_.SettingsChanged();
    if (onOptions) onOptions();
}

void TFileCommands::AboutClick() {
    if (!About) About = new TAboutForm(host_.Window());
    doc_.Hold();
    About->exec();
    doc_.Release();
}

void TFileCommands::HelpClick() {
    const QString page = HelpPagePath();
    if (page.isEmpty()) {
        ShowMessageBox(host_.Window(), QString("The help page %1 was not found.").arg(kHelpFile),
                       "Help", MB_OK | MB_ICONWARNING);
        return;
    }
    // Without a program to show it, the user can still open the page by hand.
    if (!OpenUrl(page))
        ShowMessageBox(host_.Window(),
                       "No web browser could be started to show the help. The help page is:\n" +
                           QDir::toNativeSeparators(page),
                       "Help", MB_OK | MB_ICONINFORMATION);
}

} // namespace vorlin
