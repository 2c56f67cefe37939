#pragma once

#include <QString>

// The program writes its statements in a desktop-database dialect; this
// turns them into the engine's SQL before they are prepared:
//
// - "double-quoted" texts are string literals (a doubled "" inside stands
//   for one "); they become 'single-quoted' literals with ' doubled;
// - [bracketed] names become "quoted" identifiers;
// - the call-back day test Format(<column>, "Short Date") = "<day>" (in
//   either operand order, any letter case and spacing) becomes a range on
//   the stored value, (<column> >= d AND <column> < d + 1) for the day's
//   value d, which an index on the column serves. A text that is not a
//   day in the short date format gives a condition that holds for no row.
//   Where the surrounding operators would bind the test differently, it is
//   left to the Format function, which gives the same result more slowly;
// - single-quoted literals, `back-quoted` names, comments and everything
//   else pass unchanged.
//
// A literal or name that is not closed is passed on as it stands, so the
// engine rejects the statement with its own message; nothing is repaired.
class SqliteDialect {
public:
    static QString Translate(const QString &text);

    // The engine's quoted form of a name: "name" with " doubled.
    static QString QuoteIdentifier(const QString &name);
    // The engine's literal for a text: 'text' with ' doubled.
    static QString QuoteLiteral(const QString &text);
    // The condition that holds exactly for the values of `column` that fall
    // on the calendar day of the text in the short date format.
    static QString DayCondition(const QString &column, const QString &dayText);
};
