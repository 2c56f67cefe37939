#include "data/ConnectionString.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

TEST(ConnectionString, ProgramStringIsBuiltFromTheFolder) {
    EXPECT_EQ(ConnectionString::ForProgramFolder("/opt/corvana/"),
              "Provider=SQLite;User ID=Admin;Data Source=/opt/corvana/_db.mdb;"
              "Mode=Share Deny None;Persist Security Info=False;");
}

TEST(ConnectionString, ValuesAreFoundWithoutRegardToCaseAndTrimmed) {
    const QString text = ConnectionString::ForProgramFolder("/opt/corvana/");
    EXPECT_EQ(ConnectionString::Value(text, "provider"), "SQLite");
    EXPECT_EQ(ConnectionString::Value(text, "DATA SOURCE"), "/opt/corvana/_db.mdb");
    EXPECT_EQ(ConnectionString::Value(text, "Mode"), "Share Deny None");
    EXPECT_EQ(ConnectionString::Value(text, "Password"), "");
    EXPECT_EQ(ConnectionString::Value(" a = 1 ;; junk; A=2;b", "a"), "2");
}

// A folder holding a ';' must not cut the data source short.
TEST(ConnectionString, FolderWithSeparatorsReadsBackWhole) {
    for (const QString folder : {"/tmp/a;b/", "/tmp/\"q\";x/", " /tmp/lead/"}) {
        const QString text = ConnectionString::ForProgramFolder(folder);
        EXPECT_EQ(ConnectionString::Value(text, "Data Source"), folder + "_db.mdb")
            << text.toStdString();
        EXPECT_EQ(ConnectionString::Value(text, "Mode"), "Share Deny None");
    }
    EXPECT_EQ(ConnectionString::Value("Data Source='it''s';Mode=x", "data source"), "it's");
}

TEST(ConnectionString, ProgramFolderIsThatOfTheProgramFileWhateverTheWorkingFolder) {
    const QString before = QDir::currentPath();
    const QString folder = ConnectionString::ProgramFolder();
    EXPECT_TRUE(folder.endsWith('/'));
    EXPECT_TRUE(QFileInfo(QCoreApplication::applicationFilePath()).absolutePath() + '/' == folder);
    QTemporaryDir elsewhere;
    ASSERT_TRUE(QDir::setCurrent(elsewhere.path()));
    EXPECT_EQ(ConnectionString::ProgramFolder(), folder);
    QDir::setCurrent(before);
    EXPECT_NE(folder, elsewhere.path() + '/');
}

} // namespace
