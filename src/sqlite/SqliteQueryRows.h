#pragma once

#include <functional>
#include <optional>

#include "data/DataTypes.h"

#include <QString>
#include <QVector>
#include <deque>
#include <map>
#include <memory>
#include <vector>

class SqliteHandle;
class SqliteKeyFile;
class SqliteRowFile;
class SqliteStatement;

// The rows of one query result, stepped from the running statement only as
// far as someone asks and then kept, with a mark for rows deleted through
// the row source. Shared by a query row source and its clones, so that a row
// index means the same row to all of them. When the statement has given its
// last row it is reset, which ends its read transaction.
//
// Memory stays bounded however many rows are read: the values of the first
// `heldRows` rows stay in memory; every later row (read or appended) goes to
// a temporary file (SqliteRowFile), removed with this object. The file holds
// the rows in order, so only the offset of every 64th row stays in memory
// and a row is found by stepping over the rows before it from there; rows
// changed through SetValue are kept in memory. The rows of the file read lately
// are kept decoded in a cache of `cachedRows` rows, so that a window of rows
// on screen is decoded once.
class SqliteQueryRows {
public:
    struct Limits {
        int heldRows = 2048;
        int cachedRows = 256;
        // Read once, front to back: only the last rows read are kept (at
        // most `heldRows`, at most 256), nothing goes to a file, and an earlier row can no longer
        // be reached (Values raises EProviderError).
        bool readOnce = false;
    };

    // A second way to read the rows past those kept in memory, for a
    // read-only result of one table's columns: by their row ids alone.
    struct Keyset {
        QByteArray keySql;        // the query with the row id as its only result column
        QByteArray orderedKeySql; // the same in row id order; empty when not to be tried
        QByteArray rowSql;        // the query's columns of one row, by its row id (?1)
        QByteArray rangeSql;      // the same for the rows from a row id (?1) on, in row id order
        int keyColumn = -1;       // the query's column that holds the row id
    };

    // The statement has already stepped onto its first row when `onFirstRow`.
    SqliteQueryRows(std::shared_ptr<SqliteHandle> handle,
                    std::unique_ptr<SqliteStatement> statement, QVector<int> typeCodes,
                    bool onFirstRow, Limits limits);
    // With the default limits.
    SqliteQueryRows(std::shared_ptr<SqliteHandle> handle,
                    std::unique_ptr<SqliteStatement> statement, QVector<int> typeCodes,
                    bool onFirstRow);
    ~SqliteQueryRows();
    SqliteQueryRows(const SqliteQueryRows &) = delete;
    SqliteQueryRows &operator=(const SqliteQueryRows &) = delete;

    // Past the rows kept in memory, reads only the row ids of the result
    // when the key statement gives the kept rows' ids in the same order (so
    // the rows are the same and in the same order): then stepping to the
    // end costs the ids alone, they go to a temporary file of 8 bytes a row
    // (SqliteKeyFile), and a row's values are read by its id when asked for.
    // Those values are the ones stored at that time; a row deleted since
    // reads as nulls. When the order differs, the rows are kept as before.
    void SetKeyset(Keyset keyset);
    // The same, with the keyset worked out only when it is first needed
    // (most lists never read that far); `make` gives nothing when the
    // query cannot be read by row id.
    void SetKeysetSource(std::function<std::optional<Keyset>()> make);
    // True once the rows past the kept ones are read by row id.
    bool ByKeys() const { return keyMode_; }

    // Rows held so far (read rows and rows added).
    int Count() const;
    // True once the statement has given its last row, or failed.
    bool Finished() const { return finished_; }
    // True once the statement has given its last row without failing: every
    // row of the result is held.
    bool Complete() const { return complete_; }
    // Reads rows until `index` is held; false when the result ends before.
    // A failure to write the temporary file is raised after the row read is
    // held, so no row is ever lost.
    bool Reach(int index);
    void ReadAll();
    // How many rows have been stepped from the statement.
    qint64 RowsRead() const { return rowsRead_; }

    // The values of a held row. The reference stays valid until the next
    // call on these rows; a row of the file is read back from it (failures
    // of the file raise EProviderError).
    const QVector<TValue> &Values(int row);
    // One value of a held row: as Values(row)[column], but the row id
    // column of a row read by id needs no reading of the row.
    TValue Value(int row, int column);
    // Changes one value of a held row; raises as Values does when the row
    // must be read back from the file first.
    void SetValue(int row, int column, const TValue &value);
    // Adds a row after all others; its index.
    int Append(const QVector<TValue> &values);

    bool Deleted(int row) const;
    void MarkDeleted(int row);
    int DeletedCount() const { return int(deleted_.size()); }
    // How many rows before `row` are marked deleted.
    int DeletedBefore(int row) const;
    // The index of the live row with the 0-based number among the live
    // rows held; -1 when there are not that many.
    int LiveRowAt(int number) const;

    // How many rows live in the temporary file, and the file's path (empty
    // while there is none).
    int SpilledRows() const { return spilled_; }
    QString SpillFileName() const;

private:
    struct CachedRow {
        int row = -1;
        QVector<TValue> values;
    };
    bool ReadOne();
    // Steps the statement; at its end or on a failure the rows are finished.
    bool StepOrFinish(SqliteStatement &statement);
    // Storage for the next row to hold: when reading once and full, the
    // oldest row's, which is let go.
    QVector<TValue> FreeRow();
    void TakeCurrentRow();
    void Finish(bool complete);
    SqliteRowFile &File();
    CachedRow &CacheSlot(int row);

    std::shared_ptr<SqliteHandle> handle_;
    std::unique_ptr<SqliteStatement> statement_;
    QVector<int> typeCodes_;
    Limits limits_;
    std::deque<QVector<TValue>> held_;
    int dropped_ = 0; // rows read once and let go, before held_ (readOnce only)
    const QVector<TValue> &Held(int row);
    static constexpr int kCheckpointEvery = 64;
    // The offset in the file of the spilled row `spilled` (counted from
    // the first row in the file).
    qint64 OffsetOf(int spilled);
    void NoteSpilled(qint64 offset);
    int spilled_ = 0;                        // rows from held_.size() on, in the file
    std::vector<qint64> checkpoints_;        // offset of every 64th spilled row
    int lastSpilled_ = -1;                   // the spilled row found (or written) last
    qint64 lastOffset_ = 0;                  // and its offset
    std::map<int, QVector<TValue>> changed_; // spilled rows changed by SetValue
    std::unique_ptr<SqliteRowFile> file_;
    bool StartKeyset();
    QVector<TValue> RowByKey(qint64 key);
    void ReadKeyedRun(int row);
    std::unique_ptr<SqliteStatement> rangeStatement_;
    int nextInRun_ = -1; // the row after the last one read by ids in a run
    std::unique_ptr<Keyset> keyset_;
    std::function<std::optional<Keyset>()> keysetSource_;
    bool keyTried_ = false;
    bool keyMode_ = false;
    std::unique_ptr<SqliteStatement> keyStatement_;
    std::unique_ptr<SqliteStatement> rowStatement_;
    std::unique_ptr<SqliteKeyFile> keys_;
    std::vector<CachedRow> cache_;
    std::vector<int> deleted_; // ascending
    bool onUnreadRow_ = false; // the statement stands on a row not yet held
    bool finished_ = false;
    bool complete_ = false;
    qint64 rowsRead_ = 0;
};
