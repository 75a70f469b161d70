// The main window's own events (creation, first show, activation, close), what it shows of the
// document (the title, the status bar, the enabling), and the panels under the view.
#include <QAction>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <charconv>

#include "app/file_commands.h"
#include "app/vorlinform.h"
#include "common/DialogSeams.h"
#include "common/action_table.h"
#include "common/qt_strings.h"
#include "edit/panel_layout.h"
#include "panels/curves/curves_panel.h"
#include "panels/nodes/node_column.h"
#include "panels/nodes/nodes_panel.h"
#include "panels/timeline/timeline_panel.h"
#include "panels/view/paint_box.h"
#include "panels/view/view_panel.h"
#include "support/FileOperations.h"

#include "support/misc_utils.h"

namespace vorlin {

namespace {

// The least height of the 3D view under a tall timeline.
constexpr int kMinViewHeight = 120;

// A value as printf's "%.2f" gives it, without the C locale.
std::string Fixed2(double v) {
    char buf[400];
    auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 2);
    return std::string(buf, r.ptr);
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Window events

void TVorlinForm::FormCreate() {
    TSettings& g = Settings;
    // On the screen it was left on (else the first), whatever size or place was saved there.
    QScreen* s = QGuiApplication::screenAt(QPoint(g.VORLIN_LEFT, g.VORLIN_TOP));
    if (!s) s = QGuiApplication::primaryScreen();
    const QRect room = s ? s->availableGeometry() : QRect(0, 0, 1024, 768);
    const TWindowBounds fitted =
        FitWindowToScreen({g.VORLIN_LEFT, g.VORLIN_TOP, g.VORLIN_WIDTH, g.VORLIN_HEIGHT},
                          {room.x(), room.y(), room.width(), room.height()});
    g.VORLIN_LEFT = fitted.Left;
    g.VORLIN_TOP = fitted.Top;
    g.VORLIN_WIDTH = fitted.Width;
    g.VORLIN_HEIGHT = fitted.Height;
    resize(g.VORLIN_WIDTH, g.VORLIN_HEIGHT);
    move(g.VORLIN_LEFT, g.VORLIN_TOP);
    if (g.WINDOW_MAXIMIZED) setWindowState(windowState() | Qt::WindowMaximized);
    nodes_->Column()->SetLayout(g.TV3DO_HEIGHT, g.SPLITTER_TOP, g.PLKEY_TOP);
}

void TVorlinForm::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (shown_) return;
    shown_ = true;
    RestoreTimeline();
    // The view's OpenGL context exists once its window is on screen: the renderer and the files
    // of the command line wait for it.
    view_->Start([this] { FormShow(); },
                 [this](const std::string& error) {
                     // The editor goes on without its 3D view and without the files of the
                     // command line; what a crashed session left is offered all the same. The
                     // question waits for show() to return.
                     const QString text = QString::fromLocal8Bit(error.c_str());
                     QTimer::singleShot(0, this, [this, text] {
                         ShowMessageBox(this, text, "Vorlin", MB_OK | MB_ICONERROR);
                         if (RecoverAtStart) files_->OfferRecovery();
                         if (AfterShow) AfterShow();
                     });
                 });
}

void TVorlinForm::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    // The left column's extra height is shared by what its lists hold.
    nodes_->Column()->SetGrowth(height() - kDefaultWindowHeight);
}

bool TVorlinForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == viewSplit_ && event->type() == QEvent::Resize && shown_ &&
        !viewTabs_->isHidden())
        PlaceTimeline();
    return QMainWindow::eventFilter(watched, event);
}

void TVorlinForm::FormShow() {
    // One command: a model that fails to load ends it, so the KEY files after it do not load
    // onto a model that is not there.
    RunCommand([this] { files_->OpenArguments(CommandLine); });
    if (RecoverAtStart) files_->OfferRecovery();
    if (AfterShow) AfterShow();
}

void TVorlinForm::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    // Back from another program: it may have changed the open KEY's file.
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        QTimer::singleShot(0, this,
                           [this] { RunCommand([this] { files_->CheckDiskChange(false); }); });
}

void TVorlinForm::closeEvent(QCloseEvent* event) {
    // A close question whose save failed keeps the window open: closing would lose the work.
    bool allowed = false;
    RunCommand([&] { allowed = !Document.KeyFile || files_->DocumentMayGo(); });
    if (!allowed) {
        event->ignore();
        return;
    }
    FormClose();
    event->accept();
    emit Closed();
}

