#include "sqlite/SqliteColumnType.h"

#include <QRegularExpression>
#include <QStringList>
#include <sqlite3.h>

SqliteColumnType::Mapping SqliteColumnType::FromDeclaredType(const QString &declaredType) {
    using namespace ColumnType;
    static const QRegularExpression sizePattern(QStringLiteral("\\(\\s*(\\d+)"));
    Mapping result;
    const QString upper = declaredType.toUpper();
    const int parenthesis = upper.indexOf(QLatin1Char('('));
    const QString base = (parenthesis < 0 ? upper : upper.left(parenthesis)).simplified();
    const QRegularExpressionMatch sizeMatch = sizePattern.match(upper);
    const int size = sizeMatch.hasMatch() ? sizeMatch.captured(1).toInt() : 0;

    struct Named {
        const char *name;
        int code;
    };
    // Whole names first, so that "BIGINT" is not read as "INT", "DATETIME"
    // not as "DATE" and "LONGTEXT" not as "LONG".
    static const Named named[] = {
        {"LONGTEXT", LongVarWChar},
        {"LONGCHAR", LongVarWChar},
        {"MEMO", LongVarWChar},
        {"CLOB", LongVarWChar},
        {"NTEXT", LongVarWChar},
        {"TINYINT", UnsignedTinyInt},
        {"BYTE", UnsignedTinyInt},
        {"SMALLINT", SmallInt},
        {"SHORT", SmallInt},
        {"BIGINT", BigInt},
        {"INTEGER", Integer},
        {"INT", Integer},
        {"LONG", Integer},
        {"COUNTER", Integer},
        {"AUTOINCREMENT", Integer},
        {"DOUBLE", Double},
        {"DOUBLE PRECISION", Double},
        {"REAL", Double},
        {"FLOAT", Double},
        {"SINGLE", Single},
        {"DATETIME", Date},
        {"TIMESTAMP", Date},
        {"DATE", DBDate},
        {"TIME", DBTime},
        {"BOOLEAN", Boolean},
        {"BOOL", Boolean},
        {"BIT", Boolean},
        {"YESNO", Boolean},
        {"LOGICAL", Boolean},
        {"CURRENCY", Currency},
        {"MONEY", Currency},
        {"DECIMAL", Numeric},
        {"NUMERIC", Numeric},
        {"BLOB", LongVarBinary},
        {"BINARY", LongVarBinary},
        {"VARBINARY", LongVarBinary},
        {"LONGBINARY", LongVarBinary},
        {"IMAGE", LongVarBinary},
        {"GUID", Guid},
        {"UNIQUEIDENTIFIER", Guid},
    };
    for (const Named &entry : named) {
        if (base == QLatin1String(entry.name)) {
            result.code = entry.code;
            return result;
        }
    }
    if (base.contains(QLatin1String("CHAR")) || base.contains(QLatin1String("TEXT"))) {
        result.code = size > 0 ? VarWChar : LongVarWChar;
        result.size = size > 0 ? size : 0;
        return result;
    }
    // Other names by the engine's own affinity rules.
    if (base.contains(QLatin1String("INT")))
        result.code = Integer;
    else if (base.contains(QLatin1String("CLOB")))
        result.code = LongVarWChar;
    else if (base.contains(QLatin1String("BLOB")))
        result.code = LongVarBinary;
    else if (base.contains(QLatin1String("REAL")) || base.contains(QLatin1String("FLOA")) ||
             base.contains(QLatin1String("DOUB")))
        result.code = Double;
    else
        result.code = Variant;
    return result;
}

int SqliteColumnType::FromStorageClass(int storageClass) {
    using namespace ColumnType;
    switch (storageClass) {
    case SQLITE_INTEGER:
        return BigInt;
    case SQLITE_FLOAT:
        return Double;
    case SQLITE_TEXT:
        return VarWChar;
    case SQLITE_BLOB:
        return LongVarBinary;
    default:
        return Variant;
    }
}

TValue SqliteColumnType::Normalize(int code, TValue value) {
    using namespace ColumnType;
    if (value.typeId() != QMetaType::LongLong)
        return value;
    switch (code) {
    case Single:
    case Double:
    case Date:
    case DBDate:
    case DBTime:
    case DBTimeStamp:
    case Currency:
    case Numeric:
    case Decimal:
        return TValue(value.toDouble());
    default:
        return value;
    }
}

SqliteColumnType::Described SqliteColumnType::Describe(sqlite3_stmt *statement, int column,
                                                       bool rowRead) {
    Described result;
    result.info.name = QString::fromUtf8(sqlite3_column_name(statement, column));
    const char *declared = sqlite3_column_decltype(statement, column);
    if (declared) {
        const Mapping mapping = FromDeclaredType(QString::fromUtf8(declared));
        result.info.typeCode = mapping.code;
        result.info.size = mapping.size;
    } else {
        result.info.typeCode = rowRead ? FromStorageClass(sqlite3_column_type(statement, column))
                                       : int(ColumnType::Variant);
    }
    const char *database = sqlite3_column_database_name(statement, column);
    const char *table = sqlite3_column_table_name(statement, column);
    const char *origin = sqlite3_column_origin_name(statement, column);
    if (database && table && origin) {
        // Rows are written to the program's own database only.
        if (qstrcmp(database, "main") == 0) {
            result.originTable = QString::fromUtf8(table);
            result.originColumn = QString::fromUtf8(origin);
        }
        int autoIncrement = 0;
        if (sqlite3_table_column_metadata(sqlite3_db_handle(statement), database, table, origin,
                                          nullptr, nullptr, nullptr, nullptr,
                                          &autoIncrement) == SQLITE_OK)
            result.info.autoIncrement = autoIncrement != 0;
    }
    return result;
}
