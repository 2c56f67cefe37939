#include "sqlite/SqliteBackup.h"

#include "data/DatabaseErrors.h"
#include "sqlite/SqliteError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>
#include <cstdio>
#include <memory>

#include <sqlite3.h>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

using Handle = std::unique_ptr<sqlite3, int (*)(sqlite3 *)>;

const QByteArray kFileHeader("SQLite format 3\0", 16);

QString Native(const QString &path) {
    return QDir::toNativeSeparators(path);
}

// The text for a failed write or read of a copy; a full disk says so in
// words a user knows.
QString CopyMessage(sqlite3 *db, int rc, const QString &file) {
    if ((rc & 0xff) == SQLITE_FULL)
        return QStringLiteral("The disk is full: '%1' could not be written.").arg(Native(file));
    return SqliteError::Message(db, rc);
}

Handle OpenFile(const QString &uriOrPath, int flags, int busyTimeoutMs) {
    sqlite3 *db = nullptr;
    const int rc = sqlite3_open_v2(uriOrPath.toUtf8().constData(), &db,
                                   flags | SQLITE_OPEN_EXRESCODE, nullptr);
    Handle handle(db, sqlite3_close);
    if (rc != SQLITE_OK)
        throw EProviderError(SqliteError::Message(db, rc));
    sqlite3_busy_timeout(db, busyTimeoutMs);
    return handle;
}

void Exec(sqlite3 *db, const char *sql) {
    const int rc = sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        SqliteError::Throw(db, rc);
}

// The rows of a check pragma, the first few joined; empty when the engine
// answers "ok".
QString CheckRows(sqlite3 *db, const char *pragma, int *rcOut = nullptr) {
    sqlite3_stmt *raw = nullptr;
    int rc = sqlite3_prepare_v2(db, pragma, -1, &raw, nullptr);
    std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt *)> statement(raw, sqlite3_finalize);
    QStringList problems;
    bool found = false;
    while (rc == SQLITE_OK || rc == SQLITE_ROW) {
        rc = sqlite3_step(raw);
        if (rc != SQLITE_ROW)
            break;
        const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(raw, 0));
        const QString row = QString::fromUtf8(text ? text : "");
        // The engine heads its list with the name of the schema checked;
        // there is only one, and the heading says nothing to a user.
        if (row == QLatin1String("ok"))
            continue;
        found = true;
        if (!row.startsWith(QLatin1String("*** in database")) && problems.size() < 3)
            problems << row;
    }
    if (found && problems.isEmpty())
        problems << QStringLiteral("the engine's check found problems");
    if (rcOut)
        *rcOut = rc;
    if (rc != SQLITE_DONE && problems.isEmpty())
        return SqliteError::Message(db, rc);
    return problems.join(QStringLiteral("; "));
}

// Flushes a file (or folder) to the disk; false when the system refuses.
bool SyncPath(const QString &path, bool folder) {
#ifdef Q_OS_UNIX
    const int fd = ::open(QFile::encodeName(path).constData(), folder ? O_RDONLY : O_RDWR);
    if (fd < 0)
        return folder; // a folder that cannot be opened for syncing is no failure of the copy
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok || folder;
#else
    Q_UNUSED(path);
    Q_UNUSED(folder);
    return true;
#endif
}

// Marks a finished copy as a file without write-ahead log (the header's
// read and write versions), so that readers open it as a plain file.
bool MarkWithoutLog(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite) || !file.seek(18))
        return false;
    return file.write("\x01\x01", 2) == 2;
}

// Puts `from` in place under the name `to` in one step, replacing `to`.
bool RenameOver(const QString &from, const QString &to) {
    return std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}

} // namespace

SqliteBackup::SqliteBackup(const QString &source, const QString &target, int busyTimeoutMs,
                           bool checkCopy)
    : target_(target), partial_(PartialName(target)), checkCopy_(checkCopy) {
    try {
        Handle src = OpenFile(source, SQLITE_OPEN_READWRITE, busyTimeoutMs);
        // One read transaction from the first page to the last: the copy is
        // of this snapshot whatever other sessions write meanwhile.
        Exec(src.get(), "BEGIN; SELECT count(*) FROM sqlite_master;");
        QFile::remove(partial_);
        Handle copy = OpenFile(partial_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, busyTimeoutMs);
        Exec(copy.get(), "PRAGMA journal_mode = OFF; PRAGMA synchronous = OFF;");
        backup_ = sqlite3_backup_init(copy.get(), "main", src.get(), "main");
        if (!backup_)
            throw EProviderError(SqliteError::Message(copy.get(), sqlite3_errcode(copy.get())));
        source_ = src.release();
        copy_ = copy.release();
    } catch (...) {
        QFile::remove(partial_);
        throw;
    }
}

