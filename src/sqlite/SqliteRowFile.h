#pragma once

#include "data/DataTypes.h"

#include <QByteArray>
#include <QString>
#include <QVector>
#include <memory>

class QTemporaryFile;
class SqliteStatement;

// A temporary file of rows, each written once at the end and then read back
// by the offset it was given. The file is made in the system's temporary
// folder on the first write and removed when this object is destroyed.
//
// A row is stored as its length (4 bytes) and then each value as a type tag
// followed by its bytes: integers as variable-length numbers, reals as their
// 8 bytes, texts as UTF-8 and byte arrays as they are, each with its length;
// a value of any other type as Qt's own serialization of it. A value read
// back equals the value written, with the same type, and a null text or byte
// array stays null.
//
// Writes gather in memory and go to the file in large blocks (Flush); a row
// still in memory can be read all the same. Reads go through a read-ahead
// block, so rows read in the order they were written cost one file read per
// block.
//
// Failures of the file (it cannot be made, the disk is full, a read comes up
// short) are raised as EProviderError; rows already handed an offset stay
// readable after a failed Flush, which is tried again at the next one.
class SqliteRowFile {
public:
    SqliteRowFile();
    ~SqliteRowFile();
    SqliteRowFile(const SqliteRowFile &) = delete;
    SqliteRowFile &operator=(const SqliteRowFile &) = delete;

    // Stores the values of the row the statement stands on, each converted
    // as SqliteColumnType::Normalize converts it for its column's type code;
    // the row's offset. Never touches the file (see Flush).
    qint64 AppendStatementRow(const SqliteStatement &statement, const QVector<int> &typeCodes);
    // Stores the values; the row's offset. Never touches the file.
    qint64 AppendValues(const QVector<TValue> &values);
    // The values of the row stored at `offset`; `columns` is how many it
    // probably holds, to make room for them at once.
    QVector<TValue> Read(qint64 offset, int columns = 0);
    // The offset of the row stored right after the one at `offset`.
    qint64 NextOffset(qint64 offset);

    // Writes the gathered rows to the file once they fill a block.
    void FlushIfFull();
    // Writes every gathered row to the file.
    void Flush();

    // Bytes stored so far (in the file and gathered).
    qint64 Size() const { return flushed_ + pending_.size(); }
    // The file's path; empty until the first write. Where the system makes
    // temporary files without a name, asking gives the file one (which is
    // removed with it all the same).
    QString FileName() const;

private:
    void BeginRow();
    qint64 EndRow();
    void PutValue(const TValue &value);
    void PutTag(char tag);
    void PutTagged(char tag, quint64 number);
    void PutReal(double real);
    void PutBytes(char tag, const char *data, qsizetype length);
    const char *RecordAt(qint64 offset, quint32 *length);
    void Fill(qint64 offset, qint64 length);
    void Open();
    static QVector<TValue> Decode(const char *data, quint32 length, int columns);

    std::unique_ptr<QTemporaryFile> file_;
    qint64 flushed_ = 0;     // bytes in the file
    QByteArray pending_;     // bytes gathered after them
    qsizetype rowStart_ = 0; // where the row being stored begins in pending_
    QByteArray readAhead_;   // a block of the file, from readStart_
    qint64 readStart_ = -1;
};
