#include "sqlite/SqliteQueryRows.h"

#include "data/DatabaseErrors.h"
#include "sqlite/SqliteColumnType.h"
#include "sqlite/SqliteHandle.h"
#include "sqlite/SqliteKeyFile.h"
#include "sqlite/SqliteRowFile.h"
#include "sqlite/SqliteStatement.h"

#include <algorithm>

SqliteQueryRows::SqliteQueryRows(std::shared_ptr<SqliteHandle> handle,
                                 std::unique_ptr<SqliteStatement> statement, QVector<int> typeCodes,
                                 bool onFirstRow, Limits limits)
    : handle_(std::move(handle)), statement_(std::move(statement)),
      typeCodes_(std::move(typeCodes)), limits_(limits) {
    limits_.heldRows = std::max(limits_.heldRows, 0);
    limits_.cachedRows = std::max(limits_.cachedRows, 1);
    if (onFirstRow) {
        onUnreadRow_ = true;
        ReadOne();
    } else {
        Finish(true);
    }
}

SqliteQueryRows::SqliteQueryRows(std::shared_ptr<SqliteHandle> handle,
                                 std::unique_ptr<SqliteStatement> statement, QVector<int> typeCodes,
                                 bool onFirstRow)
    : SqliteQueryRows(std::move(handle), std::move(statement), std::move(typeCodes), onFirstRow,
                      Limits()) {}

SqliteQueryRows::~SqliteQueryRows() {
    // The statements go before the handle they were prepared on.
    statement_.reset();
    keyStatement_.reset();
    rowStatement_.reset();
    rangeStatement_.reset();
}

int SqliteQueryRows::Count() const {
    return dropped_ + int(held_.size()) + spilled_ + (keys_ ? int(keys_->Count()) : 0);
}

void SqliteQueryRows::SetKeyset(Keyset keyset) {
    keyset_ = std::make_unique<Keyset>(std::move(keyset));
}

void SqliteQueryRows::SetKeysetSource(std::function<std::optional<Keyset>()> make) {
    keysetSource_ = std::move(make);
}

bool SqliteQueryRows::StartKeyset() {
    keyTried_ = true;
    if (!keyset_) {
        std::optional<Keyset> made = keysetSource_();
        keysetSource_ = nullptr;
        if (!made)
            return false;
        keyset_ = std::make_unique<Keyset>(std::move(*made));
    }
    const int key = keyset_->keyColumn;
    for (const QByteArray &sql : {keyset_->keySql, keyset_->orderedKeySql}) {
        if (sql.isEmpty())
            continue;
        try {
            // On the same handle while the query's statement is still
            // running: both read the same snapshot of the database.
            auto keys = std::make_unique<SqliteStatement>(handle_->Db(), QString::fromUtf8(sql));
            bool same = true;
            for (const QVector<TValue> &row : held_) {
                if (!keys->Step() || keys->Int64(0) != row[key].toLongLong()) {
                    same = false;
                    break;
                }
            }
            if (!same || !keys->Step() || keys->Int64(0) != statement_->Int64(key))
                continue;
            rowStatement_ = std::make_unique<SqliteStatement>(handle_->Db(),
                                                              QString::fromUtf8(keyset_->rowSql));
            if (!keyset_->rangeSql.isEmpty())
                rangeStatement_ = std::make_unique<SqliteStatement>(
                    handle_->Db(), QString::fromUtf8(keyset_->rangeSql));
            keys_ = std::make_unique<SqliteKeyFile>();
            keys_->Append(keys->Int64(0));
            keyStatement_ = std::move(keys);
            keyMode_ = true;
            // The key statement keeps the snapshot; the query's own one is
            // done with.
            statement_->Reset();
            return true;
        } catch (const EProviderError &) {
            // A key statement the engine refuses: the rows are kept as before.
        }
    }
    return false;
}

TValue SqliteQueryRows::Value(int row, int column) {
    if (keyMode_ && column == keyset_->keyColumn && row >= int(held_.size()) &&
        changed_.find(row) == changed_.end())
        return SqliteColumnType::Normalize(typeCodes_[column],
                                           TValue(keys_->At(row - int(held_.size()))));
    return Values(row)[column];
}

