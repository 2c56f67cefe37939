#pragma once

#include "data/DataTypes.h"

#include <QString>

struct pg_result;

// The rows of one finished statement (libpq's result), owned and freed by
// this object. Values are converted by the column's type: integers (and
// booleans, as 1 or 0) to qint64, reals and numerics to double, bytea to
// QByteArray, everything else to QString; a null is an invalid TValue.
class PgResult {
public:
    PgResult() = default;
    explicit PgResult(pg_result *result) : result_(result) {}
    ~PgResult();
    PgResult(PgResult &&other) noexcept : result_(other.result_) { other.result_ = nullptr; }
    PgResult &operator=(PgResult &&other) noexcept;
    PgResult(const PgResult &) = delete;
    PgResult &operator=(const PgResult &) = delete;

    int Rows() const;
    int Columns() const;
    QString ColumnName(int column) const;
    // The type of the column as the server reports it (a domain shows as its
    // base type); the table and column number it comes from, 0 when it is
    // no stored column.
    unsigned ColumnType(int column) const;
    unsigned ColumnTable(int column) const;
    int ColumnTableNumber(int column) const;
    bool IsNull(int row, int column) const;
    TValue Value(int row, int column) const;
    // The number of rows an INSERT, UPDATE or DELETE touched.
    qint64 AffectedRows() const;

    // A stored value of type `type` in the server's text form, converted as
    // Value does.
    static TValue Convert(unsigned type, const char *text, int length);

private:
    pg_result *result_ = nullptr;
};
