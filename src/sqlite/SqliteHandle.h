#pragma once

#include <QHash>
#include <QString>
#include <memory>

struct sqlite3;
class SqliteStatement;

// One open engine connection to the database file, set up as every part of
// the engine needs it: a bounded wait for locks held by other programs,
// durable commits, the date function Format(value, format) that the
// program's statements use, and a LIKE that ignores the case of every letter
// (SqliteLike).
//
// Format(value, "Short Date") renders a date-time value (real days since
// 30 December 1899) in the short date format; any other format renders the
// date and, unless it is midnight, the time. Null gives null; a text is
// returned as it is.
class SqliteHandle {
public:
    // Opens an existing database file for reading and writing; never creates
    // one. The caller has checked that the file is one of the program's.
    static std::unique_ptr<SqliteHandle> Open(const QString &path, int busyTimeoutMs);
    ~SqliteHandle();
    SqliteHandle(const SqliteHandle &) = delete;
    SqliteHandle &operator=(const SqliteHandle &) = delete;

    sqlite3 *Db() const { return db_; }
    const QString &Path() const { return path_; }
    void SetBusyTimeout(int milliseconds);

    // Runs statements without result rows; EProviderError on failure.
    void Exec(const QString &sql);
    // The first column of the first row of a query (invalid when none).
    QVariant Scalar(const QString &sql);
    // A prepared statement for `sql`, kept for reuse on this handle. The
    // caller resets it after use (SqliteStatement::Scope).
    std::shared_ptr<SqliteStatement> Cached(const QString &sql);
    // True when no transaction is open on the handle.
    bool InAutocommit() const;

    // SQL function of every handle: a text as the program reads it (bytes
    // that are not valid UTF-8 become replacement characters), any other
    // value unchanged.
    static constexpr const char *kReadTextFunction = "corvana_read_text";

private:
    SqliteHandle(sqlite3 *db, QString path);

    sqlite3 *db_;
    QString path_;
    QHash<QString, std::shared_ptr<SqliteStatement>> cache_;
};
