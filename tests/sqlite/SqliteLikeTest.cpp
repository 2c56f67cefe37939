#include "sqlite/SqliteLike.h"

#include "SqliteTestSupport.h"
#include "data/TextFold.h"
#include "sqlite/SqliteHandle.h"
#include "support/TempDatabase.h"

#include <QRandomGenerator>
#include <QVector>

using namespace sqlite_test;

namespace {

bool Like(const QString &pattern, const QString &text, char32_t escape = 0) {
    const QByteArray p = pattern.toUtf8();
    const QByteArray t = text.toUtf8();
    return SqliteLike::Matches(p.constData(), std::size_t(p.size()), t.constData(),
                               std::size_t(t.size()), escape);
}

QString Folded(const QString &text) {
    QString folded;
    for (const char32_t c : text.toUcs4()) {
        const char32_t lower = TextFold::Fold(c);
        folded += QString::fromUcs4(&lower, 1);
    }
    return folded;
}

// A connection of its own with the engine's LIKE, or with the program's
// when `ours`.
class MemoryDb {
public:
    explicit MemoryDb(bool ours) {
        sqlite3_open(":memory:", &db_);
        if (ours)
            SqliteLike::Register(db_);
    }
    ~MemoryDb() { sqlite3_close(db_); }
    MemoryDb(const MemoryDb &) = delete;
    MemoryDb &operator=(const MemoryDb &) = delete;

