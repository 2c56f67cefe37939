#pragma once

#include <QString>

// Builds and reads "key=value;" connection strings.
class ConnectionString {
public:
    // The program's connection string for the database file `_db.mdb` in
    // the given folder (which ends in a path delimiter).
    static QString ForProgramFolder(const QString &folderWithDelimiter);
    // The program's connection string for a database on a server, named by
    // `conninfo` (the server engine's "key=value key=value" text or URI).
    // The password is never part of it: a caller that asked the user for
    // one adds it with WithPassword, for that connection alone.
    static QString ForServer(const QString &conninfo);
    // `connectionString` with its Password set to `password`.
    static QString WithPassword(const QString &connectionString, const QString &password);
    // The folder of the running program file, ending in '/'. Taken from the
    // program file, never from the working directory.
    static QString ProgramFolder();
    // The value of a key (compared without regard to case), trimmed; empty
    // when the key is absent.
    static QString Value(const QString &connectionString, const QString &key);
};
