// Selecting nodes and entries, and the Edit menu's commands (also on the toolbar and the entry
// list's context menu): cut, copy, paste, add, insert and delete entries, the entry, markers
// and KEY summary dialogs. The rules live in the session; these refresh the window.
#include <QAction>
#include <QKeyEvent>
#include <QListWidget>
#include <QMenu>
#include <QScrollBar>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QUndoStack>

#include "app/undo_commands.h"
#include "app/vorlinform.h"
#include "dialogs/check_form.h"
#include "dialogs/entry_form.h"
#include "dialogs/markers_form.h"
#include "dialogs/summary_form.h"
#include "edit/retime.h"
#include "key/key_check.h"
#include "panels/timeline/timeline_panel.h"
#include "support/misc_utils.h"
#include "common/qt_strings.h"

namespace vorlin {

void TVorlinForm::BuildEditCommands() {
    auto on = [this](const char* name, void (TVorlinForm::*handler)()) {
        QAction* a = findChild<QAction*>(name);
        connect(a, &QAction::triggered, this,
                [this, handler] { Command([&] { (this->*handler)(); }); });
        return a;
    };
    QAction* cut = on("CutEntry1", &TVorlinForm::CutEntry1Click);
    QAction* copy = on("CopyEntry1", &TVorlinForm::CopyEntry1Click);
    QAction* paste = on("PasteEntry1", &TVorlinForm::PasteEntry1Click);
    QAction* add = on("AddEntry1", &TVorlinForm::AddEntry1Click);
    QAction* insert = on("InsertEntry1", &TVorlinForm::InsertEntry1Click);
    QAction* del = on("DeleteEntry1", &TVorlinForm::DeleteEntry1Click);
    on("CurrentEntry1", &TVorlinForm::EditCurrentEntry);
    on("Markers1", &TVorlinForm::Markers1Click);
    on("KEYSummary1", &TVorlinForm::KEYSummary1Click);
    on("CheckKEY1", &TVorlinForm::CheckKEY1Click);
    // The toolbar buttons and the context menu run the menu items.
    const std::pair<QToolButton*, QAction*> buttons[] = {{BNAddEntry, add},
                                                         {BNInsertEntry, insert},
                                                         {BNDeleteEntry, del},
                                                         {BNCopyEntry, copy},
                                                         {BNPasteEntry, paste}};
    for (auto [button, action] : buttons)
        connect(button, &QToolButton::clicked, action, &QAction::trigger);
    const std::pair<const char*, QAction*> items[] = {{"Cut1", cut},       {"Copy1", copy},
                                                      {"Paste1", paste},   {"Add1", add},
                                                      {"Insert1", insert}, {"Delete1", del}};
    for (auto [name, action] : items)
        connect(findChild<QAction*>(name), &QAction::triggered, action, &QAction::trigger);
    connect(PMEntry, &QMenu::aboutToShow, this, &TVorlinForm::PMEntryPopup);

    connect(TV3DO, &QTreeWidget::currentItemChanged, this,
            [this] { Command([this] { TV3DOChange(); }); });
    TV3DO->installEventFilter(this);
    // Only a click on a row or a move with the keys picks an entry (EntryListEvent). Whatever
    // else moves the list's current row (focus arriving, a refill) is put back on the entry
    // that is selected, so that what is highlighted is always what the commands act on.
    connect(LBKEY, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row != SelectedEntry) ShowSelectedEntry();
    });
    LBKEY->installEventFilter(this);
    LBKEY->viewport()->installEventFilter(this);
}

namespace {

// The keys that move through the list's rows.
bool IsListMoveKey(int key) {
    return key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_PageUp ||
           key == Qt::Key_PageDown || key == Qt::Key_Home || key == Qt::Key_End;
}

} // namespace

