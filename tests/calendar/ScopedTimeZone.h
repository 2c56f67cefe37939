#pragma once

#include <QByteArray>
#include <QFile>
#include <ctime>

// Sets the process's local time zone (TZ) for a test and puts the earlier
// one back afterwards, so local times and their UTC differ in a known way.
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char *zone)
        : had_(qEnvironmentVariableIsSet("TZ")), earlier_(qgetenv("TZ")) {
        qputenv("TZ", zone);
        tzset();
    }
    ~ScopedTimeZone() {
        if (had_)
            qputenv("TZ", earlier_);
        else
            qunsetenv("TZ");
        tzset();
    }
    ScopedTimeZone(const ScopedTimeZone &) = delete;
    ScopedTimeZone &operator=(const ScopedTimeZone &) = delete;

    static bool Known(const char *zone) {
        return QFile::exists(QStringLiteral("/usr/share/zoneinfo/") + QLatin1String(zone));
    }

private:
    bool had_;
    QByteArray earlier_;
};
