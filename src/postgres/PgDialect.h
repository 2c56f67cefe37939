#pragma once

#include "data/DataTypes.h"
#include "postgres/PgNames.h"

#include <QString>
#include <QVector>

// A statement of the program's dialect as the server takes it.
struct PgStatementText {
    QString sql;              // with $1, $2 ... for its parameters
    int positional = 0;       // $1..$positional are the caller's ?1..?N
    QVector<TValue> literals; // the values of $positional+1 ... in order
    // The indexes into `literals` that stand for the file engine's
    // changes(): the runner puts there, at each run, the number of rows the
    // session's last INSERT, UPDATE or DELETE changed. Null until then.
    QVector<int> changes;
};

// Turns a statement of the program's desktop-database dialect into the
// server's SQL, with exactly the meaning the file engine gives it:
// - ?N positional parameters become $N (a bare ? is one more than the
//   highest number before it); `positional` is the highest;
// - "double-quoted" literals ("" inside for one ") become parameters whose
//   values (texts) follow the positional ones, so no text is ever spliced
//   into the SQL; after AS a double-quoted text is a name;
// - [bracketed] and `back-quoted` names and bare names the database knows
//   (PgNames, any letter case) become "quoted" names in their stored
//   spelling; so do the names given after AS, wherever the statement uses
//   them; words followed by "(" are function calls and stay unquoted
//   (except a table name after INTO, TABLE, REFERENCES or ON);
// - the call-back day test Format(<column>, "Short Date") = "<day>" becomes
//   a range on the stored value (see DialectDayTest), which the call-back
//   index serves; a day text that is no short date matches no row;
// - LIKE compares as the file engine's LIKE: letter case ignored beyond
//   ASCII (simple lowercase per code point), "%" any run, "_" one
//   character, no escape character unless ESCAPE names one. It becomes
//   ILIKE with ESCAPE '' added when none is named, which the trigram
//   indexes serve. The server's lowercase differs from the file engine's
//   for one letter only: it takes "İ" (U+0130) for "i". So unless the
//   pattern is a literal without "i", "I" or "İ", the comparison is checked
//   again, where either side holds an "İ", with "İ" kept as it is. (A
//   pattern ending in its escape character matches nothing on the file
//   engine; the server refuses it.);
// - a subquery in FROM or JOIN without a name gets one ("Subquery1" ...),
//   and keeps its ORDER BY;
// - the file engine's own functions and forms the program uses: lower()
//   and upper() change ASCII letters only (COLLATE "C" on the argument);
//   ifnull() is coalesce(), instr() is strpos(); changes() is the session's
//   count (see `changes`); x IS y and x IS NOT y compare with null as a
//   value (IS [NOT] DISTINCT FROM); == is =; LIMIT with a negative count has
//   no limit; rowid is the row's place (ctid), an order only; sqlite_master
//   lists the tables, views and indexes (type, name, tbl_name, rootpage,
//   sql); BEGIN IMMEDIATE, EXCLUSIVE or DEFERRED is BEGIN;
// - comments become blanks; everything else passes unchanged.
//
// A literal or name that is not closed is passed on as it stands, so the
// server rejects the statement with its own message.
//
// Errors: EProviderError when the statement uses Format other than in the
// call-back day test (the server has no such function).
class PgDialect {
public:
    static PgStatementText Translate(const QString &text, const PgNames &names);

    // The server's quoted form of a name: "name" with " doubled.
    static QString QuoteName(const QString &name);
};
