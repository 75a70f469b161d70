#include "app/undo_commands.h"

#include "app/vorlinform.h"

namespace vorlin {

TUndoKeyChange::TUndoKeyChange(TVorlinForm* form, const QString& text,
                               std::unique_ptr<TKeyChange> change)
    : QUndoCommand(text), form_(form), change_(std::move(change)) {}

void TUndoKeyChange::undo() {
    if (!form_->Session.KeyFile) return;
    change_->Undo(*form_->Session.KeyFile);
    form_->AfterUndo(*change_, change_->NodeBefore, change_->EntryBefore);
}

void TUndoKeyChange::redo() {
    if (done_) {
        done_ = false;
        return;
    }
    if (!form_->Session.KeyFile) return;
    change_->Redo(*form_->Session.KeyFile);
    form_->AfterUndo(*change_, change_->NodeAfter, change_->EntryAfter);
}

} // namespace vorlin
