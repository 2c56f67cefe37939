#pragma once

#include <QString>

struct sqlite3;

// Turns a failure of the engine into the program's EProviderError with a
// text a user can act on. Most texts are the engine's own; two kinds are
// reworded because the engine's text would not say what to do:
// - a busy or locked file: "The database is locked by another program; try
//   again later." followed by the engine's text in parentheses;
// - a failed size check, a CHECK constraint named size_<Column>_<n>:
//   "The value for field '<Column>' is too long: at most <n> characters."
class SqliteError {
public:
    // The message for the result code `rc` of the last call on `db` (which
    // may be null when no handle exists yet).
    static QString Message(sqlite3 *db, int rc);
    [[noreturn]] static void Throw(sqlite3 *db, int rc);
    // The message for a failed size check, or empty when the engine's
    // text names no size check.
    static QString SizeCheckMessage(const QString &engineText);
    static QString LockedMessage(const QString &engineText);
    // True for the result codes of a file held by another connection.
    static bool IsLocked(int rc);
};
