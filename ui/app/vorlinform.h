// The editor's main window: it holds the editing session (model, KEY document, copied entry),
// the renderer, the current frame, the mode and the camera, and runs the commands of its menus.
// Its handlers are grouped by concern: layout and enabling (vorlinform.cpp), window events and
// the display operations (vorlinform_window.cpp), the File menu (vorlinform_file.cpp),
// selection and the Edit menu (vorlinform_edit.cpp), the view (vorlinform_view.cpp), the panels
// under the view and what it does for them (vorlinform_panels.cpp). The panels themselves, with
// their commands, are in panels/.
#pragma once

#include <QDateTime>
#include <QKeySequence>
#include <QMainWindow>
#include <QPoint>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "app/autosave.h"
#include "edit/key_change.h"
#include "edit/key_session.h"
#include "panels/panel_host.h"

class QAction;
class QIcon;
class QImage;
class QLabel;
class QMouseEvent;
class QWheelEvent;
class QListWidget;
class QMenu;
class QScrollBar;
class QSplitter;
class QTimer;
class QToolButton;
class QTreeWidget;
class QUndoStack;

namespace vorlin {

class TAboutForm;
class TAutosaver;
class TCheckForm;
class TEntryForm;
class TGetFileOpen;
class TMarkersForm;
class TSummaryForm;
class TNodePanel;
class TTimelinePanel;
class TAnimatorTools;
class TInteropTools;
class TCurvesPanel;
class TViewPanel;
class TOGLRenderer;
class TOptions;
class TPaintBox;
class TProgressForm;

// Addresses of the Help menu's web pages.
constexpr const char* kMakerWebPage = "https://www.massassi.net/";
constexpr const char* kCommunityWebPage = "https://www.massassi.net/jkm/";
constexpr const char* kHelpFile = "vorlin_help.html";

// The node tree's row images: 0 a mesh without vertices, 1 no mesh, 2 a mesh.
QIcon TreeIcon(int image);

class TVorlinForm : public QMainWindow, public TPanelHost {
    Q_OBJECT
public:
    explicit TVorlinForm(QWidget* parent = nullptr);
    ~TVorlinForm() override;

    // The other windows the commands open; set once at start-up (a window not given is made
    // on first use).
    TOptions* Options = nullptr;
    TAboutForm* About = nullptr;
    TProgressForm* Progress = nullptr;
    TGetFileOpen* FileOpen = nullptr; // made on first use when not given
    TSummaryForm* Summary = nullptr;  // likewise
    TMarkersForm* Markers = nullptr;
    TEntryForm* EntryForm = nullptr;
    TCheckForm* CheckForm = nullptr;
    // Argument 1 a model, 2 and later KEY files; loaded when the window is first shown.
    QStringList CommandLine;
    // Runs once the window has been shown and the files of the command line are loaded.
    std::function<void()> AfterShow;
    // The program's window offers, once shown, to recover what sessions that did not end
    // cleanly left (OfferRecovery).
    bool RecoverAtStart = false;

    // ---- state ----
    TKeySession Session;
    // Every change of the document, to undo and redo; cleared when another document is set,
    // clean where the document was saved.
    QUndoStack* UndoStack;
    std::unique_ptr<TOGLRenderer> Renderer;
    TAutosaver* Autosave;

    // ---- operations ----
    // The files of the command line (or the desktop's "open with"), each taken for what it is:
    // models, KEY animations, colour maps. A KEY without a model opens with the model it was
    // last used with, else the one its node names match best, else one the user picks.
    void OpenArguments(const QStringList& args);
    void Load3DO(const QString& name);
    // Opens a KEY as the document, once the document on show may go (DocumentMayGo).
    void LoadKEY(const QString& name);
    void LoadCMP(const QString& name);
    void CreateNewKEY();
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
    void SetEditMode();
    void SetPlayMode();
    void ShowFrame(int frame);
    // Refills the entry list when the selected node's entry count differs from its rows
    // (true then, and the selected entry's frame is shown unless keepFrame); either way the
    // selected entry is highlighted.
    bool FillEntryList(bool keepFrame = false);
    void InitKEYControls();
    // The entry edit dialog on the selected entry.
    void EditCurrentEntry();
    // Runs a change of the document (to the given nodes, its markers and header) as one step
    // that can be undone, named by text ("Move Entry").
    void Record(const QString& text, const std::vector<int>& nodes,
                const std::function<void()>& body);
    // The window after an undo or redo: the selection the change was made with, the keys it
    // changed picked, the list, the frame range and the pose.
    void AfterUndo(const TKeyChange& change, int node, int entry);
    void BuildReopen3DOMenu();
    void BuildReopenKEYMenu();
    // Enables every control whose condition holds (one table for the menus, the toolbar and
    // the drag controls).
    void UpdateEnabling();
    // The pause rule around a modal window or a drag.
    void Pause();
    void Resume();
    // A command: an error it raises is shown in a message box, and the window keeps the
    // state the command had reached.
    void Command(const std::function<void()>& body);

