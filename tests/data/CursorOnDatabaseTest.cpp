#include "data/DBConnection.h"
#include "data/DateTimeValue.h"
#include "data/QueryCursor.h"
#include "data/TableCursor.h"
#include "support/TempDatabase.h"

#include <QDate>
#include <QElapsedTimer>
#include <gtest/gtest.h>
#include <sqlite3.h>

namespace {

template <class F> std::string ErrorOf(F action) {
    try {
        action();
    } catch (const EError &e) {
        return e.Message().toStdString();
    }
    return "no error";
}

// The main window's cursors on a new database, set up as the program sets them.
class CursorOnDatabase : public ::testing::Test {
protected:
    explicit CursorOnDatabase(int contacts = 5) : db(contacts) {
        conn.SetConnectionString(db.ConnectionString());
        contacts_.SetConnection(&conn);
        contacts_.SetTableName("Contacts");
        contacts_.SetIndexName("ContactID");
        contacts_.SetCursorLocation(clUseServer);
        contacts_.SetCursorType(ctKeyset);
        contacts_.SetLockType(ltOptimistic);
        search.SetConnection(&conn);
        search.SetCursorType(ctOpenForwardOnly);
        search.SetLockType(ltReadOnly);
    }
    TField *F(const char *name) { return contacts_.FieldNamed(name); }
    int CurrentId() { return F("ContactID")->IntegerValue(); }
    int Count(const QString &where = "1") {
        return db.Scalar("select count(*) from Contacts where " + where).toInt();
    }

