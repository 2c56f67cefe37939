#include "sqlite/SqliteQueryRowSource.h"
#include "SqliteTestSupport.h"
#include "sqlite/SqliteQueryClone.h"
#include "support/TempDatabase.h"

using namespace sqlite_test;

namespace {

// Ten contacts C1 .. C10 (ContactID 1 to 10) in country 1.
class SqliteQueryRows : public ::testing::Test {
protected:
    SqliteQueryRows() {
        db.Exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 10) "
                "INSERT INTO Contacts (ContactID, CompanyName, CountryID, Phone) "
                "SELECT i, 'C' || i, 1, 'p' || i FROM n");
        engine = Connected(db.Path());
    }
    std::unique_ptr<SqliteQueryRowSource> Open(const QString &sql, TLockType lock = ltOptimistic) {
        auto source = engine->OpenRowSource(QueryRequest(sql, lock));
        auto *query = dynamic_cast<SqliteQueryRowSource *>(source.get());
        EXPECT_NE(query, nullptr);
        source.release();
        return std::unique_ptr<SqliteQueryRowSource>(query);
    }

    TempDatabase db;
    std::unique_ptr<SqliteEngine> engine;
};

TEST_F(SqliteQueryRows, RowsAreSteppedOnlyAsFarAsAsked) {
    auto rows = Open("select * from Contacts", ltReadOnly);
    EXPECT_EQ(rows->RowsRead(), 1);
    rows->MoveNext();
    rows->MoveNext();
    EXPECT_EQ(rows->RowsRead(), 3);
    rows->MoveFirst();
    rows->GotoBookmark(1);
    EXPECT_EQ(rows->RowsRead(), 3);
    rows->GotoBookmark(5);
    EXPECT_EQ(rows->RowsRead(), 6);
    rows->MoveLast();
    EXPECT_EQ(rows->RowsRead(), 10);
    EXPECT_EQ(rows->Value(1).toString(), "C10");
    EXPECT_EQ(ErrorOf([&] { rows->GotoBookmark(10); }),
              "The bookmark does not name a row of the result.");
}

TEST_F(SqliteQueryRows, MovesAndFlagsFromBothEnds) {
    auto rows = Open("select CompanyName from Contacts where ContactID <= 2", ltReadOnly);
    EXPECT_EQ(rows->Bookmark(), 0);
    rows->MovePrevious();
    EXPECT_TRUE(rows->SourceBOF());
    EXPECT_FALSE(rows->SourceEOF());
    rows->MoveNext();
    rows->MoveNext();
    EXPECT_EQ(rows->Value(0).toString(), "C2");
    rows->MoveNext();
    EXPECT_TRUE(rows->SourceEOF());
    EXPECT_FALSE(rows->SourceBOF());
    rows->MovePrevious();
    EXPECT_EQ(rows->Value(0).toString(), "C2");
    auto empty = Open("select * from Contacts where 0", ltReadOnly);
    EXPECT_TRUE(empty->SourceBOF() && empty->SourceEOF());
    empty->MoveNext();
    empty->MoveLast();
    EXPECT_TRUE(empty->SourceBOF() && empty->SourceEOF());
}

TEST_F(SqliteQueryRows, CommandOfSeveralStatementsOpensTheFirstWithColumns) {
    auto rows = Open("create temp table scratch (v); insert into scratch values (41);\r\n"
                     "update scratch set v = v + 1; select v from scratch; select 'ignored'");
    EXPECT_EQ(rows->Value(0).toInt(), 42);
    EXPECT_THROW(Open("update Contacts set Fax = 'f' where ContactID = 1; ; -- done"),
                 ENoResultSet);
    EXPECT_EQ(db.Scalar("select Fax from Contacts where ContactID = 1").toString(), "f");
    EXPECT_EQ(ErrorOf([&] { Open("  "); }), "CommandText does not return a result set");
}

