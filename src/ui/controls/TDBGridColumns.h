#pragma once

#include <QFont>
#include <functional>
#include <memory>
#include <vector>

class TColumn;
class TField;
class TRecordCursor;

// The ordered columns of a data grid. Every change (a column added, removed,
// moved, or one of its settings changed) is reported through OnChange so
// the grid lays itself out again.
class TDBGridColumns {
public:
    TDBGridColumns();
    ~TDBGridColumns();
    TDBGridColumns(const TDBGridColumns &) = delete;
    TDBGridColumns &operator=(const TDBGridColumns &) = delete;

    int Count() const { return int(items_.size()); }
    TColumn *Items(int index) const { return items_.at(std::size_t(index)).get(); }
    TColumn *operator[](int index) const { return Items(index); }
    TColumn *Add();
    void Delete(int index);
    void Clear();
    // Moves a column to another position; the others keep their order.
    void Move(int from, int to);
    int IndexOf(const TColumn *column) const;

    // What the columns need from their grid.
    std::function<TRecordCursor *()> Cursor;
    std::function<QFont()> CellFont;
    std::function<QFont()> TitleFont;
    std::function<bool()> ShowsTitles;
    std::function<void()> OnChange;

    void Changed();
    // Forgets every column's field (the cursor opened, closed or changed).
    void ResetFields();

private:
    std::vector<std::unique_ptr<TColumn>> items_;
};
