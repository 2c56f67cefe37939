#pragma once

#include "postgres/PgTableColumns.h"

#include <QString>
#include <QVector>
#include <optional>

class PgConnection;

// What the engine knows of one stored table of the session's schema: its
// columns, its key and its indexes, as the table row source needs them to
// navigate and to write rows.
class PgTableInfo {
public:
    struct IndexColumn {
        QString column;    // stored spelling; empty for an indexed expression
        QString collation; // quoted collation when the index's differs from the column's
        bool descending = false;
        bool nullsFirst = false; // the index keeps nulls before the values
    };

    // Reads the description of a table (the name is matched without regard
    // to case, the exact spelling first). EProviderError "The table '<name>'
    // cannot be found." when there is none, "'<name>' is not a table the
    // program can open." for a view or the like, and "The table '<name>' has
    // no primary key of one integer column; it cannot be opened as a table."
    // when `requireKey` and it has none (a table row source's bookmark is
    // that key).
    static PgTableInfo Load(PgConnection &connection, const QString &table, bool requireKey = true);

    unsigned Oid() const { return columns_.oid; }
    const QString &Name() const { return columns_.name; }
    const PgTableColumns::Table &Table() const { return columns_; }
    // The one-column integer primary key (stored spelling); empty when none.
    const QString &Key() const { return key_; }
    // The position of a column (without regard to case, the exact spelling
    // first), or -1.
    int ColumnIndex(const QString &column) const;
    // The key columns of the table's ordered (btree) index of that name
    // (without regard to case), or nothing when the table has no such
    // index. EProviderError for an index that keeps no order (a trigram
    // index) or when the catalogue cannot be read.
    std::optional<QVector<IndexColumn>> IndexColumns(PgConnection &connection,
                                                     const QString &index) const;

private:
    PgTableColumns::Table columns_;
    QString key_;
};
