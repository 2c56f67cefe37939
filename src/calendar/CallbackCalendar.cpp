#include "calendar/CallbackCalendar.h"

#include "calendar/CallbackEvent.h"
#include "calendar/ECalendarError.h"
#include "data/DBConnection.h"
#include "data/DateTimeValue.h"

#include <QDir>
#include <QList>
#include <QSaveFile>
#include <QTimeZone>
#include <cmath>
#include <optional>
#include <stdexcept>

namespace {

const QByteArray kHeader = QByteArrayLiteral("BEGIN:VCALENDAR\r\n"
                                             "VERSION:2.0\r\n"
                                             "PRODID:-//Brennart//Corvana//EN\r\n"
                                             "CALSCALE:GREGORIAN\r\n");
const QByteArray kFooter = QByteArrayLiteral("END:VCALENDAR\r\n");

enum Column { ContactId, Company, Person, Phone, Mobile, Email, CallbackDate };

QString Text(const TValue &value) {
    return ValueIsNull(value) ? QString() : value.toString();
}

// The wall-clock time `zone` shows at the UTC moment `utc` (kept as UTC).
QDateTime WallTime(const QTimeZone &zone, const QDateTime &utc) {
    return utc.addSecs(zone.offsetFromUtc(utc));
}

// The UTC time of a local date and time in `zone`. Of a time the clocks
// show twice (when they go back) the first is taken. A time they skip (when
// they go forward) is taken by the clock before the change, so 02:10
// becomes 03:10: the call-back is still in the calendar, at the moment its
// time names. The candidate offsets (those a day before, at and a day after
// the time) are each checked from UTC, which has one answer. The zone's own
// rules are used, not the C library's, which reads the zone's file again
// for every conversion.
std::optional<QDateTime> UtcOfLocal(const QTimeZone &zone, const QDate &day, const QTime &time) {
    const QDateTime wall(day, time, Qt::UTC);
    const int offsets[] = {zone.offsetFromUtc(wall.addDays(-1)), zone.offsetFromUtc(wall),
                           zone.offsetFromUtc(wall.addDays(1))};
    std::optional<QDateTime> first;
    for (int offset : offsets) {
        const QDateTime utc = wall.addSecs(-offset);
        if (WallTime(zone, utc) == wall && (!first || utc < *first))
            first = utc;
    }
    if (!first) {
        const QDateTime utc = wall.addSecs(-offsets[0]);
        if (utc.isValid())
            first = utc;
    }
    return first;
}

// The call-back time (UTC, to the second) a CallbackDate holds, when it is
// a number of a day from `firstDay` to before `endDay` and a local time that
// can be placed; nothing otherwise.
std::optional<QDateTime> CallbackStart(const QTimeZone &zone, const TValue &value,
                                       const QDate &firstDay, const QDate &endDay) {
    const int type = value.typeId();
    if (type != QMetaType::Double && type != QMetaType::LongLong)
        return std::nullopt;
    const double days = value.toDouble();
    if (!std::isfinite(days))
        return std::nullopt;
    const QDate day = DateTimeValue::ToDate(days);
    if (day < firstDay || day >= endDay)
        return std::nullopt;
    const QTime time = DateTimeValue::ToTime(days);
    const std::optional<QDateTime> start =
        UtcOfLocal(zone, day, QTime(time.hour(), time.minute(), time.second()));
    // A DATE-TIME has a four-digit year.
    if (!start || start->date().year() < 1 || start->date().year() > 9999)
        return std::nullopt;
    return start;
}

[[noreturn]] void Fail(const QString &fileName, const QString &reason) {
    throw ECalendarError(QStringLiteral("Cannot write the calendar file \"%1\": %2")
                             .arg(QDir::toNativeSeparators(fileName), reason));
}

bool WriteAll(QSaveFile &file, const QByteArray &bytes) {
    return file.write(bytes) == bytes.size();
}

} // namespace

CallbackCalendar::CallbackCalendar(TDBConnection &connection) : connection_(connection) {}

QString CallbackCalendar::SelectStatement() {
    return QStringLiteral(
        "SELECT ContactID, CompanyName, ContactPerson, Phone, Mobile, Email, CallbackDate "
        "FROM Contacts WHERE CallbackDate >= ?1 AND CallbackDate < ?2 "
        "ORDER BY CallbackDate, ContactID");
}

int CallbackCalendar::Write(const QDate &firstDay, int days, int leadMinutes,
                            const QString &fileName, const QDateTime &stamp,
                            const std::function<bool(int written)> &progress) {
    if (!firstDay.isValid())
        throw std::invalid_argument("the first day of the calendar is not a valid date");
    if (days < 1)
        throw std::invalid_argument("the calendar needs at least one day");
    if (leadMinutes < 0)
        throw std::invalid_argument("the alarm's lead cannot be negative");
    if (!stamp.isValid())
        throw std::invalid_argument("the calendar's time stamp is not a valid time");
    const QDate endDay = firstDay.addDays(days);

    // The bounds are numbers, so the CallbackDate index finds the rows and
    // gives their order, and texts and nulls are never among them. Before
    // the epoch a day's times count down from its midnight, so such a day
    // starts one number lower; the day of each row is checked below.
    double low = DateTimeValue::FromDate(firstDay);
    if (low < 0)
        low -= 1;
    auto select = connection_.Prepare(SelectStatement());
    TDBStatement::Scope reset(*select);
    select->Bind(1, low);
    select->Bind(2, DateTimeValue::FromDate(endDay));

    const QTimeZone zone = QTimeZone::systemTimeZone();
    // Converted once: each conversion of a local time asks the C library,
    // which reads the zone's file again.
    const QDateTime stampUtc = stamp.toUTC();
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        Fail(fileName, file.errorString());
    bool written = WriteAll(file, kHeader);
    int count = 0;
    while (written && select->Step()) {
        const std::optional<QDateTime> start =
            CallbackStart(zone, select->Column(CallbackDate), firstDay, endDay);
        if (!start)
            continue;
        CallbackEvent event;
        event.contactId = select->Column(ContactId).toLongLong();
        event.start = *start;
        event.wallStart = WallTime(zone, *start);
        event.company = Text(select->Column(Company));
        event.person = Text(select->Column(Person));
        event.phone = Text(select->Column(Phone));
        event.mobile = Text(select->Column(Mobile));
        event.email = Text(select->Column(Email));
        written = WriteAll(file, event.Serialize(stampUtc, leadMinutes));
        ++count;
        if (written && progress && count % kProgressStep == 0 && !progress(count)) {
            select->Reset();
            file.cancelWriting();
            return -1;
        }
    }
    select->Reset();
    written = written && WriteAll(file, kFooter);
    // After a failed write, commit() discards the temporary file and gives
    // the system's reason, which the failed write may not know yet (the
    // first write past a limit is only cut short).
    const bool committed = file.commit();
    if (!committed || !written)
        Fail(fileName, file.errorString());
    return count;
}
