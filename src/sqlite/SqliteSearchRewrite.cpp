#include "sqlite/SqliteSearchRewrite.h"

#include "data/DialectTokenizer.h"

namespace {

using Token = DialectTokenizer::Token;
using Kind = DialectTokenizer::Kind;

constexpr int kShortestPhrase = 3;
const char *const kHits = "search_hits";
const char *const kHitRowid = "hit_rowid";

QString Phrase(const QString &text) {
    return QLatin1Char('"') + QString(text).replace(QLatin1Char('"'), QLatin1String("\"\"")) +
           QLatin1Char('"');
}

QString SqlLiteral(const QString &text) {
    return QLatin1Char('\'') + QString(text).replace(QLatin1Char('\''), QLatin1String("''")) +
           QLatin1Char('\'');
}

// A name in the dialect, or empty when it cannot be written in brackets.
QString Bracketed(const QString &name) {
    if (name.isEmpty() || name.contains(QLatin1Char(']')))
        return QString();
    return QLatin1Char('[') + name + QLatin1Char(']');
}

bool IsReservedName(const Token &token) {
    if (!token.IsName())
        return false;
    const QString name = token.Name();
    for (const char *reserved : {"rowid", "oid", "_rowid_", kHits, kHitRowid}) {
        if (name.compare(QLatin1String(reserved), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

bool SameName(const QString &a, const QString &b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// The parts of a statement the rewrite works on, as token indexes.
struct SearchStatement {
    int from = -1;       // the FROM keyword
    int tableFirst = -1; // the table and its alias
    int tableLast = -1;
    int where = -1;      // the WHERE keyword
    int termsFirst = -1; // the first and last token of the condition
    int termsLast = -1;
    QString table;
    QString qualifier; // the alias, or the table as written
    QStringList columns;
    QString pattern;
};

class Parser {
public:
    explicit Parser(const QVector<Token> &tokens)
        : tokens_(tokens), sig_(DialectTokenizer::Significant(tokens)) {}

    bool Parse(SearchStatement &s) {
        for (int p : sig_) {
            if (IsReservedName(tokens_[p]))
                return false;
        }
        if (!Has(0) || !At(0).IsWord("select"))
            return false;
        int p = 1;
        for (int depth = 0; Has(p) && !(depth == 0 && At(p).IsWord("from")); ++p) {
            if (At(p).IsSymbol("("))
                ++depth;
            else if (At(p).IsSymbol(")"))
                --depth;
        }
        if (!Has(p) || p == 1)
            return false;
        s.from = sig_[p++];
        if (!Has(p) || !At(p).IsName())
            return false;
        s.table = At(p).Name();
        s.qualifier = At(p).raw;
        s.tableFirst = s.tableLast = sig_[p++];
        if (Has(p) && At(p).IsWord("as"))
            ++p;
        if (Has(p) && At(p).IsName() && !At(p).IsWord("where")) {
            s.qualifier = At(p).raw;
            s.tableLast = sig_[p++];
        }
        if (!Has(p) || !At(p).IsWord("where"))
            return false;
        s.where = sig_[p++];
        s.termsFirst = Has(p) ? sig_[p] : -1;
        for (;;) {
            QString column;
            if (!ReadColumn(p, s, column) || !Has(p + 1) || !At(p).IsWord("like") ||
                !At(p + 1).IsLiteral())
                return false;
            const QString pattern = At(p + 1).value;
            if (!s.columns.isEmpty() && pattern != s.pattern)
                return false;
            s.pattern = pattern;
            s.columns << column;
            s.termsLast = sig_[p + 1];
            p += 2;
            if (!Has(p) || !At(p).IsWord("or"))
                break;
            ++p;
        }
        return !Has(p) || At(p).IsWord("order") || At(p).IsWord("limit") || At(p).IsSymbol(";");
    }

    // Whether the significant token at `p` is a "*" that stands for all
    // columns in the select list.
    bool IsWildcard(int p) const {
        if (!At(p).IsSymbol("*") || !Has(p - 1) || !Has(p + 1))
            return false;
        const Token &before = At(p - 1);
        const Token &after = At(p + 1);
        return (before.IsWord("select") || before.IsWord("distinct") || before.IsWord("all") ||
                before.IsSymbol(",")) &&
               (after.IsSymbol(",") || after.IsWord("from"));
    }

    const QVector<int> &Significant() const { return sig_; }

private:
    bool Has(int p) const { return p >= 0 && p < sig_.size(); }
    const Token &At(int p) const { return tokens_[sig_[p]]; }

    // <column> or <qualifier>.<column>, the qualifier naming the table.
    bool ReadColumn(int &p, const SearchStatement &s, QString &column) const {
        if (!Has(p) || !At(p).IsName())
            return false;
        if (Has(p + 2) && At(p + 1).IsSymbol(".")) {
            const QString qualifier = At(p).Name();
            const bool aliased = s.tableLast != s.tableFirst;
            const QString expected =
                aliased ? tokens_[s.tableLast].Name() : tokens_[s.tableFirst].Name();
            if (!SameName(qualifier, expected) || !At(p + 2).IsName())
                return false;
            p += 2;
        }
        column = At(p).Name();
        ++p;
        return true;
    }

    const QVector<Token> &tokens_;
    QVector<int> sig_;
};

QString Joined(const QVector<Token> &tokens, int first, int last) {
    QString text;
    for (int i = first; i <= last && i < tokens.size(); ++i)
        text += tokens[i].raw;
    return text;
}

} // namespace

QString SqliteSearchRewrite::MatchQuery(const QString &pattern, const QStringList &columns,
                                        const SqliteSearchIndex &index) {
    QStringList phrases;
    QString run;
    int runLength = 0;
    auto endRun = [&] {
        if (runLength >= kShortestPhrase)
            phrases << Phrase(run);
        run.clear();
        runLength = 0;
    };
    for (const char32_t c : pattern.toUcs4()) {
        if (c == U'%' || c == U'_' || !SqliteSearchIndex::FoldsAlike(c)) {
            endRun();
            continue;
        }
        run += QString::fromUcs4(&c, 1);
        ++runLength;
    }
    endRun();
    if (phrases.isEmpty())
        return QString();
    const QString all = phrases.join(QLatin1String(" AND "));
    QStringList limited;
    for (const QString &column : index.columns) {
        if (columns.contains(column, Qt::CaseInsensitive))
            limited << Phrase(column);
    }
    if (limited.size() == index.columns.size())
        return all;
    return QStringLiteral("{%1} : (%2)").arg(limited.join(QLatin1Char(' ')), all);
}

QString SqliteSearchRewrite::Rewrite(const QString &command,
                                     const QVector<SqliteSearchIndex> &indexes) {
    if (indexes.isEmpty())
        return command;
    const QVector<Token> tokens = DialectTokenizer::Tokenize(command);
    Parser parser(tokens);
    SearchStatement s;
    if (!parser.Parse(s))
        return command;
    const SqliteSearchIndex *chosen = nullptr;
    for (const SqliteSearchIndex &index : indexes) {
        bool covered = SameName(index.table, s.table);
        for (const QString &column : s.columns)
            covered = covered && index.Covers(column);
        if (covered) {
            chosen = &index;
            break;
        }
    }
    if (!chosen)
        return command;
    const QString match = MatchQuery(s.pattern, s.columns, *chosen);
    const QString indexName = Bracketed(chosen->name);
    const QString rowidColumn = Bracketed(chosen->rowidColumn);
    if (match.isEmpty() || indexName.isEmpty() || rowidColumn.isEmpty())
        return command;

    // Everything before FROM as written, but "*" for all columns names the
    // table's columns only.
    QString text;
    const QVector<int> &sig = parser.Significant();
    int next = 0;
    int depth = 0;
    for (int p = 0; p < sig.size() && sig[p] < s.from; ++p) {
        const Token &token = tokens[sig[p]];
        depth += token.IsSymbol("(") ? 1 : token.IsSymbol(")") ? -1 : 0;
        text += Joined(tokens, next, sig[p] - 1);
        text += depth == 0 && parser.IsWildcard(p) ? s.qualifier + QLatin1String(".*") : token.raw;
        next = sig[p] + 1;
    }
    text += Joined(tokens, next, s.from);
    // The index gives its rows in row id order as it reads them, so the
    // first rows come before the whole match is read; a subquery in IN would
    // be read to the end first.
    text += QStringLiteral(" (SELECT rowid AS %1 FROM %2 WHERE %2 MATCH %3) AS %4 CROSS JOIN ")
                .arg(QLatin1String(kHitRowid), indexName, SqlLiteral(match), QLatin1String(kHits));
    text += Joined(tokens, s.tableFirst, s.tableLast);
    text += QStringLiteral(" ON %1.%2 = %3.%4 ")
                .arg(s.qualifier, rowidColumn, QLatin1String(kHits), QLatin1String(kHitRowid));
    text += tokens[s.where].raw;
    text += QLatin1String(" (") + Joined(tokens, s.termsFirst, s.termsLast) + QLatin1Char(')');
    text += Joined(tokens, s.termsLast + 1, int(tokens.size()) - 1);
    return text;
}
