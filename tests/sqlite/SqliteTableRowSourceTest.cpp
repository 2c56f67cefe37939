#include "SqliteTestSupport.h"
#include "support/TempDatabase.h"

using namespace sqlite_test;

namespace {

// A contacts database with three companies A, B, C (ContactID 1 to 3).
class SqliteTableRows : public ::testing::Test {
protected:
    SqliteTableRows() {
        db.Exec("INSERT INTO Contacts (ContactID, CompanyName, Phone) VALUES "
                "(1, 'A', '111'), (2, 'B', '222'), (3, 'C', '333')");
        engine = Connected(db.Path());
        contacts = engine->OpenRowSource(TableRequest("Contacts", "ContactID"));
    }
    QString Company() { return contacts->Value(1).toString(); }
    QStringList Companies() { return ColumnTexts(*contacts, 1); }

    TempDatabase db;
    std::unique_ptr<SqliteEngine> engine;
    std::unique_ptr<TRowSource> contacts;
};

TEST_F(SqliteTableRows, MovesFromBothEndsSetTheSourceFlags) {
    EXPECT_FALSE(contacts->SourceBOF());
    EXPECT_FALSE(contacts->SourceEOF());
    EXPECT_EQ(Company(), "A");
    contacts->MovePrevious();
    EXPECT_TRUE(contacts->SourceBOF());
    EXPECT_FALSE(contacts->SourceEOF());
    EXPECT_NE(ErrorOf([&] { contacts->Bookmark(); }), "no error");
    contacts->MoveNext();
    EXPECT_EQ(Company(), "A");
    contacts->MoveLast();
    EXPECT_EQ(Company(), "C");
    contacts->MoveNext();
    EXPECT_TRUE(contacts->SourceEOF());
    EXPECT_FALSE(contacts->SourceBOF());
    contacts->MoveNext(); // stays after the last row
    EXPECT_TRUE(contacts->SourceEOF());
    contacts->MovePrevious();
    EXPECT_EQ(Company(), "C");
    contacts->MovePrevious();
    EXPECT_EQ(Company(), "B");
    EXPECT_EQ(contacts->Bookmark(), 2);
}

TEST_F(SqliteTableRows, EmptyTableHasBothFlagsAndShowsRowsAddedLater) {
    db.Exec("DELETE FROM Contacts");
    auto empty = engine->OpenRowSource(TableRequest("Contacts"));
    EXPECT_TRUE(empty->SourceBOF());
    EXPECT_TRUE(empty->SourceEOF());
    empty->MoveNext();
    empty->MoveLast();
    EXPECT_TRUE(empty->SourceBOF() && empty->SourceEOF());
    EXPECT_NE(ErrorOf([&] { empty->Value(1); }), "no error");
    db.Exec("INSERT INTO Contacts (CompanyName) VALUES ('Late')");
    empty->MoveFirst();
    EXPECT_EQ(empty->Value(1).toString(), "Late");
}

TEST_F(SqliteTableRows, ValuesAreReadWhenFirstAskedAndKeptUntilTheRowChanges) {
    contacts->MoveNext(); // on B, nothing read yet
    db.Exec("UPDATE Contacts SET CompanyName = 'B2' WHERE ContactID = 2");
    EXPECT_EQ(Company(), "B2");
    db.Exec("UPDATE Contacts SET CompanyName = 'B3' WHERE ContactID = 2");
    EXPECT_EQ(Company(), "B2"); // kept
    contacts->GotoBookmark(2);
    EXPECT_EQ(Company(), "B3");
}

TEST_F(SqliteTableRows, RowsOfOtherProgramsAppearInOrder) {
    db.Exec("INSERT INTO Contacts (ContactID, CompanyName) VALUES (10, 'Z'), (0, 'First')");
    EXPECT_EQ(Companies(), QStringList({"First", "A", "B", "C", "Z"}));
}

TEST_F(SqliteTableRows, InsertStandsOnTheNewRowWithItsCounter) {
    contacts->AddNew();
    contacts->SetValue(1, QString("New"));
    contacts->SetValue(16, 46364.5);
    EXPECT_EQ(contacts->Value(1).toString(), "New");
    EXPECT_TRUE(ValueIsNull(contacts->Value(2)));
    contacts->Update();
    EXPECT_EQ(contacts->Bookmark(), 4);
    EXPECT_EQ(contacts->Value(0).toLongLong(), 4);
    EXPECT_EQ(contacts->Value(16).toDouble(), 46364.5);
    EXPECT_EQ(db.Scalar("SELECT CompanyName FROM Contacts WHERE ContactID = 4").toString(), "New");
    contacts->MovePrevious();
    EXPECT_EQ(Company(), "C");
}

TEST_F(SqliteTableRows, CounterColumnCannotBeSet) {
    contacts->AddNew();
    EXPECT_EQ(ErrorOf([&] { contacts->SetValue(0, 7); }),
              "The column 'ContactID' cannot be written.");
}

TEST_F(SqliteTableRows, UpdateWritesOnlyTheSetColumnsOfThatRow) {
    contacts->GotoBookmark(2);
    contacts->SetExpected(8, QString("222"));
    contacts->SetValue(8, QString("999"));
    contacts->Update();
    EXPECT_EQ(contacts->Bookmark(), 2);
    EXPECT_EQ(contacts->Value(8).toString(), "999");
    EXPECT_EQ(db.Rows("SELECT ContactID, CompanyName, Phone FROM Contacts"),
              QStringList({"1|A|111", "2|B|999", "3|C|333"}));
}

TEST_F(SqliteTableRows, NullValuesAreWrittenAndExpectedAsNull) {
    contacts->GotoBookmark(1);
    contacts->SetValue(8, TValue());
    contacts->Update();
    contacts->SetExpected(8, TValue());
    contacts->SetValue(1, QString("A2"));
    contacts->Update();
    EXPECT_EQ(db.Rows("SELECT CompanyName, Phone FROM Contacts WHERE ContactID = 1"),
              QStringList({"A2|NULL"}));
}

TEST_F(SqliteTableRows, ChangeByAnotherProgramIsNeverOverwritten) {
    contacts->GotoBookmark(2);
    const TValue read = contacts->Value(8);
    db.Exec("UPDATE Contacts SET Phone = 'theirs' WHERE ContactID = 2");
    contacts->SetExpected(8, read);
    contacts->SetValue(8, QString("mine"));
    EXPECT_EQ(ErrorOf([&] { contacts->Update(); }),
              "The row was changed by another program since it was read; nothing was saved.");
    EXPECT_EQ(db.Scalar("SELECT Phone FROM Contacts WHERE ContactID = 2").toString(), "theirs");
    EXPECT_NE(ErrorOf([&] { contacts->DeleteRow(); }), "no error");
    EXPECT_EQ(db.Scalar("SELECT count(*) FROM Contacts").toInt(), 3);
    // Nothing half-done is left behind: the handle writes again at once.
    contacts->CancelUpdate();
    contacts->SetValue(1, QString("B2"));
    contacts->Update();
    EXPECT_EQ(db.Scalar("SELECT CompanyName FROM Contacts WHERE ContactID = 2").toString(), "B2");
}

TEST_F(SqliteTableRows, RowDeletedByAnotherProgramIsReportedAndNotRecreated) {
    contacts->GotoBookmark(2);
    EXPECT_EQ(Company(), "B");
    db.Exec("DELETE FROM Contacts WHERE ContactID = 2");
    EXPECT_TRUE(contacts->RowDeleted());
    contacts->SetValue(8, QString("mine"));
    EXPECT_EQ(ErrorOf([&] { contacts->Update(); }),
              "The row was deleted by another program since it was read; nothing was saved.");
    EXPECT_EQ(ErrorOf([&] { contacts->DeleteRow(); }),
              "The row was deleted by another program since it was read; nothing was deleted.");
    EXPECT_EQ(db.Scalar("SELECT count(*) FROM Contacts").toInt(), 2);
}

TEST_F(SqliteTableRows, DeleteStandsOnThePlaceSoMovesGoOnFromIt) {
    contacts->GotoBookmark(2);
    contacts->SetExpected(1, QString("B"));
    contacts->DeleteRow();
    EXPECT_TRUE(contacts->RowDeleted());
    EXPECT_NE(ErrorOf([&] { contacts->Value(1); }), "no error");
    contacts->MoveNext();
    EXPECT_EQ(Company(), "C");
    // A bookmark of the deleted row stands at its place too.
    contacts->GotoBookmark(2);
    EXPECT_TRUE(contacts->RowDeleted());
    contacts->MovePrevious();
    EXPECT_EQ(Company(), "A");
    EXPECT_FALSE(contacts->RowDeleted());
}

TEST_F(SqliteTableRows, TooLongValueIsRefusedWithTheFieldAndItsSize) {
    contacts->SetValue(8, QString(31, '9'));
    EXPECT_EQ(ErrorOf([&] { contacts->Update(); }),
              "The value for field 'Phone' is too long: at most 30 characters.");
    EXPECT_EQ(db.Scalar("SELECT Phone FROM Contacts WHERE ContactID = 1").toString(), "111");
    contacts->SetValue(8, QString(30, '9'));
    contacts->Update();
    EXPECT_EQ(contacts->Value(8).toString(), QString(30, '9'));
}

TEST_F(SqliteTableRows, OtherConstraintFailuresKeepTheEnginesText) {
    db.Exec("CREATE UNIQUE INDEX OneName ON Contacts(CompanyName)");
    contacts->AddNew();
    contacts->SetValue(1, QString("A"));
    const std::string error = ErrorOf([&] { contacts->Update(); });
    EXPECT_NE(error.find("UNIQUE constraint failed: Contacts.CompanyName"), std::string::npos)
        << error;
    // The new row is still pending: corrected, it is stored.
    contacts->SetValue(1, QString("X"));
    contacts->Update();
    EXPECT_EQ(Company(), "X");
}

TEST_F(SqliteTableRows, ReadOnlyTableRefusesChanges) {
    auto status = engine->OpenRowSource(TableRequest("Status", "", ltReadOnly));
    EXPECT_FALSE(status->SupportsUpdating());
    const std::string refusal = "The row source is read-only; it cannot be changed.";
    EXPECT_EQ(ErrorOf([&] { status->AddNew(); }), refusal);
    EXPECT_EQ(ErrorOf([&] { status->SetValue(1, QString("x")); }), refusal);
    EXPECT_EQ(ErrorOf([&] { status->DeleteRow(); }), refusal);
}

TEST_F(SqliteTableRows, UnknownTablesAndIndexesAreNamed) {
    EXPECT_EQ(ErrorOf([&] { engine->OpenRowSource(TableRequest("Nothing")); }),
              "The table 'Nothing' cannot be found.");
    EXPECT_EQ(ErrorOf([&] { engine->OpenRowSource(TableRequest("Contacts", "ByName")); }),
              "The index 'ByName' cannot be found on table 'Contacts'.");
    // Table names are matched without regard to case, brackets allowed.
    EXPECT_EQ(engine->OpenRowSource(TableRequest("[contacts]"))->Value(1).toString(), "A");
}

TEST_F(SqliteTableRows, CloneFindsTheFirstMatchInTheTablesOrder) {
    db.Exec("INSERT INTO Contacts (ContactID, CompanyName, CountryID) VALUES (7, 'B', 5)");
    auto clone = contacts->Clone();
    EXPECT_EQ(clone->FindFirst("contactid", qint64(3)), std::optional<TBookmark>(3));
    EXPECT_EQ(clone->FindFirst("ContactID", QString("3")), std::optional<TBookmark>(3));
    EXPECT_EQ(clone->FindFirst("CompanyName", QString("B")), std::optional<TBookmark>(2));
    EXPECT_EQ(clone->FindFirst("CountryID", 5), std::optional<TBookmark>(7));
    EXPECT_EQ(clone->FindFirst("CountryID", TValue()), std::optional<TBookmark>(1));
    EXPECT_EQ(clone->FindFirst("ContactID", 42), std::nullopt);
    EXPECT_EQ(ErrorOf([&] { clone->FindFirst("Nope", 1); }),
              "The table 'Contacts' has no column 'Nope'.");
    // The clone has a position of its own.
    EXPECT_EQ(Company(), "A");
}

// The order of an index: its columns with their collation and direction,
// nulls first, the rowid between equal keys; moves in both directions and
// from deleted rows agree with the engine's own ORDER BY.
TEST(SqliteTableOrder, IndexOrderMatchesTheEnginesOrderInBothDirections) {
    TempDatabase db;
    db.Exec("CREATE TABLE T (id INTEGER PRIMARY KEY, a TEXT, b INTEGER);"
            "CREATE INDEX ByAB ON T(a COLLATE NOCASE, b DESC);"
            "INSERT INTO T (a, b) VALUES ('x', 1), (NULL, 2), ('X', 3), ('b', NULL), "
            "('B', 5), (NULL, NULL), ('x', 1), ('a', 9), (NULL, 2), ('b', 5)");
    const QStringList expected = db.Rows("SELECT id FROM T ORDER BY a COLLATE NOCASE, b DESC, id");
    auto engine = Connected(db.Path());
    auto rows = engine->OpenRowSource(TableRequest("T", "byab"));
    EXPECT_EQ(ColumnTexts(*rows, 0), expected);
    QStringList backward;
    for (rows->MoveLast(); !rows->SourceBOF(); rows->MovePrevious())
        backward.prepend(rows->Value(0).toString());
    EXPECT_EQ(backward, expected);
    // Delete every other row through another program, then walk on from
    // each place by its bookmark.
    for (int i = 0; i < expected.size(); ++i) {
        rows->GotoBookmark(expected[i].toLongLong());
        if (i % 2)
            db.Exec("DELETE FROM T WHERE id = " + expected[i]);
    }
    for (int i = 1; i + 1 < expected.size(); i += 2) {
        rows->GotoBookmark(expected[i].toLongLong());
        EXPECT_TRUE(rows->RowDeleted());
        rows->MoveNext();
        EXPECT_EQ(rows->Value(0).toString(), expected[i + 1]);
        rows->GotoBookmark(expected[i].toLongLong());
        rows->MovePrevious();
        EXPECT_EQ(rows->Value(0).toString(), expected[i - 1]);
    }
}

TEST(SqliteTableOrder, UpdateOfAnIndexColumnMovesTheRowInTheOrder) {
    TempDatabase db;
    db.Exec("CREATE TABLE T (id INTEGER PRIMARY KEY, a TEXT); CREATE INDEX ByA ON T(a);"
            "INSERT INTO T (a) VALUES ('a'), ('b'), ('c')");
    auto engine = Connected(db.Path());
    auto rows = engine->OpenRowSource(TableRequest("T", "ByA"));
    rows->SetValue(1, QString("z"));
    rows->Update();
    EXPECT_EQ(rows->Bookmark(), 1);
    rows->MovePrevious();
    EXPECT_EQ(rows->Value(1).toString(), "c");
    EXPECT_EQ(ColumnTexts(*rows, 1), QStringList({"b", "c", "z"}));
}

} // namespace
