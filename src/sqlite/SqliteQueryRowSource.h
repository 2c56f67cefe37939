#pragma once

#include "data/RowSource.h"

#include <QPair>
#include <QVector>
#include <memory>

struct sqlite3;
class SqliteHandle;
class SqliteQueryRows;

// A static row source over the result of a query text (translated by
// SqliteDialect). The query runs on a handle of its own; its rows are
// stepped only as they are needed and kept (SqliteQueryRows: the first few
// thousand in memory, the others in a temporary file), so a query over a
// million rows opens at once and its memory stays small even once read to
// the end. MoveLast reads to the end. Bookmark = row index.
//
// Record numbers: the row count and the rows' numbers are known once every
// row of the result has been read (after MoveLast, for instance); deleted
// rows are not counted.
//
// A command text of several statements runs them in turn up to the first
// that has result columns; when none has, ENoResultSet is raised.
//
// Updating (unless opened ltReadOnly): a column can be written when it comes
// from a stored table whose one-column primary key (or rowid alias) is also
// in the result, from the same table. Writes go through the connection's
// main handle, each as one committed transaction, by that key and checked
// against the expected values; the written row is read back by its key. A
// new row goes into the one table its values belong to and is added after
// all other rows (which are read first). A deleted row stays in the list
// marked deleted: moves pass over it and other rows keep their bookmarks.
class SqliteQueryRowSource : public TRowSource {
public:
    // `writer` is the connection's main handle; `reader` the query's own.
    SqliteQueryRowSource(std::shared_ptr<SqliteHandle> writer, std::shared_ptr<SqliteHandle> reader,
                         const TRowSourceRequest &request);
    ~SqliteQueryRowSource() override;

    // How many rows have been stepped from the query so far.
    qint64 RowsRead() const;

    int ColumnCount() const override { return int(columns_.size()); }
    const TColumnInfo &Column(int index) const override;
    bool SupportsBookmarks() const override { return true; }
    bool SupportsBackward() const override { return true; }
    bool SupportsUpdating() const override { return updatable_; }

    bool SourceBOF() const override { return bof_; }
    bool SourceEOF() const override { return eof_; }
    void MoveFirst() override;
    void MoveLast() override;
    void MoveNext() override;
    void MovePrevious() override;

    TBookmark Bookmark() const override;
    void GotoBookmark(TBookmark bookmark) override;
    bool RowDeleted() const override;
    TValue Value(int column) override;

    void AddNew() override;
    void SetValue(int column, const TValue &value) override;
    void SetExpected(int column, const TValue &value) override;
    void Update() override;
    void CancelUpdate() override;
    void DeleteRow() override;
    void RefreshRow() override;

    std::unique_ptr<TRowSourceClone> Clone() override;

    qint64 KnownRowCount() const override;
    qint64 RowNumberOf(TBookmark bookmark) const override;
    std::optional<TBookmark> BookmarkOfRowNumber(qint64 number) const override;

private:
    using ColumnValues = QVector<QPair<int, TValue>>;
    // A stored table whose rows the result can write.
    struct WritableTable {
        QString name;
        QString keySql;       // the key as the engine names it
        int keyColumn;        // the result column holding the key
        QString rowidName;    // empty for a table without rowid
        QVector<int> columns; // the result columns that come from it
    };

    // Finds the stored tables the result's columns come from and, when
    // `writable`, decides which of them (and so which columns) rows can be
    // written to.
    void FindWritableTables(const QVector<QString> &originTables, const QString &sql,
                            sqlite3 *reader, bool writable);
    void StandOn(int row);
    void StandEmpty();
    int NextLive(int from);
    int PreviousLive(int from) const;
    int TableOf(const ColumnValues &values) const;
    void InsertRow();
    void UpdateRow();
    void ReadBack(int row, const WritableTable &table, const QString &keySql, const TValue &key);
    QVector<QPair<QString, TValue>> Named(const ColumnValues &values, int table) const;
    void RequireUpdatable() const;
    void RequireRow() const;
    void CheckColumn(int column) const;
    static void Put(ColumnValues &values, int column, const TValue &value);

    std::shared_ptr<SqliteHandle> writer_;
    std::shared_ptr<SqliteQueryRows> rows_;
    QVector<TColumnInfo> columns_;
    QVector<QString> originColumns_;
    QVector<int> columnTable_; // index into tables_, -1 when not writable
    QVector<WritableTable> tables_;
    bool updatable_ = false;

    int row_ = -1;
    bool bof_ = true;
    bool eof_ = true;

    bool adding_ = false;
    ColumnValues pending_;
    ColumnValues expected_;
};
