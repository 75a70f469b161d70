// The File menu and the program's own commands: opening models, KEY documents and colour
// maps (from disk or the game's containers), New KEY, saving, the recent lists and the models
// remembered for each KEY, the files given to the program, the one question before the
// document goes, unsaved work kept safe (autosave, recovery after a crash or a logout, a file
// another program changed), Options and Help.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "settings/GlobalVars.h"
#include "support/file_stamp.h"

class QMenu;
class QWidget;

namespace vorlin {

class TAboutForm;
class TActionTable;
class TAutosaver;
class TGetFileOpen;
class TKEYFile;
class TKeyDocument;
class TOptions;
class TPanelHost;
class TProgressForm;
class TSummaryForm;
class TViewPanel;
struct TDocumentChange;

class TFileCommands : public QObject {
    Q_OBJECT
public:
    TFileCommands(TKeyDocument& doc, TPanelHost& host, TActionTable& actions, TViewPanel& view);
    ~TFileCommands() override;

    // The other windows the commands open; set once at start-up (made on first use when not).
    TOptions* Options = nullptr;
    TAboutForm* About = nullptr;
    TProgressForm* Progress = nullptr;
    TGetFileOpen* FileOpen = nullptr;
    TSummaryForm* Summary = nullptr;
    TAutosaver* Autosave;

    // The recent lists' menus (File > Reopen 3DO, Reopen KEY).
    QMenu* Reopen3DOMenu() const { return reopen3DO_; }
    QMenu* ReopenKEYMenu() const { return reopenKEY_; }
    // The colour map in use ("dflt.cmp": the built-in palette); told when it changes.
    QString ColourMap() const { return colourMap_; }
    std::function<void(const QString&)> onColourMap;
    // The options were changed in their dialog.
    std::function<void()> onOptions;

    // ---- loading and saving ----

    // The files of the command line (or the desktop's "open with"), each taken for what it is:
    // models, KEY animations, colour maps; a name without a folder is the file in the current
    // folder when there is one. A KEY without a model opens with the model it was last used
    // with, else the one its node names match best, else one the user picks.
    void OpenArguments(const QStringList& args);
    void Load3DO(const QString& name);
    // Opens a KEY as the document, once the document on show may go (DocumentMayGo).
    void LoadKEY(const QString& name);
    void LoadCMP(const QString& name);
    // New KEY's document for the model, through the KEY summary.
    void CreateNewKEY();
    // An imported (or otherwise made) document as New KEY takes its own: new, unsaved.
    void TakeNewDocument(std::unique_ptr<TKEYFile> doc);
    // True when the document was written; false when the save was cancelled (no file name
    // chosen, or a file changed since it was read not to be replaced). A write that fails
    // raises its error.
    bool SaveKEY();
    bool SaveAsKEY();
    // The one question every path that replaces or closes the document asks first: true when
    // it may go (unchanged, saved now, or the user said No); false when the user cancelled, or
    // the save asked for was cancelled or failed (the document then stays, unsaved). Asked once
    // in a command: the command's later steps take the answer.
    bool DocumentMayGo();
    // The outermost command ended: the question's answer was for it only.
    void CommandEnded();
    // The window closes: the layout is kept, the session's recovery copy goes.
    void Closing();

    // ---- unsaved work ----

    // Recovery files left by sessions that are no longer running: "Recover Unsaved Changes".
    void OfferRecovery();
    // The program is about to end without the close question (the session ends under it):
    // unsaved edits are written to the recovery copy at once, for the next start to offer.
    void KeepForRecovery();
    // When the file changed since it was read: on activation asks whether to reload it; before
    // saving, whether to replace it (false: do not save).
    bool CheckDiskChange(bool saving);

private:
    void BuildActions(TActionTable& actions);
    void BuildAutosave();
    void Changed(const TDocumentChange& change);
    // The recovery copy follows the document: written after changes, gone when there are none.
    void KeepUp(const TDocumentChange& change);
    void BuildReopenMenus();
    void FillReopenMenu(QMenu* menu, const std::array<std::string, kRecentCount>& list,
                        void (TFileCommands::*load)(const QString&));
    // That model for a KEY, and the status bar's word on how it was found; empty when none was
    // found or picked.
    QString ModelForKey(const QString& key, QString& how);
    // Remembers that the open KEY is used with the open model.
    void RememberPair();
    // The model/KEY match findings, as warnings in the Messages window.
    void ReportModelMatch();
    // A save went through: clean, no recovery file, the file's stamp remembered.
    void AfterSave();
    // The folder Save As starts in for a document that has no disk file yet (with "/").
    std::string SaveFolder() const;
    // The file-open dialog over containers, as the three open commands run it.
    std::optional<QString> PickFile(const char* caption, const char* getCaption, const char* kind,
                                    const QString& initial);
    void Open3DOClick();
    void OpenKEYClick();
    void SetCMPClick();
    void NewKEYClick();
    void OptionsClick();
    void AboutClick();
    void HelpClick();

    TKeyDocument& doc_;
    TPanelHost& host_;
    TActionTable& actions_;
    TViewPanel& view_;
    QMenu* reopen3DO_;
    QMenu* reopenKEY_;
    QString colourMap_ = "dflt.cmp";
    int observer_ = 0;
    // The document the question let go in the command under way.
    const TKEYFile* released_ = nullptr;
    // The file's version the Recover dialog told of: activation does not ask to reload it, Save
    // asks before replacing it.
    std::optional<TFileStamp> toldDisk_;
    bool askingDisk_ = false;
};

} // namespace vorlin
