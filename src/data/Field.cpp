#include "data/Field.h"

#include "data/DateTimeValue.h"
#include "data/RecordCursor.h"

#include <QLocale>
#include <cmath>
#include <limits>

namespace {
bool IsNumeric(const TValue &value) {
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Bool:
        return true;
    default:
        return false;
    }
}

[[noreturn]] void Invalid(const QString &format, const QString &text) {
    throw EDatabaseError(format.arg(text));
}

double ToDateTime(const TValue &value) {
    if (ValueIsNull(value))
        return 0.0;
    if (IsNumeric(value))
        return value.toDouble();
    const QString text = value.toString();
    if (auto parsed = DateTimeValue::Parse(text))
        return *parsed;
    const QDateTime iso = QDateTime::fromString(text, Qt::ISODate);
    if (iso.isValid())
        return DateTimeValue::FromDateTime(iso);
    Invalid(QStringLiteral("'%1' is not a valid date and time"), text);
}
} // namespace

TField::TField(TRecordCursor *cursor, int column, QString name, TFieldType type, int size,
               bool readOnly)
    : cursor_(cursor), column_(column), index_(column), name_(std::move(name)), type_(type),
      size_(size), readOnly_(readOnly) {}

bool TField::IsInteger() const {
    switch (type_) {
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftAutoInc:
    case ftLargeint:
        return true;
    default:
        return false;
    }
}

bool TField::IsText() const {
    switch (type_) {
    case ftString:
    case ftFixedChar:
    case ftWideString:
    case ftMemo:
    case ftFmtMemo:
    case ftGuid:
        return true;
    default:
        return false;
    }
}

TValue TField::Value() const {
    return cursor_->FieldValue(this);
}

bool TField::IsNull() const {
    return ValueIsNull(Value());
}

QString TField::TextValue() const {
    return TextOf(Value());
}

QString TField::TextOf(const TValue &value) const {
    if (ValueIsNull(value))
        return QString();
    const bool dateType = type_ == ftDateTime || type_ == ftDate || type_ == ftTime;
    if (dateType && !IsNumeric(value) && !DateTimeValue::Parse(value.toString()))
        return value.toString(); // a stored text that is no date shows as it is
    switch (type_) {
    case ftDateTime:
        return DateTimeValue::DateTimeText(ToDateTime(value));
    case ftDate:
        return DateTimeValue::ShortDateText(ToDateTime(value));
    case ftTime:
        return DateTimeValue::LongTimeText(ToDateTime(value));
    case ftBoolean:
        return value.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case ftFloat:
    case ftCurrency:
    case ftBCD:
        if (IsNumeric(value))
            return QString::number(value.toDouble(), 'g', 15);
        return value.toString();
    default:
        if (IsInteger() && IsNumeric(value))
            return QString::number(value.toLongLong());
        return value.toString();
    }
}

int TField::IntegerValue() const {
    const TValue value = Value();
    if (ValueIsNull(value))
        return 0;
    if (IsNumeric(value))
        return int(value.toLongLong());
    bool ok = false;
    const int result = value.toString().trimmed().toInt(&ok);
    if (!ok)
        Invalid(QStringLiteral("'%1' is not a valid integer value"), value.toString());
    return result;
}

double TField::DateTimeValue() const {
    return ToDateTime(Value());
}

void TField::CheckRange(double value) const {
    double low = 0, high = 0;
    switch (type_) {
    case ftSmallint:
        low = -32768;
        high = 32767;
        break;
    case ftWord:
        low = 0;
        high = 65535;
        break;
    case ftInteger:
    case ftAutoInc:
        low = std::numeric_limits<std::int32_t>::min();
        high = std::numeric_limits<std::int32_t>::max();
        break;
    default:
        return;
    }
    if (value < low || value > high)
        throw EDatabaseError(
            QString::asprintf("%g is not a valid value for field '%s'. The allowed range is %g "
                              "to %g",
                              value, DisplayTitle().toUtf8().constData(), low, high));
}

// The value in this field's own representation, checked for its type.
TValue TField::Converted(const TValue &value) const {
    if (ValueIsNull(value))
        return TValue();
    const bool text = value.typeId() == QMetaType::QString;
    if (text && value.toString().isEmpty())
        return TValue();
    if (IsInteger()) {
        double number;
        if (text) {
            bool ok = false;
            const qlonglong parsed = value.toString().trimmed().toLongLong(&ok);
            if (!ok)
                Invalid(QStringLiteral("'%1' is not a valid integer value"), value.toString());
            number = double(parsed);
        } else {
            number = value.toDouble();
            if (number != std::trunc(number))
                number = std::round(number);
        }
        CheckRange(number);
        return TValue(qint64(number));
    }
    switch (type_) {
    case ftFloat:
    case ftCurrency:
    case ftBCD: {
        if (!text)
            return TValue(value.toDouble());
        bool ok = false;
        double number = value.toString().trimmed().toDouble(&ok);
        if (!ok)
            number = QLocale().toDouble(value.toString().trimmed(), &ok);
        if (!ok)
            Invalid(QStringLiteral("'%1' is not a valid floating point value"), value.toString());
        return TValue(number);
    }
    case ftDateTime:
    case ftDate:
    case ftTime:
        return TValue(ToDateTime(value));
    case ftBoolean: {
        if (!text)
            return TValue(qint64(value.toBool() ? 1 : 0));
        const QString word = value.toString().trimmed().toLower();
        if (word == QLatin1String("true") || word == QLatin1String("yes") || word == "1")
            return TValue(qint64(1));
        if (word == QLatin1String("false") || word == QLatin1String("no") || word == "0")
            return TValue(qint64(0));
        Invalid(QStringLiteral("'%1' is not a valid boolean value"), value.toString());
    }
    default:
        if (IsText())
            return TValue(value.toString());
        return value;
    }
}

void TField::SetValue(const TValue &value) {
    cursor_->AssignField(this, value);
}

void TField::SetTextValue(const QString &text) {
    SetValue(TValue(text));
}

void TField::SetIntegerValue(int value) {
    if (IsText())
        SetValue(TValue(QString::number(value)));
    else
        SetValue(TValue(qint64(value)));
}

void TField::SetDateTimeValue(double value) {
    if (IsText())
        SetValue(TValue(DateTimeValue::DateTimeText(value)));
    else
        SetValue(TValue(value));
}
