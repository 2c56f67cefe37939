#include "sqlite/SqliteQueryClone.h"

#include "data/DatabaseErrors.h"
#include "sqlite/SqliteQueryRows.h"

SqliteQueryClone::SqliteQueryClone(std::shared_ptr<SqliteQueryRows> rows, QStringList columnNames)
    : rows_(std::move(rows)), columnNames_(std::move(columnNames)) {}

std::optional<TBookmark> SqliteQueryClone::FindFirst(const QString &columnName, const TValue &value,
                                                     const TLocateOptions &options) {
    int column = -1;
    for (int i = 0; i < columnNames_.size() && column < 0; ++i) {
        if (columnNames_[i].compare(columnName, Qt::CaseInsensitive) == 0)
            column = i;
    }
    if (column < 0)
        throw EProviderError(QStringLiteral("The result has no column '%1'.").arg(columnName));
    for (int row = 0; rows_->Reach(row); ++row) {
        if (rows_->Deleted(row))
            continue;
        const TValue stored = rows_->Value(row, column);
        if (options.None() ? LocateValueMatches(stored, value)
                           : LocateTextMatches(stored, value, options))
            return row;
    }
    return std::nullopt;
}
