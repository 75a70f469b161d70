#include "app/vorlinform.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QMouseEvent>
#include <QScreen>
#include <QScrollBar>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <charconv>

#include "dialogs/about_form.h"
#include "dialogs/progress_form.h"
#include "key/u_key.h"
#include "model/graph_files.h"
#include "model/u_3dos.h"
#include "render/ogl_PRender.h"
#include "settings/GlobalVars.h"
#include "settings/u_options.h"
#include "support/DialogSeams.h"
#include "support/FileOperations.h"
#include "support/misc_utils.h"
#include "support/qt_strings.h"

namespace vorlin {

namespace {

const char* kIcons[15] = {"0_add_entry",   "1_insert_entry", "2_delete_entry", "3_copy_entry",
                          "4_paste_entry", "5_auto_copy",    "6_wireframe",    "7_textured",
                          "8_x_axis",      "9_y_axis",       "10_z_axis",      "11_move",
                          "12_rotate",     "13_edit",        "14_play"};
const char* kTreeIcons[3] = {"tree_0_empty_mesh", "tree_1_no_mesh", "tree_2_mesh"};

QIcon Icon(const char* name) {
    return QIcon(QString(":/icons/%1.svg").arg(name));
}

// A panel whose caption runs a command when clicked.
class ClickLabel : public QLabel {
public:
    ClickLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {}
    std::function<void()> onClick;
    std::function<void()> onRelease;

protected:
    void mousePressEvent(QMouseEvent* e) override {
        if (e->button() == Qt::LeftButton && onClick) onClick();
        QLabel::mousePressEvent(e);
    }
    void mouseReleaseEvent(QMouseEvent* e) override {
        if (onRelease) onRelease();
        QLabel::mouseReleaseEvent(e);
    }
};

// printf's "%-8.2f" without the C locale.
std::string Left82(double v) {
    char buf[400];
    auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 2);
    std::string s(buf, r.ptr);
    if (s.size() < 8) s.append(8 - s.size(), ' ');
    return s;
}

} // namespace

TVorlinForm::TVorlinForm(QWidget* parent) : QMainWindow(parent) {
    setObjectName("VorlinForm");
    setWindowTitle("Vorlin");
    KeyTimer = new QTimer(this);
    KeyTimer->setObjectName("KeyTimer");
    connect(KeyTimer, &QTimer::timeout, this, &TVorlinForm::KeyTimerTick);
    BuildMenus();
    BuildToolBar();
    BuildPanels();
    FormCreate();
}

TVorlinForm::~TVorlinForm() = default;

// ---------------------------------------------------------------------------------------------
// Layout

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
    File1->addSeparator()->setObjectName("N2");
    connect(Item(File1, "Exit1", "&Exit"), &QAction::triggered, this, &QWidget::close);
    for (QAction* a : {SetCMP1, NewKEY1, OpenKEY1, SaveKEY1, SaveAsKEY1})
        a->setEnabled(false);
    Reopen3DO1->setEnabled(false);
    ReopenKEY1->setEnabled(false);

    EditKey1 = bar->addMenu("&Edit ");
    EditKey1->setObjectName("EditKey1");
    for (auto [name, caption] : {std::pair{"CutEntry1", "&Cut Entry"},
                                 {"CopyEntry1", "C&opy Entry"},
                                 {"PasteEntry1", "&Paste Entry"},
                                 {"AddEntry1", "&Add Entry"},
                                 {"InsertEntry1", "&Insert Entry"},
                                 {"DeleteEntry1", "&Delete Entry"}})
        Item(EditKey1, name, caption);
    EditKey1->addSeparator()->setObjectName("N4");
    Item(EditKey1, "CurrentEntry1", "C&urrent Entry");
    EditKey1->addSeparator()->setObjectName("N9");
    Item(EditKey1, "Markers1", "&Markers");
    EditKey1->addSeparator()->setObjectName("N7");
    Item(EditKey1, "KEYSummary1", "&KEY Summary");
    EditKey1->setEnabled(false);

    View1 = bar->addMenu("&View");
    View1->setObjectName("View1");
    Item(View1, "TopView1", "&Top View");
    Item(View1, "FrontView1", "&Front View");
    Item(View1, "SideView1", "&Side View");
    Item(View1, "OffsetView1", "&Offset View");
    View1->addSeparator()->setObjectName("N6");
    Item(View1, "CenterGrid1", "&Center Grid");
    View1->addSeparator()->setObjectName("N3");
    Item(View1, "FixDisplay1", "&Refresh");
    View1->setEnabled(false);

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
    Item(PMEntry, "Copy1", "&Copy");
    Item(PMEntry, "Paste1", "&Paste");
    Item(PMEntry, "Add1", "&Add");
    Item(PMEntry, "Insert1", "&Insert");
    Item(PMEntry, "Delete1", "&Delete");
}

