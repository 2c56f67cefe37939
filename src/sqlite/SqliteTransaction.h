#pragma once

class SqliteHandle;

// One write transaction on a handle: BEGIN IMMEDIATE at construction, so the
// write lock is taken (or waited for, up to the busy timeout) before anything
// is read; rolled back on destruction unless committed. On a handle that is
// already inside a transaction it is a savepoint of that transaction instead.
class SqliteTransaction {
public:
    explicit SqliteTransaction(SqliteHandle &handle);
    ~SqliteTransaction();
    SqliteTransaction(const SqliteTransaction &) = delete;
    SqliteTransaction &operator=(const SqliteTransaction &) = delete;

    void Commit();

private:
    SqliteHandle &handle_;
    bool open_ = false;
    bool nested_ = false;
};
