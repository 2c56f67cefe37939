#pragma once

#include "sqlite/SqliteSearchIndex.h"

#include <QString>
#include <QStringList>
#include <QVector>

// Lets a trigram index (SqliteSearchIndex) serve a substring search written
// in the program's dialect:
//
//   SELECT <list> FROM <table> [[AS] <alias>]
//   WHERE <column> LIKE <pattern> OR <column> LIKE <pattern> ...
//   [ORDER BY ... | LIMIT ...]
//
// where every pattern is the same literal and an index on the table covers
// every column. The rewritten statement reads the rows the index finds for
// the pattern's literal runs, in row id order, joined to the table, and
// keeps the original condition as the filter; so it gives exactly the rows
// of the original, only faster. "*" in the list becomes "<table>.*", so the
// columns stay the table's.
//
// Any other statement, a pattern without a literal run of three characters
// the index can be trusted with (SqliteSearchIndex::FoldsAlike), a name that
// the join would make ambiguous (rowid, oid, _rowid_ or the names the join
// introduces) and a table without such an index leave the command as it is.
class SqliteSearchRewrite {
public:
    static QString Rewrite(const QString &command, const QVector<SqliteSearchIndex> &indexes);

    // The full-text query that finds every row in which one of `columns`
    // matches the LIKE pattern (ignoring case): the pattern's runs between
    // "%" and "_" (split also at characters the index cannot be trusted
    // with) of at least three characters, each as a phrase, all required,
    // limited to `columns` when they are not all of the index's. Empty when
    // there is no such run.
    static QString MatchQuery(const QString &pattern, const QStringList &columns,
                              const SqliteSearchIndex &index);
};