QToolButton* TVorlinForm::Button(const char* name, int image, bool checkable) {
    auto* b = new QToolButton(this);
    b->setObjectName(name);
    b->setIcon(Icon(kIcons[image]));
    b->setIconSize(QSize(15, 15));
    b->setFixedSize(22, 22);
    b->setAutoRaise(true);
    b->setCheckable(checkable);
    b->setEnabled(false);
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
    connect(BNWireframe, &QToolButton::clicked, this, [this] { Redraw(); });
    connect(BNTextured, &QToolButton::clicked, this, [this] { Redraw(); });
    connect(BNEdit, &QToolButton::clicked, this, [this] { SetEditMode(); });
    connect(BNPlay, &QToolButton::clicked, this, [this] { SetPlayMode(); });

    QFont big = font();
    big.setBold(true);
    big.setPixelSize(19);
    auto letter = [&](const char* name, const char* text, int width) {
        auto* l = new QLabel(text, this);
        l->setObjectName(name);
        l->setFont(big);
        l->setAlignment(Qt::AlignCenter);
        l->setFixedWidth(width);
        l->setEnabled(false);
        bar->addWidget(l);
        return l;
    };
    STM = letter("STM", "M", 20);
    STR = letter("STR", "R", 20);
    STZ = letter("STZ", "Z", 21);
    bar->addSeparator();
    SBFrame = new QScrollBar(Qt::Horizontal, this);
    SBFrame->setObjectName("SBFrame");
    SBFrame->setFixedWidth(128);
    SBFrame->setRange(0, 0);
    SBFrame->setEnabled(false);
    bar->addWidget(SBFrame);
    bar->addSeparator();
    auto* frameLabel = new ClickLabel("0/0", this);
    frameLabel->setObjectName("LBFrame");
    frameLabel->setFixedWidth(56);
    frameLabel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    QFont label = font();
    label.setBold(true);
    label.setPixelSize(15);
    frameLabel->setFont(label);
    frameLabel->setEnabled(false);
    frameLabel->onRelease = [this] {
        if (BNPlay->isChecked()) KeyTimer->start();
    };
    LBFrame = frameLabel;
    bar->addWidget(LBFrame);
    connect(SBFrame, &QScrollBar::valueChanged, this,
            [this](int v) { Command([this, v] { ShowFrame(v); }); });
    connect(SBFrame, &QScrollBar::sliderPressed, this, [this] { KeyTimer->stop(); });
    connect(SBFrame, &QScrollBar::sliderReleased, this, [this] { Resume(); });
}

