#include "postgres/PgQueryText.h"

#include "data/DatabaseErrors.h"
#include "data/DialectTokenizer.h"

using Kind = DialectTokenizer::Kind;

QStringList PgQueryText::Statements(const QString &text) {
    const QVector<DialectTokenizer::Token> tokens = DialectTokenizer::Tokenize(text);
    QStringList statements;
    QString current;
    bool significant = false;
    bool dollarQuoted = false;
    for (const DialectTokenizer::Token &token : tokens) {
        if (token.IsSymbol(";")) {
            if (significant)
                statements << current;
            current.clear();
            significant = false;
            continue;
        }
        current += token.raw;
        if (token.kind != Kind::Blank)
            significant = true;
        if (token.kind == Kind::Word && token.raw.contains(QLatin1Char('$')))
            dollarQuoted = true;
    }
    if (significant)
        statements << current;
    if (statements.size() > 1 && dollarQuoted)
        throw EProviderError(
            QStringLiteral("The command holds several statements and a dollar-quoted text; "
                           "run each statement on its own."));
    return statements;
}

bool PgQueryText::IsCursorQuery(const QString &sql) {
    const QVector<DialectTokenizer::Token> tokens = DialectTokenizer::Tokenize(sql);
    const QVector<int> significant = DialectTokenizer::Significant(tokens);
    if (significant.isEmpty())
        return false;
    const DialectTokenizer::Token &first = tokens[significant.first()];
    if (!first.IsWord("select") && !first.IsWord("with") && !first.IsWord("values") &&
        !first.IsWord("table") && !first.IsSymbol("("))
        return false;
    // A cursor reads in a read-only transaction: a query that writes or
    // locks rows runs on its own instead.
    for (int i = 0; i < significant.size(); ++i) {
        const DialectTokenizer::Token &token = tokens[significant[i]];
        if (token.IsWord("insert") || token.IsWord("update") || token.IsWord("delete") ||
            token.IsWord("merge"))
            return false;
        if (token.IsWord("for") && i + 1 < significant.size()) {
            const DialectTokenizer::Token &next = tokens[significant[i + 1]];
            if (next.IsWord("share") || next.IsWord("no") || next.IsWord("key"))
                return false;
        }
    }
    return true;
}

int PgQueryText::TableMentions(const QString &sql, const QString &table) {
    const QVector<DialectTokenizer::Token> tokens = DialectTokenizer::Tokenize(sql);
    const QVector<int> significant = DialectTokenizer::Significant(tokens);
    const bool foldsToIt = table == table.toLower();
    int count = 0;
    for (int i = 0; i < significant.size(); ++i) {
        const DialectTokenizer::Token &token = tokens[significant[i]];
        const bool named =
            (token.kind == Kind::DoubleQuoted && token.closed && token.value == table) ||
            (foldsToIt && token.kind == Kind::Word &&
             token.raw.compare(table, Qt::CaseInsensitive) == 0);
        if (!named)
            continue;
        // A qualifier stands before a dot. Anything else counts, a name after
        // a dot too: a schema-qualified table, or a column spelt like the
        // table, which can only make the result less writable.
        if (i + 1 < significant.size() && tokens[significant[i + 1]].IsSymbol("."))
            continue;
        ++count;
    }
    return count;
}
