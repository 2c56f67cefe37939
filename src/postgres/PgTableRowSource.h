#pragma once

#include "data/RowSource.h"
#include "postgres/PgNames.h"

#include <QHash>
#include <QPair>
#include <QVector>
#include <map>
#include <memory>

class PgConnection;
class PgResult;
class PgTableInfo;
class PgTableOrder;

// A row source over all rows of one table on the server, in the order of an
// index (or of the key), read as it moves: each move is one indexed seek for
// the neighbouring row, so it opens at once and moves as fast on a million
// rows as on ten, and it shows rows stored by itself and by other programs.
// Bookmark = the table's one-column integer primary key; a table without
// one cannot be opened ("... has no primary key of one integer column ...").
//
// Position and nulls: as TRowSource says. In an index's order the index's
// own direction and place of nulls hold (see PgTableOrder); rows with equal
// index values follow each other in key order.
//
// Values of a row are read (all at once) when first asked for and kept until
// the position changes or the row is written; after a write they are the
// stored row as the server returned it (counters and defaults included).
//
// Writes go through PgRowWriter on the connection's main session: each
// Update and DeleteRow is one statement, committed on its own unless the
// session is inside the connection's write transaction, to which it then
// belongs. They check the expected values and refuse, with the file
// engine's texts, to touch a row another program changed (EConflictError)
// or deleted meanwhile; a text too long for its column is refused before
// anything is sent. On any failure the pending values stay, so that Update
// can be tried again: after a lost connection (PgConnection's text) the next
// command connects again.
class PgTableRowSource : public TRowSource {
public:
    // `names` is kept for the engine's interface; the table's own catalogue
    // entry gives the stored spelling. EProviderError for an unknown table
    // or index, or one that cannot give an order.
    PgTableRowSource(std::shared_ptr<PgConnection> connection, std::shared_ptr<const PgNames> names,
                     const TRowSourceRequest &request);
    ~PgTableRowSource() override;

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
    // Stands on the row in the first row of `result` (key, then the index
    // columns), when there is one; false otherwise.
    bool StandOnResult(const PgResult &result);
    void StandEmpty();
    // Stands on a row just written, whose stored values are `row`.
    void StandOnStored(const QVector<TValue> &row);
    void Remember(TBookmark key, const QVector<TValue> &keys);
    void LoadRow();
    void RequireUpdatable() const;
    void RequirePlace() const;
    void CheckColumn(int column) const;
    QVector<QPair<QString, TValue>> Named(const ColumnValues &values) const;
    static void Put(ColumnValues &values, int column, const TValue &value);

    std::shared_ptr<PgConnection> connection_;
    std::shared_ptr<const PgTableInfo> table_;
    std::shared_ptr<const PgTableOrder> order_;
    QVector<TColumnInfo> columns_;
    QStringList columnNames_;  // stored spelling, in column order
    QVector<int> termColumns_; // the column of each index column of the order
    int keyColumn_ = -1;
    QString rowSql_;
    QString keysSql_;
    bool readOnly_ = false;

    bool bof_ = true;
    bool eof_ = true;
    TBookmark key_ = 0;
    QVector<TValue> keys_; // the place's index column values
    bool keysKnown_ = true;
    bool deleted_ = false; // the place is known to hold no row

    QVector<TValue> values_;
    bool loaded_ = false;

    bool adding_ = false;
    ColumnValues pending_;
    ColumnValues expected_;

    struct StepStatement {
        QString sql;
        QVector<int> binds;
    };
    // By direction and the mask of null index values at the place.
    std::map<std::pair<bool, quint64>, StepStatement> stepStatements_;
    // The keys of places stood on lately, so that a move can go on from a
    // row deleted meanwhile; two generations bound the memory.
    QHash<TBookmark, QVector<TValue>> recentKeys_;
    QHash<TBookmark, QVector<TValue>> olderKeys_;
};