void TVorlinForm::BuildPanels() {
    auto* central = new QWidget(this);
    auto* row = new QHBoxLayout(central);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);

    auto* panel2 = new QWidget(central);
    panel2->setObjectName("Panel2");
    panel2->setFixedWidth(140);
    auto* panel2Layout = new QVBoxLayout(panel2);
    panel2Layout->setContentsMargins(0, 0, 0, 0);
    Splitter = new QSplitter(Qt::Vertical, panel2);
    Splitter->setObjectName("Splitter");
    Splitter->setHandleWidth(5);
    Splitter->setChildrenCollapsible(false);
    panel2Layout->addWidget(Splitter);
    auto* top = new QWidget(Splitter);
    auto* topLayout = new QVBoxLayout(top);
    topLayout->setContentsMargins(0, 0, 0, 0);
    topLayout->setSpacing(0);
    // The caption bars above the tree and the entry list: clicking one opens a file.
    auto captionBar = [](QWidget* parent, const char* name, const char* text) {
        auto* bar = new ClickLabel(text, parent);
        bar->setObjectName(name);
        bar->setFixedHeight(15);
        bar->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        bar->setTextFormat(Qt::PlainText);
        return bar;
    };
    auto* pl3do = captionBar(top, "PL3DO", "3DO: <click to load>");
    pl3do->onClick = [this] { Command([this] { Open3DOClick(); }); };
    PL3DO = pl3do;
    TV3DO = new QTreeWidget(top);
    TV3DO->setObjectName("TV3DO");
    TV3DO->setHeaderHidden(true);
    TV3DO->setRootIsDecorated(false);
    TV3DO->setIndentation(18);
    TV3DO->setIconSize(QSize(15, 15));
    TV3DO->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TV3DO->setMinimumWidth(0);
    topLayout->addWidget(PL3DO);
    topLayout->addWidget(TV3DO);
    auto* bottom = new QWidget(Splitter);
    auto* bottomLayout = new QVBoxLayout(bottom);
    bottomLayout->setContentsMargins(0, 0, 0, 0);
    bottomLayout->setSpacing(0);
    auto* plkey = captionBar(bottom, "PLKEY", "");
    plkey->onClick = [this] {
        if (OpenKEY1->isEnabled()) Command([this] { OpenKEYClick(); });
    };
    PLKEY = plkey;
    LBKEY = new QListWidget(bottom);
    LBKEY->setObjectName("LBKEY");
    LBKEY->setContextMenuPolicy(Qt::NoContextMenu); // until a KEY is set
    connect(LBKEY, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& p) { PMEntry->popup(LBKEY->viewport()->mapToGlobal(p)); });
    bottomLayout->addWidget(PLKEY);
    bottomLayout->addWidget(LBKEY);
    Splitter->addWidget(top);
    Splitter->addWidget(bottom);

    auto* separator = new QFrame(central);
    separator->setObjectName("Panel3");
    separator->setFrameStyle(QFrame::Box | QFrame::Plain);
    separator->setFixedWidth(2);

    QWidget* view;
    if (OpenGLAvailable()) {
        Pbox = new TPaintBox(central);
        Pbox->onPaint = [this] {
            if (Renderer) Renderer->DrawScene(Model.get(), KeyFile.get(), BNTextured->isChecked());
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
    row->addWidget(panel2);
    row->addWidget(separator);
    row->addWidget(view, 1);
    setCentralWidget(central);

    QStatusBar* bar = statusBar();
    bar->setObjectName("SBar");
    bar->setSizeGripEnabled(false);
    for (int i = 0; i < 4; ++i) {
        auto* l = new QLabel(this);
        l->setObjectName(QString("SBarPanel%1").arg(i));
        l->setTextFormat(Qt::PlainText);
        if (i < 3) {
            l->setFixedWidth(70);
            bar->addWidget(l);
        } else {
            bar->addWidget(l, 1);
        }
        panels_[size_t(i)] = l;
    }
    panels_[2]->setText("dflt.cmp");
    resize(660, 450);
}

// ---------------------------------------------------------------------------------------------
// Window events

void TVorlinForm::FormCreate() {
    TSettings& g = Settings;
    if (g.VORLIN_WIDTH < 660) g.VORLIN_WIDTH = 660;
    if (g.VORLIN_HEIGHT < 450) g.VORLIN_HEIGHT = 450;
    QSize screen(1024, 768);
    if (QScreen* s = QGuiApplication::primaryScreen()) screen = s->geometry().size();
    if (g.VORLIN_LEFT < 0) g.VORLIN_LEFT = 0;
    if (screen.width() - g.VORLIN_WIDTH < g.VORLIN_LEFT)
        g.VORLIN_LEFT = screen.width() - g.VORLIN_WIDTH;
    if (g.VORLIN_TOP < 0) g.VORLIN_TOP = 0;
    if (screen.height() - g.VORLIN_HEIGHT < g.VORLIN_TOP)
        g.VORLIN_TOP = screen.height() - g.VORLIN_HEIGHT;
    resize(g.VORLIN_WIDTH, g.VORLIN_HEIGHT);
    move(g.VORLIN_LEFT, g.VORLIN_TOP);
    if (g.WINDOW_MAXIMIZED) setWindowState(windowState() | Qt::WindowMaximized);
    const int splitterTop = qMax(g.SPLITTER_TOP, 15 + 20);
    Splitter->setSizes({splitterTop, qMax(1, g.VORLIN_HEIGHT - splitterTop)});
    BuildReopen3DOMenu();
    BuildReopenKEYMenu();
}

void TVorlinForm::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (shown_) return;
    shown_ = true;
    // The view's OpenGL context exists once the window is on screen.
    QTimer::singleShot(0, this, [this] { FormShow(); });
}

