#include "sqlite/SqliteRowFile.h"

#include "data/DatabaseErrors.h"
#include "sqlite/SqliteColumnType.h"
#include "sqlite/SqliteStatement.h"

#include <QDataStream>
#include <QDir>
#include <QTemporaryFile>
#include <algorithm>
#include <cstring>
#include <limits>
#include <sqlite3.h>

namespace {

// Gathered rows go to the file once they reach this size; a read fetches at
// least this much, so rows read in order cost few reads.
constexpr qsizetype kWriteBlock = 1 << 20;
constexpr qint64 kReadBlock = 64 * 1024;
constexpr qsizetype kLengthSize = sizeof(quint32);

enum Tag : char { kNull, kInteger, kReal, kText, kNullText, kBytes, kNullBytes, kOther };

// Zigzag order keeps small negative numbers as short as small positive ones.
quint64 Zigzag(qint64 n) {
    return (quint64(n) << 1) ^ quint64(n >> 63);
}

qint64 Unzigzag(quint64 n) {
    return qint64(n >> 1) ^ -qint64(n & 1);
}

[[noreturn]] void RaiseDamaged() {
    throw EProviderError(QStringLiteral("The rows of the query cannot be read back from their "
                                        "temporary file: its contents are damaged."));
}

// Reads the values of one row, refusing to pass its end.
class RecordReader {
public:
    RecordReader(const char *data, quint32 length) : at_(data), end_(data + length) {}
    bool AtEnd() const { return at_ == end_; }
    char Tag() { return *Take(1); }
    quint64 Varint() {
        quint64 number = 0;
        for (int shift = 0; shift < 64; shift += 7) {
            const auto byte = quint8(*Take(1));
            number |= quint64(byte & 0x7f) << shift;
            if (!(byte & 0x80))
                return number;
        }
        RaiseDamaged();
    }
    const char *Take(quint64 length) {
        if (quint64(end_ - at_) < length)
            RaiseDamaged();
        const char *data = at_;
        at_ += length;
        return data;
    }

private:
    const char *at_;
    const char *end_;
};

} // namespace

SqliteRowFile::SqliteRowFile() = default;

SqliteRowFile::~SqliteRowFile() = default;

QString SqliteRowFile::FileName() const {
    return file_ ? file_->fileName() : QString();
}

void SqliteRowFile::Open() {
    auto file =
        std::make_unique<QTemporaryFile>(QDir::tempPath() + QStringLiteral("/corvana-rows-XXXXXX"));
    if (!file->open())
        throw EProviderError(
            QStringLiteral("A temporary file for the rows of the query cannot be made in %1: %2")
                .arg(QDir::toNativeSeparators(QDir::tempPath()), file->errorString()));
    file_ = std::move(file);
}

void SqliteRowFile::BeginRow() {
    rowStart_ = pending_.size();
    pending_.append(kLengthSize, '\0');
}

qint64 SqliteRowFile::EndRow() {
    const qsizetype length = pending_.size() - rowStart_ - kLengthSize;
    if (quint64(length) > std::numeric_limits<quint32>::max()) {
        pending_.truncate(rowStart_);
        throw EProviderError(QStringLiteral("A row of the query is too large to be kept."));
    }
    const auto stored = quint32(length);
    std::memcpy(pending_.data() + rowStart_, &stored, kLengthSize);
    return flushed_ + rowStart_;
}

// Tags and numbers are put together first and added in one go: adding
// single characters costs more than the encoding itself.
void SqliteRowFile::PutTag(char tag) {
    pending_.append(&tag, 1);
}

void SqliteRowFile::PutTagged(char tag, quint64 number) {
    char bytes[11];
    bytes[0] = tag;
    int count = 1;
    do {
        const auto low = char(number & 0x7f);
        number >>= 7;
        bytes[count++] = number ? char(low | 0x80) : low;
    } while (number);
    pending_.append(bytes, count);
}

