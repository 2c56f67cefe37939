#include "ui/controls/TDBGridColumns.h"

#include "ui/controls/TColumn.h"

#include <algorithm>

TDBGridColumns::TDBGridColumns() = default;
TDBGridColumns::~TDBGridColumns() = default;

TColumn *TDBGridColumns::Add() {
    items_.push_back(std::make_unique<TColumn>(this));
    Changed();
    return items_.back().get();
}

void TDBGridColumns::Delete(int index) {
    items_.erase(items_.begin() + index);
    Changed();
}

void TDBGridColumns::Clear() {
    items_.clear();
    Changed();
}

void TDBGridColumns::Move(int from, int to) {
    if (from == to || from < 0 || to < 0 || from >= Count() || to >= Count())
        return;
    auto column = std::move(items_[std::size_t(from)]);
    items_.erase(items_.begin() + from);
    items_.insert(items_.begin() + to, std::move(column));
    Changed();
}

int TDBGridColumns::IndexOf(const TColumn *column) const {
    for (int i = 0; i < Count(); ++i) {
        if (items_[std::size_t(i)].get() == column)
            return i;
    }
    return -1;
}

void TDBGridColumns::Changed() {
    if (OnChange)
        OnChange();
}

void TDBGridColumns::ResetFields() {
    for (auto &column : items_)
        column->ResetField();
}
