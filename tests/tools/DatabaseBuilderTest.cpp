#include "DatabaseBuilder.h"
#include "support/TempDatabase.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <thread>

namespace {

const QDate kToday(2025, 3, 14);

double DayValue(const QDate &date) {
    return double(QDate(1899, 12, 30).daysTo(date));
}

// Runs a statement on its own connection; the engine's message, or an empty
// text when it succeeded. For statements that are meant to fail.
QString TryExec(const QString &path, const QString &sql) {
    sqlite3 *db = nullptr;
    sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    char *message = nullptr;
    const int rc = sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &message);
    const QString text =
        rc == SQLITE_OK ? QString() : QString::fromUtf8(message ? message : sqlite3_errmsg(db));
    sqlite3_free(message);
    sqlite3_close(db);
    return text;
}

QByteArray FileHash(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
}

QString CreateIn(const QTemporaryDir &dir, const DatabaseBuilder::Options &options,
                 const QString &name = QStringLiteral("_db.mdb")) {
    const QString path = dir.filePath(name);
    QString error;
    EXPECT_TRUE(DatabaseBuilder::Create(path, options, &error)) << error.toStdString();
    return path;
}

DatabaseBuilder::Options Samples(std::int64_t count, std::uint64_t seed = 7) {
    DatabaseBuilder::Options options;
    options.sampleContacts = count;
    options.seed = seed;
    options.today = kToday;
    return options;
}

} // namespace

TEST(DatabaseBuilderSchema, ContactsColumnsInOrderWithDeclaredTypes) {
    TempDatabase db;
    const QStringList expected = {"ContactID|INTEGER|1",          "CompanyName|VARCHAR(100)|0",
                                  "ContactPerson|VARCHAR(100)|0", "CountryID|INTEGER|0",
                                  "State|VARCHAR(50)|0",          "City|VARCHAR(50)|0",
                                  "Address|VARCHAR(255)|0",       "PostCode|VARCHAR(20)|0",
                                  "Phone|VARCHAR(30)|0",          "Fax|VARCHAR(30)|0",
                                  "Mobile|VARCHAR(30)|0",         "Email|VARCHAR(100)|0",
                                  "Url|VARCHAR(255)|0",           "Note|LONGTEXT|0",
                                  "StatusID|INTEGER|0",           "LastCallDate|DATETIME|0",
                                  "CallbackDate|DATETIME|0"};
    EXPECT_EQ(db.Rows("SELECT name, type, pk FROM pragma_table_info('Contacts') ORDER BY cid"),
              expected);
    EXPECT_EQ(db.Rows("SELECT name, type, pk FROM pragma_table_info('Countries') ORDER BY cid"),
              QStringList({"CountryID|INTEGER|1", "Name|VARCHAR(50)|0", "OrderNumber|INTEGER|0"}));
    EXPECT_EQ(db.Rows("SELECT name, type, pk FROM pragma_table_info('Status') ORDER BY cid"),
              QStringList({"StatusID|INTEGER|1", "Name|VARCHAR(50)|0"}));
}

TEST(DatabaseBuilderSchema, ContactIdNeverReusedButCountryIdIsPlainKey) {
    TempDatabase db;
    // With a counter the key of a deleted last row is not handed out again.
    db.Exec("INSERT INTO Contacts (CompanyName) VALUES ('A'); INSERT INTO Contacts (CompanyName) "
            "VALUES ('B')");
    db.Exec("DELETE FROM Contacts WHERE CompanyName = 'B'");
    db.Exec("INSERT INTO Contacts (CompanyName) VALUES ('C')");
    EXPECT_EQ(db.Scalar("SELECT ContactID FROM Contacts WHERE CompanyName = 'C'").toLongLong(), 3);

    EXPECT_FALSE(db.Scalar("SELECT sql FROM sqlite_master WHERE name = 'Countries'")
                     .toString()
                     .contains("AUTOINCREMENT", Qt::CaseInsensitive));
}