void SqliteQueryRows::ReadKeyedRun(int row) {
    // Rows read one after another (a scan, a Locate) come from one ordered
    // read of the table for as long as their ids rise, instead of a search
    // of the table for each.
    constexpr int kRun = 64;
    SqliteStatement::Scope scope(*rangeStatement_);
    const int base = int(held_.size());
    rangeStatement_->Bind(1, TValue(keys_->At(row - base)));
    const int key = keyset_->keyColumn;
    bool more = rangeStatement_->Step();
    int at = row;
    for (; at < Count() && at < row + kRun && more; ++at) {
        const qint64 wanted = keys_->At(at - base);
        while (more && rangeStatement_->Int64(key) < wanted)
            more = rangeStatement_->Step();
        if (!more || rangeStatement_->Int64(key) != wanted)
            break;
        CachedRow &slot = CacheSlot(at);
        slot.row = -1;
        slot.values.resize(typeCodes_.size());
        for (int i = 0; i < typeCodes_.size(); ++i)
            slot.values[i] = SqliteColumnType::Normalize(typeCodes_[i], rangeStatement_->Column(i));
        slot.row = at;
    }
    nextInRun_ = at;
}

QVector<TValue> SqliteQueryRows::RowByKey(qint64 key) {
    SqliteStatement::Scope scope(*rowStatement_);
    rowStatement_->Bind(1, TValue(key));
    QVector<TValue> values(typeCodes_.size());
    if (rowStatement_->Step()) {
        for (int i = 0; i < typeCodes_.size(); ++i)
            values[i] = SqliteColumnType::Normalize(typeCodes_[i], rowStatement_->Column(i));
    }
    return values;
}

bool SqliteQueryRows::Reach(int index) {
    while (Count() <= index) {
        if (!ReadOne())
            return false;
    }
    return true;
}

void SqliteQueryRows::ReadAll() {
    while (ReadOne()) {
    }
}

SqliteRowFile &SqliteQueryRows::File() {
    if (!file_)
        file_ = std::make_unique<SqliteRowFile>();
    return *file_;
}

SqliteQueryRows::CachedRow &SqliteQueryRows::CacheSlot(int row) {
    if (cache_.empty())
        cache_.resize(std::size_t(limits_.cachedRows));
    // Consecutive rows take different slots, so a window of rows on screen
    // stays decoded while it is smaller than the cache.
    return cache_[std::size_t(row) % cache_.size()];
}

const QVector<TValue> &SqliteQueryRows::Held(int row) {
    if (row < dropped_)
        throw EProviderError(
            QStringLiteral("The row is no longer available: the query reads its rows once."));
    return held_[std::size_t(row - dropped_)];
}

const QVector<TValue> &SqliteQueryRows::Values(int row) {
    if (row < dropped_ + int(held_.size()))
        return Held(row);
    const auto changed = changed_.find(row);
    if (changed != changed_.end())
        return changed->second;
    if (keyMode_ && rangeStatement_ && row == nextInRun_ && CacheSlot(row).row != row)
        ReadKeyedRun(row);
    CachedRow &slot = CacheSlot(row);
    if (slot.row != row) {
        slot.row = -1;
        slot.values = keyMode_ ? RowByKey(keys_->At(row - int(held_.size())))
                               : file_->Read(OffsetOf(row - int(held_.size())), typeCodes_.size());
        slot.row = row;
        nextInRun_ = row + 1;
    }
    return slot.values;
}

qint64 SqliteQueryRows::OffsetOf(int spilled) {
    if (spilled == lastSpilled_)
        return lastOffset_;
    int at = 0;
    qint64 offset = 0;
    if (lastSpilled_ >= 0 && spilled > lastSpilled_ && spilled - lastSpilled_ < kCheckpointEvery) {
        at = lastSpilled_;
        offset = lastOffset_;
    } else {
        at = spilled / kCheckpointEvery * kCheckpointEvery;
        offset = checkpoints_[std::size_t(spilled / kCheckpointEvery)];
    }
    // The rows lie in the file one after another, in order.
    for (; at < spilled; ++at)
        offset = file_->NextOffset(offset);
    lastSpilled_ = spilled;
    lastOffset_ = offset;
    return offset;
}

void SqliteQueryRows::NoteSpilled(qint64 offset) {
    if (spilled_ % kCheckpointEvery == 0)
        checkpoints_.push_back(offset);
    lastSpilled_ = spilled_;
    lastOffset_ = offset;
    ++spilled_;
}

