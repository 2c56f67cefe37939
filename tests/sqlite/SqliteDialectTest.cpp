#include "sqlite/SqliteDialect.h"
#include "SqliteTestSupport.h"
#include "data/DateTimeValue.h"
#include "sqlite/SqliteHandle.h"
#include "sqlite/SqliteQueryRowSource.h"
#include "sqlite/SqliteStatement.h"
#include "support/TempDatabase.h"

#include <QDate>
#include <QTemporaryDir>

using namespace sqlite_test;

namespace {

QString T(const QString &text) {
    return SqliteDialect::Translate(text);
}

TEST(SqliteDialect, DoubleQuotedTextsBecomeEngineLiterals) {
    EXPECT_EQ(T("select * from Contacts where City like \"%ber%\""),
              "select * from Contacts where City like '%ber%'");
    // A doubled double quote stands for one; an apostrophe is doubled.
    EXPECT_EQ(T("x = \"say \"\"hi\"\"\""), "x = 'say \"hi\"'");
    EXPECT_EQ(T("x = \"O'Brien\""), "x = 'O''Brien'");
    EXPECT_EQ(T("x = \"\""), "x = ''");
}

TEST(SqliteDialect, BracketsBecomeQuotedNamesAndTheRestPassesUnchanged) {
    EXPECT_EQ(T("select [Company Name], [a\"b] from [My Table]"),
              "select \"Company Name\", \"a\"\"b\" from \"My Table\"");
    const QString untouched =
        "select 'it''s \"x\"', `name`, a<>b -- \"comment\"\n/* [c] \"d\" */ from T";
    EXPECT_EQ(T(untouched), untouched);
}

TEST(SqliteDialect, UnterminatedLiteralsArePassedOnForTheEngineToReject) {
    EXPECT_EQ(T("x like \"%ab"), "x like \"%ab");
    EXPECT_EQ(T("select [a from T"), "select [a from T");
    EXPECT_EQ(T("x = 'ab"), "x = 'ab");
}

TEST(SqliteDialect, CallbackDayBecomesARangeOnTheStoredValue) {
    const double day = DateTimeValue::FromDate(QDate(2026, 12, 8));
    const QString range = QStringLiteral("(CallbackDate >= %1 AND CallbackDate < %2)")
                              .arg(qint64(day))
                              .arg(qint64(day) + 1);
    EXPECT_EQ(
        T("select * from Contacts where Format(CallbackDate, \"Short Date\") = \"12/8/2026\""),
        "select * from Contacts where " + range);
    // Letter case, spacing, operand order and qualified or bracketed names.
    EXPECT_EQ(T("where \"12/8/2026\"=format( CallbackDate ,\"short date\" )"), "where " + range);
    EXPECT_EQ(T("where FORMAT([CallbackDate], 'Short Date') = '12/8/2026' and x = 1"),
              "where " + QString(range).replace("CallbackDate", "\"CallbackDate\"") + " and x = 1");
    EXPECT_EQ(T("where Format(c.CallbackDate, \"Short Date\") = \"12/8/2026\""),
              "where " + QString(range).replace("CallbackDate", "c.CallbackDate"));
}

TEST(SqliteDialect, DayTextsThatAreNoShortDateMatchNothing) {
    const QString none = "(CASE WHEN CallbackDate IS NULL THEN NULL ELSE 0 END)";
    for (const char *text : {"tomorrow", "13/45/2026", "12/08/2026", " 12/8/2026", ""})
        EXPECT_EQ(T(QString("where Format(CallbackDate, \"Short Date\") = \"%1\"").arg(text)),
                  "where " + none)
            << text;
}

TEST(SqliteDialect, TheDayTestIsLeftToTheFunctionWhereOperatorsBindItDifferently) {
    for (const char *text : {"where a || Format(d, \"Short Date\") = \"12/8/2026\"",
                             "where Format(d, \"Short Date\") = \"12/8/2026\" || 'x'",
                             "where x between 1 and Format(d, \"Short Date\") = \"12/8/2026\"",
                             "where Format(d, \"Long Date\") = \"12/8/2026\""}) {
        const QString translated = T(text);
        EXPECT_TRUE(translated.contains("Format(d, 'Short Date')") ||
                    translated.contains("Format(d, 'Long Date')"))
            << translated.toStdString();
    }
}

// The range must select exactly the values the Format function would, on
// either side of the epoch and with any time of day.
TEST(SqliteDialect, TheRangeSelectsExactlyWhatTheFormatFunctionMatches) {
    TempDatabase db;
    auto handle = SqliteHandle::Open(db.Path(), 1000);
    handle->Exec("CREATE TEMP TABLE v (d)");
    const double values[] = {-3.75, -2.0, -1.5, -1.0,    -0.5,      0.0,         0.25,   0.999,
                             1.0,   1.5,  2.0,  46364.0, 46364.375, 46364.99999, 46365.0};
    for (double value : values)
        handle->Exec(QStringLiteral("INSERT INTO v VALUES (%1)").arg(value, 0, 'g', 17));
    handle->Exec("INSERT INTO v VALUES (NULL)");
    for (double day : {-2.0, -1.0, 0.0, 1.0, 46364.0}) {
        const QString text = DateTimeValue::ShortDateText(day);
        auto ids = [&](const QString &where) {
            QStringList found;
            SqliteStatement statement(handle->Db(), "SELECT rowid FROM v WHERE " + where);
            while (statement.Step())
                found << statement.Column(0).toString();
            return found;
        };
        const QStringList byFunction =
            ids(QStringLiteral("Format(d, 'Short Date') = '%1'").arg(text));
        const QStringList byRange = ids(SqliteDialect::DayCondition("d", text));
        EXPECT_FALSE(byFunction.isEmpty()) << text.toStdString();
        EXPECT_EQ(byRange, byFunction) << text.toStdString();
    }
}

class SqliteDialectOnContacts : public ::testing::Test {
protected:
    SqliteDialectOnContacts() : engine(Connected(db.Path())) {}
    std::unique_ptr<TRowSource> Open(const QString &sql) {
        return engine->OpenRowSource(QueryRequest(sql, ltReadOnly));
    }
    TempDatabase db;
    std::unique_ptr<SqliteEngine> engine;
};

TEST_F(SqliteDialectOnContacts, CallbackStatementIsServedByTheCallbackDateIndex) {
    const QString statement =
        "select * from Contacts where Format(CallbackDate, \"Short Date\") = \"12/8/2026\"";
    auto handle = SqliteHandle::Open(db.Path(), 1000);
    SqliteStatement plan(handle->Db(), "EXPLAIN QUERY PLAN " + SqliteDialect::Translate(statement));
    QString details;
    while (plan.Step())
        details += plan.Column(3).toString() + '\n';
    EXPECT_TRUE(details.contains("USING INDEX CallbackDate")) << details.toStdString();
}

TEST_F(SqliteDialectOnContacts, CallbackStatementListsTheContactsOfThatDay) {
    const double day = DateTimeValue::FromDate(QDate(2026, 12, 8));
    db.Exec(QStringLiteral("INSERT INTO Contacts (CompanyName, CallbackDate) VALUES "
                           "('early', %1), ('late', %2), ('before', %3), ('after', %4), "
                           "('never', NULL)")
                .arg(day + 0.375, 0, 'f', 6)
                .arg(day + 0.729, 0, 'f', 6)
                .arg(day - 0.01, 0, 'f', 6)
                .arg(day + 1, 0, 'f', 6));
    auto rows = Open("select * from Contacts where Format(CallbackDate, \"Short Date\") = \"" +
                     DateTimeValue::ShortDateText(day) + "\"");
    EXPECT_EQ(ColumnTexts(*rows, 1), QStringList({"early", "late"}));
}

TEST_F(SqliteDialectOnContacts, SearchStatementMatchesSubstringsAndQuotesInsideText) {
    db.Exec("INSERT INTO Contacts (CompanyName, City, Address) VALUES "
            "('Alpha', 'Berlin', 'Main St'), ('Beta', 'Paris', 'Oberstrasse 5'), "
            "('Gamma', 'Rome', 'Via Roma'), ('O''Neil \"Ltd\"', 'Oslo', NULL)");
    auto search = [&](const QString &text) {
        const char *heads[] = {"select * from Contacts where CompanyName like \"%",
                               " or ContactPerson like \"%",
                               " or City like \"%",
                               " or State like \"%",
                               " or PostCode like \"%",
                               " or Phone like \"%",
                               " or Mobile like \"%",
                               " or Url like \"%",
                               " or Address like \"%"};
        QStringList lines;
        for (const char *head : heads)
            lines << QString::fromLatin1(head) + text + "%\"";
        auto rows = Open(lines.join("\r\n"));
        return ColumnTexts(*rows, 1);
    };
    EXPECT_EQ(search("ber"), QStringList({"Alpha", "Beta"}));
    EXPECT_EQ(search("O'N"), QStringList({"O'Neil \"Ltd\""}));
    EXPECT_EQ(search("R_m"), QStringList({"Gamma"}));
    // A stray double quote ends the literal early: the engine rejects it.
    const std::string error = ErrorOf([&] { search("a\"b"); });
    EXPECT_NE(error, "no error");
    EXPECT_TRUE(QString::fromStdString(error).contains("syntax error") ||
                QString::fromStdString(error).contains("unrecognized token"))
        << error;
}

TEST_F(SqliteDialectOnContacts, UnterminatedLiteralFailsWithTheEnginesMessage) {
    const std::string error = ErrorOf([&] { Open("select * from Contacts where City = \"Oslo"); });
    EXPECT_NE(error.find("unrecognized token"), std::string::npos) << error;
}

} // namespace

TEST_F(SqliteDialectOnContacts, ALiteralHoldingANulRunsAndComparesWholly) {
    db.Exec("INSERT INTO Contacts (CompanyName) VALUES ('ab'), ('a')");
    const QString nul(QChar(0));
    auto rows = Open("select * from Contacts where CompanyName = \"a" + nul + "b\"");
    EXPECT_TRUE(ColumnTexts(*rows, 1).isEmpty());
    rows = Open("select * from Contacts where CompanyName like \"%a" + nul + "%\"");
    EXPECT_NO_THROW(ColumnTexts(*rows, 1));
}
