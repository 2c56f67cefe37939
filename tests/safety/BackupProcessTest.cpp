// Backups against real processes: a copy made while another program writes,
// a backup killed half-way, a disk that fills up, and files that must not be
// restored. Each runs the engine's own tool or the database tool as a process
// of its own, as a user's other programs would.

#include "safety/BackupFolder.h"
#include "sqlite/SqliteBackup.h"
#include "sqlite/SqliteEngine.h"
#include "support/DatabaseFiles.h"
#include "support/TempDatabase.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>
#include <gtest/gtest.h>

#include <csignal>
#include <sqlite3.h>
#include <unistd.h>

namespace {

using DatabaseFiles::Copy;
using DatabaseFiles::Digest;

TEST(BackupProcess, ACopyMadeWhileAnotherProgramWritesIsOneSoundSnapshot) {
    const QString shell = QStandardPaths::findExecutable(QStringLiteral("sqlite3"));
    if (shell.isEmpty())
        GTEST_SKIP() << "the sqlite3 shell is not installed";
    TempDatabase db(3000);
    // The writer adds contacts two to a transaction; a snapshot always
    // holds an even number of them.
    QString script = QStringLiteral(".timeout 5000\n");
    for (int i = 0; i < 4000; ++i)
        script += QStringLiteral("BEGIN IMMEDIATE; INSERT INTO Contacts (CompanyName) VALUES "
                                 "('pair %1'); INSERT INTO Contacts (CompanyName) VALUES ('pair "
                                 "%1'); COMMIT;\n")
                      .arg(i);
    const QString scriptPath = db.Folder() + QStringLiteral("writer.sql");
    {
        QFile file(scriptPath);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(script.toUtf8());
    }
    QProcess writer;
    writer.start(shell, {db.Path(), QStringLiteral(".read ") + scriptPath});
    ASSERT_TRUE(writer.waitForStarted());
    auto pairs = [](const QString &path) {
        return TempDatabase::RowsOf(path, QStringLiteral("SELECT count(*) FROM Contacts WHERE "
                                                         "CompanyName LIKE 'pair %'"))
            .value(0)
            .toInt();
    };
    QElapsedTimer started;
    started.start();
    while (pairs(db.Path()) < 20 && started.elapsed() < 10000)
        QThread::msleep(5);
    int copies = 0;
    int previous = -1;
    for (; copies < 4 && writer.state() == QProcess::Running; ++copies) {
        const QString target = db.Folder() + QStringLiteral("copy%1.mdb").arg(copies);
        Copy(db.Path(), target);
        EXPECT_EQ(SqliteBackup::Unsound(target, SqliteEngine::kApplicationId), QString());
        const int inCopy = pairs(target);
        EXPECT_EQ(inCopy % 2, 0) << "copy " << copies << " holds half a transaction";
        EXPECT_GT(inCopy, previous) << "the writer was held up by the copy";
        EXPECT_EQ(TempDatabase::RowsOf(target, QStringLiteral("SELECT count(*) FROM Contacts"))
                      .value(0)
                      .toInt(),
                  3000 + inCopy);
        previous = inCopy;
    }
    EXPECT_GE(copies, 2) << "the writer ended before two copies were made";
    writer.kill();
    writer.waitForFinished();
}

TEST(BackupProcess, AKilledBackupLeavesEveryEarlierBackupAndNoFileUnderItsName) {
    TempDatabase db(40000);
    const BackupFolder folder(db.Path(), db.Folder() + QStringLiteral("backups"));
    ASSERT_TRUE(QDir().mkpath(folder.Folder()));
    const QDateTime start(QDate(2026, 12, 1), QTime(18, 0));
    QList<QPair<QString, QByteArray>> earlier;
    for (int day = 0; day < 3; ++day) {
        const QString path = folder.NewPath(start.addDays(day));
        Copy(db.Path(), path);
        earlier.append({path, Digest(path)});
    }
    const QString target = folder.NewPath(start.addDays(3));
    const QString partial = SqliteBackup::PartialName(target);
    int killedHalfWay = 0;
    for (int attempt = 0; attempt < 5 && killedHalfWay < 2; ++attempt) {
        QProcess tool;
        tool.start(QStringLiteral(CORVANA_DB_TOOL), {QStringLiteral("backup"), db.Path(), target});
        ASSERT_TRUE(tool.waitForStarted());
        QElapsedTimer waited;
        waited.start();
        while (QFileInfo(partial).size() < 1024 * 1024 && waited.elapsed() < 10000 &&
               tool.state() == QProcess::Running)
            QThread::usleep(200);
        ::kill(pid_t(tool.processId()), SIGKILL);
        tool.waitForFinished();
        if (QFile::exists(target)) {
            // Finished before the kill: then it is a whole, sound copy.
            EXPECT_EQ(SqliteBackup::Unsound(target, SqliteEngine::kApplicationId), QString());
            QFile::remove(target);
            continue;
        }
        ++killedHalfWay;
        EXPECT_TRUE(QFile::exists(partial));
    }
    ASSERT_GE(killedHalfWay, 1) << "no backup was caught half-way";
    for (const auto &[path, digest] : earlier)
        EXPECT_EQ(Digest(path), digest) << path.toStdString();
    // The half-made copy is no backup: it is not listed, a new backup of the
    // same name goes ahead over it, and a later prune removes what is left.
    EXPECT_EQ(folder.List().size(), 3);
    Copy(db.Path(), target);
    EXPECT_EQ(SqliteBackup::Unsound(target, SqliteEngine::kApplicationId), QString());
    EXPECT_EQ(folder.List().size(), 4);
    EXPECT_FALSE(QFile::exists(partial));
}

TEST(BackupProcess, AFullDiskLosesNothingAndSaysSo) {
    // A small file system of its own for the backups, in a mount namespace
    // of the test's own (as root, or through a user namespace otherwise).
    const QString unshare = QStandardPaths::findExecutable(QStringLiteral("unshare"));
    if (unshare.isEmpty())
        GTEST_SKIP() << "unshare is not installed";
    TempDatabase db(8000);
    const QString disk = db.Folder() + QStringLiteral("disk");
    ASSERT_TRUE(QDir().mkpath(disk));
    const QString earlier = db.Folder() + QStringLiteral("earlier.mdb");
    Copy(db.Path(), earlier);
    const QByteArray databaseBefore = Digest(db.Path());
    const QString script = QStringLiteral("mount -t tmpfs -o size=%1 tmpfs \"$1\" || exit 77\n"
                                          "cp \"$2\" \"$1\"/earlier.mdb\n"
                                          "\"$3\" backup \"$4\" \"$1\"/new.mdb\n"
                                          "echo \"exit=$?\"\n"
                                          "ls -a \"$1\"\n"
                                          "sha256sum \"$1\"/earlier.mdb\n")
                               .arg(QFileInfo(earlier).size() + 256 * 1024);
    QStringList arguments = {geteuid() == 0 ? QStringLiteral("-m") : QStringLiteral("-rm"),
                             QStringLiteral("sh"),
                             QStringLiteral("-c"),
                             script,
                             QStringLiteral("sh"),
                             disk,
                             earlier,
                             QStringLiteral(CORVANA_DB_TOOL),
                             db.Path()};
    QProcess run;
    run.start(unshare, arguments);
    ASSERT_TRUE(run.waitForFinished(60000));
    if (run.exitCode() == 77 || run.exitCode() == 1)
        GTEST_SKIP() << "no file system can be mounted here: "
                     << run.readAllStandardError().toStdString();
    const QString out = QString::fromUtf8(run.readAllStandardOutput());
    const QString err = QString::fromUtf8(run.readAllStandardError());
    EXPECT_TRUE(out.contains(QStringLiteral("exit=1"))) << out.toStdString();
    EXPECT_TRUE(err.contains(QStringLiteral("The disk is full"))) << err.toStdString();
    // Nothing but the earlier backup is on the full disk, unchanged.
    EXPECT_FALSE(out.contains(QStringLiteral("new.mdb"))) << out.toStdString();
    EXPECT_TRUE(out.contains(QString::fromLatin1(Digest(earlier).toHex()))) << out.toStdString();
    EXPECT_EQ(Digest(db.Path()), databaseBefore);
}

TEST(BackupChecks, DamagedAndForeignFilesAreRefusedAndNothingIsWrittenBesideThem) {
    TempDatabase db(500);
    const QString dir = db.Folder() + QStringLiteral("checks/");
    ASSERT_TRUE(QDir().mkpath(dir));
    const QString sound = dir + QStringLiteral("sound.mdb");
    Copy(db.Path(), sound);

    const QString damaged = dir + QStringLiteral("damaged.mdb");
    ASSERT_TRUE(QFile::copy(sound, damaged));
    // A page in the middle of the contacts' pages overwritten.
    DatabaseFiles::DamageMiddlePage(damaged, '\x5a');
    const QString text = dir + QStringLiteral("notes.mdb");
    {
        QFile file(text);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("Names and numbers\n");
    }
    const QString foreign = dir + QStringLiteral("foreign.mdb");
    {
        sqlite3 *raw = nullptr;
        sqlite3_open_v2(QFile::encodeName(foreign).constData(), &raw,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
        ASSERT_EQ(sqlite3_exec(raw, "CREATE TABLE Contacts (x)", nullptr, nullptr, nullptr),
                  SQLITE_OK);
        sqlite3_close(raw);
    }
    const QString noStatus = dir + QStringLiteral("nostatus.mdb");
    Copy(db.Path(), noStatus);
    TempDatabase::RowsOf(noStatus, QStringLiteral("DROP TABLE Status"));

    const QStringList before = QDir(dir).entryList(QDir::Files, QDir::Name);
    QHash<QString, QByteArray> digests;
    for (const QString &name : before)
        digests.insert(name, Digest(dir + name));

    const int id = SqliteEngine::kApplicationId;
    EXPECT_EQ(SqliteBackup::Unsound(sound, id), QString());
    EXPECT_TRUE(SqliteBackup::Unsound(damaged, id).contains(QStringLiteral("is damaged")))
        << SqliteBackup::Unsound(damaged, id).toStdString();
    EXPECT_TRUE(SqliteBackup::Unsound(text, id).contains(QStringLiteral("not a database file")));
    EXPECT_TRUE(
        SqliteBackup::Unsound(foreign, id).contains(QStringLiteral("not a Corvana database")))
        << SqliteBackup::Unsound(foreign, id).toStdString();
    EXPECT_TRUE(SqliteBackup::Unsound(noStatus, id).contains(QStringLiteral("no table Status")))
        << SqliteBackup::Unsound(noStatus, id).toStdString();
    EXPECT_FALSE(SqliteBackup::Unsound(dir, id).isEmpty());
    // The live database has its log beside it: not a file to restore from.
    db.Scalar(QStringLiteral("SELECT count(*) FROM Contacts"));
    if (QFile::exists(db.Path() + QStringLiteral("-wal"))) {
        EXPECT_TRUE(SqliteBackup::Unsound(db.Path(), id).contains(QStringLiteral("in use")));
    }

    EXPECT_EQ(QDir(dir).entryList(QDir::Files, QDir::Name), before);
    for (const QString &name : before)
        EXPECT_EQ(Digest(dir + name), digests.value(name)) << name.toStdString();
    // A damaged database is what the quick check of a live file finds too.
    EXPECT_FALSE(SqliteBackup::QuickCheck(damaged, 1000).isEmpty());
    EXPECT_EQ(SqliteBackup::QuickCheck(db.Path(), 1000), QString());
}

} // namespace