bool TVorlinForm::EntryListEvent(QObject* watched, QEvent* event) {
    if (watched == LBKEY->viewport()) {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseMove:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
            break;
        default:
            return false; // paint, polish, ...: not a mouse event, and not ours
        }
        auto* e = static_cast<QMouseEvent*>(event);
        auto rowAt = [&] {
            QListWidgetItem* item = LBKEY->itemAt(e->position().toPoint());
            return item ? LBKEY->row(item) : -1;
        };
        switch (event->type()) {
        case QEvent::MouseButtonPress: {
            LBKEY->setFocus(Qt::MouseFocusReason);
            const int row = rowAt();
            if (e->button() == Qt::RightButton) {
                // The context menu that follows acts on the row under the pointer, as in a
                // file manager; a right-click on the selected row leaves it alone.
                if (row >= 0 && row != SelectedEntry) PickEntry(row);
            } else if (e->button() == Qt::LeftButton) {
                listMouseDown_ = true;
                HighlightRow(row);
            }
            return true;
        }
        case QEvent::MouseMove:
            // The highlight follows a held button; the selection waits for the release.
            if (listMouseDown_ && rowAt() >= 0) HighlightRow(rowAt());
            return true;
        case QEvent::MouseButtonRelease:
            if (e->button() == Qt::LeftButton && listMouseDown_) {
                listMouseDown_ = false;
                // The row under the release, or the last row the pointer was over.
                const int row = rowAt() >= 0 ? rowAt() : listPressRow_;
                if (row >= 0)
                    PickEntry(row);
                else
                    ShowSelectedEntry();
            }
            return true;
        case QEvent::MouseButtonDblClick:
            if (e->button() == Qt::LeftButton && (rowAt() >= 0 || LBKEY->count() == 0))
                Command([this] { LBKEYDblClick(); });
            return true;
        default:
            return false;
        }
    }
    if (watched != LBKEY) return false;
    if (event->type() == QEvent::ShortcutOverride) {
        // Home and End move in the list when it has the focus, not through the frames.
        auto* k = static_cast<QKeyEvent*>(event);
        if (k->modifiers() == Qt::NoModifier && IsListMoveKey(k->key())) {
            event->accept();
            return true;
        }
        return false;
    }
    if (event->type() != QEvent::KeyPress) return false;
    auto* k = static_cast<QKeyEvent*>(event);
    if (k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter) {
        Command([this] { LBKEYDblClick(); });
        return true;
    }
    if (!IsListMoveKey(k->key())) return false;
    // The list works out where the key leads; that row is then picked as a click picks it.
    {
        const QSignalBlocker block(LBKEY);
        static_cast<QObject*>(LBKEY)->event(event);
    }
    const int row = LBKEY->currentRow();
    if (row >= 0 && row != SelectedEntry)
        PickEntry(row);
    else
        ShowSelectedEntry();
    return true;
}

void TVorlinForm::HighlightRow(int row) {
    listPressRow_ = row;
    if (row < 0) return;
    const QSignalBlocker block(LBKEY);
    LBKEY->setCurrentRow(row);
}

void TVorlinForm::PickEntry(int row) {
    {
        const QSignalBlocker block(LBKEY);
        LBKEY->setCurrentRow(row);
    }
    Command([this] { LBKEYClick(); }); // which puts the highlight on the selection
}

void TVorlinForm::ShowSelectedEntry() {
    const QSignalBlocker block(LBKEY);
    const int row = SelectedEntry >= 0 && SelectedEntry < LBKEY->count() ? SelectedEntry : -1;
    if (LBKEY->currentRow() != row) LBKEY->setCurrentRow(row);
    if (row >= 0 && !LBKEY->item(row)->isSelected()) LBKEY->item(row)->setSelected(true);
}

// ---------------------------------------------------------------------------------------------
// Selection

void TVorlinForm::TV3DOChange() {
    QTreeWidgetItem* item = TV3DO->currentItem();
    if (!item) return;
    if (drag_) { // a drag in the view edits the selected node until the button is let go
        ShowNodeRow(SelectedNode);
        // Once the tree is done with whatever moved it, the row is put back again.
        QTimer::singleShot(0, this, [this] { ShowNodeRow(SelectedNode); });
        return;
    }
    SetEditMode();
    Session.SelectNode(TV3DO->indexOfTopLevelItem(item));
    SetPanel(0, item->text(0));
    // The frame on show stays: the node's entry that poses it there is the one picked (the
    // same entry number on another node is usually at another frame).
    const int node = Session.KeyNodeIndex();
    if (Session.KeyFile && node >= 0 && !Session.KeyFile->Nodes[node].Entries.Empty()) {
        Session.SelectEntry(Session.KeyFile->EntryForFrame(node, SBFrame->value()));
        SetPanel(1, QString("Entry: %1").arg(SelectedEntry));
    }
    FillEntryList(true);
    ShowNodePose();
    Redraw();
}

