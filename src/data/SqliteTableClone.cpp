#include "data/SqliteTableClone.h"

#include "data/DatabaseErrors.h"
#include "data/SqliteHandle.h"
#include "data/SqliteStatement.h"
#include "data/SqliteTableInfo.h"
#include "data/SqliteTableOrder.h"

SqliteTableClone::SqliteTableClone(std::shared_ptr<SqliteHandle> handle,
                                   std::shared_ptr<const SqliteTableInfo> table,
                                   std::shared_ptr<const SqliteTableOrder> order)
    : handle_(std::move(handle)), table_(std::move(table)), order_(std::move(order)) {}

std::optional<TBookmark> SqliteTableClone::FindFirst(const QString &columnName,
                                                     const TValue &value) {
    const int index = table_->ColumnIndex(columnName);
    if (index < 0)
        throw EProviderError(
            QStringLiteral("The table '%1' has no column '%2'.").arg(table_->Name(), columnName));
    const bool findNull = ValueIsNull(value);
    auto statement = handle_->Cached(order_->FindSql(table_->Columns()[index], findNull));
    SqliteStatement::Scope scope(*statement);
    if (!findNull)
        statement->Bind(1, value);
    if (!statement->Step())
        return std::nullopt;
    return statement->Int64(0);
}
