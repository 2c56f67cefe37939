#pragma once

#include <QString>
#include <QStringList>
#include <QVector>
#include <optional>

struct sqlite3;

// A trigram full-text index (an FTS5 table with the trigram tokenizer) that
// can narrow a case-insensitive substring search on the table it indexes.
//
// An index qualifies only when all of this holds, since otherwise its rows
// could differ from the table's and a search served by it would miss rows:
//   - it is an external-content FTS5 table on a table of the same database
//     (content=<table>), with detail=full;
//   - its tokenizer is trigram, folding case (no option, or case_sensitive 0);
//   - the table has AFTER INSERT, AFTER DELETE and AFTER UPDATE triggers
//     without WHEN that write to the index; an UPDATE OF trigger must list
//     the row id column and every indexed column.
class SqliteSearchIndex {
public:
    QString name;        // the FTS5 table
    QString table;       // the table it indexes
    QString rowidColumn; // the table's column that is the index's rowid
    QStringList columns; // the indexed columns (UNINDEXED ones left out)

    // The qualifying indexes of the main database of `db`.
    // EProviderError when the schema cannot be read.
    static QVector<SqliteSearchIndex> Find(sqlite3 *db);

    // The index a CREATE VIRTUAL TABLE statement declares, when it is a
    // trigram index of the kind above (the triggers are not looked at).
    static std::optional<SqliteSearchIndex> FromDefinition(const QString &name, const QString &sql);
    // Whether the trigger statement keeps this index current for the event
    // it fires on: the events it covers ("insert", "delete", "update"), or
    // none.
    QStringList EventsKeptBy(const QString &triggerSql) const;

    bool Covers(const QString &column) const;

    // True when the index's case folding treats `c` as equal to every
    // character that TextFold treats as equal to it, so that a phrase with
    // `c` finds every text the LIKE pattern with `c` matches. The characters
    // are those of the Basic Multilingual Plane for which a test shows this
    // on the engine in use; the others (some scripts whose case pairs were
    // added to Unicode after the index's tables were made, and all
    // characters beyond the plane) must not be used in a phrase.
    static bool FoldsAlike(char32_t c);
};
