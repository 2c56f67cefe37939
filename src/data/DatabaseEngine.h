#pragma once

#include "data/DBCopy.h"
#include "data/DBStatement.h"
#include "data/RowSource.h"

#include <QString>
#include <atomic>
#include <memory>

// One engine's connection to one database. The connection object picks the
// engine from the connection string's Provider and talks to it only through
// this interface, so that another engine can stand beside the first.
class TDatabaseEngine {
public:
    virtual ~TDatabaseEngine() = default;
    // Opens the database the data source names. EProviderError with a clear
    // message when the file is missing, unreadable, locked, or not one of the
    // program's databases; nothing is written into such a file.
    virtual void Connect(const QString &dataSource, const QString &mode) = 0;
    // The password the user gave for the next Connect, held in memory only;
    // an engine without log-ins ignores it.
    virtual void SetPassword(const QString & /*password*/) {}
    virtual void Disconnect() = 0;
    virtual bool Connected() const = 0;
    // Opens a row source; EProviderError when the engine refuses the command.
    virtual std::unique_ptr<TRowSource> OpenRowSource(const TRowSourceRequest &request) = 0;

    // A statement on the connection's own session, the one table row sources
    // write through; EProviderError when the engine refuses the text.
    virtual std::unique_ptr<TDBStatement> Prepare(const QString &sql) = 0;
    // One write transaction on that session: BeginWrite takes the write lock
    // (waiting up to the busy timeout for another program), Commit makes
    // everything since durable, Rollback drops it. Row sources' own writes
    // in between belong to the transaction.
    virtual void BeginWrite() = 0;
    virtual void CommitWrite() = 0;
    virtual void RollbackWrite() = 0;
    virtual bool InWrite() const = 0;
    // Told before and after work over very many rows (an import): the
    // engine may then keep more of the database in memory.
    virtual void SetBulkWork(bool /*on*/) {}
    // The key the session's last insert gave its row.
    virtual qint64 LastInsertKey() const = 0;

    // Safety of the stored data. The defaults refuse with EProviderError
    // (or find nothing to do) for an engine that offers none of it.
    //
    // A consistent copy of the open database into the file `target` (see
    // TDBCopy); its parts may run on another thread.
    virtual std::unique_ptr<TDBCopy> CopyTo(const QString &target);
    // Why the copy at `path` is not a sound database of the program, or
    // empty when it is. Reads the whole copy (`quick`: a faster check of the
    // pages that skips matching the indexes to their tables); writes
    // nothing. Callable from another thread while the connection stays as it
    // is; `cancelled`, when given, stops the check when set ("The check was
    // cancelled.").
    virtual QString CheckCopy(const QString &path, bool quick = false,
                              const std::atomic<bool> *cancelled = nullptr);
    // Replaces the content of the open database with that of the copy at
    // `path`, in one transaction: a failure changes nothing. Callable from
    // another thread; row sources should be closed first and opened again
    // after, as they show the content of before.
    virtual void RestoreFrom(const QString &path);
    // The problems the engine's quick check finds in the open database,
    // empty when none. Callable from another thread.
    virtual QString QuickCheck();
    // At close: folds the engine's log into the database file, so that the
    // closed database is one file that can be copied.
    virtual void CloseLog() {}
    // Puts a copy in the place of the database named by `dataSource`, which
    // no session may have open, moving the damaged one to `aside`.
    virtual void ReplaceDamaged(const QString &dataSource, const QString &copy,
                                const QString &aside);
};
