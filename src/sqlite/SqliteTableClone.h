#pragma once

#include "data/RowSource.h"

#include <memory>

class SqliteHandle;
class SqliteTableInfo;
class SqliteTableOrder;

// The search position of a table row source: finds the first row in the
// table's order whose column equals a value with one statement, which an
// index on the column (or the rowid, for the INTEGER PRIMARY KEY) serves.
// A case-insensitive or partial search scans the column in the table's order.
class SqliteTableClone : public TRowSourceClone {
public:
    SqliteTableClone(std::shared_ptr<SqliteHandle> handle,
                     std::shared_ptr<const SqliteTableInfo> table,
                     std::shared_ptr<const SqliteTableOrder> order);
    std::optional<TBookmark> FindFirst(const QString &columnName, const TValue &value,
                                       const TLocateOptions &options = {}) override;

private:
    std::optional<TBookmark> ScanForText(const QString &column, const TValue &value,
                                         const TLocateOptions &options);

    std::shared_ptr<SqliteHandle> handle_;
    std::shared_ptr<const SqliteTableInfo> table_;
    std::shared_ptr<const SqliteTableOrder> order_;
};
