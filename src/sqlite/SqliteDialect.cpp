#include "sqlite/SqliteDialect.h"

#include "data/DateTimeValue.h"
#include "data/DialectTokenizer.h"

#include <QVector>
#include <cmath>

namespace {

using Kind = DialectTokenizer::Kind;
using Token = DialectTokenizer::Token;

QString Translated(const Token &token) {
    if (token.closed && token.kind == Kind::DoubleQuoted)
        return SqliteDialect::QuoteLiteral(token.value);
    if (token.closed && token.kind == Kind::Bracketed)
        return SqliteDialect::QuoteIdentifier(token.value);
    return token.raw;
}

bool IsWord(const Token &token, const char *word) {
    return token.IsWord(word);
}

bool IsWordIn(const Token &token, std::initializer_list<const char *> words) {
    for (const char *word : words) {
        if (IsWord(token, word))
            return true;
    }
    return false;
}

bool IsSymbol(const Token &token, const char *symbol) {
    return token.IsSymbol(symbol);
}

bool IsLiteral(const Token &token) {
    return token.IsLiteral();
}

bool IsName(const Token &token) {
    if (token.kind == Kind::Bracketed)
        return token.closed;
    return token.kind == Kind::Word && !token.raw.at(0).isDigit();
}

// Finds the call-back day test among the significant tokens.
class DayPattern {
public:
    DayPattern(const QVector<Token> &tokens, const QVector<int> &significant)
        : tokens_(tokens), sig_(significant) {}

    struct Match {
        int first = 0; // significant positions of the whole test
        int last = 0;
        int columnFirst = 0; // token indexes of the column
        int columnLast = 0;
        QString dayText;
    };

    bool MatchAt(int p, Match &match) const {
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
    bool LiteralAt(int p) const { return Has(p) && IsLiteral(At(p)); }
    bool IsEquals(int p) const { return Has(p) && (IsSymbol(At(p), "=") || IsSymbol(At(p), "==")); }

    // Format ( column , "Short Date" ) starting at p; `end` is its last position.
    bool MatchFormat(int p, Match &match, int &end) const {
        if (!Has(p + 5) || !IsWord(At(p), "format") || !IsSymbol(At(p + 1), "(") ||
            !IsName(At(p + 2)))
            return false;
        int q = p + 2;
        if (Has(q + 2) && IsSymbol(At(q + 1), ".") && IsName(At(q + 2)))
            q += 2;
        if (!Has(q + 3) || !IsSymbol(At(q + 1), ",") || !LiteralAt(q + 2) ||
            At(q + 2).value.trimmed().compare(QLatin1String("Short Date"), Qt::CaseInsensitive) !=
                0 ||
            !IsSymbol(At(q + 3), ")"))
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
        if (IsSymbol(before, "(") || IsSymbol(before, ",") || IsSymbol(before, ";"))
            return true;
        if (IsWordIn(before, {"where", "or", "not", "on", "when", "then", "else", "having",
                              "select", "distinct", "all"}))
            return true;
        if (!IsWord(before, "and"))
            return false;
        // "x BETWEEN a AND <test>" would take the test's left operand as its
        // upper bound.
        int depth = 0;
        for (int k = p - 2; Has(k); --k) {
            const Token &token = At(k);
            if (IsSymbol(token, ")"))
                ++depth;
            else if (IsSymbol(token, "(") && depth-- == 0)
                return true;
            else if (depth == 0 && IsWord(token, "between"))
                return false;
            else if (depth == 0 && (IsWordIn(token, {"and", "or", "where", "on", "having", "when",
                                                     "then", "else", "select"}) ||
                                    IsSymbol(token, ",") || IsSymbol(token, ";")))
                return true;
        }
        return true;
    }

    bool FreeAfter(int p) const {
        if (!Has(p + 1))
            return true;
        const Token &after = At(p + 1);
        return IsSymbol(after, ")") || IsSymbol(after, ",") || IsSymbol(after, ";") ||
               IsWordIn(after,
                        {"and", "or", "order", "group", "having", "limit", "union", "except",
                         "intersect", "then", "else", "end", "when", "from", "as", "window"});
    }

    const QVector<Token> &tokens_;
    const QVector<int> &sig_;
};

} // namespace

QString SqliteDialect::Translate(const QString &text) {
    const QVector<Token> tokens = DialectTokenizer::Tokenize(text);
    const QVector<int> significant = DialectTokenizer::Significant(tokens);
    const DayPattern pattern(tokens, significant);
    QString result;
    result.reserve(text.size() + 16);
    int next = 0; // the next token to copy
    for (int p = 0; p < significant.size(); ++p) {
        DayPattern::Match match;
        if (!pattern.MatchAt(p, match))
            continue;
        for (; next < significant[match.first]; ++next)
            result += Translated(tokens[next]);
        QString column;
        for (int k = match.columnFirst; k <= match.columnLast; ++k)
            column += Translated(tokens[k]);
        result += DayCondition(column, match.dayText);
        next = significant[match.last] + 1;
        p = match.last;
    }
    for (; next < tokens.size(); ++next)
        result += Translated(tokens[next]);
    return result;
}

QString SqliteDialect::QuoteIdentifier(const QString &name) {
    QString quoted = name;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString SqliteDialect::QuoteLiteral(const QString &text) {
    QString quoted = text;
    quoted.replace(QLatin1Char('\''), QLatin1String("''"));
    // The engine reads a statement only up to a NUL character, so a NUL
    // inside a literal is spelled as char(0).
    if (quoted.contains(QChar(0)))
        return QStringLiteral("('") + quoted.replace(QChar(0), QLatin1String("' || char(0) || '")) +
               QStringLiteral("')");
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

QString SqliteDialect::DayCondition(const QString &column, const QString &dayText) {
    const std::optional<double> parsed = DateTimeValue::Parse(dayText);
    // Only a text the short date format would produce can ever be equal.
    if (!parsed || *parsed != std::trunc(*parsed) ||
        DateTimeValue::ShortDateText(*parsed) != dayText)
        return QStringLiteral("(CASE WHEN %1 IS NULL THEN NULL ELSE 0 END)").arg(column);
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
