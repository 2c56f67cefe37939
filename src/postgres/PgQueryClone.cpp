#include "postgres/PgQueryClone.h"

#include "data/DatabaseErrors.h"
#include "postgres/PgQueryRows.h"

PgQueryClone::PgQueryClone(std::shared_ptr<PgQueryRows> rows, QStringList columnNames)
    : rows_(std::move(rows)), columnNames_(std::move(columnNames)) {}

std::optional<TBookmark> PgQueryClone::FindFirst(const QString &columnName, const TValue &value,
                                                 const TLocateOptions &options) {
    int column = -1;
    for (int i = 0; i < columnNames_.size() && column < 0; ++i) {
        if (columnNames_[i].compare(columnName, Qt::CaseInsensitive) == 0)
            column = i;
    }
    if (column < 0)
        throw EProviderError(QStringLiteral("The result has no column '%1'.").arg(columnName));
    PgRowStore &store = rows_->Store();
    for (int row = 0; rows_->Reach(row); ++row) {
        if (store.Deleted(row))
            continue;
        const QVector<TValue> &values = store.Values(row);
        const TValue stored = column < values.size() ? values[column] : TValue();
        if (options.None() ? LocateValueMatches(stored, value)
                           : LocateTextMatches(stored, value, options))
            return row;
    }
    return std::nullopt;
}