void TVorlinForm::LBKEYClick() {
    if (!Session.KeyFile || LBKEY->currentRow() < 0) return;
    if (drag_) return; // the drag edits the selected entry until the button is let go
    SetEditMode();
    const int source = SelectedEntry;
    Session.SelectEntry(LBKEY->currentRow());
    SetPanel(1, QString("Entry: %1").arg(SelectedEntry));
    if (BNAutoCopy->isChecked())
        Record("Auto Copy", {Session.KeyNodeIndex()}, [&] { Session.AutoCopy(source); });
    ShowFrame(Session.SelectedKeyEntry().Frame);
}

void TVorlinForm::LBKEYDblClick() {
    if (!Session.KeyFile || drag_) return;
    Session.SelectEntry(LBKEY->currentRow());
    EditCurrentEntry();
}

void TVorlinForm::PMEntryPopup() {
    const bool several = LBKEY->count() > 1 && Session.KeyNodeIndex() >= 0;
    for (const char* name : {"Cut1", "Copy1", "Paste1", "Insert1", "Delete1"})
        findChild<QAction*>(name)->setEnabled(several);
    findChild<QAction*>("Add1")->setEnabled(true);
}

// ---------------------------------------------------------------------------------------------
// Entry commands

void TVorlinForm::CopyEntry1Click() {
    SetEditMode();
    Session.CopyEntry();
}

void TVorlinForm::CutEntry1Click() {
    SetEditMode();
    Record("Cut Entry", {Session.KeyNodeIndex()}, [this] {
        Session.CopyEntry();
        DeleteEntry1Click();
    });
}

void TVorlinForm::PasteEntry1Click() {
    if (!Session.CopiedEntry) return;
    SetEditMode();
    Record("Paste Entry", {Session.KeyNodeIndex()}, [this] { Session.PasteEntry(); });
    ShowFrame(SBFrame->value()); // the frame on show, not the entry's
}

void TVorlinForm::AddEntry1Click() {
    SetEditMode();
    const int rows = LBKEY->count();
    const bool newNode = Session.KeyNodeIndex() < 0;
    Record(newNode ? "Add Node" : "Add Entry", {Session.KeyNodeIndex()},
           [this] { Session.AddEntry(SBFrame->value()); });
    if (newNode) { // the model node's first entry, at the frame on show
        FillEntryList();
        return;
    }
    const QSignalBlocker block(LBKEY);
    LBKEY->addItem(EntryText(rows));
}

void TVorlinForm::InsertEntry1Click() {
    SetEditMode();
    Record("Insert Entry", {Session.KeyNodeIndex()}, [this] { Session.InsertEntry(); });
    FillEntryList();
}

void TVorlinForm::DeleteEntry1Click() {
    if (LBKEY->count() <= 1) { // a node keeps at least one entry: say so rather than do nothing
        statusBar()->showMessage("A node keeps at least one entry: its last one is not deleted",
                                 5000);
        return;
    }
    SetEditMode();
    // The rates are derived again before the list shows the entry's frame.
    Record("Delete Entry", {Session.KeyNodeIndex()}, [this] { Session.DeleteEntry(); });
    SetPanel(1, QString("Entry %1").arg(SelectedEntry));
    FillEntryList();
}

void TVorlinForm::EditCurrentEntry() {
    if (drag_) return;
    KeyTimer->stop();
    TKEYNode& node = Session.SelectedKeyNode();
    std::shared_ptr<TKEYEntry> entry = node.Entries.Get(SelectedEntry);
    TEntryForm& dialog = EntryDialog();
    dialog.setWindowTitle(
        QString("Entry %1 for %2").arg(SelectedEntry).arg(ToQ(node.MeshName).toLower()));
    const TKEYEntry implied =
        Session.KeyFile->RecalculatedEntry(Session.KeyNodeIndex(), SelectedEntry);
    dialog.ShowEntry(entry, &implied);
    bool ok = false;
    Record("Edit Entry", {Session.KeyNodeIndex()},
           [&] { ok = dialog.exec() == QDialog::Accepted; });
    Resume();
    // The typed values show at once (typed rates stay as typed).
    if (ok) ShowFrame(SBFrame->value());
    Redraw();
}

