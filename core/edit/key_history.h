// The document's history: the changes made to it, each a named step that can be undone and
// redone, and the place in it where the document was saved (its clean point).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "edit/key_change.h"

namespace vorlin {

class TKeyHistory {
public:
    struct Step {
        std::string Name; // as the Edit menu names it: "Move Keys"
        std::unique_ptr<TKeyChange> Change;
    };

    // A step made: the steps that were undone go (and the clean point with them, when it was
    // among them).
    void Push(std::string name, std::unique_ptr<TKeyChange> change);
    bool CanUndo() const { return index_ > 0; }
    bool CanRedo() const { return index_ < steps_.size(); }
    // The step an undo or a redo would take; empty when there is none.
    std::string UndoName() const;
    std::string RedoName() const;
    // The step taken back or made again (applied to doc); null when there is none.
    const TKeyChange* Undo(TKEYFile& doc);
    const TKeyChange* Redo(TKEYFile& doc);
    // The document as it is now is what its file holds.
    void SetClean() { clean_ = long(index_); }
    bool AtClean() const { return clean_ == long(index_); }
    // A new document: nothing to undo, clean.
    void Clear();
    size_t Count() const { return steps_.size(); }
    size_t Index() const { return index_; }
    const Step& At(size_t i) const { return steps_[i]; }

private:
    std::vector<Step> steps_;
    size_t index_ = 0; // the steps before it are done
    long clean_ = 0;   // -1: no place in the history holds what the file holds
};

} // namespace vorlin
