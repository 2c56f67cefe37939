#include "postgres/PgColumnType.h"

#include "postgres/PgConnection.h"
#include "postgres/PgResult.h"
#include "postgres/PgTableColumns.h"

namespace {

// Type ids of the server's built-in types (fixed in its catalogue).
constexpr unsigned kBool = 16;
constexpr unsigned kBytea = 17;
constexpr unsigned kChar = 18;
constexpr unsigned kName = 19;
constexpr unsigned kInt8 = 20;
constexpr unsigned kInt2 = 21;
constexpr unsigned kInt4 = 23;
constexpr unsigned kText = 25;
constexpr unsigned kOid = 26;
constexpr unsigned kFloat4 = 700;
constexpr unsigned kFloat8 = 701;
constexpr unsigned kBpchar = 1042;
constexpr unsigned kVarchar = 1043;
constexpr unsigned kNumeric = 1700;

// The size a character type's modifier declares, 0 for none.
int CharacterSize(int typmod) {
    return typmod > 4 ? typmod - 4 : 0;
}

} // namespace

PgColumnType::Mapping PgColumnType::FromCatalog(const QString &typeName,
                                                const QString &baseTypeName, int typmod) {
    using namespace ColumnType;
    Mapping result;
    // The program's date-time columns are a domain of that name: days since
    // 30 December 1899 as double precision, as the file keeps them.
    if (!baseTypeName.isEmpty() &&
        typeName.compare(QLatin1String("DATETIME"), Qt::CaseInsensitive) == 0) {
        result.code = Date;
        return result;
    }
    const QString name = baseTypeName.isEmpty() ? typeName : baseTypeName;
    if (name == QLatin1String("varchar") || name == QLatin1String("bpchar")) {
        const int size = CharacterSize(typmod);
        result.code = size > 0 ? VarWChar : LongVarWChar;
        result.size = size;
        return result;
    }
    struct Named {
        const char *name;
        int code;
    };
    static const Named named[] = {
        {"text", LongVarWChar},   {"int8", Integer},     {"int4", Integer},    {"int2", SmallInt},
        {"float8", Double},       {"float4", Single},    {"numeric", Numeric}, {"bool", Boolean},
        {"bytea", LongVarBinary}, {"date", DBDate},      {"time", DBTime},     {"timetz", DBTime},
        {"timestamp", Date},      {"timestamptz", Date}, {"uuid", Guid},       {"money", Currency},
        {"name", VarWChar},       {"oid", Integer},
    };
    for (const Named &entry : named) {
        if (name == QLatin1String(entry.name)) {
            result.code = entry.code;
            return result;
        }
    }
    result.code = Variant;
    return result;
}

int PgColumnType::FromResultType(unsigned typeOid) {
    using namespace ColumnType;
    switch (typeOid) {
    case kInt2:
    case kInt4:
    case kInt8:
    case kOid:
    case kBool:
        return BigInt;
    case kFloat4:
    case kFloat8:
    case kNumeric:
        return Double;
    case kText:
    case kVarchar:
    case kBpchar:
    case kName:
    case kChar:
        return VarWChar;
    case kBytea:
        return LongVarBinary;
    default:
        return Variant;
    }
}

QVector<PgColumnType::Described> PgColumnType::Describe(const PgResult &result,
                                                        PgTableColumns &catalogue,
                                                        PgConnection &connection) {
    QVector<unsigned> tables;
    for (int i = 0; i < result.Columns(); ++i) {
        if (result.ColumnTable(i) != 0)
            tables << result.ColumnTable(i);
    }
    catalogue.Load(connection, tables);
    QVector<Described> columns;
    for (int i = 0; i < result.Columns(); ++i) {
        Described described;
        described.info.name = result.ColumnName(i);
        const PgTableColumns::Table *table = catalogue.Find(result.ColumnTable(i));
        const PgTableColumns::Column *stored =
            table ? table->ColumnNumbered(result.ColumnTableNumber(i)) : nullptr;
        if (stored) {
            described.info.typeCode = stored->info.typeCode;
            described.info.size = stored->info.size;
            described.info.autoIncrement = stored->info.autoIncrement;
            described.originTable = table->oid;
            described.originColumn = stored->number;
            described.originTableName = table->name;
            described.originColumnName = stored->name;
            described.generated = stored->generated;
        } else {
            described.info.typeCode = FromResultType(result.ColumnType(i));
        }
        columns << described;
    }
    return columns;
}
