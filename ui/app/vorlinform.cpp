// The main window's controls: menus, toolbar, the node panel, the view, the status bar, and
// the one table that enables them.
#include "app/vorlinform.h"

#include <QButtonGroup>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QUndoStack>

#include "app/controls.h"
#include "app/node_panel.h"
#include "app/vorlin_app.h"
#include "panels/curves/curves_panel.h"
#include "panels/timeline/timeline_panel.h"
#include "panels/tools/animator_tools.h"
#include "panels/tools/interop_tools.h"
#include "panels/view/view_panel.h"
#include "panels/view/paint_box.h"
#include "common/DialogSeams.h"
#include "support/FileOperations.h"
#include "common/qt_strings.h"

namespace vorlin {

namespace {

const char* kIcons[15] = {"0_add_entry",   "1_insert_entry", "2_delete_entry", "3_copy_entry",
                          "4_paste_entry", "5_auto_copy",    "6_wireframe",    "7_textured",
                          "8_x_axis",      "9_y_axis",       "10_z_axis",      "11_move",
                          "12_rotate",     "13_edit",        "14_play"};

QIcon Icon(const char* name) {
    return QIcon(QString(":/icons/%1.svg").arg(name));
}

} // namespace

QIcon TreeIcon(int image) {
    static const char* names[3] = {"tree_0_empty_mesh", "tree_1_no_mesh", "tree_2_mesh"};
    return Icon(names[image]);
}

TVorlinForm::TVorlinForm(QWidget* parent) : QMainWindow(parent) {
    setObjectName("VorlinForm");
    setWindowTitle("Vorlin");
    RegisterIcons(); // the toolbar's, also for a window made without the application object
    KeyTimer = new QTimer(this);
    KeyTimer->setObjectName("KeyTimer");
    connect(KeyTimer, &QTimer::timeout, this, &TVorlinForm::KeyTimerTick);
    UndoStack = new QUndoStack(this);
    connect(UndoStack, &QUndoStack::cleanChanged, this, &TVorlinForm::UpdateTitle);
    BuildAutosave();
    BuildMenus();
    BuildToolBar();
    BuildPanels();
    BuildStatusBar();
    BuildEnablingTable();
    BuildFrameKeys();
    BuildEditCommands();
    resize(660, 450);
    FormCreate();
}

TVorlinForm::~TVorlinForm() {
    // The stack tells of its state as it goes; it must go while the window it tells is whole.
    delete UndoStack;
}

QAction* TVorlinForm::Item(QMenu* menu, const char* name, const char* caption) {
    QAction* a = menu->addAction(caption);
    a->setObjectName(name);
    return a;
}

void TVorlinForm::BuildMenus() {
    QMenuBar* bar = menuBar();
    bar->setObjectName("MMVorlin");
    File1 = bar->addMenu("&File");
    File1->setObjectName("File1");
    connect(Item(File1, "Open3DO1", "&Open 3DO..."), &QAction::triggered, this,
            [this] { Command([this] { Open3DOClick(); }); });
    Reopen3DO1 = File1->addMenu("&Reopen 3DO");
    Reopen3DO1->setObjectName("Reopen3DO1");
    SetCMP1 = Item(File1, "SetCMP1", "Set &CMP...");
    connect(SetCMP1, &QAction::triggered, this, [this] { Command([this] { SetCMPClick(); }); });
    File1->addSeparator()->setObjectName("N1");
    NewKEY1 = Item(File1, "NewKEY1", "&New KEY");
    connect(NewKEY1, &QAction::triggered, this, [this] { Command([this] { NewKEYClick(); }); });
    OpenKEY1 = Item(File1, "OpenKEY1", "Open &KEY...");
    connect(OpenKEY1, &QAction::triggered, this, [this] { Command([this] { OpenKEYClick(); }); });
    ReopenKEY1 = File1->addMenu("Reopen KE&Y");
    ReopenKEY1->setObjectName("ReopenKEY1");
    SaveKEY1 = Item(File1, "SaveKEY1", "&Save KEY");
    connect(SaveKEY1, &QAction::triggered, this, [this] { Command([this] { SaveKEY(); }); });
    SaveAsKEY1 = Item(File1, "SaveAsKEY1", "Sa&ve As KEY...");
    connect(SaveAsKEY1, &QAction::triggered, this, [this] { Command([this] { SaveAsKEY(); }); });
    Interop = new TInteropTools(
        *this, this, [this] { return DocumentMayGo(); },
        [this](std::unique_ptr<TKEYFile> doc) { TakeNewDocument(std::move(doc)); });
    Interop->AddActions(File1, nullptr);
    File1->addSeparator()->setObjectName("N2");
    connect(Item(File1, "Exit1", "&Exit"), &QAction::triggered, this, &QWidget::close);

    EditKey1 = bar->addMenu("&Edit ");
    EditKey1->setObjectName("EditKey1");
    // Undo and Redo name the change they take back or make again ("Undo Move Entry").
    // "U" belongs to Current Entry.
    QAction* undo = UndoStack->createUndoAction(this, "U&ndo");
    undo->setObjectName("Undo1");
    undo->setShortcuts({QKeySequence("Ctrl+Z")});
    QAction* redo = UndoStack->createRedoAction(this, "&Redo");
    redo->setObjectName("Redo1");
    redo->setShortcuts({QKeySequence("Ctrl+Shift+Z"), QKeySequence("Ctrl+Y")});
    EditKey1->addAction(undo);
    EditKey1->addAction(redo);
    EditKey1->addSeparator()->setObjectName("N11");
    for (auto [name, caption] : {std::pair{"CutEntry1", "&Cut Entry"},
                                 {"CopyEntry1", "C&opy Entry"},
                                 {"PasteEntry1", "&Paste Entry"},
                                 {"AddEntry1", "&Add Entry"},
                                 {"InsertEntry1", "&Insert Entry"},
                                 {"DeleteEntry1", "&Delete Entry"}})
        Item(EditKey1, name, caption);
    // A key at the playhead, from the timeline's rules; I from anywhere but a text field
    // (which takes its letters first).
    QAction* insertKey = Item(EditKey1, "InsertKey1", "Insert Ke&y");
    insertKey->setShortcut(QKeySequence(Qt::Key_I));
    connect(insertKey, &QAction::triggered, this,
            [this] { Command([this] { Timeline->InsertKey(); }); });
    EditKey1->addSeparator()->setObjectName("N4");
    Item(EditKey1, "CurrentEntry1", "C&urrent Entry");
    EditKey1->addSeparator()->setObjectName("N9");
    Item(EditKey1, "Markers1", "&Markers");
    EditKey1->addSeparator()->setObjectName("N7");
    Item(EditKey1, "KEYSummary1", "&KEY Summary");
    EditKey1->addSeparator()->setObjectName("N10");
    Item(EditKey1, "CheckKEY1", "C&heck KEY")->setShortcut(QKeySequence("Ctrl+K"));

    View1 = bar->addMenu("&View");
    View1->setObjectName("View1");
    auto view = [this](const char* name, const char* caption, int yaw, int pitch) {
        connect(Item(View1, name, caption), &QAction::triggered, this,
                [this, yaw, pitch] { view_->SetView(yaw, pitch); });
    };
    view("TopView1", "&Top View", 0, -90);
    view("FrontView1", "&Front View", 0, 0);
    view("SideView1", "&Side View", 90, 0);
    view("OffsetView1", "&Offset View", -45, -30);
    View1->addSeparator()->setObjectName("N6");
    connect(Item(View1, "CenterGrid1", "&Center Grid"), &QAction::triggered, this,
            [this] { view_->CenterGrid(); });
    QAction* frame = Item(View1, "FrameModel1", "Fra&me Model");
    frame->setShortcut(QKeySequence(Qt::Key_F));
    connect(frame, &QAction::triggered, this, [this] { view_->FrameModel(); });
    Timeline1 = Item(View1, "Timeline1", "T&imeline");
    Timeline1->setCheckable(true);
    Timeline1->setShortcut(QKeySequence("Ctrl+T"));
    Curves1 = Item(View1, "Curves1", "C&urves");
    Curves1->setCheckable(true);
    Curves1->setShortcut(QKeySequence("Ctrl+G"));
    View1->addSeparator()->setObjectName("N3");
    connect(Item(View1, "FixDisplay1", "&Refresh"), &QAction::triggered, this,
            [this] { Command([this] { RebuildRenderer(); }); });
    // Mirror, Match Loop, Tween (Edit) and Onion Skin (View).
    Tools = new TAnimatorTools(*this, this);
    Tools->AddActions(EditKey1, View1);

    Options1 = bar->addAction("&Options");
    Options1->setObjectName("Options1");
    connect(Options1, &QAction::triggered, this, [this] { Command([this] { OptionsClick(); }); });

    Help1 = bar->addMenu("&Help");
    Help1->setObjectName("Help1");
    connect(Item(Help1, "Contents1", "&Contents"), &QAction::triggered, this,
            &TVorlinForm::HelpClick);
    connect(Item(Help1, "BrennickWebSite1", "Brennick &Web Site"), &QAction::triggered, this,
            [] { OpenUrl(kMakerWebPage); });
    connect(Item(Help1, "OrrinWebSite1", "&Orrin Web Site"), &QAction::triggered, this,
            [] { OpenUrl(kCommunityWebPage); });
    connect(Item(Help1, "About1", "&About"), &QAction::triggered, this,
            [this] { Command([this] { AboutClick(); }); });

    PMEntry = new QMenu(this);
    PMEntry->setObjectName("PMEntry");
    Item(PMEntry, "Cut1", "Cu&t");
    Item(PMEntry, "Copy1", "&Copy");
    Item(PMEntry, "Paste1", "&Paste");
    Item(PMEntry, "Add1", "&Add");
    Item(PMEntry, "Insert1", "&Insert");
    Item(PMEntry, "Delete1", "&Delete");

    // The shortcuts of every desktop editor.
    const std::pair<const char*, const char*> shortcuts[] = {
        {"SaveKEY1", "Ctrl+S"},       {"SaveAsKEY1", "Ctrl+Shift+S"}, {"OpenKEY1", "Ctrl+O"},
        {"Open3DO1", "Ctrl+Shift+O"}, {"NewKEY1", "Ctrl+N"},          {"Contents1", "F1"}};
    for (auto [name, keys] : shortcuts)
        findChild<QAction*>(name)->setShortcut(QKeySequence(keys));
}

QToolButton* TVorlinForm::Button(const char* name, int image, bool checkable) {
    auto* b = new QToolButton(this);
    b->setObjectName(name);
    b->setIcon(Icon(kIcons[image]));
    b->setIconSize(QSize(15, 15));
    b->setFixedSize(22, 22);
    b->setAutoRaise(true);
    b->setCheckable(checkable);
    return b;
}

void TVorlinForm::BuildToolBar() {
    QToolBar* bar = addToolBar("ToolBar1");
    bar->setObjectName("ToolBar1");
    bar->setMovable(false);
    bar->setFloatable(false);
    bar->setIconSize(QSize(15, 15));
    bar->setFixedHeight(28);
    BNAddEntry = Button("BNAddEntry", 0, false);
    BNInsertEntry = Button("BNInsertEntry", 1, false);
    BNDeleteEntry = Button("BNDeleteEntry", 2, false);
    BNCopyEntry = Button("BNCopyEntry", 3, false);
    BNPasteEntry = Button("BNPasteEntry", 4, false);
    BNAutoCopy = Button("BNAutoCopy", 5, true);
    BNAutoCopy->setText("Auto Copy");
    BNWireframe = Button("BNWireframe", 6, true);
    BNTextured = Button("BNTextured", 7, true);
    BNXAxis = Button("BNXAxis", 8, true);
    BNYAxis = Button("BNYAxis", 9, true);
    BNZAxis = Button("BNZAxis", 10, true);
    BNMove = Button("BNMove", 11, true);
    BNRotate = Button("BNRotate", 12, true);
    BNEdit = Button("BNEdit", 13, true);
    BNPlay = Button("BNPlay", 14, true);
    auto group = [this](std::initializer_list<QToolButton*> buttons) {
        auto* g = new QButtonGroup(this);
        g->setExclusive(true);
        for (QToolButton* b : buttons)
            g->addButton(b);
    };
    group({BNWireframe, BNTextured});
    group({BNXAxis, BNYAxis, BNZAxis});
    group({BNMove, BNRotate});
    group({BNEdit, BNPlay});
    for (QToolButton* b :
         {BNAddEntry, BNInsertEntry, BNDeleteEntry, BNCopyEntry, BNPasteEntry, BNAutoCopy})
        bar->addWidget(b);
    bar->addSeparator();
    bar->addWidget(BNWireframe);
    bar->addWidget(BNTextured);
    bar->addSeparator();
    for (QToolButton* b : {BNXAxis, BNYAxis, BNZAxis})
        bar->addWidget(b);
    bar->addSeparator();
    bar->addWidget(BNMove);
    bar->addWidget(BNRotate);
    bar->addSeparator();
    bar->addWidget(BNEdit);
    bar->addWidget(BNPlay);
    bar->addSeparator();
    // What each control does, and its key where it has one.
    const std::pair<QWidget*, const char*> tips[] = {
        {BNAddEntry, "Add Entry: a copy of the node's last entry, Entry Frame Gap frames later"},
        {BNInsertEntry, "Insert Entry: a copy of the selected entry in the slot after it"},
        {BNDeleteEntry, "Delete Entry: removes the selected entry (a node keeps one)"},
        {BNCopyEntry, "Copy Entry: remembers the selected entry for Paste"},
        {BNPasteEntry,
         "Paste Entry: the copied entry's position and orientation into the selected one"},
        {BNAutoCopy, "Auto Copy: clicking an entry carries the previous one's values into it "
                     "(which values: Options)"},
        {BNWireframe, "Wireframe: the model drawn as outlines"},
        {BNTextured, "Textured: the model drawn with its materials"},
        {BNXAxis, "X axis: dragging in the view moves along x, or turns the pitch"},
        {BNYAxis, "Y axis: dragging in the view moves along y, or turns the roll"},
        {BNZAxis, "Z axis: dragging in the view moves along z, or turns the yaw"},
        {BNMove, "Move: dragging in the view moves the selected entry (Node Move Step per pixel)"},
        {BNRotate, "Rotate: dragging in the view turns the selected entry (a degree per pixel)"},
        {BNEdit, "Edit mode: select and change entries (Space switches to playing)"},
        {BNPlay, "Play: the animation at its frame rate (Space stops it)"},
    };
    for (auto [control, tip] : tips)
        control->setToolTip(tip);
    connect(BNWireframe, &QToolButton::clicked, this, [this] { Redraw(); });
    connect(BNTextured, &QToolButton::clicked, this, [this] { Redraw(); });
    connect(BNEdit, &QToolButton::clicked, this, [this] { SetEditMode(); });
    connect(BNPlay, &QToolButton::clicked, this, [this] { SetPlayMode(); });

    QFont big = font();
    big.setBold(true);
    big.setPixelSize(19);
    auto letter = [&](const char* name, const char* text, int width,
                      void (TViewPanel::*step)(QPoint)) {
        auto* l = new TDragLabel(text, this);
        l->onPress = [this](QPoint at) {
            Pause();
            view_->DragPress(at);
        };
        l->onDrag = [this, step](QPoint at) { Command([&] { (view_.get()->*step)(at); }); };
        l->onRelease = [this] { Resume(); };
        l->setObjectName(name);
        l->setFont(big);
        l->setAlignment(Qt::AlignCenter);
        l->setFixedWidth(width);
        bar->addWidget(l);
        return l;
    };
    STM = letter("STM", "M", 20, &TViewPanel::PanStep);
    STR = letter("STR", "R", 20, &TViewPanel::RotateStep);
    STZ = letter("STZ", "Z", 21, &TViewPanel::ZoomStep);
    STM->setToolTip("Drag to move the view (View > Center Grid puts it back)");
    STR->setToolTip("Drag to orbit the camera: left and right turn it, up and down tilt it");
    STZ->setToolTip("Drag right to move the camera away, left to come closer");
    bar->addSeparator();
    SBFrame = new QScrollBar(Qt::Horizontal, this);
    SBFrame->setObjectName("SBFrame");
    SBFrame->setFixedWidth(128);
    SBFrame->setRange(0, 0);
    SBFrame->installEventFilter(this);
    SBFrame->setToolTip("The frame on show (Left and Right step, Home and End go to the ends)");
    bar->addWidget(SBFrame);
    bar->addSeparator();
    auto* frameLabel = new TClickLabel("0/0", this);
    frameLabel->setObjectName("LBFrame");
    frameLabel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    frameLabel->setAlignment(Qt::AlignCenter);
    QFont label = font();
    label.setBold(true);
    label.setPixelSize(15);
    frameLabel->setFont(label);
    frameLabel->setFixedWidth(56);
    frameLabel->onRelease = [this] { Resume(); };
    frameLabel->setToolTip("The frame on show and the last frame");
    LBFrame = frameLabel;
    bar->addWidget(LBFrame);
    connect(SBFrame, &QScrollBar::valueChanged, this,
            [this](int v) { Command([this, v] { ShowFrame(v); }); });
    connect(SBFrame, &QScrollBar::actionTriggered, this, [this] { SliderAction(); });
}

void TVorlinForm::BuildPanels() {
    auto* central = new QWidget(this);
    auto* row = new QHBoxLayout(central);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);

