#include "postgres/PgDialect.h"

#include "data/DatabaseErrors.h"
#include "data/DialectDayTest.h"
#include "data/DialectTokenizer.h"

#include <QHash>
#include <QSet>
#include <algorithm>
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

bool IsNumber(const Token &token) {
    if (token.kind != Kind::Word)
        return false;
    for (const QChar c : token.raw) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    return true;
}

// Words of the statement's grammar: never taken for a name of the database,
// whatever names it holds.
bool IsKeyword(const QString &word) {
    static const QSet<QString> keywords = [] {
        QSet<QString> set;
        for (const char *w :
             {"all",       "alter",   "analyze",   "and",         "any",       "array",
              "as",        "asc",     "begin",     "between",     "by",        "case",
              "cast",      "check",   "collate",   "commit",      "conflict",  "constraint",
              "create",    "cross",   "current",   "default",     "delete",    "desc",
              "distinct",  "do",      "drop",      "else",        "end",       "escape",
              "except",    "exists",  "explain",   "false",       "fetch",     "filter",
              "first",     "for",     "foreign",   "from",        "full",      "glob",
              "group",     "having",  "if",        "ilike",       "in",        "index",
              "inner",     "insert",  "intersect", "into",        "is",        "isnull",
              "join",      "key",     "last",      "lateral",     "left",      "like",
              "limit",     "natural", "not",       "nothing",     "notnull",   "null",
              "nulls",     "offset",  "on",        "only",        "or",        "order",
              "outer",     "over",    "partition", "primary",     "recursive", "references",
              "returning", "right",   "rollback",  "select",      "set",       "some",
              "table",     "then",    "to",        "transaction", "true",      "union",
              "unique",    "update",  "using",     "vacuum",      "values",    "view",
              "when",      "where",   "window",    "with"})
            set.insert(QString::fromLatin1(w));
        return set;
    }();
    return keywords.contains(word.toLower());
}

// Words that end a FROM item, so that a word after a subquery that is none
// of them is the subquery's name.
bool EndsFromItem(const Token &token) {
    return IsWordIn(token, {"where",  "group",  "order",     "having",    "limit", "offset",
                            "union",  "except", "intersect", "join",      "inner", "left",
                            "right",  "full",   "cross",     "natural",   "on",    "using",
                            "window", "for",    "fetch",     "returning", "set",   "lateral"});
}

// The case of a keyword written in place of another: "like" gives "ilike",
// "LIKE" gives "ILIKE".
QString InCaseOf(const QString &written, const char *replacement) {
    const QString text = QString::fromLatin1(replacement);
    return written.at(0).isUpper() ? text.toUpper() : text.toLower();
}

class Translator {
public:
    Translator(const QString &text, const PgNames &names)
        : tokens_(DialectTokenizer::Tokenize(text)), sig_(DialectTokenizer::Significant(tokens_)),
          names_(names), out_(tokens_.size()), after_(tokens_.size()) {}

    PgStatementText Run() {
        LearnAliases();
        for (int i = 0; i < tokens_.size(); ++i)
            out_[i] = Default(tokens_[i]);
        NumberParameters();
        const bool comment = Has(0) && At(0).IsWord("comment");
        for (int p = 0; p < sig_.size(); ++p)
            p = Significant(p, comment);
        ExactLikes();
        PgStatementText result;
        for (int i = 0; i < tokens_.size(); ++i)
            result.sql += out_[i] + after_[i];
        result.positional = positional_;
        result.literals = literals_;
        result.changes = changes_;
        return result;
    }

private:
    bool Has(int p) const { return p >= 0 && p < sig_.size(); }
    const Token &At(int p) const { return tokens_[sig_[p]]; }
    bool SymbolAt(int p, const char *symbol) const { return Has(p) && At(p).IsSymbol(symbol); }
    bool WordAt(int p, const char *word) const { return Has(p) && At(p).IsWord(word); }

    // The position of the ")" that closes the "(" at p; past the end when
    // it is not closed.
    int Closing(int p) const {
        int depth = 0;
        for (int k = p; Has(k); ++k) {
            if (At(k).IsSymbol("("))
                ++depth;
            else if (At(k).IsSymbol(")") && --depth == 0)
                return k;
        }
        return int(sig_.size());
    }

    // Drops the tokens from significant position `from` to `to`, blanks
    // between them included.
    void Drop(int from, int to) {
        for (int i = sig_[from]; i <= sig_[to]; ++i)
            out_[i].clear();
    }

