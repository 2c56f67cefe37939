#pragma once

#include "data/ColumnInfo.h"

#include <QHash>
#include <QString>
#include <QVector>

class PgConnection;

// The stored columns of tables (and views), read from the server's
// catalogue once per table and kept for the life of this object: the small
// cache row sources keep beside their session so that describing a result
// costs no catalogue query for a table already seen.
//
// Not thread-safe; each row source keeps its own.
class PgTableColumns {
public:
    struct Column {
        QString name;     // stored spelling
        int number = 0;   // attnum
        TColumnInfo info; // name, type code, size, autoIncrement; updatable as a
                          // table row source sees it: not auto-increment, not generated
        bool generated = false;
    };
    struct Table {
        unsigned oid = 0;
        QString name;            // stored spelling
        QVector<Column> columns; // in the table's column order, dropped ones left out
        // The column with that number, or null.
        const Column *ColumnNumbered(int number) const;
    };

    // Reads the tables of `oids` not yet known, all in one query (oids 0 and
    // repeats are ignored). A table that does not exist (any more) is known
    // as one without columns. EProviderError when the query fails.
    void Load(PgConnection &connection, const QVector<unsigned> &oids);
    // The table of that oid when loaded, else null.
    const Table *Find(unsigned oid) const;
    // Load, then Find.
    const Table &Get(PgConnection &connection, unsigned oid);

private:
    QHash<unsigned, Table> tables_;
};