    // "1", "0", "NULL", or "error: <message>" for the first column of `sql`
    // with the texts bound in order.
    QString Eval(const char *sql, const QVector<QVariant> &values = {}) const {
        sqlite3_stmt *statement = nullptr;
        if (sqlite3_prepare_v2(db_, sql, -1, &statement, nullptr) != SQLITE_OK)
            return QStringLiteral("error: ") + sqlite3_errmsg(db_);
        QVector<QByteArray> texts;
        for (int i = 0; i < values.size(); ++i) {
            if (values[i].isNull()) {
                sqlite3_bind_null(statement, i + 1);
                continue;
            }
            texts << values[i].toString().toUtf8();
            sqlite3_bind_text(statement, i + 1, texts.last().constData(), int(texts.last().size()),
                              SQLITE_TRANSIENT);
        }
        QString result;
        const int rc = sqlite3_step(statement);
        if (rc == SQLITE_ROW)
            result = sqlite3_column_type(statement, 0) == SQLITE_NULL
                         ? QStringLiteral("NULL")
                         : QString::number(sqlite3_column_int(statement, 0));
        else
            result = QStringLiteral("error: ") + sqlite3_errmsg(db_);
        sqlite3_finalize(statement);
        return result;
    }
    sqlite3 *Db() const { return db_; }

private:
    sqlite3 *db_ = nullptr;
};

TEST(SqliteLike, IgnoresTheCaseOfEveryLetter) {
    EXPECT_TRUE(Like("%MÜLLER%", "Herr müller"));
    EXPECT_TRUE(Like("%müller%", "HERR MÜLLER"));
    EXPECT_TRUE(Like("ΑΘΉΝΑ", "αθήνα"));
    EXPECT_TRUE(Like("%москва%", "МОСКВА"));
    EXPECT_TRUE(Like("ÉCOLE", "école"));
    // Characters beyond the Basic Multilingual Plane (a surrogate pair in
    // UTF-16): Deseret capital and small long I.
    EXPECT_TRUE(Like("x\U00010400y", "X\U00010428Y"));
    EXPECT_TRUE(Like("_", "\U00010400"));
    // Simple lowercase, one code point for one: the capital sharp s is the
    // sharp s, which is not "ss"; the Kelvin sign is "k".
    EXPECT_TRUE(Like("STRAẞE", "straße"));
    EXPECT_FALSE(Like("strasse", "straße"));
    EXPECT_TRUE(Like("%\u212A%", "kilo"));
    EXPECT_TRUE(Like("%k%", "5 \u212AM"));
    // Different letters stay different.
    EXPECT_FALSE(Like("%müller%", "MULLER"));
    EXPECT_FALSE(Like("σ", "ς"));
}

TEST(SqliteLike, WildcardsAndEscapesAsTheEngineHasThem) {
    EXPECT_TRUE(Like("", ""));
    EXPECT_FALSE(Like("", "a"));
    EXPECT_TRUE(Like("%", ""));
    EXPECT_TRUE(Like("%%", "abc"));
    EXPECT_FALSE(Like("_", ""));
    EXPECT_TRUE(Like("_ü_", "aÜb"));
    EXPECT_FALSE(Like("_ü_", "aÜ"));
    EXPECT_TRUE(Like("%_%_", "ab"));
    EXPECT_FALSE(Like("%_%_", "a"));
    EXPECT_TRUE(Like("a%b%c", "aXXbYYbZc"));
    EXPECT_FALSE(Like("a%b%c", "aXXbYYbZ"));
    EXPECT_TRUE(Like("%aab", "aaaab"));
    EXPECT_TRUE(Like("%issip%", "MISSISSIPPI"));
    EXPECT_FALSE(Like("%issipx%", "MISSISSIPPI"));
    // An escaped wildcard is a plain character; an escape at the end of the
    // pattern matches nothing.
    EXPECT_TRUE(Like("50!%", "50%", U'!'));
    EXPECT_FALSE(Like("50!%", "500", U'!'));
    EXPECT_TRUE(Like("%!_%", "a_b", U'!'));
    EXPECT_FALSE(Like("%!_%", "ab", U'!'));
    EXPECT_FALSE(Like("ab!", "ab", U'!'));
    EXPECT_FALSE(Like("%!", "ab!", U'!'));
    EXPECT_TRUE(Like("a!!b", "a!b", U'!'));
    // "%" or "_" as the escape is no wildcard any more.
    EXPECT_TRUE(Like("a%%b", "a%b", U'%'));
    EXPECT_FALSE(Like("a%%b", "aXb", U'%'));
    EXPECT_TRUE(Like("a__b", "a_b", U'_'));
    EXPECT_FALSE(Like("a__b", "aXb", U'_'));
    // A letter as the escape is compared as written, its other case is not.
    EXPECT_TRUE(Like("xx%", "X%", U'x'));
    EXPECT_FALSE(Like("Xx%", "xx", U'x'));
    // Texts end at a NUL character, as the engine's do.
    const char text[] = {'a', 'b', '\0', 'c'};
    EXPECT_TRUE(SqliteLike::Matches("ab", 2, text, sizeof text));
    EXPECT_FALSE(SqliteLike::Matches("abc", 3, text, sizeof text));
}

// On texts without non-ASCII letters the program's LIKE and the engine's
// must agree exactly; with them, it must give what the engine gives on
// texts folded beforehand. Random patterns and texts over a small alphabet
// reach the corners of the matching (repeated characters, runs of wildcards,
// escapes) far more often than hand-written cases.
TEST(SqliteLike, AgreesWithTheEngineOnFoldedTexts) {
    MemoryDb engine(false);
    const QStringList alphabet = {"a", "A", "b", "B",      "k",          "%",
                                  "_", "!", "ü", "Ü",      "ß",          "ẞ",
                                  "σ", "Σ", "ς", "\u212A", "\U00010400", "\U00010428"};
    const QStringList patternAlphabet = alphabet + QStringList{"%", "%", "_"};
    QRandomGenerator random(20261208);
    auto draw = [&](const QStringList &from, int maxLength) {
        QString text;
        const int length = int(random.bounded(maxLength + 1));
        for (int i = 0; i < length; ++i)
            text += from[int(random.bounded(int(from.size())))];
        return text;
    };
    int matches = 0;
    for (int round = 0; round < 20000; ++round) {
        const QString pattern = draw(patternAlphabet, 6);
        const QString text = draw(alphabet, 8);
        const bool escaped = round % 3 == 0;
        const QString expected =
            escaped ? engine.Eval("SELECT ?2 LIKE ?1 ESCAPE '!'", {Folded(pattern), Folded(text)})
                    : engine.Eval("SELECT ?2 LIKE ?1", {Folded(pattern), Folded(text)});
        const bool ours = Like(pattern, text, escaped ? U'!' : 0);
        ASSERT_EQ(ours ? QStringLiteral("1") : QStringLiteral("0"), expected)
            << "pattern " << pattern.toStdString() << " text " << text.toStdString()
            << (escaped ? " escape !" : "");
        matches += ours ? 1 : 0;
    }
    // Both outcomes occur often enough for the comparison to mean something.
    EXPECT_GT(matches, 1000);
    EXPECT_LT(matches, 19000);
}

TEST(SqliteLike, MalformedUtf8IsReadAsTheEngineReadsIt) {
    MemoryDb engine(false);
    MemoryDb ours(true);
    // A stray continuation byte, a truncated sequence, an overlong form and
    // an encoded surrogate, each against patterns with "_" and literals.
    const QVector<QByteArray> texts = {"a\x80z", "a\xC3", "a\xC0\xAFz", "a\xED\xA0\x80z",
                                       "\xEF\xBF\xBEz"};
    const QVector<QByteArray> patterns = {"a_z", "a__z", "a%", "_", "%z", "a\xC3", "\xEF\xBF\xBDz"};
    for (const QByteArray &text : texts) {
        for (const QByteArray &pattern : patterns) {
            auto eval = [&](const MemoryDb &db) {
                sqlite3_stmt *statement = nullptr;
                sqlite3_prepare_v2(db.Db(), "SELECT ?2 LIKE ?1", -1, &statement, nullptr);
                sqlite3_bind_text(statement, 1, pattern.constData(), int(pattern.size()),
                                  SQLITE_STATIC);
                sqlite3_bind_text(statement, 2, text.constData(), int(text.size()), SQLITE_STATIC);
                sqlite3_step(statement);
                const int result = sqlite3_column_int(statement, 0);
                sqlite3_finalize(statement);
                return result;
            };
            EXPECT_EQ(eval(ours), eval(engine)) << "pattern " << pattern.toHex().toStdString()
                                                << " text " << text.toHex().toStdString();
        }
    }
}

TEST(SqliteLike, NullsErrorsAndLimitsAsTheEngineHasThem) {
    MemoryDb engine(false);
    MemoryDb ours(true);
    const char *const statements[] = {
        "SELECT NULL LIKE 'a'",
        "SELECT 'a' LIKE NULL",
        "SELECT 'a' LIKE 'a' ESCAPE NULL",
        "SELECT NULL LIKE 'a' ESCAPE '!'",
        "SELECT 'a' LIKE 'a' ESCAPE '!!'",
        "SELECT 'a' LIKE 'a' ESCAPE ''",
        "SELECT NULL LIKE 'a' ESCAPE 'xy'",
        "SELECT 'a' NOT LIKE 'A'",
        "SELECT 12345 LIKE '%234%'",
        "SELECT 1.5 LIKE '1._'",
        "SELECT like('%B%', 'abc')",
        "SELECT like('a!%', 'a%', '!')",
        "SELECT 'x' LIKE 'X' ESCAPE 'ü'",
    };
    for (const char *sql : statements)
        EXPECT_EQ(ours.Eval(sql), engine.Eval(sql)) << sql;
    EXPECT_EQ(ours.Eval("SELECT 'a' LIKE 'a' ESCAPE '!!'"),
              "error: ESCAPE expression must be a single character");

    sqlite3_limit(ours.Db(), SQLITE_LIMIT_LIKE_PATTERN_LENGTH, 8);
    EXPECT_EQ(ours.Eval("SELECT 'abc' LIKE '%abcdefg'"), "0");
    EXPECT_EQ(ours.Eval("SELECT 'abc' LIKE '%abcdefgh'"),
              "error: LIKE or GLOB pattern too complex");
}

TEST(SqliteLike, EveryHandleOfTheEngineHasIt) {
    const TempDatabase db;
    db.Exec("INSERT INTO Contacts (ContactID, CompanyName) VALUES (1, 'Müller GmbH'), "
            "(2, 'MÜLLER AG'), (3, 'Muller Inc')");
    auto engine = Connected(db.Path());
    // Queries run on pooled handles; two open at once take two handles.
    auto first = engine->OpenRowSource(QueryRequest(
        "select ContactID from Contacts where CompanyName like \"%müller%\"", ltReadOnly));
    auto second = engine->OpenRowSource(QueryRequest(
        "select ContactID from Contacts where CompanyName like \"%MÜLLER%\"", ltReadOnly));
    EXPECT_EQ(ColumnTexts(*first, 0), QStringList({"1", "2"}));
    EXPECT_EQ(ColumnTexts(*second, 0), QStringList({"1", "2"}));
    // A handle as the engine opens it for tables and writes.
    auto handle = SqliteHandle::Open(db.Path(), 1000);
    EXPECT_EQ(handle->Scalar("SELECT count(*) FROM Contacts WHERE CompanyName LIKE 'MÜLL%'"),
              QVariant(qint64(2)));
}

} // namespace

