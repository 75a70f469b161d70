// The File menu and the small commands of the Options and Help menus: loading models, KEY
// documents and colour maps, New KEY, saving, the recent lists.
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QScrollBar>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QUndoStack>

#include "app/autosave.h"
#include "app/data_paths.h"
#include "app/vorlinform.h"
#include "dialogs/FileDialogs.h"
#include "dialogs/about_form.h"
#include "dialogs/summary_form.h"
#include "edit/model_match.h"
#include "key/key_check.h"
#include "model/graph_files.h"
#include "panels/timeline/timeline_panel.h"
#include "panels/view/view_panel.h"
#include "gl/ogl_PRender.h"
#include "options/u_options.h"
#include "common/DialogSeams.h"
#include "support/FileOperations.h"
#include "support/misc_utils.h"
#include "common/qt_strings.h"

namespace vorlin {

// ---------------------------------------------------------------------------------------------
// Recent lists

void TVorlinForm::FillReopenMenu(QMenu* menu, const std::array<std::string, kRecentCount>& list,
                                 void (TVorlinForm::*load)(const QString&)) {
    menu->clear();
    for (const std::string& path : list) {
        if (path.empty()) continue;
        QString name = ToQ(path);
        // The caption is the path itself: no accelerator may be taken from it.
        QAction* item = menu->addAction(QString(name).replace('&', "&&"));
        connect(item, &QAction::triggered, this,
                [this, name, load] { Command([this, name, load] { (this->*load)(name); }); });
    }
}

void TVorlinForm::BuildReopen3DOMenu() {
    FillReopenMenu(Reopen3DO1, Settings.RECENT_3DO, &TVorlinForm::Load3DO);
    UpdateEnabling();
}

void TVorlinForm::BuildReopenKEYMenu() {
    FillReopenMenu(ReopenKEY1, Settings.RECENT_KEY, &TVorlinForm::LoadKEY);
    UpdateEnabling();
}

// ---------------------------------------------------------------------------------------------
// Files given to the program

void TVorlinForm::OpenArguments(const QStringList& args) {
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
            statusBar()->showMessage(
                ToQ(PathName(FromQ(keys.last()))) +
                    " was not opened: a KEY is shown on a model (File > Open 3DO, then Open KEY)",
                15000);
            return;
        }
    }
    // Only the last KEY stays loaded: the document on show is asked about once, not for each.
    if (!keys.isEmpty() && !DocumentMayGo()) return;
    if (!model.isEmpty()) Load3DO(model);
    for (const QString& map : maps)
        LoadCMP(map);
    for (const QString& key : keys)
        LoadKEY(key);
    if (!how.isEmpty())
        statusBar()->showMessage(ToQ(PathName(FromQ(keys.last()))) + " opened with " +
                                     ToQ(PathName(FromQ(model))) + ": " + how,
                                 15000);
}

