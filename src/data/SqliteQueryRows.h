#pragma once

#include "data/DataTypes.h"

#include <QVector>
#include <memory>
#include <vector>

class SqliteHandle;
class SqliteStatement;

// The rows of one query result, stepped from the running statement only as
// far as someone asks and then kept, with a mark for rows deleted through
// the row source. Shared by a query row source and its clones, so that a row
// index means the same row to all of them. When the statement has given its
// last row it is reset, which ends its read transaction.
class SqliteQueryRows {
public:
    // The statement has already stepped onto its first row when `onFirstRow`.
    SqliteQueryRows(std::shared_ptr<SqliteHandle> handle,
                    std::unique_ptr<SqliteStatement> statement, QVector<int> typeCodes,
                    bool onFirstRow);
    ~SqliteQueryRows();
    SqliteQueryRows(const SqliteQueryRows &) = delete;
    SqliteQueryRows &operator=(const SqliteQueryRows &) = delete;

    // Rows held so far (read rows and rows added).
    int Count() const { return int(rows_.size()); }
    bool Finished() const { return finished_; }
    // Reads rows until `index` is held; false when the result ends before.
    bool Reach(int index);
    void ReadAll();
    // How many rows have been stepped from the statement.
    qint64 RowsRead() const { return rowsRead_; }

    const QVector<TValue> &Values(int row) const { return rows_[std::size_t(row)].values; }
    void SetValue(int row, int column, const TValue &value);
    bool Deleted(int row) const { return rows_[std::size_t(row)].deleted; }
    void MarkDeleted(int row) { rows_[std::size_t(row)].deleted = true; }
    // Adds a row after all others; its index.
    int Append(const QVector<TValue> &values);

private:
    struct Row {
        QVector<TValue> values;
        bool deleted = false;
    };
    bool ReadOne();
    void TakeCurrentRow();
    void Finish();

    std::shared_ptr<SqliteHandle> handle_;
    std::unique_ptr<SqliteStatement> statement_;
    QVector<int> typeCodes_;
    std::vector<Row> rows_;
    bool finished_ = false;
    qint64 rowsRead_ = 0;
};
