#pragma once

#include "settings/DatabaseSettings.h"

#include <QString>

class QWidget;
class TDBConnection;

// The database the program opens at its start, as chosen on the Options
// dialog's Database page: the file `_db.mdb` in the database folder (the
// default), or a database on a server. Only the file is the program's own to
// lock, check, back up and restore; a server looks after its database
// itself.
class DatabaseChoice {
public:
    // `databaseFolder` ends in a path delimiter, as for the file's
    // connection string.
    DatabaseChoice(QString databaseFolder, DatabaseSettings settings);
    // The stored choice (DatabaseSettings::Read, which never fails).
    static DatabaseChoice Stored(const QString &databaseFolder);

    const DatabaseSettings &Settings() const { return settings_; }
    bool OnServer() const { return settings_.OnServer(); }
    // The file's connection string (ConnectionString::ForProgramFolder) for
    // this computer, else ConnectionString::ForServer of the settings'
    // conninfo. Never holds a password.
    QString ConnectionString() const;
    // The server's user and host as the password question names them: as
    // chosen, else what the server engine takes in their place (its
    // environment variables, the login name, the local server).
    QString UserShown() const;
    QString HostShown() const;

    // Sets `connection` to ConnectionString() and connects it. When a
    // server wants a password that it finds nowhere else (EPasswordNeeded),
    // the user is asked for it (ServerLoginDialog over `parent`) and the
    // connection is made again with it (ConnectionString::WithPassword), as
    // often as the server refuses it. The connection keeps that connection
    // string, so connecting it again later asks nothing; the password is
    // kept nowhere else. Cancel fails with EProviderError ("No password was
    // given ..."); every other failure of Connect propagates as it is.
    void Connect(TDBConnection &connection, QWidget *parent) const;

    // Whether a connection string names a database file of the program's
    // own file engine: a file the lock, the quick check and the backups
    // work on. A server's database is none.
    static bool NamesFile(const QString &connectionString);

private:
    QString databaseFolder_;
    DatabaseSettings settings_;
};
