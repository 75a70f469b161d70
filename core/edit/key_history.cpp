#include "edit/key_history.h"

namespace vorlin {

void TKeyHistory::Push(std::string name, std::unique_ptr<TKeyChange> change) {
    if (clean_ > long(index_)) clean_ = -1; // the saved state was undone and is given up
    steps_.resize(index_);
    steps_.push_back({std::move(name), std::move(change)});
    index_ = steps_.size();
}

std::string TKeyHistory::UndoName() const {
    return CanUndo() ? steps_[index_ - 1].Name : std::string();
}

std::string TKeyHistory::RedoName() const {
    return CanRedo() ? steps_[index_].Name : std::string();
}

const TKeyChange* TKeyHistory::Undo(TKEYFile& doc) {
    if (!CanUndo()) return nullptr;
    const TKeyChange* change = steps_[--index_].Change.get();
    change->Undo(doc);
    return change;
}

const TKeyChange* TKeyHistory::Redo(TKEYFile& doc) {
    if (!CanRedo()) return nullptr;
    const TKeyChange* change = steps_[index_++].Change.get();
    change->Redo(doc);
    return change;
}

void TKeyHistory::Clear() {
    steps_.clear();
    index_ = 0;
    clean_ = 0;
}

} // namespace vorlin