void SqliteRowFile::PutBytes(char tag, const char *data, qsizetype length) {
    PutTagged(tag, quint64(length));
    pending_.append(data, length);
}

void SqliteRowFile::PutReal(double real) {
    char bytes[1 + sizeof real];
    bytes[0] = kReal;
    std::memcpy(bytes + 1, &real, sizeof real);
    pending_.append(bytes, sizeof bytes);
}

void SqliteRowFile::PutValue(const TValue &value) {
    switch (value.typeId()) {
    case QMetaType::UnknownType:
        PutTag(kNull);
        return;
    case QMetaType::LongLong:
        PutTagged(kInteger, Zigzag(value.toLongLong()));
        return;
    case QMetaType::Double:
        PutReal(value.toDouble());
        return;
    case QMetaType::QString: {
        const QString text = value.toString();
        if (text.isNull()) {
            PutTag(kNullText);
        } else {
            const QByteArray utf8 = text.toUtf8();
            PutBytes(kText, utf8.constData(), utf8.size());
        }
        return;
    }
    case QMetaType::QByteArray: {
        const QByteArray bytes = value.toByteArray();
        if (bytes.isNull())
            PutTag(kNullBytes);
        else
            PutBytes(kBytes, bytes.constData(), bytes.size());
        return;
    }
    default:
        break;
    }
    // Types the engine never gives (a value set through a field may be one)
    // keep their type through Qt's own serialization.
    QByteArray serialized;
    QDataStream out(&serialized, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_0);
    out << value;
    if (out.status() == QDataStream::Ok) {
        PutBytes(kOther, serialized.constData(), serialized.size());
    } else {
        const QByteArray utf8 = value.toString().toUtf8();
        PutBytes(kText, utf8.constData(), utf8.size());
    }
}

qint64 SqliteRowFile::AppendValues(const QVector<TValue> &values) {
    BeginRow();
    try {
        for (const TValue &value : values)
            PutValue(value);
    } catch (...) {
        pending_.truncate(rowStart_);
        throw;
    }
    return EndRow();
}

qint64 SqliteRowFile::AppendStatementRow(const SqliteStatement &statement,
                                         const QVector<int> &typeCodes) {
    // Read straight from the engine: texts are UTF-8 there already, so no
    // value is built only to be taken apart again.
    sqlite3_stmt *stmt = statement.Handle();
    BeginRow();
    try {
        for (int i = 0; i < typeCodes.size(); ++i) {
            switch (sqlite3_column_type(stmt, i)) {
            case SQLITE_INTEGER:
                PutValue(SqliteColumnType::Normalize(
                    typeCodes[i], TValue(qint64(sqlite3_column_int64(stmt, i)))));
                break;
            case SQLITE_FLOAT:
                PutReal(sqlite3_column_double(stmt, i));
                break;
            case SQLITE_TEXT: {
                const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(stmt, i));
                if (text)
                    PutBytes(kText, text, sqlite3_column_bytes(stmt, i));
                else
                    PutTag(kNullText);
                break;
            }
            case SQLITE_BLOB: {
                // An empty blob comes as a null pointer, and so as a null array.
                const auto *data = static_cast<const char *>(sqlite3_column_blob(stmt, i));
                if (data)
                    PutBytes(kBytes, data, sqlite3_column_bytes(stmt, i));
                else
                    PutTag(kNullBytes);
                break;
            }
            default:
                PutTag(kNull);
                break;
            }
        }
    } catch (...) {
        pending_.truncate(rowStart_);
        throw;
    }
    return EndRow();
}

void SqliteRowFile::FlushIfFull() {
    if (pending_.size() >= kWriteBlock)
        Flush();
}

