#include "SqliteTestSupport.h"
#include "data/DateTimeValue.h"
#include "sqlite/SqliteQueryRowSource.h"
#include "support/TempDatabase.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

using namespace sqlite_test;

namespace {

class SqliteEngineConnect : public ::testing::Test {
protected:
    QString PathOf(const QString &name) const { return dir.filePath(name); }
    static QByteArray Bytes(const QString &path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
    }
    static void Write(const QString &path, const QByteArray &bytes) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    // The files the engine leaves beside a database it has written to.
    bool HasCompanionFiles(const QString &path) const {
        return QFile::exists(path + "-wal") || QFile::exists(path + "-shm") ||
               QFile::exists(path + "-journal");
    }

    QTemporaryDir dir;
    TempDatabase db; // goes after the engine's handles are closed
    SqliteEngine engine;
};

TEST_F(SqliteEngineConnect, MissingFileIsNamedAndNotCreated) {
    const QString path = PathOf("_db.mdb");
    EXPECT_EQ(ErrorOf([&] { engine.Connect(path, "Share Deny None"); }),
              QString("Could not find file '%1'.").arg(path).toStdString());
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_FALSE(engine.Connected());
}

TEST_F(SqliteEngineConnect, ForeignAndEmptyFilesAreRefusedAndLeftUnchanged) {
    const QString text = PathOf("notes.mdb");
    const QByteArray bytes("Name;Phone\nAlpha;123\n");
    Write(text, bytes);
    const QString empty = PathOf("empty.mdb");
    Write(empty, QByteArray());
    for (const QString &path : {text, empty}) {
        const std::string error = ErrorOf([&] { engine.Connect(path, ""); });
        EXPECT_EQ(error, QString("The file '%1' is not a database file the program can open.")
                             .arg(path)
                             .toStdString());
        EXPECT_FALSE(engine.Connected());
        EXPECT_FALSE(HasCompanionFiles(path));
    }
    EXPECT_EQ(Bytes(text), bytes);
    EXPECT_EQ(Bytes(empty), QByteArray());
}

TEST_F(SqliteEngineConnect, DatabaseOfAnotherProgramIsRefusedAndNotWritten) {
    const QString path = PathOf("other.db");
    {
        RawHandle other(path, true);
        other.MustExec("CREATE TABLE t (a); INSERT INTO t VALUES (1)");
    }
    const QByteArray before = Bytes(path);
    EXPECT_EQ(ErrorOf([&] { engine.Connect(path, ""); }),
              QString("The file '%1' is not a Corvana database.").arg(path).toStdString());
    EXPECT_EQ(Bytes(path), before);
    EXPECT_FALSE(HasCompanionFiles(path));
}

TEST_F(SqliteEngineConnect, UnknownModeIsRefused) {
    EXPECT_EQ(ErrorOf([&] { engine.Connect(db.Path(), "Share Exclusive"); }),
              "The connection mode 'Share Exclusive' is not supported; use 'Share Deny None'.");
}

TEST_F(SqliteEngineConnect, ConnectsOurFileAndPutsItIntoWriteAheadLogging) {
    const QString path = PathOf("_db.mdb");
    MakeDatabase(path, "CREATE TABLE t (a)", false);
    engine.Connect(path, "Share Deny None");
    EXPECT_TRUE(engine.Connected());
    EXPECT_EQ(engine.JournalMode(), "wal");
    // Query handles are set up alike: durable commits.
    auto rows = engine.OpenRowSource(QueryRequest("PRAGMA synchronous"));
    EXPECT_EQ(rows->Value(0).toInt(), 2);
    engine.Disconnect();
    EXPECT_FALSE(engine.Connected());
    EXPECT_EQ(ErrorOf([&] { engine.OpenRowSource(QueryRequest("select 1")); }),
              "The connection is not open.");
}

TEST_F(SqliteEngineConnect, DatabaseLockedByAnotherProgramIsReportedWithinTheBusyTimeout) {
    const QString path = PathOf("_db.mdb");
    MakeDatabase(path, "CREATE TABLE t (a)", false); // a rollback journal lets a lock bar readers
    RawHandle other(path);
    other.MustExec("BEGIN EXCLUSIVE");
    engine.SetBusyTimeout(300);
    QElapsedTimer timer;
    timer.start();
    const std::string error = ErrorOf([&] { engine.Connect(path, ""); });
    const qint64 elapsed = timer.elapsed();
    EXPECT_EQ(error.rfind("The database is locked by another program; try again later.", 0), 0u)
        << error;
    EXPECT_GE(elapsed, 250);
    EXPECT_LT(elapsed, 3000);
    other.MustExec("ROLLBACK");
    engine.Connect(path, "");
    EXPECT_TRUE(engine.Connected());
}

TEST_F(SqliteEngineConnect, WriteWhileAnotherProgramWritesWaitsThenReportsTheLock) {
    db.Exec("INSERT INTO Status (StatusID, Name) VALUES (99, 'Held')");
    engine.Connect(db.Path(), "");
    engine.SetBusyTimeout(300);
    auto status = engine.OpenRowSource(TableRequest("Status"));
    RawHandle other(db.Path());
    other.MustExec("BEGIN IMMEDIATE; UPDATE Status SET Name = 'Other' WHERE StatusID = 1");
    status->MoveLast();
    status->SetValue(1, QString("Mine"));
    QElapsedTimer timer;
    timer.start();
    const std::string error = ErrorOf([&] { status->Update(); });
    EXPECT_EQ(error.rfind("The database is locked by another program; try again later.", 0), 0u)
        << error;
    EXPECT_LT(timer.elapsed(), 3000);
    other.MustExec("COMMIT");
    // The pending value is still there for a second try.
    status->Update();
    EXPECT_EQ(db.Scalar("SELECT Name FROM Status WHERE StatusID = 99").toString(), "Mine");
}

TEST_F(SqliteEngineConnect, RowSourcesOutliveADisconnect) {
    engine.Connect(db.Path(), "");
    auto status = engine.OpenRowSource(TableRequest("Status"));
    auto query = engine.OpenRowSource(QueryRequest("select Name from Status"));
    engine.Disconnect();
    status->MoveNext();
    query->MoveNext();
    EXPECT_FALSE(status->SourceEOF());
    EXPECT_FALSE(ValueIsNull(query->Value(0)));
}

TEST(SqliteEngineFormat, RendersDateTimeValuesLikeTheProgram) {
    TempDatabase db;
    auto engine = Connected(db.Path());
    const double value = DateTimeValue::FromDateTime(QDateTime(QDate(2026, 12, 8), QTime(9, 30)));
    auto rows = engine->OpenRowSource(QueryRequest(
        QStringLiteral("select Format(%1, \"Short Date\"), Format(%1, \"General Date\"), "
                       "Format(%2, \"short date\"), Format(NULL, \"Short Date\"), "
                       "Format(\"text\", \"Short Date\"), format('%d-%d', 7, 8)")
            .arg(value, 0, 'g', 17)
            .arg(qint64(value))));
    EXPECT_EQ(rows->Value(0).toString(), "12/8/2026");
    EXPECT_EQ(rows->Value(1).toString(), DateTimeValue::DateTimeText(value));
    EXPECT_TRUE(rows->Value(1).toString().startsWith("12/8/2026 9:30:00"));
    EXPECT_EQ(rows->Value(2).toString(), "12/8/2026");
    EXPECT_TRUE(ValueIsNull(rows->Value(3)));
    EXPECT_EQ(rows->Value(4).toString(), "text");
    // The engine's own format() with other argument counts stays.
    EXPECT_EQ(rows->Value(5).toString(), "7-8");
}

} // namespace