    Panel2 = new TNodePanel(central);
    Panel2->setObjectName("Panel2");
    Panel2->setFixedWidth(140);
    // The caption bars above the tree and the entry list: clicking one opens a file.
    auto captionBar = [this](const char* name, const char* text) {
        auto* bar = new TClickLabel(text, Panel2);
        bar->setObjectName(name);
        bar->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        bar->setTextFormat(Qt::PlainText);
        // The bars are 15 pixels high, as the stored layout has them: a font that fits in
        // them whole (descenders too: the underscores of walk_mod.key).
        QFont font = bar->font();
        font.setPixelSize(std::min(font.pixelSize() > 0 ? font.pixelSize() : 99, 15 - 2 - 2));
        for (int px = font.pixelSize(); px > 6 && QFontMetrics(font).height() > 15 - 2; --px)
            font.setPixelSize(px - 1);
        bar->setFont(font);
        return bar;
    };
    auto* pl3do = captionBar("PL3DO", "3DO: <click to load>");
    pl3do->onClick = [this] { Command([this] { Open3DOClick(); }); };
    PL3DO = pl3do;
    TV3DO = new QTreeWidget(Panel2);
    TV3DO->setObjectName("TV3DO");
    TV3DO->setHeaderHidden(true);
    TV3DO->setRootIsDecorated(false);
    TV3DO->setIndentation(18);
    TV3DO->setIconSize(QSize(15, 15));
    TV3DO->setEditTriggers(QAbstractItemView::NoEditTriggers);
    auto* plkey = captionBar("PLKEY", "");
    plkey->onClick = [this] {
        if (OpenKEY1->isEnabled()) Command([this] { OpenKEYClick(); });
    };
    PLKEY = plkey;
    LBKEY = new QListWidget(Panel2);
    LBKEY->setObjectName("LBKEY");
    // Rows of one height: a change of an entry's text (its frame) does not lay out them all.
    LBKEY->setUniformItemSizes(true);
    LBKEY->setContextMenuPolicy(Qt::NoContextMenu); // until a KEY is set
    connect(LBKEY, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& p) { PMEntry->popup(LBKEY->viewport()->mapToGlobal(p)); });
    Panel2->SetControls(PL3DO, TV3DO, new TSplitterBar(Panel2), PLKEY, LBKEY);

    auto* separator = new QFrame(central);
    separator->setObjectName("Panel3");
    separator->setFrameStyle(QFrame::Box | QFrame::Plain);
    separator->setFixedWidth(2);

    QWidget* view;
    if (OpenGLAvailable()) {
        Pbox = new TPaintBox(central);
        Pbox->onMouse = [this](QMouseEvent* e) { view_->Mouse(e); };
        Pbox->onWheel = [this](QWheelEvent* e) { view_->Wheel(e); };
        Pbox->onLeave = [this] { ShowHoveredNode(-1); };
        Pbox->onPaint = [this] {
            if (!Renderer) return;
            SceneToRenderer();
            Renderer->DrawScene(Session.Model.get(), Session.KeyFile.get(),
                                BNTextured->isChecked());
        };
        view = Pbox;
    } else {
        // A display without OpenGL: the view stays empty and everything else works.
        Pbox = nullptr;
        view = new QWidget(central);
        view->setObjectName("Pbox");
        view->setAutoFillBackground(true);
        QPalette pal = view->palette();
        pal.setColor(QPalette::Window, Qt::black);
        view->setPalette(pal);
    }
    view_ = std::make_unique<TViewPanel>(*this, Pbox, Renderer);
    view_->axis = [this] {
        return BNXAxis->isChecked()   ? TAxis::X
               : BNYAxis->isChecked() ? TAxis::Y
               : BNZAxis->isChecked() ? TAxis::Z
                                      : TAxis::None;
    };
    view_->kind = [this] { return BNMove->isChecked() ? TDragKind::Move : TDragKind::Rotate; };
    view_->onHover = [this](int node) { ShowHoveredNode(node); };
    row->addWidget(Panel2);
    row->addWidget(separator);
    row->addWidget(BuildViewPanels(view), 1);
    setCentralWidget(central);
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
    panels_[2]->setText("dflt.cmp");
    // The node under the pointer in the view, while it is another than the selected one.
    SBarHover = new QLabel(this);
    SBarHover->setObjectName("SBarHover");
    SBarHover->setTextFormat(Qt::PlainText);
    SBarHover->setContentsMargins(4, 0, 4, 0);
    SBarHover->hide();
    bar->addPermanentWidget(SBarHover);
}

