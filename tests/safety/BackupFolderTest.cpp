// Which backups are kept, checked against a model of the rule written out
// here: random histories of backups over months, with copies of other kinds
// and foreign files among them.

#include "safety/BackupFolder.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using Entry = BackupFolder::Entry;
using Kind = BackupFolder::Kind;

// The rule: the newest automatic copy of each of the 7 latest days that
// have one; then the newest of each of the 4 latest weeks among the weeks
// that have none of those.
QSet<QString> ModelKept(const QList<Entry> &newestFirst) {
    QList<QDate> days;
    QSet<QString> kept;
    QSet<QDate> weeksWithDaily;
    for (const Entry &e : newestFirst) {
        if (e.kind != Kind::Automatic)
            continue;
        const QDate day = e.made.date();
        if (!days.contains(day) && days.size() < 7) {
            days << day;
            kept << e.path;
            weeksWithDaily << day.addDays(1 - day.dayOfWeek());
        }
    }
    QList<QDate> weeks;
    for (const Entry &e : newestFirst) {
        if (e.kind != Kind::Automatic || kept.contains(e.path))
            continue;
        const QDate monday = e.made.date().addDays(1 - e.made.date().dayOfWeek());
        if (weeksWithDaily.contains(monday) || weeks.contains(monday) || weeks.size() >= 4)
            continue;
        weeks << monday;
        kept << e.path;
    }
    return kept;
}

TEST(BackupFolderRetention, RandomHistoriesKeepWhatTheRuleKeepsAndNeverOtherKinds) {
    QRandomGenerator random(19);
    for (int round = 0; round < 200; ++round) {
        QList<Entry> entries;
        QDateTime when(QDate(2026, 1, 1), QTime(9, 0));
        const int count = random.bounded(1, 60);
        for (int i = 0; i < count; ++i) {
            // Gaps from minutes to weeks, so that days and weeks repeat and skip.
            when = when.addSecs(random.bounded(1, 14 * 24 * 60) * 60);
            Entry e;
            e.path = QStringLiteral("b%1").arg(i);
            e.made = when;
            const int kind = random.bounded(10);
            e.kind = kind == 0 ? Kind::BeforeRestore : kind == 1 ? Kind::Damaged : Kind::Automatic;
            entries.prepend(e);
        }
        QSet<QString> kept;
        for (const Entry &e : entries)
            kept << e.path;
        for (const Entry &e : BackupFolder::Surplus(entries)) {
            EXPECT_EQ(e.kind, Kind::Automatic) << "round " << round;
            kept.remove(e.path);
        }
        QSet<QString> expected = ModelKept(entries);
        for (const Entry &e : entries)
            if (e.kind != Kind::Automatic)
                expected << e.path;
        ASSERT_EQ(kept, expected) << "round " << round;
        int automatic = 0;
        for (const Entry &e : entries)
            automatic += e.kind == Kind::Automatic && kept.contains(e.path);
        EXPECT_LE(automatic, 11);
    }
}

TEST(BackupFolderFiles, NamesListDueAndPruneOnARealFolder) {
    QTemporaryDir dir;
    const QString db = dir.path() + QStringLiteral("/_db.mdb");
    BackupFolder folder(db, dir.path() + QStringLiteral("/backups"));
    ASSERT_TRUE(QDir().mkpath(folder.Folder()));
    auto touch = [](const QString &path) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("x");
    };
    const QDateTime start(QDate(2026, 11, 2), QTime(17, 30, 5));
    // Forty days of one backup a day, a copy kept before a restore, a
    // damaged database put aside, a file of the user's own and a partial
    // copy that was stopped.
    for (int day = 0; day < 40; ++day)
        touch(folder.NewPath(start.addDays(day)));
    const QString beforeRestore = folder.NewPath(start, Kind::BeforeRestore);
    touch(beforeRestore);
    touch(folder.NewPath(start, Kind::Damaged));
    touch(folder.Folder() + QStringLiteral("/my notes.mdb"));
    const QString partial = folder.NewPath(start.addDays(50)) + QStringLiteral(".part");
    touch(partial);

    const QList<Entry> listed = folder.List();
    ASSERT_EQ(listed.size(), 42);
    EXPECT_EQ(listed.front().made, start.addDays(39));
    EXPECT_TRUE(listed.front().path.endsWith(QStringLiteral("/_db-2026-12-11-173005.mdb")))
        << listed.front().path.toStdString();
    // A second backup within the same second gets a name of its own.
    EXPECT_TRUE(folder.NewPath(start).endsWith(QStringLiteral("-173006.mdb")));

    EXPECT_FALSE(folder.Due(start.addDays(39).addSecs(3600)));
    EXPECT_TRUE(folder.Due(start.addDays(40)));

    EXPECT_TRUE(folder.Prune(QDateTime::currentDateTime()).isEmpty());
    const QList<Entry> after = folder.List();
    // 7 days and 4 earlier weeks, the copy before a restore and the damaged file.
    EXPECT_EQ(after.size(), 7 + 4 + 2);
    EXPECT_TRUE(QFile::exists(beforeRestore));
    EXPECT_TRUE(QFile::exists(folder.Folder() + QStringLiteral("/my notes.mdb")));
    // The partial file is younger than an hour by its file time.
    EXPECT_TRUE(QFile::exists(partial));
    folder.Prune(QDateTime::currentDateTime().addSecs(2 * 3600));
    EXPECT_FALSE(QFile::exists(partial));
}

TEST(BackupFolderFiles, ChoosesBesideTheDatabaseElseTheUsersFolder) {
    QTemporaryDir dir;
    const QString db = dir.path() + QStringLiteral("/ok/_db.mdb");
    ASSERT_TRUE(QDir().mkpath(dir.path() + QStringLiteral("/ok")));
    EXPECT_EQ(BackupFolder::Choose(db, dir.path() + QStringLiteral("/user")),
              dir.path() + QStringLiteral("/ok/backups"));
    // A file where the folder would be: it can be neither made nor written,
    // also by root.
    const QString blocked = dir.path() + QStringLiteral("/blocked/_db.mdb");
    ASSERT_TRUE(QDir().mkpath(dir.path() + QStringLiteral("/blocked")));
    QFile file(dir.path() + QStringLiteral("/blocked/backups"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    EXPECT_EQ(BackupFolder::Choose(blocked, dir.path() + QStringLiteral("/user")),
              dir.path() + QStringLiteral("/user/backups"));
    EXPECT_EQ(BackupFolder::Choose(blocked, QString()), QString());
}

} // namespace
