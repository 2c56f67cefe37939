#include "postgres/PgQueryClone.h"

#include "data/DatabaseErrors.h"
#include "postgres/PgQueryRows.h"

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

PgQueryClone::PgQueryClone(std::shared_ptr<PgQueryRows> rows, QStringList columnNames)
    : rows_(std::move(rows)), columnNames_(std::move(columnNames)) {}

std::optional<TBookmark> PgQueryClone::FindFirst(const QString &columnName, const TValue &value,
                                                 const TLocateOptions &options) {
    int column = -1;
    for (int i = 0; i < columnNames_.size() && column < 0; ++i) {
        if (columnNames_[i].compare(columnName, Qt::CaseInsensitive) == 0)
            column = i;
    }
    if (column < 0)
        throw EProviderError(QStringLiteral("The result has no column '%1'.").arg(columnName));
    PgRowStore &store = rows_->Store();
    for (int row = 0; rows_->Reach(row); ++row) {
        if (store.Deleted(row))
            continue;
        const QVector<TValue> &values = store.Values(row);
        const TValue stored = column < values.size() ? values[column] : TValue();
        if (options.None() ? Matches(stored, value) : LocateTextMatches(stored, value, options))
            return row;
    }
    return std::nullopt;
}

bool PgQueryClone::Matches(const TValue &stored, const TValue &wanted) {
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
