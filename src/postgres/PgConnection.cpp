#include "postgres/PgConnection.h"

#include "data/DatabaseErrors.h"

#include <QByteArray>
#include <vector>

#include <libpq-fe.h>

namespace {
constexpr unsigned kInt8 = 20;
constexpr unsigned kFloat8 = 701;
constexpr unsigned kBytea = 17;

// libpq's messages end in a line break and may run over several lines.
QString FirstLines(const char *text) {
    return QString::fromUtf8(text ? text : "").simplified();
}

QString ServerOf(const pg_conn *conn) {
    if (!conn)
        return QStringLiteral("(unknown server)");
    const QString host = QString::fromUtf8(PQhost(conn));
    const QString port = QString::fromUtf8(PQport(conn));
    return port.isEmpty() ? host : host + QLatin1Char(':') + port;
}

// The SQLSTATEs of a session that is gone: the connection exceptions (but
// not a protocol violation, which the session survives) and the server
// ending the session.
bool IsLostState(const QByteArray &state) {
    return (state.startsWith("08") && state != "08P01") || state == "57P01" || state == "57P02" ||
           state == "57P03";
}
} // namespace

PgConnection::PgConnection(pg_conn *conn, QString conninfo, QString password)
    : conn_(conn), conninfo_(std::move(conninfo)), password_(std::move(password)) {}

PgConnection::~PgConnection() {
    if (conn_)
        PQfinish(conn_);
}

std::shared_ptr<PgConnection> PgConnection::Open(const QString &conninfo, const QString &password) {
    pg_conn *conn = Connect(conninfo, password);
    return std::shared_ptr<PgConnection>(new PgConnection(conn, conninfo, password));
}

std::shared_ptr<PgConnection> PgConnection::Another() const {
    return Open(conninfo_, password_);
}

pg_conn *PgConnection::Connect(const QString &conninfo, const QString &password) {
    // The conninfo's own keys first, then the ones the program sets: its
    // name for the server's activity list, a bounded wait for a server that
    // does not answer, and the password the user typed (never stored).
    QByteArrayList keys{"dbname", "application_name", "connect_timeout", "client_encoding"};
    QByteArrayList values{conninfo.toUtf8(), "Corvana", "10", "UTF8"};
    if (!password.isEmpty()) {
        keys << "password";
        values << password.toUtf8();
    }
    std::vector<const char *> keyPointers, valuePointers;
    for (int i = 0; i < keys.size(); ++i) {
        keyPointers.push_back(keys[i].constData());
        valuePointers.push_back(values[i].constData());
    }
    keyPointers.push_back(nullptr);
    valuePointers.push_back(nullptr);
    // expand_dbname: the first "dbname" value is read as a whole conninfo.
    pg_conn *conn = PQconnectdbParams(keyPointers.data(), valuePointers.data(), 1);
    if (!conn)
        throw EProviderError(
            QStringLiteral("The database server cannot be reached: out of memory."));
    if (PQstatus(conn) == CONNECTION_OK) {
        // Text values in the program's own terms: dates never come from the
        // server, reals come back exactly.
        PGresult *setup = PQexec(conn, "SET extra_float_digits = 3");
        PQclear(setup);
        return conn;
    }
    const QString server = ServerOf(conn);
    const QString user = QString::fromUtf8(PQuser(conn));
    const QString reason = FirstLines(PQerrorMessage(conn));
    const bool needsPassword = PQconnectionNeedsPassword(conn) != 0;
    const bool usedPassword = PQconnectionUsedPassword(conn) != 0;
    const bool authFailed = reason.contains(QLatin1String("password authentication failed")) ||
                            reason.contains(QLatin1String("authentication failed"));
    PQfinish(conn);
    if (needsPassword && password.isEmpty())
        throw EPasswordNeeded(
            QStringLiteral("The database server at %1 asks for the password of user '%2'.")
                .arg(server, user),
            false);
    if (usedPassword && authFailed)
        throw EPasswordNeeded(
            QStringLiteral("The database server at %1 did not accept the password for user '%2'.")
                .arg(server, user),
            true);
    throw EProviderError(
        QStringLiteral("The database server at %1 cannot be reached: %2").arg(server, reason));
}

void PgConnection::EnsureConnected() {
    if (!lost_ && PQstatus(conn_) == CONNECTION_OK)
        return;
    // A new session in place of the lost one; the old one's transaction and
    // settings are gone with it.
    pg_conn *fresh = nullptr;
    try {
        fresh = Connect(conninfo_, password_);
    } catch (const EPasswordNeeded &) {
        throw;
    } catch (const EProviderError &error) {
        throw EProviderError(error.Message() +
                             QStringLiteral(" The last command was not carried out; try again "
                                            "when the server is back."));
    }
    PQfinish(conn_);
    conn_ = fresh;
    lost_ = false;
}

