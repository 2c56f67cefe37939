#include "postgres/PgResult.h"

#include <QtNumeric>

#include <libpq-fe.h>

namespace {
// Type ids of the server's built-in types (fixed in its catalog).
constexpr unsigned kBool = 16;
constexpr unsigned kBytea = 17;
constexpr unsigned kInt8 = 20;
constexpr unsigned kInt2 = 21;
constexpr unsigned kInt4 = 23;
constexpr unsigned kOid = 26;
constexpr unsigned kFloat4 = 700;
constexpr unsigned kFloat8 = 701;
constexpr unsigned kNumeric = 1700;
} // namespace

PgResult::~PgResult() {
    if (result_)
        PQclear(result_);
}

PgResult &PgResult::operator=(PgResult &&other) noexcept {
    if (this != &other) {
        if (result_)
            PQclear(result_);
        result_ = other.result_;
        other.result_ = nullptr;
    }
    return *this;
}

int PgResult::Rows() const {
    return result_ ? PQntuples(result_) : 0;
}

int PgResult::Columns() const {
    return result_ ? PQnfields(result_) : 0;
}

QString PgResult::ColumnName(int column) const {
    return QString::fromUtf8(PQfname(result_, column));
}

unsigned PgResult::ColumnType(int column) const {
    return PQftype(result_, column);
}

unsigned PgResult::ColumnTable(int column) const {
    return PQftable(result_, column);
}

int PgResult::ColumnTableNumber(int column) const {
    return PQftablecol(result_, column);
}

bool PgResult::IsNull(int row, int column) const {
    return PQgetisnull(result_, row, column) != 0;
}

TValue PgResult::Value(int row, int column) const {
    if (PQgetisnull(result_, row, column))
        return TValue();
    return Convert(PQftype(result_, column), PQgetvalue(result_, row, column),
                   PQgetlength(result_, row, column));
}

qint64 PgResult::AffectedRows() const {
    const char *text = result_ ? PQcmdTuples(result_) : "";
    return *text ? QByteArray(text).toLongLong() : 0;
}

TValue PgResult::Convert(unsigned type, const char *text, int length) {
    switch (type) {
    case kInt2:
    case kInt4:
    case kInt8:
    case kOid:
        return TValue(QByteArray::fromRawData(text, length).toLongLong());
    case kBool:
        return TValue(qint64(length > 0 && text[0] == 't' ? 1 : 0));
    case kFloat4:
    case kFloat8:
    case kNumeric: {
        const QByteArray number = QByteArray::fromRawData(text, length);
        if (number == "NaN")
            return TValue(qQNaN());
        if (number == "Infinity")
            return TValue(qInf());
        if (number == "-Infinity")
            return TValue(-qInf());
        return TValue(number.toDouble());
    }
    case kBytea: {
        size_t size = 0;
        unsigned char *bytes =
            PQunescapeBytea(reinterpret_cast<const unsigned char *>(text), &size);
        if (!bytes)
            return TValue(QByteArray());
        QByteArray value(reinterpret_cast<const char *>(bytes), qsizetype(size));
        PQfreemem(bytes);
        return TValue(value);
    }
    default:
        return TValue(QString::fromUtf8(text, length));
    }
}
