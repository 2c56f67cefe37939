// The call-backs calendar of a real database file, read back by a second
// reader and checked line by line: escaping, folding inside multi-byte
// text, the range's edges, rows that are left out, local time to UTC across
// the change to summer time, and failures that must leave no file behind.

#include "calendar/CallbackCalendar.h"
#include "CalendarReader.h"
#include "ScopedTimeZone.h"
#include "TestContact.h"
#include "calendar/ECalendarError.h"
#include "data/DBConnection.h"
#include "data/DateTimeValue.h"
#include "support/TempDatabase.h"

#include <QDir>
#include <QFile>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <algorithm>
#include <csignal>
#include <gtest/gtest.h>
#include <stdexcept>
#include <sys/resource.h>

namespace {

const char *const kZone = "Europe/Berlin";

double Local(int y, int m, int d, int h, int min, int s) {
    return DateTimeValue::FromDateTime(QDateTime(QDate(y, m, d), QTime(h, min, s)));
}

QByteArray ReadAll(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class CallbackCalendarTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!ScopedTimeZone::Known(kZone))
            GTEST_SKIP() << "the time zone data (Debian package tzdata) is missing";
        zone_ = std::make_unique<ScopedTimeZone>(kZone);
        connection_.SetConnectionString(db_.ConnectionString());
    }
    void TearDown() override {
        connection_.Close();
        zone_.reset();
    }
    QString CalendarPath(const char *name = "callbacks.ics") const {
        return out_.path() + QLatin1Char('/') + QLatin1String(name);
    }

    TempDatabase db_;
    TDBConnection connection_;
    QTemporaryDir out_;
    std::unique_ptr<ScopedTimeZone> zone_;
};

