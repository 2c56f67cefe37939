#include "support/TempPgServer.h"
#include "CountryList.h"
#include "DatabaseBuilder.h"
#include "support/PgRawConnection.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString DatabaseOf(const QString &conninfo) {
    for (const QString &part : conninfo.split(QLatin1Char(' ')))
        if (part.startsWith(QLatin1String("dbname=")))
            return part.mid(7);
    return QString();
}

} // namespace

TEST(TempPgServer, StartsCreatesADatabaseAndRemovesItsFolder) {
    QString folder;
    QString conninfo;
    {
        QElapsedTimer timer;
        timer.start();
        TempPgServer server;
        ASSERT_TRUE(server.Running()) << server.ErrorString().toStdString();
        EXPECT_LT(timer.elapsed(), 20000);
        folder = server.Folder();
        ASSERT_TRUE(QFileInfo(server.DataDirectory() + "/PG_VERSION").isFile());
        if (::geteuid() == 0) {
            struct stat info {};
            ASSERT_EQ(::stat(QFile::encodeName(folder).constData(), &info), 0);
            EXPECT_NE(info.st_uid, 0u) << "the server's folder must not belong to root";
        }

        const QString first = server.CreateDatabase();
        const QString second = server.CreateDatabase();
        ASSERT_NE(DatabaseOf(first), DatabaseOf(second));
        EXPECT_EQ(server.ConnectionString(first),
                  "Provider=PostgreSQL;Data Source=" + first + ";Persist Security Info=False;");

        PgRawConnection one(first);
        EXPECT_EQ(one.Scalar("SHOW fsync").toString(), "off");
        EXPECT_EQ(
            one.Scalar("SELECT obj_description('\"Contacts\"'::regclass, 'pg_class')").toString(),
            "Corvana contacts");
        EXPECT_EQ(one.Scalar("SELECT count(*) FROM \"Countries\"").toLongLong(),
                  qint64(CountryList::All().size()));
        EXPECT_EQ(one.Scalar("SELECT string_agg(\"Name\", '|' ORDER BY \"StatusID\") FROM "
                             "\"Status\"")
                      .toString(),
                  DatabaseBuilder::StatusNames().join('|'));
        one.Exec("INSERT INTO \"Contacts\" (\"CompanyName\") VALUES ($1)", {QString("Ünïcode")});
        EXPECT_EQ(one.Scalar("SELECT \"CompanyName\" FROM \"Contacts\"").toString(), "Ünïcode");
        // Each database is a copy of its own.
        PgRawConnection two(second);
        EXPECT_EQ(two.Scalar("SELECT count(*) FROM \"Contacts\"").toLongLong(), 0);

        // The password role must give its password, and then may read.
        try {
            PgRawConnection refused(server.Conninfo(DatabaseOf(first), "corvana_pw"));
            ADD_FAILURE() << "connected without the password";
        } catch (const PgRawConnection::Error &e) {
            EXPECT_TRUE(QString(e.what()).contains("password")) << e.what();
        }
        PgRawConnection withPassword(server.Conninfo(DatabaseOf(first), "corvana_pw") +
                                     " password=corvana-secret");
        EXPECT_EQ(withPassword.Scalar("SELECT count(*) FROM \"Contacts\"").toLongLong(), 1);

        // Another program ends the sessions on the database: both are gone.
        EXPECT_EQ(two.TerminateOtherBackends(DatabaseOf(first)), 2);
        EXPECT_THROW(one.Exec("SELECT 1"), PgRawConnection::Error);
        EXPECT_EQ(two.Scalar("SELECT 1").toInt(), 1);
        conninfo = server.Conninfo();
    }
    EXPECT_FALSE(QFileInfo::exists(folder)) << folder.toStdString();
    EXPECT_THROW(PgRawConnection{conninfo}, PgRawConnection::Error);
}

TEST(TempPgServer, SharedServerServesTheWholeProgram) {
    TempPgServer &server = TempPgServer::Shared();
    ASSERT_TRUE(server.Running()) << server.ErrorString().toStdString();
    EXPECT_EQ(&server, &TempPgServer::Shared());
    PgRawConnection admin(server.Conninfo());
    EXPECT_EQ(admin.Scalar("SELECT current_user").toString(), "corvana");
    EXPECT_EQ(admin.Scalar("SHOW server_encoding").toString(), "UTF8");
}

TEST(TempPgServer, MissingServerProgramsFailWithTheReason) {
    const QByteArray saved = qgetenv("CORVANA_PG_BINDIR");
    qputenv("CORVANA_PG_BINDIR", "/nonexistent/bin");
    TempPgServer server;
    if (saved.isEmpty())
        qunsetenv("CORVANA_PG_BINDIR");
    else
        qputenv("CORVANA_PG_BINDIR", saved);
    EXPECT_FALSE(server.Running());
    EXPECT_TRUE(server.ErrorString().contains("were not found"))
        << server.ErrorString().toStdString();
    try {
        server.CreateDatabase();
        ADD_FAILURE() << "a database on a server that is not running";
    } catch (const TempPgServer::Error &e) {
        EXPECT_TRUE(QString(e.what()).contains("not running")) << e.what();
    }
}