TEST(DatabaseBuilderSchema, CallbackDateIndexAndNoForeignKeys) {
    TempDatabase db;
    EXPECT_EQ(
        db.Rows("SELECT il.name, ii.name FROM pragma_index_list('Contacts') il, "
                "pragma_index_info(il.name) ii WHERE il.origin = 'c' AND ii.name IS NOT NULL"),
        QStringList({"CallbackDate|CallbackDate"}));
    // The duplicate check's keys are expressions over columns.
    EXPECT_EQ(db.Rows("SELECT il.name FROM pragma_index_list('Contacts') il, "
                      "pragma_index_info(il.name) ii WHERE ii.name IS NULL ORDER BY il.name"),
              QStringList({"ContactsEmailKey", "ContactsMobileKey", "ContactsNameKey",
                           "ContactsNameKey", "ContactsPhoneKey"}));
    EXPECT_TRUE(db.Rows("SELECT * FROM pragma_foreign_key_list('Contacts')").isEmpty());
    // A contact may point at a country and a status that do not exist.
    EXPECT_EQ(TryExec(db.Path(), "PRAGMA foreign_keys = ON; INSERT INTO Contacts (CountryID, "
                                 "StatusID) VALUES (9999, 99)"),
              QString());
}

TEST(DatabaseBuilderSchema, SizedColumnsRefuseLongerTextsWithNamedCheck) {
    TempDatabase db;
    struct Sized {
        const char *table;
        const char *column;
        int size;
    };
    const Sized sized[] = {{"Contacts", "CompanyName", 100},
                           {"Contacts", "ContactPerson", 100},
                           {"Contacts", "State", 50},
                           {"Contacts", "City", 50},
                           {"Contacts", "Address", 255},
                           {"Contacts", "PostCode", 20},
                           {"Contacts", "Phone", 30},
                           {"Contacts", "Fax", 30},
                           {"Contacts", "Mobile", 30},
                           {"Contacts", "Email", 100},
                           {"Contacts", "Url", 255},
                           {"Countries", "Name", 50},
                           {"Status", "Name", 50}};
    int key = 1000;
    for (const Sized &s : sized) {
        SCOPED_TRACE(QStringLiteral("%1.%2").arg(s.table, s.column).toStdString());
        const QString keyColumn = QString::fromLatin1(s.table) == "Contacts"    ? "ContactID"
                                  : QString::fromLatin1(s.table) == "Countries" ? "CountryID"
                                                                                : "StatusID";
        auto insert = [&](const QString &value) {
            return TryExec(db.Path(), QStringLiteral("INSERT INTO %1 (%2, %3) VALUES (%4, '%5')")
                                          .arg(s.table, keyColumn, s.column)
                                          .arg(++key)
                                          .arg(value));
        };
        EXPECT_EQ(insert(QString(s.size, QLatin1Char('x'))), QString());
        // The size counts characters, not bytes.
        EXPECT_EQ(insert(QString(s.size, QChar(0x00E9))), QString());
        const QString refused = insert(QString(s.size + 1, QLatin1Char('x')));
        EXPECT_TRUE(refused.contains(
            QStringLiteral("CHECK constraint failed: size_%1_%2").arg(s.column).arg(s.size)))
            << refused.toStdString();
    }
    // The memo and the null value have no limit.
    EXPECT_EQ(TryExec(db.Path(), QStringLiteral("INSERT INTO Contacts (Note, Phone) VALUES ('%1', "
                                                "NULL)")
                                     .arg(QString(100000, QLatin1Char('n')))),
              QString());
}

