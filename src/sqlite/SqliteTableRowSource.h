#pragma once

#include "data/RowSource.h"

#include <QHash>
#include <QPair>
#include <QVector>
#include <map>
#include <memory>

class SqliteHandle;
class SqliteStatement;
class SqliteTableInfo;
class SqliteTableOrder;

// A row source over all rows of one table, in the order of an index (or of
// the rowid), read from the database as it moves: each move is one index
// seek for the neighbouring row, so it opens at once and moves as fast on a
// million rows as on ten, and it shows rows stored by itself and by other
// programs. Bookmark = rowid.
//
// Values of a row are read (all at once) when first asked for and kept until
// the position changes or the row is written. Every statement is reset
// right after use, so no read transaction stays open on the handle.
//
// Update and DeleteRow are each one committed transaction; they check the
// expected values and refuse, with a clear message, to touch a row that
// another program changed or deleted meanwhile.
class SqliteTableRowSource : public TRowSource {
public:
    SqliteTableRowSource(std::shared_ptr<SqliteHandle> handle, const TRowSourceRequest &request);
    ~SqliteTableRowSource() override;

    int ColumnCount() const override { return int(columns_.size()); }
    const TColumnInfo &Column(int index) const override;
    bool SupportsBookmarks() const override { return true; }
    bool SupportsBackward() const override { return true; }
    bool SupportsUpdating() const override { return !readOnly_; }

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

private:
    using ColumnValues = QVector<QPair<int, TValue>>;

    bool OnPlace() const { return !bof_ && !eof_; }
    void MoveToEnd(bool last);
    void Step(bool forward);
    // Stands on the row the statement has just stepped onto (rowid, keys).
    void StandOnResult(const SqliteStatement &statement);
    void StandEmpty();
    void Remember(TBookmark rowid, const QVector<TValue> &keys);
    void LoadRow();
    void RequireUpdatable() const;
    void RequirePlace() const;
    void CheckColumn(int column) const;
    QVector<QPair<QString, TValue>> Named(const ColumnValues &values) const;
    static void Put(ColumnValues &values, int column, const TValue &value);

    std::shared_ptr<SqliteHandle> handle_;
    std::shared_ptr<const SqliteTableInfo> table_;
    std::shared_ptr<const SqliteTableOrder> order_;
    QVector<TColumnInfo> columns_;
    bool readOnly_ = false;

    bool bof_ = true;
    bool eof_ = true;
    TBookmark rowid_ = 0;
    QVector<TValue> keys_; // the place's index column values
    bool keysKnown_ = true;
    bool deleted_ = false; // the place is known to hold no row

    QVector<TValue> values_;
    bool loaded_ = false;

    bool adding_ = false;
    ColumnValues pending_;
    ColumnValues expected_;

    std::unique_ptr<SqliteStatement> firstStatement_;
    std::unique_ptr<SqliteStatement> lastStatement_;
    std::unique_ptr<SqliteStatement> rowStatement_;
    std::unique_ptr<SqliteStatement> keysStatement_;
    struct StepStatement {
        std::unique_ptr<SqliteStatement> statement;
        QVector<int> binds;
    };
    // By direction and the mask of null keys at the place.
    std::map<std::pair<bool, quint64>, StepStatement> stepStatements_;
    // The keys of places stood on lately, so that a move can go on from a
    // row deleted meanwhile; two generations bound the memory.
    QHash<TBookmark, QVector<TValue>> recentKeys_;
    QHash<TBookmark, QVector<TValue>> olderKeys_;
};
