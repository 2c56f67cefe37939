#include "SqliteTestSupport.h"
#include "data/DBConnection.h"
#include "data/TableCursor.h"
#include "support/TempDatabase.h"

#include <gtest/gtest.h>

namespace {

using sqlite_test::ErrorOf;

// The contact table cursor as the main window opens it, beside another
// program that writes the same file.
class CursorConflict : public ::testing::Test {
protected:
    CursorConflict() : db(4) {
        conn.SetConnectionString(db.ConnectionString());
        rs.SetConnection(&conn);
        rs.SetTableName("Contacts");
        rs.SetIndexName("ContactID");
        rs.SetCursorLocation(clUseServer);
        rs.Open();
    }
    TField *F(const char *name) { return rs.FieldNamed(name); }
    QString Stored(const char *column, int id) { return db.ContactText(column, id); }
    int Count() { return db.ContactCount(); }

    TempDatabase db;
    TDBConnection conn{"connDB"};
    TTableCursor rs{"rsContacts"};
};

TEST_F(CursorConflict, DeleteAfterASavedEditAndOnAnotherRowAfterAPost) {
    // Edit, save, delete the same contact, each value shown first as the
    // editor shows it.
    F("Phone")->TextValue();
    rs.Edit();
    F("Phone")->SetTextValue("555 0101");
    rs.Post();
    EXPECT_EQ(Stored("Phone", 1), "555 0101");
    EXPECT_EQ(ErrorOf([&] { rs.Delete(); }), "no error");
    EXPECT_EQ(Count(), 3);
    EXPECT_EQ(F("ContactID")->IntegerValue(), 2);
    // Change one contact, move to another untouched one and delete it.
    F("CallbackDate")->DateTimeValue();
    rs.Edit();
    F("CallbackDate")->SetDateTimeValue(47000.5);
    rs.Post();
    rs.Next();
    EXPECT_EQ(F("ContactID")->IntegerValue(), 3);
    EXPECT_EQ(ErrorOf([&] { rs.Delete(); }), "no error");
    EXPECT_EQ(Count(), 2);
    // A failed save elsewhere leaves nothing behind either.
    rs.Edit();
    F("Phone")->SetTextValue(QString(31, QChar('9')));
    EXPECT_NE(ErrorOf([&] { rs.Post(); }), "no error");
    rs.Cancel();
    EXPECT_EQ(ErrorOf([&] { rs.Delete(); }), "no error");
    EXPECT_EQ(Count(), 1);
}

TEST_F(CursorConflict, ARefusedSaveShowsTheirValuesAndTheSecondSaveStoresMine) {
    EXPECT_EQ(F("Phone")->TextValue(), Stored("Phone", 1));
    rs.Edit();
    F("Phone")->SetTextValue("mine");
    F("City")->SetTextValue("My City");
    db.Exec("update Contacts set Phone = 'theirs', Fax = 'their fax' where ContactID = 1");
    const std::string first = ErrorOf([&] { rs.Post(); });
    EXPECT_NE(first.find("changed by another program"), std::string::npos) << first;
    EXPECT_NE(first.find("save again"), std::string::npos) << first;
    EXPECT_EQ(Stored("Phone", 1), "theirs");
    EXPECT_EQ(rs.State(), stEdit);
    EXPECT_EQ(F("Phone")->TextValue(), "mine");
    EXPECT_EQ(F("City")->TextValue(), "My City");
    EXPECT_EQ(F("Fax")->TextValue(), "their fax"); // not touched here: shows what is stored
    EXPECT_EQ(ErrorOf([&] { rs.Post(); }), "no error");
    EXPECT_EQ(Stored("Phone", 1) + "/" + Stored("City", 1) + "/" + Stored("Fax", 1),
              "mine/My City/their fax");
    EXPECT_EQ(rs.State(), stBrowse);
    // A third program's change after the refresh is again a conflict.
    rs.Edit();
    F("Phone")->SetTextValue("mine again");
    db.Exec("update Contacts set Phone = 'theirs again' where ContactID = 1");
    EXPECT_NE(ErrorOf([&] { rs.Post(); }), "no error");
    EXPECT_EQ(Stored("Phone", 1), "theirs again");
}

TEST_F(CursorConflict, ARefusedDeleteShowsTheirRowAndASecondDeleteRemovesIt) {
    EXPECT_EQ(F("CompanyName")->TextValue(), Stored("CompanyName", 1));
    db.Exec("update Contacts set CompanyName = 'Renamed' where ContactID = 1");
    const std::string first = ErrorOf([&] { rs.Delete(); });
    EXPECT_NE(first.find("nothing was deleted"), std::string::npos) << first;
    EXPECT_EQ(Count(), 4);
    EXPECT_EQ(F("CompanyName")->TextValue(), "Renamed");
    EXPECT_EQ(ErrorOf([&] { rs.Delete(); }), "no error");
    EXPECT_EQ(Count(), 3);
}

TEST_F(CursorConflict, AFieldAssignedUnreadAfterASaveIsStillChecked) {
    rs.Edit();
    F("Phone")->SetTextValue("first save");
    rs.Post(); // the row is read again; its values are fetched on demand
    rs.Edit();
    F("Fax")->SetTextValue("my fax"); // never read since the save
    db.Exec("update Contacts set Fax = 'their fax' where ContactID = 1");
    EXPECT_NE(ErrorOf([&] { rs.Post(); }), "no error");
    EXPECT_EQ(Stored("Fax", 1), "their fax");
}

TEST_F(CursorConflict, TextWithBytesThatAreNotUtf8CanBeEditedAndDeleted) {
    db.Exec("update Contacts set CompanyName = CAST(x'4d61c3' || x'fe6b' AS TEXT) "
            "where ContactID in (1, 2)");
    rs.First();
    const QString shown = F("CompanyName")->TextValue();
    EXPECT_TRUE(shown.contains(QChar(0xFFFD))) << shown.toStdString();
    rs.Edit();
    F("CompanyName")->SetTextValue("Mended Ltd");
    EXPECT_EQ(ErrorOf([&] { rs.Post(); }), "no error");
    EXPECT_EQ(Stored("CompanyName", 1), "Mended Ltd");
    // Another field of such a row saves, and the row can be deleted.
    rs.Next();
    EXPECT_TRUE(F("CompanyName")->TextValue().contains(QChar(0xFFFD)));
    rs.Edit();
    F("City")->SetTextValue("Elsewhere");
    EXPECT_EQ(ErrorOf([&] { rs.Post(); }), "no error");
    EXPECT_EQ(db.Scalar("select hex(CompanyName) from Contacts where ContactID = 2").toString(),
              "4D61C3FE6B");
    // A change by another program to other bad bytes is still a conflict.
    EXPECT_TRUE(F("CompanyName")->TextValue().contains(QChar(0xFFFD)));
    db.Exec("update Contacts set CompanyName = CAST(x'ff' AS TEXT) where ContactID = 2");
    EXPECT_NE(ErrorOf([&] { rs.Delete(); }), "no error");
    EXPECT_EQ(ErrorOf([&] { rs.Delete(); }), "no error");
    EXPECT_EQ(Count(), 3);
}

TEST_F(CursorConflict, TextWithANulCharacterIsRefusedAndKept) {
    rs.Edit();
    const QString withNul = QStringLiteral("555") + QChar(0) + QString(40, QChar('1'));
    F("Phone")->SetTextValue(withNul);
    const std::string message = ErrorOf([&] { rs.Post(); });
    EXPECT_NE(message.find("NUL"), std::string::npos) << message;
    EXPECT_NE(message.find("Phone"), std::string::npos) << message;
    EXPECT_EQ(rs.State(), stEdit);
    EXPECT_EQ(F("Phone")->TextValue(), withNul);
    rs.Cancel();
    rs.Insert();
    F("CompanyName")->SetTextValue(QStringLiteral("A") + QChar(0));
    EXPECT_NE(ErrorOf([&] { rs.Post(); }), "no error");
    EXPECT_EQ(Count(), 4);
}

} // namespace