    // ?N is $N; a bare ? is one more than the highest number before it.
    void NumberParameters() {
        for (int p = 0; p < sig_.size(); ++p) {
            if (!At(p).IsSymbol("?"))
                continue;
            const int i = sig_[p];
            int number = positional_ + 1;
            if (i + 1 < tokens_.size() && IsNumber(tokens_[i + 1])) {
                number = tokens_[i + 1].raw.toInt();
                out_[i + 1].clear();
                numbered_.insert(i + 1);
                ++p;
            }
            parameters_.insert(i, number);
            positional_ = std::max(positional_, number);
        }
    }

    // Names given after AS (not inside CAST) are names wherever the
    // statement uses them, in the spelling given.
    void LearnAliases() {
        QVector<bool> casts; // for each open "(": whether it is CAST's
        for (int p = 0; p < sig_.size(); ++p) {
            const Token &token = At(p);
            if (token.IsSymbol("(")) {
                casts << WordAt(p - 1, "cast");
            } else if (token.IsSymbol(")")) {
                if (!casts.isEmpty())
                    casts.removeLast();
            } else if (token.IsWord("as") && Has(p + 1) && (casts.isEmpty() || !casts.last())) {
                const Token &name = At(p + 1);
                if (name.kind == Kind::DoubleQuoted && name.closed) {
                    namedLiterals_.insert(sig_[p + 1]);
                    Learn(name.value);
                } else if ((name.kind == Kind::Word && !name.raw.at(0).isDigit() &&
                            !IsKeyword(name.raw)) ||
                           (name.IsName() && name.kind != Kind::Word)) {
                    Learn(name.Name());
                }
            }
        }
    }

    void Learn(const QString &name) {
        if (names_.Spelling(name).isEmpty() && !aliases_.contains(name.toLower()))
            aliases_.insert(name.toLower(), name);
    }

    // The stored spelling of a name, else the spelling given after AS;
    // empty when the statement and the database know no such name.
    QString Known(const QString &name) const {
        const QString stored = names_.Spelling(name);
        return stored.isEmpty() ? aliases_.value(name.toLower()) : stored;
    }

    QString Literal(const QString &value) {
        literals_ << TValue(value);
        return QLatin1Char('$') + QString::number(positional_ + int(literals_.size()));
    }

    // The translation of a token on its own.
    QString Default(const Token &token) {
        switch (token.kind) {
        case Kind::Blank:
            // A comment is a blank; the server would read a nested /* */
            // differently.
            return token.raw.at(0).isSpace() ? token.raw : QStringLiteral(" ");
        case Kind::Bracketed:
        case Kind::BackQuoted:
            if (!token.closed)
                return token.raw;
            return PgDialect::QuoteName(Known(token.value).isEmpty() ? token.value
                                                                     : Known(token.value));
        default:
            return token.raw;
        }
    }

    // Translates the token at significant position p, and the ones after it
    // that belong to it; returns the last position handled.
    int Significant(int p, bool comment) {
        const Token &token = At(p);
        const int i = sig_[p];
        DialectDayTest::Match day;
        if (DialectDayTest::MatchAt(tokens_, sig_, p, day))
            return DayTest(day);
        if (token.kind == Kind::DoubleQuoted && token.closed) {
            // After AS a double-quoted text names the column.
            const QString known = Known(token.value);
            out_[i] = namedLiterals_.contains(i)
                          ? PgDialect::QuoteName(known.isEmpty() ? token.value : known)
                          : Literal(token.value);
            return p;
        }
        if (token.IsSymbol("?")) {
            out_[i] = QLatin1Char('$') + QString::number(parameters_.value(i));
            return numbered_.contains(i + 1) ? p + 1 : p;
        }
        if (token.IsSymbol("=="))
            out_[i] = QStringLiteral("=");
        else if (token.IsSymbol("("))
            NameSubquery(p);
        if (token.kind != Kind::Word)
            return p;
        if (token.IsWord("format") && SymbolAt(p + 1, "("))
            throw EProviderError(
                QStringLiteral("The statement uses Format in a way the server engine cannot run."));
        if (token.IsWord("like")) {
            Like(p);
        } else if (token.IsWord("is") && !comment) {
            return Is(p);
        } else if (token.IsWord("limit") && SymbolAt(p + 1, "-") && Has(p + 2) &&
                   IsNumber(At(p + 2))) {
            // The file engine's negative count means no limit.
            out_[i] = token.raw + QStringLiteral(" ALL");
            Drop(p + 1, p + 2);
            return p + 2;
        } else if (token.IsWord("begin") && p == 0 &&
                   IsWordIn(Has(1) ? At(1) : Token(), {"immediate", "exclusive", "deferred"})) {
            Drop(1, 1);
            return 1;
        } else if (SymbolAt(p + 1, "(") && !SymbolAt(p - 1, ".")) {
            return Function(p);
        } else {
            out_[i] = Name(p);
        }
        return p;
    }

