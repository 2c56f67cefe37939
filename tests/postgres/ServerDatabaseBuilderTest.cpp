#include "ServerDatabaseBuilder.h"
#include "DatabaseBuilder.h"
#include "support/PgRawConnection.h"
#include "support/TempDatabase.h"
#include "support/TempPgServer.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct Result {
    int exitCode = -1;
    QString out;
    QString err;
};

// Runs the database tool, which the build puts beside the test program.
Result RunTool(const QStringList &arguments,
               const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment()) {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(QCoreApplication::applicationDirPath() + "/corvana-db", arguments);
    Result result;
    if (!process.waitForFinished(180000) || process.exitStatus() != QProcess::NormalExit) {
        ADD_FAILURE() << "corvana-db did not finish: " << process.errorString().toStdString();
        return result;
    }
    result.exitCode = process.exitCode();
    result.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    result.err = QString::fromLocal8Bit(process.readAllStandardError());
    return result;
}

// Rows as TempDatabase::RowsOf writes them: columns joined by '|', null as
// "NULL", reals with 17 significant digits.
QStringList ServerRows(PgRawConnection &db, const QString &sql, const QVariantList &params = {}) {
    QStringList rows;
    for (const PgRawConnection::Row &row : db.Exec(sql, params)) {
        QStringList columns;
        for (const QVariant &value : row) {
            if (!value.isValid())
                columns << "NULL";
            else if (value.typeId() == QMetaType::Double)
                columns << QString::number(value.toDouble(), 'g', 17);
            else
                columns << value.toString();
        }
        rows << columns.join('|');
    }
    return rows;
}

QStringList FileColumns(const QString &path, const QString &table) {
    return TempDatabase::RowsOf(path, "SELECT name FROM pragma_table_info('" + table + "')");
}

QStringList ServerColumns(PgRawConnection &db, const QString &table) {
    return ServerRows(db,
                      "SELECT column_name FROM information_schema.columns WHERE table_name = $1 "
                      "ORDER BY ordinal_position",
                      {table});
}

} // namespace

TEST(ServerDatabaseBuilder, CreatesTheFileSchemaAndContactsOnANewDatabaseAndRefusesASecond) {
    TempPgServer &server = TempPgServer::Shared();
    ASSERT_TRUE(server.Running()) << server.ErrorString().toStdString();
    const QString conninfo = server.Conninfo("builder_new");
    // Enough contacts for the trigram indexes to be built by several sessions.
    const QStringList options = {"--contacts", "10000", "--seed", "7", "--today", "2025-03-04"};
    Result created = RunTool(QStringList{"create", "--server", conninfo} + options);
    ASSERT_EQ(created.exitCode, 0) << created.err.toStdString();
    EXPECT_TRUE(created.out.contains("Created")) << created.out.toStdString();

    // The file the same options make is the reference.
    QTemporaryDir dir;
    const QString file = dir.filePath("reference.mdb");
    Result reference = RunTool(QStringList{"create", file} + options);
    ASSERT_EQ(reference.exitCode, 0) << reference.err.toStdString();

    PgRawConnection admin(server.Conninfo());
    EXPECT_EQ(ServerRows(admin, "SELECT pg_encoding_to_char(encoding), datcollate, datctype FROM "
                                "pg_database WHERE datname = 'builder_new'"),
              QStringList{"UTF8|C.UTF-8|C.UTF-8"});
    PgRawConnection db(conninfo);
    const QStringList tables = TempDatabase::RowsOf(
        file, "SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite%' "
              "AND name NOT LIKE 'ContactsSearch%' ORDER BY name");
    ASSERT_EQ(tables.size(), 6);
    EXPECT_EQ(ServerRows(db, "SELECT table_name FROM information_schema.tables WHERE "
                             "table_schema = 'public' ORDER BY table_name"),
              tables);
    for (const QString &table : tables)
        EXPECT_EQ(ServerColumns(db, table), FileColumns(file, table)) << table.toStdString();
    EXPECT_EQ(db.Scalar("SELECT obj_description('\"Contacts\"'::regclass, 'pg_class')").toString(),
              ServerDatabaseBuilder::kMarkComment);
    EXPECT_EQ(ServerRows(db,
                         "SELECT table_name || '.' || column_name FROM "
                         "information_schema.columns WHERE domain_name = 'DATETIME' ORDER BY 1"),
              QStringList({"Contacts.CallbackDate", "Contacts.LastCallDate",
                           "DeletedContacts.CallbackDate", "DeletedContacts.DeletedAt",
                           "DeletedContacts.LastCallDate", "Imports.ImportedAt"}));
    for (const char *table : {"Countries", "Status"})
        EXPECT_EQ(ServerRows(db, QString("SELECT * FROM \"%1\" ORDER BY 1").arg(table)),
                  TempDatabase::RowsOf(file, QString("SELECT * FROM %1 ORDER BY 1").arg(table)))
            << table;
    const QStringList contacts = TempDatabase::RowsOf(file, "SELECT * FROM Contacts ORDER BY 1");
    ASSERT_EQ(contacts.size(), 10000);
    EXPECT_EQ(ServerRows(db, "SELECT * FROM \"Contacts\" ORDER BY 1"), contacts);

    // A search of several columns combines their trigram indexes, and folds
    // case beyond ASCII.
    db.Exec(
        "INSERT INTO \"Contacts\" (\"CompanyName\", \"City\") VALUES ('ÄRZTEHAUS Süd', 'Łódź')");
    db.Exec("SET enable_seqscan = off");
    const QString search = "FROM \"Contacts\" WHERE \"CompanyName\" ILIKE '%ärzte%' OR \"City\" "
                           "ILIKE '%ŁÓD%'";
    EXPECT_TRUE(
        ServerRows(db, "EXPLAIN SELECT \"ContactID\" " + search).join('\n').contains("BitmapOr"));
    EXPECT_EQ(db.Scalar("SELECT count(*) " + search).toInt(), 1);
    EXPECT_EQ(db.Scalar("SELECT \"ContactID\" FROM \"Contacts\" WHERE \"City\" = 'Łódź'").toInt(),
              10001);

    Result again = RunTool({"create", "--server", conninfo, "--contacts", "5"});
    EXPECT_EQ(again.exitCode, 1);
    EXPECT_TRUE(again.err.contains("already holds a Corvana database")) << again.err.toStdString();
    EXPECT_EQ(db.Scalar("SELECT count(*) FROM \"Contacts\"").toInt(), 10001);
    EXPECT_EQ(db.Scalar("SELECT count(*) FROM pg_indexes WHERE tablename = 'Contacts' AND "
                        "indexdef LIKE '%gin_trgm_ops%'")
                  .toInt(),
              9);
}