void TVorlinForm::Markers1Click() {
    EditMarkers(0);
}

void TVorlinForm::EditMarkers(int marker) {
    if (drag_) return;
    KeyTimer->stop();
    if (!Session.KeyFile) return;
    TMarkersForm& dialog = MarkersDialog();
    dialog.ShowMarkers(Session.KeyFile->Markers, Session.KeyFile->Frames, SBFrame->value());
    dialog.SelectMarker(marker);
    if (dialog.exec() == QDialog::Accepted)
        Record("Edit Markers", {}, [&] {
            TKEYMarkers& markers = Session.KeyFile->Markers;
            markers.Clear();
            for (const auto& m : dialog.EditedMarkers())
                markers.Add(std::make_shared<TKEYMarker>(*m));
        });
    Resume();
    Redraw();
}

void TVorlinForm::KEYSummary1Click() {
    if (drag_) return;
    KeyTimer->stop();
    if (!Session.KeyFile) return;
    TSummaryForm& dialog = SummaryDialog();
    dialog.ShowSummary(*Session.KeyFile);
    if (dialog.exec() != QDialog::Accepted) {
        Resume(); // the document is as it was: the dialog worked on a copy
        return;
    }
    std::unique_ptr<TKEYFile> edited = dialog.SummaryDocument();
    if (SameDocument(*edited, *Session.KeyFile)) { // OK with nothing changed changes nothing
        Resume();
        return;
    }
    SetEditMode();
    // Taken into the document on show, as one step that can be undone.
    bool taken = false;
    Record("KEY Summary", TKeyChange::AllNodes(*Session.KeyFile), [&] {
        taken = TakeRetimed(*Session.KeyFile, *edited);
        if (taken) Session.KeyFile->RecalcAll();
    });
    if (!taken) { // cannot happen: the dialog keeps the nodes; replace the document then
        edited->RecalcAll();
        SetDocument(std::move(edited), TOrigin::New);
        return;
    }
    ClearEntryList();
    InitKEYControls();
    FillEntryList();
}

// ---------------------------------------------------------------------------------------------
// Checking the KEY

void TVorlinForm::ReportModelMatch() {
    if (!Session.Model || !Session.KeyFile) return;
    const TKEYFile& doc = *Session.KeyFile;
    for (const std::string& line : FindingLines(CheckKeyAgainstModel(doc, *Session.Model), doc))
        LogMessage(mtWarning, doc.Name + " " + line);
}

void TVorlinForm::CheckKEY1Click() {
    if (drag_) return;
    KeyTimer->stop();
    if (!Session.KeyFile) return;
    if (!CheckForm) {
        CheckForm = new TCheckForm(this);
        CheckForm->onSelect = [this](int node, int entry) {
            Command([&] { SelectNodeAndEntry(node, entry); });
        };
        CheckForm->onMarker = [this](int marker) {
            Command([&] {
                EditMarkers(marker);
                ShowCheck();
            });
        };
        CheckForm->onRecalculate = [this] {
            Command([this] {
                RecalculateRates();
                ShowCheck();
            });
        };
    }
    ShowCheck();
    CheckForm->exec();
    Resume();
}

void TVorlinForm::ShowCheck() {
    // A document as its file holds it is checked as the game reads that file, line by line.
    std::optional<std::string> text;
    if (!DocumentModified()) try {
            text = ReadKeyText(Session.KeyFile->FullName);
        } catch (const std::exception&) {
        }
    CheckForm->ShowFindings(*Session.KeyFile, Session.Model.get(), text ? &*text : nullptr);
}

void TVorlinForm::RecalculateRates() {
    SetEditMode();
    Record("Recalculate Rates", TKeyChange::AllNodes(*Session.KeyFile),
           [this] { Session.KeyFile->RecalcAll(); });
    ShowFrame(SBFrame->value());
}