void TVorlinForm::BuildEnablingTable() {
    auto model = [this] { return Session.Model != nullptr; };
    auto key = [this] { return Session.KeyFile != nullptr; };
    enabling_ = {
        {SetCMP1, model},
        {NewKEY1, model},
        {Interop->ExportGltf1, model},
        {Interop->ImportMotion1, model},
        {OpenKEY1, model},
        {Reopen3DO1, [this] { return !Reopen3DO1->actions().isEmpty(); }},
        {ReopenKEY1, [this] { return !ReopenKEY1->actions().isEmpty() && Session.Model; }},
        {SaveKEY1, key},
        {SaveAsKEY1, key},
        {EditKey1, key},
        {View1, model},
        {STM, model},
        {STR, model},
        {STZ, model},
        {BNWireframe, model},
        {BNTextured, model},
    };
    for (QWidget* w :
         std::initializer_list<QWidget*>{BNAddEntry, BNAutoCopy, BNXAxis, BNYAxis, BNZAxis, BNMove,
                                         BNRotate, BNEdit, BNPlay, SBFrame, LBFrame})
        enabling_.push_back({w, key});
    for (QAction* a : Tools->KeyActions())
        enabling_.push_back({a, key});
    // A model node that no KEY node drives has no entries to act on: Add makes its node.
    auto keyNode = [this] { return Session.KeyNodeIndex() >= 0; };
    for (QObject* c : std::initializer_list<QObject*>{
             BNInsertEntry, BNDeleteEntry, BNCopyEntry, BNPasteEntry,
             findChild<QAction*>("CutEntry1"), findChild<QAction*>("CopyEntry1"),
             findChild<QAction*>("PasteEntry1"), findChild<QAction*>("InsertEntry1"),
             findChild<QAction*>("DeleteEntry1"), findChild<QAction*>("CurrentEntry1")})
        enabling_.push_back({c, keyNode});
    UpdateEnabling();
}

