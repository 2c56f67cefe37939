#include "data/SqliteDialect.h"

#include "data/DateTimeValue.h"

#include <QVector>
#include <cmath>

namespace {

enum class Kind { Blank, Word, DoubleQuoted, SingleQuoted, Bracketed, BackQuoted, Symbol };

struct Token {
    Kind kind;
    QString raw;   // the text as written
    QString value; // the content of a literal or bracketed name
    bool closed = true;
};

bool IsWordChar(QChar c) {
    return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('$') ||
           c.unicode() > 127;
}

// Reads a quoted run starting at `start` (the opening quote), where a doubled
// closing quote stands for one (when `doubled` is set). Returns the position
// after the run; `token` gets the content and whether it was closed.
int ReadQuoted(const QString &text, int start, QChar close, bool doubled, Token &token) {
    int i = start + 1;
    while (i < text.size()) {
        const QChar c = text[i];
        if (c == close) {
            if (doubled && i + 1 < text.size() && text[i + 1] == close) {
                token.value += close;
                i += 2;
                continue;
            }
            token.raw = text.mid(start, i + 1 - start);
            return i + 1;
        }
        token.value += c;
        ++i;
    }
    token.closed = false;
    token.raw = text.mid(start);
    return int(text.size());
}

QVector<Token> Tokenize(const QString &text) {
    QVector<Token> tokens;
    int i = 0;
    const int n = int(text.size());
    while (i < n) {
        const QChar c = text[i];
        const QChar next = i + 1 < n ? text[i + 1] : QChar();
        Token token{Kind::Symbol, QString(), QString()};
        int end = i + 1;
        if (c.isSpace()) {
            token.kind = Kind::Blank;
            while (end < n && text[end].isSpace())
                ++end;
        } else if (c == QLatin1Char('-') && next == QLatin1Char('-')) {
            token.kind = Kind::Blank;
            end = text.indexOf(QLatin1Char('\n'), i);
            end = end < 0 ? n : end;
        } else if (c == QLatin1Char('/') && next == QLatin1Char('*')) {
            token.kind = Kind::Blank;
            end = text.indexOf(QLatin1String("*/"), i + 2);
            end = end < 0 ? n : end + 2;
        } else if (c == QLatin1Char('"')) {
            token.kind = Kind::DoubleQuoted;
            end = ReadQuoted(text, i, c, true, token);
        } else if (c == QLatin1Char('\'')) {
            token.kind = Kind::SingleQuoted;
            end = ReadQuoted(text, i, c, true, token);
        } else if (c == QLatin1Char('`')) {
            token.kind = Kind::BackQuoted;
            end = ReadQuoted(text, i, c, true, token);
        } else if (c == QLatin1Char('[')) {
            token.kind = Kind::Bracketed;
            end = ReadQuoted(text, i, QLatin1Char(']'), false, token);
        } else if (IsWordChar(c)) {
            token.kind = Kind::Word;
            while (end < n && IsWordChar(text[end]))
                ++end;
        } else {
            static const QStringList pairs = {QStringLiteral("<="), QStringLiteral(">="),
                                              QStringLiteral("<>"), QStringLiteral("!="),
                                              QStringLiteral("=="), QStringLiteral("||"),
                                              QStringLiteral("<<"), QStringLiteral(">>")};
            if (pairs.contains(text.mid(i, 2)))
                end = i + 2;
        }
        if (token.raw.isEmpty())
            token.raw = text.mid(i, end - i);
        tokens << token;
        i = end;
    }
    return tokens;
}

QString Translated(const Token &token) {
    if (token.closed && token.kind == Kind::DoubleQuoted)
        return SqliteDialect::QuoteLiteral(token.value);
    if (token.closed && token.kind == Kind::Bracketed)
        return SqliteDialect::QuoteIdentifier(token.value);
    return token.raw;
}

bool IsWord(const Token &token, const char *word) {
    return token.kind == Kind::Word &&
           token.raw.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
}

bool IsWordIn(const Token &token, std::initializer_list<const char *> words) {
    for (const char *word : words) {
        if (IsWord(token, word))
            return true;
    }
    return false;
}

bool IsSymbol(const Token &token, const char *symbol) {
    return token.kind == Kind::Symbol && token.raw == QLatin1String(symbol);
}

bool IsLiteral(const Token &token) {
    return token.closed && (token.kind == Kind::DoubleQuoted || token.kind == Kind::SingleQuoted);
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
    const QVector<Token> tokens = Tokenize(text);
    QVector<int> significant;
    for (int i = 0; i < tokens.size(); ++i) {
        if (tokens[i].kind != Kind::Blank)
            significant << i;
    }
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
