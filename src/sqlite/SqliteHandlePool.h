#pragma once

#include <QString>
#include <memory>
#include <vector>

class SqliteHandle;

// Spare handles to the database file for query row sources. Each query runs
// on a handle of its own, so that a query read halfway never holds a read
// snapshot on the handle that writes. A handle given out comes back to the
// pool when its last user lets go of it; a few are kept for reuse.
class SqliteHandlePool : public std::enable_shared_from_this<SqliteHandlePool> {
public:
    SqliteHandlePool(QString path, int busyTimeoutMs);
    ~SqliteHandlePool();

    std::shared_ptr<SqliteHandle> Acquire();
    void SetBusyTimeout(int milliseconds);
    int IdleCount() const { return int(idle_.size()); }

private:
    void Release(SqliteHandle *handle);

    QString path_;
    int busyTimeoutMs_;
    std::vector<std::unique_ptr<SqliteHandle>> idle_;
};