TEST(DatabaseBuilderLookups, CountriesUnitedStatesFirstOthersAlphabetical) {
    TempDatabase db;
    const qint64 count = db.Scalar("SELECT count(*) FROM Countries").toLongLong();
    EXPECT_GE(count, 195);
    EXPECT_LE(count, 250);
    EXPECT_EQ(db.Scalar("SELECT Name FROM Countries WHERE CountryID = 1").toString(),
              "United States");
    // Keys 1..count without gaps, names unique.
    EXPECT_EQ(db.Scalar("SELECT max(CountryID) - min(CountryID) + 1 FROM Countries").toLongLong(),
              count);
    EXPECT_EQ(db.Scalar("SELECT count(DISTINCT Name) FROM Countries").toLongLong(), count);

    auto alphabetical = [](QStringList names) {
        std::sort(names.begin(), names.end(), [](const QString &a, const QString &b) {
            return QString::compare(a, b, Qt::CaseInsensitive) < 0;
        });
        return names;
    };
    const QStringList byId = db.Rows("SELECT Name FROM Countries WHERE CountryID > 1 "
                                     "ORDER BY CountryID");
    EXPECT_EQ(byId, alphabetical(byId));

    const QStringList byOrder = db.Rows("SELECT Name FROM Countries ORDER BY OrderNumber");
    EXPECT_EQ(byOrder, alphabetical(byOrder));
    EXPECT_EQ(byOrder.size(), count);
    // Steps of 10 from 10, the United States in its alphabetical place.
    EXPECT_EQ(db.Scalar("SELECT count(*) FROM Countries WHERE OrderNumber % 10 <> 0").toLongLong(),
              0);
    EXPECT_EQ(db.Scalar("SELECT min(OrderNumber) FROM Countries").toLongLong(), 10);
    EXPECT_EQ(db.Scalar("SELECT max(OrderNumber) FROM Countries").toLongLong(), count * 10);
    const int usPlace = int(byOrder.indexOf("United States"));
    ASSERT_GT(usPlace, 0);
    EXPECT_EQ(byOrder.at(usPlace - 1), "United Kingdom");
    EXPECT_EQ(db.Scalar("SELECT OrderNumber FROM Countries WHERE CountryID = 1").toLongLong(),
              (usPlace + 1) * 10);
}

TEST(DatabaseBuilderLookups, Statuses) {
    TempDatabase db;
    EXPECT_EQ(
        db.Rows("SELECT StatusID, Name FROM Status ORDER BY StatusID"),
        QStringList({"1|New", "2|Prospect", "3|Customer", "4|Former customer", "5|Do not call"}));
}

TEST(DatabaseBuilderFile, ApplicationIdAndWalModeAndNoLeftovers) {
    QTemporaryDir dir;
    const QString path = CreateIn(dir, Samples(30), "sub/folder/_db.mdb");
    EXPECT_EQ(TempDatabase::RowsOf(path, "PRAGMA application_id"),
              QStringList({QString::number(DatabaseBuilder::kApplicationId)}));
    EXPECT_EQ(TempDatabase::RowsOf(path, "PRAGMA journal_mode"), QStringList({"wal"}));
    // Built under another name and moved into place; nothing else remains.
    EXPECT_EQ(QDir(dir.filePath("sub/folder")).entryList(QDir::Files | QDir::Hidden),
              QStringList({"_db.mdb"}));
}

TEST(DatabaseBuilderFile, RefusesExistingFileAndLeavesItsBytes) {
    QTemporaryDir dir;
    const QString path = dir.filePath("_db.mdb");
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("not a database, but someone's file");
    }
    const QByteArray before = FileHash(path);
    QString error;
    EXPECT_FALSE(DatabaseBuilder::Create(path, Samples(10), &error));
    EXPECT_TRUE(error.contains("already exists")) << error.toStdString();
    EXPECT_EQ(FileHash(path), before);

    // An existing database with contacts is refused the same way.
    TempDatabase db(25);
    const QByteArray databaseBefore = FileHash(db.Path());
    EXPECT_FALSE(DatabaseBuilder::Create(db.Path(), DatabaseBuilder::Options(), &error));
    EXPECT_EQ(FileHash(db.Path()), databaseBefore);
    EXPECT_EQ(db.Scalar("SELECT count(*) FROM Contacts").toLongLong(), 25);
}

