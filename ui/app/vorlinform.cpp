// The main window's layout: the panels, the menus and the toolbar made of the actions the
// panels register, and the status bar.
#include "app/vorlinform.h"

#include <QAction>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QScrollBar>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>

#include "app/file_commands.h"
#include "app/vorlin_app.h"
#include "common/action_table.h"
#include "common/qt_strings.h"
#include "panels/curves/curves_panel.h"
#include "panels/nodes/node_column.h"
#include "panels/nodes/nodes_panel.h"
#include "panels/timeline/timeline_panel.h"
#include "panels/tools/animator_tools.h"
#include "panels/tools/document_tools.h"
#include "panels/tools/interop_tools.h"
#include "panels/transport/transport_panel.h"
#include "panels/view/view_panel.h"

namespace vorlin {

TVorlinForm::TVorlinForm(QWidget* parent) : QMainWindow(parent) {
    setObjectName("VorlinForm");
    setWindowTitle("Vorlin");
    RegisterIcons(); // the toolbar's, also for a window made without the application object
    actions_ = std::make_unique<TActionTable>(
        this, [this](const std::function<void()>& body) { RunCommand(body); });
    BuildPanels();
    BuildUndo();
    BuildMenus();
    BuildToolBar();
    BuildStatusBar();
    observer_ = Document.Observe([this](const TDocumentChange& c) { Changed(c); });
    resize(660, 450);
    FormCreate();
    actions_->Refresh();
}

TVorlinForm::~TVorlinForm() {
    Document.Forget(observer_);
    // The panels observe the document: they go before it does, the view (and its renderer,
    // whose textures belong to the view's context) first.
    delete files_;
    delete interop_;
    delete documentTools_;
    delete tools_;
    view_.reset();
    delete centralWidget();
    delete transport_;
}

void TVorlinForm::BuildPanels() {
    auto* central = new QWidget(this);
    auto* row = new QHBoxLayout(central);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    TActionTable& a = *actions_;
    nodes_ = new TNodesPanel(Document, *this, a, central);
    auto* separator = new QFrame(central);
    separator->setObjectName("Panel3");
    separator->setFrameStyle(QFrame::Box | QFrame::Plain);
    separator->setFixedWidth(2);
    view_ = std::make_unique<TViewPanel>(Document, *this, a, central);
    view_->onHover = [this](int node) { ShowHoveredNode(node); };
    transport_ = new TTransportPanel(Document, *this, a, this);
    row->addWidget(nodes_->Column());
    row->addWidget(separator);
    row->addWidget(BuildViewPanels(view_->Widget()), 1);
    setCentralWidget(central);

    tools_ = new TAnimatorTools(Document, *this, a);
    tools_->onOnions = [this] { view_->Redraw(); };
    view_->onions = [this] { return tools_->Onions(); };
    documentTools_ = new TDocumentTools(Document, *this, a);
    files_ = new TFileCommands(Document, *this, a, *view_);
    interop_ = new TInteropTools(
        Document, *this, a, [this] { return files_->DocumentMayGo(); },
        [this](std::unique_ptr<TKEYFile> doc) { files_->TakeNewDocument(std::move(doc)); });
    nodes_->onModelCaption = [this] { actions_->Trigger("Open3DO1"); };
    nodes_->onKeyCaption = [this] { actions_->Trigger("OpenKEY1"); };
    files_->onColourMap = [this](const QString& name) { panels_[2]->setText(name); };
}

void TVorlinForm::BuildUndo() {
    // Undo and Redo name the step they take back or make again ("Undo Move Entry"); they wait
    // while a drag is under way. "U" belongs to Current Entry.
    TActionDef undo;
    undo.Id = "Undo1";
    undo.Caption = "U&ndo";
    undo.Keys = {QKeySequence("Ctrl+Z")};
    undo.Enabled = [this] { return Document.History().CanUndo() && !Document.Editing(); };
    undo.Run = [this] { Document.Undo(); };
    actions_->Add(undo);
    TActionDef redo;
    redo.Id = "Redo1";
    redo.Caption = "&Redo";
    redo.Keys = {QKeySequence("Ctrl+Shift+Z"), QKeySequence("Ctrl+Y")};
    redo.Enabled = [this] { return Document.History().CanRedo() && !Document.Editing(); };
    redo.Run = [this] { Document.Redo(); };
    actions_->Add(redo);

    // The panels under the view, shown and hidden; their keys work without a model too.
    for (auto [id, caption, keys] : {std::tuple{"Timeline1", "T&imeline", "Ctrl+T"},
                                     std::tuple{"Curves1", "C&urves", "Ctrl+G"}}) {
        TActionDef def;
        def.Id = id;
        def.Caption = caption;
        def.Keys = {QKeySequence(keys)};
        def.Checkable = true;
        def.Plain = true;
        QWidget* panel = qstrcmp(id, "Timeline1") == 0 ? static_cast<QWidget*>(timeline_)
                                                        : static_cast<QWidget*>(curves_);
        const char* name = id;
        def.Run = [this, panel, name] {
            TogglePanel(panel, actions_->Action(name)->isChecked());
        };
        actions_->Add(def);
    }
    TActionDef exit;
    exit.Id = "Exit1";
    exit.Caption = "&Exit";
    exit.Plain = true;
    exit.Run = [this] { close(); };
    actions_->Add(exit);
}

void TVorlinForm::Items(QMenu* menu, std::initializer_list<const char*> ids) {
    for (const char* id : ids) {
        if (id[0] == 'N' && id[1] >= '0' && id[1] <= '9')
            menu->addSeparator()->setObjectName(id);
        else if (QAction* a = actions_->Action(id))
            menu->addAction(a);
    }
}

void TVorlinForm::BuildMenus() {
    QMenuBar* bar = menuBar();
    bar->setObjectName("MMVorlin");
    QMenu* file = bar->addMenu("&File");
    file->setObjectName("File1");
    Items(file, {"Open3DO1"});
    file->addMenu(files_->Reopen3DOMenu());
    Items(file, {"SetCMP1", "N1", "NewKEY1", "OpenKEY1"});
    file->addMenu(files_->ReopenKEYMenu());
    Items(file, {"SaveKEY1", "SaveAsKEY1", "N3", "ExportGltf1", "ImportMotion1", "N2", "Exit1"});

    editMenu_ = bar->addMenu("&Edit ");
    editMenu_->setObjectName("EditKey1");
    Items(editMenu_, {"Undo1",        "Redo1",        "N11",         "CutEntry1",
                      "CopyEntry1",   "PasteEntry1",  "AddEntry1",   "InsertEntry1",
                      "DeleteEntry1", "InsertKey1",   "BNAutoKey",   "N4",          "CurrentEntry1",
                      "N9",           "Markers1",     "AddMarker1",  "N7",          "KEYSummary1",
                      "N10",          "CheckKEY1",    "N12",         "MirrorAnimation1",
                      "PasteMirrored1", "MatchLoop1", "Tween1"});

    viewMenu_ = bar->addMenu("&View");
    viewMenu_->setObjectName("View1");
    Items(viewMenu_, {"TopView1", "FrontView1", "SideView1", "OffsetView1", "N6", "CenterGrid1",
                      "FrameModel1", "Timeline1", "Curves1", "N3", "FixDisplay1",
                      "OnionSkin1"});
    bar->addAction(actions_->Action("Options1"));

    QMenu* help = bar->addMenu("&Help");
    help->setObjectName("Help1");
    Items(help, {"Contents1", "BrennickWebSite1", "OrrinWebSite1", "About1"});
}

void TVorlinForm::BuildToolBar() {
    QToolBar* bar = addToolBar("ToolBar1");
    bar->setObjectName("ToolBar1");
    bar->setMovable(false);
    bar->setFloatable(false);
    bar->setIconSize(QSize(15, 15));
    bar->setFixedHeight(28);
    // Each button shows its action (its picture, tip, enabled and checked state) under the
    // control's own name.
    auto buttons = [&](std::initializer_list<std::pair<const char*, const char*>> list) {
        for (auto [name, id] : list) {
            auto* b = new QToolButton(bar);
            b->setDefaultAction(actions_->Action(id));
            b->setObjectName(name);
            b->setIconSize(QSize(15, 15));
            b->setFixedSize(22, 22);
            b->setAutoRaise(true);
            bar->addWidget(b);
        }
        bar->addSeparator();
    };
    buttons({{"BNAddEntry", "AddEntry1"},
             {"BNInsertEntry", "InsertEntry1"},
             {"BNDeleteEntry", "DeleteEntry1"},
             {"BNCopyEntry", "CopyEntry1"},
             {"BNPasteEntry", "PasteEntry1"},
             {"BNAutoCopy", "BNAutoCopy"}});
    buttons({{"BNWireframe", "BNWireframe"}, {"BNTextured", "BNTextured"}});
    buttons({{"BNXAxis", "BNXAxis"}, {"BNYAxis", "BNYAxis"}, {"BNZAxis", "BNZAxis"}});
    buttons({{"BNMove", "BNMove"}, {"BNRotate", "BNRotate"}});
    buttons({{"BNEdit", "BNEdit"}, {"BNPlay", "BNPlay"}, {"BNAutoKey", "BNAutoKey"}});
    for (QLabel* letter : view_->Letters())
        bar->addWidget(letter);
    bar->addSeparator();
    bar->addWidget(transport_->Slider());
    bar->addSeparator();
    bar->addWidget(transport_->FrameLabel());
}

void TVorlinForm::BuildStatusBar() {
    QStatusBar* bar = statusBar();
    bar->setObjectName("SBar");
    bar->setSizeGripEnabled(false);
    // Each panel is as wide as its longest usual text: a node name, an entry indicator, a
    // colour map's file name; the pose text takes the rest.
    const char* longest[3] = {"k_lshoulder0", "Entry: 00000", "00000000.cmp"};
    for (int i = 0; i < 4; ++i) {
        auto* l = new QLabel(this);
        l->setObjectName(QString("SBarPanel%1").arg(i));
        l->setTextFormat(Qt::PlainText);
        l->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        l->setContentsMargins(2, 0, 2, 0);
        if (i < 3) {
            const int text = l->fontMetrics().horizontalAdvance(longest[i]);
            l->setFixedWidth(qMax(70, text + 2 * l->frameWidth() + 8));
            bar->addWidget(l);
        } else {
            bar->addWidget(l, 1);
        }
        panels_[size_t(i)] = l;
    }
    panels_[2]->setText(files_->ColourMap());
    // The node under the pointer in the view, while it is another than the selected one.
    hover_ = new QLabel(this);
    hover_->setObjectName("SBarHover");
    hover_->setTextFormat(Qt::PlainText);
    hover_->setContentsMargins(4, 0, 4, 0);
    hover_->hide();
    bar->addPermanentWidget(hover_);
}

} // namespace vorlin
