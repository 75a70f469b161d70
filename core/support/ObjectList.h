// An ordered list of shared objects whose indexed access checks the index and raises a list
// error worded by the list ("KEY Entry Index is out of bounds: 5").
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "support/errors.h"

namespace vorlin {

template <typename T> class TObjectList {
public:
    using Item = std::shared_ptr<T>;

    // prefix is the message before the index, e.g. "KEY Entry Index is out of bounds: ".
    explicit TObjectList(const char* prefix) : prefix_(prefix) {}

    int Count() const { return static_cast<int>(items_.size()); }
    bool Empty() const { return items_.empty(); }

    T& operator[](int i) const { return *items_[Check(i)]; }
    const Item& Get(int i) const { return items_[Check(i)]; }
    void Put(int i, Item item) { items_[Check(i)] = std::move(item); }

    T& Add(Item item) {
        items_.push_back(std::move(item));
        return *items_.back();
    }
    T& Add() { return Add(std::make_shared<T>()); }
    void Insert(int i, Item item) {
        if (i != Count()) Check(i);
        items_.insert(items_.begin() + i, std::move(item));
    }
    // Removes the item from the list; it lives on while anyone else holds it.
    Item Delete(int i) {
        Item item = items_[Check(i)];
        items_.erase(items_.begin() + i);
        return item;
    }
    void Clear() { items_.clear(); }
    // The list's items as they stand, and the whole list set at once (undoing a change).
    const std::vector<Item>& Items() const { return items_; }
    void SetItems(std::vector<Item> items) { items_ = std::move(items); }
    // The items handed over, the list left empty (to put them in another order and back).
    std::vector<Item> TakeItems() { return std::exchange(items_, {}); }
    T& Last() const { return (*this)[Count() - 1]; }

    auto begin() const { return items_.begin(); }
    auto end() const { return items_.end(); }

private:
    size_t Check(int i) const {
        if (i < 0 || i >= Count()) throw ListError(prefix_ + std::to_string(i));
        return static_cast<size_t>(i);
    }
    const char* prefix_;
    std::vector<Item> items_;
};

} // namespace vorlin
