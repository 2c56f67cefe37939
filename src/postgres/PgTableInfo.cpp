#include "postgres/PgTableInfo.h"

#include "data/DatabaseErrors.h"
#include "postgres/PgConnection.h"

PgTableInfo PgTableInfo::Load(PgConnection &connection, const QString &table, bool requireKey) {
    const PgResult found = connection.Exec(
        QStringLiteral("select c.oid, c.relname, c.relkind from pg_catalog.pg_class c "
                       "join pg_catalog.pg_namespace n on n.oid = c.relnamespace "
                       "where n.nspname = current_schema() and lower(c.relname) = lower($1) "
                       "and c.relkind in ('r', 'p', 'v', 'm', 'f') "
                       "order by c.relname = $1 desc limit 1"),
        {table});
    if (found.Rows() == 0)
        throw EProviderError(QStringLiteral("The table '%1' cannot be found.").arg(table));
    const QString kind = found.Value(0, 2).toString();
    if (kind != QLatin1String("r") && kind != QLatin1String("p"))
        throw EProviderError(
            QStringLiteral("'%1' is not a table the program can open.").arg(table));
    PgTableInfo info;
    PgTableColumns catalogue;
    const unsigned oid = unsigned(found.Value(0, 0).toLongLong());
    info.columns_ = catalogue.Get(connection, oid);

    const PgResult key =
        connection.Exec(QStringLiteral("select a.attname, t.typname, coalesce(b.typname, '') "
                                       "from pg_catalog.pg_index i "
                                       "join pg_catalog.pg_attribute a on a.attrelid = i.indrelid "
                                       "and a.attnum = any(i.indkey) "
                                       "join pg_catalog.pg_type t on t.oid = a.atttypid "
                                       "left join pg_catalog.pg_type b on b.oid = t.typbasetype "
                                       "where i.indrelid = $1 and i.indisprimary"),
                        {qint64(oid)});
    if (key.Rows() == 1) {
        const QString type = key.Value(0, 2).toString().isEmpty() ? key.Value(0, 1).toString()
                                                                  : key.Value(0, 2).toString();
        if (type == QLatin1String("int8") || type == QLatin1String("int4") ||
            type == QLatin1String("int2"))
            info.key_ = key.Value(0, 0).toString();
    }
    if (requireKey && info.key_.isEmpty())
        throw EProviderError(QStringLiteral("The table '%1' has no primary key of one integer "
                                            "column; it cannot be opened as a table.")
                                 .arg(info.Name()));
    return info;
}

int PgTableInfo::ColumnIndex(const QString &column) const {
    int found = -1;
    for (int i = 0; i < columns_.columns.size(); ++i) {
        const QString &name = columns_.columns[i].name;
        if (name == column)
            return i;
        if (found < 0 && name.compare(column, Qt::CaseInsensitive) == 0)
            found = i;
    }
    return found;
}

std::optional<QVector<PgTableInfo::IndexColumn>>
PgTableInfo::IndexColumns(PgConnection &connection, const QString &index) const {
    const PgResult found = connection.Exec(
        QStringLiteral("select ic.oid, ic.relname, am.amname from pg_catalog.pg_index i "
                       "join pg_catalog.pg_class ic on ic.oid = i.indexrelid "
                       "join pg_catalog.pg_am am on am.oid = ic.relam "
                       "where i.indrelid = $1 and lower(ic.relname) = lower($2) "
                       "order by ic.relname = $2 desc limit 1"),
        {qint64(Oid()), index});
    if (found.Rows() == 0)
        return std::nullopt;
    if (found.Value(0, 2).toString() != QLatin1String("btree"))
        throw EProviderError(QStringLiteral("The index '%1' keeps no order of the rows; a table "
                                            "cannot be opened in its order.")
                                 .arg(found.Value(0, 1).toString()));
    // indoption: bit 1 descending, bit 2 nulls first; both and indcollation
    // cover the key columns only, which come first in indkey.
    const PgResult columns = connection.Exec(
        QStringLiteral(
            "select k.attnum, coalesce(a.attname, ''), (k.opt & 1) <> 0, (k.opt & 2) <> 0, "
            "case when k.coll <> 0 and k.coll <> a.attcollation then "
            "quote_ident(cn.nspname) || '.' || quote_ident(co.collname) else '' end "
            "from pg_catalog.pg_index i, "
            "unnest(i.indkey::int2[], i.indoption::int2[], i.indcollation::oid[]) "
            "with ordinality as k(attnum, opt, coll, n) "
            "left join pg_catalog.pg_attribute a on a.attrelid = $2 and a.attnum = k.attnum "
            "left join pg_catalog.pg_collation co on co.oid = k.coll "
            "left join pg_catalog.pg_namespace cn on cn.oid = co.collnamespace "
            "where i.indexrelid = $1 and k.n <= i.indnkeyatts order by k.n"),
        {found.Value(0, 0), qint64(Oid())});
    QVector<IndexColumn> result;
    for (int row = 0; row < columns.Rows(); ++row) {
        IndexColumn column;
        if (columns.Value(row, 0).toLongLong() != 0)
            column.column = columns.Value(row, 1).toString();
        column.descending = columns.Value(row, 2).toLongLong() != 0;
        column.nullsFirst = columns.Value(row, 3).toLongLong() != 0;
        column.collation = columns.Value(row, 4).toString();
        result << column;
    }
    return result;
}
