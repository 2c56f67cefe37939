#include "DatabaseBuilder.h"
#include "sqlite/SqliteSearchIndex.h"
#include "support/TempDatabase.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>
#include <sqlite3.h>

namespace {

const char *const kSearched[] = {"CompanyName", "ContactPerson", "City", "State",  "PostCode",
                                 "Phone",       "Mobile",        "Url",  "Address"};

// How many contacts hold `fragment` (three characters, ASCII) in a searched
// column, by the index and by the engine's own LIKE on the table.
struct Counts {
    qint64 byIndex;
    qint64 byScan;
};

Counts CountsOf(const TempDatabase &db, const QString &fragment) {
    QStringList terms;
    for (const char *column : kSearched)
        terms << QStringLiteral("%1 LIKE '%%2%'").arg(QLatin1String(column), fragment);
    return {db.Scalar(QStringLiteral("SELECT count(*) FROM ContactsSearch WHERE ContactsSearch "
                                     "MATCH '\"%1\"'")
                          .arg(fragment))
                .toLongLong(),
            db.Scalar("SELECT count(*) FROM Contacts WHERE " + terms.join(" OR ")).toLongLong()};
}

// Fails the test (through TempDatabase::Exec) when the index differs from
// the texts of the table.
void CheckIndexMatchesTable(const TempDatabase &db) {
    db.Exec("INSERT INTO ContactsSearch (ContactsSearch, rank) VALUES ('integrity-check', 1)");
}

TEST(DatabaseSearchIndex, NewDatabasesHaveATrigramIndexOverTheSearchedColumns) {
    const TempDatabase db(500);
    EXPECT_EQ(db.Rows("SELECT type, name FROM sqlite_schema WHERE name LIKE 'ContactsSearch%' "
                      "AND name NOT LIKE 'ContactsSearch\\_%' ESCAPE '\\' ORDER BY name"),
              QStringList({"table|ContactsSearch", "trigger|ContactsSearchDelete",
                           "trigger|ContactsSearchInsert", "trigger|ContactsSearchUpdate"}));
    // Filled with the sample contacts, and the engine takes it as an index
    // it may use.
    CheckIndexMatchesTable(db);
    sqlite3 *raw = nullptr;
    ASSERT_EQ(sqlite3_open_v2(QFile::encodeName(db.Path()).constData(), &raw, SQLITE_OPEN_READONLY,
                              nullptr),
              SQLITE_OK);
    std::unique_ptr<sqlite3, int (*)(sqlite3 *)> handle(raw, sqlite3_close);
    const QVector<SqliteSearchIndex> found = SqliteSearchIndex::Find(raw);
    ASSERT_EQ(found.size(), 1);
    QStringList searched;
    for (const char *column : kSearched)
        searched << column;
    EXPECT_EQ(found[0].columns, searched);
    EXPECT_EQ(found[0].rowidColumn, "ContactID");

    for (const char *fragment : {"ber", "555", "Lan", "www", "zzq"}) {
        const Counts counts = CountsOf(db, fragment);
        EXPECT_EQ(counts.byIndex, counts.byScan) << fragment;
    }
    EXPECT_GT(CountsOf(db, "Lan").byIndex, 0);
}

TEST(DatabaseSearchIndex, WritesOfAnyProgramKeepTheIndexCurrent) {
    const TempDatabase db(50);
    db.Exec("INSERT INTO Contacts (CompanyName, City) VALUES ('Qxzwv Holdings', 'Ulm')");
    EXPECT_EQ(CountsOf(db, "qxz").byIndex, 1);
    db.Exec("UPDATE Contacts SET CompanyName = 'Plain Holdings', Address = 'Qxzwv Street 1' "
            "WHERE City = 'Ulm'");
    EXPECT_EQ(CountsOf(db, "qxz").byIndex, 1);
    EXPECT_EQ(CountsOf(db, "plain hol").byIndex, 1);
    // A new key moves the row in the index too.
    db.Exec("UPDATE Contacts SET ContactID = 100000 WHERE City = 'Ulm'");
    EXPECT_EQ(db.Scalar("SELECT rowid FROM ContactsSearch WHERE ContactsSearch MATCH 'qxzwv'")
                  .toLongLong(),
              100000);
    // A change of a column the index does not hold leaves it alone.
    db.Exec("UPDATE Contacts SET Note = 'Qxzwv note', CallbackDate = 46000 WHERE City = 'Ulm'");
    EXPECT_EQ(CountsOf(db, "qxz").byIndex, 1);
    db.Exec("DELETE FROM Contacts WHERE City = 'Ulm'");
    EXPECT_EQ(CountsOf(db, "qxz").byIndex, 0);
    db.Exec("DELETE FROM Contacts WHERE ContactID % 2 = 0");
    CheckIndexMatchesTable(db);
}

TEST(DatabaseSearchIndex, AddedSampleContactsAreIndexed) {
    QTemporaryDir dir;
    const QString path = dir.filePath("_db.mdb");
    DatabaseBuilder::Options options;
    options.sampleContacts = 200;
    QString error;
    ASSERT_TRUE(DatabaseBuilder::Create(path, options, &error)) << error.toStdString();
    ASSERT_TRUE(DatabaseBuilder::AddSampleContacts(path, options, &error)) << error.toStdString();
    EXPECT_EQ(TempDatabase::RowsOf(path, "SELECT count(*) FROM ContactsSearch"),
              QStringList({"400"}));
    EXPECT_GT(TempDatabase::RowsOf(path, "SELECT count(*) FROM ContactsSearch WHERE "
                                         "ContactsSearch MATCH 'www' AND rowid > 200")
                  .value(0)
                  .toInt(),
              0);
    // RowsOf fails the test when the check finds the index and table apart.
    TempDatabase::RowsOf(path, "INSERT INTO ContactsSearch (ContactsSearch, rank) "
                               "VALUES ('integrity-check', 1)");
}

} // namespace
