// The server engine's table row source on a real server database: moves,
// bookmarks and deleted places, writes checked against another program's
// changes, the file engine's column types and texts, outer transactions and
// a lost connection.

#include "data/DatabaseErrors.h"
#include "postgres/PgConnection.h"
#include "postgres/PgEngine.h"
#include "sqlite/SqliteEngine.h"
#include "support/PgRawConnection.h"
#include "support/TempDatabase.h"
#include "support/TempPgServer.h"

#include <QStringList>
#include <gtest/gtest.h>
#include <memory>
#include <random>

namespace {

template <class F> std::string ErrorOf(F action) {
    try {
        action();
    } catch (const EError &e) {
        return e.Message().toStdString();
    }
    return "no error";
}

QString DatabaseOf(const QString &conninfo) {
    for (const QString &part : conninfo.split(QLatin1Char(' ')))
        if (part.startsWith(QLatin1String("dbname=")))
            return part.mid(7);
    return QString();
}

TRowSourceRequest TableRequest(const QString &table, const QString &index = QString(),
                               TLockType lock = ltOptimistic) {
    TRowSourceRequest request;
    request.isTable = true;
    request.command = table;
    request.indexName = index;
    request.location = clUseServer;
    request.lockType = lock;
    return request;
}

QString Text(const TValue &value) {
    return ValueIsNull(value) ? QStringLiteral("NULL") : value.toString();
}

QStringList ColumnTexts(TRowSource &source, int column) {
    QStringList texts;
    for (source.MoveFirst(); !source.SourceEOF(); source.MoveNext())
        texts << Text(source.Value(column));
    return texts;
}

QStringList Column(PgRawConnection &raw, const QString &sql) {
    QStringList texts;
    for (const auto &row : raw.Exec(sql))
        texts << Text(row.value(0));
    return texts;
}

// A fresh server database with the program's schema and the contacts A, B
// and C (ContactID 1 to 3), the engine connected to it, Contacts open in
// ContactID order, and another program's session beside it.
class PgTableRows : public ::testing::Test {
protected:
    PgTableRows() : conninfo(TempPgServer::Shared().CreateDatabase()), other(conninfo) {
        other.Exec("INSERT INTO \"Contacts\" (\"CompanyName\", \"Phone\") VALUES "
                   "('A', '111'), ('B', '222'), ('C', '333')");
        engine.Connect(conninfo, "Share Deny None");
        contacts = engine.OpenRowSource(TableRequest("Contacts", "ContactID"));
    }
    QString Company() { return contacts->Value(1).toString(); }
    QString Stored(const QString &sql) { return Text(other.Scalar(sql)); }

