#include "sqlite/SqliteSearchIndex.h"

#include "data/DialectTokenizer.h"
#include "sqlite/SqliteStatement.h"

#include <QMultiHash>
#include <algorithm>
#include <iterator>

namespace {

using Token = DialectTokenizer::Token;
using Kind = DialectTokenizer::Kind;

struct CodeRange {
    char32_t first;
    char32_t last;
};

// The characters of the Basic Multilingual Plane on which the trigram
// tokenizer's case folding agrees with TextFold (see FoldsAlike); the gaps
// are the surrogates and the case pairs the tokenizer does not fold.
constexpr CodeRange kFoldsAlike[] = {
    {0x0001, 0x025B}, {0x025D, 0x0260}, {0x0262, 0x0269}, {0x026B, 0x026B}, {0x026D, 0x0281},
    {0x0283, 0x0286}, {0x0288, 0x029C}, {0x029F, 0x037E}, {0x0380, 0x03F2}, {0x03F4, 0x0527},
    {0x0530, 0x10CF}, {0x10FB, 0x10FC}, {0x1100, 0x139F}, {0x13F6, 0x13F7}, {0x13FE, 0x1C8F},
    {0x1CBB, 0x1CBC}, {0x1CC0, 0x1D8D}, {0x1D8F, 0x2C2E}, {0x2C30, 0x2C5E}, {0x2C60, 0xA697},
    {0xA69C, 0xA793}, {0xA795, 0xA795}, {0xA7A0, 0xA7AA}, {0xA7AF, 0xA7AF}, {0xA7CB, 0xA7CF},
    {0xA7D2, 0xA7D5}, {0xA7DA, 0xA7F4}, {0xA7F7, 0xAB52}, {0xAB54, 0xAB6F}, {0xABC0, 0xD7FF},
    {0xE000, 0xFFFF},
};

// The name or text a token stands for, quotes removed.
QString Unquoted(const Token &token) {
    return token.kind == Kind::Word ? token.raw : token.value;
}

bool IsNameLike(const Token &token) {
    return token.closed && token.kind != Kind::Blank && token.kind != Kind::Symbol &&
           token.kind != Kind::SingleQuoted;
}

bool SameName(const QString &a, const QString &b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// The significant tokens of a text.
QVector<Token> Significant(const QString &text) {
    const QVector<Token> tokens = DialectTokenizer::Tokenize(text);
    QVector<Token> significant;
    for (int i : DialectTokenizer::Significant(tokens))
        significant << tokens[i];
    return significant;
}

// The arguments of "USING fts5(...)", each as its tokens; nothing when the
// statement is not an FTS5 declaration.
std::optional<QVector<QVector<Token>>> Fts5Arguments(const QVector<Token> &tokens) {
    int p = 0;
    while (p < tokens.size() && !tokens[p].IsWord("using"))
        ++p;
    if (p + 2 >= tokens.size() || !tokens[p + 1].IsWord("fts5") || !tokens[p + 2].IsSymbol("("))
        return std::nullopt;
    QVector<QVector<Token>> arguments;
    QVector<Token> current;
    int depth = 0;
    for (int q = p + 3; q < tokens.size(); ++q) {
        const Token &token = tokens[q];
        if (depth == 0 && (token.IsSymbol(",") || token.IsSymbol(")"))) {
            arguments << current;
            current.clear();
            if (token.IsSymbol(")"))
                return arguments;
            continue;
        }
        if (token.IsSymbol("("))
            ++depth;
        else if (token.IsSymbol(")"))
            --depth;
        current << token;
    }
    return std::nullopt;
}

// Only the trigram tokenizer folding case may narrow a case-insensitive
// search.
bool IsFoldingTrigram(const QString &tokenize) {
    const QVector<Token> words = Significant(tokenize);
    if (words.isEmpty() || !SameName(Unquoted(words[0]), QStringLiteral("trigram")))
        return false;
    for (int i = 1; i < words.size(); i += 2) {
        if (i + 1 >= words.size() ||
            !SameName(Unquoted(words[i]), QStringLiteral("case_sensitive")) ||
            Unquoted(words[i + 1]) != QLatin1String("0"))
            return false;
    }
    return true;
}

// Reads "[schema .] name" at `p`; the name, with `p` moved past it.
QString ReadQualifiedName(const QVector<Token> &tokens, int &p) {
    if (p >= tokens.size() || !IsNameLike(tokens[p]))
        return QString();
    QString name = Unquoted(tokens[p++]);
    if (p + 1 < tokens.size() && tokens[p].IsSymbol(".") && IsNameLike(tokens[p + 1])) {
        name = Unquoted(tokens[p + 1]);
        p += 2;
    }
    return name;
}

} // namespace

std::optional<SqliteSearchIndex> SqliteSearchIndex::FromDefinition(const QString &name,
                                                                   const QString &sql) {
    const auto arguments = Fts5Arguments(Significant(sql));
    if (!arguments)
        return std::nullopt;
    SqliteSearchIndex index;
    index.name = name;
    index.rowidColumn = QStringLiteral("rowid");
    bool trigram = false;
    for (const QVector<Token> &argument : *arguments) {
        if (argument.isEmpty() || !argument[0].closed)
            return std::nullopt;
        if (argument.size() >= 2 && argument[1].IsSymbol("=")) {
            if (argument.size() != 3 || !argument[2].closed)
                return std::nullopt;
            const QString option = Unquoted(argument[0]).toLower();
            const QString value = Unquoted(argument[2]);
            if (option == QLatin1String("tokenize"))
                trigram = IsFoldingTrigram(value);
            else if (option == QLatin1String("content"))
                index.table = value;
            else if (option == QLatin1String("content_rowid"))
                index.rowidColumn = value;
            else if (option == QLatin1String("detail")) {
                if (!SameName(value, QStringLiteral("full")))
                    return std::nullopt;
            } else if (option != QLatin1String("columnsize") && option != QLatin1String("prefix"))
                return std::nullopt;
            continue;
        }
        if (argument.size() == 2 && argument[1].IsWord("unindexed"))
            continue;
        if (argument.size() != 1 || argument[0].kind == Kind::Symbol)
            return std::nullopt;
        index.columns << Unquoted(argument[0]);
    }
    if (!trigram || index.table.isEmpty() || index.columns.isEmpty())
        return std::nullopt;
    return index;
}

QStringList SqliteSearchIndex::EventsKeptBy(const QString &triggerSql) const {
    const QVector<Token> tokens = Significant(triggerSql);
    int p = 0;
    while (p < tokens.size() && !tokens[p].IsWord("trigger"))
        ++p;
    ++p;
    if (p + 2 < tokens.size() && tokens[p].IsWord("if") && tokens[p + 1].IsWord("not") &&
        tokens[p + 2].IsWord("exists"))
        p += 3;
    if (ReadQualifiedName(tokens, p).isEmpty() || p >= tokens.size() || !tokens[p].IsWord("after"))
        return {};
    ++p;
    if (p >= tokens.size())
        return {};
    const QString event = tokens[p].raw.toLower();
    if (event != QLatin1String("insert") && event != QLatin1String("delete") &&
        event != QLatin1String("update"))
        return {};
    ++p;
    if (event == QLatin1String("update") && p < tokens.size() && tokens[p].IsWord("of")) {
        // Writes to other columns need not reach the index; writes to these do.
        QStringList listed;
        for (++p; p < tokens.size() && !tokens[p].IsWord("on"); ++p) {
            if (IsNameLike(tokens[p]))
                listed << Unquoted(tokens[p]);
        }
        if (!listed.contains(rowidColumn, Qt::CaseInsensitive))
            return {};
        for (const QString &column : columns) {
            if (!listed.contains(column, Qt::CaseInsensitive))
                return {};
        }
    }
    if (p >= tokens.size() || !tokens[p].IsWord("on"))
        return {};
    ++p;
    if (!SameName(ReadQualifiedName(tokens, p), table))
        return {};
    if (p + 2 < tokens.size() && tokens[p].IsWord("for") && tokens[p + 1].IsWord("each") &&
        tokens[p + 2].IsWord("row"))
        p += 3;
    if (p >= tokens.size() || !tokens[p].IsWord("begin"))
        return {};
    for (++p; p < tokens.size(); ++p) {
        if (IsNameLike(tokens[p]) && SameName(Unquoted(tokens[p]), name))
            return {event};
    }
    return {};
}

bool SqliteSearchIndex::Covers(const QString &column) const {
    return columns.contains(column, Qt::CaseInsensitive);
}

QVector<SqliteSearchIndex> SqliteSearchIndex::Find(sqlite3 *db) {
    SqliteStatement schema(db, QStringLiteral("SELECT type, name, tbl_name, sql FROM "
                                              "main.sqlite_schema WHERE type IN ('table', "
                                              "'trigger') AND sql IS NOT NULL"));
    QVector<SqliteSearchIndex> candidates;
    QStringList tables;
    QMultiHash<QString, QString> triggers; // by the lower-case name of their table
    while (schema.Step()) {
        const QString type = schema.Column(0).toString();
        const QString name = schema.Column(1).toString();
        const QString sql = schema.Column(3).toString();
        if (type == QLatin1String("trigger")) {
            triggers.insert(schema.Column(2).toString().toLower(), sql);
        } else if (sql.startsWith(QLatin1String("CREATE VIRTUAL"), Qt::CaseInsensitive)) {
            if (auto index = FromDefinition(name, sql))
                candidates << *index;
        } else {
            tables << name;
        }
    }
    schema.Reset();
    QVector<SqliteSearchIndex> found;
    for (const SqliteSearchIndex &index : candidates) {
        if (!tables.contains(index.table, Qt::CaseInsensitive))
            continue;
        QStringList events;
        for (const QString &sql : triggers.values(index.table.toLower()))
            events << index.EventsKeptBy(sql);
        if (events.contains(QLatin1String("insert")) && events.contains(QLatin1String("delete")) &&
            events.contains(QLatin1String("update")))
            found << index;
    }
    return found;
}

bool SqliteSearchIndex::FoldsAlike(char32_t c) {
    const auto after = std::upper_bound(std::begin(kFoldsAlike), std::end(kFoldsAlike), c,
                                        [](char32_t v, const CodeRange &r) { return v < r.first; });
    return after != std::begin(kFoldsAlike) && c <= std::prev(after)->last;
}
