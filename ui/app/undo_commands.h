// One change of the KEY document on the main window's undo stack.
#pragma once

#include <QUndoCommand>
#include <memory>

#include "edit/key_change.h"

namespace vorlin {

class TVorlinForm;

class TUndoKeyChange : public QUndoCommand {
public:
    // The change has been made already: the first redo (when the stack takes it) does nothing.
    TUndoKeyChange(TVorlinForm* form, const QString& text, std::unique_ptr<TKeyChange> change);
    void undo() override;
    void redo() override;
    const TKeyChange& Change() const { return *change_; }

private:
    TVorlinForm* form_;
    std::unique_ptr<TKeyChange> change_;
    bool done_ = true;
};

} // namespace vorlin
