#include "support/TempDatabase.h"

#include <QFile>
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

namespace {
// EXPECT_NONFATAL_FAILURE cannot see local variables.
const TempDatabase *shared = nullptr;
} // namespace

TEST(TempDatabase, FolderPathAndConnectionString) {
    QString folder;
    {
        TempDatabase db(3);
        folder = db.Folder();
        EXPECT_TRUE(folder.endsWith('/'));
        EXPECT_EQ(db.Path(), folder + "_db.mdb");
        EXPECT_TRUE(QFile::exists(db.Path()));
        EXPECT_EQ(db.ConnectionString(),
                  "Provider=SQLite;User ID=Admin;Data Source=" + folder +
                      "_db.mdb;Mode=Share Deny None;Persist Security Info=False;");
        EXPECT_EQ(db.Scalar("SELECT count(*) FROM Contacts").toLongLong(), 3);
    }
    EXPECT_FALSE(QFile::exists(folder + "_db.mdb"));
}

TEST(TempDatabase, ScalarKeepsTheEngineTypes) {
    TempDatabase db;
    db.Exec(
        "INSERT INTO Contacts (CompanyName, StatusID, CallbackDate) VALUES ('Acme', 2, 45000.5)");
    EXPECT_EQ(db.Scalar("SELECT CompanyName FROM Contacts").toString(), "Acme");
    EXPECT_EQ(db.Scalar("SELECT StatusID FROM Contacts").typeId(), QMetaType::LongLong);
    EXPECT_EQ(db.Scalar("SELECT CallbackDate FROM Contacts").toDouble(), 45000.5);
    EXPECT_FALSE(db.Scalar("SELECT Phone FROM Contacts").isValid());
    EXPECT_FALSE(db.Scalar("SELECT CompanyName FROM Contacts WHERE 0").isValid());
    EXPECT_EQ(db.Rows("SELECT CompanyName, Phone, CallbackDate FROM Contacts"),
              QStringList({"Acme|NULL|45000.5"}));
}

TEST(TempDatabase, ErrorsFailTheTest) {
    TempDatabase db;
    shared = &db;
    EXPECT_NONFATAL_FAILURE(shared->Exec("INSERT INTO Nowhere VALUES (1)"), "no such table");
    EXPECT_NONFATAL_FAILURE(shared->Scalar("SELEC 1"), "syntax error");
    EXPECT_NONFATAL_FAILURE(
        shared->Exec("INSERT INTO Contacts (Phone) VALUES ('" + QString(31, '5') + "')"),
        "size_Phone_30");
    shared = nullptr;
}