void TVorlinForm::FormShow() {
    try {
        Renderer = std::make_unique<TOGLRenderer>(Pbox);
        Renderer->Progress = Progress;
        Renderer->UpdateColours();
        if (Pbox) Pbox->onResize = [this] { FormResize(); };
        FormResize();
    } catch (const std::exception& e) {
        // The editor goes on without its 3D view.
        Renderer.reset();
        ShowMessageBox(this, QString::fromLocal8Bit(e.what()), "Vorlin", MB_OK | MB_ICONERROR);
        if (AfterShow) AfterShow();
        return;
    }
    if (!CommandLine.isEmpty() && !CommandLine[0].isEmpty())
        Command([this] { Load3DO(CommandLine[0]); });
    for (int i = 1; i < CommandLine.size(); ++i)
        Command([this, i] { LoadKEY(CommandLine[i]); });
    if (AfterShow) AfterShow();
}

void TVorlinForm::FormResize() {
    if (!Renderer) return;
    if (!Pbox) return;
    Renderer->SetViewport(0, 0, Pbox->width(), Pbox->height());
    Renderer->RebuildLists();
}

void TVorlinForm::closeEvent(QCloseEvent* event) {
    // A close question whose save failed keeps the window open: closing would lose the work.
    bool allowed = false;
    Command([&] { allowed = FormCloseQuery(); });
    if (!allowed) {
        event->ignore();
        return;
    }
    FormClose();
    event->accept();
}

bool TVorlinForm::FormCloseQuery() {
    if (!KeyFile) return true;
    KeyTimer->stop();
    if (DocumentModified()) {
        int answer = ShowMessageBox(this, "Save changes to " + ToQ(KeyFile->Name) + "?", "Confirm",
                                    MB_YESNOCANCEL | MB_ICONQUESTION);
        if (answer == IDCANCEL) {
            Resume();
            return false;
        }
        if (answer == IDNO) return true;
        SaveKEY();
    }
    Resume();
    return true;
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
    g.TV3DO_HEIGHT = TV3DO->height();
    g.SPLITTER_TOP = Splitter->sizes().value(0);
    g.PLKEY_TOP = g.SPLITTER_TOP + Splitter->handleWidth();
    KeyTimer->stop();
}

// ---------------------------------------------------------------------------------------------
// Display operations

void TVorlinForm::Command(const std::function<void()>& body) {
    try {
        body();
    } catch (const std::exception& e) {
        ShowMessageBox(this, QString::fromLocal8Bit(e.what()), "Vorlin", MB_OK | MB_ICONERROR);
    }
}

void TVorlinForm::Pause() {
    KeyTimer->stop();
}

void TVorlinForm::Resume() {
    if (BNPlay->isChecked()) KeyTimer->start();
}

void TVorlinForm::SetEditMode() {
    KeyTimer->stop();
    if (KeyFile) BNEdit->setChecked(true);
}

