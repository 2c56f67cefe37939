#pragma once

#include <QList>
#include <QString>
#include <optional>
#include <ostream>

// A second reader of written calendars: /usr/bin/python3 with the icalendar
// module, run as a process of its own, which gives each event's values
// decoded (times in UTC, durations in seconds) as JSON.
class CalendarReader {
public:
    struct Event {
        QString uid;
        QString dtstamp; // yyyyMMddTHHmmssZ
        QString dtstart; // yyyyMMddTHHmmssZ
        qint64 durationSeconds = 0;
        QString summary;
        QString description; // empty when the event has none
        int alarms = 0;
        QString alarmAction;
        QString alarmDescription;
        qint64 triggerSeconds = 0;
    };
    struct Calendar {
        QString version;
        QString prodid;
        QString calscale;
        QList<Event> events;
    };

    // Why the reader cannot run here; empty when it can.
    static QString Missing();
    // The calendar in the file; a failure of the test and nothing when the
    // reader does not take the file.
    static std::optional<Calendar> Read(const QString &path);
};

// Skips a test that needs the reader when it is missing, or fails it when
// it runs under CI, where the reader must be installed.
#define REQUIRE_CALENDAR_READER()                                                                  \
    do {                                                                                           \
        const QString missing = CalendarReader::Missing();                                         \
        if (!missing.isEmpty()) {                                                                  \
            if (qEnvironmentVariableIsSet("CI"))                                                   \
                FAIL() << missing.toStdString();                                                   \
            GTEST_SKIP() << missing.toStdString();                                                 \
        }                                                                                          \
    } while (false)

// Texts in the test's messages as text, not as UTF-16 units.
inline void PrintTo(const QString &text, std::ostream *out) {
    *out << '"' << text.toStdString() << '"';
}
