#pragma once

#include "data/DatabaseEngine.h"
#include "sqlite/SqliteSearchIndex.h"

#include <memory>

class SqliteHandle;
class SqliteHandlePool;

// The engine for SQLite database files.
//
// Connect opens an existing file only, and checks it before anything is
// written: it must exist and be readable and writable, start with the
// engine's file header, and carry the program's application id; otherwise
// EProviderError says which of these failed and the file is left as it was.
// Then the file is put into write-ahead logging, so that readers and the
// writer do not block each other and a half-read query never stops a Post.
//
// Every handle waits up to the busy timeout (5 s) for a lock held by another
// program, then reports the database as locked.
//
// Table requests get a SqliteTableRowSource on the main handle, query texts
// a SqliteQueryRowSource on a pooled handle of their own. A query that is a
// substring search over columns a trigram index covers is served through the
// index (SqliteSearchRewrite), with the same rows as without it; the indexes
// are looked up again whenever the database's schema has changed.
class SqliteEngine : public TDatabaseEngine {
public:
    static constexpr int kApplicationId = 0x436F7276;
    static constexpr int kDefaultBusyTimeoutMs = 5000;

    SqliteEngine();
    ~SqliteEngine() override;

    void Connect(const QString &dataSource, const QString &mode) override;
    void Disconnect() override;
    bool Connected() const override { return main_ != nullptr; }
    std::unique_ptr<TRowSource> OpenRowSource(const TRowSourceRequest &request) override;
    std::unique_ptr<TDBStatement> Prepare(const QString &sql) override;
    void BeginWrite() override;
    void CommitWrite() override;
    void RollbackWrite() override;
    bool InWrite() const override;
    qint64 LastInsertKey() const override;
    // 64 MB of page cache while on, so that a long transaction neither
    // spills pages into the log nor reads its indexes back from it.
    void SetBulkWork(bool on) override;
    // Copies through the engine's online backup (SqliteBackup), checks
    // copies with the full integrity check, restores through the backup
    // into the live file, and at close checkpoints and truncates the log.
    std::unique_ptr<TDBCopy> CopyTo(const QString &target) override;
    QString CheckCopy(const QString &path, bool quick, const std::atomic<bool> *cancelled) override;
    void RestoreFrom(const QString &path) override;
    QString QuickCheck() override;
    void CloseLog() override;
    void ReplaceDamaged(const QString &dataSource, const QString &copy,
                        const QString &aside) override;

    // How long a handle waits for a lock held by another program.
    void SetBusyTimeout(int milliseconds);
    int BusyTimeout() const { return busyTimeoutMs_; }
    // The journal mode in force ("wal" once connected).
    QString JournalMode() const;

private:
    SqliteHandle &Main() const;
    static void CheckFile(const QString &path);
    static void CheckMode(const QString &mode);
    QString WithSearchIndex(const QString &command);

    // The trigram indexes of the database as of schema version
    // searchSchemaVersion_.
    QVector<SqliteSearchIndex> searchIndexes_;
    qint64 searchSchemaVersion_ = -1;

    int busyTimeoutMs_ = kDefaultBusyTimeoutMs;
    std::shared_ptr<SqliteHandle> main_;
    std::shared_ptr<SqliteHandlePool> pool_;
};