void TVorlinForm::SetPlayMode() {
    if (!KeyFile) return;
    // A frame rate of 0 or less cannot be played; one frame a second is the slowest.
    const int fps = KeyFile->FPS > 0 ? KeyFile->FPS : 1;
    KeyTimer->setInterval(1000 / fps);
    KeyTimer->start();
    BNPlay->setChecked(true);
}

void TVorlinForm::KeyTimerTick() {
    Command([this] {
        ShowFrame(SBFrame->value());
        SBFrame->setValue(SBFrame->value() == SBFrame->maximum() ? 0 : SBFrame->value() + 1);
    });
}

int TVorlinForm::CurrentFrame() const {
    return SBFrame->value();
}

void TVorlinForm::UpdateView() {
    if (!Model) return;
    Model->TransformVertices();
    if (Renderer) Renderer->SetCamera(ViewPitch, ViewYaw, ViewZoom * 0.1);
    Redraw();
}

void TVorlinForm::ShowFrame(int frame) {
    if (!Model || !KeyFile) return;
    SBFrame->setValue(frame);
    LBFrame->setText(QString("%1/%2").arg(frame).arg(SBFrame->maximum()));
    KeyFile->ApplyToModel(*Model, frame);
    if (Settings.FOLLOW_NODEPATH) {
        UpdateView();
        if (Renderer && Model->HNodes.Count() > 0) {
            const T3DOHNode& n = Model->HNodes[0];
            Renderer->CameraPos[0] += n.CurX;
            Renderer->CameraPos[1] += n.CurY;
            Renderer->CameraPos[2] += n.CurZ;
        }
    }
    Redraw();
    if (SelectedNode >= 0 && SelectedNode < Model->HNodes.Count()) {
        const T3DOHNode& n = Model->HNodes[SelectedNode];
        SetPanel(3, ToQ("X: " + Left82(n.CurX) + "  Y: " + Left82(n.CurY) +
                        "  Z: " + Left82(n.CurZ) + "  Pitch: " + Left82(n.CurPitch) +
                        "  Roll: " + Left82(n.CurRoll) + "  Yaw: " + Left82(n.CurYaw)));
    }
}

void TVorlinForm::FillEntryList() {
    if (!KeyFile) return;
    const int count = SelectedNode >= 0 && SelectedNode < KeyFile->Nodes.Count()
                          ? KeyFile->Nodes[SelectedNode].Entries.Count()
                          : 0;
    if (LBKEY->count() == count) return;
    LBKEY->clear();
    for (int i = 0; i < count; ++i)
        LBKEY->addItem(QString("Entry %1").arg(i));
    if (SelectedEntry >= count) SelectedEntry = count - 1;
    if (SelectedEntry < 0 || count == 0) return;
    SetPanel(1, LBKEY->item(SelectedEntry)->text());
    ShowFrame(KeyFile->Nodes[SelectedNode].Entries[SelectedEntry].Frame);
}

void TVorlinForm::InitKEYControls() {
    PLKEY->setText("KEY: " + ToQ(KeyFile->Name));
    SelectedEntry = 0;
    SetPanel(1, "Entry: 0");
    const int max = KeyFile->Frames > 0 ? KeyFile->Frames - 1 : 0;
    {
        const QSignalBlocker block(SBFrame);
        SBFrame->setMinimum(0);
        SBFrame->setMaximum(max);
        SBFrame->setValue(0);
    }
    LBFrame->setText(QString("0/%1").arg(max));
    SaveKEY1->setEnabled(true);
    SaveAsKEY1->setEnabled(true);
    EditKey1->setEnabled(true);
    for (QToolButton* b :
         {BNAddEntry, BNInsertEntry, BNDeleteEntry, BNCopyEntry, BNPasteEntry, BNAutoCopy})
        b->setEnabled(true);
    if (!BNYAxis->isChecked() && !BNZAxis->isChecked()) BNXAxis->setChecked(true);
    for (QToolButton* b : {BNXAxis, BNYAxis, BNZAxis})
        b->setEnabled(true);
    BNMove->setEnabled(true);
    if (!BNMove->isChecked()) BNRotate->setChecked(true);
    BNRotate->setEnabled(true);
    BNEdit->setEnabled(true);
    BNEdit->setChecked(true);
    BNPlay->setEnabled(true);
    SBFrame->setEnabled(true);
    LBFrame->setEnabled(true);
    LBKEY->setContextMenuPolicy(Qt::CustomContextMenu);
}