QString TVorlinForm::ModelForKey(const QString& key, QString& how) {
    const std::string path = TKeySession::AbsolutePath(FromQ(key));
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

void TVorlinForm::RememberPair() {
    if (!Session.Model || !Session.KeyFile || Session.KeyFile->FullName.empty()) return;
    RememberModel(Settings.KEY_MODELS, TKeySession::AbsolutePath(Session.KeyFile->FullName),
                  Session.Model->FileName, kKeyModelCount);
}

// ---------------------------------------------------------------------------------------------
// Loading

void TVorlinForm::Load3DO(const QString& qname) {
    if (qname.isEmpty()) return;
    if (Session.KeyFile) SetEditMode();
    // A model that cannot be read leaves the one on show in place.
    view_->ViewZoom = Session.LoadModel(TKeySession::AbsolutePath(FromQ(qname)));
    const T3DO& model = *Session.Model;
    // Where it was read from, absolute: the recent list opens it again from any folder.
    const std::string& name = model.FileName;
    if (Renderer) {
        SceneToRenderer();
        Renderer->RebuildLists();
        Renderer->LoadTextures(model.Materials);
    }
    view_->UpdateView();
    PL3DO->setText("3DO: " + ToQ(PathName(name)));
    {
        const QSignalBlocker block(TV3DO);
        TV3DO->clear();
        Timeline->RowNames.clear();
        for (int i = 0; i < model.HNodes.Count(); ++i) {
            const T3DOHNode& n = model.HNodes[i];
            int image = 1;
            if (n.Mesh >= 0)
                image =
                    n.Mesh < model.Meshes.Count() && model.Meshes[n.Mesh].Faces.Vertices.Count() > 0
                        ? 2
                        : 0;
            auto* item = new QTreeWidgetItem(TV3DO, QStringList{ToQ(n.Name).toLower()});
            item->setIcon(0, TreeIcon(image));
            Timeline->RowNames.push_back(item->text(0));
        }
    }
    ShowNodeRow(SelectedNode); // the node the commands act on, highlighted and named
    if (Session.KeyFile)
        ShowFrame(0);
    else
        PLKEY->setText("KEY: <click to load>");
    AfterModel();
    ReportModelMatch();
    TKeySession::AddRecent(Settings.RECENT_3DO, name);
    BuildReopen3DOMenu();
    BuildReopenKEYMenu();
    RememberPair();
}

void TVorlinForm::AfterModel() {
    UpdateEnabling();
    UpdateTitle();
    // The first model is shown textured.
    if (!BNWireframe->isChecked()) BNTextured->setChecked(true);
    // A zoom that would cut the model is replaced by one that shows it whole.
    if (!view_->ModelFits()) view_->FrameModel();
    Redraw();
}

void TVorlinForm::LoadKEY(const QString& qname) {
    if (qname.isEmpty() || !DocumentMayGo()) return;
    // A document that cannot be opened leaves the one on show in place.
    std::unique_ptr<TKEYFile> doc = LoadKeyReported(TKeySession::AbsolutePath(FromQ(qname)));
    // Where it was really read from (a bare name is found by the search): the recent list and
    // the remembered pairs open that file again.
    const std::string name = TKeySession::AbsolutePath(doc->FullName);
    doc->FullName = name;
    SetDocument(std::move(doc), TOrigin::File);
    ReportModelMatch();
    TKeySession::AddRecent(Settings.RECENT_KEY, name);
    BuildReopenKEYMenu();
    RememberPair();
}

void TVorlinForm::SetDocument(std::unique_ptr<TKEYFile> doc, TOrigin origin) {
    SetEditMode();
    Session.SetKey(std::move(doc));
    released_ = nullptr;
    UndoStack->clear();
    onDisk_ = origin == TOrigin::File;
    RememberDiskStamp();
    Autosave->Drop(); // the document it held is gone (its changes were saved or given up)
    ClearEntryList(); // another document: the list is filled afresh
    InitKEYControls();
    FillEntryList();
    UpdateTitle();
}

void TVorlinForm::LoadCMP(const QString& name) {
    TPalette& palette = CurrentPalette();
    LoadCMPPalette(FromQ(name), palette);
    ApplyCMPLight(FromQ(name), palette);
    if (Session.Model && Renderer) Renderer->LoadTextures(Session.Model->Materials);
    Redraw();
    SetPanel(2, ToQ(PathName(FromQ(name))));
}

void TVorlinForm::CreateNewKEY() {
    if (!Session.Model) return;
    KeyTimer->stop();
    Session.SelectEntry(0);
    std::unique_ptr<TKEYFile> doc = Session.BuildNewKey();
    TSummaryForm& summary = SummaryDialog();
    summary.ShowSummary(*doc);
    if (summary.exec() != QDialog::Accepted) {
        Resume(); // the document on show stays
        return;
    }
    TakeSummary();
}

void TVorlinForm::TakeSummary() {
    TakeNewDocument(SummaryDialog().SummaryDocument());
}

void TVorlinForm::TakeNewDocument(std::unique_ptr<TKEYFile> doc) {
    doc->RecalcAll();
    SetDocument(std::move(doc), TOrigin::New);
}

// ---------------------------------------------------------------------------------------------
// Saving

bool TVorlinForm::DocumentModified() const {
    if (!Session.KeyFile) return false;
    try {
        return Session.KeyFile->IsModified();
    } catch (const Error&) {
        return true; // its file is gone or unreadable: only the open document holds the work
    }
}

bool TVorlinForm::DocumentMayGo() {
    const TKEYFile* doc = Session.KeyFile.get();
    if (!doc || doc == released_ || !DocumentModified()) return true;
    Pause();
    const int answer = ShowMessageBox(this, "Save changes to " + ToQ(doc->Name) + "?", "Confirm",
                                      MB_YESNOCANCEL | MB_ICONQUESTION);
    bool go = answer == IDNO;
    if (answer == IDYES) {
        // Only a save that happened lets the document go: a cancelled Save As, a No to
        // replacing a changed file or a failed write keep it, unsaved, and end the command.
        try {
            go = SaveKEY();
        } catch (const std::exception& e) {
            ShowMessageBox(this, QString::fromLocal8Bit(e.what()), "Vorlin", MB_OK | MB_ICONERROR);
        }
    }
    if (go)
        released_ = doc;
    else
        Resume();
    return go;
}

bool TVorlinForm::SaveKEY() {
    TKEYFile* doc = Session.KeyFile.get();
    if (!doc) return false;
    const std::string& full = doc->FullName;
    if (full.empty() || IsContainerPath(full) || PathName(full) != doc->Name) return SaveAsKEY();
    if (!CheckDiskChange(true)) return false; // never over a newer file without asking
    doc->SaveToFile(full);
    AfterSave();
    return true;
}

void TVorlinForm::AfterSave() {
    UndoStack->setClean();
    onDisk_ = true;
    RememberDiskStamp();
    Autosave->Drop(); // the file holds the work now
    UpdateTitle();
}

bool TVorlinForm::SaveAsKEY() {
    TKEYFile* doc = Session.KeyFile.get();
    if (!doc) return false;
    KeyTimer->stop();
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
    std::optional<QString> chosen = AskFileName(this, request);
    if (!chosen) {
        Resume();
        return false;
    }
    const std::string path = TKeySession::AbsolutePath(FromQ(*chosen));
    doc->FullName = path;
    doc->Name = PathName(path);
    PLKEY->setText("KEY: " + ToQ(doc->Name));
    // Another file now: what the old one held says nothing of it, until the write succeeds.
    onDisk_ = false;
    diskStamp_.reset();
    UpdateTitle();
    try {
        doc->SaveToFile(path);
    } catch (...) {
        Resume();
        throw;
    }
    AfterSave();
    TKeySession::AddRecent(Settings.RECENT_KEY, path);
    BuildReopenKEYMenu();
    RememberPair();
    Resume();
    return true;
}

std::string TVorlinForm::SaveFolder() const {
    // Where the user keeps KEY files on disk: the last one opened or saved there, else the
    // model's folder (a model inside a container: the container's), else home.
    for (const std::string& recent : Settings.RECENT_KEY)
        if (!recent.empty() && !IsContainerPath(recent) && QFileInfo(ToQ(PathDir(recent))).isDir())
            return PathDir(recent);
    if (Session.Model) {
        std::string model = Session.Model->FileName;
        if (IsContainerPath(model)) model = model.substr(0, model.find('>'));
        if (!PathDir(model).empty()) return PathDir(model);
    }
    return FromQ(QDir::homePath()) + "/";
}

// ---------------------------------------------------------------------------------------------
// Commands

TGetFileOpen& TVorlinForm::FileOpenDialog() {
    if (!FileOpen) FileOpen = new TGetFileOpen(this);
    return *FileOpen;
}

TSummaryForm& TVorlinForm::SummaryDialog() {
    if (!Summary) Summary = new TSummaryForm(this);
    return *Summary;
}

std::optional<QString> TVorlinForm::PickFile(const char* caption, const char* getCaption,
                                             const char* kind, const QString& initial) {
    TGetFileOpen& dialog = FileOpenDialog();
    dialog.setWindowTitle(caption);
    dialog.SetGetCaption(getCaption);
    dialog.SetFileKind(kind);
    if (!dialog.ExecuteOpen(initial)) return std::nullopt;
    return dialog.ChosenPath();
}

void TVorlinForm::Open3DOClick() {
    KeyTimer->stop();
    auto chosen = PickFile("Open 3DO File", "&Get Other 3DO", "3DO",
                           Session.Model ? ToQ(PathName(Session.Model->FileName)) : QString());
    if (chosen) {
        repaint();
        Load3DO(*chosen);
    } else if (Session.KeyFile) {
        Resume();
    }
}

void TVorlinForm::OpenKEYClick() {
    if (!OpenKEY1->isEnabled()) return;
    KeyTimer->stop();
    if (!DocumentMayGo()) return;
    auto chosen = PickFile("Open KEY File", "&Get Other KEY", "KEY",
                           Session.KeyFile ? ToQ(Session.KeyFile->Name) : QString());
    if (chosen) {
        repaint();
        LoadKEY(*chosen);
    } else {
        Resume();
    }
}

void TVorlinForm::SetCMPClick() {
    if (!SetCMP1->isEnabled()) return;
    KeyTimer->stop();
    auto chosen = PickFile("Open CMP File", "&Get Other CMP", "CMP", PanelText(2));
    if (chosen) {
        repaint();
        LoadCMP(*chosen);
    }
    Resume();
}

void TVorlinForm::NewKEYClick() {
    if (!NewKEY1->isEnabled()) return;
    KeyTimer->stop();
    if (!DocumentMayGo()) return;
    CreateNewKEY();
}

void TVorlinForm::OptionsClick() {
    Pause();
    try {
        if (!Options) Options = new TOptions(this);
        Options->ShowOptions();
    } catch (...) {
        Resume();
        throw;
    }
    if (Renderer) {
        SceneToRenderer();
        Renderer->UpdateColours();
    }
    Redraw();
    Resume();
}

void TVorlinForm::AboutClick() {
    Pause();
    if (!About) About = new TAboutForm(this);
    About->exec();
    Resume();
}

void TVorlinForm::HelpClick() {
    const QString page = HelpPagePath();
    if (page.isEmpty()) {
        ShowMessageBox(this, QString("The help page %1 was not found.").arg(kHelpFile), "Help",
                       MB_OK | MB_ICONWARNING);
        return;
    }
    // Without a program to show it, the user can still open the page by hand.
    if (!OpenUrl(page))
        ShowMessageBox(this,
                       "No web browser could be started to show the help. The help page is:\n" +
                           QDir::toNativeSeparators(page),
                       "Help", MB_OK | MB_ICONINFORMATION);
}

} // namespace vorlin