void TVorlinForm::FormClose() {
    TSettings& g = Settings;
    if (isMaximized()) {
        g.WINDOW_MAXIMIZED = true;
    } else {
        g.VORLIN_LEFT = pos().x();
        g.VORLIN_TOP = pos().y();
        g.VORLIN_WIDTH = width();
        g.VORLIN_HEIGHT = height();
        g.WINDOW_MAXIMIZED = false;
    }
    const TNodeColumn& column = *nodes_->Column();
    g.TV3DO_HEIGHT = column.TreeHeight();
    g.SPLITTER_TOP = column.SplitterTop();
    g.PLKEY_TOP = column.KeyPanelTop();
    if (viewTabs_->isVisible()) g.TIMELINE_HEIGHT = TimelineHeightAtDefault();
    files_->Closing();
}

void TVorlinForm::RunCommand(const std::function<void()>& body) {
    ++commands_;
    RunShowingErrors(this, body);
    // The close question's answer was for this command only.
    if (--commands_ == 0) files_->CommandEnded();
}

// ---------------------------------------------------------------------------------------------
// What the window shows of the document

void TVorlinForm::Changed(const TDocumentChange& c) {
    if (c.Has(chModel | chDocument | chFile | chHistory)) UpdateTitle();
    if (c.Has(chModel | chDocument | chSelection | chKeys)) ShowSelection(c);
    if (c.Has(chModel | chDocument | chSelection | chFrame | chKeys | chHeader)) ShowNodePose();
    if (c.Has(chHistory)) {
        // Undo and Redo name their steps.
        const std::string undo = Document.History().UndoName();
        const std::string redo = Document.History().RedoName();
        actions_->Action("Undo1")->setText(undo.empty() ? "U&ndo" : "U&ndo " + ToQ(undo));
        actions_->Action("Redo1")->setText(redo.empty() ? "&Redo" : "&Redo " + ToQ(redo));
    }
    // A frame of playback changes no command's state: not worth asking them all each frame.
    if (c.What == chFrame && Document.Playing()) return;
    // The menus as a whole: Edit once a KEY is set, View once a model is.
    editMenu_->setEnabled(Document.KeyFile != nullptr);
    viewMenu_->setEnabled(Document.Model != nullptr);
    actions_->Refresh();
}

void TVorlinForm::UpdateTitle() {
    // "walk.key* - sample.3do - Vorlin", as desktop editors name their documents.
    QString title = "Vorlin";
    if (Document.Model) title = ToQ(PathName(Document.Model->FileName)) + " - " + title;
    if (Document.KeyFile) title = ToQ(Document.KeyFile->Name) + "[*] - " + title;
    setWindowTitle(title);
    setWindowModified(Document.Modified());
}

void TVorlinForm::ShowSelection(const TDocumentChange& c) {
    const int node = Document.SelectedNode();
    const int entry = Document.SelectedEntry();
    const int count = Document.KeyFile ? Document.EntryCount() : 0;
    // The entry list refilled (a document set, the node's entries more or fewer) says
    // "Entry 2"; an entry or a node picked says "Entry: 2".
    const bool refilled =
        c.Has(chModel | chDocument) || (node == shownNode_ && count != shownCount_);
    const bool picked = c.Has(chSelection) && (node != shownNode_ || entry != shownEntry_);
    shownNode_ = node;
    shownEntry_ = entry;
    shownCount_ = count;
    panels_[0]->setText(nodes_->NodeName(node));
    if (!Document.KeyFile || entry < 0)
        panels_[1]->setText(QString());
    else if (refilled)
        panels_[1]->setText(QString("Entry %1").arg(entry));
    else if (picked)
        panels_[1]->setText(QString("Entry: %1").arg(entry));
}

void TVorlinForm::ShowNodePose() {
    const T3DO* model = Document.Model.get();
    const int node = Document.SelectedNode();
    if (!model || !Document.KeyFile || node < 0 || node >= model->HNodes.Count()) return;
    const T3DOHNode& n = model->HNodes[node];
    panels_[3]->setText(ToQ("X: " + Fixed2(n.CurX) + "  Y: " + Fixed2(n.CurY) +
                            "  Z: " + Fixed2(n.CurZ) + "  Pitch: " + Fixed2(n.CurPitch) +
                            "  Roll: " + Fixed2(n.CurRoll) + "  Yaw: " + Fixed2(n.CurYaw)));
}

void TVorlinForm::ShowHoveredNode(int node) {
    // Apart from panel 0, whose name goes with the pose values beside it: the selected node's.
    const QString name =
        node >= 0 && node != Document.SelectedNode() ? nodes_->NodeName(node) : QString();
    hover_->setText(name.isEmpty() ? QString() : "Pointer: " + name);
    hover_->setVisible(!name.isEmpty());
}

void TVorlinForm::ShowStatus(const QString& text, int milliseconds) {
    if (text.isEmpty())
        statusBar()->clearMessage();
    else
        statusBar()->showMessage(text, milliseconds);
}

QString TVorlinForm::PanelText(int panel) const {
    return panels_[size_t(panel)]->text();
}

