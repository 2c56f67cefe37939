#include "sqlite/SqliteTransaction.h"

#include "sqlite/SqliteHandle.h"
#include "sqlite/SqliteStatement.h"

SqliteTransaction::SqliteTransaction(SqliteHandle &handle) : handle_(handle) {
    // Inside a write transaction already open on the handle (the caller's
    // TDBWriteTransaction), the row's write becomes a savepoint of it, so it
    // commits or rolls back with the rest.
    nested_ = !handle_.InAutocommit();
    auto begin = handle_.Cached(nested_ ? QStringLiteral("SAVEPOINT corvana_row")
                                        : QStringLiteral("BEGIN IMMEDIATE"));
    SqliteStatement::Scope scope(*begin);
    begin->Run();
    open_ = true;
}

SqliteTransaction::~SqliteTransaction() {
    if (!open_ || handle_.InAutocommit())
        return;
    try {
        if (nested_)
            handle_.Exec(QStringLiteral("ROLLBACK TO corvana_row; RELEASE corvana_row"));
        else
            handle_.Exec(QStringLiteral("ROLLBACK"));
    } catch (...) {
        // A failed rollback leaves nothing to undo: the engine has already
        // rolled the transaction back when it could not go on.
    }
}

void SqliteTransaction::Commit() {
    auto commit =
        handle_.Cached(nested_ ? QStringLiteral("RELEASE corvana_row") : QStringLiteral("COMMIT"));
    SqliteStatement::Scope scope(*commit);
    commit->Run();
    open_ = false;
}