TEST_F(CallbackCalendarTest, EventsHoldTheRowsOfTheRangeAsASecondReaderDecodesThem) {
    REQUIRE_CALENDAR_READER();
    const QString longName = QStringLiteral("Größenwahn Ärzte €Ж ").repeated(5);
    // Stored, and what the event shows of it.
    struct Row {
        TestContact stored;
        TestContact shown;
        QString start; // the UTC start when the row is in the calendar
    };
    QList<Row> rows;
    auto add = [&](TestContact c, const QString &start, TestContact shown = {}) {
        c.Insert(connection_);
        if (shown.company.isNull() && shown.person.isNull())
            shown = c;
        rows << Row{c, shown, start};
    };
    add({QStringLiteral("Müller & Söhne, Bau; \"Nord\" \\ GmbH"), QStringLiteral("Jürgen Groß"),
         QStringLiteral("+49 30 1234-5"), QString(), QStringLiteral("j.gross@example.de"),
         Local(2024, 3, 29, 0, 0, 0)},
        QStringLiteral("20240328T230000Z"));
    add({QString(), QStringLiteral("Ана Петрова"), QString(), QStringLiteral("+7 900 000"),
         QString(), Local(2024, 4, 2, 23, 59, 59)},
        QStringLiteral("20240402T215959Z"));
    add({longName, QStringLiteral("ß").repeated(100), QStringLiteral("€").repeated(30),
         QStringLiteral("Ж").repeated(30), QStringLiteral("ü").repeated(100),
         Local(2024, 3, 30, 10, 0, 0)},
        QStringLiteral("20240330T090000Z"));
    TestContact breaks{QStringLiteral("Line one\r\nLine two\rthree\x01"),
                       QStringLiteral("C:\\new\\Net;x,y"),
                       QStringLiteral("\t1\n2"),
                       QString(),
                       QStringLiteral("  "),
                       Local(2024, 4, 1, 10, 0, 0)};
    TestContact breaksShown = breaks;
    breaksShown.company = QStringLiteral("Line one\nLine two\nthree");
    add(breaks, QStringLiteral("20240401T080000Z"), breaksShown);
    add({QStringLiteral("bytes"), QString(), QString(), QString(), QString(),
         Local(2024, 3, 31, 3, 30, 0)},
        QStringLiteral("20240331T013000Z"));
    // Stored as bytes that are not UTF-8: the event shows the replacement.
    db_.Exec(QStringLiteral("UPDATE Contacts SET CompanyName = CAST(X'41C328' AS TEXT) "
                            "WHERE ContactID = %1")
                 .arg(rows.last().stored.id));
    rows.last().shown.company = QStringLiteral("A\uFFFD(");
    // 02:10, a time the clocks skip that night, is kept: at the moment it
    // names by the clock before the change, 03:10 by the one after.
    add({QStringLiteral("gap"), QString(), QString(), QString(), QString(),
         DateTimeValue::FromDate(QDate(2024, 3, 31)) + (2 + 10 / 60.0) / 24},
        QStringLiteral("20240331T011000Z"));

    const QVariant outside[] = {Local(2024, 4, 3, 0, 0, 0),     // the end day's midnight
                                Local(2024, 3, 28, 23, 59, 59), // a second before the first day
                                QVariant(),                     // null
                                QStringLiteral("soon"),         // not a number
                                Local(1850, 6, 1, 12, 0, 0),    // far off
                                2958465.5};                     // 31 December 9999
    for (const QVariant &value : outside)
        TestContact{QStringLiteral("outside"), {}, {}, {}, {}, value}.Insert(connection_);
    db_.Exec(QStringLiteral("INSERT INTO Contacts (CompanyName, CallbackDate) "
                            "VALUES ('blob', X'3435333830')"));

    const QDateTime stamp(QDate(2024, 3, 28), QTime(17, 45, 30), Qt::OffsetFromUTC, 3600);
    CallbackCalendar calendar(connection_);
    ASSERT_EQ(calendar.Write(QDate(2024, 3, 29), 5, 0, CalendarPath(), stamp), rows.size());

    const auto read = CalendarReader::Read(CalendarPath());
    ASSERT_TRUE(read);
    EXPECT_EQ(read->version, QStringLiteral("2.0"));
    EXPECT_EQ(read->prodid, QStringLiteral("-//Brennart//Corvana//EN"));
    EXPECT_EQ(read->calscale, QStringLiteral("GREGORIAN"));
    std::sort(rows.begin(), rows.end(),
              [](const Row &a, const Row &b) { return a.start < b.start; });
    ASSERT_EQ(read->events.size(), rows.size());
    for (int i = 0; i < rows.size(); ++i) {
        const CalendarReader::Event &e = read->events[i];
        const Row &row = rows[i];
        SCOPED_TRACE(row.stored.id);
        // The local time of the start: the stored time, or for one the clocks
        // skip, the time they show at that moment.
        const QDateTime parsed = QDateTime::fromString(row.start, "yyyyMMdd'T'HHmmss'Z'");
        const QString local = QDateTime(parsed.date(), parsed.time(), Qt::UTC)
                                  .toLocalTime()
                                  .toString("yyyyMMdd'T'HHmmss");
        EXPECT_EQ(e.uid, QStringLiteral("callback-%1-%2@corvana").arg(row.stored.id).arg(local));
        EXPECT_EQ(e.dtstart, row.start);
        EXPECT_EQ(e.dtstamp, QStringLiteral("20240328T164530Z"));
        EXPECT_EQ(e.durationSeconds, 15 * 60);
        EXPECT_EQ(e.summary, row.shown.Summary());
        EXPECT_EQ(e.description, row.shown.Description());
        EXPECT_EQ(e.alarms, 1);
        EXPECT_EQ(e.alarmAction, QStringLiteral("DISPLAY"));
        EXPECT_EQ(e.alarmDescription, e.summary);
        EXPECT_EQ(e.triggerSeconds, 0);
    }
    EXPECT_EQ(read->events[0].summary,
              QStringLiteral("Call back Müller & Söhne, Bau; \"Nord\" \\ GmbH"));
    EXPECT_EQ(read->events.back().summary, QStringLiteral("Call back Ана Петрова"));

    // Every physical line: at most 75 octets before its CRLF, no other line
    // break; a folded line goes on after one blank, on a character boundary.
    const QByteArray bytes = ReadAll(CalendarPath());
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString decoded = decoder(bytes);
    EXPECT_FALSE(decoder.hasError()) << "the file is not valid UTF-8";
    EXPECT_FALSE(decoded.contains(QChar(0x01)));
    ASSERT_TRUE(bytes.endsWith("END:VCALENDAR\r\n"));
    int foldsInsideText = 0;
    char before = 0;
    for (const QByteArray &line : bytes.chopped(1).split('\n')) {
        ASSERT_TRUE(line.endsWith('\r')) << line.toStdString();
        const QByteArray content = line.chopped(1);
        EXPECT_LE(content.size(), 75) << content.toStdString();
        EXPECT_FALSE(content.contains('\r'));
        if (content.startsWith(' ')) {
            ASSERT_GT(content.size(), 1);
            EXPECT_NE(uchar(content[1]) & 0xC0, 0x80) << "a fold splits a character";
            if (uchar(content[1]) >= 0x80 && uchar(before) >= 0x80)
                ++foldsInsideText;
        }
        before = content.isEmpty() ? 0 : content.back();
    }
    EXPECT_GT(foldsInsideText, 0) << "no line was folded between two multi-byte characters";
    EXPECT_TRUE(bytes.contains("\r\nTRIGGER:PT0S\r\n"));
}

