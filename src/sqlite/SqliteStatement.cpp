#include "sqlite/SqliteStatement.h"

#include "data/DatabaseErrors.h"
#include "data/DateTimeValue.h"
#include "sqlite/SqliteError.h"

#include <QDate>
#include <QDateTime>
#include <QTime>
#include <limits>
#include <sqlite3.h>

SqliteStatement::SqliteStatement(sqlite3 *db, const QString &sql) : db_(db) {
    const QByteArray utf8 = sql.toUtf8();
    const int rc = sqlite3_prepare_v2(db, utf8.constData(), int(utf8.size()), &stmt_, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_finalize(stmt_);
        SqliteError::Throw(db, rc);
    }
}

SqliteStatement::~SqliteStatement() {
    sqlite3_finalize(stmt_);
}

std::unique_ptr<SqliteStatement> SqliteStatement::PrepareNext(sqlite3 *db, const QByteArray &sql,
                                                              int *offset) {
    while (*offset < sql.size()) {
        const char *start = sql.constData() + *offset;
        const char *tail = nullptr;
        sqlite3_stmt *stmt = nullptr;
        const int rc = sqlite3_prepare_v2(db, start, int(sql.size()) - *offset, &stmt, &tail);
        if (rc != SQLITE_OK) {
            sqlite3_finalize(stmt);
            SqliteError::Throw(db, rc);
        }
        *offset = int(tail - sql.constData());
        if (stmt)
            return std::unique_ptr<SqliteStatement>(new SqliteStatement(db, stmt));
        if (tail == start)
            break;
    }
    return nullptr;
}

void SqliteStatement::Bind(int position, const TValue &value) {
    int rc = SQLITE_OK;
    if (ValueIsNull(value)) {
        rc = sqlite3_bind_null(stmt_, position);
    } else {
        switch (value.typeId()) {
        case QMetaType::Bool:
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::Long:
        case QMetaType::LongLong:
        case QMetaType::Short:
        case QMetaType::UShort:
        case QMetaType::Char:
        case QMetaType::SChar:
        case QMetaType::UChar:
            rc = sqlite3_bind_int64(stmt_, position, value.toLongLong());
            break;
        case QMetaType::ULong:
        case QMetaType::ULongLong:
            if (value.toULongLong() <= quint64(std::numeric_limits<qint64>::max()))
                rc = sqlite3_bind_int64(stmt_, position, value.toLongLong());
            else
                rc = sqlite3_bind_double(stmt_, position, value.toDouble());
            break;
        case QMetaType::Double:
        case QMetaType::Float:
            rc = sqlite3_bind_double(stmt_, position, value.toDouble());
            break;
        case QMetaType::QDate:
            rc = sqlite3_bind_double(stmt_, position, DateTimeValue::FromDate(value.toDate()));
            break;
        case QMetaType::QDateTime:
            rc = sqlite3_bind_double(stmt_, position,
                                     DateTimeValue::FromDateTime(value.toDateTime()));
            break;
        case QMetaType::QTime:
            rc = sqlite3_bind_double(stmt_, position,
                                     value.toTime().msecsSinceStartOfDay() / 86400000.0);
            break;
        case QMetaType::QByteArray: {
            const QByteArray bytes = value.toByteArray();
            rc = sqlite3_bind_blob64(stmt_, position, bytes.constData(),
                                     sqlite3_uint64(bytes.size()), SQLITE_TRANSIENT);
            break;
        }
        default: {
            const QByteArray text = value.toString().toUtf8();
            rc = sqlite3_bind_text64(stmt_, position, text.constData(), sqlite3_uint64(text.size()),
                                     SQLITE_TRANSIENT, SQLITE_UTF8);
            break;
        }
        }
    }
    if (rc != SQLITE_OK)
        SqliteError::Throw(db_, rc);
}

bool SqliteStatement::Step() {
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    // The message must be taken before the reset replaces it.
    const QString message = SqliteError::Message(db_, rc);
    sqlite3_reset(stmt_);
    throw EProviderError(message);
}

void SqliteStatement::Run() {
    while (Step()) {
    }
}

void SqliteStatement::Reset() {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
}

int SqliteStatement::ColumnCount() const {
    return sqlite3_column_count(stmt_);
}

TValue SqliteStatement::Column(int index) const {
    // One look-up of the column's value, then the value's own accessors:
    // each column accessor of the statement would look the column up again
    // and check the handle's state. The statement is used by one thread.
    sqlite3_value *value = sqlite3_column_value(stmt_, index);
    switch (sqlite3_value_type(value)) {
    case SQLITE_INTEGER:
        return TValue(qint64(sqlite3_value_int64(value)));
    case SQLITE_FLOAT:
        return TValue(sqlite3_value_double(value));
    case SQLITE_TEXT: {
        const auto *text = reinterpret_cast<const char *>(sqlite3_value_text(value));
        return TValue(QString::fromUtf8(text, sqlite3_value_bytes(value)));
    }
    case SQLITE_BLOB: {
        const auto *data = static_cast<const char *>(sqlite3_value_blob(value));
        return TValue(QByteArray(data, sqlite3_value_bytes(value)));
    }
    default:
        return TValue();
    }
}

qint64 SqliteStatement::Int64(int index) const {
    return sqlite3_column_int64(stmt_, index);
}

int SqliteStatement::StorageClass(int index) const {
    return sqlite3_column_type(stmt_, index);
}

QString SqliteStatement::Sql() const {
    return QString::fromUtf8(sqlite3_sql(stmt_));
}
