// The editor's main window: it owns the model, the KEY document and the renderer, holds the
// current frame, the selection, the mode and the camera, and runs every command.
#pragma once

#include <QMainWindow>
#include <QStringList>
#include <array>
#include <functional>
#include <memory>

class QAction;
class QButtonGroup;
class QLabel;
class QListWidget;
class QMenu;
class QScrollBar;
class QSplitter;
class QTimer;
class QToolButton;
class QTreeWidget;

namespace vorlin {

class T3DO;
class TAboutForm;
class TKEYEntry;
class TKEYFile;
class TOGLRenderer;
class TOptions;
class TPaintBox;
class TProgressForm;

// Addresses of the Help menu's web pages.
constexpr const char* kMakerWebPage = "https://www.massassi.net/";
constexpr const char* kCommunityWebPage = "https://www.massassi.net/jkm/";
constexpr const char* kHelpFile = "vorlin_help.html";

class TVorlinForm : public QMainWindow {
    Q_OBJECT
public:
    explicit TVorlinForm(QWidget* parent = nullptr);
    ~TVorlinForm() override;

    // The other windows the commands open; set once at start-up.
    TOptions* Options = nullptr;
    TAboutForm* About = nullptr;
    TProgressForm* Progress = nullptr;
    // Argument 1 a model, 2 and later KEY files; loaded when the window is first shown.
    QStringList CommandLine;
    // Runs once the window has been shown and the files of the command line are loaded.
    std::function<void()> AfterShow;

    // ---- state ----
    std::unique_ptr<TOGLRenderer> Renderer;
    std::unique_ptr<T3DO> Model;
    std::unique_ptr<TKEYFile> KeyFile;
    std::shared_ptr<TKEYEntry> CopiedEntry;
    int ViewPitch = 0;
    int ViewYaw = 0;
    double ViewZoom = 0;
    int LastX = 0, LastY = 0;

    // ---- operations ----
    void Load3DO(const QString& name);
    void LoadKEY(const QString& name);
    void LoadCMP(const QString& name);
    void CreateNewKEY();
    void SaveKEY();
    void SaveAsKEY();
    void SetEditMode();
    void SetPlayMode();
    void UpdateView();
    void ShowFrame(int frame);
    void FillEntryList();
    void InitKEYControls();
    void BuildReopen3DOMenu();
    void BuildReopenKEYMenu();
    // The pause rule around a modal window or a drag.
    void Pause();
    void Resume();
    // A command: an error it raises is shown in a message box, and the window keeps the
    // state the command had reached.
    void Command(const std::function<void()>& body);

    QString PanelText(int panel) const;
    TPaintBox* PaintBox() const { return Pbox; }
    QTimer* Timer() const { return KeyTimer; }
    int CurrentFrame() const;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildMenus();
    void BuildToolBar();
    void BuildPanels();
    void FormCreate();
    void FormShow();
    void FormResize();
    bool FormCloseQuery();
    void FormClose();
    // True when the document may be replaced: asks to save a modified one.
    bool SaveQuestion();
    // Whether the document differs from its file; a file that cannot be read counts as
    // different.
    bool DocumentModified() const;
    void EnableAfterModel();
    void AddRecent(std::array<std::string, 5>& list, const std::string& path);
    void FillReopenMenu(QMenu* menu, const std::array<std::string, 5>& list,
                        void (TVorlinForm::*load)(const QString&));
    void Open3DOClick();
    void OpenKEYClick();
    void SetCMPClick();
    void NewKEYClick();
    void OptionsClick();
    void AboutClick();
    void HelpClick();
    void KeyTimerTick();
    void SetPanel(int panel, const QString& text);
    // Repaints the view.
    void Redraw();
    QAction* Item(QMenu* menu, const char* name, const char* caption);
    QToolButton* Button(const char* name, int image, bool checkable);

    // Controls, named as they are known to the user and the tests.
    QToolButton *BNAddEntry, *BNInsertEntry, *BNDeleteEntry, *BNCopyEntry, *BNPasteEntry;
    QToolButton *BNAutoCopy, *BNWireframe, *BNTextured, *BNXAxis, *BNYAxis, *BNZAxis;
    QToolButton *BNMove, *BNRotate, *BNEdit, *BNPlay;
    QLabel *STM, *STR, *STZ, *LBFrame;
    QScrollBar* SBFrame;
    std::array<QLabel*, 4> panels_{};
    QLabel *PL3DO, *PLKEY;
    QTreeWidget* TV3DO;
    QSplitter* Splitter;
    QListWidget* LBKEY;
    TPaintBox* Pbox;
    QTimer* KeyTimer;
    QMenu *File1, *EditKey1, *View1, *Help1, *Reopen3DO1, *ReopenKEY1, *PMEntry;
    QAction *SetCMP1, *NewKEY1, *OpenKEY1, *SaveKEY1, *SaveAsKEY1, *Options1;
    bool shown_ = false;
};

} // namespace vorlin
