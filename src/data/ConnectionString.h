#pragma once

#include <QString>

// Builds and reads "key=value;" connection strings.
class ConnectionString {
public:
    // The program's connection string for the database file `_db.mdb` in
    // the given folder (which ends in a path delimiter).
    static QString ForProgramFolder(const QString &folderWithDelimiter);
    // The folder of the running program file, ending in '/'. Taken from the
    // program file, never from the working directory.
    static QString ProgramFolder();
    // The value of a key (compared without regard to case), trimmed; empty
    // when the key is absent.
    static QString Value(const QString &connectionString, const QString &key);
};
