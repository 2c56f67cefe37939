#pragma once

#include "data/DBCopy.h"

#include <QString>
#include <QStringList>
#include <atomic>

struct sqlite3;
struct sqlite3_backup;

// The SQLite engine's file safety: a copy of a live database made with the
// engine's online backup, checks of a database file, the return of a copy
// into a live database, and the exchange of a damaged file for a copy.
//
// A copy is made through its own two handles: one on the live file that
// holds a read transaction from the first part to the last (so writers in
// other handles or programs never make it start over), and one on the
// partial file "<target>.part", written without journal or syncs, since
// only the finished, checked and synced file ever gets the target's name.
// The finished copy is marked as a file without write-ahead log, so opening
// it for a check leaves no log files beside it.
class SqliteBackup : public TDBCopy {
public:
    // Pages per Step: about 4 MB with the usual page size.
    static constexpr int kPagesPerStep = 1024;

    // Begins a copy of the database file `source` (any program may have it
    // open) into `target`. `checkCopy` runs the engine's quick check on the
    // finished copy before it is put in place.
    SqliteBackup(const QString &source, const QString &target, int busyTimeoutMs,
                 bool checkCopy = true);
    ~SqliteBackup() override;
    SqliteBackup(const SqliteBackup &) = delete;
    SqliteBackup &operator=(const SqliteBackup &) = delete;

    bool Step() override;
    int Permille() const override;
    void Finish() override;

    // The name of the partial file of a copy into `target`.
    static QString PartialName(const QString &target);

    // Why the file at `path` is not a sound database of the program, or
    // empty when it is: it must be a database file, pass the engine's full
    // integrity check (`quick`: its quick check), carry `applicationId` and
    // hold the tables Contacts, Countries and Status. Nothing is written to
    // the file or beside it. Setting `cancelled` stops the check.
    static QString Unsound(const QString &path, int applicationId, bool quick = false,
                           const std::atomic<bool> *cancelled = nullptr);
    // The first problems the engine's quick check finds in the live database
    // `path`, or empty when it finds none.
    static QString QuickCheck(const QString &path, int busyTimeoutMs);
    // Replaces the content of the live database `target` with the copy at
    // `source`, in one transaction of a handle of its own: other programs
    // see the old content or the new, and a failure leaves the old.
    static void Restore(const QString &source, const QString &target, int busyTimeoutMs);
    // Moves a damaged database `target` (with its log files) aside to
    // `aside` and puts a copy of `source` in its place. No handle may be
    // open on `target`.
    static void ReplaceDamaged(const QString &source, const QString &target, const QString &aside);

private:
    void Abandon();
    [[noreturn]] void Fail(int rc, sqlite3 *db);

    QString target_;
    QString partial_;
    bool checkCopy_;
    sqlite3 *source_ = nullptr;
    sqlite3 *copy_ = nullptr;
    sqlite3_backup *backup_ = nullptr;
    int total_ = 0;
    int remaining_ = 0;
    bool done_ = false;
};
