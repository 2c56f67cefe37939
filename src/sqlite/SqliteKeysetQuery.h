#pragma once

#include "sqlite/SqliteQueryRows.h"

#include <QString>
#include <QVector>
#include <optional>

struct sqlite3;

// The statements that read a query's result by row ids (SqliteQueryRows::
// Keyset), for a result that is every column of one table, in the table's
// order, with the table's integer primary key among them: "select * from T
// ..." or "select Q.* from ... T ...". Empty for any other result, and for a
// text the statements cannot be made from.
class SqliteKeysetQuery {
public:
    static std::optional<SqliteQueryRows::Keyset> For(sqlite3 *db, const QString &sql,
                                                      const QVector<QString> &originTables,
                                                      const QVector<QString> &originColumns);
};