TEST_F(SqliteQueryRows, ReadOnlyQueryRefusesChanges) {
    auto rows = Open("select * from Contacts", ltReadOnly);
    EXPECT_FALSE(rows->SupportsUpdating());
    EXPECT_NE(ErrorOf([&] { rows->AddNew(); }), "no error");
    EXPECT_NE(ErrorOf([&] { rows->SetValue(1, QString("x")); }), "no error");
    EXPECT_NE(ErrorOf([&] { rows->DeleteRow(); }), "no error");
}

TEST_F(SqliteQueryRows, UpdateThroughAJoinWritesTheContactByItsKey) {
    auto rows = Open("select ct.Name as Country, c.* from Contacts c\r\n"
                     "inner join Countries ct on ct.CountryID = c.CountryID");
    rows->GotoBookmark(2);
    ASSERT_EQ(rows->Value(1).toInt(), 3);
    EXPECT_EQ(ErrorOf([&] { rows->SetValue(0, QString("Elsewhere")); }),
              "The column 'Country' cannot be written.");
    rows->SetExpected(9, QString("p3"));
    rows->SetValue(9, QString("new phone"));
    rows->Update();
    EXPECT_EQ(rows->Value(9).toString(), "new phone");
    EXPECT_EQ(db.Scalar("select Phone from Contacts where ContactID = 3").toString(), "new phone");
    // Changed by another program in between: refused, nothing overwritten.
    db.Exec("update Contacts set Phone = 'theirs' where ContactID = 3");
    rows->SetExpected(9, QString("new phone"));
    rows->SetValue(9, QString("mine"));
    EXPECT_EQ(ErrorOf([&] { rows->Update(); }),
              "The row was changed by another program since it was read; nothing was saved.");
    EXPECT_EQ(db.Scalar("select Phone from Contacts where ContactID = 3").toString(), "theirs");
}

TEST_F(SqliteQueryRows, NewRowGoesAfterAllRowsWithItsStoredValues) {
    auto rows = Open("select ContactID, CompanyName, StatusID from Contacts where CountryID = 1");
    EXPECT_EQ(rows->RowsRead(), 1);
    rows->AddNew();
    rows->SetValue(1, QString("Fresh"));
    rows->Update();
    EXPECT_EQ(rows->RowsRead(), 10); // the rest was read first
    EXPECT_EQ(rows->Bookmark(), 10);
    EXPECT_EQ(rows->Value(0).toInt(), 11); // the counter, read back by key
    EXPECT_EQ(rows->Value(1).toString(), "Fresh");
    EXPECT_TRUE(ValueIsNull(rows->Value(2)));
    rows->MoveNext();
    EXPECT_TRUE(rows->SourceEOF());
    rows->MovePrevious();
    rows->MovePrevious();
    EXPECT_EQ(rows->Value(1).toString(), "C10");
}

TEST_F(SqliteQueryRows, NewRowOfSeveralTablesIsRefused) {
    auto rows = Open("select c.ContactID, c.CompanyName, s.StatusID, s.Name "
                     "from Contacts c, Status s where s.StatusID = 1");
    rows->AddNew();
    rows->SetValue(1, QString("X"));
    rows->SetValue(3, QString("Y"));
    EXPECT_EQ(ErrorOf([&] { rows->Update(); }),
              "The values belong to several tables (Contacts, Status); a row can be added to "
              "one table only.");
    EXPECT_EQ(ErrorOf([&] { rows->DeleteRow(); }),
              "The row joins several tables; it cannot be deleted.");
}

TEST_F(SqliteQueryRows, DeletedRowStaysMarkedAndMovesPassOverIt) {
    auto rows = Open("select * from Contacts where ContactID <= 3");
    rows->GotoBookmark(1);
    rows->SetExpected(1, QString("C2"));
    rows->DeleteRow();
    EXPECT_TRUE(rows->RowDeleted());
    EXPECT_EQ(ErrorOf([&] { rows->Value(1); }), "The row has been deleted.");
    EXPECT_EQ(db.Scalar("select count(*) from Contacts where ContactID = 2").toInt(), 0);
    rows->MoveNext();
    EXPECT_EQ(rows->Bookmark(), 2);
    rows->MovePrevious();
    EXPECT_EQ(rows->Bookmark(), 0);
    EXPECT_EQ(ColumnTexts(*rows, 1), QStringList({"C1", "C3"}));
    auto clone = rows->Clone();
    EXPECT_EQ(clone->FindFirst("CompanyName", QString("C2")), std::nullopt);
    EXPECT_EQ(clone->FindFirst("CompanyName", QString("C3")), std::optional<TBookmark>(2));
}