    TempDatabase db;
    TDBConnection conn{"connDB"};
    TTableCursor contacts_{"rsContacts"};
    TQueryCursor search{"qrySearch"};
};

class EmptyDatabase : public CursorOnDatabase {
protected:
    EmptyDatabase() : CursorOnDatabase(0) {}
};

TEST_F(CursorOnDatabase, ContactColumnsGetTheirFieldTypes) {
    contacts_.Open();
    EXPECT_EQ(contacts_.FieldCount(), 17);
    EXPECT_EQ(F("ContactID")->DataType(), ftAutoInc);
    EXPECT_TRUE(F("ContactID")->ReadOnly());
    EXPECT_EQ(F("CompanyName")->DataType(), ftWideString);
    EXPECT_EQ(F("CompanyName")->Size(), 100);
    EXPECT_EQ(F("Phone")->Size(), 30);
    EXPECT_EQ(F("CountryID")->DataType(), ftInteger);
    EXPECT_EQ(F("Note")->DataType(), ftMemo);
    EXPECT_EQ(F("CallbackDate")->DataType(), ftDateTime);
    EXPECT_EQ(contacts_.FieldNamed("CallBackDate"), F("CallbackDate"));

    TQueryCursor exportQuery("qryExportContacts");
    exportQuery.SetConnection(&conn);
    exportQuery.SQL().Add("select ct.Name as Country, c.* from Contacts c");
    exportQuery.SQL().Add("inner join Countries ct on ct.CountryID = c.CountryID");
    exportQuery.Open();
    EXPECT_EQ(exportQuery.Fields(0)->FieldName(), "Country");
    EXPECT_EQ(exportQuery.Fields(0)->DataType(), ftWideString);
    EXPECT_EQ(exportQuery.FieldNamed("ContactID")->DataType(), ftAutoInc);
    EXPECT_EQ(exportQuery.FieldNamed("Note")->DataType(), ftMemo);
    EXPECT_EQ(exportQuery.FieldNamed("LastCallDate")->DataType(), ftDateTime);
}

TEST_F(CursorOnDatabase, TableRowsFollowTheKeyOrder) {
    db.Exec("delete from Contacts where ContactID = 2");
    contacts_.Open();
    std::vector<int> ids;
    while (!contacts_.Eof()) {
        ids.push_back(CurrentId());
        contacts_.Next();
    }
    EXPECT_EQ(ids, (std::vector<int>{1, 3, 4, 5}));
    contacts_.Last();
    EXPECT_EQ(CurrentId(), 5);
    contacts_.Prior();
    EXPECT_EQ(CurrentId(), 4);
}

TEST_F(CursorOnDatabase, PostOfANewContactShowsItsKeyAndStaysCurrent) {
    contacts_.Open();
    contacts_.Insert();
    F("CompanyName")->SetTextValue("Brand New Ltd");
    F("CountryID")->SetIntegerValue(1);
    F("CallbackDate")->SetDateTimeValue(46364.375);
    contacts_.Post();
    EXPECT_EQ(contacts_.State(), stBrowse);
    EXPECT_EQ(CurrentId(), 6);
    EXPECT_EQ(F("CompanyName")->TextValue(), "Brand New Ltd");
    EXPECT_FALSE(contacts_.Eof());
    EXPECT_FALSE(contacts_.Bof());
    EXPECT_EQ(db.Scalar("select CompanyName from Contacts where ContactID = 6").toString(),
              "Brand New Ltd");
    EXPECT_DOUBLE_EQ(db.Scalar("select CallbackDate from Contacts where ContactID = 6").toDouble(),
                     46364.375);
    // Unassigned columns stay null.
    EXPECT_TRUE(F("Phone")->IsNull());
    contacts_.Next();
    EXPECT_TRUE(contacts_.Eof());
}

TEST_F(CursorOnDatabase, TooLongAValueIsRefusedAtPostAndKept) {
    contacts_.Open();
    contacts_.Edit();
    const QString longPhone(31, QChar('5'));
    F("Phone")->SetTextValue(longPhone);
    F("City")->SetTextValue("Springfield");
    const std::string message = ErrorOf([&] { contacts_.Post(); });
    EXPECT_NE(message.find("Phone"), std::string::npos) << message;
    EXPECT_NE(message.find("30"), std::string::npos) << message;
    EXPECT_EQ(contacts_.State(), stEdit);
    EXPECT_EQ(F("Phone")->TextValue(), longPhone);
    EXPECT_EQ(Count("City = 'Springfield'"), 0);
    F("Phone")->SetTextValue(QString(30, QChar('5')));
    contacts_.Post();
    EXPECT_EQ(Count("City = 'Springfield' and Phone = '" + QString(30, QChar('5')) + "'"), 1);
}

TEST_F(CursorOnDatabase, AnotherProgramsChangeIsNeverOverwritten) {
    contacts_.Open();
    const QString shown = F("Phone")->TextValue();
    contacts_.Edit();
    db.Exec("update Contacts set Phone = 'theirs' where ContactID = 1");
    F("Phone")->SetTextValue("mine");
    EXPECT_NE(ErrorOf([&] { contacts_.Post(); }), "no error");
    EXPECT_EQ(db.Scalar("select Phone from Contacts where ContactID = 1").toString(), "theirs");
    EXPECT_EQ(contacts_.State(), stEdit);
    EXPECT_EQ(F("Phone")->TextValue(), "mine");
    // Their change of another column does not stand in the way.
    contacts_.Cancel();
    EXPECT_EQ(F("Phone")->TextValue(), "theirs");
    contacts_.Edit();
    F("Phone")->SetTextValue("mine");
    db.Exec("update Contacts set Fax = 'their fax' where ContactID = 1");
    contacts_.Post();
    EXPECT_EQ(db.Scalar("select Phone || '/' || Fax from Contacts where ContactID = 1").toString(),
              "mine/their fax");
    (void)shown;
}

TEST_F(CursorOnDatabase, ASaveWhileAnotherProgramLocksTheFileWaitsThenFailsKeepingValues) {
    contacts_.Open();
    F("Phone")->TextValue();
    contacts_.Edit();
    F("Phone")->SetTextValue("555 0100");
    sqlite3 *other = nullptr;
    ASSERT_EQ(sqlite3_open(db.Path().toUtf8().constData(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    QElapsedTimer timer;
    timer.start();
    const std::string message = ErrorOf([&] { contacts_.Post(); });
    const qint64 waited = timer.elapsed();
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    EXPECT_NE(message.find("locked"), std::string::npos) << message;
    EXPECT_GE(waited, 1000); // it waited for the other program first
    EXPECT_LT(waited, 15000);
    EXPECT_EQ(contacts_.State(), stEdit);
    EXPECT_EQ(F("Phone")->TextValue(), "555 0100");
    // Once the other program is done, the same save goes through.
    contacts_.Post();
    EXPECT_EQ(db.Scalar("select Phone from Contacts where ContactID = 1").toString(), "555 0100");
}

TEST_F(CursorOnDatabase, RowDeletedByAnotherProgramFailsPostAndDelete) {
    contacts_.Open();
    contacts_.Next();
    EXPECT_EQ(CurrentId(), 2);
    F("Phone")->TextValue();
    contacts_.Edit();
    F("Phone")->SetTextValue("lost?");
    db.Exec("delete from Contacts where ContactID = 2");
    EXPECT_NE(ErrorOf([&] { contacts_.Post(); }), "no error");
    EXPECT_EQ(Count(), 4);
    EXPECT_EQ(contacts_.State(), stEdit);
    EXPECT_EQ(F("Phone")->TextValue(), "lost?");
    contacts_.Cancel();
    // The row is gone: the next one is shown.
    EXPECT_EQ(CurrentId(), 3);
    db.Exec("delete from Contacts where ContactID = 3");
    EXPECT_NE(ErrorOf([&] { contacts_.Delete(); }), "no error");
    EXPECT_EQ(Count(), 3);
}

TEST_F(CursorOnDatabase, DeletingTheLastAndTheOnlyRows) {
    db.Exec("delete from Contacts where ContactID > 2");
    contacts_.Open();
    contacts_.Last();
    contacts_.Delete();
    EXPECT_EQ(CurrentId(), 1);
    EXPECT_FALSE(contacts_.Eof());
    contacts_.Delete();
    EXPECT_TRUE(contacts_.IsEmpty());
    EXPECT_TRUE(contacts_.Eof());
    EXPECT_TRUE(contacts_.Bof());
    EXPECT_TRUE(contacts_.RowSource()->SourceEOF());
    EXPECT_TRUE(contacts_.RowSource()->SourceBOF());
    EXPECT_EQ(Count(), 0);
}

TEST_F(CursorOnDatabase, LocateByKeyFindsOrLeavesTheRow) {
    contacts_.Open();
    EXPECT_TRUE(contacts_.Locate("ContactID", 4));
    EXPECT_EQ(CurrentId(), 4);
    EXPECT_FALSE(contacts_.Locate("ContactID", 77));
    EXPECT_EQ(CurrentId(), 4);
    EXPECT_FALSE(contacts_.Locate("NoSuchColumn", 1));
    EXPECT_EQ(CurrentId(), 4);
}

TEST_F(CursorOnDatabase, ReadOnlyCursorsRefuseChanges) {
    search.SQL().Add("select * from Contacts");
    search.Open();
    EXPECT_EQ(ErrorOf([&] { search.Edit(); }), "qrySearch: Cannot modify a read-only dataset");
    EXPECT_EQ(ErrorOf([&] { search.Insert(); }), "qrySearch: Cannot modify a read-only dataset");
    TTableCursor status("rsStatus");
    status.SetConnection(&conn);
    status.SetTableName("Status");
    status.SetCursorType(ctOpenForwardOnly);
    status.SetLockType(ltReadOnly);
    status.Open();
    EXPECT_EQ(status.FieldNamed("StatusID")->IntegerValue(), 1);
    EXPECT_EQ(ErrorOf([&] { status.Edit(); }), "rsStatus: Cannot modify a read-only dataset");
}

TEST_F(CursorOnDatabase, AnOpenQuerysTextCannotChange) {
    search.SQL().Add("select * from Contacts");
    search.Open();
    EXPECT_EQ(ErrorOf([&] { search.SQL().Clear(); }),
              "qrySearch: Cannot perform this operation on an open dataset");
    EXPECT_EQ(search.SQL().Count(), 1);
    search.Close();
    search.SQL().Clear();
    search.SQL().Add("select * from Contacts where ContactID = 3");
    search.Open();
    EXPECT_EQ(search.FieldNamed("ContactID")->IntegerValue(), 3);
    search.Next();
    EXPECT_TRUE(search.Eof());
}

TEST_F(CursorOnDatabase, CommandWithoutRowsIsReportedWithTheQuerysName) {
    TQueryCursor query("qryWork");
    query.SetConnection(&conn);
    query.SQL().Add("update Status set Name = Name where StatusID = -1");
    EXPECT_EQ(ErrorOf([&] { query.Open(); }), "qryWork: CommandText does not return a result set");
    EXPECT_FALSE(query.Active());
}

TEST_F(CursorOnDatabase, RejectedStatementLeavesTheQueryClosed) {
    search.SQL().Add("select * from Contacts where CompanyName like \"%a\"b%\"");
    EXPECT_NE(ErrorOf([&] { search.Open(); }), "no error");
    EXPECT_FALSE(search.Active());
    EXPECT_EQ(search.FieldCount(), 0);
}

TEST_F(EmptyDatabase, CallbackDayListsExactlyThatCalendarDay) {
    const QDate day(2026, 12, 8);
    const double d = DateTimeValue::FromDate(day);
    db.Exec(QString("insert into Contacts (CompanyName, CallbackDate) values "
                    "('Nine', %1), ('HalfFive', %2), ('Yesterday', %3), ('Tomorrow', %4), "
                    "('Never', null)")
                .arg(d + 9.0 / 24, 0, 'g', 17)
                .arg(d + 17.5 / 24, 0, 'g', 17)
                .arg(d - 1 + 0.5, 0, 'g', 17)
                .arg(d + 1, 0, 'g', 17));
    TQueryCursor callbacks("qryCallBack");
    callbacks.SetConnection(&conn);
    callbacks.SetCursorType(ctStatic);
    callbacks.SetLockType(ltReadOnly);
    callbacks.SQL().Add("select * from Contacts where Format(CallbackDate, \"Short Date\") = \"" +
                        DateTimeValue::ShortDateText(d) + "\"");
    callbacks.Open();
    QStringList names;
    for (; !callbacks.Eof(); callbacks.Next())
        names << callbacks.FieldNamed("CompanyName")->TextValue();
    names.sort();
    EXPECT_EQ(names, (QStringList{"HalfFive", "Nine"}));
}

TEST_F(EmptyDatabase, SearchMatchesSubstringsOfTheNineColumns) {
    db.Exec("insert into Contacts (CompanyName, City, Address, Fax) values "
            "('Alpha', 'Berlin', 'Main St', null), ('Beta', 'Paris', '1 Aberdeen Road', null), "
            "('Gamma', 'Rome', 'Via Roma', '555-BER')");
    const QString text = "ber";
    const char *heads[] = {"select * from Contacts where CompanyName like \"%",
                           " or ContactPerson like \"%",
                           " or City like \"%",
                           " or State like \"%",
                           " or PostCode like \"%",
                           " or Phone like \"%",
                           " or Mobile like \"%",
                           " or Url like \"%",
                           " or Address like \"%"};
    for (const char *head : heads)
        search.SQL().Add(QString(head) + text + "%\"");
    search.Open();
    QStringList names;
    for (; !search.Eof(); search.Next())
        names << search.FieldNamed("CompanyName")->TextValue();
    names.sort();
    EXPECT_EQ(names, (QStringList{"Alpha", "Beta"}));
}

TEST_F(EmptyDatabase, OpensEmptyAndTakesAFirstContact) {
    contacts_.Open();
    EXPECT_TRUE(contacts_.IsEmpty());
    contacts_.Edit(); // an empty cursor begins a new row
    EXPECT_EQ(contacts_.State(), stInsert);
    F("CompanyName")->SetTextValue("First");
    contacts_.Post();
    EXPECT_EQ(CurrentId(), 1);
    EXPECT_TRUE(contacts_.Bof() == false && contacts_.Eof() == false);
}

TEST(CursorOnMissingDatabase, OpenFailsWithTheEnginesMessageAndStaysClosed) {
    QTemporaryDir dir;
    TDBConnection conn("connDB");
    conn.SetConnectionString("Provider=SQLite;Data Source=" + dir.path() + "/_db.mdb;");
    TTableCursor contacts("rsContacts");
    contacts.SetConnection(&conn);
    contacts.SetTableName("Contacts");
    const std::string message = ErrorOf([&] { contacts.Open(); });
    EXPECT_NE(message.find("_db.mdb"), std::string::npos) << message;
    EXPECT_FALSE(contacts.Active());
    EXPECT_TRUE(contacts.Eof() && contacts.Bof());
    EXPECT_FALSE(QFile::exists(dir.path() + "/_db.mdb"));
}

} // namespace
