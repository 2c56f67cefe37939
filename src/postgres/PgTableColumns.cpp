#include "postgres/PgTableColumns.h"

#include "postgres/PgColumnType.h"
#include "postgres/PgConnection.h"

#include <QStringList>

const PgTableColumns::Column *PgTableColumns::Table::ColumnNumbered(int number) const {
    for (const Column &column : columns) {
        if (column.number == number)
            return &column;
    }
    return nullptr;
}

void PgTableColumns::Load(PgConnection &connection, const QVector<unsigned> &oids) {
    QStringList missing;
    for (unsigned oid : oids) {
        const QString text = QString::number(oid);
        if (oid != 0 && !tables_.contains(oid) && !missing.contains(text))
            missing << text;
    }
    if (missing.isEmpty())
        return;
    // A domain's size is its own modifier; a column of plain type has it on
    // the attribute. A column counts as filled by the server when it is an
    // identity or takes its default from a sequence (serial).
    const PgResult rows = connection.Exec(
        QStringLiteral(
            "select c.oid, c.relname, a.attnum, a.attname, t.typname, coalesce(b.typname, ''), "
            "case when t.typtype = 'd' then t.typtypmod else a.atttypmod end, "
            "coalesce(a.attidentity <> '' or "
            "pg_catalog.pg_get_expr(d.adbin, d.adrelid) like 'nextval(%', false), "
            "coalesce(a.attgenerated <> '', false) "
            "from pg_catalog.pg_class c "
            "left join pg_catalog.pg_attribute a on a.attrelid = c.oid and a.attnum > 0 "
            "and not a.attisdropped "
            "left join pg_catalog.pg_type t on t.oid = a.atttypid "
            "left join pg_catalog.pg_type b on b.oid = t.typbasetype and t.typtype = 'd' "
            "left join pg_catalog.pg_attrdef d on d.adrelid = a.attrelid and d.adnum = a.attnum "
            "where c.oid = any($1::oid[]) order by c.oid, a.attnum"),
        {QStringLiteral("{%1}").arg(missing.join(QLatin1Char(',')))});
    QHash<unsigned, Table> loaded;
    for (const QString &text : std::as_const(missing))
        loaded.insert(text.toUInt(), Table{text.toUInt(), QString(), {}});
    for (int row = 0; row < rows.Rows(); ++row) {
        Table &table = loaded[unsigned(rows.Value(row, 0).toLongLong())];
        table.name = rows.Value(row, 1).toString();
        if (rows.IsNull(row, 2))
            continue; // a table without columns
        Column column;
        column.number = int(rows.Value(row, 2).toLongLong());
        column.name = rows.Value(row, 3).toString();
        const PgColumnType::Mapping mapping =
            PgColumnType::FromCatalog(rows.Value(row, 4).toString(), rows.Value(row, 5).toString(),
                                      int(rows.Value(row, 6).toLongLong()));
        column.info.name = column.name;
        column.info.typeCode = mapping.code;
        column.info.size = mapping.size;
        column.info.autoIncrement = rows.Value(row, 7).toLongLong() != 0;
        column.generated = rows.Value(row, 8).toLongLong() != 0;
        column.info.updatable = !column.info.autoIncrement && !column.generated;
        table.columns << column;
    }
    for (auto it = loaded.cbegin(); it != loaded.cend(); ++it)
        tables_.insert(it.key(), it.value());
}

const PgTableColumns::Table *PgTableColumns::Find(unsigned oid) const {
    const auto it = tables_.constFind(oid);
    return it == tables_.cend() ? nullptr : &it.value();
}

const PgTableColumns::Table &PgTableColumns::Get(PgConnection &connection, unsigned oid) {
    Load(connection, {oid});
    return tables_[oid];
}
