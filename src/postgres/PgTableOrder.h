#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

class PgConnection;
class PgTableInfo;

// The order of a table row source's rows: the key columns of an index, then
// the table's integer primary key as tie-break, or the key alone. Builds
// the statements that find the rows next to a place in that order, so that
// a move reads one row by an index seek however large the table is.
//
// A place is given by its order values: the index columns' values, then the
// key (positions 0 .. KeyCount()-1 and KeyCount()). Each index column keeps
// the index's own direction and place of nulls (the server's default: nulls
// after the values in ascending order, before them in descending order), so
// that the index serves the ORDER BY.
class PgTableOrder {
public:
    // Resolves an index name: a btree index of that name on the table gives
    // its columns; the name of the key column, or an empty name, gives key
    // order. EProviderError "The index '<name>' cannot be found on table
    // '<table>'." for any other name, and a refusal for an index on
    // expressions or one that keeps no order.
    PgTableOrder(PgConnection &connection, const PgTableInfo &table, const QString &indexName);

    // The number of index columns before the key.
    int KeyCount() const { return int(terms_.size()); }
    // The stored column of each index column, in order.
    QStringList TermColumns() const;

    // Each statement selects the key, then the index columns, then the
    // `extra` expressions, of at most `limit` rows in the order (or the
    // reverse order), only rows for which `filter` holds when one is given
    // (it may use no parameters).
    //
    // The first rows (or the last).
    QString EndSql(bool last, int limit = 1, const QStringList &extra = {},
                   const QString &filter = QString()) const;
    // The rows after (or before) a place whose order values are null where
    // `nullKeys` says so; `binds` receives, for each parameter $1, $2 ... in
    // turn, the position of the order value it takes.
    QString StepSql(bool forward, const QVector<bool> &nullKeys, QVector<int> *binds, int limit = 1,
                    const QStringList &extra = {}, const QString &filter = QString()) const;
    // SELECT the index columns of the row with a given key ($1); the key
    // itself when the order has no index columns.
    QString KeysSql() const;
    // The ORDER BY list, in the order or reversed.
    QString OrderBy(bool reversed) const;
    const QString &Table() const { return table_; } // quoted
    const QString &Key() const { return key_; }     // quoted

private:
    struct Term {
        QString column;     // stored spelling
        QString expression; // the quoted column with the index's collation
        bool descending = false;
        bool nullsFirst = false;
    };
    QString SelectList(const QStringList &extra) const;
    QString Select(const QString &where, bool reversed, int limit, const QStringList &extra) const;

    QString table_;
    QString key_;
    bool keyDescending_ = false;
    QVector<Term> terms_;
};
