#include "data/SqliteQueryRows.h"

#include "data/SqliteColumnType.h"
#include "data/SqliteHandle.h"
#include "data/SqliteStatement.h"

SqliteQueryRows::SqliteQueryRows(std::shared_ptr<SqliteHandle> handle,
                                 std::unique_ptr<SqliteStatement> statement, QVector<int> typeCodes,
                                 bool onFirstRow)
    : handle_(std::move(handle)), statement_(std::move(statement)),
      typeCodes_(std::move(typeCodes)) {
    if (onFirstRow)
        TakeCurrentRow();
    else
        Finish();
}

SqliteQueryRows::~SqliteQueryRows() {
    // The statement goes before the handle it was prepared on.
    statement_.reset();
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

void SqliteQueryRows::SetValue(int row, int column, const TValue &value) {
    rows_[std::size_t(row)].values[column] = value;
}

int SqliteQueryRows::Append(const QVector<TValue> &values) {
    rows_.push_back(Row{values, false});
    return Count() - 1;
}

bool SqliteQueryRows::ReadOne() {
    if (finished_)
        return false;
    bool more = false;
    try {
        more = statement_->Step();
    } catch (...) {
        Finish();
        throw;
    }
    if (!more) {
        Finish();
        return false;
    }
    TakeCurrentRow();
    return true;
}

void SqliteQueryRows::TakeCurrentRow() {
    Row row;
    row.values.reserve(typeCodes_.size());
    for (int i = 0; i < typeCodes_.size(); ++i)
        row.values << SqliteColumnType::Normalize(typeCodes_[i], statement_->Column(i));
    rows_.push_back(std::move(row));
    ++rowsRead_;
}

void SqliteQueryRows::Finish() {
    finished_ = true;
    statement_->Reset();
}