void SqliteQueryRows::SetValue(int row, int column, const TValue &value) {
    if (row < dropped_ + int(held_.size())) {
        const_cast<QVector<TValue> &>(Held(row))[column] = value;
        return;
    }
    // The file keeps the rows in order, each where it was first written, so
    // a changed row is kept in memory instead (changes are few: the user's).
    QVector<TValue> values = Values(row);
    values[column] = value;
    CachedRow &slot = CacheSlot(row);
    if (slot.row == row)
        slot.row = -1;
    changed_[row] = std::move(values);
}

int SqliteQueryRows::Append(const QVector<TValue> &values) {
    if (keyMode_)
        throw EProviderError(QStringLiteral("Rows cannot be added to this list."));
    if (limits_.readOnce) {
        QVector<TValue> row = FreeRow();
        row << values;
        held_.push_back(std::move(row));
        return Count() - 1;
    }
    if (spilled_ == 0 && int(held_.size()) < limits_.heldRows) {
        held_.push_back(values);
    } else {
        NoteSpilled(File().AppendValues(values));
        try {
            file_->FlushIfFull();
        } catch (const EProviderError &) {
            // As in SetValue: the row is held, the write is tried again later.
        }
    }
    return Count() - 1;
}

bool SqliteQueryRows::Deleted(int row) const {
    return std::binary_search(deleted_.begin(), deleted_.end(), row);
}

void SqliteQueryRows::MarkDeleted(int row) {
    const auto at = std::lower_bound(deleted_.begin(), deleted_.end(), row);
    if (at == deleted_.end() || *at != row)
        deleted_.insert(at, row);
}

int SqliteQueryRows::DeletedBefore(int row) const {
    return int(std::lower_bound(deleted_.begin(), deleted_.end(), row) - deleted_.begin());
}

int SqliteQueryRows::LiveRowAt(int number) const {
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

QString SqliteQueryRows::SpillFileName() const {
    return file_ ? file_->FileName() : QString();
}

bool SqliteQueryRows::StepOrFinish(SqliteStatement &statement) {
    bool more = false;
    try {
        more = statement.Step();
    } catch (...) {
        Finish(false);
        throw;
    }
    if (!more)
        Finish(true);
    return more;
}

bool SqliteQueryRows::ReadOne() {
    if (finished_)
        return false;
    if (keyMode_) {
        if (!StepOrFinish(*keyStatement_))
            return false;
        keys_->Append(keyStatement_->Int64(0));
        ++rowsRead_;
        return true;
    }
    if (!onUnreadRow_) {
        if (!StepOrFinish(*statement_))
            return false;
        onUnreadRow_ = true;
    }
    // Should the row not be taken, the statement still stands on it and the
    // next read takes it again.
    TakeCurrentRow();
    return true;
}

QVector<TValue> SqliteQueryRows::FreeRow() {
    // Read once: the oldest row goes when the newest comes, and its storage
    // takes the newest row's values. A few hundred rows are more than any
    // cursor buffers, and stay in the processor's caches.
    constexpr int kReadOnceRows = 256;
    QVector<TValue> values;
    if (limits_.readOnce && int(held_.size()) >= std::clamp(limits_.heldRows, 1, kReadOnceRows)) {
        values = std::move(held_.front());
        held_.pop_front();
        ++dropped_;
        values.resize(0);
    }
    values.reserve(typeCodes_.size());
    return values;
}

void SqliteQueryRows::TakeCurrentRow() {
    if ((keyset_ || keysetSource_) && !keyTried_ && !limits_.readOnce && spilled_ == 0 &&
        int(held_.size()) >= limits_.heldRows && StartKeyset()) {
        onUnreadRow_ = false;
        ++rowsRead_;
        return;
    }
    if (limits_.readOnce || (spilled_ == 0 && int(held_.size()) < limits_.heldRows)) {
        QVector<TValue> values = FreeRow();
        for (int i = 0; i < typeCodes_.size(); ++i)
            values << SqliteColumnType::Normalize(typeCodes_[i], statement_->Column(i));
        held_.push_back(std::move(values));
        onUnreadRow_ = false;
        ++rowsRead_;
        return;
    }
    SqliteRowFile &file = File();
    NoteSpilled(file.AppendStatementRow(*statement_, typeCodes_));
    onUnreadRow_ = false;
    ++rowsRead_;
    file.FlushIfFull();
}

void SqliteQueryRows::Finish(bool complete) {
    finished_ = true;
    complete_ = complete;
    onUnreadRow_ = false;
    statement_->Reset();
    if (keyStatement_)
        keyStatement_->Reset();
}
