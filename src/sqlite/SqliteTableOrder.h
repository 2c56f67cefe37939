#pragma once

#include <QString>
#include <QVector>

struct sqlite3;
class SqliteTableInfo;

// The order of a table row source's rows: the columns of an index, then the
// rowid as tie-break, or the rowid alone. Builds the statements that find
// the row next to a place in that order, so that a move reads one row by
// an index seek however large the table is.
//
// A place is given by its order values: the index columns' values, then the
// rowid (positions 0 .. KeyCount()-1 and KeyCount()). Nulls come first in
// ascending order, as the engine sorts them.
class SqliteTableOrder {
public:
    // Resolves an index name: an index of that name on the table gives its
    // columns; the name of the INTEGER PRIMARY KEY column, or an empty
    // name, gives rowid order. EProviderError for any other name, or for an
    // index on expressions.
    SqliteTableOrder(sqlite3 *db, const SqliteTableInfo &table, const QString &indexName);

    // The number of index columns before the rowid.
    int KeyCount() const { return int(terms_.size()); }
    // SELECT rowid, keys... of the first row (or of the last).
    QString EndSql(bool last) const;
    // SELECT rowid, keys... of the row after (or before) a place whose key
    // values are null where `nullKeys` says so; `binds` receives, for each
    // parameter in turn, the position of the order value it takes.
    QString StepSql(bool forward, const QVector<bool> &nullKeys, QVector<int> *binds) const;
    // SELECT keys... of the row with a given rowid.
    QString KeysSql() const;
    // SELECT rowid of the first row in this order whose column equals a
    // value (one parameter), or is null.
    QString FindSql(const QString &column, bool findNull) const;
    QString OrderBy(bool reversed) const;

private:
    struct Term {
        QString expression; // the column with the index's collation
        bool descending = false;
    };
    QString SelectList() const;

    QString table_; // quoted
    QString rowid_;
    bool rowidDescending_ = false;
    QVector<Term> terms_;
};
