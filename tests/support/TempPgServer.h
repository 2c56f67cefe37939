#pragma once

#include <QString>
#include <QTemporaryDir>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <sys/types.h>

// A private database server for the tests: a new cluster in a temporary
// folder, listening on a free port of 127.0.0.1 and on a socket inside that
// folder, stopped and removed by the destructor.
//
// The superuser "corvana" logs in without a password. The role "corvana_pw"
// (password "corvana-secret", allowed to create databases, reading and
// writing every table) must give its password, for tests of password
// handling. Unless asked for a durable server, the server does not sync its
// writes to disk (fast, but lost in a crash of the machine).
//
// A watchdog process stops the server and removes the folder when the test
// program ends without the destructor (a crash, a kill, a time-out).
//
// When run as root, the folder belongs to an unprivileged user (postgres,
// else nobody) and the server programs run as that user, since the server
// refuses to run as root.
//
// A server that could not start (programs missing, initdb or start failed)
// is not Running(); ErrorString() says why, and Conninfo and CreateDatabase
// throw TempPgServer::Error with that text, which fails the calling test.
class TempPgServer {
public:
    class Error : public std::runtime_error {
    public:
        using std::runtime_error::runtime_error;
    };

    enum class Durability { Fast, Durable };

    static constexpr const char *kSuperuser = "corvana";
    static constexpr const char *kPasswordUser = "corvana_pw";
    static constexpr const char *kPassword = "corvana-secret";

    // Creates and starts the server (about a second or two).
    explicit TempPgServer(Durability durability = Durability::Fast);
    ~TempPgServer();
    TempPgServer(const TempPgServer &) = delete;
    TempPgServer &operator=(const TempPgServer &) = delete;

    // One server for the whole test program, started at first use and
    // stopped when the program exits.
    static TempPgServer &Shared();

    bool Running() const { return port_ != 0; }
    const QString &ErrorString() const { return error_; }
    int Port() const { return port_; }
    // The server's folder (data directory, socket, log); empty when the
    // folder could not be made.
    QString Folder() const;
    QString DataDirectory() const;

    // "host=127.0.0.1 port=N dbname=... user=..."; throws Error when the
    // server is not running.
    QString Conninfo(const QString &database = QStringLiteral("postgres"),
                     const QString &user = QString::fromLatin1(kSuperuser)) const;

    // A new database with a unique name, holding the program's schema, the
    // countries and the statuses and no contacts; returns its conninfo (as
    // the superuser). Copied from a template database built once per
    // server, so each costs a few milliseconds. Thread-safe. Throws Error
    // when the server is not running or the database cannot be made.
    QString CreateDatabase();

    // The program's connection string for a conninfo.
    static QString ConnectionString(const QString &conninfo);

private:
    bool Start(Durability durability);
    bool MakeDataDirectory(uid_t owner);
    void Stop();

    QTemporaryDir dir_;
    QString runAs_; // the user the server programs run as; empty: ourselves
    QString binDir_;
    QString error_;
    int port_ = 0;
    int watchdog_ = -1; // the pipe that keeps the watchdog waiting
    pid_t watchdogPid_ = -1;
    std::mutex mutex_;
    bool templateReady_ = false;
    int databases_ = 0;
};