TEST_F(CallbackCalendarTest, OneEventIsWrittenExactly) {
    TestContact{QStringLiteral("Acme, Inc."),
                QStringLiteral("Bob"),
                QStringLiteral("1"),
                QString(),
                QString(),
                Local(2024, 7, 1, 10, 0, 0)}
        .Insert(connection_);
    const QDateTime stamp(QDate(2024, 6, 30), QTime(12, 0), Qt::OffsetFromUTC, 7200);
    ASSERT_EQ(CallbackCalendar(connection_).Write(QDate(2024, 7, 1), 1, 90, CalendarPath(), stamp),
              1);
    EXPECT_EQ(ReadAll(CalendarPath()).toStdString(),
              "BEGIN:VCALENDAR\r\n"
              "VERSION:2.0\r\n"
              "PRODID:-//Brennart//Corvana//EN\r\n"
              "CALSCALE:GREGORIAN\r\n"
              "BEGIN:VEVENT\r\n"
              "UID:callback-1-20240701T100000@corvana\r\n"
              "DTSTAMP:20240630T100000Z\r\n"
              "DTSTART:20240701T080000Z\r\n"
              "DURATION:PT15M\r\n"
              "SUMMARY:Call back Acme\\, Inc.\r\n"
              "DESCRIPTION:Company: Acme\\, Inc.\\nPerson: Bob\\nPhone: 1\r\n"
              "BEGIN:VALARM\r\n"
              "ACTION:DISPLAY\r\n"
              "DESCRIPTION:Call back Acme\\, Inc.\r\n"
              "TRIGGER:-PT90M\r\n"
              "END:VALARM\r\n"
              "END:VEVENT\r\n"
              "END:VCALENDAR\r\n");
}

// The hour from 02:00 shows twice when the clocks go back; its first
// showing is taken whatever local time the program converted before.
TEST_F(CallbackCalendarTest, TheRepeatedHourIsTakenAtItsFirstShowing) {
    TestContact{QStringLiteral("A"), {}, {}, {}, {}, Local(2024, 10, 27, 2, 30, 0)}.Insert(
        connection_);
    TestContact{QStringLiteral("B"), {}, {}, {}, {}, Local(2024, 10, 27, 3, 0, 0)}.Insert(
        connection_);
    const QDateTime stamp(QDate(2024, 10, 1), QTime(0, 0), Qt::UTC);
    for (const QDate &before : {QDate(2024, 12, 1), QDate(2024, 7, 1)}) {
        ASSERT_TRUE(QDateTime(before, QTime(12, 0)).toUTC().isValid());
        ASSERT_EQ(
            CallbackCalendar(connection_).Write(QDate(2024, 10, 27), 1, 5, CalendarPath(), stamp),
            2);
        const QByteArray bytes = ReadAll(CalendarPath());
        EXPECT_TRUE(bytes.contains("\r\nDTSTART:20241027T003000Z\r\n")) << bytes.toStdString();
        EXPECT_TRUE(bytes.contains("\r\nDTSTART:20241027T020000Z\r\n")) << bytes.toStdString();
        EXPECT_TRUE(bytes.contains("\r\nUID:callback-1-20241027T023000@corvana\r\n"));
    }
}

