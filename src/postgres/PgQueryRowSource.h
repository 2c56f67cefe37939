#pragma once

#include "data/RowSource.h"
#include "postgres/PgNames.h"
#include "postgres/PgQueryRows.h"
#include "postgres/PgTableColumns.h"

#include <QPair>
#include <QStringList>
#include <QVector>
#include <memory>

class PgConnection;
class PgResult;

// A static row source over the result of a query text of the program's
// dialect (translated by PgDialect, its literals sent as parameters).
//
// The query is read on a reader session of its own, inside a transaction
// BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY, through a cursor (DECLARE
// ... NO SCROLL CURSOR) whose rows are fetched in growing batches only as
// they are needed and kept (PgQueryRows: the first few thousand in memory,
// the others in a temporary file). So a query over a million rows opens at
// once, its memory stays small even once read to the end, and every row
// comes from one snapshot of the database. When the last row has been read
// (and when the row source goes) the transaction ends and the reader
// session is let go (the engine keeps it for the next query,
// PgQuerySessions). The cursor is planned for all of its rows, as any
// query. MoveLast reads to the end. Bookmark = row index.
//
// Read once (request.readOnce, an export): only the last few thousand rows
// are kept and a row further back raises EProviderError.
//
// Record numbers: the row count and the rows' numbers are known once every
// row of the result has been read; deleted rows are not counted.
//
// A command text of several statements runs them in turn, each on its own
// (committed), up to the first that has result columns; when none has,
// ENoResultSet is raised. A statement that writes or locks rows (INSERT ...
// RETURNING, SELECT ... FOR UPDATE), or that no cursor can read (SHOW), is
// run as it is and its rows read whole.
//
// Columns: named as the server names them, typed from the stored column
// they come from (PgColumnType), or from the result's type for expressions.
//
// Updating (unless opened ltReadOnly): a column can be written when it comes
// from a stored table whose one-column primary key is also in the result,
// and the statement names that table once (a table read twice, as in a
// self-join, is never written through). Writes go through the writer
// session (PgRowWriter: by that key, checked against the expected values,
// one committed transaction unless the session is inside one); the written
// row's stored values come back with the write. A new row goes into the one
// table its values belong to and is added after all other rows (which are
// read first). A deleted row stays in the list marked deleted: moves pass
// over it and other rows keep their bookmarks.
//
// A lost reader session fails the read that met it with PgConnection's
// text, and every read further on likewise; the rows already read stay
// readable. The connection's other sessions are not touched.
class PgQueryRowSource : public TRowSource {
public:
    // `writer` is the connection's main session; `reader` the query's own,
    // used by no one else.
    PgQueryRowSource(std::shared_ptr<PgConnection> writer, std::shared_ptr<PgConnection> reader,
                     std::shared_ptr<const PgNames> names, const TRowSourceRequest &request);
    // The same with other limits for the rows kept (readOnce comes from the
    // request).
    PgQueryRowSource(std::shared_ptr<PgConnection> writer, std::shared_ptr<PgConnection> reader,
                     std::shared_ptr<const PgNames> names, const TRowSourceRequest &request,
                     PgQueryRows::Limits limits);
    ~PgQueryRowSource() override;

    // How many rows have been fetched from the server so far.
    qint64 RowsRead() const;
    // True while the query's read transaction is open.
    bool Reading() const;
    // The rows as kept (for the engine's tests).
    const PgQueryRows &Rows() const { return *rows_; }

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
        PgTableColumns::Table table; // stored name and columns
        QString keyName;             // the primary key column's stored name
        int keyColumn = -1;          // the result column holding the key
        QVector<int> columns;        // the result columns that come from it
    };

    void OpenCursor(std::shared_ptr<PgConnection> reader, const QString &sql,
                    const QVector<TValue> &params, bool writable, PgQueryRows::Limits limits);
    // Names and types the result's columns and, when `writable`, decides
    // which stored tables (and so which columns) rows can be written to.
    void Describe(const PgResult &result, PgConnection &reader, const QString &sql, bool writable);
    void FindWritableTables(PgConnection &reader, const QString &sql,
                            const QVector<unsigned> &origins);
    void StandOn(int row);
    void StandEmpty();
    int NextLive(int from);
    int PreviousLive(int from) const;
    int TableOf(const ColumnValues &values) const;
    void InsertRow();
    void UpdateRow();
    // Puts the values a write gave back (the table's columns in the result,
    // in order) into the row.
    void TakeStored(int row, const WritableTable &table, const QVector<TValue> &stored);
    QStringList StoredNames(const WritableTable &table) const;
    QVector<QPair<QString, TValue>> Named(const ColumnValues &values, int table) const;
    TValue KeyOf(int row, const WritableTable &table);
    void RequireUpdatable() const;
    void RequireRow() const;
    void CheckColumn(int column) const;
    static void Put(ColumnValues &values, int column, const TValue &value);

    std::shared_ptr<PgConnection> writer_;
    std::shared_ptr<PgQueryRows> rows_;
    PgTableColumns catalogue_;
    QVector<TColumnInfo> columns_;
    QVector<QString> originColumns_; // stored column names; empty for expressions
    QVector<int> columnTable_;       // index into tables_, -1 when not writable
    QVector<WritableTable> tables_;
    bool updatable_ = false;

    int row_ = -1;
    bool bof_ = true;
    bool eof_ = true;

    bool adding_ = false;
    ColumnValues pending_;
    ColumnValues expected_;
};
