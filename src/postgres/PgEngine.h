#pragma once

#include "data/DatabaseEngine.h"
#include "postgres/PgNames.h"

#include <memory>

class PgConnection;
class PgQuerySessions;

// The engine for a database on a PostgreSQL server, shared by an office.
//
// The data source is libpq's conninfo text; the password comes from libpq's
// usual places or SetPassword (see PgConnection). Connect checks that the
// database is one of the program's (its Contacts table carries the comment
// "Corvana contacts"), else EProviderError, and reads the stored spelling
// of its names (PgNames).
//
// Table requests get a PgTableRowSource on the main session, which is also
// the session of Prepare and the write transaction; query texts a
// PgQueryRowSource reading on a session of its own (kept for the next
// queries once read, PgQuerySessions). Statements are translated by
// PgDialect.
//
// Copies, checks and restores are the server's own business (its backups);
// the defaults refuse them.
class PgEngine : public TDatabaseEngine {
public:
    static constexpr const char *kMarker = "Corvana contacts";

    PgEngine();
    ~PgEngine() override;

    void Connect(const QString &dataSource, const QString &mode) override;
    void SetPassword(const QString &password) override { password_ = password; }
    void Disconnect() override;
    bool Connected() const override { return main_ != nullptr; }
    std::unique_ptr<TRowSource> OpenRowSource(const TRowSourceRequest &request) override;
    std::unique_ptr<TDBStatement> Prepare(const QString &sql) override;
    void BeginWrite() override;
    void CommitWrite() override;
    void RollbackWrite() override;
    bool InWrite() const override;
    qint64 LastInsertKey() const override;

    // The main session (for the engine's tests).
    PgConnection &Main() const;

private:
    QString password_;
    std::shared_ptr<PgConnection> main_;
    std::shared_ptr<const PgNames> names_;
    std::shared_ptr<PgQuerySessions> readers_; // the query row sources' sessions
};
