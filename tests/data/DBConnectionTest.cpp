#include "data/DBConnection.h"
#include "SqliteTestSupport.h"
#include "data/ConnectionString.h"
#include "support/TempDatabase.h"

#include <QDir>
#include <QTemporaryDir>

using namespace sqlite_test;

namespace {

TEST(DBConnection, ConnectsThroughTheProgramsConnectionString) {
    TempDatabase db;
    TDBConnection conn("connDB");
    conn.SetConnectionString(ConnectionString::ForProgramFolder(db.Folder()));
    EXPECT_EQ(conn.Provider(), "SQLite");
    EXPECT_FALSE(conn.LoginPrompt());
    EXPECT_FALSE(conn.Connected());
    conn.Open();
    EXPECT_TRUE(conn.Connected());
    conn.SetConnected(true); // nothing happens when already so
    EXPECT_TRUE(conn.Connected());
    conn.Close();
    EXPECT_FALSE(conn.Connected());
}

TEST(DBConnection, OpeningARowSourceConnectsFirst) {
    TempDatabase db;
    TDBConnection conn;
    conn.SetConnectionString(db.ConnectionString());
    auto status = conn.OpenRowSource(TableRequest("Status"));
    EXPECT_TRUE(conn.Connected());
    EXPECT_FALSE(status->SourceEOF());
}

TEST(DBConnection, ProviderNameIsMatchedWithoutRegardToCase) {
    TempDatabase db;
    TDBConnection conn;
    conn.SetConnectionString("provider=sqlite;data source=" + db.Path());
    conn.Open();
    EXPECT_TRUE(conn.Connected());
}

TEST(DBConnection, UnknownProviderIsNamed) {
    TDBConnection conn;
    conn.SetConnectionString("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/x/_db.mdb");
    EXPECT_EQ(ErrorOf([&] { conn.Open(); }),
              "Provider cannot be found. It may not be properly installed. "
              "(Provider: 'Microsoft.Jet.OLEDB.4.0')");
    EXPECT_FALSE(conn.Connected());
}

TEST(DBConnection, FailedConnectLeavesItDisconnected) {
    QTemporaryDir dir;
    TDBConnection conn;
    conn.SetConnectionString(ConnectionString::ForProgramFolder(dir.path() + '/'));
    EXPECT_EQ(ErrorOf([&] { conn.Open(); }),
              QString("Could not find file '%1/_db.mdb'.").arg(dir.path()).toStdString());
    EXPECT_FALSE(conn.Connected());
    EXPECT_NE(ErrorOf([&] { conn.OpenRowSource(TableRequest("Status")); }), "no error");
    conn.SetConnectionString("Provider=SQLite;Mode=Share Deny None");
    EXPECT_EQ(ErrorOf([&] { conn.Open(); }), "The connection string names no data source.");
}

TEST(DBConnection, NewConnectionStringDisconnectsAndTheNextOpenUsesIt) {
    TempDatabase first;
    TempDatabase second;
    second.Exec("INSERT INTO Status (StatusID, Name) VALUES (77, 'Only here')");
    TDBConnection conn;
    conn.SetConnectionString(first.ConnectionString());
    conn.Open();
    conn.SetConnectionString(second.ConnectionString());
    EXPECT_FALSE(conn.Connected());
    auto rows = conn.OpenRowSource(QueryRequest("select Name from Status where StatusID = 77"));
    EXPECT_EQ(rows->Value(0).toString(), "Only here");
}

TEST(DBConnection, RelativeDataSourceIsNotTakenFromTheWorkingFolderByTheProgram) {
    // The program's string always names the file by its full path, so a
    // change of working folder does not change which file is opened.
    TempDatabase db;
    const QString text = ConnectionString::ForProgramFolder(db.Folder());
    const QString before = QDir::currentPath();
    QTemporaryDir elsewhere;
    ASSERT_TRUE(QDir::setCurrent(elsewhere.path()));
    TDBConnection conn;
    conn.SetConnectionString(text);
    conn.Open();
    QDir::setCurrent(before);
    EXPECT_TRUE(conn.Connected());
    EXPECT_FALSE(QFile::exists(elsewhere.path() + "/_db.mdb"));
}

} // namespace