PgResult PgConnection::Exec(const QString &sql, const QVector<TValue> &params) {
    EnsureConnected();
    const QByteArray text = sql.toUtf8();
    const int count = int(params.size());
    std::vector<QByteArray> storage(static_cast<size_t>(count));
    std::vector<const char *> values(size_t(count), nullptr);
    std::vector<int> lengths(size_t(count), 0);
    std::vector<int> formats(size_t(count), 0);
    std::vector<unsigned> types(size_t(count), 0);
    for (int i = 0; i < count; ++i) {
        const TValue &value = params[i];
        if (ValueIsNull(value))
            continue;
        QByteArray &bytes = storage[size_t(i)];
        switch (value.typeId()) {
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
        case QMetaType::Bool:
            bytes = QByteArray::number(value.toLongLong());
            types[size_t(i)] = kInt8;
            break;
        case QMetaType::Double:
        case QMetaType::Float: {
            const double number = value.toDouble();
            if (qIsNaN(number))
                bytes = "NaN";
            else if (qIsInf(number))
                bytes = number > 0 ? "Infinity" : "-Infinity";
            else
                bytes = QByteArray::number(number, 'g', 17);
            types[size_t(i)] = kFloat8;
            break;
        }
        case QMetaType::QByteArray:
            bytes = value.toByteArray();
            types[size_t(i)] = kBytea;
            formats[size_t(i)] = 1;
            lengths[size_t(i)] = int(bytes.size());
            break;
        default:
            bytes = value.toString().toUtf8();
            break;
        }
        values[size_t(i)] = bytes.constData();
    }
    PGresult *result =
        PQexecParams(conn_, text.constData(), count, count ? types.data() : nullptr,
                     count ? values.data() : nullptr, count ? lengths.data() : nullptr,
                     count ? formats.data() : nullptr, 0);
    const ExecStatusType status = result ? PQresultStatus(result) : PGRES_FATAL_ERROR;
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK && status != PGRES_EMPTY_QUERY)
        Fail(result, sql);
    const QByteArray command(PQcmdStatus(result));
    for (const char *changing : {"INSERT ", "UPDATE ", "DELETE ", "MERGE "}) {
        if (command.startsWith(changing))
            changes_ = QByteArray(PQcmdTuples(result)).toLongLong();
    }
    return PgResult(result);
}

void PgConnection::ExecScript(const QString &sql) {
    EnsureConnected();
    PGresult *result = PQexec(conn_, sql.toUtf8().constData());
    const ExecStatusType status = result ? PQresultStatus(result) : PGRES_FATAL_ERROR;
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK && status != PGRES_EMPTY_QUERY)
        Fail(result, sql);
    PQclear(result);
}

void PgConnection::TakeWriteLock() {
    // An advisory lock of the program's own number, so it never meets the
    // row locks of other writers; the time-out holds for this transaction.
    ExecScript(QStringLiteral("SET LOCAL lock_timeout = '5s'; "
                              "SELECT pg_advisory_xact_lock(1131377270)"));
}

bool PgConnection::InTransaction() const {
    const PGTransactionStatusType status = PQtransactionStatus(conn_);
    return status == PQTRANS_INTRANS || status == PQTRANS_INERROR || status == PQTRANS_ACTIVE;
}

QString PgConnection::ServerName() const {
    return ServerOf(conn_);
}

void PgConnection::Fail(pg_result *result, const QString &sql) {
    const QByteArray state = result ? QByteArray(PQresultErrorField(result, PG_DIAG_SQLSTATE)) : "";
    QString primary =
        result ? FirstLines(PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY)) : QString();
    const QString detail =
        result ? FirstLines(PQresultErrorField(result, PG_DIAG_MESSAGE_DETAIL)) : QString();
    if (primary.isEmpty())
        primary = FirstLines(PQerrorMessage(conn_));
    if (result)
        PQclear(result);
    if (PQstatus(conn_) != CONNECTION_OK || IsLostState(state)) {
        lost_ = true;
        throw EProviderError(
            QStringLiteral("The connection to the database server at %1 was lost (%2). Try "
                           "again: the program connects again.")
                .arg(ServerName(), primary));
    }
    // A failed statement inside a transaction leaves it unusable until it
    // is rolled back; the caller that opened it does so.
    Q_UNUSED(sql);
    if (state == "40001" || state == "40P01")
        throw EProviderError(
            QStringLiteral("The database is busy with another program's change; try again. (%1)")
                .arg(primary));
    if (state == "55P03")
        throw EProviderError(
            QStringLiteral("The database is locked by another program; try again later. (%1)")
                .arg(primary));
    throw EProviderError(
        detail.isEmpty() ? primary : primary + QStringLiteral(" (") + detail + QLatin1Char(')'));
}