    int DayTest(const DialectDayTest::Match &day) {
        QString column;
        for (int k = day.columnFirst; k <= day.columnLast; ++k) {
            const int p = int(sig_.indexOf(k));
            column += p >= 0 && tokens_[k].kind == Kind::Word ? Name(p) : Default(tokens_[k]);
        }
        Drop(day.first, day.last);
        out_[sig_[day.first]] = DialectDayTest::Condition(column, day.dayText, "false");
        return day.last;
    }

    // A bare word: a name the database or the statement knows is quoted in
    // its spelling, unless it is a keyword (a name after "." never is).
    QString Name(int p) const {
        const Token &token = At(p);
        if (token.raw.at(0).isDigit())
            return token.raw;
        const bool qualified = SymbolAt(p - 1, ".");
        if (IsKeyword(token.raw) && !qualified)
            return token.raw;
        const bool stored = !names_.Spelling(token.raw).isEmpty();
        // The file engine's row number serves the program as an order only;
        // the row's place is the nearest the server has.
        if (!stored && (token.IsWord("rowid") || token.IsWord("_rowid_")))
            return QStringLiteral("ctid");
        if (!stored && !qualified && !SymbolAt(p + 1, ".") &&
            (token.IsWord("sqlite_master") || token.IsWord("sqlite_schema")))
            return SchemaTable(p);
        const QString spelling = Known(token.raw);
        return spelling.isEmpty() ? token.raw : PgDialect::QuoteName(spelling);
    }

    // The file engine's list of the database's objects.
    QString SchemaTable(int p) const {
        const auto column = [this](const char *name) {
            const QString word = QString::fromLatin1(name);
            const QString spelling = Known(word);
            return spelling.isEmpty() ? word : PgDialect::QuoteName(spelling);
        };
        QString sql =
            QStringLiteral(
                "(SELECT CASE c.relkind WHEN 'i' THEN 'index' WHEN 'v' THEN 'view' WHEN 'm' "
                "THEN 'view' ELSE 'table' END AS %1, c.relname::text AS %2, "
                "coalesce(t.relname, c.relname)::text AS %3, 0 AS %4, NULL::text AS %5 "
                "FROM pg_catalog.pg_class c JOIN pg_catalog.pg_namespace n ON n.oid = "
                "c.relnamespace LEFT JOIN pg_catalog.pg_index x ON x.indexrelid = c.oid LEFT "
                "JOIN pg_catalog.pg_class t ON t.oid = x.indrelid WHERE n.nspname = "
                "current_schema() AND c.relkind IN ('r', 'p', 'v', 'm', 'i'))")
                .arg(column("type"), column("name"), column("tbl_name"), column("rootpage"),
                     column("sql"));
        if (!HasAlias(p + 1))
            sql += QStringLiteral(" AS ") + At(p).raw;
        return sql;
    }

    // Whether the FROM item ending before p is named there.
    bool HasAlias(int p) const {
        if (!Has(p))
            return false;
        const Token &token = At(p);
        if (token.IsWord("as"))
            return true;
        if (token.kind == Kind::Word)
            return !token.raw.at(0).isDigit() && !EndsFromItem(token) && !IsKeyword(token.raw);
        return token.IsName() && token.kind != Kind::Word;
    }

    // A word followed by "(": a function call, or a table with its columns.
    int Function(int p) {
        const Token &token = At(p);
        const int i = sig_[p];
        if (IsWordIn(Has(p - 1) ? At(p - 1) : Token(), {"into", "table", "references", "on"})) {
            out_[i] = Name(p);
            return p;
        }
        const int close = Closing(p + 1);
        if (token.IsWord("ifnull")) {
            out_[i] = InCaseOf(token.raw, "coalesce");
        } else if (token.IsWord("instr")) {
            out_[i] = InCaseOf(token.raw, "strpos");
        } else if (token.IsWord("changes") && Has(close) && close == p + 2) {
            changes_ << int(literals_.size());
            out_[i] = Literal(QString());
            literals_.last() = TValue();
            Drop(p + 1, close);
            return close;
        } else if ((token.IsWord("lower") || token.IsWord("upper")) && Has(close) &&
                   close > p + 2) {
            // The file engine changes the case of ASCII letters only, as the
            // server does under the "C" collation.
            after_[sig_[p + 1]] += QLatin1Char('(');
            after_[sig_[close - 1]] += QStringLiteral(") COLLATE \"C\"");
        }
        return p;
    }