void TVorlinForm::EnableAfterModel() {
    SetCMP1->setEnabled(true);
    NewKEY1->setEnabled(true);
    OpenKEY1->setEnabled(true);
    ReopenKEY1->setEnabled(!ReopenKEY1->actions().isEmpty());
    View1->setEnabled(true);
    for (QLabel* l : {STM, STR, STZ})
        l->setEnabled(true);
    BNWireframe->setEnabled(true);
    BNTextured->setEnabled(true);
    if (!BNWireframe->isChecked()) BNTextured->setChecked(true);
    Redraw();
}

void TVorlinForm::Redraw() {
    if (Pbox) Pbox->update();
}

void TVorlinForm::SetPanel(int panel, const QString& text) {
    panels_[size_t(panel)]->setText(text);
}

QString TVorlinForm::PanelText(int panel) const {
    return panels_[size_t(panel)]->text();
}

// ---------------------------------------------------------------------------------------------
// Recent lists

void TVorlinForm::AddRecent(std::array<std::string, 5>& list, const std::string& path) {
    int p = 5;
    for (int i = 0; i < 5; ++i)
        if (list[size_t(i)] == path) {
            p = i;
            break;
        }
    if (p > 0) {
        if (p == 5) p = 4;
        for (int i = p; i > 0; --i)
            list[size_t(i)] = list[size_t(i - 1)];
    }
    list[0] = path;
}

void TVorlinForm::FillReopenMenu(QMenu* menu, const std::array<std::string, 5>& list,
                                 void (TVorlinForm::*load)(const QString&)) {
    menu->clear();
    for (const std::string& path : list) {
        if (path.empty()) continue;
        QString name = ToQ(path);
        connect(menu->addAction(name), &QAction::triggered, this,
                [this, name, load] { Command([this, name, load] { (this->*load)(name); }); });
    }
}

void TVorlinForm::BuildReopen3DOMenu() {
    FillReopenMenu(Reopen3DO1, Settings.RECENT_3DO, &TVorlinForm::Load3DO);
    Reopen3DO1->setEnabled(!Reopen3DO1->actions().isEmpty());
}

void TVorlinForm::BuildReopenKEYMenu() {
    FillReopenMenu(ReopenKEY1, Settings.RECENT_KEY, &TVorlinForm::LoadKEY);
    ReopenKEY1->setEnabled(!ReopenKEY1->actions().isEmpty() && Model != nullptr);
}

// ---------------------------------------------------------------------------------------------
// Loading

void TVorlinForm::Load3DO(const QString& qname) {
    if (qname.isEmpty()) return;
    if (KeyFile) SetEditMode();
    SelectedNode = 0;
    const std::string name = FromQ(qname);
    Model.reset();
    // Until the new model has loaded the window shows none, so a failed load leaves nothing
    // half-replaced behind.
    TV3DO->clear();
    PL3DO->setText("3DO: <click to load>");
    Redraw();
    Model = std::make_unique<T3DO>(name, 0);
    Model->FileName = name;

    if (IsContainerPath(name)) {
        ProjectDir.clear();
    } else {
        ProjectDir = PathDir(name);
        if (!ProjectDir.empty()) {
            std::string dir = ProjectDir.substr(0, ProjectDir.size() - 1);
            if (SameText(PathName(dir), "3do")) ProjectDir = PathDir(dir);
        }
    }
    FloorHeight = Model->LowestPoint();
    if (Renderer) {
        Renderer->RebuildLists();
        Renderer->LoadTextures(Model->Materials);
    }
    ViewZoom = 10 * Model->Radius() + 3;
    UpdateView();
    PL3DO->setText("3DO: " + ToQ(PathName(name)));
    for (int i = 0; i < Model->HNodes.Count(); ++i) {
        const T3DOHNode& n = Model->HNodes[i];
        int image = 1;
        if (n.Mesh >= 0)
            image =
                n.Mesh < Model->Meshes.Count() && Model->Meshes[n.Mesh].Faces.Vertices.Count() > 0
                    ? 2
                    : 0;
        auto* item = new QTreeWidgetItem(TV3DO, QStringList{ToQ(n.Name).toLower()});
        item->setIcon(0, Icon(kTreeIcons[image]));
    }
    if (KeyFile)
        ShowFrame(0);
    else
        PLKEY->setText("KEY: <click to load>");
    EnableAfterModel();
    AddRecent(Settings.RECENT_3DO, name);
    BuildReopen3DOMenu();
    BuildReopenKEYMenu();
}