TEST(DatabaseBuilderFile, RefusesLeftoverLogAndDanglingLink) {
    QTemporaryDir dir;
    QString error;
    const QString path = dir.filePath("_db.mdb");
    {
        QFile wal(path + "-wal");
        ASSERT_TRUE(wal.open(QIODevice::WriteOnly));
        wal.write("stale log");
    }
    EXPECT_FALSE(DatabaseBuilder::Create(path, DatabaseBuilder::Options(), &error));
    EXPECT_TRUE(error.contains("left over")) << error.toStdString();
    EXPECT_FALSE(QFile::exists(path));

    // An empty log, as a reader leaves it, holds nothing and does not stop it.
    ASSERT_TRUE(QFile::remove(path + "-wal"));
    QFile(path + "-wal").open(QIODevice::WriteOnly);
    EXPECT_TRUE(DatabaseBuilder::Create(path, Samples(3), &error)) << error.toStdString();
    EXPECT_EQ(TempDatabase::RowsOf(path, "SELECT count(*) FROM Contacts"), QStringList({"3"}));

    const QString linked = dir.filePath("linked.mdb");
    ASSERT_TRUE(QFile::link(dir.filePath("nowhere/target.mdb"), linked));
    EXPECT_FALSE(DatabaseBuilder::Create(linked, DatabaseBuilder::Options(), &error));
    EXPECT_FALSE(QFile::exists(dir.filePath("nowhere/target.mdb")));

    EXPECT_FALSE(DatabaseBuilder::Create(dir.filePath("x.mdb"), Samples(-1), &error));
    EXPECT_FALSE(QFile::exists(dir.filePath("x.mdb")));
}

TEST(DatabaseBuilderSamples, SameSeedSameRowsOtherSeedOtherRows) {
    QTemporaryDir dir;
    const QString a = CreateIn(dir, Samples(300, 11), "a.mdb");
    const QString b = CreateIn(dir, Samples(300, 11), "b.mdb");
    const QString c = CreateIn(dir, Samples(300, 12), "c.mdb");
    const QString all = "SELECT * FROM Contacts ORDER BY ContactID";
    const QStringList rowsA = TempDatabase::RowsOf(a, all);
    EXPECT_EQ(rowsA.size(), 300);
    EXPECT_EQ(TempDatabase::RowsOf(b, all), rowsA);
    const QStringList rowsC = TempDatabase::RowsOf(c, all);
    ASSERT_EQ(rowsC.size(), 300);
    int same = 0;
    for (int i = 0; i < 300; ++i)
        same += rowsA.at(i) == rowsC.at(i);
    EXPECT_EQ(same, 0);
}

TEST(DatabaseBuilderSamples, AddingTwiceGivesNewContactsDeterministically) {
    QTemporaryDir dir;
    const QString a = CreateIn(dir, Samples(0), "a.mdb");
    const QString b = CreateIn(dir, Samples(0), "b.mdb");
    QString error;
    for (const QString &path : {a, b}) {
        ASSERT_TRUE(DatabaseBuilder::AddSampleContacts(path, Samples(40), &error))
            << error.toStdString();
        ASSERT_TRUE(DatabaseBuilder::AddSampleContacts(path, Samples(40), &error))
            << error.toStdString();
    }
    const QString content = "SELECT CompanyName, ContactPerson, Phone, CallbackDate FROM Contacts "
                            "ORDER BY ContactID";
    const QStringList rows = TempDatabase::RowsOf(a, content);
    ASSERT_EQ(rows.size(), 80);
    EXPECT_EQ(TempDatabase::RowsOf(b, content), rows);
    EXPECT_NE(rows.mid(0, 40), rows.mid(40, 40));
    EXPECT_EQ(TempDatabase::RowsOf(a, "SELECT min(ContactID), max(ContactID) FROM Contacts"),
              QStringList({"1|80"}));
}

