#include "sqlite/SqliteHandlePool.h"

#include "sqlite/SqliteHandle.h"

namespace {
constexpr std::size_t kMaxIdleHandles = 4;
}

SqliteHandlePool::SqliteHandlePool(QString path, int busyTimeoutMs)
    : path_(std::move(path)), busyTimeoutMs_(busyTimeoutMs) {}

SqliteHandlePool::~SqliteHandlePool() = default;

std::shared_ptr<SqliteHandle> SqliteHandlePool::Acquire() {
    std::unique_ptr<SqliteHandle> handle;
    if (!idle_.empty()) {
        handle = std::move(idle_.back());
        idle_.pop_back();
        handle->SetBusyTimeout(busyTimeoutMs_);
    } else {
        handle = SqliteHandle::Open(path_, busyTimeoutMs_);
    }
    std::weak_ptr<SqliteHandlePool> pool = weak_from_this();
    return std::shared_ptr<SqliteHandle>(handle.release(), [pool](SqliteHandle *released) {
        if (auto owner = pool.lock())
            owner->Release(released);
        else
            delete released;
    });
}

void SqliteHandlePool::SetBusyTimeout(int milliseconds) {
    busyTimeoutMs_ = milliseconds;
    for (auto &handle : idle_)
        handle->SetBusyTimeout(milliseconds);
}

void SqliteHandlePool::Release(SqliteHandle *handle) {
    std::unique_ptr<SqliteHandle> owned(handle);
    // A handle left inside a transaction is not fit for the next query.
    if (idle_.size() < kMaxIdleHandles && owned->InAutocommit())
        idle_.push_back(std::move(owned));
}