TEST(ServerDatabaseBuilder, RefusesDatabasesThatCannotHoldOrSearchTheTextsAndLeavesNothing) {
    TempPgServer &server = TempPgServer::Shared();
    ASSERT_TRUE(server.Running()) << server.ErrorString().toStdString();
    PgRawConnection admin(server.Conninfo());
    admin.Exec("CREATE DATABASE builder_c TEMPLATE template0 LC_COLLATE 'C' LC_CTYPE 'C'");
    admin.Exec("CREATE DATABASE builder_latin TEMPLATE template0 ENCODING 'LATIN1' "
               "LC_COLLATE 'C' LC_CTYPE 'C'");
    admin.Exec("CREATE DATABASE builder_other");
    PgRawConnection(server.Conninfo("builder_other")).Exec("CREATE TABLE \"Contacts\" (x int)");
    const struct {
        const char *database;
        const char *reason;
        int tables;
    } refused[] = {{"builder_c", "character type C", 0},
                   {"builder_latin", "LATIN1, not UTF8", 0},
                   {"builder_other", "not a complete Corvana database", 1}};
    for (const auto &c : refused) {
        Result result = RunTool({"create", "--server", server.Conninfo(c.database)});
        EXPECT_EQ(result.exitCode, 1) << c.database;
        EXPECT_TRUE(result.err.contains(c.reason)) << result.err.toStdString();
        PgRawConnection db(server.Conninfo(c.database));
        EXPECT_EQ(db.Scalar("SELECT count(*) FROM pg_class WHERE relnamespace = "
                            "'public'::regnamespace")
                      .toInt(),
                  c.tables)
            << c.database;
    }

    // A build that fails after making its database drops it again.
    admin.Exec("CREATE ROLE builder_nowhere LOGIN CREATEDB PASSWORD 'pw'");
    admin.Exec("ALTER ROLE builder_nowhere SET search_path = nowhere");
    Result failed =
        RunTool({"create", "--server",
                 server.Conninfo("builder_dropped", "builder_nowhere") + " password=pw"});
    EXPECT_EQ(failed.exitCode, 1);
    EXPECT_TRUE(failed.err.contains("Cannot create the Corvana database \"builder_dropped\""))
        << failed.err.toStdString();
    EXPECT_EQ(
        admin.Scalar("SELECT count(*) FROM pg_database WHERE datname = 'builder_dropped'").toInt(),
        0);

    // The password comes from the environment; without it the tool says
    // where to put it.
    const QString withPassword = server.Conninfo("builder_pw", TempPgServer::kPasswordUser);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("PGPASSWORD");
    environment.insert("PGPASSFILE", "/nonexistent/pgpass");
    Result noPassword = RunTool({"create", "--server", withPassword}, environment);
    EXPECT_EQ(noPassword.exitCode, 1);
    EXPECT_TRUE(noPassword.err.contains("asks for the password of the user \"corvana_pw\""))
        << noPassword.err.toStdString();
    environment.insert("PGPASSWORD", TempPgServer::kPassword);
    Result withEnvironment = RunTool({"create", "--server", withPassword}, environment);
    EXPECT_EQ(withEnvironment.exitCode, 0) << withEnvironment.err.toStdString();
    EXPECT_EQ(PgRawConnection(server.Conninfo("builder_pw"))
                  .Scalar("SELECT count(*) FROM \"Status\"")
                  .toInt(),
              DatabaseBuilder::StatusNames().size());

    Result unreachable = RunTool({"create", "--server", "host=127.0.0.1 port=1 dbname=x"});
    EXPECT_EQ(unreachable.exitCode, 1);
    EXPECT_TRUE(unreachable.err.contains("Cannot connect to the database server"))
        << unreachable.err.toStdString();
}
