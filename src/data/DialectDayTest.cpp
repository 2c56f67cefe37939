#include "data/DialectDayTest.h"

#include "data/DateTimeValue.h"

#include <cmath>
#include <initializer_list>

namespace {

using Kind = DialectTokenizer::Kind;
using Token = DialectTokenizer::Token;

bool IsWordIn(const Token &token, std::initializer_list<const char *> words) {
    for (const char *word : words) {
        if (token.IsWord(word))
            return true;
    }
    return false;
}

// A column or table name of the test: a word or a closed bracketed name.
bool IsName(const Token &token) {
    if (token.kind == Kind::Bracketed)
        return token.closed;
    return token.kind == Kind::Word && !token.raw.at(0).isDigit();
}

class DayPattern {
public:
    DayPattern(const QVector<Token> &tokens, const QVector<int> &significant)
        : tokens_(tokens), sig_(significant) {}

    bool MatchAt(int p, DialectDayTest::Match &match) const {
        int formatEnd = 0;
        if (MatchFormat(p, match, formatEnd) && IsEquals(formatEnd + 1) &&
            LiteralAt(formatEnd + 2)) {
            match.first = p;
            match.last = formatEnd + 2;
            match.dayText = At(formatEnd + 2).value;
        } else if (LiteralAt(p) && IsEquals(p + 1) && MatchFormat(p + 2, match, formatEnd)) {
            match.first = p;
            match.last = formatEnd;
            match.dayText = At(p).value;
        } else {
            return false;
        }
        return FreeBefore(match.first) && FreeAfter(match.last);
    }

private:
    bool Has(int p) const { return p >= 0 && p < sig_.size(); }
    const Token &At(int p) const { return tokens_[sig_[p]]; }
    bool LiteralAt(int p) const { return Has(p) && At(p).IsLiteral(); }
    bool IsEquals(int p) const { return Has(p) && (At(p).IsSymbol("=") || At(p).IsSymbol("==")); }

    // Format ( column , "Short Date" ) starting at p; `end` is its last position.
    bool MatchFormat(int p, DialectDayTest::Match &match, int &end) const {
        if (!Has(p + 5) || !At(p).IsWord("format") || !At(p + 1).IsSymbol("(") ||
            !IsName(At(p + 2)))
            return false;
        int q = p + 2;
        if (Has(q + 2) && At(q + 1).IsSymbol(".") && IsName(At(q + 2)))
            q += 2;
        if (!Has(q + 3) || !At(q + 1).IsSymbol(",") || !LiteralAt(q + 2) ||
            At(q + 2).value.trimmed().compare(QLatin1String("Short Date"), Qt::CaseInsensitive) !=
                0 ||
            !At(q + 3).IsSymbol(")"))
            return false;
        match.columnFirst = sig_[p + 2];
        match.columnLast = sig_[q];
        end = q + 3;
        return true;
    }

    // The operator before the test must not bind tighter than "=" does.
    bool FreeBefore(int p) const {
        if (!Has(p - 1))
            return true;
        const Token &before = At(p - 1);
        if (before.IsSymbol("(") || before.IsSymbol(",") || before.IsSymbol(";"))
            return true;
        if (IsWordIn(before, {"where", "or", "not", "on", "when", "then", "else", "having",
                              "select", "distinct", "all"}))
            return true;
        if (!before.IsWord("and"))
            return false;
        // "x BETWEEN a AND <test>" would take the test's left operand as its
        // upper bound.
        int depth = 0;
        for (int k = p - 2; Has(k); --k) {
            const Token &token = At(k);
            if (token.IsSymbol(")"))
                ++depth;
            else if (token.IsSymbol("(") && depth-- == 0)
                return true;
            else if (depth == 0 && token.IsWord("between"))
                return false;
            else if (depth == 0 && (IsWordIn(token, {"and", "or", "where", "on", "having", "when",
                                                     "then", "else", "select"}) ||
                                    token.IsSymbol(",") || token.IsSymbol(";")))
                return true;
        }
        return true;
    }

    bool FreeAfter(int p) const {
        if (!Has(p + 1))
            return true;
        const Token &after = At(p + 1);
        return after.IsSymbol(")") || after.IsSymbol(",") || after.IsSymbol(";") ||
               IsWordIn(after,
                        {"and", "or", "order", "group", "having", "limit", "union", "except",
                         "intersect", "then", "else", "end", "when", "from", "as", "window"});
    }

    const QVector<Token> &tokens_;
    const QVector<int> &sig_;
};

} // namespace

bool DialectDayTest::MatchAt(const QVector<DialectTokenizer::Token> &tokens,
                             const QVector<int> &significant, int p, Match &match) {
    return DayPattern(tokens, significant).MatchAt(p, match);
}

QString DialectDayTest::Condition(const QString &column, const QString &dayText,
                                  const QString &falseValue) {
    const std::optional<double> parsed = DateTimeValue::Parse(dayText);
    // Only a text the short date format would produce can ever be equal.
    if (!parsed || *parsed != std::trunc(*parsed) ||
        DateTimeValue::ShortDateText(*parsed) != dayText)
        return QStringLiteral("(CASE WHEN %1 IS NULL THEN NULL ELSE %2 END)")
            .arg(column, falseValue);
    const qint64 day = qint64(*parsed);
    // The day of a value is its whole part, counted towards zero, so day 0
    // also takes the values just below it and earlier days reach down.
    if (day > 0)
        return QStringLiteral("(%1 >= %2 AND %1 < %3)")
            .arg(column, QString::number(day), QString::number(day + 1));
    if (day == 0)
        return QStringLiteral("(%1 > -1 AND %1 < 1)").arg(column);
    return QStringLiteral("(%1 > %2 AND %1 <= %3)")
        .arg(column, QString::number(day - 1), QString::number(day));
}
