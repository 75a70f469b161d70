// The panels under the 3D view (the timeline and the curves, as tabs): placing them, showing
// and hiding them, routing the window's keys to their commands, and what the window does for
// them (undo steps, picking, bringing the other controls up to date).
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

#include "app/vorlinform.h"
#include "panels/curves/curves_panel.h"
#include "panels/timeline/timeline_panel.h"

namespace vorlin {

namespace {

// The least height of the 3D view under a tall timeline.
constexpr int kMinViewHeight = 120;

} // namespace

QWidget* TVorlinForm::BuildViewPanels(QWidget* view) {
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
    Timeline = new TTimelinePanel(*this, ViewTabs);
    ViewTabs->addTab(Timeline, "Timeline");
    Curves = new TCurvesPanel(*this, ViewTabs);
    ViewTabs->addTab(Curves, "Curves");
    Curves->SetChannels(unsigned(Settings.CURVES_CHANNELS) & 0x3Fu);
    Curves->onChannels = [](unsigned mask) { Settings.CURVES_CHANNELS = int32_t(mask); };
    ViewSplit->addWidget(ViewTabs);
    // The window's height goes to the view; the panels keep their own.
    ViewSplit->setStretchFactor(0, 1);
    ViewSplit->setStretchFactor(1, 0);

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
    WindowKey("NextKey1", "Next Key", QKeySequence("Ctrl+Right"),
              [this] { Timeline->StepKey(+1); });
    WindowKey("PreviousKey1", "Previous Key", QKeySequence("Ctrl+Left"),
              [this] { Timeline->StepKey(-1); });
    WindowKey("NudgeKeysLater1", "Move Keys a Frame Later", QKeySequence("Alt+Right"),
              [this] { Timeline->NudgeKeys(+1); });
    WindowKey("NudgeKeysEarlier1", "Move Keys a Frame Earlier", QKeySequence("Alt+Left"),
              [this] { Timeline->NudgeKeys(-1); });
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

void TVorlinForm::RestoreTimeline() {
    const bool curves = Settings.CURVES_VISIBLE;
    const bool shown = curves || Settings.TIMELINE_VISIBLE;
    ViewTabs->setCurrentWidget(curves ? static_cast<QWidget*>(Curves) : Timeline);
    ViewTabs->setVisible(shown);
    SyncPanelActions();
    if (shown) PlaceTimeline();
}

void TVorlinForm::PlaceTimeline() {
    // A stored height taller than the room gives way to the view's least height (the splitter
    // keeps it).
    const int height = std::max(Settings.TIMELINE_HEIGHT, Timeline->minimumHeight());
    ViewSplit->setSizes(
        {std::max(ViewSplit->height() - height - ViewSplit->handleWidth(), 1), height});
}

// ---------------------------------------------------------------------------------------------
// What the panels ask of the window

TKeySession& TVorlinForm::EditSession() {
    return Session;
}

void TVorlinForm::GoToFrame(int frame) {
    StepFrame(frame);
}

void TVorlinForm::ScrubFrame(int frame) {
    // As the slider does: playback waits while the button is held.
    scrolling_ = true;
    Pause();
    StepFrame(frame);
}

void TVorlinForm::ScrubEnd() {
    scrolling_ = false;
    Resume();
}

bool TVorlinForm::CanEdit() const {
    return Session.KeyFile && BNEdit->isChecked() && !drag_;
}

void TVorlinForm::RecordStep(const QString& name, const std::vector<int>& nodes,
                             const std::function<void()>& body) {
    Command([&] { Record(name, nodes, body); });
}

bool TVorlinForm::BeginDragStep(const std::vector<int>& nodes, const QString& name) {
    if (!CanEdit()) return false;
    BeginDrag(nodes, name);
    return true;
}

void TVorlinForm::EndDragStep() {
    EndDrag();
}

bool TVorlinForm::Dragging() const {
    return drag_ != nullptr;
}

void TVorlinForm::PickNode(int row) {
    if (row >= 0 && row < TV3DO->topLevelItemCount())
        TV3DO->setCurrentItem(TV3DO->topLevelItem(row));
}

void TVorlinForm::KeysChanged(int frame) {
    Timeline->KeysChanged();
    Command([this, frame] {
        // Entries came or went: the list again (the frame stays); else its frames' texts.
        if (!FillEntryList(true)) UpdateEntryTexts();
        SetPanel(1, SelectedEntry >= 0 ? QString("Entry: %1").arg(SelectedEntry) : QString());
        if (frame < 0)
            ShowFrame(SBFrame->value());
        else
            StepFrame(frame);
    });
}

void TVorlinForm::ShowStatus(const QString& text, int milliseconds) {
    if (text.isEmpty())
        statusBar()->clearMessage();
    else
        statusBar()->showMessage(text, milliseconds);
}

QString TVorlinForm::NodeName(int row) const {
    QTreeWidgetItem* item = TV3DO->topLevelItem(row);
    return item ? item->text(0) : QString();
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