    QString conninfo;
    PgRawConnection other;
    PgEngine engine;
    std::unique_ptr<TRowSource> contacts;
};

TEST_F(PgTableRows, MovesBookmarksAndFlagsAsTheFileEngine) {
    EXPECT_FALSE(contacts->SourceBOF() || contacts->SourceEOF());
    EXPECT_EQ(Company(), "A");
    contacts->MovePrevious();
    EXPECT_TRUE(contacts->SourceBOF());
    EXPECT_FALSE(contacts->SourceEOF());
    EXPECT_EQ(ErrorOf([&] { contacts->Bookmark(); }), "There is no current row.");
    contacts->MoveNext();
    EXPECT_EQ(Company(), "A");
    contacts->MoveLast();
    EXPECT_EQ(Company(), "C");
    contacts->MoveNext();
    EXPECT_TRUE(contacts->SourceEOF());
    contacts->MoveNext(); // stays after the last row
    EXPECT_TRUE(contacts->SourceEOF() && !contacts->SourceBOF());
    contacts->MovePrevious();
    contacts->MovePrevious();
    EXPECT_EQ(Company(), "B");
    EXPECT_EQ(contacts->Bookmark(), 2);

    // Rows of other programs appear in order, before and after.
    other.Exec("INSERT INTO \"Contacts\" (\"ContactID\", \"CompanyName\") VALUES "
               "(10, 'Z'), (0, 'First')");
    EXPECT_EQ(ColumnTexts(*contacts, 1), QStringList({"First", "A", "B", "C", "Z"}));

    // Values are read when first asked and kept until the position changes.
    contacts->GotoBookmark(2);
    other.Exec("UPDATE \"Contacts\" SET \"CompanyName\" = 'B2' WHERE \"ContactID\" = 2");
    EXPECT_EQ(Company(), "B2");
    other.Exec("UPDATE \"Contacts\" SET \"CompanyName\" = 'B3' WHERE \"ContactID\" = 2");
    EXPECT_EQ(Company(), "B2");
    contacts->RefreshRow();
    EXPECT_EQ(Company(), "B3");

    // An empty table has both flags and shows rows stored later.
    other.Exec("DELETE FROM \"Contacts\"");
    auto empty = engine.OpenRowSource(TableRequest("Contacts"));
    EXPECT_TRUE(empty->SourceBOF() && empty->SourceEOF());
    empty->MoveNext();
    empty->MoveLast();
    EXPECT_TRUE(empty->SourceBOF() && empty->SourceEOF());
    EXPECT_EQ(ErrorOf([&] { empty->Value(1); }), "There is no current row.");
    other.Exec("INSERT INTO \"Contacts\" (\"CompanyName\") VALUES ('Late')");
    empty->MoveFirst();
    EXPECT_EQ(empty->Value(1).toString(), "Late");
}

TEST_F(PgTableRows, InsertStandsOnTheStoredRowWithItsIdentity) {
    contacts->AddNew();
    EXPECT_EQ(ErrorOf([&] { contacts->SetValue(0, 7); }),
              "The column 'ContactID' cannot be written.");
    contacts->SetValue(1, QString::fromUtf8("Zürich GmbH"));
    contacts->SetValue(16, 46364.5);
    EXPECT_EQ(contacts->Value(1).toString(), QString::fromUtf8("Zürich GmbH"));
    EXPECT_TRUE(ValueIsNull(contacts->Value(2)));
    contacts->Update();
    EXPECT_EQ(contacts->Bookmark(), 4);
    EXPECT_EQ(contacts->Value(0), TValue(qint64(4)));
    EXPECT_EQ(contacts->Value(16), TValue(46364.5));
    EXPECT_EQ(engine.LastInsertKey(), 4);
    EXPECT_EQ(Stored("SELECT \"CompanyName\" FROM \"Contacts\" WHERE \"ContactID\" = 4"),
              QString::fromUtf8("Zürich GmbH"));
    contacts->MovePrevious();
    EXPECT_EQ(Company(), "C");
    contacts->MoveLast();
    EXPECT_EQ(contacts->Bookmark(), 4);

    // A row of nothing but defaults.
    contacts->AddNew();
    contacts->Update();
    EXPECT_EQ(contacts->Bookmark(), 5);
    EXPECT_TRUE(ValueIsNull(contacts->Value(1)));
}

TEST_F(PgTableRows, UpdateWritesOnlyTheSetColumnsAndExpectsNullsAsNull) {
    contacts->GotoBookmark(2);
    contacts->SetExpected(8, QString("222"));
    contacts->SetValue(8, QString("999"));
    contacts->Update();
    EXPECT_EQ(contacts->Bookmark(), 2);
    EXPECT_EQ(contacts->Value(8).toString(), "999");
    EXPECT_EQ(Column(other, "SELECT \"ContactID\" || '|' || \"CompanyName\" || '|' || \"Phone\" "
                            "FROM \"Contacts\" ORDER BY 1"),
              QStringList({"1|A|111", "2|B|999", "3|C|333"}));

    contacts->GotoBookmark(1);
    contacts->SetValue(8, TValue());
    contacts->Update();
    contacts->SetExpected(8, TValue());
    contacts->SetExpected(16, TValue());
    contacts->SetValue(1, QString("A2"));
    contacts->Update();
    EXPECT_EQ(Stored("SELECT \"CompanyName\" || coalesce(\"Phone\", '/null') FROM \"Contacts\" "
                     "WHERE \"ContactID\" = 1"),
              "A2/null");
}

TEST_F(PgTableRows, ChangesAndDeletionsOfAnotherProgramAreNeverOverwritten) {
    contacts->GotoBookmark(2);
    const TValue read = contacts->Value(8);
    other.Exec("UPDATE \"Contacts\" SET \"Phone\" = 'theirs' WHERE \"ContactID\" = 2");
    contacts->SetExpected(8, read);
    contacts->SetValue(8, QString("mine"));
    try {
        contacts->Update();
        ADD_FAILURE() << "the update overwrote another program's change";
    } catch (const EConflictError &e) {
        EXPECT_EQ(e.Message(),
                  "The row was changed by another program since it was read; nothing was saved.");
    }
    EXPECT_EQ(Stored("SELECT \"Phone\" FROM \"Contacts\" WHERE \"ContactID\" = 2"), "theirs");
    EXPECT_EQ(ErrorOf([&] { contacts->DeleteRow(); }),
              "The row was changed by another program since it was read; nothing was deleted.");
    EXPECT_EQ(Stored("SELECT count(*) FROM \"Contacts\""), "3");
    // Expecting what is stored now succeeds.
    contacts->SetExpected(8, QString("theirs"));
    contacts->Update();
    EXPECT_EQ(Stored("SELECT \"Phone\" FROM \"Contacts\" WHERE \"ContactID\" = 2"), "mine");

    // Deleted by another program: reported, and not written again.
    other.Exec("DELETE FROM \"Contacts\" WHERE \"ContactID\" = 2");
    EXPECT_TRUE(contacts->RowDeleted());
    contacts->SetValue(8, QString("again"));
    EXPECT_EQ(ErrorOf([&] { contacts->Update(); }),
              "The row was deleted by another program since it was read; nothing was saved.");
    EXPECT_EQ(ErrorOf([&] { contacts->DeleteRow(); }),
              "The row was deleted by another program since it was read; nothing was deleted.");
    EXPECT_EQ(Stored("SELECT count(*) FROM \"Contacts\""), "2");
    contacts->GotoBookmark(2);
    EXPECT_EQ(ErrorOf([&] { contacts->Value(1); }), "The row was deleted by another program.");
    EXPECT_EQ(ErrorOf([&] { contacts->Value(1); }), "The row has been deleted.");
}

TEST_F(PgTableRows, DeletedPlacesAreStoodOnAndMovedOnFrom) {
    contacts->GotoBookmark(2);
    contacts->SetExpected(1, QString("B"));
    contacts->DeleteRow();
    EXPECT_TRUE(contacts->RowDeleted());
    EXPECT_NE(ErrorOf([&] { contacts->Value(1); }), "no error");
    contacts->MoveNext();
    EXPECT_EQ(Company(), "C");
    contacts->GotoBookmark(2);
    EXPECT_TRUE(contacts->RowDeleted());
    contacts->MovePrevious();
    EXPECT_EQ(Company(), "A");
    EXPECT_FALSE(contacts->RowDeleted());
    // A row deleted by another program after it was stood on.
    contacts->MoveNext();
    EXPECT_EQ(Company(), "C");
    other.Exec("DELETE FROM \"Contacts\" WHERE \"ContactID\" = 3");
    EXPECT_TRUE(contacts->RowDeleted());
    contacts->MoveNext();
    EXPECT_TRUE(contacts->SourceEOF());
}

TEST_F(PgTableRows, TooLongTextsAreRefusedAndNothingIsWritten) {
    contacts->SetValue(8, QString(31, '9'));
    EXPECT_EQ(ErrorOf([&] { contacts->Update(); }),
              "The value for field 'Phone' is too long: at most 30 characters.");
    EXPECT_EQ(Stored("SELECT \"Phone\" FROM \"Contacts\" WHERE \"ContactID\" = 1"), "111");
    // Sizes count characters, as the server does: 30 letters of two bytes
    // and 30 characters outside the basic plane fit.
    const QString wide = QString::fromUtf8("ü").repeated(30);
    const QString astral = QString::fromUtf8("\xF0\x9F\x93\x9E").repeated(30);
    ASSERT_EQ(astral.size(), 60);
    contacts->SetValue(8, wide);
    contacts->SetValue(9, astral);
    contacts->Update();
    EXPECT_EQ(contacts->Value(8).toString(), wide);
    EXPECT_EQ(Stored("SELECT \"Fax\" FROM \"Contacts\" WHERE \"ContactID\" = 1"), astral);
    contacts->AddNew();
    contacts->SetValue(9, astral + QString::fromUtf8("\xF0\x9F\x93\x9E"));
    EXPECT_EQ(ErrorOf([&] { contacts->Update(); }),
              "The value for field 'Fax' is too long: at most 30 characters.");
    contacts->SetValue(9, QString("a") + QChar(0) + "b");
    EXPECT_EQ(ErrorOf([&] { contacts->Update(); }),
              "The value of 'Fax' contains a NUL character, which cannot be stored; nothing was "
              "saved.");
    EXPECT_EQ(Stored("SELECT count(*) FROM \"Contacts\""), "3");
    // On a row another program changed or deleted meanwhile, that is what
    // an update too long is told, as the file engine tells it.
    contacts->GotoBookmark(2);
    contacts->SetExpected(8, QString("222"));
    contacts->SetValue(8, QString(31, '9'));
    other.Exec("UPDATE \"Contacts\" SET \"Phone\" = 'theirs' WHERE \"ContactID\" = 2");
    EXPECT_EQ(ErrorOf([&] { contacts->Update(); }),
              "The row was changed by another program since it was read; nothing was saved.");
    other.Exec("DELETE FROM \"Contacts\" WHERE \"ContactID\" = 2");
    EXPECT_EQ(ErrorOf([&] { contacts->Update(); }),
              "The row was deleted by another program since it was read; nothing was saved.");
    EXPECT_EQ(Stored("SELECT count(*) FROM \"Contacts\""), "2");
    // A refused new row stays pending: corrected, it is stored.
    contacts->AddNew();
    contacts->SetValue(9, astral + QString::fromUtf8("\xF0\x9F\x93\x9E"));
    EXPECT_NE(ErrorOf([&] { contacts->Update(); }), "no error");
    contacts->SetValue(9, QString("ok"));
    contacts->Update();
    EXPECT_EQ(contacts->Value(9).toString(), "ok");
    EXPECT_EQ(Stored("SELECT count(*) FROM \"Contacts\""), "3");
}

TEST_F(PgTableRows, WritesInsideTheOuterTransactionGoWithIt) {
    engine.BeginWrite();
    contacts->GotoBookmark(1);
    contacts->SetValue(1, QString("inside"));
    contacts->Update();
    contacts->AddNew();
    contacts->SetValue(1, QString("new inside"));
    contacts->Update();
    contacts->GotoBookmark(2);
    contacts->DeleteRow();
    // Another program sees none of it yet.
    EXPECT_EQ(Column(other, "SELECT \"CompanyName\" FROM \"Contacts\" ORDER BY \"ContactID\""),
              QStringList({"A", "B", "C"}));
    EXPECT_TRUE(engine.InWrite());
    engine.RollbackWrite();
    EXPECT_EQ(Column(other, "SELECT \"CompanyName\" FROM \"Contacts\" ORDER BY \"ContactID\""),
              QStringList({"A", "B", "C"}));
    EXPECT_EQ(ColumnTexts(*contacts, 1), QStringList({"A", "B", "C"}));

    // A failed statement leaves the transaction to its owner to roll back.
    engine.BeginWrite();
    contacts->GotoBookmark(3);
    contacts->SetValue(1, QString("kept"));
    contacts->Update();
    contacts->GotoBookmark(1);
    contacts->SetValue(3, QString("not a number"));
    EXPECT_NE(ErrorOf([&] { contacts->Update(); }), "no error");
    EXPECT_TRUE(engine.InWrite());
    engine.RollbackWrite();
    EXPECT_EQ(Stored("SELECT \"CompanyName\" FROM \"Contacts\" WHERE \"ContactID\" = 3"), "C");

    // Committed, it is stored.
    engine.BeginWrite();
    contacts->CancelUpdate();
    contacts->GotoBookmark(3);
    contacts->SetValue(1, QString("committed"));
    contacts->Update();
    engine.CommitWrite();
    EXPECT_EQ(Stored("SELECT \"CompanyName\" FROM \"Contacts\" WHERE \"ContactID\" = 3"),
              "committed");
}

TEST_F(PgTableRows, ALostConnectionFailsOneUpdateAndTheRetrySucceeds) {
    contacts->GotoBookmark(2);
    EXPECT_EQ(Company(), "B");
    contacts->SetExpected(1, QString("B"));
    contacts->SetValue(1, QString("after the loss"));
    ASSERT_EQ(other.TerminateOtherBackends(DatabaseOf(conninfo)), 1);
    const std::string lost = ErrorOf([&] { contacts->Update(); });
    EXPECT_NE(lost.find("The connection to the database server at"), std::string::npos) << lost;
    EXPECT_NE(lost.find("was lost"), std::string::npos) << lost;
    EXPECT_EQ(Stored("SELECT \"CompanyName\" FROM \"Contacts\" WHERE \"ContactID\" = 2"), "B");
    // The pending value stayed; the retry connects again and stores it.
    EXPECT_EQ(Company(), "after the loss");
    contacts->Update();
    EXPECT_EQ(Stored("SELECT \"CompanyName\" FROM \"Contacts\" WHERE \"ContactID\" = 2"),
              "after the loss");
    // Moves work on the new session, from the same place.
    contacts->MoveNext();
    EXPECT_EQ(Company(), "C");

    // A loss met by a move: the move fails, the next one works.
    ASSERT_EQ(other.TerminateOtherBackends(DatabaseOf(conninfo)), 1);
    EXPECT_NE(ErrorOf([&] { contacts->MovePrevious(); }).find("was lost"), std::string::npos);
    contacts->MovePrevious();
    EXPECT_EQ(Company(), "after the loss");
}

TEST_F(PgTableRows, RefusalsNameTheTableTheIndexOrTheReason) {
    EXPECT_EQ(ErrorOf([&] { engine.OpenRowSource(TableRequest("Nothing")); }),
              "The table 'Nothing' cannot be found.");
    EXPECT_EQ(ErrorOf([&] { engine.OpenRowSource(TableRequest("Contacts", "ByName")); }),
              "The index 'ByName' cannot be found on table 'Contacts'.");
    EXPECT_EQ(ErrorOf([&] { engine.OpenRowSource(TableRequest("Contacts", "ContactsEmailKey")); }),
              "The index 'ContactsEmailKey' orders by an expression; a table cannot be opened "
              "in its order.");
    EXPECT_EQ(
        ErrorOf([&] { engine.OpenRowSource(TableRequest("Contacts", "ContactsSearchCity")); }),
        "The index 'ContactsSearchCity' keeps no order of the rows; a table cannot be "
        "opened in its order.");
    EXPECT_EQ(ErrorOf([&] { engine.OpenRowSource(TableRequest("ImportFills")); }),
              "The table 'ImportFills' has no primary key of one integer column; it cannot be "
              "opened as a table.");
    other.Exec("CREATE VIEW \"Names\" AS SELECT \"CompanyName\" FROM \"Contacts\"");
    EXPECT_EQ(ErrorOf([&] { engine.OpenRowSource(TableRequest("names")); }),
              "'names' is not a table the program can open.");
    // Names are matched without regard to case, brackets allowed.
    EXPECT_EQ(engine.OpenRowSource(TableRequest("[contacts]", "contactid"))->Value(1).toString(),
              "A");

    auto status = engine.OpenRowSource(TableRequest("Status", "", ltReadOnly));
    EXPECT_FALSE(status->SupportsUpdating());
    EXPECT_FALSE(status->Column(1).updatable);
    const std::string refusal = "The row source is read-only; it cannot be changed.";
    EXPECT_EQ(ErrorOf([&] { status->AddNew(); }), refusal);
    EXPECT_EQ(ErrorOf([&] { status->SetValue(1, QString("x")); }), refusal);
    EXPECT_EQ(ErrorOf([&] { status->DeleteRow(); }), refusal);
}

// Every table the program opens reports the columns the file engine
// reports for the same table of the file schema.
TEST(PgTableColumnsOfTheSchema, AreTheFileEnginesColumns) {
    TempDatabase file;
    SqliteEngine fileEngine;
    fileEngine.Connect(file.Path(), "Share Deny None");
    PgEngine serverEngine;
    serverEngine.Connect(TempPgServer::Shared().CreateDatabase(), "Share Deny None");
    for (const char *table : {"Contacts", "Countries", "Status", "Imports", "DeletedContacts"}) {
        SCOPED_TRACE(table);
        auto fromFile = fileEngine.OpenRowSource(TableRequest(table));
        auto fromServer = serverEngine.OpenRowSource(TableRequest(table));
        ASSERT_EQ(fromServer->ColumnCount(), fromFile->ColumnCount());
        for (int i = 0; i < fromFile->ColumnCount(); ++i) {
            const TColumnInfo &f = fromFile->Column(i);
            const TColumnInfo &s = fromServer->Column(i);
            SCOPED_TRACE(f.name.toStdString());
            EXPECT_EQ(s.name, f.name);
            EXPECT_EQ(s.typeCode, f.typeCode);
            EXPECT_EQ(s.size, f.size);
            EXPECT_EQ(s.autoIncrement, f.autoIncrement);
            EXPECT_EQ(s.updatable, f.updatable);
        }
    }
}

} // namespace