void SqliteRowFile::Flush() {
    if (pending_.isEmpty())
        return;
    if (!file_)
        Open();
    // A failed write leaves everything gathered; the next one starts again
    // at the same place and overwrites whatever part reached the file.
    if (!file_->seek(flushed_) || file_->write(pending_) != pending_.size() || !file_->flush())
        throw EProviderError(
            QStringLiteral("The rows of the query cannot be written to their temporary file "
                           "in %1: %2")
                .arg(QDir::toNativeSeparators(QDir::tempPath()), file_->errorString()));
    flushed_ += pending_.size();
    pending_.clear();
    // Keep the gathering block's memory for the next rows.
    pending_.reserve(kWriteBlock + kReadBlock);
}

void SqliteRowFile::Fill(qint64 offset, qint64 length) {
    const qint64 size = std::min(std::max(length, kReadBlock), flushed_ - offset);
    if (size < length)
        RaiseDamaged();
    readStart_ = -1;
    readAhead_.resize(qsizetype(size));
    if (!file_->seek(offset) || file_->read(readAhead_.data(), size) != size)
        throw EProviderError(
            QStringLiteral("The rows of the query cannot be read from their temporary file "
                           "in %1: %2")
                .arg(QDir::toNativeSeparators(QDir::tempPath()), file_->errorString()));
    readStart_ = offset;
}

const char *SqliteRowFile::RecordAt(qint64 offset, quint32 *length) {
    if (offset < 0 || offset + kLengthSize > Size())
        RaiseDamaged();
    if (offset >= flushed_) {
        const char *at = pending_.constData() + (offset - flushed_);
        std::memcpy(length, at, kLengthSize);
        if (offset + kLengthSize + *length > Size())
            RaiseDamaged();
        return at + kLengthSize;
    }
    auto held = [&](qint64 bytes) {
        return readStart_ >= 0 && offset >= readStart_ &&
               offset + bytes <= readStart_ + readAhead_.size();
    };
    if (!held(kLengthSize))
        Fill(offset, kLengthSize);
    std::memcpy(length, readAhead_.constData() + (offset - readStart_), kLengthSize);
    if (!held(kLengthSize + qint64(*length)))
        Fill(offset, kLengthSize + qint64(*length));
    return readAhead_.constData() + (offset - readStart_) + kLengthSize;
}

QVector<TValue> SqliteRowFile::Read(qint64 offset, int columns) {
    quint32 length = 0;
    const char *record = RecordAt(offset, &length);
    return Decode(record, length, columns);
}

qint64 SqliteRowFile::NextOffset(qint64 offset) {
    quint32 length = 0;
    RecordAt(offset, &length);
    return offset + kLengthSize + length;
}

QVector<TValue> SqliteRowFile::Decode(const char *data, quint32 length, int columns) {
    QVector<TValue> values;
    values.reserve(columns);
    RecordReader reader(data, length);
    while (!reader.AtEnd()) {
        switch (reader.Tag()) {
        case kNull:
            values.emplace_back();
            break;
        case kInteger:
            values.emplace_back(Unzigzag(reader.Varint()));
            break;
        case kReal: {
            double real = 0;
            std::memcpy(&real, reader.Take(sizeof real), sizeof real);
            values.emplace_back(real);
            break;
        }
        case kText: {
            const quint64 size = reader.Varint();
            values.emplace_back(QString::fromUtf8(reader.Take(size), qsizetype(size)));
            break;
        }
        case kNullText:
            values.emplace_back(QString());
            break;
        case kBytes: {
            const quint64 size = reader.Varint();
            values.emplace_back(QByteArray(reader.Take(size), qsizetype(size)));
            break;
        }
        case kNullBytes:
            values.emplace_back(QByteArray());
            break;
        case kOther: {
            const quint64 size = reader.Varint();
            QDataStream in(QByteArray::fromRawData(reader.Take(size), qsizetype(size)));
            in.setVersion(QDataStream::Qt_6_0);
            TValue value;
            in >> value;
            if (in.status() != QDataStream::Ok)
                RaiseDamaged();
            values.emplace_back(std::move(value));
            break;
        }
        default:
            RaiseDamaged();
        }
    }
    return values;
}
