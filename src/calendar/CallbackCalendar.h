#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <functional>

class TDBConnection;

// Writes the call-backs of a range of days as an iCalendar file (RFC 5545)
// with one event per contact whose CallbackDate falls in the range (see
// CallbackEvent for what each event holds).
//
// The contacts are read with one statement, ordered by CallbackDate, and
// each event is written as soon as its row is read, so memory stays the
// same whatever the number of call-backs. CallbackDate is local time; of an
// hour the clocks show twice (when they go back) the first is taken, and a
// time in the hour they skip (when they go forward) is placed by the clock
// before the change. Rows whose CallbackDate is null or not a number are
// left out without an error.
//
// The file is written under a temporary name and renamed when complete: a
// failure leaves no partial file, and a file of that name from before is
// kept as it was. A failure to write raises ECalendarError naming the file
// and the system's reason; the engine's own failures are EProviderError.
class CallbackCalendar {
public:
    explicit CallbackCalendar(TDBConnection &connection);

    // The call-backs from `firstDay` 00:00 to the day `days` days later
    // 00:00 (not included), each with an alarm `leadMinutes` before it,
    // into `fileName`; `stamp` is the time the file is said to be made
    // (DTSTAMP). Returns the number of events written. Raises
    // std::invalid_argument for an invalid day or stamp, `days` < 1 or
    // `leadMinutes` < 0.
    //
    // `progress`, when given, is called after every kProgressStep events
    // with the number written so far; when it returns false the writing
    // stops, nothing is written and Write returns -1.
    int Write(const QDate &firstDay, int days, int leadMinutes, const QString &fileName,
              const QDateTime &stamp, const std::function<bool(int written)> &progress = {});
    static constexpr int kProgressStep = 500;

    // The statement that reads the call-backs: ContactID, CompanyName,
    // ContactPerson, Phone, Mobile, Email and CallbackDate of the rows with
    // ?1 <= CallbackDate < ?2, in the order of the CallbackDate index.
    static QString SelectStatement();

private:
    TDBConnection &connection_;
};
