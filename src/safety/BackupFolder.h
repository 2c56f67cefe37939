#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

// The folder of a database's backups and the names of the files in it.
//
// Backups are named after the database and the local time they were made:
// "_db-2026-12-09-101500.mdb" for an automatic backup, with "-before-restore"
// for the copy of the database kept before a restore replaced it and
// "-damaged" for a damaged database moved aside. Files that do not have such
// a name, and the partial files of copies under way (".part"), are not
// backups: they are never listed and never removed, except partial files
// left behind by a copy that was stopped, which Prune removes once they are
// an hour old.
class BackupFolder {
public:
    enum class Kind { Automatic, BeforeRestore, Damaged };
    struct Entry {
        QString path;
        QDateTime made;
        Kind kind = Kind::Automatic;
    };

    // The backups of the database file `databasePath` live in the folder
    // `folder` (which need not exist yet).
    BackupFolder(const QString &databasePath, const QString &folder);

    // "backups" beside the database when that folder can be made and
    // written, else "backups" in the user's data folder of the program
    // (`userDataFolder`); empty when neither can be written.
    static QString Choose(const QString &databasePath, const QString &userDataFolder);

    const QString &Folder() const { return folder_; }
    // The name of a new backup of the given kind made at `when`.
    QString NewPath(const QDateTime &when, Kind kind = Kind::Automatic) const;
    // The backups in the folder, newest first.
    QList<Entry> List() const;
    // True when no automatic backup was made on the day of `now`.
    bool Due(const QDateTime &now) const;
    // Which automatic backups are kept: the newest of each of the last
    // `days` days that have one, and the newest of each of the last `weeks`
    // calendar weeks (Monday to Sunday) that have one besides those. The
    // entries are newest first; the result is the entries to remove.
    static QList<Entry> Surplus(const QList<Entry> &entries, int days = 7, int weeks = 4);
    // Removes the surplus automatic backups and stale partial files; the
    // paths it could not remove are returned.
    QStringList Prune(const QDateTime &now) const;

private:
    QString base_;
    QString folder_;
};
