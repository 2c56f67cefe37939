#include "postgres/PgNames.h"

#include "postgres/PgConnection.h"

PgNames PgNames::Load(PgConnection &connection) {
    PgNames names;
    const PgResult rows = connection.Exec(QStringLiteral(
        "select c.relname, a.attname from pg_catalog.pg_class c "
        "join pg_catalog.pg_namespace n on n.oid = c.relnamespace "
        "left join pg_catalog.pg_attribute a on a.attrelid = c.oid and a.attnum > 0 "
        "and not a.attisdropped "
        "where n.nspname = current_schema() and c.relkind in ('r', 'v', 'm', 'p', 'i')"));
    for (int row = 0; row < rows.Rows(); ++row) {
        names.Add(rows.Value(row, 0).toString());
        if (!rows.IsNull(row, 1))
            names.Add(rows.Value(row, 1).toString());
    }
    return names;
}