    // Recovery files left by sessions that are no longer running: "Recover Unsaved Changes".
    void OfferRecovery();
    // The program is about to end without the close question (the session ends under it):
    // unsaved edits are written to the recovery copy at once, for the next start to offer.
    void KeepForRecovery();

    QString PanelText(int panel) const;
    // A picture of the whole window, the 3D view included.
    QImage Screenshot();
    TPaintBox* PaintBox() const { return Pbox; }
    // The 3D view's camera and mouse.
    TViewPanel& View() const { return *view_; }
    TTimelinePanel* TimelinePanel() const { return Timeline; }
    TCurvesPanel* CurvesPanel() const { return Curves; }
    QTimer* Timer() const { return KeyTimer; }

    // ---- what the panels under the view ask of it (vorlinform_panels.cpp) ----
    TKeySession& EditSession() override;
    int CurrentFrame() const override;
    void GoToFrame(int frame) override;
    void ScrubFrame(int frame) override;
    void ScrubEnd() override;
    bool CanEdit() const override;
    void RecordStep(const QString& name, const std::vector<int>& nodes,
                    const std::function<void()>& body) override;
    bool BeginDragStep(const std::vector<int>& nodes, const QString& name) override;
    void EndDragStep() override;
    bool Dragging() const override;
    void PickNode(int row) override;
    // Picks a row as a click does (Auto Copy included).
    void PickEntry(int row) override;
    void KeysChanged(int frame = -1) override;
    void ShowStatus(const QString& text, int milliseconds = 5000) override;
    QString NodeName(int row) const override;
    // Repaints the view and the panels.
    void Redraw() override;
    void RunCommand(const std::function<void()>& body) override { Command(body); }

signals:
    // The window has closed for good (the close question allowed it).
    void Closed();

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // ---- layout (vorlinform.cpp) ----
    void BuildMenus();
    void BuildToolBar();
    void BuildPanels();
    void BuildStatusBar();
    void BuildEnablingTable();
    QAction* Item(QMenu* menu, const char* name, const char* caption);
    QToolButton* Button(const char* name, int image, bool checkable);
    void SetPanel(int panel, const QString& text);
    // The slider runs from 0 to the document's last frame (FRAMES - 1), quietly.
    void SetFrameRange();
    // LBFrame: the frame, "/", and the slider's maximum.
    void SetFrameLabel(int frame);
    // After FRAMES changed: the slider's range, the frame label, and the panels' frames.
    void ShowFrameCount();
    // The window's title: the document, a "*" while it has unsaved changes, the model.
    void UpdateTitle();
    // Hands the renderer the selection and the display options it draws with.
    void SceneToRenderer();

    // ---- window events (vorlinform_window.cpp) ----
    void FormCreate();
    void FormShow();
    void FormResize();
    bool FormCloseQuery();
    void FormClose();
    void KeyTimerTick();
    // Starts the playback timer at its interval; an interval of 0 (a frame rate above 1000)
    // does not tick.
    void StartTimer();
    // The slider's scroll actions: pressing pauses, letting go resumes.
    bool SliderEvent(QEvent* event);
    void SliderAction();
    bool eventFilter(QObject* watched, QEvent* event) override;

    // ---- the renderer, drags and the frame keys (vorlinform_view.cpp) ----
    // View > Refresh: a new renderer, keeping the model, the document and the camera angles.
    void RebuildRenderer();
    // Names the node under the pointer in the status bar, apart from the selected one (-1: none).
    void ShowHoveredNode(int node);
    // Left/Right, Home/End step the frame in edit mode; Space switches play and edit mode.
    void BuildFrameKeys();
    // An action whose keys work wherever the focus is in the window.
    void WindowKey(const char* name, const char* text, const QKeySequence& keys,
                   std::function<void()> run);
    void StepFrame(int to);

