#pragma once

#include <QString>
#include <QStringList>
#include <QVector>
#include <optional>

struct sqlite3;

// What the engine knows of one stored table: its columns, its keys and its
// indexes, as the row sources need them to navigate and to write rows.
class SqliteTableInfo {
public:
    struct IndexColumn {
        QString column;    // empty for an indexed expression
        QString collation; // the collating sequence of the index column
        bool descending = false;
    };

    // Reads the description of a table of the main database (the name is
    // matched without regard to case). EProviderError when there is none.
    static SqliteTableInfo Load(sqlite3 *db, const QString &table);

    const QString &Name() const { return name_; }
    bool HasRowid() const { return !rowidName_.isEmpty(); }
    // A name that reaches the rowid ("rowid", or another spelling when a
    // column is called so); empty for a table without rowid.
    const QString &RowidName() const { return rowidName_; }
    // The INTEGER PRIMARY KEY column, which is the rowid; empty when none.
    const QString &RowidAlias() const { return rowidAlias_; }
    // The primary key when it is one column (the rowid alias included).
    const QString &PrimaryKey() const { return primaryKey_; }
    const QStringList &Columns() const { return columns_; }
    // The position of a column (without regard to case), or -1.
    int ColumnIndex(const QString &column) const;
    // True for generated columns, which cannot be written.
    bool IsGenerated(const QString &column) const;
    // The columns of the table's index of that name (without regard to
    // case), or nothing when the table has no such index.
    std::optional<QVector<IndexColumn>> IndexColumns(sqlite3 *db, const QString &index) const;

private:
    QString name_;
    QString rowidName_;
    QString rowidAlias_;
    QString primaryKey_;
    QStringList columns_;
    QStringList generated_;
};
