#pragma once

#include <QString>
#include <QVector>

// Splits a statement of the program's dialect (see SqliteDialect) into
// tokens that keep their text as written, so that the tokens joined give the
// statement back unchanged. The engine's SQL splits the same way, with a
// double-quoted token being a name there instead of a literal.
class DialectTokenizer {
public:
    enum class Kind { Blank, Word, DoubleQuoted, SingleQuoted, Bracketed, BackQuoted, Symbol };

    struct Token {
        Kind kind = Kind::Symbol;
        QString raw;   // the text as written
        QString value; // the content of a quoted token, quotes undoubled
        bool closed = true;

        bool IsWord(const char *word) const;
        bool IsSymbol(const char *symbol) const;
        // A name: a word not starting with a digit, or a closed bracketed or
        // back-quoted name.
        bool IsName() const;
        // The name a name token stands for (a word as written, a quoted name
        // without its quotes).
        QString Name() const;
        bool IsLiteral() const;
    };

    // Blanks are white space and comments; a quoted token that is not closed
    // runs to the end of the text.
    static QVector<Token> Tokenize(const QString &text);
    // The positions of the tokens that are not blanks.
    static QVector<int> Significant(const QVector<Token> &tokens);
};
