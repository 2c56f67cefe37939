#include "data/DateTimeValue.h"

#include <QLocale>
#include <QRegularExpression>
#include <cmath>

namespace {
const QDate kEpoch(1899, 12, 30);
constexpr double kMsPerDay = 86400000.0;
} // namespace

double DateTimeValue::FromDate(const QDate &date) {
    return double(kEpoch.daysTo(date));
}

double DateTimeValue::FromDateTime(const QDateTime &dateTime) {
    const double days = FromDate(dateTime.date());
    const double fraction = dateTime.time().msecsSinceStartOfDay() / kMsPerDay;
    // Before the epoch the fraction counts away from zero.
    return days < 0 ? days - fraction : days + fraction;
}

double DateTimeValue::DayOf(double value) {
    return std::trunc(value);
}

QDate DateTimeValue::ToDate(double value) {
    return kEpoch.addDays(qint64(std::trunc(value)));
}

QTime DateTimeValue::ToTime(double value) {
    double fraction = std::fabs(value - std::trunc(value));
    qint64 ms = qint64(std::llround(fraction * kMsPerDay));
    if (ms >= qint64(kMsPerDay))
        ms = qint64(kMsPerDay) - 1;
    return QTime::fromMSecsSinceStartOfDay(int(ms));
}

QDateTime DateTimeValue::ToDateTime(double value) {
    return QDateTime(ToDate(value), ToTime(value));
}

QString DateTimeValue::ShortDateFormat() {
    QString format = QLocale().dateFormat(QLocale::ShortFormat);
    if (!format.contains(QLatin1String("yyyy")))
        format.replace(QLatin1String("yy"), QLatin1String("yyyy"));
    return format;
}

QString DateTimeValue::LongTimeFormat() {
    QString format = QLocale().timeFormat(QLocale::LongFormat);
    // Drop the zone designators ('t', 'tt', ...) and the blanks around them;
    // quoted literals are left alone.
    QString result;
    bool quoted = false;
    for (QChar c : format) {
        if (c == QLatin1Char('\''))
            quoted = !quoted;
        if (!quoted && c == QLatin1Char('t'))
            continue;
        result += c;
    }
    return result.simplified();
}

QString DateTimeValue::ShortDateText(double value) {
    return QLocale().toString(ToDate(value), ShortDateFormat());
}

QString DateTimeValue::LongTimeText(double value) {
    return QLocale().toString(ToTime(value), LongTimeFormat());
}

QString DateTimeValue::DateTimeText(double value) {
    const QTime time = ToTime(value);
    QString text = ShortDateText(value);
    if (time.hour() != 0 || time.minute() != 0 || time.second() != 0)
        text += QLatin1Char(' ') + LongTimeText(value);
    return text;
}

std::optional<double> DateTimeValue::Parse(const QString &text) {
    const QString trimmed = text.trimmed();
    const QLocale locale;
    const QDate date = locale.toDate(trimmed, ShortDateFormat());
    if (date.isValid())
        return FromDate(date);
    const QDateTime dateTime =
        locale.toDateTime(trimmed, ShortDateFormat() + QLatin1Char(' ') + LongTimeFormat());
    if (dateTime.isValid())
        return FromDateTime(dateTime);
    return std::nullopt;
}
