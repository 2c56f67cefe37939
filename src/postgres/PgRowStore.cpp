#include "postgres/PgRowStore.h"

#include "data/DatabaseErrors.h"

#include <QDataStream>
#include <QDir>
#include <QTemporaryFile>
#include <algorithm>
#include <cstring>
#include <limits>

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

QString TempFolder() {
    return QDir::toNativeSeparators(QDir::tempPath());
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

PgRowStore::PgRowStore(Limits limits) : limits_(limits) {
    limits_.heldRows = std::max(limits_.heldRows, 0);
    limits_.cachedRows = std::max(limits_.cachedRows, 1);
    limits_.windowRows = std::max(limits_.windowRows, 1);
}

PgRowStore::PgRowStore() : PgRowStore(Limits()) {}

PgRowStore::~PgRowStore() = default;

QString PgRowStore::SpillFileName() const {
    return file_ ? file_->fileName() : QString();
}

int PgRowStore::Append(QVector<TValue> values) {
    columns_ = std::max(columns_, int(values.size()));
    if (limits_.readOnce) {
        // The oldest row goes when the newest comes.
        if (int(held_.size()) >= limits_.windowRows) {
            held_.pop_front();
            ++dropped_;
        }
        held_.push_back(std::move(values));
        return Count() - 1;
    }
    if (spilled_ == 0 && int(held_.size()) < limits_.heldRows) {
        held_.push_back(std::move(values));
        return Count() - 1;
    }
    const qint64 offset = Encode(values);
    if (spilled_ % kCheckpointEvery == 0)
        checkpoints_.push_back(offset);
    lastSpilled_ = spilled_;
    lastOffset_ = offset;
    ++spilled_;
    // The row is stored (gathered) by now; a failed write is raised, and
    // tried again with the next rows.
    FlushIfFull();
    return Count() - 1;
}

const QVector<TValue> &PgRowStore::Values(int row) {
    if (row < 0 || row >= Count())
        throw EProviderError(QStringLiteral("There is no row %1 in the result.").arg(row));
    if (row < dropped_)
        throw EProviderError(
            QStringLiteral("The row is no longer available: the query reads its rows once."));
    const int heldEnd = dropped_ + int(held_.size());
    if (row < heldEnd)
        return held_[std::size_t(row - dropped_)];
    const auto changed = changed_.find(row);
    if (changed != changed_.end())
        return changed->second;
    CachedRow &slot = CacheSlot(row);
    if (slot.row != row) {
        slot.row = -1;
        quint32 length = 0;
        const char *record = RecordAt(OffsetOf(row - heldEnd), &length);
        slot.values = Decode(record, length, columns_);
        slot.row = row;
    }
    return slot.values;
}

void PgRowStore::SetValue(int row, int column, const TValue &value) {
    if (row >= dropped_ && row < dropped_ + int(held_.size())) {
        QVector<TValue> &values = held_[std::size_t(row - dropped_)];
        if (column >= values.size())
            values.resize(column + 1);
        values[column] = value;
        return;
    }
    // The file keeps each row where it was first written, so a changed row
    // is kept in memory instead (changes are few: the user's).
    QVector<TValue> values = Values(row);
    if (column >= values.size())
        values.resize(column + 1);
    values[column] = value;
    CachedRow &slot = CacheSlot(row);
    if (slot.row == row)
        slot.row = -1;
    changed_[row] = std::move(values);
}

bool PgRowStore::Deleted(int row) const {
    return std::binary_search(deleted_.begin(), deleted_.end(), row);
}

void PgRowStore::MarkDeleted(int row) {
    const auto at = std::lower_bound(deleted_.begin(), deleted_.end(), row);
    if (at == deleted_.end() || *at != row)
        deleted_.insert(at, row);
}

int PgRowStore::DeletedBefore(int row) const {
    return int(std::lower_bound(deleted_.begin(), deleted_.end(), row) - deleted_.begin());
}

int PgRowStore::LiveRowAt(int number) const {
    if (number < 0)
        return -1;
    // Every deleted row at or before the candidate pushes it one further.
    int row = number;
    for (int deleted : deleted_) {
        if (deleted > row)
            break;
        ++row;
    }
    return row < Count() ? row : -1;
}

PgRowStore::CachedRow &PgRowStore::CacheSlot(int row) {
    if (cache_.empty())
        cache_.resize(std::size_t(limits_.cachedRows));
    // Consecutive rows take different slots, so a window of rows on screen
    // stays decoded while it is smaller than the cache.
    return cache_[std::size_t(row) % cache_.size()];
}

qint64 PgRowStore::OffsetOf(int spilled) {
    if (spilled == lastSpilled_)
        return lastOffset_;
    int at = spilled / kCheckpointEvery * kCheckpointEvery;
    qint64 offset = checkpoints_[std::size_t(spilled / kCheckpointEvery)];
    if (lastSpilled_ >= at && lastSpilled_ < spilled) {
        at = lastSpilled_;
        offset = lastOffset_;
    }
    // The rows lie in the file one after another, in order.
    for (; at < spilled; ++at) {
        quint32 length = 0;
        RecordAt(offset, &length);
        offset += kLengthSize + length;
    }
    lastSpilled_ = spilled;
    lastOffset_ = offset;
    return offset;
}

// Tags and numbers are put together first and added in one go: adding
// single characters costs more than the encoding itself.
void PgRowStore::PutTagged(char tag, quint64 number) {
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

void PgRowStore::PutValue(const TValue &value) {
    switch (value.typeId()) {
    case QMetaType::UnknownType: {
        const char tag = kNull;
        pending_.append(&tag, 1);
        return;
    }
    case QMetaType::LongLong:
        PutTagged(kInteger, Zigzag(value.toLongLong()));
        return;
    case QMetaType::Double: {
        const double real = value.toDouble();
        char bytes[1 + sizeof real];
        bytes[0] = kReal;
        std::memcpy(bytes + 1, &real, sizeof real);
        pending_.append(bytes, sizeof bytes);
        return;
    }
    case QMetaType::QString: {
        const QString text = value.toString();
        if (text.isNull()) {
            const char tag = kNullText;
            pending_.append(&tag, 1);
            return;
        }
        const QByteArray utf8 = text.toUtf8();
        PutTagged(kText, quint64(utf8.size()));
        pending_.append(utf8);
        return;
    }
    case QMetaType::QByteArray: {
        const QByteArray bytes = value.toByteArray();
        if (bytes.isNull()) {
            const char tag = kNullBytes;
            pending_.append(&tag, 1);
            return;
        }
        PutTagged(kBytes, quint64(bytes.size()));
        pending_.append(bytes);
        return;
    }
    default:
        break;
    }
    // Types the server never gives (a value set through a field may be one)
    // keep their type through Qt's own serialization.
    QByteArray serialized;
    QDataStream out(&serialized, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_0);
    out << value;
    if (out.status() != QDataStream::Ok)
        serialized.clear();
    PutTagged(kOther, quint64(serialized.size()));
    pending_.append(serialized);
}

qint64 PgRowStore::Encode(const QVector<TValue> &values) {
    const qsizetype start = pending_.size();
    pending_.append(kLengthSize, '\0');
    for (const TValue &value : values)
        PutValue(value);
    const qsizetype length = pending_.size() - start - kLengthSize;
    if (quint64(length) > std::numeric_limits<quint32>::max()) {
        pending_.truncate(start);
        throw EProviderError(QStringLiteral("A row of the query is too large to be kept."));
    }
    const auto stored = quint32(length);
    std::memcpy(pending_.data() + start, &stored, kLengthSize);
    return flushed_ + start;
}

void PgRowStore::FlushIfFull() {
    if (pending_.size() >= kWriteBlock)
        Flush();
}

void PgRowStore::Flush() {
    if (pending_.isEmpty())
        return;
    if (!file_) {
        auto file = std::make_unique<QTemporaryFile>(QDir::tempPath() +
                                                     QStringLiteral("/corvana-rows-XXXXXX"));
        if (!file->open())
            throw EProviderError(
                QStringLiteral("A temporary file for the rows of the query cannot be made in "
                               "%1: %2")
                    .arg(TempFolder(), file->errorString()));
        file_ = std::move(file);
    }
    // A failed write leaves everything gathered; the next one starts again
    // at the same place and overwrites whatever part reached the file.
    if (!file_->seek(flushed_) || file_->write(pending_) != pending_.size() || !file_->flush())
        throw EProviderError(
            QStringLiteral("The rows of the query cannot be written to their temporary file "
                           "in %1: %2")
                .arg(TempFolder(), file_->errorString()));
    flushed_ += pending_.size();
    pending_.clear();
    pending_.reserve(kWriteBlock + kReadBlock);
}

void PgRowStore::Fill(qint64 offset, qint64 length) {
    const qint64 size = std::min(std::max(length, kReadBlock), flushed_ - offset);
    if (size < length)
        RaiseDamaged();
    readStart_ = -1;
    readAhead_.resize(qsizetype(size));
    if (!file_->seek(offset) || file_->read(readAhead_.data(), size) != size)
        throw EProviderError(
            QStringLiteral("The rows of the query cannot be read from their temporary file "
                           "in %1: %2")
                .arg(TempFolder(), file_->errorString()));
    readStart_ = offset;
}

const char *PgRowStore::RecordAt(qint64 offset, quint32 *length) {
    if (offset < 0 || offset + kLengthSize > FileSize())
        RaiseDamaged();
    if (offset >= flushed_) {
        const char *at = pending_.constData() + (offset - flushed_);
        std::memcpy(length, at, kLengthSize);
        if (offset + kLengthSize + *length > FileSize())
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

QVector<TValue> PgRowStore::Decode(const char *data, quint32 length, int columns) {
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
            TValue value;
            if (size > 0) {
                QDataStream in(QByteArray::fromRawData(reader.Take(size), qsizetype(size)));
                in.setVersion(QDataStream::Qt_6_0);
                in >> value;
                if (in.status() != QDataStream::Ok)
                    RaiseDamaged();
            }
            values.emplace_back(std::move(value));
            break;
        }
        default:
            RaiseDamaged();
        }
    }
    return values;
}
