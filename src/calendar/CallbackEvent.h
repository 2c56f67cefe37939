#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QtGlobal>

// One call-back as a calendar event: the contact's texts and the time of
// the call.
//
// The event lasts 15 minutes and carries a display alarm `leadMinutes`
// before it. Its UID is made of the contact's key and the call-back time,
// so writing the same call-back again gives the same UID and a calendar
// that imports the file twice updates the event instead of doubling it.
//
// Texts go out as the iCalendar TEXT type can carry them: a carriage return
// with or without its line feed becomes one line break, and the control
// characters other than the tab (which the type does not allow) are left
// out.
class CallbackEvent {
public:
    qint64 contactId = 0;
    QDateTime start;     // UTC, whole seconds
    QDateTime wallStart; // the local time at the start, as a UTC-kept time; when
                         // invalid, the start's local time
    QString company;
    QString person;
    QString phone;
    QString mobile;
    QString email;

    // "callback-<ContactID>-<yyyyMMddTHHmmss>@corvana", in local time.
    QString Uid() const;
    // "Call back <company>", or "Call back <person>" when there is no
    // company, without blanks or line breaks at either end.
    QString Summary() const;
    // "Company: ...", "Person: ...", "Phone: ...", "Mobile: ...", "E-mail: ..."
    // on lines of their own; a line whose value is empty or blank is left
    // out.
    QString Description() const;

    // The event (BEGIN:VEVENT to END:VEVENT) as libical writes it: escaped,
    // folded at 75 octets, every line ending in CRLF. `stamp` is the time
    // the file is made (DTSTAMP).
    QByteArray Serialize(const QDateTime &stamp, int leadMinutes) const;

    // The text as a TEXT value may hold it (see above).
    static QString CleanText(const QString &text);
};
