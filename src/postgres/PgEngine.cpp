#include "postgres/PgEngine.h"

#include "data/DatabaseErrors.h"
#include "postgres/PgConnection.h"
#include "postgres/PgQueryRowSource.h"
#include "postgres/PgQuerySessions.h"
#include "postgres/PgStatement.h"
#include "postgres/PgTableRowSource.h"

PgEngine::PgEngine() = default;

PgEngine::~PgEngine() {
    Disconnect();
}

void PgEngine::Connect(const QString &dataSource, const QString &mode) {
    Disconnect();
    const QString trimmed = mode.trimmed();
    if (!trimmed.isEmpty() &&
        trimmed.compare(QLatin1String("Share Deny None"), Qt::CaseInsensitive) != 0 &&
        trimmed.compare(QLatin1String("ReadWrite"), Qt::CaseInsensitive) != 0)
        throw EProviderError(
            QStringLiteral("The connection mode '%1' is not supported; use 'Share Deny None'.")
                .arg(trimmed));
    std::shared_ptr<PgConnection> connection = PgConnection::Open(dataSource.trimmed(), password_);
    const PgResult marker = connection->Exec(
        QStringLiteral("select obj_description(to_regclass('\"Contacts\"'), 'pg_class'), "
                       "current_database()"));
    if (marker.Rows() != 1 || marker.Value(0, 0).toString() != QLatin1String(kMarker))
        throw EProviderError(
            QStringLiteral("The database '%1' on the server at %2 is not a Corvana database; "
                           "make one with corvana-db create --server.")
                .arg(marker.Rows() == 1 ? marker.Value(0, 1).toString() : QString(),
                     connection->ServerName()));
    names_ = std::make_shared<const PgNames>(PgNames::Load(*connection));
    main_ = std::move(connection);
    readers_ = PgQuerySessions::Make(main_);
}

void PgEngine::Disconnect() {
    // Row sources still open keep their sessions until they close.
    readers_.reset();
    main_.reset();
    names_.reset();
}

PgConnection &PgEngine::Main() const {
    if (!main_)
        throw EProviderError(QStringLiteral("The connection is not open."));
    return *main_;
}

std::unique_ptr<TRowSource> PgEngine::OpenRowSource(const TRowSourceRequest &request) {
    Main();
    if (request.isTable)
        return std::make_unique<PgTableRowSource>(main_, names_, request);
    return std::make_unique<PgQueryRowSource>(main_, readers_->Take(), names_, request);
}

std::unique_ptr<TDBStatement> PgEngine::Prepare(const QString &sql) {
    Main();
    return std::make_unique<PgStatement>(main_, PgDialect::Translate(sql, *names_));
}

void PgEngine::BeginWrite() {
    Main().Exec(QStringLiteral("BEGIN"));
    try {
        main_->TakeWriteLock();
    } catch (...) {
        RollbackWrite();
        throw;
    }
}

void PgEngine::CommitWrite() {
    Main().Exec(QStringLiteral("COMMIT"));
}

void PgEngine::RollbackWrite() {
    if (main_ && main_->InTransaction())
        main_->Exec(QStringLiteral("ROLLBACK"));
}

bool PgEngine::InWrite() const {
    return main_ && main_->InTransaction();
}

qint64 PgEngine::LastInsertKey() const {
    // The session's last counter value; none yet before its first insert.
    try {
        const PgResult key = Main().Exec(QStringLiteral("select lastval()"));
        return key.Rows() == 1 ? key.Value(0, 0).toLongLong() : 0;
    } catch (const EProviderError &) {
        return 0;
    }
}
