#include "data/LocateOptions.h"

namespace {

bool IsInteger(const TValue &value) {
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Bool:
        return true;
    default:
        return false;
    }
}

bool IsNumber(const TValue &value) {
    return IsInteger(value) || value.typeId() == QMetaType::Double ||
           value.typeId() == QMetaType::Float || value.typeId() == QMetaType::ULongLong ||
           value.typeId() == QMetaType::ULong;
}

} // namespace

bool LocateValueMatches(const TValue &stored, const TValue &wanted) {
    if (ValueIsNull(stored) || ValueIsNull(wanted))
        return ValueIsNull(stored) && ValueIsNull(wanted);
    if (IsNumber(stored)) {
        if (IsInteger(stored) && IsInteger(wanted))
            return stored.toLongLong() == wanted.toLongLong();
        bool ok = false;
        const double number = wanted.toDouble(&ok);
        return ok && stored.toDouble() == number;
    }
    if (stored.typeId() == QMetaType::QByteArray && wanted.typeId() == QMetaType::QByteArray)
        return stored.toByteArray() == wanted.toByteArray();
    return stored.toString() == wanted.toString();
}
