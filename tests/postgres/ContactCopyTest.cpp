#include "ContactCopy.h"
#include "DatabaseBuilder.h"
#include "support/PgRawConnection.h"
#include "support/TempDatabase.h"
#include "support/TempPgServer.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <vector>

namespace {

// Every column of every contact, with the stored type of the numbers, so
// that an integer that came back as a real (or the reverse) shows.
const char *const kAllContacts =
    "SELECT *, typeof(CountryID), typeof(StatusID), typeof(LastCallDate), typeof(CallbackDate) "
    "FROM Contacts ORDER BY ContactID";

int RunTool(const QStringList &arguments, QString *out) {
    QProcess process;
    process.start(QCoreApplication::applicationDirPath() + "/corvana-db", arguments);
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit) {
        ADD_FAILURE() << "corvana-db did not finish: " << process.errorString().toStdString();
        return -1;
    }
    *out = QString::fromLocal8Bit(process.readAllStandardOutput() + process.readAllStandardError());
    return process.exitCode();
}

// Contacts the sample generator never makes: nulls everywhere, texts beyond
// ASCII and with the characters a bulk format must escape, reals that need
// all their digits, an integer beyond a double's precision, gaps in the ids.
void AddUnusualContacts(const TempDatabase &db) {
    db.Exec("INSERT INTO Contacts (ContactID) VALUES (5000)");
    db.Exec("INSERT INTO Contacts (ContactID, CompanyName, ContactPerson, City, Note, CountryID, "
            "StatusID, LastCallDate, CallbackDate) VALUES (5001, 'Zürich 東京 🦊 e' || "
            "char(769), 'Ærøskøbing Ωmega', 'tab' || char(9) || 'line' || char(10) || 'cr' || "
            "char(13) || 'back\\slash ''quote''', 'N' || replace(hex(zeroblob(2500)), '00', 'é'), "
            "9007199254740993, -3, 45000.123456789012345, -1.5e-7)");
    db.Exec("INSERT INTO Contacts (ContactID, CompanyName, LastCallDate, CallbackDate) "
            "VALUES (90000, '\\N', 0.1, 1e300)");
}

} // namespace

TEST(ContactCopy, FileToServerToFileKeepsEveryContactAndItsId) {
    TempPgServer &server = TempPgServer::Shared();
    ASSERT_TRUE(server.Running()) << server.ErrorString().toStdString();
    TempDatabase original(300);
    AddUnusualContacts(original);
    const QStringList before = original.Rows(kAllContacts);
    ASSERT_EQ(before.size(), 303);
    const QString conninfo = server.CreateDatabase();

    std::vector<std::int64_t> told;
    ContactCopy::Options options;
    options.progressEvery = 100;
    options.progress = [&](std::int64_t copied, std::int64_t total) {
        told.push_back(copied);
        EXPECT_EQ(total, 303);
    };
    std::int64_t copied = 0;
    QString error;
    ASSERT_TRUE(ContactCopy::Run(original.Path(), conninfo, options, &copied, &error))
        << error.toStdString();
    EXPECT_EQ(copied, 303);
    EXPECT_EQ(told, (std::vector<std::int64_t>{100, 200, 300}));

    PgRawConnection db(conninfo);
    EXPECT_EQ(
        db.Scalar("SELECT \"CountryID\" FROM \"Contacts\" WHERE \"ContactID\" = 5001").toLongLong(),
        9007199254740993LL);
    EXPECT_EQ(db.Scalar("SELECT \"CompanyName\" FROM \"Contacts\" WHERE \"ContactID\" = 90000")
                  .toString(),
              "\\N");

    QTemporaryDir dir;
    const QString back = dir.filePath("back.mdb");
    QString out;
    ASSERT_EQ(RunTool({"create", back}, &out), 0) << out.toStdString();
    ASSERT_EQ(RunTool({"copy", conninfo, back}, &out), 0) << out.toStdString();
    EXPECT_TRUE(out.contains("Copied 303 contacts")) << out.toStdString();
    EXPECT_EQ(TempDatabase::RowsOf(back, kAllContacts), before);

    // New contacts on the server are numbered past the copied ones.
    EXPECT_EQ(db.Scalar("INSERT INTO \"Contacts\" (\"CompanyName\") VALUES ('new') "
                        "RETURNING \"ContactID\"")
                  .toLongLong(),
              90001);
}

TEST(ContactCopy, RefusesATargetHoldingContactsOrNotMadeByCreateAndChangesNothing) {
    TempPgServer &server = TempPgServer::Shared();
    ASSERT_TRUE(server.Running()) << server.ErrorString().toStdString();
    TempDatabase source(20);
    const QString conninfo = server.CreateDatabase();
    PgRawConnection db(conninfo);
    db.Exec("INSERT INTO \"Contacts\" (\"ContactID\", \"CompanyName\") VALUES (7, 'kept')");

    std::int64_t copied = -1;
    QString error;
    EXPECT_FALSE(ContactCopy::Run(source.Path(), conninfo, {}, &copied, &error));
    EXPECT_EQ(copied, 0);
    EXPECT_TRUE(error.contains("already holds a contact")) << error.toStdString();
    EXPECT_TRUE(error.contains("Nothing was changed.")) << error.toStdString();
    EXPECT_EQ(db.Exec("SELECT \"ContactID\", \"CompanyName\" FROM \"Contacts\"").size(), 1);
    EXPECT_EQ(db.Scalar("SELECT \"CompanyName\" FROM \"Contacts\"").toString(), "kept");

    // A server database without the program's tables, and a file that is
    // no database: the engines refuse them at connect.
    PgRawConnection(server.Conninfo()).Exec("CREATE DATABASE copy_plain");
    EXPECT_FALSE(
        ContactCopy::Run(source.Path(), server.Conninfo("copy_plain"), {}, &copied, &error));
    EXPECT_TRUE(error.startsWith("Cannot open the target database")) << error.toStdString();
    EXPECT_EQ(PgRawConnection(server.Conninfo("copy_plain"))
                  .Scalar("SELECT count(*) FROM pg_class WHERE relnamespace = "
                          "'public'::regnamespace")
                  .toInt(),
              0);

    // A password in the conninfo never shows in a message.
    EXPECT_FALSE(ContactCopy::Run(source.Path(), server.Conninfo("copy_missing") + " password=hush",
                                  {}, &copied, &error));
    EXPECT_FALSE(error.contains("hush")) << error.toStdString();
    EXPECT_TRUE(error.contains("password=***")) << error.toStdString();
}