TEST_F(CallbackCalendarTest, TheCallbackDateIndexFindsAndOrdersTheRows) {
    const QStringList plan =
        db_.Rows(QStringLiteral("EXPLAIN QUERY PLAN ") + CallbackCalendar::SelectStatement());
    EXPECT_TRUE(plan.join('\n').contains(
        QStringLiteral("USING INDEX CallbackDate (CallbackDate>? AND CallbackDate<?)")))
        << plan.join('\n').toStdString();
    EXPECT_FALSE(plan.join('\n').contains(QStringLiteral("TEMP B-TREE")))
        << plan.join('\n').toStdString();
}

TEST_F(CallbackCalendarTest, AFileThatCannotBeMadeRaisesAndLeavesNothing) {
    const QString missing = out_.path() + QStringLiteral("/no such folder/callbacks.ics");
    try {
        CallbackCalendar(connection_)
            .Write(QDate(2024, 7, 1), 7, 15, missing, QDateTime::currentDateTimeUtc());
        ADD_FAILURE() << "no error for a missing folder";
    } catch (const ECalendarError &e) {
        EXPECT_TRUE(e.Message().contains(QStringLiteral("no such folder/callbacks.ics")))
            << e.what();
        EXPECT_TRUE(e.Message().contains(QStringLiteral("No such file or directory"))) << e.what();
    }
    EXPECT_TRUE(QDir(out_.path()).isEmpty());

    CallbackCalendar calendar(connection_);
    const QDateTime now = QDateTime::currentDateTimeUtc();
    EXPECT_THROW(calendar.Write(QDate(2024, 7, 1), 0, 15, CalendarPath(), now),
                 std::invalid_argument);
    EXPECT_THROW(calendar.Write(QDate(2024, 7, 1), 1, -1, CalendarPath(), now),
                 std::invalid_argument);
    EXPECT_THROW(calendar.Write(QDate(), 1, 15, CalendarPath(), now), std::invalid_argument);
    EXPECT_TRUE(QDir(out_.path()).isEmpty());
}

// Writing stops partway (the process may not make files larger than
// 64 KiB): the error names the file and the reason, and the calendar
// written before is kept as it was, with no partial file beside it.
TEST_F(CallbackCalendarTest, AWriteThatFailsPartwayKeepsTheEarlierFile) {
    for (int i = 0; i < 400; ++i)
        TestContact{QStringLiteral("Großhandel Nord, Süd; West").repeated(3),
                    QStringLiteral("P"),
                    {},
                    {},
                    {},
                    Local(2024, 7, 1 + i % 5, 8, i % 60, 0)}
            .Insert(connection_);
    CallbackCalendar calendar(connection_);
    const QDateTime stamp(QDate(2024, 6, 30), QTime(12, 0), Qt::UTC);
    ASSERT_EQ(calendar.Write(QDate(2024, 7, 1), 1, 5, CalendarPath(), stamp), 80);
    const QByteArray earlier = ReadAll(CalendarPath());
    ASSERT_LT(earlier.size(), 64 * 1024);

    rlimit limit{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &limit), 0);
    const rlimit saved = limit;
    limit.rlim_cur = 64 * 1024;
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
    QString message;
    try {
        calendar.Write(QDate(2024, 7, 1), 5, 5, CalendarPath(), stamp);
    } catch (const ECalendarError &e) {
        message = e.Message();
    }
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);

    EXPECT_TRUE(message.contains(CalendarPath())) << message.toStdString();
    EXPECT_TRUE(message.contains(QStringLiteral("too large"), Qt::CaseInsensitive))
        << message.toStdString();
    EXPECT_EQ(ReadAll(CalendarPath()), earlier);
    EXPECT_EQ(QDir(out_.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("callbacks.ics")});

    // Cancelled on the way: the same, and the progress counted up to it.
    for (int i = 0; i < 200; ++i)
        TestContact{QStringLiteral("More"), {}, {}, {}, {}, Local(2024, 7, 2, 9, i % 60, 0)}.Insert(
            connection_);
    QList<int> counts;
    EXPECT_EQ(calendar.Write(QDate(2024, 7, 1), 5, 5, CalendarPath(), stamp,
                             [&counts](int written) {
                                 counts << written;
                                 return false;
                             }),
              -1);
    EXPECT_EQ(counts, QList<int>{CallbackCalendar::kProgressStep});
    EXPECT_EQ(ReadAll(CalendarPath()), earlier);
    EXPECT_EQ(QDir(out_.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("callbacks.ics")});
}

} // namespace