    // The end of the operand that starts at p: its last position.
    int OperandEnd(int p) const {
        int depth = 0;
        int last = p - 1;
        for (int k = p; Has(k); ++k) {
            const Token &token = At(k);
            if (token.IsSymbol("(")) {
                ++depth;
            } else if (token.IsSymbol(")")) {
                if (depth-- == 0)
                    break;
            } else if (depth == 0 && EndsOperand(token)) {
                break;
            }
            last = k;
        }
        return last;
    }

    // The start of the operand that ends at p: its first position.
    int OperandStart(int p) const {
        int depth = 0;
        int first = p + 1;
        for (int k = p; Has(k); --k) {
            const Token &token = At(k);
            if (token.IsSymbol(")")) {
                ++depth;
            } else if (token.IsSymbol("(")) {
                if (depth-- == 0)
                    break;
            } else if (depth == 0 && ((EndsOperand(token) && !token.IsWord("end")) ||
                                      IsWordIn(token, {"case", "by", "distinct"}))) {
                break;
            }
            first = k;
        }
        return first;
    }

    // x LIKE p becomes x ILIKE p with ESCAPE '' unless ESCAPE follows p.
    // The server folds one letter more than the file engine: it takes "İ"
    // (U+0130) for "i". Unless p is a literal without "i", "I" or "İ", the
    // comparison is checked again where either text holds an "İ".
    void Like(int p) {
        out_[sig_[p]] = InCaseOf(At(p).raw, "ilike");
        LikeUse use;
        use.like = p;
        use.patternLast = OperandEnd(p + 1);
        if (use.patternLast < p + 1)
            return;
        use.last = use.patternLast;
        if (WordAt(use.patternLast + 1, "escape")) {
            use.last = OperandEnd(use.patternLast + 2);
            if (use.last < use.patternLast + 2)
                return;
        }
        const auto plain = [this](int from, int to) {
            return from == to && At(from).IsLiteral() &&
                   !At(from).value.contains(QLatin1Char('i'), Qt::CaseInsensitive) &&
                   !At(from).value.contains(QChar(0x130));
        };
        const bool escaped = use.last != use.patternLast;
        const int operatorFirst = WordAt(p - 1, "not") ? p - 1 : p;
        use.first = OperandStart(operatorFirst - 1);
        if (use.first >= operatorFirst ||
            (plain(p + 1, use.patternLast) && (!escaped || plain(use.last, use.last)))) {
            if (!escaped)
                after_[sig_[use.patternLast]] += QStringLiteral(" ESCAPE ''");
            return;
        }
        use.negated = operatorFirst != p;
        likes_ << use;
    }

    struct LikeUse {
        int first = 0;       // the positions of the left operand's start,
        int like = 0;        // of LIKE,
        int patternLast = 0; // of the pattern's end
        int last = 0;        // and of the whole comparison's end
        bool negated = false;
    };

    // The translation of the tokens from position `from` to `to`; the text
    // added after the last one is left out when `withLastAfter` is not set.
    QString Text(int from, int to, bool withLastAfter = true) const {
        QString text;
        for (int i = sig_[from]; i <= sig_[to]; ++i)
            text += out_[i] + (i < sig_[to] || withLastAfter ? after_[i] : QString());
        return text.trimmed();
    }

    // The text folded as the file engine folds it: lower case, but for "İ".
    static QString Folded(const QString &text) {
        return QStringLiteral("(array_to_string(ARRAY(SELECT lower(t) FROM unnest(string_to_array("
                              "%1, 'İ')) WITH ORDINALITY AS u(t, n) ORDER BY n), 'İ') || "
                              "left(%1, 0))")
            .arg(text);
    }