TEST(DatabaseBuilderSamples, SeveralDueTodayAndDatesAroundToday) {
    const double today = DayValue(kToday);
    for (int count : {20, 2000}) {
        SCOPED_TRACE(count);
        QTemporaryDir dir;
        const QString path = CreateIn(dir, Samples(count));
        auto scalar = [&](const QString &sql) {
            return TempDatabase::RowsOf(path, sql).value(0).toDouble();
        };
        const double dueToday = scalar(QStringLiteral("SELECT count(*) FROM Contacts WHERE "
                                                      "CallbackDate >= %1 AND CallbackDate < %2")
                                           .arg(today)
                                           .arg(today + 1));
        EXPECT_GE(dueToday, count == 20 ? 2 : 6);
        EXPECT_GE(scalar("SELECT min(CallbackDate) FROM Contacts"), today - 60);
        EXPECT_LT(scalar("SELECT max(CallbackDate) FROM Contacts"), today + 61);
        EXPECT_LT(scalar("SELECT max(LastCallDate) FROM Contacts"), today);
        // Call-backs at working hours on the half hour, 09:00 to 17:30.
        EXPECT_EQ(scalar("SELECT count(*) FROM Contacts WHERE CallbackDate IS NOT NULL AND "
                         "(round((CallbackDate - floor(CallbackDate)) * 1440) NOT BETWEEN 540 AND "
                         "1050 OR CAST(round((CallbackDate - floor(CallbackDate)) * 1440) AS "
                         "INTEGER) % 30 <> 0)"),
                  0);
        if (count == 2000) {
            EXPECT_GT(scalar("SELECT count(*) FROM Contacts WHERE CallbackDate IS NULL"), 0);
            EXPECT_GT(scalar("SELECT count(*) FROM Contacts WHERE CallbackDate < " +
                             QString::number(today)),
                      0);
            EXPECT_GT(scalar("SELECT count(*) FROM Contacts WHERE CallbackDate >= " +
                             QString::number(today + 1)),
                      0);
        }
    }
}

TEST(DatabaseBuilderSamples, ContactsPointAtExistingCountriesAndStatuses) {
    TempDatabase db(3000);
    EXPECT_EQ(db.Scalar("SELECT count(*) FROM Contacts c INNER JOIN Countries ct ON "
                        "ct.CountryID = c.CountryID INNER JOIN Status s ON s.StatusID = c.StatusID")
                  .toLongLong(),
              3000);
    EXPECT_GE(db.Scalar("SELECT count(DISTINCT CountryID) FROM Contacts").toLongLong(), 10);
    EXPECT_EQ(db.Scalar("SELECT count(DISTINCT StatusID) FROM Contacts").toLongLong(), 5);
    EXPECT_EQ(db.Scalar("SELECT CountryID FROM Contacts GROUP BY CountryID ORDER BY count(*) DESC "
                        "LIMIT 1")
                  .toLongLong(),
              1);
}

TEST(DatabaseBuilderAdd, RefusesMissingAndForeignFilesUnchanged) {
    QTemporaryDir dir;
    QString error;
    const QString missing = dir.filePath("missing.mdb");
    EXPECT_FALSE(DatabaseBuilder::AddSampleContacts(missing, Samples(5), &error));
    EXPECT_TRUE(error.contains("does not exist")) << error.toStdString();
    EXPECT_FALSE(QFile::exists(missing));

    // Another program's database: a valid file without our application id.
    const QString foreign = dir.filePath("foreign.db");
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(foreign).constData(), &db), SQLITE_OK);
    sqlite3_exec(db, "CREATE TABLE Contacts (ContactID INTEGER PRIMARY KEY, CompanyName TEXT)",
                 nullptr, nullptr, nullptr);
    sqlite3_close(db);
    const QByteArray before = FileHash(foreign);
    EXPECT_FALSE(DatabaseBuilder::AddSampleContacts(foreign, Samples(5), &error));
    EXPECT_TRUE(error.contains("not a contacts database")) << error.toStdString();
    EXPECT_EQ(FileHash(foreign), before);
    EXPECT_TRUE(DatabaseBuilder::Summary(foreign, &error).isEmpty());
}