// ---------------------------------------------------------------------------------------------
// Undo and redo

std::unique_ptr<TKeyChange> TVorlinForm::BeginChange(const std::vector<int>& nodes) {
    auto change = std::make_unique<TKeyChange>();
    change->NodeBefore = SelectedNode;
    change->EntryBefore = SelectedEntry;
    change->Begin(*Session.KeyFile, nodes);
    return change;
}

void TVorlinForm::EndChange(std::unique_ptr<TKeyChange> change, const QString& text) {
    change->End(*Session.KeyFile);
    change->NodeAfter = SelectedNode;
    change->EntryAfter = SelectedEntry;
    if (!change->Empty()) UndoStack->push(new TUndoKeyChange(this, text, std::move(change)));
}

void TVorlinForm::Record(const QString& text, const std::vector<int>& nodes,
                         const std::function<void()>& body) {
    // Nothing else changes the document while a drag in the view is editing it (a shortcut
    // pressed meanwhile): the drag's step would take that change in.
    if (drag_) return;
    // A command inside another (Delete inside Cut) is part of the outer step.
    if (recording_ > 0 || !Session.KeyFile) {
        body();
        return;
    }
    const TKEYFile* doc = Session.KeyFile.get();
    const int32_t frames = doc->Frames;
    std::unique_ptr<TKeyChange> change = BeginChange(nodes);
    auto finish = [&] {
        --recording_;
        // Another document has nothing to take back.
        if (Session.KeyFile.get() != doc) return;
        EndChange(std::move(change), text);
        Timeline->KeysChanged();
        if (doc->Frames != frames) ShowFrameCount(); // an entry past the end made it longer
    };
    ++recording_;
    try {
        body();
    } catch (...) {
        finish(); // what was done before the error can be undone as well
        throw;
    }
    finish();
}

void TVorlinForm::AfterUndo(const TKeyChange& change, int node, int entry) {
    SetEditMode();
    ShowFrameCount();
    ShowNodeRow(node);
    Session.SelectNode(node);
    Session.SelectEntry(entry);
    // The keys the step changed are picked again: the next command acts on all of them.
    Session.MarkedKeys = change.ChangedKeys(*Session.KeyFile);
    Timeline->KeysChanged();
    ClearEntryList();
    Command([this] { FillEntryList(); });
    if (SelectedEntry >= 0) {
        const QSignalBlocker block(LBKEY);
        LBKEY->setCurrentRow(SelectedEntry);
    }
    Redraw();
}

void TVorlinForm::SelectNodeAndEntry(int node, int entry) {
    if (node < 0 || !Session.KeyFile) return;
    SetEditMode();
    // The finding names the document's node; the tree shows the model node it drives (a node
    // the model has no row for is named by the document).
    const int joint = Session.KeyFile->Joint(node);
    if (!ShowNodeRow(joint)) SetPanel(0, ToQ(Session.KeyFile->Nodes[node].MeshName));
    Session.SelectNode(joint);
    FillEntryList();
    if (entry >= 0 && entry < Session.EntryCount()) {
        Session.SelectEntry(entry);
        {
            const QSignalBlocker block(LBKEY);
            LBKEY->setCurrentRow(entry);
        }
        SetPanel(1, QString("Entry: %1").arg(entry));
        ShowFrame(Session.SelectedKeyEntry().Frame);
    }
    Redraw();
}

bool TVorlinForm::ShowNodeRow(int node) {
    if (node < 0 || node >= TV3DO->topLevelItemCount()) return false;
    const QSignalBlocker block(TV3DO);
    TV3DO->setCurrentItem(TV3DO->topLevelItem(node));
    SetPanel(0, TV3DO->topLevelItem(node)->text(0));
    return true;
}

TEntryForm& TVorlinForm::EntryDialog() {
    if (!EntryForm) EntryForm = new TEntryForm(this);
    return *EntryForm;
}

TMarkersForm& TVorlinForm::MarkersDialog() {
    if (!Markers) Markers = new TMarkersForm(this);
    return *Markers;
}

} // namespace vorlin