TEST_F(SqliteQueryRows, DeleteOfARowGoneMeanwhileIsReported) {
    auto rows = Open("select * from Contacts");
    db.Exec("delete from Contacts where ContactID = 1");
    EXPECT_EQ(ErrorOf([&] { rows->DeleteRow(); }),
              "The row was deleted by another program since it was read; nothing was deleted.");
    EXPECT_FALSE(rows->RowDeleted());
}

TEST_F(SqliteQueryRows, CloneScansInOrderReadingFurtherRowsAsNeeded) {
    auto rows = Open("select ContactID, CompanyName, Phone from Contacts order by ContactID desc",
                     ltReadOnly);
    auto clone = rows->Clone();
    EXPECT_EQ(clone->FindFirst("contactid", 8), std::optional<TBookmark>(2));
    EXPECT_EQ(rows->RowsRead(), 3);
    EXPECT_EQ(clone->FindFirst("ContactID", QString("7")), std::optional<TBookmark>(3));
    EXPECT_EQ(clone->FindFirst("Phone", QString("p1")), std::optional<TBookmark>(9));
    EXPECT_EQ(clone->FindFirst("Phone", QString("P1")), std::nullopt);
    EXPECT_EQ(ErrorOf([&] { clone->FindFirst("Fax", 1); }), "The result has no column 'Fax'.");
    EXPECT_EQ(rows->Bookmark(), 0); // the row source did not move
}

TEST(SqliteQueryClone, NumbersCompareAsNumbersAndTextsAsTexts) {
    EXPECT_TRUE(SqliteQueryClone::Matches(qint64(5), 5));
    EXPECT_TRUE(SqliteQueryClone::Matches(5.0, qint64(5)));
    EXPECT_TRUE(SqliteQueryClone::Matches(qint64(5), QString("5")));
    EXPECT_FALSE(SqliteQueryClone::Matches(qint64(5), QString("five")));
    EXPECT_TRUE(SqliteQueryClone::Matches(QString("5"), 5));
    EXPECT_FALSE(SqliteQueryClone::Matches(QString("abc"), QString("ABC")));
    EXPECT_TRUE(SqliteQueryClone::Matches(TValue(), TValue()));
    EXPECT_FALSE(SqliteQueryClone::Matches(TValue(), QString()));
    EXPECT_FALSE(SqliteQueryClone::Matches(qint64(9007199254740993), qint64(9007199254740992)));
}

// A query read halfway runs on a handle of its own: it holds no read snapshot
// on the handle that writes, so a Post succeeds even after another program
// has written meanwhile.
TEST_F(SqliteQueryRows, PostSucceedsWhileAQueryIsHalfRead) {
    auto half = Open("select * from Contacts", ltReadOnly);
    half->MoveNext();
    auto contacts = engine->OpenRowSource(TableRequest("Contacts", "ContactID"));
    EXPECT_EQ(contacts->Value(1).toString(), "C1");
    db.Exec("update Contacts set Fax = 'other' where ContactID = 5");
    contacts->SetValue(8, QString("posted"));
    contacts->Update();
    EXPECT_EQ(db.Scalar("select Phone from Contacts where ContactID = 1").toString(), "posted");
    // The half-read query still shows its own snapshot and reads on.
    half->MoveLast();
    EXPECT_EQ(half->Value(1).toString(), "C10");
    auto fresh = Open("select Phone from Contacts where ContactID = 1", ltReadOnly);
    EXPECT_EQ(fresh->Value(0).toString(), "posted");
}

} // namespace