namespace {

// Every row's result of one statement, joined.
QString Column(sqlite3 *db, const char *sql) {
    sqlite3_stmt *statement = nullptr;
    sqlite3_prepare_v2(db, sql, -1, &statement, nullptr);
    QString results;
    int rc = SQLITE_ROW;
    while ((rc = sqlite3_step(statement)) == SQLITE_ROW)
        results += sqlite3_column_type(statement, 0) == SQLITE_NULL
                       ? QStringLiteral("N")
                       : QString::number(sqlite3_column_int(statement, 0));
    if (rc != SQLITE_DONE)
        results += QStringLiteral(" error: ") + sqlite3_errmsg(db);
    sqlite3_finalize(statement);
    return results;
}

} // namespace

// Inside a statement the pattern is read once and kept while it stays the
// same; a pattern that changes from row to row, and one constant pattern
// over many rows, must give row for row what the engine gives on folded
// texts.
TEST(SqliteLike, OneStatementOverManyRowsAgreesWithTheEngine) {
    MemoryDb ours(true);
    MemoryDb engine(false);
    QRandomGenerator random(1211);
    const QStringList alphabet = {"a", "A", "b", "%", "_", "!", "ü", "Ü", "\u212A", "k"};
    auto draw = [&](int maxLength) {
        QString text;
        const int length = int(random.bounded(maxLength + 1));
        for (int i = 0; i < length; ++i)
            text += alphabet[int(random.bounded(int(alphabet.size())))];
        return text;
    };
    for (sqlite3 *db : {ours.Db(), engine.Db()})
        sqlite3_exec(db, "CREATE TABLE t (p, x)", nullptr, nullptr, nullptr);
    for (int row = 0; row < 3000; ++row) {
        const QString pattern = row % 7 == 0 ? QString() : draw(5);
        const QString text = draw(8);
        const QByteArray insertOurs =
            QStringLiteral("INSERT INTO t VALUES ('%1', '%2')").arg(pattern, text).toUtf8();
        const QByteArray insertEngine = QStringLiteral("INSERT INTO t VALUES ('%1', '%2')")
                                            .arg(Folded(pattern), Folded(text))
                                            .toUtf8();
        sqlite3_exec(ours.Db(), insertOurs.constData(), nullptr, nullptr, nullptr);
        sqlite3_exec(engine.Db(), insertEngine.constData(), nullptr, nullptr, nullptr);
    }
    for (const char *sql : {"SELECT x LIKE p FROM t", "SELECT x LIKE p ESCAPE '!' FROM t",
                            "SELECT x LIKE '%a_%' FROM t", "SELECT x LIKE '%!%%' ESCAPE '!' FROM t",
                            "SELECT x LIKE 'ü%' FROM t", "SELECT x LIKE NULL FROM t"}) {
        const QString expected = Column(engine.Db(), sql);
        ASSERT_EQ(expected.size(), 3000) << sql << expected.left(200).toStdString();
        EXPECT_EQ(Column(ours.Db(), sql), expected) << sql;
    }
}
