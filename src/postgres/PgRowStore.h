#pragma once

#include "data/DataTypes.h"

#include <QByteArray>
#include <QString>
#include <QVector>
#include <deque>
#include <map>
#include <memory>
#include <vector>

class QTemporaryFile;

// The rows of one query result as they are read from the server, in order,
// with a mark for each row deleted through the row source. Row indexes run
// from 0 in the order the rows were appended and never change.
//
// Memory stays bounded however many rows come: the values of the first
// `heldRows` rows stay in memory; every later row goes to a temporary file
// in the system's temporary folder, made at the first such row and removed
// with this object. The file holds the rows one after another, so only the
// offset of every 64th row stays in memory and a row is found by stepping
// over the rows before it from there (or from the row found last). Rows of
// the file read lately stay decoded in a cache of `cachedRows` rows, so a
// window of rows on screen is decoded once; rows of the file changed
// through SetValue are kept in memory.
//
// Read once (`readOnce`): only the last `windowRows` rows appended are
// kept, nothing goes to a file, and an earlier row can no longer be reached.
//
// A value read back equals the value appended, with the same type (integers
// as qint64, reals as double, QString, QByteArray; another type through Qt's
// own serialization); a null (invalid) value stays null.
//
// Failures (the file cannot be made or written, the disk is full, the file
// reads back short) raise EProviderError. A row is never lost by a failed
// write: rows not yet in the file are gathered in memory and written again
// at the next flush, and they can be read all the same.
class PgRowStore {
public:
    struct Limits {
        int heldRows = 2048;
        int cachedRows = 256;
        bool readOnce = false;
        int windowRows = 2048;
    };

    explicit PgRowStore(Limits limits);
    PgRowStore();
    ~PgRowStore();
    PgRowStore(const PgRowStore &) = delete;
    PgRowStore &operator=(const PgRowStore &) = delete;

    const Limits &GetLimits() const { return limits_; }
    // Rows appended so far (including those let go when reading once).
    int Count() const { return dropped_ + int(held_.size()) + spilled_; }
    // Adds a row after all others; its index. Raises when the file cannot
    // be written; the row is kept all the same (see above).
    int Append(QVector<TValue> values);

    // The values of a row; the reference stays valid until the next call on
    // the store. EProviderError for a row read once and let go, an index
    // out of range, or a failure of the file.
    const QVector<TValue> &Values(int row);
    // Changes one value of a row; raises as Values does.
    void SetValue(int row, int column, const TValue &value);

    bool Deleted(int row) const;
    void MarkDeleted(int row);
    int DeletedCount() const { return int(deleted_.size()); }
    // How many rows before `row` are marked deleted.
    int DeletedBefore(int row) const;
    // The index of the live row with the 0-based number among the live
    // rows; -1 when there are not that many.
    int LiveRowAt(int number) const;

    // How many rows live in the temporary file, and its path (empty while
    // there is none).
    int SpilledRows() const { return spilled_; }
    QString SpillFileName() const;

private:
    struct CachedRow {
        int row = -1;
        QVector<TValue> values;
    };
    static constexpr int kCheckpointEvery = 64;

    qint64 Encode(const QVector<TValue> &values);
    void PutValue(const TValue &value);
    void PutTagged(char tag, quint64 number);
    void FlushIfFull();
    void Flush();
    const char *RecordAt(qint64 offset, quint32 *length);
    void Fill(qint64 offset, qint64 length);
    qint64 OffsetOf(int spilled);
    qint64 FileSize() const { return flushed_ + pending_.size(); }
    CachedRow &CacheSlot(int row);
    static QVector<TValue> Decode(const char *data, quint32 length, int columns);

    Limits limits_;
    std::deque<QVector<TValue>> held_;
    int dropped_ = 0; // rows let go before held_ (read once)
    int spilled_ = 0; // rows after held_, in the file
    int columns_ = 0; // the width of the rows seen, to make room at once

    std::unique_ptr<QTemporaryFile> file_;
    qint64 flushed_ = 0;   // bytes in the file
    QByteArray pending_;   // bytes gathered after them
    QByteArray readAhead_; // a block of the file, from readStart_
    qint64 readStart_ = -1;
    std::vector<qint64> checkpoints_;        // offset of every 64th spilled row
    int lastSpilled_ = -1;                   // the spilled row found (or written) last
    qint64 lastOffset_ = 0;                  // and its offset
    std::map<int, QVector<TValue>> changed_; // spilled rows changed by SetValue
    std::vector<CachedRow> cache_;
    std::vector<int> deleted_; // ascending
};
