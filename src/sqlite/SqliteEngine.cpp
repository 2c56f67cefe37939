#include "sqlite/SqliteEngine.h"

#include "data/DatabaseErrors.h"
#include "sqlite/SqliteBackup.h"
#include "sqlite/SqliteHandle.h"
#include "sqlite/SqliteHandlePool.h"
#include "sqlite/SqliteQueryRowSource.h"
#include "sqlite/SqliteSearchRewrite.h"
#include "sqlite/SqliteStatement.h"
#include "sqlite/SqliteTableRowSource.h"

#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

namespace {
const QByteArray kFileHeader("SQLite format 3\0", 16);

// A statement on the main handle; it keeps the handle alive while it lives.
class SqliteDirectStatement : public TDBStatement {
public:
    SqliteDirectStatement(std::shared_ptr<SqliteHandle> handle, const QString &sql)
        : handle_(std::move(handle)), statement_(handle_->Db(), sql) {}
    void Bind(int position, const TValue &value) override { statement_.Bind(position, value); }
    bool Step() override { return statement_.Step(); }
    TValue Column(int index) const override { return statement_.Column(index); }
    void Reset() override { statement_.Reset(); }

private:
    std::shared_ptr<SqliteHandle> handle_;
    SqliteStatement statement_;
};
} // namespace

SqliteEngine::SqliteEngine() = default;

SqliteEngine::~SqliteEngine() {
    Disconnect();
}

void SqliteEngine::Connect(const QString &dataSource, const QString &mode) {
    Disconnect();
    CheckMode(mode);
    const QString path = dataSource.trimmed();
    CheckFile(path);
    std::shared_ptr<SqliteHandle> handle = SqliteHandle::Open(path, busyTimeoutMs_);
    // Reading the application id is the first access that takes a lock, so
    // a file held by another program shows here.
    const qint64 applicationId =
        handle->Scalar(QStringLiteral("PRAGMA application_id")).toLongLong();
    if (applicationId != kApplicationId)
        throw EProviderError(QStringLiteral("The file '%1' is not a Corvana database.").arg(path));
    if (handle->Scalar(QStringLiteral("PRAGMA journal_mode"))
            .toString()
            .compare(QLatin1String("wal"), Qt::CaseInsensitive) != 0) {
        const QString journal =
            handle->Scalar(QStringLiteral("PRAGMA journal_mode = WAL")).toString();
        if (journal.compare(QLatin1String("wal"), Qt::CaseInsensitive) != 0)
            throw EProviderError(
                QStringLiteral("The database '%1' cannot be shared: the engine kept the journal "
                               "mode '%2'.")
                    .arg(path, journal));
    }
    main_ = std::move(handle);
    pool_ = std::make_shared<SqliteHandlePool>(path, busyTimeoutMs_);
    searchIndexes_.clear();
    searchSchemaVersion_ = -1;
}

void SqliteEngine::Disconnect() {
    // Row sources still open keep their handles until they close.
    main_.reset();
    pool_.reset();
}

std::unique_ptr<TRowSource> SqliteEngine::OpenRowSource(const TRowSourceRequest &request) {
    if (!main_)
        throw EProviderError(QStringLiteral("The connection is not open."));
    if (request.isTable)
        return std::make_unique<SqliteTableRowSource>(main_, request);
    TRowSourceRequest query = request;
    query.command = WithSearchIndex(request.command);
    return std::make_unique<SqliteQueryRowSource>(main_, pool_->Acquire(), query);
}

SqliteHandle &SqliteEngine::Main() const {
    if (!main_)
        throw EProviderError(QStringLiteral("The connection is not open."));
    return *main_;
}

std::unique_ptr<TDBStatement> SqliteEngine::Prepare(const QString &sql) {
    Main();
    return std::make_unique<SqliteDirectStatement>(main_, sql);
}

void SqliteEngine::BeginWrite() {
    Main().Exec(QStringLiteral("BEGIN IMMEDIATE"));
}

void SqliteEngine::CommitWrite() {
    Main().Exec(QStringLiteral("COMMIT"));
}

void SqliteEngine::RollbackWrite() {
    if (main_ && !main_->InAutocommit())
        main_->Exec(QStringLiteral("ROLLBACK"));
}

