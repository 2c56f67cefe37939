#pragma once

#include "data/DialectTokenizer.h"

#include <QString>
#include <QVector>

// The call-back day test of the program's dialect,
//     Format(<column>, "Short Date") = "<day>"
// in either operand order, any letter case and spacing, with a plain,
// qualified (t.column) or bracketed column and either kind of quotes.
// Every engine turns it into a range on the stored value, which an index on
// the column serves; this finds the test among a statement's tokens and
// gives the range, so that all engines agree on which rows fall on the day.
//
// A test is only taken where the operators around it bind it as a whole
// ("a || Format(...) = ..." or "x BETWEEN 1 AND Format(...) = ..." would
// bind differently); there the engine must run Format itself or refuse.
class DialectDayTest {
public:
    struct Match {
        int first = 0; // the significant positions the whole test spans
        int last = 0;
        int columnFirst = 0; // the token indexes of the column
        int columnLast = 0;
        QString dayText; // the day's text as written
    };

    // Whether the test starts at significant position `p` (an index into
    // `significant`, the non-blank tokens of `tokens`); fills `match` if so.
    static bool MatchAt(const QVector<DialectTokenizer::Token> &tokens,
                        const QVector<int> &significant, int p, Match &match);

    // The condition that holds exactly for the values of `column` (already
    // in the engine's SQL) that fall on the calendar day of `dayText` in the
    // short date format: (column >= d AND column < d + 1) for the day's
    // value d (with the bounds moved for days before the epoch, whose times
    // count down from midnight). A text that is not a day in the short date
    // format gives a condition that is null for a null value and false for
    // every other, written with the engine's `falseValue`.
    static QString Condition(const QString &column, const QString &dayText,
                             const QString &falseValue);
};
