#include "data/DBConnection.h"

#include "data/ConnectionString.h"
#include "data/DatabaseErrors.h"
#include "data/SqliteEngine.h"

TDBConnection::TDBConnection(QString name) : name_(std::move(name)) {}

TDBConnection::~TDBConnection() {
    SetConnected(false);
}

void TDBConnection::SetConnectionString(const QString &text) {
    if (text == connectionString_)
        return;
    SetConnected(false);
    connectionString_ = text;
}

QString TDBConnection::Provider() const {
    return ConnectionString::Value(connectionString_, QStringLiteral("Provider"));
}

bool TDBConnection::Connected() const {
    return engine_ && engine_->Connected();
}

void TDBConnection::SetConnected(bool value) {
    if (value == Connected())
        return;
    if (!value) {
        engine_->Disconnect();
        engine_.reset();
        return;
    }
    // No log-in prompt is ever shown: the engine needs no credentials.
    const QString provider = Provider();
    std::unique_ptr<TDatabaseEngine> engine;
    if (provider.compare(QLatin1String("SQLite"), Qt::CaseInsensitive) == 0)
        engine = std::make_unique<SqliteEngine>();
    else
        throw EProviderError(
            QStringLiteral("Provider cannot be found. It may not be properly installed. "
                           "(Provider: '%1')")
                .arg(provider));
    const QString dataSource =
        ConnectionString::Value(connectionString_, QStringLiteral("Data Source"));
    if (dataSource.isEmpty())
        throw EProviderError(QStringLiteral("The connection string names no data source."));
    engine->Connect(dataSource, ConnectionString::Value(connectionString_, QStringLiteral("Mode")));
    engine_ = std::move(engine);
}

std::unique_ptr<TRowSource> TDBConnection::OpenRowSource(const TRowSourceRequest &request) {
    if (!Connected())
        SetConnected(true);
    return engine_->OpenRowSource(request);
}

TDatabaseEngine &TDBConnection::Engine() {
    if (!Connected())
        SetConnected(true);
    return *engine_;
}

std::unique_ptr<TDBStatement> TDBConnection::Prepare(const QString &sql) {
    return Engine().Prepare(sql);
}

void TDBConnection::BeginWrite() {
    Engine().BeginWrite();
}

void TDBConnection::CommitWrite() {
    Engine().CommitWrite();
}

void TDBConnection::RollbackWrite() {
    if (Connected())
        engine_->RollbackWrite();
}

void TDBConnection::SetBulkWork(bool on) {
    Engine().SetBulkWork(on);
}

qint64 TDBConnection::LastInsertKey() {
    return Engine().LastInsertKey();
}

TDBWriteTransaction::TDBWriteTransaction(TDBConnection &connection) : connection_(connection) {
    connection_.BeginWrite();
    open_ = true;
}

TDBWriteTransaction::~TDBWriteTransaction() {
    if (!open_)
        return;
    try {
        connection_.RollbackWrite();
    } catch (...) {
        // The engine rolls a transaction back itself when it cannot go on.
    }
}

void TDBWriteTransaction::Commit() {
    connection_.CommitWrite();
    open_ = false;
}
