#include "data/DBConnection.h"

#include "data/ConnectionString.h"
#include "data/DatabaseEngines.h"
#include "data/DatabaseErrors.h"

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
    // No log-in prompt is ever shown: an engine that needs credentials
    // takes them from the connection string or its own usual places.
    std::unique_ptr<TDatabaseEngine> engine = MakeEngine();
    const QString dataSource = DataSource();
    if (dataSource.isEmpty())
        throw EProviderError(QStringLiteral("The connection string names no data source."));
    const QString password = ConnectionString::Value(connectionString_, QStringLiteral("Password"));
    if (!password.isEmpty())
        engine->SetPassword(password);
    engine->Connect(dataSource, ConnectionString::Value(connectionString_, QStringLiteral("Mode")));
    engine_ = std::move(engine);
}

std::unique_ptr<TDatabaseEngine> TDBConnection::MakeEngine() const {
    return DatabaseEngines::Make(Provider());
}

QString TDBConnection::DataSource() const {
    return ConnectionString::Value(connectionString_, QStringLiteral("Data Source"));
}

std::unique_ptr<TDBCopy> TDBConnection::CopyTo(const QString &target) {
    return Engine().CopyTo(target);
}

QString TDBConnection::CheckCopy(const QString &path, bool quick,
                                 const std::atomic<bool> *cancelled) {
    return Engine().CheckCopy(path, quick, cancelled);
}

void TDBConnection::RestoreFrom(const QString &path) {
    Engine().RestoreFrom(path);
}

QString TDBConnection::QuickCheck() {
    return Engine().QuickCheck();
}

void TDBConnection::CloseLog() {
    if (Connected())
        engine_->CloseLog();
}

void TDBConnection::ReplaceDamaged(const QString &copy, const QString &aside) {
    if (Connected())
        throw EProviderError(QStringLiteral("The database is open; it cannot be replaced."));
    MakeEngine()->ReplaceDamaged(DataSource(), copy, aside);
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

std::unique_ptr<TDBCopy> TDatabaseEngine::CopyTo(const QString &) {
    throw EProviderError(QStringLiteral("This database cannot be copied by the program."));
}

QString TDatabaseEngine::CheckCopy(const QString &, bool, const std::atomic<bool> *) {
    return QStringLiteral("This database cannot be restored by the program.");
}

void TDatabaseEngine::RestoreFrom(const QString &) {
    throw EProviderError(QStringLiteral("This database cannot be restored by the program."));
}

QString TDatabaseEngine::QuickCheck() {
    return QString();
}

void TDatabaseEngine::ReplaceDamaged(const QString &, const QString &, const QString &) {
    throw EProviderError(QStringLiteral("This database cannot be replaced by the program."));
}