    // ---- selection and entry commands (vorlinform_edit.cpp) ----
    void BuildEditCommands();
    // The list's mouse and keys: a left release on a row, a right press on a row, or a move
    // with the arrow, Page, Home and End keys picks an entry; nothing else does.
    bool EntryListEvent(QObject* watched, QEvent* event);
    // Moves the highlight while the button is held, without picking.
    void HighlightRow(int row);
    // Puts the list's highlight on the selected entry (none when it has no row).
    void ShowSelectedEntry();
    // The document's name above the entry list, and when no KEY node drives the selected
    // model node, that it has none.
    void ShowKeyCaption();
    // The selected model node's pose at the current frame, in the status bar.
    void ShowNodePose();
    void TV3DOChange();
    void LBKEYClick();
    void LBKEYDblClick();
    void PMEntryPopup();
    void CopyEntry1Click();
    void CutEntry1Click();
    void PasteEntry1Click();
    void AddEntry1Click();
    void InsertEntry1Click();
    void DeleteEntry1Click();
    void Markers1Click();
    // The markers editor with a marker selected.
    void EditMarkers(int marker);
    void KEYSummary1Click();
    void CheckKEY1Click();
    // The findings of the document on show in the check dialog.
    void ShowCheck();
    // The model/KEY match findings, as warnings in the Messages window.
    void ReportModelMatch();
    void RecalculateRates();
    // Selects a node (its tree row) and one of its entries, as clicks would.
    void SelectNodeAndEntry(int node, int entry);
    TEntryForm& EntryDialog();
    TMarkersForm& MarkersDialog();
    // Highlights a node's tree row and names it in the status bar, as a click would, without
    // running the click's command; false when the model has no such row.
    bool ShowNodeRow(int node);
    // The record of a change about to be made to the given nodes, and its end: a change that
    // did something becomes one step on the undo stack.
    std::unique_ptr<TKeyChange> BeginChange(const std::vector<int>& nodes);
    void EndChange(std::unique_ptr<TKeyChange> change, const QString& text);
    // Empties the entry list without it taking that for a click.
    void ClearEntryList();

    // ---- the panels under the view (vorlinform_panels.cpp) ----
    // The view and, under it, the timeline and the curves as tabs (View > Timeline and View >
    // Curves show and hide them).
    QWidget* BuildViewPanels(QWidget* view);
    // Puts the timeline and curves at their stored height, with the one shown last on show.
    void RestoreTimeline();
    // View > Timeline and View > Curves checked as the tabs under the view are.
    void SyncPanelActions();
    // Gives the timeline its stored height, the view the rest.
    void PlaceTimeline();
    // The entry list's texts ("Entry 2 (16)") after frames changed.
    void UpdateEntryTexts();
    QString EntryText(int entry) const;

    // ---- unsaved work (vorlinform_recovery.cpp) ----
    void BuildAutosave();
    // The size and time of the open KEY's file, to notice another program changing it.
    void RememberDiskStamp();
    // When the file changed since: on activation asks whether to reload it; before saving,
    // whether to replace it (false: do not save).
    bool CheckDiskChange(bool saving);

    // ---- File menu (vorlinform_file.cpp) ----
    // That model for a KEY, and the status bar's word on how it was found; empty when none was
    // found or picked.
    QString ModelForKey(const QString& key, QString& how);
    // Remembers that the open KEY is used with the open model.
    void RememberPair();
    // Whether the document differs from its file; a file that cannot be read counts as
    // different.
    bool DocumentModified() const;
    // The folder Save As starts in for a document that has no disk file yet (with "/").
    std::string SaveFolder() const;
    void AfterModel();
    // Where a document that replaces the one on show comes from.
    enum class TOrigin { File, New, Recovered };
    // Makes doc the document on show (the guard has let the old one go): a fresh history, the
    // session's recovery copy of the old one gone, the controls reset, edit mode.
    void SetDocument(std::unique_ptr<TKEYFile> doc, TOrigin origin);
    // A save went through: clean, no recovery file, the file's stamp remembered.
    void AfterSave();
    TGetFileOpen& FileOpenDialog();
    TSummaryForm& SummaryDialog();
    // The file-open dialog over containers, as the three open commands run it.
    std::optional<QString> PickFile(const char* caption, const char* getCaption, const char* kind,
                                    const QString& initial);
    // Takes the summary dialog's document after OK: rates derived, controls reset.
    void TakeSummary();
    // A document made here (New KEY, an import) put on show: new, unsaved, nothing to undo.
    void TakeNewDocument(std::unique_ptr<TKEYFile> doc);
    void FillReopenMenu(QMenu* menu, const std::array<std::string, kRecentCount>& list,
                        void (TVorlinForm::*load)(const QString&));
    void Open3DOClick();
    void OpenKEYClick();
    void SetCMPClick();
    void NewKEYClick();
    void OptionsClick();
    void AboutClick();
    void HelpClick();

