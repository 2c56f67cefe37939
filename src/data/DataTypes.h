#pragma once

#include <QVariant>
#include <cstdint>

// Value of one field or column. An invalid QVariant is the database null;
// otherwise it holds qint64 (integers), double (reals and date-time values),
// QString (text) or QByteArray (binary).
using TValue = QVariant;

inline bool ValueIsNull(const TValue &v) {
    return !v.isValid() || v.isNull();
}

// Opaque identity of one row within one opening of a row source.
using TBookmark = std::int64_t;

// Field types, in their fixed order from 0.
enum TFieldType {
    ftUnknown,
    ftString,
    ftSmallint,
    ftInteger,
    ftWord,
    ftBoolean,
    ftFloat,
    ftCurrency,
    ftBCD,
    ftDate,
    ftTime,
    ftDateTime,
    ftBytes,
    ftVarBytes,
    ftAutoInc,
    ftBlob,
    ftMemo,
    ftGraphic,
    ftFmtMemo,
    ftParadoxOle,
    ftDBaseOle,
    ftTypedBinary,
    ftCursor,
    ftFixedChar,
    ftWideString,
    ftLargeint,
    ftADT,
    ftArray,
    ftReference,
    ftDataSet,
    ftOraBlob,
    ftOraClob,
    ftVariant,
    ftInterface,
    ftIDispatch,
    ftGuid
};

enum TFieldKind { fkData, fkCalculated, fkLookup, fkInternalCalc, fkAggregate };

enum TCursorState { stInactive, stBrowse, stEdit, stInsert };

enum TCursorLocation { clUseClient, clUseServer };

enum TCursorType { ctUnspecified, ctOpenForwardOnly, ctKeyset, ctDynamic, ctStatic };

enum TLockType { ltUnspecified, ltReadOnly, ltPessimistic, ltOptimistic, ltBatchOptimistic };

// What an OnEditError, OnPostError or OnDeleteError handler decides.
enum TDataAction { daFail, daAbort, daRetry };

// Notifications a cursor sends to its data sources.
enum TDataEvent {
    neFieldEdited,
    neRecordEdited,
    neRowsRefilled,
    neScrolled,
    neLayoutChanged,
    neFlushControls,
    neStateChanged,
    neSettle,
    neFocusField
};

// Column type codes a row source reports (the classic provider data type
// enumeration), from which the field types follow.
namespace ColumnType {
enum : int {
    SmallInt = 2,
    Integer = 3,
    Single = 4,
    Double = 5,
    Currency = 6,
    Date = 7,
    WideString = 8,
    Error = 10,
    Boolean = 11,
    Variant = 12,
    Decimal = 14,
    TinyInt = 16,
    UnsignedTinyInt = 17,
    UnsignedSmallInt = 18,
    UnsignedInt = 19,
    BigInt = 20,
    UnsignedBigInt = 21,
    FileTime = 64,
    Guid = 72,
    Binary = 128,
    Char = 129,
    WideChar = 130,
    Numeric = 131,
    DBDate = 133,
    DBTime = 134,
    DBTimeStamp = 135,
    DBFileTime = 137,
    PropVariant = 138,
    VarNumeric = 139,
    VarChar = 200,
    LongVarChar = 201,
    VarWChar = 202,
    LongVarWChar = 203,
    VarBinary = 204,
    LongVarBinary = 205
};
}

// Field type for a column type code; counters become ftAutoInc.
TFieldType FieldTypeForColumn(int columnTypeCode, bool autoIncrement);