void TVorlinForm::LoadKEY(const QString& qname) {
    if (qname.isEmpty()) return;
    SetEditMode();
    SelectedEntry = 0;
    const std::string name = FromQ(qname);
    // Until the new document has loaded the window shows none.
    KeyFile.reset();
    LBKEY->clear();
    PLKEY->setText(Model ? "KEY: <click to load>" : "");
    {
        const QSignalBlocker block(SBFrame);
        SBFrame->setRange(0, 0);
    }
    LBFrame->setText("0/0");
    KeyFile = TKEYFile::CreateFromFile(name);
    InitKEYControls();
    FillEntryList();
    AddRecent(Settings.RECENT_KEY, name);
    BuildReopenKEYMenu();
}

void TVorlinForm::LoadCMP(const QString& name) {
    TPalette& palette = CurrentPalette();
    LoadCMPPalette(FromQ(name), palette);
    ApplyCMPLight(FromQ(name), palette);
    if (Model && Renderer) Renderer->LoadTextures(Model->Materials);
    Redraw();
    SetPanel(2, ToQ(PathName(FromQ(name))));
}

void TVorlinForm::CreateNewKEY() {
    if (!Model) return;
    KeyTimer->stop();
    SelectedEntry = 0;
    const TSettings& g = Settings;
    auto doc = std::make_unique<TKEYFile>();
    doc->Frames = g.DEFAULT_NUMFRAMES;
    doc->FPS = g.DEFAULT_FRAMERATE;
    doc->Flags = g.FLAGS_ONCE ? 0 : 3;
    doc->Joints = Model->HNodes.Count();
    // A gap of 0 (or less) cannot space entries: the document then gets one entry per node.
    const int n =
        g.DEFAULT_FRAMEGAP > 0 ? int(double(g.DEFAULT_NUMFRAMES) / g.DEFAULT_FRAMEGAP) : 0;
    for (const auto& h : Model->HNodes) {
        TKEYNode& node = doc->Nodes.Add();
        node.MeshName = h->Name;
        for (int j = 0; j <= n; ++j) {
            TKEYEntry& e = doc->Nodes.Last().Entries.Add();
            e.Frame = j == 0 ? 0 : j == n ? g.DEFAULT_NUMFRAMES - 1 : j * g.DEFAULT_FRAMEGAP;
            e.X = h->X;
            e.Y = h->Y;
            e.Z = h->Z;
            e.Pitch = h->Pitch;
            e.Yaw = h->Yaw;
            e.Roll = h->Roll;
        }
    }
    SetEditMode();
    KeyFile = std::move(doc);
    KeyFile->RecalcAll();
    LBKEY->clear();
    InitKEYControls();
    FillEntryList();
}

bool TVorlinForm::DocumentModified() const {
    if (!KeyFile) return false;
    try {
        return KeyFile->IsModified();
    } catch (const Error&) {
        return true; // its file is gone or unreadable: only the open document holds the work
    }
}

bool TVorlinForm::SaveQuestion() {
    if (!DocumentModified()) return true;
    int answer = ShowMessageBox(this, "Save changes to " + ToQ(KeyFile->Name) + "?", "Confirm",
                                MB_YESNOCANCEL | MB_ICONQUESTION);
    if (answer == IDCANCEL) return false;
    if (answer == IDYES) SaveKEY();
    return true;
}

