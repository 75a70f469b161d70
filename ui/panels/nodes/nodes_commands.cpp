// The entry commands of the Edit menu, the toolbar and the list's right-click menu, and Auto
// Copy; the rules are the document's commands (edit/key_commands.h).
#include <QAction>
#include <QListWidget>
#include <QMenu>

#include "common/action_table.h"
#include "common/qt_strings.h"
#include "dialogs/entry_form.h"
#include "edit/key_commands.h"
#include "panels/nodes/nodes_panel.h"
#include "panels/panel_common.h"
#include "panels/panel_host.h"

namespace vorlin {

void TNodesPanel::BuildActions(TActionTable& actions) {
    auto status = [this](const TCommandResult& r) {
        if (!r.Status.empty()) host_.ShowStatus(ToQ(r.Status));
    };
    auto key = [this] { return doc_.KeyFile != nullptr; };
    // A model node that no KEY node drives has no entries to act on: Add makes its node.
    auto keyNode = [this] { return doc_.KeyNodeIndex() >= 0; };
    struct Command {
        const char* id;
        const char* caption;
        int icon; // -1: none
        const char* tip;
        std::function<bool()> enabled;
        std::function<void()> run;
    };
    const Command commands[] = {
        {"CutEntry1", "&Cut Entry", -1, "", keyNode, [=, this] { status(CutEntryCommand(doc_)); }},
        {"CopyEntry1", "C&opy Entry", 3, "Copy Entry: remembers the selected entry for Paste",
         keyNode, [this] { CopyEntryCommand(doc_); }},
        {"PasteEntry1", "&Paste Entry", 4,
         "Paste Entry: the copied entry's position and orientation into the selected one",
         keyNode, [=, this] { status(PasteEntryCommand(doc_)); }},
        {"AddEntry1", "&Add Entry", 0,
         "Add Entry: a copy of the node's last entry, Entry Frame Gap frames later", key,
         [=, this] { status(AddEntryCommand(doc_)); }},
        {"InsertEntry1", "&Insert Entry", 1,
         "Insert Entry: a copy of the selected entry in the slot after it", keyNode,
         [=, this] { status(InsertEntryCommand(doc_)); }},
        {"DeleteEntry1", "&Delete Entry", 2,
         "Delete Entry: removes the selected entry (a node keeps one)", keyNode,
         [=, this] { status(DeleteEntryCommand(doc_)); }},
        {"CurrentEntry1", "C&urrent Entry", -1, "", keyNode, [this] { EditCurrentEntry(); }},
    };
    for (const Command& c : commands) {
        TActionDef def;
        def.Id = c.id;
        def.Caption = c.caption;
        def.Enabled = c.enabled;
        def.Run = c.run;
        def.Tip = c.tip;
        if (c.icon >= 0) def.Icon = ToolbarIcon(c.icon);
        actions.Add(def);
    }
    TActionDef autoCopy;
    autoCopy.Id = "BNAutoCopy";
    autoCopy.Caption = "Auto Copy";
    autoCopy.Checkable = true;
    autoCopy.Checked = [this] { return doc_.AutoCopying; };
    autoCopy.Enabled = key;
    autoCopy.Icon = ToolbarIcon(5);
    autoCopy.Tip = "Auto Copy: clicking an entry carries the previous one's values into it "
                   "(which values: Options)";
    autoCopy.Plain = true;
    QAction* toggle = actions.Add(autoCopy);
    connect(toggle, &QAction::toggled, this, [this](bool on) { doc_.AutoCopying = on; });

    // The list's right-click menu runs the same commands under its own captions.
    const std::pair<const char*, const char*> items[] = {
        {"Cut1", "Cu&t"},   {"Copy1", "&Copy"},     {"Paste1", "&Paste"},
        {"Add1", "&Add"}, {"Insert1", "&Insert"}, {"Delete1", "&Delete"}};
    const char* runs[] = {"CutEntry1",   "CopyEntry1",   "PasteEntry1",
                          "AddEntry1",   "InsertEntry1", "DeleteEntry1"};
    for (size_t i = 0; i < std::size(items); ++i) {
        TActionDef def;
        def.Id = items[i].first;
        def.Caption = items[i].second;
        def.Context = TActionContext::Entries;
        const char* run = runs[i];
        def.Run = [&actions, run] { actions.Trigger(run); };
        def.Plain = true;
        popup_->addAction(actions.Add(def));
    }
}

void TNodesPanel::PopupMenu() {
    // Add works on any node; the others need a node with more than one entry to choose among.
    const bool several = list_->count() > 1 && doc_.KeyNodeIndex() >= 0;
    for (QAction* a : popup_->actions())
        a->setEnabled(a->objectName() == "Add1" || several);
}

void TNodesPanel::EditCurrentEntry() {
    if (!doc_.KeyFile || doc_.Editing()) return;
    TKEYNode& node = doc_.SelectedKeyNode();
    const int entry = doc_.SelectedEntry();
    // The dialog edits a copy; OK makes it the entry, one step.
    auto values = std::make_shared<TKEYEntry>(node.Entries[entry]);
    if (!EntryForm) EntryForm = new TEntryForm(host_.Window());
    EntryForm->setWindowTitle(
        QString("Entry %1 for %2").arg(entry).arg(ToQ(node.MeshName).toLower()));
    const TKEYEntry implied = doc_.KeyFile->RecalculatedEntry(doc_.KeyNodeIndex(), entry);
    EntryForm->ShowEntry(values, &implied);
    doc_.Hold();
    const bool ok = EntryForm->exec() == QDialog::Accepted;
    doc_.Release();
    if (ok) EditEntryCommand(doc_, *values); // typed rates stay as typed
}

} // namespace vorlin
