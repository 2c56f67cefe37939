#include "sqlite/SqliteHandle.h"

#include "data/DatabaseErrors.h"
#include "data/DateTimeValue.h"
#include "sqlite/SqliteError.h"
#include "sqlite/SqliteLike.h"
#include "sqlite/SqliteStatement.h"

#include <sqlite3.h>

namespace {

// Statements differ only by the columns a row source writes, so a small
// cache covers them; it is emptied when full rather than tracked by use.
constexpr int kMaxCachedStatements = 64;

void FormatFunction(sqlite3_context *context, int argc, sqlite3_value **argv) {
    if (argc != 2)
        return;
    sqlite3_value *value = argv[0];
    const int type = sqlite3_value_type(value);
    if (type == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    if (type != SQLITE_INTEGER && type != SQLITE_FLOAT) {
        sqlite3_result_value(context, value);
        return;
    }
    const double days = sqlite3_value_double(value);
    const auto *formatText = reinterpret_cast<const char *>(sqlite3_value_text(argv[1]));
    const QString format = QString::fromUtf8(formatText ? formatText : "").trimmed();
    const QString text = format.compare(QLatin1String("Short Date"), Qt::CaseInsensitive) == 0
                             ? DateTimeValue::ShortDateText(days)
                             : DateTimeValue::DateTimeText(days);
    const QByteArray utf8 = text.toUtf8();
    sqlite3_result_text(context, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
}

void ReadTextFunction(sqlite3_context *context, int argc, sqlite3_value **argv) {
    if (argc != 1)
        return;
    sqlite3_value *value = argv[0];
    if (sqlite3_value_type(value) != SQLITE_TEXT) {
        sqlite3_result_value(context, value);
        return;
    }
    const auto *text = reinterpret_cast<const char *>(sqlite3_value_text(value));
    const QByteArray utf8 = QString::fromUtf8(text, sqlite3_value_bytes(value)).toUtf8();
    sqlite3_result_text(context, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
}

} // namespace

SqliteHandle::SqliteHandle(sqlite3 *db, QString path) : db_(db), path_(std::move(path)) {}

std::unique_ptr<SqliteHandle> SqliteHandle::Open(const QString &path, int busyTimeoutMs) {
    sqlite3 *db = nullptr;
    // Each handle is used by one thread at a time (work on other threads
    // opens handles of its own), so the engine need not lock it on every
    // call; a query reads each column of each row through such a call.
    const int rc = sqlite3_open_v2(
        path.toUtf8().constData(), &db,
        SQLITE_OPEN_READWRITE | SQLITE_OPEN_EXRESCODE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        const QString message = SqliteError::Message(db, rc);
        sqlite3_close_v2(db);
        throw EProviderError(message);
    }
    std::unique_ptr<SqliteHandle> handle(new SqliteHandle(db, path));
    handle->SetBusyTimeout(busyTimeoutMs);
    // Overrides the engine's own format() for two arguments only.
    const int frc = sqlite3_create_function_v2(db, "Format", 2, SQLITE_UTF8, nullptr,
                                               FormatFunction, nullptr, nullptr, nullptr);
    if (frc != SQLITE_OK)
        SqliteError::Throw(db, frc);
    const int rrc =
        sqlite3_create_function_v2(db, kReadTextFunction, 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC,
                                   nullptr, ReadTextFunction, nullptr, nullptr, nullptr);
    if (rrc != SQLITE_OK)
        SqliteError::Throw(db, rrc);
    // Text comparison ignores case for every letter, not only ASCII ones.
    SqliteLike::Register(db);
    // Every committed Post reaches the disk before the call returns.
    handle->Exec(QStringLiteral("PRAGMA synchronous = FULL"));
    return handle;
}

SqliteHandle::~SqliteHandle() {
    cache_.clear();
    sqlite3_close_v2(db_);
}

void SqliteHandle::SetBusyTimeout(int milliseconds) {
    sqlite3_busy_timeout(db_, milliseconds);
}

void SqliteHandle::Exec(const QString &sql) {
    const QByteArray utf8 = sql.toUtf8();
    int offset = 0;
    while (auto statement = SqliteStatement::PrepareNext(db_, utf8, &offset))
        statement->Run();
}

QVariant SqliteHandle::Scalar(const QString &sql) {
    SqliteStatement statement(db_, sql);
    return statement.Step() ? statement.Column(0) : QVariant();
}

std::shared_ptr<SqliteStatement> SqliteHandle::Cached(const QString &sql) {
    auto found = cache_.constFind(sql);
    if (found != cache_.constEnd())
        return *found;
    if (cache_.size() >= kMaxCachedStatements)
        cache_.clear();
    auto statement = std::make_shared<SqliteStatement>(db_, sql);
    cache_.insert(sql, statement);
    return statement;
}

bool SqliteHandle::InAutocommit() const {
    return sqlite3_get_autocommit(db_) != 0;
}