    void ExactLikes() {
        // Inner comparisons first, so that an outer one takes their text.
        std::sort(likes_.begin(), likes_.end(), [](const LikeUse &a, const LikeUse &b) {
            return a.last - a.first < b.last - b.first;
        });
        for (const LikeUse &use : likes_) {
            const QString operand = Text(use.first, use.like - (use.negated ? 2 : 1));
            const bool escaped = use.last != use.patternLast;
            const QString pattern = Text(use.like + 1, use.patternLast, escaped);
            const QString escape =
                escaped ? Text(use.patternLast + 2, use.last, false) : QStringLiteral("''");
            const QString exact =
                QStringLiteral("(%1 ILIKE %2 ESCAPE %3 AND (strpos(%1, 'İ') = 0 AND strpos(%2, "
                               "'İ') = 0 OR %4 LIKE %5))")
                    .arg(operand, pattern, escape, Folded(operand),
                         Folded(QStringLiteral("like_escape(%1, %2)").arg(pattern, escape)));
            for (int i = sig_[use.first]; i <= sig_[use.last]; ++i) {
                out_[i].clear();
                if (i < sig_[use.last])
                    after_[i].clear();
            }
            out_[sig_[use.first]] = use.negated ? QStringLiteral("NOT ") + exact : exact;
        }
    }

    static bool EndsOperand(const Token &token) {
        for (const char *symbol : {",", ";", "=", "==", "<", ">", "<=", ">=", "<>", "!="})
            if (token.IsSymbol(symbol))
                return true;
        return IsWordIn(token, {"and",     "or",      "not",       "escape",    "is",     "isnull",
                                "notnull", "in",      "like",      "ilike",     "glob",   "regexp",
                                "match",   "between", "order",     "group",     "having", "limit",
                                "offset",  "union",   "except",    "intersect", "then",   "else",
                                "end",     "when",    "from",      "as",        "window", "on",
                                "where",   "join",    "inner",     "left",      "right",  "cross",
                                "natural", "using",   "returning", "asc",       "desc",   "select",
                                "values",  "set"});
    }

    // x IS y and x IS NOT y compare null as a value in the file engine.
    int Is(int p) {
        static const std::initializer_list<const char *> kTests = {
            "null", "true", "false", "unknown", "distinct", "document", "normalized",
            "nfc",  "nfd",  "nfkc",  "nfkd",    "json",     "of"};
        if (!Has(p + 1))
            return p;
        if (At(p + 1).IsWord("not")) {
            if (Has(p + 2) && !IsWordIn(At(p + 2), kTests))
                out_[sig_[p + 1]] = InCaseOf(At(p + 1).raw, "distinct from");
            return p + 1;
        }
        if (!IsWordIn(At(p + 1), kTests))
            out_[sig_[p]] = At(p).raw + QLatin1Char(' ') + InCaseOf(At(p).raw, "not distinct from");
        return p;
    }

    // A subquery in FROM or JOIN needs a name on the server.
    void NameSubquery(int p) {
        if (!IsWordIn(Has(p + 1) ? At(p + 1) : Token(), {"select", "values", "with"}) ||
            !InFromList(p))
            return;
        const int close = Closing(p);
        if (!Has(close) || HasAlias(close + 1))
            return;
        after_[sig_[close]] += QStringLiteral(" AS \"Subquery%1\"").arg(++subqueries_);
    }

    // Whether the "(" at p opens an item of a FROM list.
    bool InFromList(int p) const {
        if (WordAt(p - 1, "from") || WordAt(p - 1, "join"))
            return true;
        if (!SymbolAt(p - 1, ","))
            return false;
        int depth = 0;
        for (int k = p - 2; Has(k); --k) {
            const Token &token = At(k);
            if (token.IsSymbol(")"))
                ++depth;
            else if (token.IsSymbol("(") && depth-- == 0)
                return false;
            else if (depth == 0 && (token.IsWord("from") || token.IsWord("join")))
                return true;
            else if (depth == 0 && IsWordIn(token, {"select", "where", "set", "values", "order",
                                                    "group", "having", "returning"}))
                return false;
        }
        return false;
    }

    const QVector<Token> tokens_;
    const QVector<int> sig_;
    const PgNames &names_;
    QVector<QString> out_;       // each token's translation
    QVector<QString> after_;     // text to add after each token
    QHash<int, int> parameters_; // a "?" token's number
    QSet<int> numbered_;         // the number tokens after "?"
    QSet<int> namedLiterals_;    // double-quoted tokens that are names
    QHash<QString, QString> aliases_;
    QVector<TValue> literals_;
    QVector<int> changes_;
    QVector<LikeUse> likes_;
    int positional_ = 0;
    int subqueries_ = 0;
};

} // namespace

PgStatementText PgDialect::Translate(const QString &text, const PgNames &names) {
    return Translator(text, names).Run();
}

QString PgDialect::QuoteName(const QString &name) {
    QString quoted = name;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}
