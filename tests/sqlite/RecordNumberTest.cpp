#include "data/DBConnection.h"
#include "data/QueryCursor.h"
#include "data/TableCursor.h"
#include "sqlite/SqliteQueryRowSource.h"
#include "support/CursorRecorder.h"
#include "support/MemoryRowSource.h"
#include "support/TempDatabase.h"

#include <gtest/gtest.h>

namespace {

std::shared_ptr<MemoryTable> PeopleTable(int rows) {
    auto table = std::make_shared<MemoryTable>();
    table->Column("ID", ColumnType::Integer, 0, true).Column("Name", ColumnType::VarWChar, 50);
    for (int i = 1; i <= rows; ++i)
        table->AddRow({TValue(), QStringLiteral("Person %1").arg(i)});
    return table;
}

// A cursor on ten people, with a window of five rows.
class RecordNumbers : public ::testing::Test {
protected:
    explicit RecordNumbers(int rows = 10) : cursor("rsPeople", PeopleTable(rows)) {
        recorder.skipSettle = true;
    }
    int CurrentId() { return cursor.FieldNamed("ID")->IntegerValue(); }

    MemoryCursor cursor;
    CursorRecorder recorder{cursor, 5};
};

TEST_F(RecordNumbers, FollowTheCurrentRow) {
    EXPECT_EQ(cursor.RecordCount(), -1);
    EXPECT_EQ(cursor.RecNo(), -1);
    cursor.Open();
    EXPECT_EQ(cursor.RecordCount(), 10);
    EXPECT_EQ(cursor.RecNo(), 1);
    cursor.Last();
    EXPECT_EQ(cursor.RecNo(), 10);
    EXPECT_EQ(cursor.MoveBy(-3), -3);
    EXPECT_EQ(cursor.RecNo(), 7);
    cursor.First();
    EXPECT_EQ(cursor.MoveBy(8), 8);
    EXPECT_EQ(cursor.RecNo(), 9);
    ASSERT_TRUE(cursor.Locate("Name", QStringLiteral("Person 4")));
    EXPECT_EQ(cursor.RecNo(), 4);
    cursor.Insert();
    EXPECT_EQ(cursor.RecNo(), -1);
    EXPECT_EQ(cursor.RecordCount(), 10);
    cursor.Cancel();
    EXPECT_EQ(cursor.RecNo(), 4);
    cursor.Close();
    EXPECT_EQ(cursor.RecordCount(), -1);
    EXPECT_EQ(cursor.RecNo(), -1);
    cursor.SetRecNo(3); // closed: nothing, and no error
    EXPECT_FALSE(cursor.Active());
}

TEST_F(RecordNumbers, SetRecNoPlacesTheRowAsLocateDoesAndClamps) {
    cursor.Open();
    recorder.Clear();
    cursor.SetRecNo(6);
    EXPECT_EQ(recorder.Joined(), "BeforeScroll, neRowsRefilled, AfterScroll");
    EXPECT_EQ(CurrentId(), 6);
    EXPECT_EQ(cursor.RecNo(), 6);
    EXPECT_EQ(cursor.ActiveBufferIndex(), 2);
    EXPECT_EQ(cursor.BufferedRowCount(), 5);
    EXPECT_FALSE(cursor.Eof());
    EXPECT_FALSE(cursor.Bof());
    cursor.SetRecNo(1);
    EXPECT_EQ(CurrentId(), 1);
    EXPECT_EQ(cursor.ActiveBufferIndex(), 0);
    cursor.SetRecNo(99);
    EXPECT_EQ(CurrentId(), 10);
    EXPECT_EQ(cursor.ActiveBufferIndex(), 4);
    EXPECT_EQ(cursor.RecNo(), 10);
    cursor.SetRecNo(-5);
    EXPECT_EQ(CurrentId(), 1);
    // The window is whole again: moving on scrolls it.
    cursor.SetRecNo(9);
    recorder.Clear();
    EXPECT_EQ(cursor.MoveBy(-4), -4);
    EXPECT_EQ(CurrentId(), 5);
    EXPECT_EQ(recorder.Joined(), "BeforeScroll, neScrolled:1, AfterScroll");
}

TEST_F(RecordNumbers, SetRecNoPostsAPendingEditFirst) {
    cursor.Open();
    cursor.Edit();
    cursor.FieldNamed("Name")->SetTextValue("Renamed");
    recorder.Clear();
    cursor.SetRecNo(7);
    EXPECT_EQ(recorder.Joined(), "BeforePost, neStateChanged, neRowsRefilled, AfterPost, "
                                 "BeforeScroll, neRowsRefilled, AfterScroll");
    EXPECT_EQ(cursor.table->rows[0].values[1].toString(), "Renamed");
    EXPECT_EQ(cursor.State(), stBrowse);
    EXPECT_EQ(CurrentId(), 7);
}

TEST_F(RecordNumbers, DeletedRowsAreNotCounted) {
    cursor.Open();
    cursor.SetRecNo(3);
    cursor.Delete();
    EXPECT_EQ(cursor.RecordCount(), 9);
    EXPECT_EQ(CurrentId(), 4);
    EXPECT_EQ(cursor.RecNo(), 3);
    cursor.SetRecNo(9);
    EXPECT_EQ(CurrentId(), 10);
}

class NoRecords : public RecordNumbers {
protected:
    NoRecords() : RecordNumbers(0) {}
};

TEST_F(NoRecords, EmptyCursorHasACountButNoNumberAndDoesNotScroll) {
    cursor.Open();
    EXPECT_EQ(cursor.RecordCount(), 0);
    EXPECT_EQ(cursor.RecNo(), -1);
    recorder.Clear();
    cursor.SetRecNo(1);
    EXPECT_EQ(recorder.Joined(), "");
    EXPECT_TRUE(cursor.IsEmpty());
}

// The main window's search query and contact table on a database.
class RecordNumbersOnDatabase : public ::testing::Test {
protected:
    RecordNumbersOnDatabase() : db(6) {
        conn.SetConnectionString(db.ConnectionString());
        search.SetConnection(&conn);
        search.SQL().Add("select * from Contacts order by ContactID");
        contacts.SetConnection(&conn);
        contacts.SetTableName("Contacts");
        contacts.SetIndexName("ContactID");
        contacts.SetCursorLocation(clUseServer);
    }
    static int Id(TRecordCursor &cursor) { return cursor.FieldNamed("ContactID")->IntegerValue(); }

