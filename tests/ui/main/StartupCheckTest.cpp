// The start after an unclean end, with the real program killed as a power
// cut or a crash would end it: a sound database is only checked, a damaged
// one is offered the newest sound backup, declined or taken.

#include "ui/main/StartupCheck.h"
#include "safety/BackupFolder.h"
#include "sqlite/SqliteBackup.h"
#include "sqlite/SqliteEngine.h"
#include "support/DatabaseFiles.h"
#include "support/TempDatabase.h"
#include "support/TempHome.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>
#include <gtest/gtest.h>

#include <csignal>

#ifdef CORVANA_PROGRAM

namespace {

using DatabaseFiles::Copy;
using DatabaseFiles::Digest;

class KilledProgram : public ::testing::Test {
protected:
    KilledProgram() : db(400) {
        folder = db.Folder() + QStringLiteral("program/");
        QDir().mkpath(folder);
        // The program finds the database beside itself.
        EXPECT_TRUE(QFile::copy(QStringLiteral(CORVANA_PROGRAM), folder + "corvana"));
        QFile::setPermissions(folder + "corvana", QFile::ReadOwner | QFile::ExeOwner);
        Copy(db.Path(), Database());
    }
    QString Database() const { return folder + QStringLiteral("_db.mdb"); }
    // Starts the program, waits until it has the database open and kills it.
    void RunAndKill() {
        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        environment.insert("HOME", home.Path());
        program.setProcessEnvironment(environment);
        program.start(folder + "corvana", {});
        ASSERT_TRUE(program.waitForStarted());
        QElapsedTimer waited;
        waited.start();
        while (!(QFile::exists(StartupCheck::LockPath(Database())) &&
                 QFile::exists(Database() + "-wal")) &&
               waited.elapsed() < 20000 && program.state() == QProcess::Running)
            QThread::msleep(20);
        ASSERT_EQ(program.state(), QProcess::Running) << program.readAllStandardError().data();
        QThread::msleep(300);
        ::kill(pid_t(program.processId()), SIGKILL);
        program.waitForFinished();
        ASSERT_TRUE(QFile::exists(StartupCheck::LockPath(Database())));
    }
    void Damage() { DatabaseFiles::DamageMiddlePage(Database(), '\x44'); }
    int Contacts(const QString &path) {
        return TempDatabase::RowsOf(path, "SELECT count(*) FROM Contacts").value(0).toInt();
    }

    TempHome home;
    TempDatabase db;
    QString folder;
};

TEST_F(KilledProgram, TheNextStartChecksAndOffersTheNewestSoundBackup) {
    const BackupFolder backups(Database(), folder + "backups");
    ASSERT_TRUE(QDir().mkpath(backups.Folder()));
    const QDateTime made(QDate(2026, 12, 1), QTime(18, 0));
    Copy(Database(), backups.NewPath(made.addDays(-1)));
    TempDatabase::RowsOf(Database(), "DELETE FROM Contacts WHERE ContactID > 390");
    const QString newest = backups.NewPath(made);
    Copy(Database(), newest);
    // A damaged copy newer than both is passed over.
    const QString broken = backups.NewPath(made.addDays(1));
    Copy(Database(), broken);
    DatabaseFiles::DamageMiddlePage(broken, '\x11');

    // Killed with a sound database: checked, nothing offered.
    RunAndKill();
    {
        StartupCheck check(folder);
        EXPECT_TRUE(check.LastRunEndedUncleanly());
        check.tell = [](const QString &text) { ADD_FAILURE() << text.toStdString(); };
        check.ask = [](const QString &text) {
            ADD_FAILURE() << text.toStdString();
            return false;
        };
        EXPECT_EQ(check.Run(), StartupCheck::Outcome::Sound);
    }
    // That start ended cleanly: the next one checks nothing.
    {
        StartupCheck check(folder);
        EXPECT_FALSE(check.LastRunEndedUncleanly());
        EXPECT_EQ(check.Run(), StartupCheck::Outcome::Skipped);
        // A second start while this one runs leaves the lock to it.
        StartupCheck second(folder);
        EXPECT_FALSE(second.LastRunEndedUncleanly());
    }

    // Killed, and the file damaged: the user declines, and nothing changes.
    RunAndKill();
    Damage();
    const QByteArray damagedDigest = Digest(Database());
    {
        StartupCheck check(folder);
        QString question;
        check.ask = [&](const QString &text) {
            question = text;
            return false;
        };
        EXPECT_EQ(check.Run(), StartupCheck::Outcome::Declined);
        EXPECT_FALSE(check.Problems().isEmpty());
        EXPECT_TRUE(question.contains(QDir::toNativeSeparators(newest))) << question.toStdString();
        EXPECT_TRUE(question.contains("damaged")) << question.toStdString();
    }
    EXPECT_EQ(Digest(Database()), damagedDigest);

    // Killed again with the damage still there: this time the backup is taken.
    RunAndKill();
    {
        StartupCheck check(folder);
        check.ask = [](const QString &) { return true; };
        EXPECT_EQ(check.Run(), StartupCheck::Outcome::Restored);
    }
    EXPECT_EQ(SqliteBackup::QuickCheck(Database(), 1000), QString());
    EXPECT_EQ(Contacts(Database()), 390);
    // The damaged database is kept among the backups, its log with it.
    int damagedKept = 0;
    for (const BackupFolder::Entry &entry : backups.List())
        damagedKept += entry.kind == BackupFolder::Kind::Damaged;
    EXPECT_EQ(damagedKept, 1);
    EXPECT_FALSE(QFile::exists(Database() + "-shm"));
}

} // namespace

#endif
