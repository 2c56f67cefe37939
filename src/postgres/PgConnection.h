#pragma once

#include "postgres/PgResult.h"

#include <QString>
#include <QVector>
#include <memory>

struct pg_conn;

// One session with the database server through libpq.
//
// Open connects with the conninfo text ("host=... port=... dbname=...
// user=..." or a URI); the password comes from libpq's usual places (the
// password file, PGPASSWORD) unless one is given. Failures: EPasswordNeeded
// when the server asks for a password none of those gives or the one given
// is refused; otherwise EProviderError naming the server and saying why.
//
// Exec runs one statement with positional parameters $1, $2 ... bound from
// TValues (integers as int8, reals as float8, texts with their type left to
// the server, QByteArray as bytea, an invalid value as null), each planned
// for its values. Failures are EProviderError with a plain text.
//
// A lost session (the server restarted, the network dropped, the backend was
// ended) fails the command that met it with a message saying the connection
// was lost and that it can be tried again; the next Exec connects again
// first (a transaction open at the loss is gone with it). While it cannot
// reconnect, every Exec says the server cannot be reached.
class PgConnection {
public:
    static std::shared_ptr<PgConnection> Open(const QString &conninfo,
                                              const QString &password = QString());
    ~PgConnection();
    PgConnection(const PgConnection &) = delete;
    PgConnection &operator=(const PgConnection &) = delete;

    PgResult Exec(const QString &sql, const QVector<TValue> &params = {});
    // Runs statements without parameters or result rows (several allowed).
    void ExecScript(const QString &sql);
    // The rows the session's last INSERT, UPDATE, DELETE or MERGE run by
    // Exec changed (0 before the first): the file engine's changes().
    qint64 Changes() const { return changes_; }
    // Takes the database's write lock for the open transaction, held to its
    // end: one write transaction of all the program's sessions at a time, as
    // the file engine has it. Waits up to 5 s for another program's, then
    // fails with "The database is locked by another program; try again
    // later." Taking it again in the same transaction costs nothing more.
    void TakeWriteLock();
    // True while a transaction is open on the session.
    bool InTransaction() const;
    // "host:port" (or the socket folder), for messages.
    QString ServerName() const;
    const QString &Conninfo() const { return conninfo_; }
    // Another session to the same database with the same credentials.
    std::shared_ptr<PgConnection> Another() const;
    pg_conn *Raw() const { return conn_; }

private:
    PgConnection(pg_conn *conn, QString conninfo, QString password);
    static pg_conn *Connect(const QString &conninfo, const QString &password);
    void EnsureConnected();
    // Turns a failed result (or none) into EProviderError; marks the session
    // lost when it is.
    [[noreturn]] void Fail(pg_result *result, const QString &sql);

    pg_conn *conn_ = nullptr;
    QString conninfo_;
    QString password_;
    bool lost_ = false;
    qint64 changes_ = 0;
};