    TempDatabase db;
    TDBConnection conn{"connDB"};
    TQueryCursor search{"qrySearch"};
    TTableCursor contacts{"rsContacts"};
};

TEST_F(RecordNumbersOnDatabase, QueryKnowsItsNumbersOnceReadToTheEnd) {
    CursorRecorder recorder(search, 3);
    search.Open();
    search.Next();
    EXPECT_EQ(search.RecordCount(), -1);
    EXPECT_EQ(search.RecNo(), -1);
    recorder.Clear();
    search.SetRecNo(5); // unknown yet: nothing happens
    EXPECT_EQ(recorder.Joined(), "");
    EXPECT_EQ(Id(search), 2);
    search.Last();
    EXPECT_EQ(search.RecordCount(), 6);
    EXPECT_EQ(search.RecNo(), 6);
    search.First();
    EXPECT_EQ(search.RecNo(), 1);
    search.SetRecNo(4);
    EXPECT_EQ(Id(search), 4);
    EXPECT_EQ(search.ActiveBufferIndex(), 1);
    search.Delete();
    EXPECT_EQ(search.RecordCount(), 5);
    EXPECT_EQ(Id(search), 5);
    EXPECT_EQ(search.RecNo(), 4);
    auto *rows = dynamic_cast<SqliteQueryRowSource *>(search.RowSource());
    ASSERT_NE(rows, nullptr);
    EXPECT_EQ(rows->RowNumberOf(3), -1); // the deleted row
    EXPECT_EQ(rows->RowNumberOf(5), 5);
    EXPECT_EQ(rows->BookmarkOfRowNumber(4), std::optional<TBookmark>(4));
    EXPECT_EQ(rows->BookmarkOfRowNumber(6), std::nullopt);
    search.SetRecNo(5);
    EXPECT_EQ(Id(search), 6);
}

TEST_F(RecordNumbersOnDatabase, InsertPostedBySetRecNoIsCountedAndCanBeReached) {
    search.Open();
    search.Last();
    search.Insert();
    EXPECT_EQ(search.RecNo(), -1);
    search.FieldNamed("CompanyName")->SetTextValue("Newcomer");
    search.SetRecNo(7);
    EXPECT_EQ(search.State(), stBrowse);
    EXPECT_EQ(search.RecordCount(), 7);
    EXPECT_EQ(search.FieldNamed("CompanyName")->TextValue(), "Newcomer");
    EXPECT_EQ(search.RecNo(), 7);
}

TEST_F(RecordNumbersOnDatabase, TableCursorHasNoNumbers) {
    CursorRecorder recorder(contacts, 3);
    contacts.Open();
    contacts.Last();
    EXPECT_EQ(contacts.RecordCount(), -1);
    EXPECT_EQ(contacts.RecNo(), -1);
    recorder.Clear();
    contacts.SetRecNo(2);
    EXPECT_EQ(recorder.Joined(), "");
    EXPECT_EQ(Id(contacts), 6);
}

} // namespace