    // Controls, named as they are known to the user and the tests.
    QToolButton *BNAddEntry, *BNInsertEntry, *BNDeleteEntry, *BNCopyEntry, *BNPasteEntry;
    QToolButton *BNAutoCopy, *BNWireframe, *BNTextured, *BNXAxis, *BNYAxis, *BNZAxis;
    QToolButton *BNMove, *BNRotate, *BNEdit, *BNPlay;
    QLabel *STM, *STR, *STZ, *LBFrame;
    QScrollBar* SBFrame;
    std::array<QLabel*, 4> panels_{};
    QLabel* SBarHover;
    QLabel *PL3DO, *PLKEY;
    TNodePanel* Panel2;
    QTreeWidget* TV3DO;
    QListWidget* LBKEY;
    TPaintBox* Pbox;
    TTimelinePanel* Timeline;
    TAnimatorTools* Tools = nullptr;
    TInteropTools* Interop = nullptr; // File > Export glTF, Import Motion
    TCurvesPanel* Curves;
    std::unique_ptr<TViewPanel> view_;
    QSplitter* ViewSplit;
    QTabWidget* ViewTabs;
    QAction *Timeline1, *Curves1;
    QTimer* KeyTimer;
    QMenu *File1, *EditKey1, *View1, *Help1, *Reopen3DO1, *ReopenKEY1, *PMEntry;
    QAction *SetCMP1, *NewKEY1, *OpenKEY1, *SaveKEY1, *SaveAsKEY1, *Options1;

    struct Enabling {
        QObject* control;
        std::function<bool()> when;
    };
    std::vector<Enabling> enabling_;
    bool shown_ = false;
    bool scrolling_ = false;     // a mouse button is held on the frame slider
    bool listMouseDown_ = false; // a click on the entry list is under way
    int listPressRow_ = -1;      // the row the held button was last over
    int recording_ = 0;          // a change is being recorded (commands inside it are part of it)
    // The change a left-button drag in the view is making to the selected entry; none while
    // no such drag is under way. Meanwhile the selection, undo and redo and every other change
    // of the document wait, so the step covers exactly what the drag did.
    std::unique_ptr<TKeyChange> drag_;
    const TKEYFile* dragDoc_ = nullptr;
    QString dragText_; // the step's name when it is not the view's Move or Rotate Entry
    // The document's file holds the document as it is at the undo stack's clean point: it was
    // read from there or saved there. Not so for a new document, a recovered one, or one whose
    // save failed: such a document counts as unsaved whatever its history.
    bool onDisk_ = false;
    // The document the close question let go in the command under way (DocumentMayGo), and
    // how deep the commands under way are nested (the answer holds until the outermost ends).
    const TKEYFile* released_ = nullptr;
    int commands_ = 0;
    // The file as this document's edits began from it (read, saved, or at recovery the copy's).
    std::optional<TDiskStamp> diskStamp_;
    // The file's version the Recover dialog told of: activation does not ask to reload it, Save
    // asks before replacing it.
    std::optional<TDiskStamp> toldDisk_;
    bool askingDisk_ = false;
    // Starts a drag's record of a change to the given nodes, named text (empty: the view's
    // Move or Rotate Entry); undo and redo wait for its end.
    void BeginDrag(const std::vector<int>& nodes, const QString& text);
    // Ends a drag: its change becomes one step (unless the document was replaced meanwhile).
    void EndDrag();
};

} // namespace vorlin
