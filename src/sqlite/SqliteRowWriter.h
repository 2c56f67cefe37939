#pragma once

#include "data/DataTypes.h"

#include <QPair>
#include <QString>
#include <QVector>

class SqliteHandle;

// Writes single rows of one table. The caller runs each write inside a
// SqliteTransaction. Updates and deletes name the row by a key (the rowid or
// a one-column primary key) and act only while every expected column still
// holds the value the caller read, so a row another program changed or
// deleted meanwhile is never overwritten; that case is reported as
// EProviderError with a text that says what happened and that nothing was
// saved.
class SqliteRowWriter {
public:
    using Values = QVector<QPair<QString, TValue>>; // column name, value

    SqliteRowWriter(SqliteHandle &handle, QString table);

    // Inserts a row with the given values; its rowid (0 without one).
    qint64 Insert(const Values &values);
    // `keySql` names the key as the engine does: a rowid name or a quoted
    // column name.
    void Update(const QString &keySql, const TValue &key, const Values &values,
                const Values &expected);
    void Delete(const QString &keySql, const TValue &key, const Values &expected);

private:
    QString WhereClause(const QString &keySql, const Values &expected) const;
    int BindWhere(class SqliteStatement &statement, int position, const TValue &key,
                  const Values &expected) const;
    [[noreturn]] void ThrowConflict(const QString &keySql, const TValue &key, bool deleting);

    SqliteHandle &handle_;
    QString table_;
};
