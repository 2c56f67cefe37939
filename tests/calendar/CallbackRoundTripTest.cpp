// A few hundred random contacts, with texts drawn mostly from the characters
// that need escaping (, ; \ and line breaks) and from letters beyond ASCII,
// and random call-back times around a range that spans the end of summer
// time: the second reader gives back every field of every contact in the
// range, in CallbackDate order, and nothing else.

#include "CalendarReader.h"
#include "ScopedTimeZone.h"
#include "TestContact.h"
#include "calendar/CallbackCalendar.h"
#include "data/DBConnection.h"
#include "data/DateTimeValue.h"
#include "support/TempDatabase.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimeZone>
#include <algorithm>
#include <gtest/gtest.h>

namespace {

// A random text of at most `limit` characters, as stored and as the event
// shows it (a CR LF is one line break there, a control character none).
std::pair<QString, QString> RandomText(QRandomGenerator &random, int limit) {
    static const char16_t *const pieces[] = {u",",  u";", u"\\", u"\n", u"\r\n", u"\\n",  u"\\N",
                                             u"ä",  u"€", u"Ж",  u"ß",  u"é",    u"𝄞",    u" ",
                                             u"\"", u":", u"a",  u"Z",  u"\t",   u"\x01", u"%2C"};
    std::pair<QString, QString> text;
    if (random.bounded(5) == 0)
        return text;
    const int count = random.bounded(limit / 3 + 1);
    for (int i = 0; i < count; ++i) {
        const QString piece = QString::fromUtf16(pieces[random.bounded(int(std::size(pieces)))]);
        text.first += piece;
        text.second += piece == QStringLiteral("\r\n")   ? QStringLiteral("\n")
                       : piece == QStringLiteral("\x01") ? QString()
                                                         : piece;
    }
    return text;
}

// The UTC time of a Berlin wall-clock time (given in a QDateTime's fields),
// from Qt's reading of the zone database: the first of the two offsets the
// zone has that shows that time.
QDateTime BerlinToUtc(const QDateTime &wall) {
    const QTimeZone berlin("Europe/Berlin");
    const QDateTime fields(wall.date(), wall.time(), Qt::UTC);
    for (int offset : {7200, 3600}) {
        const QDateTime utc = fields.addSecs(-offset);
        if (berlin.offsetFromUtc(utc) == offset)
            return utc;
    }
    return QDateTime();
}

TEST(CallbackRoundTrip, RandomContactsComeBackFieldByField) {
    REQUIRE_CALENDAR_READER();
    if (!ScopedTimeZone::Known("Europe/Berlin"))
        GTEST_SKIP() << "the time zone data (Debian package tzdata) is missing";
    ScopedTimeZone zone("Europe/Berlin");
    TempDatabase db;
    TDBConnection connection;
    connection.SetConnectionString(db.ConnectionString());
    QRandomGenerator random(5545);

    const QDate first(2024, 10, 25);
    const int days = 5;
    struct Expected {
        TestContact shown;
        QDateTime wall; // the local time's fields
    };
    QList<Expected> expected;
    for (int i = 0; i < 300; ++i) {
        TestContact stored;
        TestContact shown;
        const int limits[] = {100, 100, 30, 30, 100};
        QString *storedTexts[] = {&stored.company, &stored.person, &stored.phone, &stored.mobile,
                                  &stored.email};
        QString *shownTexts[] = {&shown.company, &shown.person, &shown.phone, &shown.mobile,
                                 &shown.email};
        for (int f = 0; f < 5; ++f)
            std::tie(*storedTexts[f], *shownTexts[f]) = RandomText(random, limits[f]);
        // Mostly a second from a day before the range to a day after it;
        // the first contact at 02:30 on the night the clocks go back.
        const QDateTime wall =
            i == 0
                ? QDateTime(QDate(2024, 10, 27), QTime(2, 30), Qt::UTC)
                : QDateTime(first.addDays(random.bounded(-1, days + 1)),
                            QTime::fromMSecsSinceStartOfDay(random.bounded(86400) * 1000), Qt::UTC);
        const int kind = i == 0 ? 3 : random.bounded(20);
        stored.callback = kind == 0   ? QVariant()
                          : kind == 1 ? QVariant(QStringLiteral("tomorrow"))
                          : kind == 2 ? QVariant(-700000.25)
                                      : QVariant(DateTimeValue::FromDateTime(wall));
        stored.Insert(connection);
        shown.id = stored.id;
        if (kind > 2 && wall.date() >= first && wall.date() < first.addDays(days))
            expected << Expected{shown, wall};
    }
    std::stable_sort(expected.begin(), expected.end(),
                     [](const Expected &a, const Expected &b) { return a.wall < b.wall; });

    QTemporaryDir out;
    const QString path = out.path() + QStringLiteral("/round-trip.ics");
    const int lead = random.bounded(1, 3000);
    const QDateTime stamp(QDate(2024, 10, 20), QTime(8, 30, 15), Qt::UTC);
    ASSERT_EQ(CallbackCalendar(connection).Write(first, days, lead, path, stamp), expected.size());
    ASSERT_GT(expected.size(), 150);

    const auto read = CalendarReader::Read(path);
    ASSERT_TRUE(read);
    ASSERT_EQ(read->events.size(), expected.size());
    for (int i = 0; i < expected.size(); ++i) {
        const CalendarReader::Event &e = read->events[i];
        const Expected &x = expected[i];
        SCOPED_TRACE(x.shown.id);
        EXPECT_EQ(e.uid, QStringLiteral("callback-%1-%2@corvana")
                             .arg(x.shown.id)
                             .arg(x.wall.toString("yyyyMMdd'T'HHmmss")));
        EXPECT_EQ(e.dtstart, BerlinToUtc(x.wall).toString("yyyyMMdd'T'HHmmss'Z'"));
        EXPECT_EQ(e.dtstamp, QStringLiteral("20241020T083015Z"));
        EXPECT_EQ(e.summary, x.shown.Summary());
        EXPECT_EQ(e.description, x.shown.Description());
        EXPECT_EQ(e.alarmDescription, e.summary);
        EXPECT_EQ(e.triggerSeconds, -60 * lead);
        if (x.shown.id == 1) {
            EXPECT_EQ(e.dtstart, QStringLiteral("20241027T003000Z"));
        }
    }
}

} // namespace
