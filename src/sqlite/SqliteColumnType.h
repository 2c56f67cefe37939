#pragma once

#include "data/DataTypes.h"

#include "data/ColumnInfo.h"

#include <QString>

struct sqlite3_stmt;

// Column type codes for the engine's declared column types and storage
// classes, and the value shapes that go with them.
class SqliteColumnType {
public:
    struct Mapping {
        int code = ColumnType::Variant;
        int size = 0; // the declared size "(n)" of a text column, else 0
    };

    // The type code of a declared type such as "VARCHAR(30)", "LONGTEXT",
    // "INTEGER" or "DATETIME". Texts with a size are variable wide texts,
    // texts without one long texts (memos).
    static Mapping FromDeclaredType(const QString &declaredType);
    // The type code of a value's storage class (SQLITE_INTEGER, ...), for
    // columns without a declared type.
    static int FromStorageClass(int storageClass);
    // The value as the column's type reads it: the engine stores whole reals
    // of numeric columns as integers, but a date-time or floating point
    // column always reads as a real.
    static TValue Normalize(int code, TValue value);

    struct Described {
        TColumnInfo info;    // updatable is left false for the caller to decide
        QString originTable; // empty for expressions
        QString originColumn;
    };
    // A result column of a prepared statement: its name, its type and size
    // from the declared type of the column it comes from (through aliases),
    // the auto-increment flag from the table's metadata. A column without a
    // declared type takes its type from the value in the current row when
    // `rowRead`, else it is a variant.
    static Described Describe(sqlite3_stmt *statement, int column, bool rowRead);
};