void TVorlinForm::UpdateEnabling() {
    for (const Enabling& e : enabling_) {
        const bool on = e.when();
        if (auto* a = qobject_cast<QAction*>(e.control))
            a->setEnabled(on);
        else if (auto* w = qobject_cast<QWidget*>(e.control))
            w->setEnabled(on);
    }
    // The entry list's context menu opens once a document is set.
    LBKEY->setContextMenuPolicy(Session.KeyFile ? Qt::CustomContextMenu : Qt::NoContextMenu);
}

void TVorlinForm::SetFrameRange() {
    const int32_t frames = Session.KeyFile ? Session.KeyFile->Frames : 0;
    const QSignalBlocker block(SBFrame);
    SBFrame->setRange(0, frames > 0 ? frames - 1 : 0);
}

void TVorlinForm::ShowFrameCount() {
    SetFrameRange();
    SetFrameLabel(SBFrame->value());
    Timeline->FramesChanged();
    Curves->FramesChanged();
}

void TVorlinForm::SetFrameLabel(int frame) {
    const int max = SBFrame->maximum();
    LBFrame->setText(QString("%1/%2").arg(frame).arg(max));
    // As wide as the longest label of this document ("99999/99999" for 100,000 frames), so
    // that it neither cuts a number short nor changes its width while playing.
    const QString longest = QString("%1/%1").arg(max);
    const int wanted =
        LBFrame->fontMetrics().horizontalAdvance(longest) + 2 * LBFrame->frameWidth() + 8;
    LBFrame->setFixedWidth(qMax(56, wanted));
}

