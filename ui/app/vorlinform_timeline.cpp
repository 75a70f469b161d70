// The timeline under the 3D view: showing and hiding it, picking keys on it, moving and
// deleting keys, and the keys that step through and nudge keys from anywhere in the window.
#include <QAction>
#include <QListWidget>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolButton>
#include <QTreeWidget>
#include <QUndoStack>

#include "app/curves_panel.h"
#include "app/timeline_panel.h"
#include "app/vorlinform.h"

namespace vorlin {

namespace {

// The least height of the 3D view under a tall timeline.
constexpr int kMinViewHeight = 120;

} // namespace

QWidget* TVorlinForm::BuildTimeline(QWidget* view) {
    ViewSplit = new QSplitter(Qt::Vertical, view->parentWidget());
    ViewSplit->setObjectName("ViewSplit");
    ViewSplit->setChildrenCollapsible(false);
    // The view never goes: a tall stored timeline gives way to it.
    view->setMinimumHeight(kMinViewHeight);
    ViewSplit->addWidget(view);
    // The timeline and the curves share the place under the view, as tabs.
    ViewTabs = new QTabWidget(ViewSplit);
    ViewTabs->setObjectName("ViewTabs");
    ViewTabs->setDocumentMode(true);
    Timeline = new TTimelinePanel(Session, ViewTabs);
    ViewTabs->addTab(Timeline, "Timeline");
    ViewSplit->addWidget(ViewTabs);
    // The window's height goes to the view; the panels keep their own.
    ViewSplit->setStretchFactor(0, 1);
    ViewSplit->setStretchFactor(1, 0);

    Timeline->frame = [this] { return SBFrame->value(); };
    Timeline->onScrub = [this](int frame) { Scrub(frame); };
    Timeline->onScrubEnd = [this] { ScrubEnd(); };
    Timeline->onRow = [this](int row) {
        if (row < TV3DO->topLevelItemCount()) TV3DO->setCurrentItem(TV3DO->topLevelItem(row));
    };
    Timeline->onKey = [this](TKeyRef key, bool shift) { TimelineKey(key, shift); };
    Timeline->onBand = [this](const std::vector<TKeyRef>& keys, bool shift) {
        TimelineBand(keys, shift);
    };
    Timeline->onMoveBegin = [this] { BeginKeyMove(); };
    Timeline->onMove = [this](int delta) { KeyMoveStep(delta); };
    Timeline->onMoveEnd = [this] {
        EndDrag();
        move_.reset();
    };
    Timeline->onDelete = [this] { Command([this] { DeleteKeysClick(); }); };
    Timeline->setToolTip("");
    BuildCurves();

    // Their keys work without a model too, while the View menu is disabled.
    addAction(Timeline1);
    addAction(Curves1);
    auto toggle = [this](QAction* action, QWidget* panel) {
        connect(action, &QAction::toggled, this, [this, panel](bool on) {
            if (on) {
                const bool placed = ViewTabs->isVisible();
                ViewTabs->setCurrentWidget(panel);
                ViewTabs->setVisible(true);
                if (!placed) PlaceTimeline();
            } else if (ViewTabs->currentWidget() == panel) {
                Settings.TIMELINE_HEIGHT = ViewTabs->height();
                ViewTabs->setVisible(false);
            }
            SyncPanelActions();
        });
    };
    toggle(Timeline1, Timeline);
    toggle(Curves1, Curves);
    connect(ViewTabs, &QTabWidget::currentChanged, this, [this] { SyncPanelActions(); });
    // Window shortcuts, as the frame keys are: they work wherever the focus is in the window.
    WindowKey("NextKey1", "Next Key", QKeySequence("Ctrl+Right"), [this] { StepKey(+1); });
    WindowKey("PreviousKey1", "Previous Key", QKeySequence("Ctrl+Left"), [this] { StepKey(-1); });
    WindowKey("NudgeKeysLater1", "Move Keys a Frame Later", QKeySequence("Alt+Right"),
              [this] { NudgeKeys(+1); });
    WindowKey("NudgeKeysEarlier1", "Move Keys a Frame Earlier", QKeySequence("Alt+Left"),
              [this] { NudgeKeys(-1); });
    return ViewSplit;
}

void TVorlinForm::SyncPanelActions() {
    const bool shown = !ViewTabs->isHidden();
    const QSignalBlocker a(Timeline1), b(Curves1);
    Timeline1->setChecked(shown && ViewTabs->currentWidget() == Timeline);
    Curves1->setChecked(shown && ViewTabs->currentWidget() == Curves);
    Settings.TIMELINE_VISIBLE = Timeline1->isChecked();
    Settings.CURVES_VISIBLE = Curves1->isChecked();
}

void TVorlinForm::Scrub(int frame) {
    // As the slider does: playback waits while the button is held.
    scrolling_ = true;
    Pause();
    StepFrame(frame);
}

void TVorlinForm::ScrubEnd() {
    scrolling_ = false;
    Resume();
}

void TVorlinForm::RestoreTimeline() {
    const bool curves = Settings.CURVES_VISIBLE;
    const bool shown = curves || Settings.TIMELINE_VISIBLE;
    ViewTabs->setCurrentWidget(curves ? static_cast<QWidget*>(Curves) : Timeline);
    ViewTabs->setVisible(shown);
    SyncPanelActions();
    if (shown) PlaceTimeline();
}

void TVorlinForm::PlaceTimeline() {
    const int room = ViewSplit->height() - ViewSplit->handleWidth() - kMinViewHeight;
    const int height =
        std::max(std::min(Settings.TIMELINE_HEIGHT, room), Timeline->minimumHeight());
    ViewSplit->setSizes(
        {std::max(ViewSplit->height() - height - ViewSplit->handleWidth(), 1), height});
}

// ---------------------------------------------------------------------------------------------
// Picking keys

void TVorlinForm::TimelineKey(TKeyRef key, bool shift) {
    if (drag_ || !Session.KeyFile) return;
    if (shift) {
        // The selected entry is where a Shift+click starts from.
        std::vector<TKeyRef> keys = Session.SelectedKeys();
        if (auto at = std::find(keys.begin(), keys.end(), key); at != keys.end())
            keys.erase(at);
        else
            keys.push_back(key);
        Session.MarkedKeys = ValidKeys(*Session.KeyFile, keys);
        Redraw();
        return;
    }
    // The node's row, then the entry, as clicks on the tree and the list would.
    const int joint = Session.KeyFile->Joint(key.node);
    if (joint != SelectedNode && joint >= 0 && joint < TV3DO->topLevelItemCount())
        TV3DO->setCurrentItem(TV3DO->topLevelItem(joint));
    if (Session.KeyNodeIndex() != key.node || key.entry >= LBKEY->count()) return;
    PickEntry(key.entry);
    Redraw();
}

void TVorlinForm::TimelineBand(const std::vector<TKeyRef>& keys, bool shift) {
    if (drag_ || !Session.KeyFile) return;
    std::vector<TKeyRef> marked = keys;
    if (shift) {
        const std::vector<TKeyRef> before = Session.SelectedKeys();
        marked.insert(marked.end(), before.begin(), before.end());
    }
    Session.MarkedKeys = ValidKeys(*Session.KeyFile, marked);
    Redraw();
}

// ---------------------------------------------------------------------------------------------
// Moving and deleting keys

void TVorlinForm::BeginKeyMove() {
    EndDrag();
    move_.reset();
    if (!Session.KeyFile || !BNEdit->isChecked()) return;
    auto move = std::make_unique<TKeyMove>(*Session.KeyFile, Session.SelectedKeys());
    if (move->Empty()) return;
    BeginDrag(move->Nodes(), "Move Keys");
    move_ = std::move(move);
}

void TVorlinForm::KeyMoveStep(int delta) {
    if (!drag_ || !move_ || Session.KeyFile.get() != dragDoc_) return;
    Command([&] {
        move_->Apply(*Session.KeyFile, delta);
        AfterKeysMoved();
    });
}

void TVorlinForm::AfterKeysMoved() {
    UpdateEntryTexts();
    // The frame follows the selected entry, as a click on it would show it.
    if (Session.KeyNodeIndex() >= 0 && SelectedEntry >= 0 && SelectedEntry < Session.EntryCount())
        StepFrame(Session.SelectedKeyEntry().Frame);
    else
        ShowFrame(SBFrame->value());
}

void TVorlinForm::DeleteKeysClick() {
    if (drag_ || !Session.KeyFile || !BNEdit->isChecked()) return;
    const std::vector<TKeyRef> keys = Session.SelectedKeys();
    if (keys.empty()) return;
    std::vector<int> nodes;
    for (const TKeyRef& k : keys)
        if (nodes.empty() || nodes.back() != k.node) nodes.push_back(k.node);
    int deleted = 0;
    Record("Delete Keys", nodes, [&] { deleted = DeleteKeys(*Session.KeyFile, keys); });
    const auto firsts =
        std::count_if(keys.begin(), keys.end(), [](const TKeyRef& k) { return k.entry == 0; });
    if (firsts > 0)
        statusBar()->showMessage(
            "A node keeps its first entry, which poses it up to its next key: " +
                QString(firsts == 1 ? "1 first entry was" : "%1 first entries were").arg(firsts) +
                " not deleted",
            5000);
    if (deleted == 0) return;
    Session.MarkedKeys.clear();
    FillEntryList();
    ShowFrame(SBFrame->value());
}

void TVorlinForm::StepKey(int dir) {
    if (!Session.KeyFile || !BNEdit->isChecked() || drag_) return;
    const int node = Session.KeyNodeIndex();
    if (node < 0) return;
    const int entry = NeighbourKey(Session.KeyFile->Nodes[node], SBFrame->value(), dir);
    if (entry >= 0 && entry < LBKEY->count()) PickEntry(entry);
}

void TVorlinForm::NudgeKeys(int dir) {
    if (!Session.KeyFile || !BNEdit->isChecked() || drag_) return;
    const TKeyMove move(*Session.KeyFile, Session.SelectedKeys());
    if (move.Clamp(dir) == 0) {
        statusBar()->showMessage(
            "The keys cannot move: a first entry stays at its frame, and a key does not pass "
            "another key of its node or leave the animation",
            5000);
        return;
    }
    Record("Move Keys", move.Nodes(), [&] { move.Apply(*Session.KeyFile, dir); });
    AfterKeysMoved();
}

// ---------------------------------------------------------------------------------------------
// The entry list's texts

QString TVorlinForm::EntryText(int entry) const {
    const int node = Session.KeyNodeIndex();
    if (node < 0 || entry >= Session.EntryCount()) return QString("Entry %1").arg(entry);
    return QString("Entry %1 (%2)")
        .arg(entry)
        .arg(Session.KeyFile->Nodes[node].Entries[entry].Frame);
}

void TVorlinForm::UpdateEntryTexts() {
    const int rows = std::min(LBKEY->count(), Session.EntryCount());
    for (int i = 0; i < rows; ++i) {
        const QString text = EntryText(i);
        if (LBKEY->item(i)->text() != text) LBKEY->item(i)->setText(text);
    }
}

} // namespace vorlin
