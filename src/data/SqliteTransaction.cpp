#include "data/SqliteTransaction.h"

#include "data/SqliteHandle.h"
#include "data/SqliteStatement.h"

SqliteTransaction::SqliteTransaction(SqliteHandle &handle) : handle_(handle) {
    auto begin = handle_.Cached(QStringLiteral("BEGIN IMMEDIATE"));
    SqliteStatement::Scope scope(*begin);
    begin->Run();
    open_ = true;
}

SqliteTransaction::~SqliteTransaction() {
    if (!open_ || handle_.InAutocommit())
        return;
    try {
        handle_.Exec(QStringLiteral("ROLLBACK"));
    } catch (...) {
        // A failed rollback leaves nothing to undo: the engine has already
        // rolled the transaction back when it could not go on.
    }
}

void SqliteTransaction::Commit() {
    auto commit = handle_.Cached(QStringLiteral("COMMIT"));
    SqliteStatement::Scope scope(*commit);
    commit->Run();
    open_ = false;
}
