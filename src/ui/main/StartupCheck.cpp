#include "ui/main/StartupCheck.h"

#include "data/DBConnection.h"
#include "data/DatabaseErrors.h"
#include "safety/BackupFolder.h"
#include "ui/controls/TErrorBox.h"
#include "ui/main/DatabaseChoice.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QMessageBox>
#include <QStandardPaths>

StartupCheck::StartupCheck(const QString &databaseFolder)
    : connectionString_(DatabaseChoice::Stored(databaseFolder).ConnectionString()) {
    // A database on a server is the server's to look after: no lock file
    // beside a path that is none, and nothing to check.
    if (!DatabaseChoice::NamesFile(connectionString_))
        return;
    TDBConnection connection;
    connection.SetConnectionString(connectionString_);
    databasePath_ = connection.DataSource().trimmed();
    const QString lockPath = LockPath(databasePath_);
    const bool found = QFileInfo::exists(lockPath);
    lock_ = std::make_unique<QLockFile>(lockPath);
    // Stale only when its process is gone, never by its age: a run may
    // last for weeks.
    lock_->setStaleLockTime(0);
    if (lock_->tryLock(0))
        unclean_ = found;
    else
        lock_.reset();
}

StartupCheck::~StartupCheck() = default;

QString StartupCheck::LockPath(const QString &databasePath) {
    return databasePath + QStringLiteral(".lock");
}

StartupCheck::Outcome StartupCheck::Run() {
    problems_.clear();
    if (!unclean_)
        return Outcome::Skipped;
    TDBConnection probe;
    probe.SetConnectionString(connectionString_);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    try {
        probe.Open();
        problems_ = probe.QuickCheck();
        QApplication::restoreOverrideCursor();
    } catch (const EError &) {
        // A database that cannot be opened is reported by the window's
        // start as always.
        QApplication::restoreOverrideCursor();
        return Outcome::Skipped;
    }
    if (problems_.isEmpty())
        return Outcome::Sound;

    const QString folder = BackupFolder::Choose(
        databasePath_, QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
    const BackupFolder backups(databasePath_, folder);
    BackupFolder::Entry newest;
    if (!folder.isEmpty()) {
        for (const BackupFolder::Entry &entry : backups.List()) {
            if (entry.kind != BackupFolder::Kind::Damaged &&
                probe.CheckCopy(entry.path, true).isEmpty()) {
                newest = entry;
                break;
            }
        }
    }
    probe.Close();
    const QString damaged =
        QStringLiteral("The database '%1' was not closed properly the last time, and a check "
                       "finds it damaged:\n%2")
            .arg(QDir::toNativeSeparators(databasePath_), problems_);
    auto show = [this](const QString &text) {
        if (tell)
            tell(text);
        else
            QMessageBox::warning(nullptr, TErrorBox::ApplicationTitle(), text);
    };
    if (newest.path.isEmpty()) {
        show(damaged + QStringLiteral("\n\nNo sound backup was found. Keep a copy of the file "
                                      "before you go on working with it."));
        return Outcome::NoBackup;
    }
    const QString aside = backups.NewPath(clock ? clock() : QDateTime::currentDateTime(),
                                          BackupFolder::Kind::Damaged);
    const QString question =
        damaged + QStringLiteral("\n\nPut the newest sound backup, '%1' of %2, in its place? The "
                                 "damaged database is kept as '%3'.")
                      .arg(QDir::toNativeSeparators(newest.path),
                           QLocale().toString(newest.made, QLocale::ShortFormat),
                           QDir::toNativeSeparators(aside));
    const bool yes = ask ? ask(question)
                         : QMessageBox::question(nullptr, TErrorBox::ApplicationTitle(),
                                                 question) == QMessageBox::Yes;
    if (!yes)
        return Outcome::Declined;
    probe.ReplaceDamaged(newest.path, aside);
    return Outcome::Restored;
}
