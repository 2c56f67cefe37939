#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QTime>
#include <optional>

// The date-time value: days since 30 December 1899, midnight, as a double;
// the fraction is the time of day (its absolute value for dates before the
// epoch). The program's short date and long time formats live here too, so
// that the cursor, the database's date function and the windows render a day
// the same way.
class DateTimeValue {
public:
    static double FromDate(const QDate &date);
    static double FromDateTime(const QDateTime &dateTime);
    static QDate ToDate(double value);
    static QTime ToTime(double value);
    static QDateTime ToDateTime(double value);
    // The whole days of a value (the calendar day's value at midnight).
    static double DayOf(double value);

    // The Qt locale's short date format, with a two-digit year widened to
    // four digits so that a day never stands for several centuries.
    static QString ShortDateFormat();
    // The Qt locale's long time format without a time zone: the values carry
    // no zone, so naming one would be wrong.
    static QString LongTimeFormat();

    static QString ShortDateText(double value);
    static QString LongTimeText(double value);
    // Short date, then a blank and the long time unless the time is midnight.
    static QString DateTimeText(double value);
    // Reads a text in the short date format (optionally followed by a time
    // in the long time format); nothing when it is not one.
    static std::optional<double> Parse(const QString &text);
};
