#include "data/DialectTokenizer.h"

#include <QStringList>

namespace {

using Token = DialectTokenizer::Token;
using Kind = DialectTokenizer::Kind;

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

} // namespace

bool DialectTokenizer::Token::IsWord(const char *word) const {
    return kind == Kind::Word && raw.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
}

bool DialectTokenizer::Token::IsSymbol(const char *symbol) const {
    return kind == Kind::Symbol && raw == QLatin1String(symbol);
}

bool DialectTokenizer::Token::IsName() const {
    if (kind == Kind::Bracketed || kind == Kind::BackQuoted)
        return closed;
    return kind == Kind::Word && !raw.at(0).isDigit();
}

QString DialectTokenizer::Token::Name() const {
    return kind == Kind::Word ? raw : value;
}

bool DialectTokenizer::Token::IsLiteral() const {
    return closed && (kind == Kind::DoubleQuoted || kind == Kind::SingleQuoted);
}

QVector<Token> DialectTokenizer::Tokenize(const QString &text) {
    QVector<Token> tokens;
    int i = 0;
    const int n = int(text.size());
    while (i < n) {
        const QChar c = text[i];
        const QChar next = i + 1 < n ? text[i + 1] : QChar();
        Token token;
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

QVector<int> DialectTokenizer::Significant(const QVector<Token> &tokens) {
    QVector<int> significant;
    for (int i = 0; i < tokens.size(); ++i) {
        if (tokens[i].kind != Kind::Blank)
            significant << i;
    }
    return significant;
}
