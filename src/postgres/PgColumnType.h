#pragma once

#include "data/ColumnInfo.h"
#include "data/DataTypes.h"

#include <QString>
#include <QVector>

class PgConnection;
class PgResult;
class PgTableColumns;

// Column type codes for the server's column types, chosen so that a column
// of the server schema reports exactly what the file engine reports for the
// same column of the file schema (see SqliteColumnType::FromDeclaredType):
//
//   "DATETIME" (the domain over double precision)  Date
//   varchar(n), char(n)                            VarWChar, size n
//   text, varchar without a size                   LongVarWChar
//   bigint, integer                                Integer (the file's INTEGER
//                                                  columns are bigint on the server)
//   smallint                                       SmallInt
//   double precision / real                        Double / Single
//   numeric, boolean, bytea, date, time,
//   timestamp, uuid, money                         Numeric, Boolean,
//                                                  LongVarBinary, DBDate, DBTime,
//                                                  Date, Guid, Currency
//   anything else                                  Variant
//
// A column is auto-increment when the server fills it by itself: an identity
// column or a default taken from a sequence (serial).
class PgColumnType {
public:
    struct Mapping {
        int code = ColumnType::Variant;
        int size = 0; // the declared size of a text column, else 0
    };

    // The type code of a stored column from the catalogue: `typeName` is the
    // name of the column's declared type (pg_type.typname, a domain's own
    // name such as "DATETIME"), `baseTypeName` that of the type under a
    // domain (empty for a column that is no domain), `typmod` the declared
    // modifier (atttypmod, or the domain's typtypmod; -1 for none).
    static Mapping FromCatalog(const QString &typeName, const QString &baseTypeName, int typmod);
    // The type code of a result column that is no stored column (an
    // expression), from the type the server reports for it, as the file
    // engine types such a column by its storage class: integers BigInt,
    // reals Double, texts VarWChar, binary LongVarBinary, else Variant.
    static int FromResultType(unsigned typeOid);

    struct Described {
        TColumnInfo info;         // updatable is left false for the caller to decide
        unsigned originTable = 0; // the table's oid; 0 for an expression
        int originColumn = 0;     // the column's number in that table; 0 for an expression
        QString originTableName;  // stored spelling; empty for an expression
        QString originColumnName; // stored spelling; empty for an expression
        bool generated = false;   // the origin column is computed by the server
    };
    // Every column of a result: its name as the result gives it, its type,
    // size and auto-increment flag from the stored column it comes from
    // (looked up in `catalogue` through the result's origin table and column
    // number, so that a domain column is known by its domain rather than by
    // the base type the result reports), or from the result's own type for
    // an expression. Tables not yet in `catalogue` are read into it with one
    // query on `connection`. EProviderError when that query fails.
    static QVector<Described> Describe(const PgResult &result, PgTableColumns &catalogue,
                                       PgConnection &connection);
};