TEST(DatabaseBuilderAdd, WaitsWhileAnotherProgramWrites) {
    TempDatabase db(5);
    sqlite3 *other = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(db.Path()).constData(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other,
                           "BEGIN IMMEDIATE; INSERT INTO Contacts (CompanyName) "
                           "VALUES ('Other')",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    // The other program finishes its write a little later; adding waits for it.
    std::thread finisher([other] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
        sqlite3_close(other);
    });
    QString error;
    const bool added = DatabaseBuilder::AddSampleContacts(db.Path(), Samples(5), &error);
    finisher.join();
    EXPECT_TRUE(added) << error.toStdString();
    EXPECT_EQ(db.Scalar("SELECT count(*) FROM Contacts").toLongLong(), 11);
}

TEST(DatabaseBuilderSummary, CountsTablesAndDueToday) {
    QTemporaryDir dir;
    const QString path = CreateIn(dir, Samples(500));
    const double today = DayValue(kToday);
    const QString due = TempDatabase::RowsOf(path, QStringLiteral("SELECT count(*) FROM Contacts "
                                                                  "WHERE CallbackDate >= %1 AND "
                                                                  "CallbackDate < %2")
                                                       .arg(today)
                                                       .arg(today + 1))
                            .value(0);
    const QString countries = TempDatabase::RowsOf(path, "SELECT count(*) FROM Countries").value(0);
    QString error;
    EXPECT_EQ(
        DatabaseBuilder::Summary(path, kToday, &error),
        QStringLiteral("Contacts: 500\nCountries: %1\nStatus: 5\nDue today (2025-03-14): %2\n")
            .arg(countries, due));
    // Reading leaves no log or index file behind.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList({"_db.mdb"}));
    EXPECT_TRUE(DatabaseBuilder::Summary(dir.filePath("none.mdb"), kToday, &error).isEmpty());
    EXPECT_TRUE(error.contains("does not exist")) << error.toStdString();
}

TEST(DatabaseBuilderUpgrade, AddsWhatAnOlderDatabaseLacksOnceAndKeepsItsContacts) {
    TempDatabase db(40);
    const QString objects =
        QStringLiteral("SELECT name FROM sqlite_master WHERE name LIKE 'Import%' OR name "
                       "LIKE 'Contacts%Key' ORDER BY name");
    const QStringList expected = db.Rows(objects);
    const QStringList contacts = db.Rows(QStringLiteral("SELECT * FROM Contacts ORDER BY 1"));
    ASSERT_EQ(expected.size(), 7);
    // As a database of the earlier version: none of it.
    db.Exec(QStringLiteral("DROP TABLE ImportFills; DROP TABLE Imports; DROP INDEX "
                           "ContactsEmailKey; DROP INDEX ContactsPhoneKey; DROP INDEX "
                           "ContactsMobileKey; DROP INDEX ContactsNameKey"));
    ASSERT_TRUE(db.Rows(objects).isEmpty());
    for (int run = 0; run < 2; ++run) {
        QString error;
        ASSERT_TRUE(DatabaseBuilder::Upgrade(db.Path(), &error)) << error.toStdString();
        EXPECT_EQ(db.Rows(objects), expected);
        EXPECT_EQ(db.Rows(QStringLiteral("SELECT * FROM Contacts ORDER BY 1")), contacts);
    }
    QString error;
    EXPECT_FALSE(DatabaseBuilder::Upgrade(db.Folder() + QStringLiteral("none.mdb"), &error));
    EXPECT_TRUE(error.contains(QStringLiteral("does not exist"))) << error.toStdString();
}
