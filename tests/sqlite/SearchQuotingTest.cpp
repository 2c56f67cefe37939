#include "SearchTestSupport.h"
#include "data/DBConnection.h"
#include "data/QueryCursor.h"
#include "sqlite/SqliteDialect.h"
#include "support/TempDatabase.h"

#include <gtest/gtest.h>

using namespace search_test;

namespace {

TEST(SearchQuoting, DoubledQuotesAndApostrophesBecomeOneEngineLiteral) {
    EXPECT_EQ(SqliteDialect::Translate("x like \"O\"\"Brien\""), "x like 'O\"Brien'");
    EXPECT_EQ(SqliteDialect::Translate("x like \"%O'Brien%\""), "x like '%O''Brien%'");
    EXPECT_EQ(SqliteDialect::Translate("x like \"\"\"\"\"\""), "x like '\"\"'");
    EXPECT_EQ(SqliteDialect::Translate("x like \"'\"\"'\""), "x like '''\"'''");
}

// A typed text that would end the literal and add a condition of its own
// stays inside its nine literals once its quotes are doubled.
TEST(SearchQuoting, ATypedTextCannotChangeTheStatement) {
    const QString typed = "x\" or \"1\"=\"1";
    QString expected;
    const QStringList columns = SearchedColumns();
    for (int i = 0; i < columns.size(); ++i)
        expected += (i == 0 ? "select * from Contacts where " : " or ") + columns[i] +
                    " like '%x\" or \"1\"=\"1%'";
    EXPECT_EQ(SqliteDialect::Translate(SearchStatement(typed)), expected);

    const QString apostrophes = "a' or '1'='1";
    EXPECT_TRUE(SqliteDialect::Translate(SearchStatement(apostrophes))
                    .startsWith("select * from Contacts where CompanyName like "
                                "'%a'' or ''1''=''1%' or ContactPerson like"));
}

// The same texts searched through a cursor, as the search tab runs them
// (one line per column), on a database with and without the search index.
class SearchQuotingOnDatabase : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        db.Exec("INSERT INTO Contacts (ContactID, CompanyName, City) VALUES "
                "(1, 'Jim O\"Brien Ltd', 'Cork'), (2, 'O''Brien & Sons', 'Dublin'), "
                "(3, 'Brien', 'Galway'), (4, 'The x\" or \"1\"=\"1 Company', NULL), "
                "(5, NULL, 'x'' or ''1''=''1')");
        if (!GetParam())
            db.Exec(DropSearchIndexSql());
        conn.SetConnectionString(db.ConnectionString());
        search.SetConnection(&conn);
        search.SetCursorType(ctOpenForwardOnly);
        search.SetLockType(ltReadOnly);
    }

    QList<int> Search(const QString &typed) {
        search.Close();
        search.SQL().Clear();
        const QString text = QString(typed).replace(QLatin1Char('"'), QLatin1String("\"\""));
        const QStringList columns = SearchedColumns();
        for (int i = 0; i < columns.size(); ++i)
            search.SQL().Add((i == 0 ? "select * from Contacts where " : " or ") + columns[i] +
                             " like \"%" + text + "%\"");
        search.Open();
        QList<int> ids;
        for (; !search.Eof(); search.Next())
            ids << search.FieldNamed("ContactID")->IntegerValue();
        return ids;
    }

    TempDatabase db;
    TDBConnection conn{"connDB"};
    TQueryCursor search{"qrySearch"};
};

TEST_P(SearchQuotingOnDatabase, QuotesInTheTextAreSearchedForLikeOtherCharacters) {
    EXPECT_EQ(Search("O\"Brien"), QList<int>({1}));
    EXPECT_EQ(Search("o'brien"), QList<int>({2}));
    EXPECT_EQ(Search("Brien"), QList<int>({1, 2, 3}));
    EXPECT_EQ(Search("x\" or \"1\"=\"1"), QList<int>({4}));
    EXPECT_EQ(Search("x' or '1'='1"), QList<int>({5}));
    EXPECT_EQ(Search("\""), QList<int>({1, 4}));
    EXPECT_EQ(Search("\"\""), QList<int>());
    EXPECT_EQ(Search("'"), QList<int>({2, 5}));
}

INSTANTIATE_TEST_SUITE_P(WithAndWithoutIndex, SearchQuotingOnDatabase, ::testing::Bool());

} // namespace
