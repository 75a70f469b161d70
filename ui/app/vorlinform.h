// The editor's main window: a shell around the editing document. It holds the document, the one
// table of actions, and the panels that observe the document and run its commands (the node
// column, the 3D view, the frame controls, the timeline and the curves under the view, the
// tools, the File menu's commands); it lays them out in menus, a toolbar and a status bar, and
// gives them what only a window has: the status bar, error boxes and the window's own events.
// Layout: vorlinform.cpp; events, status and placing the panels: vorlinform_window.cpp.
#pragma once

#include <QMainWindow>
#include <QStringList>
#include <array>
#include <functional>
#include <memory>

#include "edit/key_document.h"
#include "panels/panel_host.h"

class QAction;
class QImage;
class QLabel;
class QMenu;
class QSplitter;
class QTabWidget;

namespace vorlin {

class TActionTable;
class TAnimatorTools;
class TCurvesPanel;
class TDocumentTools;
class TFileCommands;
class TInteropTools;
class TNodesPanel;
class TTimelinePanel;
class TTransportPanel;
class TViewPanel;
struct TDocumentChange;

class TVorlinForm : public QMainWindow, public TPanelHost {
    Q_OBJECT
public:
    explicit TVorlinForm(QWidget* parent = nullptr);
    ~TVorlinForm() override;

    // Argument 1 a model, 2 and later KEY files; loaded when the window is first shown.
    QStringList CommandLine;
    // Runs once the window has been shown and the files of the command line are loaded.
    std::function<void()> AfterShow;
    // The program's window offers, once shown, to recover what sessions that did not end
    // cleanly left.
    bool RecoverAtStart = false;

    // The model, the KEY, the selection, the picks, the frame, the mode and the history.
    TKeyDocument Document;

    TActionTable& Actions() const { return *actions_; }
    TFileCommands& Files() const { return *files_; }
    TNodesPanel& Nodes() const { return *nodes_; }
    TViewPanel& View() const { return *view_; }
    TTransportPanel& Transport() const { return *transport_; }
    TTimelinePanel* TimelinePanel() const { return timeline_; }
    TCurvesPanel* CurvesPanel() const { return curves_; }
    TAnimatorTools& Tools() const { return *tools_; }
    TDocumentTools& DocumentTools() const { return *documentTools_; }
    TInteropTools& Interop() const { return *interop_; }

    QString PanelText(int panel) const;
    // A picture of the whole window, the 3D view included.
    QImage Screenshot();

    // ---- what the panels ask of the window ----
    void ShowStatus(const QString& text, int milliseconds = 5000) override;
    // Errors shown in a box; when the outermost command ends, the close question's answer
    // (the document it let go) ends with it.
    void RunCommand(const std::function<void()>& body) override;
    QWidget* Window() override { return this; }

signals:
    // The window has closed for good (the close question allowed it).
    void Closed();

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // ---- layout (vorlinform.cpp) ----
    void BuildPanels();
    void BuildMenus();
    void BuildUndo();
    void BuildToolBar();
    void BuildStatusBar();
    // A menu item of a registered action (its id), or a separator named like the stored
    // layout's ("N3").
    void Items(QMenu* menu, std::initializer_list<const char*> ids);

    // ---- events, status and the panels under the view (vorlinform_window.cpp) ----
    void FormCreate();
    void FormShow();
    void FormClose();
    void Changed(const TDocumentChange& change);
    // The window's title: the document, a "*" while it has unsaved changes, the model.
    void UpdateTitle();
    // Panel 0 the selected node, 1 the selected entry, 3 its pose at the frame on show.
    void ShowSelection(const TDocumentChange& c);
    void ShowNodePose();
    // Names the node under the pointer in the status bar, apart from the selected one.
    void ShowHoveredNode(int node);
    // The view and, under it, the timeline and the curves as tabs.
    QWidget* BuildViewPanels(QWidget* view);
    void TogglePanel(QWidget* panel, bool on);
    // Puts the timeline and curves at their stored height, with the one shown last on show.
    void RestoreTimeline();
    // View > Timeline and View > Curves checked as the tabs under the view are.
    void SyncPanelActions();
    // Gives the timeline its stored height, the view the rest.
    void PlaceTimeline();
    // The height the strip under the view would have at the window's first size (what
    // TIMELINE_HEIGHT keeps), from the height it has now.
    int TimelineHeightAtDefault() const;

    std::unique_ptr<TActionTable> actions_;
    TNodesPanel* nodes_ = nullptr;
    std::unique_ptr<TViewPanel> view_;
    TTransportPanel* transport_ = nullptr;
    TTimelinePanel* timeline_ = nullptr;
    TCurvesPanel* curves_ = nullptr;
    TAnimatorTools* tools_ = nullptr;
    TDocumentTools* documentTools_ = nullptr;
    TInteropTools* interop_ = nullptr;
    TFileCommands* files_ = nullptr;
    QSplitter* viewSplit_ = nullptr;
    QTabWidget* viewTabs_ = nullptr;
    QMenu *editMenu_ = nullptr, *viewMenu_ = nullptr;
    std::array<QLabel*, 4> panels_{};
    QLabel* hover_ = nullptr;
    int observer_ = 0;
    int shownNode_ = -1, shownEntry_ = -1, shownCount_ = -1; // what the status bar says
    int commands_ = 0; // how deep the commands under way are nested
    bool shown_ = false;
};

} // namespace vorlin
