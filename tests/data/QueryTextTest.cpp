#include "data/QueryCursor.h"

#include <gtest/gtest.h>

namespace {

TEST(QueryText, LinesAreJoinedEachFollowedByALineBreak) {
    TQueryCursor query("qrySearch");
    query.SQL().Add("select * from Contacts where CompanyName like \"%a%\"");
    query.SQL().Add(" or City like \"%a%\"");
    EXPECT_EQ(query.CommandText(), "select * from Contacts where CompanyName like \"%a%\"\r\n"
                                   " or City like \"%a%\"\r\n");
    query.SQL().Clear();
    EXPECT_EQ(query.CommandText(), "");
    query.SQL().SetText("select 1\nfrom x\r\n");
    EXPECT_EQ(query.SQL().Count(), 2);
    EXPECT_EQ(query.CommandText(), "select 1\r\nfrom x\r\n");
}

TEST(QueryText, ColonNamesBecomeParametersOutsideLiterals) {
    QStringList names;
    EXPECT_EQ(TQueryCursor::ParseParameters(
                  "select * from T where a = :first and b = :Second_2 and c = ':inside' and "
                  "d = \":also\" and e = `:quoted` and f = 'x::y' and g = a::b and h = :",
                  &names),
              "select * from T where a = ? and b = ? and c = ':inside' and d = \":also\" and "
              "e = `:quoted` and f = 'x::y' and g = a:b and h = :");
    EXPECT_EQ(names, (QStringList{"first", "Second_2"}));
}

TEST(QueryText, TextsWithoutMarkersPassUnchanged) {
    TQueryCursor query("q");
    query.SQL().Add("select * from Contacts where Format(CallbackDate, \"Short Date\") = "
                    "\"12/8/2026\"");
    EXPECT_TRUE(query.Parameters().isEmpty());
    EXPECT_EQ(query.CommandText(), query.SQL()[0] + "\r\n");
}

TEST(QueryText, OpeningWithoutATextFailsAndStaysClosed) {
    TQueryCursor query("qryEmpty");
    try {
        query.Open();
        FAIL();
    } catch (const EDatabaseError &e) {
        EXPECT_EQ(e.Message(), "qryEmpty: Missing Connection or ConnectionString");
    }
    EXPECT_FALSE(query.Active());
}

} // namespace