void TVorlinForm::SaveKEY() {
    if (!KeyFile) return;
    const std::string& full = KeyFile->FullName;
    if (full.empty() || IsContainerPath(full) || PathName(full) != KeyFile->Name) {
        SaveAsKEY();
        return;
    }
    KeyFile->SaveToFile(full);
}

void TVorlinForm::SaveAsKEY() {
    if (!KeyFile) return;
    KeyTimer->stop();
    FileDialogRequest request;
    request.kind = FileDialogRequest::Save;
    request.caption = "Save As KEY File";
    request.filter = "KEY Files (*.key)";
    request.defaultSuffix = "key";
    const std::string& full = KeyFile->FullName;
    if (!full.empty() && !IsContainerPath(full))
        request.initialPath = ToQ(full);
    else
        request.initialPath = QCoreApplication::applicationDirPath() + "/" + ToQ(KeyFile->Name);
    std::optional<QString> chosen = AskFileName(this, request);
    if (chosen) {
        std::string path = FromQ(*chosen);
        KeyFile->FullName = path;
        KeyFile->Name = PathName(path);
        PLKEY->setText("KEY: " + ToQ(KeyFile->Name));
        try {
            KeyFile->SaveToFile(path);
        } catch (...) {
            Resume();
            throw;
        }
    }
    Resume();
}

// ---------------------------------------------------------------------------------------------
// Commands

namespace {

// Until the file-open dialog over containers is in place, models, KEY files and colour maps
// are picked with the standard dialog.
std::optional<QString> PickFile(QWidget* parent, const char* caption, const char* filter,
                                const QString& initial) {
    FileDialogRequest request;
    request.caption = caption;
    request.filter = filter;
    request.initialPath = initial;
    return AskFileName(parent, request);
}

} // namespace

void TVorlinForm::Open3DOClick() {
    KeyTimer->stop();
    auto chosen = PickFile(this, "Open 3DO File", "3DO Files (*.3do)",
                           Model ? ToQ(PathName(Model->FileName)) : QString());
    if (chosen) {
        repaint();
        Load3DO(*chosen);
    } else if (KeyFile) {
        Resume();
    }
}

void TVorlinForm::OpenKEYClick() {
    if (!OpenKEY1->isEnabled()) return;
    KeyTimer->stop();
    if (!SaveQuestion()) {
        Resume();
        return;
    }
    auto chosen = PickFile(this, "Open KEY File", "KEY Files (*.key)",
                           KeyFile ? ToQ(KeyFile->Name) : QString());
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
    auto chosen = PickFile(this, "Open CMP File", "CMP Files (*.cmp)", PanelText(2));
    if (chosen) {
        repaint();
        LoadCMP(*chosen);
    }
    Resume();
}

void TVorlinForm::NewKEYClick() {
    if (!NewKEY1->isEnabled()) return;
    KeyTimer->stop();
    if (!SaveQuestion()) {
        Resume();
        return;
    }
    CreateNewKEY();
}

void TVorlinForm::OptionsClick() {
    Pause();
    try {
        if (Options) Options->ShowOptions();
    } catch (...) {
        Resume();
        throw;
    }
    if (Renderer) Renderer->UpdateColours();
    Redraw();
    Resume();
}

void TVorlinForm::AboutClick() {
    Pause();
    if (About) About->exec();
    Resume();
}

void TVorlinForm::HelpClick() {
    // The help lies in the current folder, or beside the program in the installed data.
    const QStringList places = {QDir::currentPath(),
                                QCoreApplication::applicationDirPath() + "/../docs",
                                QCoreApplication::applicationDirPath() + "/../../docs",
                                QCoreApplication::applicationDirPath() + "/../share/vorlin"};
    for (const QString& dir : places) {
        QString path = QDir(dir).filePath(kHelpFile);
        if (QFileInfo::exists(path)) {
            OpenUrl(QFileInfo(path).absoluteFilePath());
            return;
        }
    }
    OpenUrl(QDir::current().filePath(kHelpFile));
}

} // namespace vorlin
