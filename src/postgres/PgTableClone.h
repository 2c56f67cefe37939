#pragma once

#include "data/RowSource.h"

#include <memory>

class PgConnection;
class PgTableInfo;
class PgTableOrder;

// The search position of a table row source: finds the first row in the
// table's order whose column matches a value, with the comparison of the
// file engine's table search (see TRowSourceClone and LocateTextMatches).
//
// Where the server's comparison is exactly the program's, one statement
// finds the row: equality; a prefix (starts_with); a case-insensitive
// search for a text whose characters only ASCII letters fold to (compared
// with ASCII folding on the server). Any other case-insensitive search, and
// a text search over a column of reals or dates, reads the column's
// candidate rows in the table's order a batch at a time and compares them in
// the program, stopping at the first match.
//
// A text searched for in a numeric column that is no number matches no row;
// a number searched for in a text column is compared as its text.
class PgTableClone : public TRowSourceClone {
public:
    PgTableClone(std::shared_ptr<PgConnection> connection, std::shared_ptr<const PgTableInfo> table,
                 std::shared_ptr<const PgTableOrder> order);
    std::optional<TBookmark> FindFirst(const QString &columnName, const TValue &value,
                                       const TLocateOptions &options = {}) override;

private:
    std::optional<TBookmark> First(const QString &condition, const QVector<TValue> &params);
    std::optional<TBookmark> Scan(const QString &column, const QString &filter, const TValue &value,
                                  const TLocateOptions &options);

    std::shared_ptr<PgConnection> connection_;
    std::shared_ptr<const PgTableInfo> table_;
    std::shared_ptr<const PgTableOrder> order_;
};
