#include "sqlite/SqliteDialect.h"

#include "data/DialectDayTest.h"
#include "data/DialectTokenizer.h"

#include <QVector>

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

} // namespace

QString SqliteDialect::Translate(const QString &text) {
    const QVector<Token> tokens = DialectTokenizer::Tokenize(text);
    const QVector<int> significant = DialectTokenizer::Significant(tokens);
    QString result;
    result.reserve(text.size() + 16);
    int next = 0; // the next token to copy
    for (int p = 0; p < significant.size(); ++p) {
        DialectDayTest::Match match;
        if (!DialectDayTest::MatchAt(tokens, significant, p, match))
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
    return DialectDayTest::Condition(column, dayText, QStringLiteral("0"));
}
