#include "data/DBConnection.h"
#include "data/QueryCursor.h"
#include "data/TableCursor.h"
#include "support/MemoryRowSource.h"
#include "support/TempDatabase.h"

#include <gtest/gtest.h>

namespace {

// The same rows in memory and on disk, in this order; "Ölberg" and "österreich"
// differ in case only outside ASCII, and the % and _ rows would be matched by
// an unescaped LIKE pattern.
const char *const kNames[] = {"Germany", "germanic", "Ölberg",   "österreich", "Na_me",
                              "NaXme",   "50%",      "50 cents", "Gerbil"};

int IdOf(TRecordCursor &cursor) {
    return cursor.FieldNamed("ID")->IntegerValue();
}

// Runs the shared expectations against any open cursor over the rows above
// (IDs 1..9 in list order) plus a row 10 with a null name.
void ExpectLocateOptions(TRecordCursor &cursor) {
    const TLocateOptions exact;
    const TLocateOptions nocase{true, false};
    const TLocateOptions partial{false, true};
    const TLocateOptions both{true, true};

    // No options: exact and case-sensitive, as before.
    EXPECT_FALSE(cursor.Locate("Name", QStringLiteral("germany"), exact));
    EXPECT_TRUE(cursor.Locate("Name", QStringLiteral("germanic"), exact));
    EXPECT_EQ(IdOf(cursor), 2);
    EXPECT_FALSE(cursor.Locate("Name", QStringLiteral("Germ"), exact));

    // Case-insensitive whole value, non-ASCII letters included.
    EXPECT_TRUE(cursor.Locate("Name", QStringLiteral("GERMANY"), nocase));
    EXPECT_EQ(IdOf(cursor), 1);
    EXPECT_TRUE(cursor.Locate("Name", QStringLiteral("ÖSTERREICH"), nocase));
    EXPECT_EQ(IdOf(cursor), 4);
    EXPECT_FALSE(cursor.Locate("Name", QStringLiteral("Germ"), nocase));

    // Partial, case-sensitive: the first row in order whose text begins so.
    EXPECT_TRUE(cursor.Locate("Name", QStringLiteral("Ger"), partial));
    EXPECT_EQ(IdOf(cursor), 1);
    EXPECT_TRUE(cursor.Locate("Name", QStringLiteral("germ"), partial));
    EXPECT_EQ(IdOf(cursor), 2);
    EXPECT_TRUE(cursor.Locate("Name", QStringLiteral("Gerb"), partial));
    EXPECT_EQ(IdOf(cursor), 9);
    EXPECT_TRUE(cursor.Locate("Name", QStringLiteral("ö"), partial));
    EXPECT_EQ(IdOf(cursor), 4);

    // Both: the first row, in order, beginning with the value in any case.
    EXPECT_TRUE(cursor.Locate("Name", QStringLiteral("ö"), both));
    EXPECT_EQ(IdOf(cursor), 3);
    EXPECT_TRUE(cursor.Locate("Name", QStringLiteral("öS"), both));
    EXPECT_EQ(IdOf(cursor), 4);
    EXPECT_TRUE(cursor.Locate("Name", QStringLiteral("gE"), both));
    EXPECT_EQ(IdOf(cursor), 1);

    // Pattern characters are plain characters.
    EXPECT_TRUE(cursor.Locate("Name", QStringLiteral("na_"), both));
    EXPECT_EQ(IdOf(cursor), 5);
    EXPECT_TRUE(cursor.Locate("Name", QStringLiteral("naX"), both));
    EXPECT_EQ(IdOf(cursor), 6);
    EXPECT_TRUE(cursor.Locate("Name", QStringLiteral("50%"), both));
    EXPECT_EQ(IdOf(cursor), 7);
    EXPECT_FALSE(cursor.Locate("Name", QStringLiteral("5_%"), both));
    EXPECT_EQ(IdOf(cursor), 7); // a failed search leaves the row

    // A value longer than every text matches nothing; an empty value begins
    // every non-null text; a null value finds the null row only.
    EXPECT_FALSE(cursor.Locate("Name", QStringLiteral("Germanyyyy"), both));
    EXPECT_TRUE(cursor.Locate("Name", QString(""), both));
    EXPECT_EQ(IdOf(cursor), 1);
    EXPECT_TRUE(cursor.Locate("Name", TValue(), both));
    EXPECT_EQ(IdOf(cursor), 10);

    // Numbers under options compare as their texts.
    EXPECT_TRUE(cursor.Locate("Num", QStringLiteral("3"), partial));
    EXPECT_EQ(IdOf(cursor), 3);
    EXPECT_TRUE(cursor.Locate("Num", QStringLiteral("10"), both));
    EXPECT_EQ(IdOf(cursor), 10);

    // Unknown fields still report not found without moving.
    EXPECT_FALSE(cursor.Locate("NoSuchField", QStringLiteral("G"), both));
    EXPECT_EQ(IdOf(cursor), 10);
}

TEST(LocateOptions, MemoryCursorHonoursCaseAndPartialOptions) {
    auto table = std::make_shared<MemoryTable>();
    table->Column("ID", ColumnType::Integer, 0, true)
        .Column("Name", ColumnType::VarWChar, 50)
        .Column("Num", ColumnType::Integer);
    int n = 0;
    for (const char *name : kNames) {
        ++n;
        // Num 3x for row 3 so that a partial "3" first meets row 3.
        table->AddRow({TValue(), QString::fromUtf8(name), qint64(n == 3 ? 31 : n)});
    }
    table->AddRow({TValue(), TValue(), qint64(100)});
    MemoryCursor cursor("rsWords", table);
    cursor.Open();
    ExpectLocateOptions(cursor);
}

class LocateOptionsOnDatabase : public ::testing::Test {
protected:
    LocateOptionsOnDatabase() {
        db.Exec("CREATE TABLE Words (ID INTEGER PRIMARY KEY, Name VARCHAR(50), Num INTEGER)");
        int n = 0;
        for (const char *name : kNames) {
            ++n;
            db.Exec(QStringLiteral("INSERT INTO Words VALUES (%1, '%2', %3)")
                        .arg(n)
                        .arg(QString::fromUtf8(name))
                        .arg(n == 3 ? 31 : n));
        }
        db.Exec("INSERT INTO Words VALUES (10, NULL, 100)");
        conn.SetConnectionString(db.ConnectionString());
    }
    TempDatabase db;
    TDBConnection conn{"connDB"};
};

TEST_F(LocateOptionsOnDatabase, TableCursorHonoursCaseAndPartialOptions) {
    TTableCursor words("rsWords");
    words.SetConnection(&conn);
    words.SetTableName("Words");
    words.Open();
    ExpectLocateOptions(words);
}

TEST_F(LocateOptionsOnDatabase, QueryCursorHonoursCaseAndPartialOptions) {
    TQueryCursor words("qryWords");
    words.SetConnection(&conn);
    words.SetLockType(ltReadOnly);
    words.SQL().Add("select ID, Name, Num from Words order by ID");
    words.Open();
    ExpectLocateOptions(words);
}

TEST_F(LocateOptionsOnDatabase, TableSearchFollowsTheIndexOrder) {
    // In the order of an index on Name, "GERBIL" comes before "Germany".
    db.Exec("CREATE INDEX WordName ON Words(Name)");
    db.Exec("UPDATE Words SET Name = 'GERBIL' WHERE ID = 9");
    TTableCursor words("rsWords");
    words.SetConnection(&conn);
    words.SetTableName("Words");
    words.SetIndexName("WordName");
    words.Open();
    EXPECT_TRUE(words.Locate("Name", QStringLiteral("ger"), TLocateOptions{true, true}));
    EXPECT_EQ(IdOf(words), 9);
    EXPECT_TRUE(words.Locate("Name", QStringLiteral("Germ"), TLocateOptions{false, true}));
    EXPECT_EQ(IdOf(words), 1);
}

} // namespace
