#include "data/DataTypes.h"

TFieldType FieldTypeForColumn(int code, bool autoIncrement) {
    using namespace ColumnType;
    switch (code) {
    case SmallInt:
    case TinyInt:
        return ftSmallint;
    case Integer:
    case Error:
    case UnsignedInt:
        return autoIncrement ? ftAutoInc : ftInteger;
    case Currency:
    case Decimal:
    case Numeric:
    case VarNumeric:
        return ftBCD;
    case Single:
    case Double:
        return ftFloat;
    case Date:
    case FileTime:
    case DBTimeStamp:
    case DBFileTime:
        return ftDateTime;
    case DBDate:
        return ftDate;
    case DBTime:
        return ftTime;
    case Boolean:
        return ftBoolean;
    case UnsignedTinyInt:
    case UnsignedSmallInt:
        return ftWord;
    case BigInt:
    case UnsignedBigInt:
        return ftLargeint;
    case WideString:
    case WideChar:
    case VarWChar:
        return ftWideString;
    case VarChar:
        return ftString;
    case Char:
        return ftFixedChar;
    case LongVarChar:
    case LongVarWChar:
        return ftMemo;
    case LongVarBinary:
        return ftBlob;
    case Binary:
        return ftBytes;
    case VarBinary:
        return ftVarBytes;
    case Guid:
        return ftGuid;
    case Variant:
    case PropVariant:
        return ftVariant;
    default:
        return ftUnknown;
    }
}
