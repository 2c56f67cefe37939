#include "support/PgRawConnection.h"

#include <libpq-fe.h>
#include <memory>
#include <vector>

namespace {

// Type ids of the server's built-in types (pg_type.oid), which never change.
constexpr Oid kBool = 16;
constexpr Oid kBytea = 17;
constexpr Oid kInt8 = 20;
constexpr Oid kInt2 = 21;
constexpr Oid kInt4 = 23;
constexpr Oid kOid = 26;
constexpr Oid kFloat4 = 700;
constexpr Oid kFloat8 = 701;

using Result = std::unique_ptr<PGresult, void (*)(PGresult *)>;

QVariant ValueOf(const PGresult *result, int row, int column) {
    if (PQgetisnull(result, row, column))
        return QVariant();
    const char *text = PQgetvalue(result, row, column);
    const int length = PQgetlength(result, row, column);
    switch (PQftype(result, column)) {
    case kInt2:
    case kInt4:
    case kInt8:
    case kOid:
        return QVariant(QByteArray(text, length).toLongLong());
    case kFloat4:
    case kFloat8:
        return QVariant(QByteArray(text, length).toDouble());
    case kBool:
        return QVariant(text[0] == 't');
    case kBytea: {
        size_t size = 0;
        unsigned char *bytes =
            PQunescapeBytea(reinterpret_cast<const unsigned char *>(text), &size);
        const QByteArray value(reinterpret_cast<const char *>(bytes), int(size));
        PQfreemem(bytes);
        return QVariant(value);
    }
    default:
        return QVariant(QString::fromUtf8(text, length));
    }
}

QByteArray TextOf(const QVariant &value) {
    switch (value.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
        return QByteArray::number(value.toDouble(), 'g', 17);
    case QMetaType::Bool:
        return value.toBool() ? "true" : "false";
    case QMetaType::QByteArray:
        return value.toByteArray();
    default:
        return value.toString().toUtf8();
    }
}

// Runs `sql`; the result, or null with the message in `error`.
Result Run(PGconn *conn, const QString &sql, const QVariantList &params, QString *error) {
    const QByteArray text = sql.toUtf8();
    PGresult *raw = nullptr;
    if (params.isEmpty()) {
        raw = PQexec(conn, text.constData());
    } else {
        std::vector<QByteArray> storage;
        std::vector<const char *> values;
        storage.reserve(size_t(params.size()));
        for (const QVariant &param : params) {
            if (!param.isValid() || param.isNull()) {
                values.push_back(nullptr);
                continue;
            }
            storage.push_back(TextOf(param));
            values.push_back(storage.back().constData());
        }
        raw = PQexecParams(conn, text.constData(), int(values.size()), nullptr, values.data(),
                           nullptr, nullptr, 0);
    }
    Result result(raw, PQclear);
    const ExecStatusType status = result ? PQresultStatus(raw) : PGRES_FATAL_ERROR;
    if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK)
        return result;
    *error = QString::fromUtf8(result ? PQresultErrorMessage(raw) : PQerrorMessage(conn)).trimmed();
    result.reset();
    return result;
}

} // namespace

PgRawConnection::PgRawConnection(const QString &conninfo) {
    conn_ = PQconnectdb(conninfo.toUtf8().constData());
    if (!conn_)
        throw Error("cannot connect to the test server: out of memory");
    if (PQstatus(conn_) != CONNECTION_OK) {
        const std::string message =
            "cannot connect with '" + conninfo.toStdString() +
            "': " + QString::fromUtf8(PQerrorMessage(conn_)).trimmed().toStdString();
        PQfinish(conn_);
        conn_ = nullptr;
        throw Error(message);
    }
    PQsetClientEncoding(conn_, "UTF8");
}

PgRawConnection::~PgRawConnection() {
    if (conn_)
        PQfinish(conn_);
}

PgRawConnection::Rows PgRawConnection::Exec(const QString &sql, const QVariantList &params) {
    QString error;
    const Result result = Run(conn_, sql, params, &error);
    if (!result)
        throw Error("SQL failed: " + sql.toStdString() + "\n  " + error.toStdString());
    Rows rows;
    const int count = PQntuples(result.get());
    const int columns = PQnfields(result.get());
    rows.reserve(count);
    for (int row = 0; row < count; ++row) {
        Row values;
        values.reserve(columns);
        for (int column = 0; column < columns; ++column)
            values.append(ValueOf(result.get(), row, column));
        rows.append(values);
    }
    return rows;
}

QVariant PgRawConnection::Scalar(const QString &sql, const QVariantList &params) {
    const Rows rows = Exec(sql, params);
    if (rows.isEmpty() || rows.front().isEmpty())
        return QVariant();
    return rows.front().front();
}

QString PgRawConnection::ErrorOf(const QString &sql, const QVariantList &params) {
    QString error;
    Run(conn_, sql, params, &error);
    return error;
}

int PgRawConnection::TerminateOtherBackends(const QString &dbname) {
    // The sessions are listed first and ended one by one: in one statement
    // the server may evaluate the ending before the filter and end this
    // session too. The two-argument form waits (here up to 10 s) until the
    // session has ended, so the caller sees it gone.
    const Rows sessions = Exec(QStringLiteral("SELECT pid FROM pg_stat_activity "
                                              "WHERE datname = $1 AND pid <> pg_backend_pid()"),
                               {dbname});
    int ended = 0;
    for (const Row &session : sessions)
        if (Scalar(QStringLiteral("SELECT pg_terminate_backend($1, 10000)"), {session.front()})
                .toBool())
            ++ended;
    return ended;
}