QImage TVorlinForm::Screenshot() {
    QImage shot = grab().toImage();
    // The view is a window of its own, which a grab of the widgets does not see.
    if (const QImage view = view_->Picture(); !view.isNull()) {
        QPainter painter(&shot);
        painter.drawImage(view_->Widget()->mapTo(this, QPoint(0, 0)), view);
    }
    return shot;
}

// ---------------------------------------------------------------------------------------------
// The panels under the view

QWidget* TVorlinForm::BuildViewPanels(QWidget* view) {
    viewSplit_ = new QSplitter(Qt::Vertical, view->parentWidget());
    viewSplit_->setObjectName("ViewSplit");
    viewSplit_->setChildrenCollapsible(false);
    // The view never goes: a tall stored timeline gives way to it.
    view->setMinimumHeight(kMinViewHeight);
    viewSplit_->addWidget(view);
    // The timeline and the curves share the place under the view, as tabs.
    viewTabs_ = new QTabWidget(viewSplit_);
    viewTabs_->setObjectName("ViewTabs");
    viewTabs_->setDocumentMode(true);
    timeline_ = new TTimelinePanel(Document, *this, *actions_, viewTabs_);
    viewTabs_->addTab(timeline_, "Timeline");
    curves_ = new TCurvesPanel(Document, *this, *actions_, viewTabs_);
    viewTabs_->addTab(curves_, "Curves");
    curves_->SetChannels(unsigned(Settings.CURVES_CHANNELS) & 0x3Fu);
    curves_->onChannels = [](unsigned mask) { Settings.CURVES_CHANNELS = int32_t(mask); };
    curves_->SetPlot(Settings.CURVES_PLOT);
    curves_->onPlot = [](int plot) { Settings.CURVES_PLOT = plot; };
    viewSplit_->addWidget(viewTabs_);
    // The view and the panels share the window's height in proportion: a taller window gives
    // the timeline rows and the curves room too. The strip is placed from its stored height at
    // every resize (what a stretch would do, without the pixels a relayout loses or gains); the
    // view takes what rounding leaves.
    viewSplit_->setStretchFactor(0, 1);
    viewSplit_->setStretchFactor(1, 0);
    viewSplit_->installEventFilter(this);
    connect(viewSplit_, &QSplitter::splitterMoved, this, [this] {
        if (!viewTabs_->isHidden()) Settings.TIMELINE_HEIGHT = TimelineHeightAtDefault();
    });
    connect(viewTabs_, &QTabWidget::currentChanged, this, [this] { SyncPanelActions(); });
    return viewSplit_;
}

void TVorlinForm::TogglePanel(QWidget* panel, bool on) {
    if (on) {
        const bool placed = viewTabs_->isVisible();
        viewTabs_->setCurrentWidget(panel);
        viewTabs_->setVisible(true);
        if (!placed) PlaceTimeline();
    } else if (viewTabs_->currentWidget() == panel) {
        Settings.TIMELINE_HEIGHT = TimelineHeightAtDefault();
        viewTabs_->setVisible(false);
    }
    SyncPanelActions();
}

void TVorlinForm::SyncPanelActions() {
    QAction* timeline = actions_->Action("Timeline1");
    QAction* curves = actions_->Action("Curves1");
    if (!timeline || !curves) return; // while the window is being built
    const bool shown = !viewTabs_->isHidden();
    const QSignalBlocker a(timeline), b(curves);
    timeline->setChecked(shown && viewTabs_->currentWidget() == timeline_);
    curves->setChecked(shown && viewTabs_->currentWidget() == curves_);
    Settings.TIMELINE_VISIBLE = timeline->isChecked();
    Settings.CURVES_VISIBLE = curves->isChecked();
}

void TVorlinForm::RestoreTimeline() {
    const bool curves = Settings.CURVES_VISIBLE;
    const bool shown = curves || Settings.TIMELINE_VISIBLE;
    viewTabs_->setCurrentWidget(curves ? static_cast<QWidget*>(curves_) : timeline_);
    viewTabs_->setVisible(shown);
    SyncPanelActions();
    if (shown) PlaceTimeline();
}

void TVorlinForm::PlaceTimeline() {
    // The stored height is the one at the window's first size: a taller window gives the strip
    // as much more as the split grew. A height taller than the room gives way to the view's
    // least height (the splitter keeps it).
    const int room = viewSplit_->height() - viewSplit_->handleWidth();
    const int height =
        std::max(StripHeight(Settings.TIMELINE_HEIGHT, room, this->height() - kDefaultWindowHeight),
                 timeline_->minimumHeight());
    viewSplit_->setSizes({std::max(room - height, 1), height});
}

int TVorlinForm::TimelineHeightAtDefault() const {
    return StripHeightAtDefault(viewTabs_->height(),
                                viewSplit_->height() - viewSplit_->handleWidth(),
                                height() - kDefaultWindowHeight);
}

} // namespace vorlin