SqliteBackup::~SqliteBackup() {
    Abandon();
}

void SqliteBackup::Abandon() {
    if (backup_)
        sqlite3_backup_finish(backup_);
    backup_ = nullptr;
    if (source_)
        sqlite3_close(source_);
    source_ = nullptr;
    if (copy_) {
        sqlite3_close(copy_);
        QFile::remove(partial_);
    }
    copy_ = nullptr;
}

void SqliteBackup::Fail(int rc, sqlite3 *db) {
    const QString message = CopyMessage(db, rc, target_);
    Abandon();
    QFile::remove(partial_);
    throw EProviderError(message);
}

bool SqliteBackup::Step() {
    if (done_)
        return true;
    if (!backup_)
        throw EProviderError(QStringLiteral("The copy was abandoned."));
    const int rc = sqlite3_backup_step(backup_, kPagesPerStep);
    total_ = sqlite3_backup_pagecount(backup_);
    remaining_ = sqlite3_backup_remaining(backup_);
    if (rc == SQLITE_DONE) {
        done_ = true;
        return true;
    }
    if (rc == SQLITE_OK || rc == SQLITE_BUSY || rc == SQLITE_LOCKED)
        return false;
    Fail(rc, copy_);
}

int SqliteBackup::Permille() const {
    if (done_)
        return 1000;
    if (total_ <= 0)
        return 0;
    return int(1000LL * (total_ - remaining_) / total_);
}

void SqliteBackup::Finish() {
    if (!done_)
        throw EProviderError(QStringLiteral("The copy is not complete."));
    const int rc = sqlite3_backup_finish(backup_);
    backup_ = nullptr;
    if (rc != SQLITE_OK)
        Fail(rc, copy_);
    sqlite3_close(source_);
    source_ = nullptr;
    if (checkCopy_) {
        const QString problems = CheckRows(copy_, "PRAGMA quick_check");
        if (!problems.isEmpty()) {
            Abandon();
            throw EProviderError(QStringLiteral("The copy failed its check: %1").arg(problems));
        }
    }
    sqlite3_close(copy_);
    copy_ = nullptr;
    if (!MarkWithoutLog(partial_) || !SyncPath(partial_, false)) {
        QFile::remove(partial_);
        throw EProviderError(
            QStringLiteral("'%1' could not be written to the disk.").arg(Native(target_)));
    }
    if (!RenameOver(partial_, target_)) {
        QFile::remove(partial_);
        throw EProviderError(
            QStringLiteral("The copy could not be put in place as '%1'.").arg(Native(target_)));
    }
    SyncPath(QFileInfo(target_).absolutePath(), true);
}

QString SqliteBackup::PartialName(const QString &target) {
    return target + QStringLiteral(".part");
}

