#include "sqlite/SqliteTableInfo.h"

#include "data/DatabaseErrors.h"
#include "sqlite/SqliteDialect.h"
#include "sqlite/SqliteStatement.h"

SqliteTableInfo SqliteTableInfo::Load(sqlite3 *db, const QString &table) {
    SqliteTableInfo info;
    bool withoutRowid = false;
    {
        SqliteStatement list(db, QStringLiteral("PRAGMA main.table_list"));
        while (list.Step()) {
            const QString name = list.Column(1).toString();
            if (name.compare(table, Qt::CaseInsensitive) != 0)
                continue;
            if (list.Column(2).toString() != QLatin1String("table"))
                throw EProviderError(
                    QStringLiteral("'%1' is not a table the program can open.").arg(table));
            info.name_ = name;
            withoutRowid = list.Column(4).toLongLong() != 0;
        }
    }
    if (info.name_.isEmpty())
        throw EProviderError(QStringLiteral("The table '%1' cannot be found.").arg(table));

    QStringList keyColumns;
    QString keyType;
    {
        SqliteStatement columns(db, QStringLiteral("PRAGMA main.table_xinfo(%1)")
                                        .arg(SqliteDialect::QuoteIdentifier(info.name_)));
        while (columns.Step()) {
            const QString name = columns.Column(1).toString();
            const int hidden = int(columns.Column(6).toLongLong());
            // Hidden columns of virtual tables are not part of "select *".
            if (hidden == 1)
                continue;
            info.columns_ << name;
            if (hidden == 2 || hidden == 3)
                info.generated_ << name;
            if (columns.Column(5).toLongLong() > 0) {
                keyColumns << name;
                keyType = columns.Column(2).toString();
            }
        }
    }
    if (keyColumns.size() == 1)
        info.primaryKey_ = keyColumns.first();

    if (!withoutRowid) {
        for (const char *candidate : {"rowid", "_rowid_", "oid"}) {
            if (info.ColumnIndex(QLatin1String(candidate)) < 0) {
                info.rowidName_ = QLatin1String(candidate);
                break;
            }
        }
        // An INTEGER PRIMARY KEY is the rowid itself; any other key (and the
        // odd "INTEGER PRIMARY KEY DESC") gets an index of its own.
        bool keyHasIndex = false;
        SqliteStatement indexes(db, QStringLiteral("PRAGMA main.index_list(%1)")
                                        .arg(SqliteDialect::QuoteIdentifier(info.name_)));
        while (indexes.Step()) {
            if (indexes.Column(3).toString() == QLatin1String("pk"))
                keyHasIndex = true;
        }
        if (!info.primaryKey_.isEmpty() && !keyHasIndex &&
            keyType.compare(QLatin1String("INTEGER"), Qt::CaseInsensitive) == 0)
            info.rowidAlias_ = info.primaryKey_;
    }
    return info;
}

int SqliteTableInfo::ColumnIndex(const QString &column) const {
    for (int i = 0; i < columns_.size(); ++i) {
        if (columns_[i].compare(column, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

bool SqliteTableInfo::IsGenerated(const QString &column) const {
    return generated_.contains(column, Qt::CaseInsensitive);
}

std::optional<QVector<SqliteTableInfo::IndexColumn>>
SqliteTableInfo::IndexColumns(sqlite3 *db, const QString &index) const {
    QString found;
    {
        SqliteStatement indexes(db, QStringLiteral("PRAGMA main.index_list(%1)")
                                        .arg(SqliteDialect::QuoteIdentifier(name_)));
        while (indexes.Step()) {
            const QString name = indexes.Column(1).toString();
            if (name.compare(index, Qt::CaseInsensitive) == 0)
                found = name;
        }
    }
    if (found.isEmpty())
        return std::nullopt;
    QVector<IndexColumn> result;
    SqliteStatement columns(
        db,
        QStringLiteral("PRAGMA main.index_xinfo(%1)").arg(SqliteDialect::QuoteIdentifier(found)));
    while (columns.Step()) {
        // Only the key columns; the rowid the index carries comes after them.
        if (columns.Column(5).toLongLong() == 0)
            continue;
        IndexColumn column;
        if (columns.Column(1).toLongLong() >= 0)
            column.column = columns.Column(2).toString();
        column.descending = columns.Column(3).toLongLong() != 0;
        column.collation = columns.Column(4).toString();
        result << column;
    }
    return result;
}