bool SqliteEngine::InWrite() const {
    return main_ && !main_->InAutocommit();
}

void SqliteEngine::SetBulkWork(bool on) {
    Main().Exec(on ? QStringLiteral("PRAGMA cache_size = -65536")
                   : QStringLiteral("PRAGMA cache_size = -2000"));
}

qint64 SqliteEngine::LastInsertKey() const {
    return sqlite3_last_insert_rowid(Main().Db());
}

std::unique_ptr<TDBCopy> SqliteEngine::CopyTo(const QString &target) {
    return std::make_unique<SqliteBackup>(Main().Path(), target, busyTimeoutMs_);
}

QString SqliteEngine::CheckCopy(const QString &path, bool quick,
                                const std::atomic<bool> *cancelled) {
    return SqliteBackup::Unsound(path, kApplicationId, quick, cancelled);
}

void SqliteEngine::RestoreFrom(const QString &path) {
    SqliteBackup::Restore(path, Main().Path(), busyTimeoutMs_);
}

QString SqliteEngine::QuickCheck() {
    return SqliteBackup::QuickCheck(Main().Path(), busyTimeoutMs_);
}

void SqliteEngine::CloseLog() {
    // Another program that still has the file open keeps its log; the last
    // one to close folds it in.
    // Readers still open (the lists) hold the log's tail: no wait for them,
    // what stays is folded in when the last handle closes.
    if (!main_)
        return;
    main_->SetBusyTimeout(0);
    try {
        main_->Scalar(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
    } catch (const EProviderError &) {
    }
    main_->SetBusyTimeout(busyTimeoutMs_);
}

void SqliteEngine::ReplaceDamaged(const QString &dataSource, const QString &copy,
                                  const QString &aside) {
    SqliteBackup::ReplaceDamaged(copy, dataSource.trimmed(), aside);
}

QString SqliteEngine::WithSearchIndex(const QString &command) {
    if (!command.contains(QLatin1String("like"), Qt::CaseInsensitive))
        return command;
    // The index is only a shortcut: when the schema cannot be read now, the
    // query runs without it and meets the same trouble itself.
    try {
        const qint64 version = main_->Scalar(QStringLiteral("PRAGMA schema_version")).toLongLong();
        if (version != searchSchemaVersion_) {
            searchIndexes_ = SqliteSearchIndex::Find(main_->Db());
            searchSchemaVersion_ = version;
        }
    } catch (const EProviderError &) {
        return command;
    }
    return SqliteSearchRewrite::Rewrite(command, searchIndexes_);
}

void SqliteEngine::SetBusyTimeout(int milliseconds) {
    busyTimeoutMs_ = milliseconds;
    if (main_)
        main_->SetBusyTimeout(milliseconds);
    if (pool_)
        pool_->SetBusyTimeout(milliseconds);
}

QString SqliteEngine::JournalMode() const {
    return main_ ? main_->Scalar(QStringLiteral("PRAGMA journal_mode")).toString() : QString();
}

void SqliteEngine::CheckFile(const QString &path) {
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists())
        throw EProviderError(QStringLiteral("Could not find file '%1'.").arg(path));
    if (!info.isFile())
        throw EProviderError(QStringLiteral("'%1' is not a file.").arg(path));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw EProviderError(
            QStringLiteral("The file '%1' cannot be read: %2.").arg(path, file.errorString()));
    // An empty or foreign file would be taken by the engine as a new,
    // empty database and written to; the header check keeps it untouched.
    if (file.read(kFileHeader.size()) != kFileHeader)
        throw EProviderError(
            QStringLiteral("The file '%1' is not a database file the program can open.").arg(path));
    file.close();
    if (!info.isWritable())
        throw EProviderError(
            QStringLiteral("The file '%1' is read-only; the program needs to write to it.")
                .arg(path));
}

void SqliteEngine::CheckMode(const QString &mode) {
    const QString trimmed = mode.trimmed();
    if (!trimmed.isEmpty() &&
        trimmed.compare(QLatin1String("Share Deny None"), Qt::CaseInsensitive) != 0 &&
        trimmed.compare(QLatin1String("ReadWrite"), Qt::CaseInsensitive) != 0)
        throw EProviderError(
            QStringLiteral("The connection mode '%1' is not supported; use 'Share Deny None'.")
                .arg(trimmed));
}
