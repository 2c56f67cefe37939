#include "sqlite/SqliteTableClone.h"

#include "data/DatabaseErrors.h"
#include "sqlite/SqliteDialect.h"
#include "sqlite/SqliteHandle.h"
#include "sqlite/SqliteStatement.h"
#include "sqlite/SqliteTableInfo.h"
#include "sqlite/SqliteTableOrder.h"

SqliteTableClone::SqliteTableClone(std::shared_ptr<SqliteHandle> handle,
                                   std::shared_ptr<const SqliteTableInfo> table,
                                   std::shared_ptr<const SqliteTableOrder> order)
    : handle_(std::move(handle)), table_(std::move(table)), order_(std::move(order)) {}

std::optional<TBookmark> SqliteTableClone::FindFirst(const QString &columnName, const TValue &value,
                                                     const TLocateOptions &options) {
    const int index = table_->ColumnIndex(columnName);
    if (index < 0)
        throw EProviderError(
            QStringLiteral("The table '%1' has no column '%2'.").arg(table_->Name(), columnName));
    const bool findNull = ValueIsNull(value);
    if (!options.None() && !findNull)
        return ScanForText(table_->Columns()[index], value, options);
    auto statement = handle_->Cached(order_->FindSql(table_->Columns()[index], findNull));
    SqliteStatement::Scope scope(*statement);
    if (!findNull)
        statement->Bind(1, value);
    if (!statement->Step())
        return std::nullopt;
    return statement->Int64(0);
}

// The engine's own case folding and LIKE know only ASCII letters, so a text
// search reads the column in the table's order and compares in the program,
// stopping at the first match.
std::optional<TBookmark> SqliteTableClone::ScanForText(const QString &column, const TValue &value,
                                                       const TLocateOptions &options) {
    const QString sql =
        QStringLiteral("SELECT %1, %2 FROM %3 WHERE %2 IS NOT NULL ORDER BY %4")
            .arg(table_->RowidName(), SqliteDialect::QuoteIdentifier(column),
                 SqliteDialect::QuoteIdentifier(table_->Name()), order_->OrderBy(false));
    auto statement = handle_->Cached(sql);
    SqliteStatement::Scope scope(*statement);
    while (statement->Step()) {
        if (LocateTextMatches(statement->Column(1), value, options))
            return statement->Int64(0);
    }
    return std::nullopt;
}