QString SqliteBackup::Unsound(const QString &path, int applicationId, bool quick,
                              const std::atomic<bool> *cancelled) {
    const QFileInfo info(path);
    if (!info.isFile())
        return QStringLiteral("'%1' is not a file.").arg(Native(path));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("'%1' cannot be read: %2.").arg(Native(path), file.errorString());
    if (file.read(kFileHeader.size()) != kFileHeader)
        return QStringLiteral("'%1' is not a database file.").arg(Native(path));
    file.close();
    // A log beside the file holds changes the file lacks: the file is in use
    // or was not closed, and reading it alone would miss them.
    if (QFileInfo::exists(path + QStringLiteral("-wal")))
        return QStringLiteral("'%1' is in use by a program or was not closed; close that program "
                              "first.")
            .arg(Native(path));
    try {
        // Immutable: no locks, no log files, nothing written beside the file.
        QUrl uri = QUrl::fromLocalFile(info.absoluteFilePath());
        uri.setQuery(QStringLiteral("mode=ro&immutable=1"));
        Handle db =
            OpenFile(QString::fromUtf8(uri.toEncoded()), SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, 0);
        if (cancelled)
            sqlite3_progress_handler(
                db.get(), 10000,
                [](void *flag) -> int {
                    return static_cast<const std::atomic<bool> *>(flag)->load() ? 1 : 0;
                },
                const_cast<std::atomic<bool> *>(cancelled));
        int rc = SQLITE_OK;
        const QString problems =
            CheckRows(db.get(), quick ? "PRAGMA quick_check" : "PRAGMA integrity_check", &rc);
        if (cancelled && cancelled->load())
            return QStringLiteral("The check was cancelled.");
        sqlite3_progress_handler(db.get(), 0, nullptr, nullptr);
        if (!problems.isEmpty())
            return QStringLiteral("'%1' is damaged: %2").arg(Native(path), problems);
        sqlite3_stmt *raw = nullptr;
        sqlite3_prepare_v2(db.get(), "PRAGMA application_id", -1, &raw, nullptr);
        std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt *)> id(raw, sqlite3_finalize);
        if (!raw || sqlite3_step(raw) != SQLITE_ROW || sqlite3_column_int(raw, 0) != applicationId)
            return QStringLiteral("'%1' is not a Corvana database.").arg(Native(path));
        for (const char *table : {"Contacts", "Countries", "Status"}) {
            const QString sql =
                QStringLiteral("SELECT * FROM \"%1\" LIMIT 0").arg(QLatin1String(table));
            sqlite3_stmt *probe = nullptr;
            const int prc =
                sqlite3_prepare_v2(db.get(), sql.toUtf8().constData(), -1, &probe, nullptr);
            sqlite3_finalize(probe);
            if (prc != SQLITE_OK)
                return QStringLiteral("'%1' has no table %2.")
                    .arg(Native(path), QLatin1String(table));
        }
    } catch (const EProviderError &error) {
        return QStringLiteral("'%1' cannot be read: %2").arg(Native(path), error.Message());
    }
    return QString();
}

QString SqliteBackup::QuickCheck(const QString &path, int busyTimeoutMs) {
    try {
        Handle db = OpenFile(path, SQLITE_OPEN_READWRITE, busyTimeoutMs);
        return CheckRows(db.get(), "PRAGMA quick_check");
    } catch (const EProviderError &error) {
        return error.Message();
    }
}

void SqliteBackup::Restore(const QString &source, const QString &target, int busyTimeoutMs) {
    QUrl uri = QUrl::fromLocalFile(QFileInfo(source).absoluteFilePath());
    uri.setQuery(QStringLiteral("mode=ro&immutable=1"));
    Handle src = OpenFile(QString::fromUtf8(uri.toEncoded()),
                          SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, busyTimeoutMs);
    Handle dst = OpenFile(target, SQLITE_OPEN_READWRITE, busyTimeoutMs);
    sqlite3_backup *backup = sqlite3_backup_init(dst.get(), "main", src.get(), "main");
    if (!backup)
        SqliteError::Throw(dst.get(), sqlite3_errcode(dst.get()));
    // All pages in one step: one write transaction on the live database.
    int rc = sqlite3_backup_step(backup, -1);
    const int finish = sqlite3_backup_finish(backup);
    if (rc == SQLITE_DONE)
        rc = finish;
    if (rc != SQLITE_OK && rc != SQLITE_DONE)
        throw EProviderError(CopyMessage(dst.get(), rc, target));
}

void SqliteBackup::ReplaceDamaged(const QString &source, const QString &target,
                                  const QString &aside) {
    const QString partial = PartialName(target);
    QFile::remove(partial);
    if (!QFile::copy(source, partial) || !SyncPath(partial, false)) {
        QFile::remove(partial);
        throw EProviderError(QStringLiteral("'%1' could not be copied to '%2'.")
                                 .arg(Native(source), Native(partial)));
    }
    if (!MarkWithoutLog(partial)) {
        QFile::remove(partial);
        throw EProviderError(QStringLiteral("'%1' could not be written.").arg(Native(partial)));
    }
    // The damaged file and its log go aside together, then the copy takes
    // the name: at every moment one of them is there under its name.
    if (!RenameOver(target, aside)) {
        QFile::remove(partial);
        throw EProviderError(
            QStringLiteral("'%1' could not be moved to '%2'.").arg(Native(target), Native(aside)));
    }
    const QString log = target + QStringLiteral("-wal");
    if (QFileInfo::exists(log))
        RenameOver(log, aside + QStringLiteral("-wal"));
    QFile::remove(target + QStringLiteral("-shm"));
    if (!RenameOver(partial, target)) {
        RenameOver(aside, target);
        RenameOver(aside + QStringLiteral("-wal"), log);
        QFile::remove(partial);
        throw EProviderError(
            QStringLiteral("The copy could not be put in place as '%1'.").arg(Native(target)));
    }
    SyncPath(QFileInfo(target).absolutePath(), true);
}