void TVorlinForm::SceneToRenderer() {
    if (!Renderer) return;
    Renderer->Options = {SelectedNode, Settings.SHOW_NODEPATH, Settings.SHOW_FLOOR, FloorHeight};
    Renderer->Onions = Tools->Onions(KeyTimer->isActive());
}

void TVorlinForm::UpdateTitle() {
    // "walk.key* - sample.3do - Vorlin", as desktop editors name their documents.
    QString title = "Vorlin";
    if (Session.Model) title = ToQ(PathName(Session.Model->FileName)) + " - " + title;
    if (Session.KeyFile) title = ToQ(Session.KeyFile->Name) + "[*] - " + title;
    setWindowTitle(title);
    setWindowModified(Session.KeyFile && (!onDisk_ || !UndoStack->isClean()));
}

void TVorlinForm::Redraw() {
    if (Pbox) Pbox->Repaint();
    Timeline->update();
    Curves->update();
}

void TVorlinForm::SetPanel(int panel, const QString& text) {
    panels_[size_t(panel)]->setText(text);
}

QImage TVorlinForm::Screenshot() {
    QImage shot = grab().toImage();
    // The view is a window of its own, which a grab of the widgets does not see.
    if (Pbox && Renderer && Pbox->isValid()) {
        QPainter painter(&shot);
        painter.drawImage(Pbox->mapTo(this, QPoint(0, 0)), Pbox->grabFramebuffer());
    }
    return shot;
}

QString TVorlinForm::PanelText(int panel) const {
    return panels_[size_t(panel)]->text();
}

} // namespace vorlin
