#pragma once

#include "data/DatabaseEngine.h"

#include <QString>
#include <memory>

// The connection object the cursors open on (the main window's connDB).
//
// ConnectionString: "key=value;" pairs. Provider names the engine (as
// registered with DatabaseEngines: SQLite, ...);
// Data Source the database file; Mode the sharing mode. Setting Connected
// true connects (never with a log-in prompt), false disconnects; both do
// nothing when already so. Changing the connection string of a connected
// connection disconnects it first.
class TDBConnection {
public:
    explicit TDBConnection(QString name = QString());
    ~TDBConnection();
    TDBConnection(const TDBConnection &) = delete;
    TDBConnection &operator=(const TDBConnection &) = delete;

    const QString &Name() const { return name_; }
    const QString &ConnectionString() const { return connectionString_; }
    void SetConnectionString(const QString &text);
    QString Provider() const;
    bool LoginPrompt() const { return loginPrompt_; }
    void SetLoginPrompt(bool value) { loginPrompt_ = value; }

    bool Connected() const;
    void SetConnected(bool value);
    void Open() { SetConnected(true); }
    void Close() { SetConnected(false); }

    // Connects first when needed.
    std::unique_ptr<TRowSource> OpenRowSource(const TRowSourceRequest &request);
    // The engine's statements and write transaction (see TDatabaseEngine);
    // each connects first when needed.
    std::unique_ptr<TDBStatement> Prepare(const QString &sql);
    void BeginWrite();
    void CommitWrite();
    void RollbackWrite();
    qint64 LastInsertKey();
    void SetBulkWork(bool on);
    // The engine's safety of the stored data (see TDatabaseEngine); each
    // connects first when needed, except ReplaceDamaged, which needs the
    // connection closed, and CloseLog, which does nothing when closed.
    std::unique_ptr<TDBCopy> CopyTo(const QString &target);
    QString CheckCopy(const QString &path, bool quick = false,
                      const std::atomic<bool> *cancelled = nullptr);
    void RestoreFrom(const QString &path);
    QString QuickCheck();
    void CloseLog();
    void ReplaceDamaged(const QString &copy, const QString &aside);
    // The data source of the connection string (the database file).
    QString DataSource() const;

private:
    TDatabaseEngine &Engine();
    std::unique_ptr<TDatabaseEngine> MakeEngine() const;

    QString name_;
    QString connectionString_;
    bool loginPrompt_ = false;
    std::unique_ptr<TDatabaseEngine> engine_;
};

// A write transaction on a connection that is rolled back when the block
// is left without Commit (an exception, a cancel).
class TDBWriteTransaction {
public:
    explicit TDBWriteTransaction(TDBConnection &connection);
    ~TDBWriteTransaction();
    TDBWriteTransaction(const TDBWriteTransaction &) = delete;
    TDBWriteTransaction &operator=(const TDBWriteTransaction &) = delete;
    void Commit();

private:
    TDBConnection &connection_;
    bool open_ = false;
};
